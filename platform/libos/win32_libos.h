// Entries of win32_libos.dll, the operating-system and logging library that the
// module loads by file name. Every entry may be called from any thread.
#pragma once

#include "BurnExport.h"

// Results: 0 success, -1 failure, unless an entry says otherwise.

// Services. os_startup marks the library started (the counts are accepted for
// the callers' sake; this build runs no thread pool or timers of its own) and
// returns 0, also when already started. os_cleanup flushes and closes the log
// and marks the library stopped; a later log_start opens a new file.
// os_is_startup returns 1 when started, 0 otherwise.
BURN_EXPORT int os_startup(int _iThreadCount, int _iTimerCount);
BURN_EXPORT int os_cleanup(void);
BURN_EXPORT int os_is_startup(void);

// Log directory, read by the next log_start; a null path clears it.
// log_get_path copies it NUL-terminated, cut to _iLen - 1 bytes.
BURN_EXPORT void log_set_path(const char* _szPath);
BURN_EXPORT void log_get_path(char* _szPath, int _iLen);

// Process name at the head of the log file name; null or empty restores the
// default, the executable's name. Read by the next log_start.
BURN_EXPORT void log_set_proc_name(const char* _szName);

// Starts logging. _iToFile non-zero: one file per start in the log directory
// (created when missing), named "<process>_<yyyyMMdd-HHmmss-zzz>_<pid>.log" and
// rotated by size into "<same>.1.log" ... "<same>.5.log". The size limit is
// 10 MiB unless the environment variable LIBOS_LOG_MAX_BYTES, read here, holds
// a positive byte count. _iToFile zero: lines go to standard error.
// _iFlushEachLine non-zero flushes every line; otherwise lines are flushed at
// level 3, when the buffer fills and by os_cleanup.
// Returns 0 when started or already running (the running output is kept),
// -1 when no directory is set or the file cannot be opened; logging then
// stays off.
BURN_EXPORT int log_start(int _iToFile, int _iFlushEachLine);

// Kept for the callers' start-up sequence; nothing to prepare here, returns 0.
BURN_EXPORT int log_manage_startup(void);

// One line each: "yyyy-MM-dd HH:mm:ss.zzz [thread id] [level] [file:line] text"
// ("[file:line] " is left out by log_msg and when _szFile is null).
// Levels: 2 info (notices), 3 error, 4 debug (progress), 1 warning, 0 and
// below critical, 5 and above trace; every level is written.
// Until log_start has succeeded, and after os_cleanup, lines are dropped.
// A text longer than 64 KiB is cut there (at a UTF-8 character boundary) and
// ends with " ...[cut, N bytes in all]". Trailing CR and LF are removed.
BURN_EXPORT void log_debug_ex(int _iLevel, const char* _szFile, int _iLine, const char* _szFmt, ...)
    __attribute__((format(printf, 4, 5)));
BURN_EXPORT void log_msg(int _iLevel, const char* _szFmt, ...) __attribute__((format(printf, 2, 3)));
BURN_EXPORT void log_debug_puts(int _iLevel, const char* _szFile, int _iLine, const char* _szText);

// Mutexes are recursive, like the Windows ones the callers were written for.
// os_mutex_create allocates a ready mutex (null on failure); os_mutex_destroy
// frees it (the handle is invalid afterwards; destroying a mutex that is held
// or waited on is the caller's error). os_mutex_init and os_mutex_free are
// no-ops on a created mutex and return 0. Unlocking a mutex the calling
// thread does not hold returns -1 and changes nothing. A null handle gives -1.
BURN_EXPORT void* os_mutex_create(void);
BURN_EXPORT int os_mutex_init(void* _pMutex);
BURN_EXPORT int os_mutex_lock(void* _pMutex);
BURN_EXPORT int os_mutex_unlock(void* _pMutex);
BURN_EXPORT int os_mutex_destroy(void* _pMutex);
BURN_EXPORT int os_mutex_free(void* _pMutex);

// Sleeps the calling thread; a negative time returns at once.
BURN_EXPORT void os_sleep(int _iMs);
