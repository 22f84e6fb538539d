// Binding of the Primera burn service SDK PMYBurnSvcSdk.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\PmyBsBinding";
int s_iLoaded = 0;

#define BURN_API_TABLE "PmyBsApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int PMY4200_init_lib(const char* _szDir)
{
    char szPath[CLS_LibLoader::n_PathBufferSize] = {0};
    if (!_szDir) {
        BURN_LOG(n_BurnLogLevel_Error, "PMY4200_init_lib:path == nullptr\r\n");
        return 0;
    }
    if (!CLS_LibLoader::ComposePath(_szDir, "/PMYBurnSvcSdk.dll", szPath)) {
        BURN_LOG(n_BurnLogLevel_Error, "PMY4200_init_lib:path too long, dir=%s", _szDir);
        return 0;
    }
    return PMY4200_load_lib(szPath);
}

int PMY4200_load_lib(const char* _szPath)
{
    if (s_iLoaded)
        return 1;
    if (!_szPath) {
        BURN_LOG(n_BurnLogLevel_Error, "PMY4200_load_lib:path == nullptr\r\n");
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
