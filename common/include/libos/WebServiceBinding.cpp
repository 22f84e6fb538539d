// Binding of the HTTP client library win32_webservice_sdk.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\WebServiceBinding";
int s_iLoaded = 0;
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "webservice_init_lib",
    "/win32_webservice_sdk.dll",
    "webservice_init_lib:path == nullptr\r\n",
    "load_webservice_lib:path == nullptr\r\n",
    nullptr,
    "",
    false};

#define BURN_API_TABLE "WebServiceApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int webservice_init_lib(const char* _szDir)
{
    return CLS_LibLoader::InitFromDir(s_stLoader, _szDir, &load_webservice_lib);
}

int load_webservice_lib(const char* _szPath)
{
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveEntries);
}
