// The exported C entries of win32_libos.dll; see win32_libos.h.
#include "win32_libos.h"

#include "CLS_OsLog.h"
#include "CLS_OsMutex.h"
#include "LogText.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

std::atomic<bool> s_blStarted{false};

// Buffered lines reach the file when the process ends without os_cleanup.
struct CLS_FlushAtExit
{
    ~CLS_FlushAtExit() { CLS_OsLog::Instance().Flush(); }
} s_flushAtExit;

CLS_OsMutex* AsMutex(void* _pMutex)
{
    return static_cast<CLS_OsMutex*>(_pMutex);
}

} // namespace

int os_startup(int /*_iThreadCount*/, int /*_iTimerCount*/)
{
    s_blStarted.store(true);
    return 0;
}

int os_cleanup(void)
{
    CLS_OsLog::Instance().Stop();
    s_blStarted.store(false);
    return 0;
}

int os_is_startup(void)
{
    return s_blStarted.load() ? 1 : 0;
}

void log_set_path(const char* _szPath)
{
    CLS_OsLog::Instance().SetPath(_szPath);
}

void log_get_path(char* _szPath, int _iLen)
{
    if (!_szPath || _iLen <= 0)
        return;
    const std::string strPath = CLS_OsLog::Instance().Path();
    const std::size_t uCopy = std::min(strPath.size(), static_cast<std::size_t>(_iLen) - 1);
    std::memcpy(_szPath, strPath.data(), uCopy);
    _szPath[uCopy] = '\0';
}

void log_set_proc_name(const char* _szName)
{
    CLS_OsLog::Instance().SetProcName(_szName);
}

int log_start(int _iToFile, int _iFlushEachLine)
{
    return CLS_OsLog::Instance().Start(_iToFile != 0, _iFlushEachLine != 0);
}

int log_manage_startup(void)
{
    return 0;
}

void log_debug_ex(int _iLevel, const char* _szFile, int _iLine, const char* _szFmt, ...)
{
    CLS_OsLog& log = CLS_OsLog::Instance();
    if (!_szFmt || !log.IsRunning())
        return;
    va_list vaArgs;
    va_start(vaArgs, _szFmt);
    const std::string strText = FormatLogText(n_LogText_MaxBytes, _szFmt, vaArgs);
    va_end(vaArgs);
    log.Write(_iLevel, _szFile, _iLine, strText);
}

void log_msg(int _iLevel, const char* _szFmt, ...)
{
    CLS_OsLog& log = CLS_OsLog::Instance();
    if (!_szFmt || !log.IsRunning())
        return;
    va_list vaArgs;
    va_start(vaArgs, _szFmt);
    const std::string strText = FormatLogText(n_LogText_MaxBytes, _szFmt, vaArgs);
    va_end(vaArgs);
    log.Write(_iLevel, nullptr, 0, strText);
}

void log_debug_puts(int _iLevel, const char* _szFile, int _iLine, const char* _szText)
{
    CLS_OsLog& log = CLS_OsLog::Instance();
    if (!_szText || !log.IsRunning())
        return;
    log.Write(_iLevel, _szFile, _iLine, CopyLogText(n_LogText_MaxBytes, _szText));
}

void* os_mutex_create(void)
{
    return new (std::nothrow) CLS_OsMutex();
}

int os_mutex_init(void* _pMutex)
{
    return _pMutex ? 0 : -1;
}

int os_mutex_lock(void* _pMutex)
{
    if (!_pMutex)
        return -1;
    AsMutex(_pMutex)->Lock();
    return 0;
}

int os_mutex_unlock(void* _pMutex)
{
    if (!_pMutex)
        return -1;
    return AsMutex(_pMutex)->Unlock() ? 0 : -1;
}

int os_mutex_destroy(void* _pMutex)
{
    if (!_pMutex)
        return -1;
    delete AsMutex(_pMutex);
    return 0;
}

int os_mutex_free(void* _pMutex)
{
    return _pMutex ? 0 : -1;
}

void os_sleep(int _iMs)
{
    if (_iMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(_iMs));
}
