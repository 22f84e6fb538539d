// Binding of the local drive control library BurnSdkIOCTL.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\IoCtrlBinding";
int s_iLoaded = 0;
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "burnsdkioctrl_init",
    "BurnSdkIOCTL.dll",
    "burnsdkioctrl_init:path == NULL",
    nullptr,
    nullptr,
    "",
    false};

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
    return CLS_LibLoader::InitFromDir(s_stLoader, _szDir, &burnsdkioctrl_load_lib);
}

int burnsdkioctrl_load_lib(const char* _szPath)
{
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveEntries);
}
