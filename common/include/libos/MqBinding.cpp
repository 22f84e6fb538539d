// Binding of the message-queue library win32_mq.dll.
#include <string>

#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

#define BURN_API_TABLE "MqApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\MqBinding"
#define BURN_BINDING_INIT mq_init
#define BURN_BINDING_LOAD mq_load_lib
#define BURN_BINDING_FILE "/win32_mq.dll"
#define BURN_BINDING_LOAD_NULL_LINE "mq_load_lib:path == NULL\r\n"
#define BURN_BINDING_OWN_INIT
#include "BurnApiGenBinding.inc"

int mq_init(const char* _szDir)
{
    // The path is built as a growing text, without the 260-byte limit of the others.
    if (!_szDir) {
        mq_load_lib(nullptr);
        BURN_LOG(n_BurnLogLevel_Error, "!mq_init--%s", "(null)");
        return 0;
    }
    const std::string strPath = std::string(_szDir) + s_stLoader.szFileName;
    if (mq_load_lib(strPath.c_str()))
        return 1;
    BURN_LOG(n_BurnLogLevel_Error, "!mq_init--%s", _szDir);
    return 0;
}
