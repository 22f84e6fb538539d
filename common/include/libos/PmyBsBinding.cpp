// Binding of the Primera burn service SDK PMYBurnSvcSdk.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\PmyBsBinding";
int s_iLoaded = 0;
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "PMY4200_init_lib",
    "/PMYBurnSvcSdk.dll",
    "PMY4200_init_lib:path == nullptr\r\n",
    "PMY4200_load_lib:path == nullptr\r\n",
    nullptr,
    "",
    false};

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
    return CLS_LibLoader::InitFromDir(s_stLoader, _szDir, &PMY4200_load_lib);
}

int PMY4200_load_lib(const char* _szPath)
{
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveEntries);
}
