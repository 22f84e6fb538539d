// The process-wide log behind the log_* entries; one instance, never destroyed.
// Every member may be called from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace spdlog {
class logger;
}

class CLS_OsLog
{
public:
    static CLS_OsLog& Instance();

    void SetPath(const char* _szPath);
    std::string Path() const;
    void SetProcName(const char* _szName);

    // 0 when running afterwards, -1 when it could not start.
    int Start(bool _blToFile, bool _blFlushEachLine);
    // Flushes and closes; later lines are dropped until the next Start.
    void Stop();
    void Flush();

    // True while a line would be written, so callers can skip formatting.
    bool IsRunning() const;
    void Write(int _iLevel, const char* _szFile, int _iLine, const std::string& _strText);

private:
    CLS_OsLog() = default;

    std::shared_ptr<spdlog::logger> Current() const;
    std::shared_ptr<spdlog::logger> OpenFileLogger(const std::string& _strDir) const;
    std::string FileName() const;

    mutable std::mutex m_mtxState;
    std::string m_strPath;
    std::string m_strProcName;
    std::shared_ptr<spdlog::logger> m_pLogger;
};
