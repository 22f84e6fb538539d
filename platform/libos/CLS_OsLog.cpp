#include "CLS_OsLog.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr std::size_t n_OsLog_DefaultMaxBytes = 10 * 1024 * 1024;
constexpr std::size_t n_OsLog_RotatedFiles = 5;
constexpr std::size_t n_OsLog_MaxProcNameBytes = 64;
const char* const s_szMaxBytesVar = "LIBOS_LOG_MAX_BYTES";
const char* const s_szPattern = "%Y-%m-%d %H:%M:%S.%e [%t] [%l] %v";

std::size_t MaxFileBytes()
{
    const char* szValue = std::getenv(s_szMaxBytesVar);
    if (!szValue || !*szValue)
        return n_OsLog_DefaultMaxBytes;
    char* szEnd = nullptr;
    const long long llValue = std::strtoll(szValue, &szEnd, 10);
    if (*szEnd != '\0' || llValue <= 0)
        return n_OsLog_DefaultMaxBytes;
    return static_cast<std::size_t>(llValue);
}

spdlog::level::level_enum MapLevel(int _iLevel)
{
    switch (_iLevel) {
    case 1: return spdlog::level::warn;
    case 2: return spdlog::level::info;
    case 3: return spdlog::level::err;
    case 4: return spdlog::level::debug;
    default: return _iLevel <= 0 ? spdlog::level::critical : spdlog::level::trace;
    }
}

// Keeps a caller's name usable as part of a file name.
std::string SafeProcName(const char* _szName)
{
    std::string strName;
    for (const char* p = _szName; *p && strName.size() < n_OsLog_MaxProcNameBytes; ++p) {
        const unsigned char uc = static_cast<unsigned char>(*p);
        const bool blBad = uc < 0x20 || *p == '/' || *p == '\\' || *p == ':';
        strName += blBad ? '_' : *p;
    }
    return strName;
}

std::string StartStamp()
{
    const auto tpNow = std::chrono::system_clock::now();
    const std::time_t tNow = std::chrono::system_clock::to_time_t(tpNow);
    const long lMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(tpNow.time_since_epoch()).count() % 1000);
    std::tm tmNow{};
    localtime_r(&tNow, &tmNow);
    char szStamp[32];
    const std::size_t uLen = std::strftime(szStamp, sizeof(szStamp), "%Y%m%d-%H%M%S", &tmNow);
    std::snprintf(szStamp + uLen, sizeof(szStamp) - uLen, "-%03ld", lMs);
    return szStamp;
}

} // namespace

CLS_OsLog& CLS_OsLog::Instance()
{
    // Never destroyed: threads may still log while the process exits.
    static CLS_OsLog* s_pLog = new CLS_OsLog();
    return *s_pLog;
}

void CLS_OsLog::SetPath(const char* _szPath)
{
    std::lock_guard<std::mutex> lock(m_mtxState);
    m_strPath = _szPath ? _szPath : "";
}

std::string CLS_OsLog::Path() const
{
    std::lock_guard<std::mutex> lock(m_mtxState);
    return m_strPath;
}

void CLS_OsLog::SetProcName(const char* _szName)
{
    std::lock_guard<std::mutex> lock(m_mtxState);
    m_strProcName = _szName ? SafeProcName(_szName) : std::string();
}

int CLS_OsLog::Start(bool _blToFile, bool _blFlushEachLine)
{
    std::lock_guard<std::mutex> lock(m_mtxState);
    if (m_pLogger)
        return 0;
    std::shared_ptr<spdlog::logger> pLogger;
    if (_blToFile)
        pLogger = OpenFileLogger(m_strPath);
    else
        pLogger = std::make_shared<spdlog::logger>("libos", std::make_shared<spdlog::sinks::stderr_sink_mt>());
    if (!pLogger)
        return -1;
    pLogger->set_pattern(s_szPattern);
    pLogger->set_level(spdlog::level::trace);
    pLogger->flush_on(_blFlushEachLine ? spdlog::level::trace : spdlog::level::err);
    m_pLogger = pLogger;
    return 0;
}

std::shared_ptr<spdlog::logger> CLS_OsLog::OpenFileLogger(const std::string& _strDir) const
{
    if (_strDir.empty())
        return nullptr;
    std::error_code ec;
    std::filesystem::create_directories(_strDir, ec);
    if (!std::filesystem::is_directory(_strDir, ec))
        return nullptr;
    const std::string strFile = (std::filesystem::path(_strDir) / FileName()).string();
    try {
        auto pSink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            strFile, MaxFileBytes(), n_OsLog_RotatedFiles);
        return std::make_shared<spdlog::logger>("libos", pSink);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::string CLS_OsLog::FileName() const
{
    const std::string strProc = m_strProcName.empty() ? SafeProcName(program_invocation_short_name) : m_strProcName;
    return strProc + "_" + StartStamp() + "_" + std::to_string(getpid()) + ".log";
}

void CLS_OsLog::Stop()
{
    std::shared_ptr<spdlog::logger> pLogger;
    {
        std::lock_guard<std::mutex> lock(m_mtxState);
        pLogger.swap(m_pLogger);
    }
    // Writers still holding the logger finish first; the last owner closes the file.
    if (pLogger)
        pLogger->flush();
}

void CLS_OsLog::Flush()
{
    if (auto pLogger = Current())
        pLogger->flush();
}

bool CLS_OsLog::IsRunning() const
{
    return Current() != nullptr;
}

void CLS_OsLog::Write(int _iLevel, const char* _szFile, int _iLine, const std::string& _strText)
{
    auto pLogger = Current();
    if (!pLogger)
        return;
    if (!_szFile) {
        pLogger->log(MapLevel(_iLevel), spdlog::string_view_t(_strText));
        return;
    }
    std::string strLine;
    strLine.reserve(_strText.size() + 64);
    strLine.append("[").append(_szFile).append(":").append(std::to_string(_iLine)).append("] ").append(_strText);
    pLogger->log(MapLevel(_iLevel), spdlog::string_view_t(strLine));
}

std::shared_ptr<spdlog::logger> CLS_OsLog::Current() const
{
    std::lock_guard<std::mutex> lock(m_mtxState);
    return m_pLogger;
}
