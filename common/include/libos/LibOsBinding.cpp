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

#define BURN_API_TABLE "LibOsApiTable.h"
#include "BurnApiGenPointers.inc"

void ResolveEntries(QLibrary& _qlib)
{
#include "BurnApiGenResolve.inc"
}
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE

int libos_init(const char* _szDir)
{
    char szPath[CLS_LibLoader::n_PathBufferSize] = {0};
    if (!_szDir) {
        BURN_LOG(n_BurnLogLevel_Error, "notesbus_load_lib:path == NULL");
        return 0;
    }
    if (!CLS_LibLoader::ComposePath(_szDir, "/win32_libos.dll", szPath)) {
        BURN_LOG(n_BurnLogLevel_Error, "libos_init:path too long, dir=%s", _szDir);
        return 0;
    }
    return load_libos_lib(szPath);
}

int load_libos_lib(const char* _szPath)
{
    if (s_iLoaded)
        return 1;
    if (!_szPath) {
        BURN_LOG(n_BurnLogLevel_Error, "load_libos_lib:path == NULL\r\n");
        return 0;
    }
    QLibrary qlib;
    QString qstrError;
    if (!CLS_LibLoader::Open(_szPath, qlib, qstrError)) {
        BURN_LOG(n_BurnLogLevel_Error, "%s", qUtf8Printable(qstrError));
        return 0;
    }
    ResolveEntries(qlib);
    // From here on the module's own log lines go to the library.
    g_pfnModuleLogMsg.store(s_pfn_log_msg, std::memory_order_release);
    g_pfnModuleLogDebugPuts.store(s_pfn_log_debug_puts, std::memory_order_release);
    g_pfnModuleLogDebugEx.store(s_pfn_log_debug_ex, std::memory_order_release);
    s_iLoaded = 1;
    return 1;
}
