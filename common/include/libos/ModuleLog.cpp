#include "ModuleLog.h"

std::atomic<PFN_LogDebugEx> g_pfnModuleLogDebugEx{nullptr};
