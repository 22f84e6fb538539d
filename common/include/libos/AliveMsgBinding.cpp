// Binding of the desktop notification library alivemsg.dll; its loaders are exported too.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\AliveMsgBinding";
int s_iLoaded = 0;

#define BURN_API_TABLE "AliveMsgApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

BURN_EXPORT int alivemsg_init_lib(const char* _szDir)
{
    char szPath[CLS_LibLoader::n_PathBufferSize] = {0};
    if (!_szDir) {
        BURN_LOG(n_BurnLogLevel_Error, "alivemsg_load_lib:path == NULL");
        return 0;
    }
    if (!CLS_LibLoader::ComposePath(_szDir, "alivemsg.dll", szPath)) {
        BURN_LOG(n_BurnLogLevel_Error, "alivemsg_init_lib:path too long, dir=%s", _szDir);
        return 0;
    }
    return alivemsg_load_lib(szPath);
}

BURN_EXPORT int alivemsg_load_lib(const char* _szPath)
{
    if (s_iLoaded)
        return 1;
    if (!_szPath) {
        BURN_LOG(n_BurnLogLevel_Error, "alivemsg_load_lib:path == NULL");
        return 0;
    }
    QLibrary qlib;
    QString qstrError;
    if (!CLS_LibLoader::Open(_szPath, qlib, qstrError)) {
        BURN_LOG(n_BurnLogLevel_Error, "alivemsg_lib failed. err=%s _path = %s", qUtf8Printable(qstrError), _szPath);
        return 0;
    }
    ResolveEntries(qlib);
    s_iLoaded = 1;
    return 1;
}
