// Binding of the local drive control library BurnSdkIOCTL.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\IoCtrlBinding";
int s_iLoaded = 0;

#define BURN_API_TABLE "IoCtrlApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

// The text and list arguments arrive by value; the call copies them into the entry's
// own parameters and the received objects are released when the forwarder returns,
// bound or not.
#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int burnsdkioctrl_init(const char* _szDir)
{
    char szPath[CLS_LibLoader::n_PathBufferSize] = {0};
    if (!_szDir) {
        BURN_LOG(n_BurnLogLevel_Error, "burnsdkioctrl_init:path == NULL");
        return 0;
    }
    if (!CLS_LibLoader::ComposePath(_szDir, "BurnSdkIOCTL.dll", szPath)) {
        BURN_LOG(n_BurnLogLevel_Error, "burnsdkioctrl_init:path too long, dir=%s", _szDir);
        return 0;
    }
    return burnsdkioctrl_load_lib(szPath);
}

int burnsdkioctrl_load_lib(const char* _szPath)
{
    if (s_iLoaded)
        return 1;
    if (!_szPath)
        return 0;
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
