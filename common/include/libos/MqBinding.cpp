// Binding of the message-queue library win32_mq.dll.
#include <string>

#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\MqBinding";
int s_iLoaded = 0;
// mq_init builds its path itself; the init texts are unused.
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "mq_init",
    "/win32_mq.dll",
    "",
    "mq_load_lib:path == NULL\r\n",
    nullptr,
    "",
    false};

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
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveEntries);
}
