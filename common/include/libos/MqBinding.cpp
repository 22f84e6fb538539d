// Binding of the message-queue library win32_mq.dll.
#include <string>

#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\MqBinding";
int s_iLoaded = 0;

#define BURN_API_TABLE "MqApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int mq_init(const char* _szDir)
{
    // The path is built as a growing text, without the 260-byte limit of the others.
    if (!_szDir) {
        mq_load_lib(nullptr);
        BURN_LOG(n_BurnLogLevel_Error, "!mq_init--%s", "(null)");
        return 0;
    }
    const std::string strPath = std::string(_szDir) + "/win32_mq.dll";
    if (mq_load_lib(strPath.c_str()))
        return 1;
    BURN_LOG(n_BurnLogLevel_Error, "!mq_init--%s", _szDir);
    return 0;
}

int mq_load_lib(const char* _szPath)
{
    if (s_iLoaded)
        return 1;
    if (!_szPath) {
        BURN_LOG(n_BurnLogLevel_Error, "mq_load_lib:path == NULL\r\n");
        return 0;
    }
    QLibrary qlib;
    QString qstrError;
    if (!CLS_LibLoader::Open(_szPath, qlib, qstrError)) {
        BURN_LOG(n_BurnLogLevel_Error, "%s", qUtf8Printable(qstrError));
        return 0;
    }
    ResolveEntries(qlib);
    s_iLoaded = 1;
    return 1;
}
