// libcurl's process-wide state, started once and released only when no request
// is in flight. One instance, never destroyed; callable from any thread.
#pragma once

#include <atomic>
#include <shared_mutex>

class CLS_CurlGlobal
{
public:
    static CLS_CurlGlobal& Instance();

    // 0 when libcurl is ready afterwards, -1 when its initialisation failed.
    int Startup();
    // Waits for requests in flight, then releases libcurl. Always 0.
    int Cleanup();

    // Held by a request for its whole run, so Cleanup cannot pull libcurl
    // from under it. Starts libcurl when needed; an empty lock means failure.
    std::shared_lock<std::shared_mutex> AcquireForRequest();

private:
    CLS_CurlGlobal() = default;

    std::shared_mutex m_rwlockState;
    std::atomic<bool> m_blStarted{false};
};
