// The module's own diagnostic log. Lines go through the log_debug_ex entry of the
// bound operating-system library; until that library is bound they are dropped.
// Callable from any thread.
#pragma once

#include <atomic>

enum BurnLogLevel
{
    n_BurnLogLevel_Notice = 2,  // queue success notices
    n_BurnLogLevel_Error = 3,
    n_BurnLogLevel_Info = 4,    // ordinary progress
};

typedef void (*PFN_LogDebugEx)(int _iLevel, const char* _szFile, int _iLine, const char* _szFmt, ...);

// Set by the libos loader; a test may point it at a recorder of its own.
extern std::atomic<PFN_LogDebugEx> g_pfnModuleLogDebugEx;

// Each source file that logs defines `static const char s_szLogSource[]` with the
// source name its lines carry (for example "CLS_BurnBus").
#define BURN_LOG(level, fmt, ...) BURN_LOG_AS(s_szLogSource, level, fmt, ##__VA_ARGS__)

// The same under an explicit source name, for helpers that log on behalf of a caller.
#define BURN_LOG_AS(source, level, fmt, ...)                                             \
    do {                                                                                 \
        PFN_LogDebugEx pfnLog__ = g_pfnModuleLogDebugEx.load(std::memory_order_acquire); \
        if (pfnLog__)                                                                    \
            pfnLog__((level), (source), __LINE__, (fmt), ##__VA_ARGS__);                 \
    } while (0)
