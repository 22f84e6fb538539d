// Binding of the operating-system and logging library win32_libos.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

std::atomic<PFN_LogMsg> g_pfnModuleLogMsg{nullptr};
std::atomic<PFN_LogDebugPuts> g_pfnModuleLogDebugPuts{nullptr};

namespace
{
const char s_szLogSource[] = "common\\include\\libos\\LibOsBinding";
int s_iLoaded = 0;
const LibLoaderSpec s_stLoader = {
    s_szLogSource,
    "libos_init",
    "/win32_libos.dll",
    "notesbus_load_lib:path == NULL",
    "load_libos_lib:path == NULL\r\n",
    nullptr,
    "",
    false};

#define BURN_API_TABLE "LibOsApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}

// From here on the module's own log lines go to the library.
void ResolveAndBindLog(QLibrary& _qlib)
{
    ResolveEntries(_qlib);
    g_pfnModuleLogMsg.store(s_pfn_log_msg, std::memory_order_release);
    g_pfnModuleLogDebugPuts.store(s_pfn_log_debug_puts, std::memory_order_release);
    g_pfnModuleLogDebugEx.store(s_pfn_log_debug_ex, std::memory_order_release);
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int libos_init(const char* _szDir)
{
    return CLS_LibLoader::InitFromDir(s_stLoader, _szDir, &load_libos_lib);
}

int load_libos_lib(const char* _szPath)
{
    return CLS_LibLoader::LoadOnce(s_stLoader, s_iLoaded, _szPath, &ResolveAndBindLog);
}
