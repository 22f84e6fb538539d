// Binding of the desktop notification library alivemsg.dll; its loaders are exported too.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\AliveMsgBinding";
int s_iLoaded = 0;
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "alivemsg_init_lib",
    "alivemsg.dll",
    "alivemsg_load_lib:path == NULL",
    "alivemsg_load_lib:path == NULL",
    nullptr,
    "alivemsg_lib failed. err=",
    true};

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
    return CLS_LibLoader::InitFromDir(s_stLoader, _szDir, &alivemsg_load_lib);
}

BURN_EXPORT int alivemsg_load_lib(const char* _szPath)
{
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveEntries);
}
