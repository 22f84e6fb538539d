// Binding of the operating-system and logging library win32_libos.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

std::atomic<PFN_LogMsg> g_pfnModuleLogMsg{nullptr};
std::atomic<PFN_LogDebugPuts> g_pfnModuleLogDebugPuts{nullptr};

#define BURN_API_TABLE "LibOsApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\LibOsBinding"
#define BURN_BINDING_INIT libos_init
#define BURN_BINDING_LOAD load_libos_lib
#define BURN_BINDING_FILE "/win32_libos.dll"
#define BURN_BINDING_INIT_NULL_LINE "notesbus_load_lib:path == NULL"
#define BURN_BINDING_LOAD_NULL_LINE "load_libos_lib:path == NULL\r\n"
// From here on the module's own log lines go to the library.
#define BURN_BINDING_AFTER_RESOLVE                                                  \
    g_pfnModuleLogMsg.store(s_pfn_log_msg, std::memory_order_release);             \
    g_pfnModuleLogDebugPuts.store(s_pfn_log_debug_puts, std::memory_order_release); \
    g_pfnModuleLogDebugEx.store(s_pfn_log_debug_ex, std::memory_order_release);
#include "BurnApiGenBinding.inc"
