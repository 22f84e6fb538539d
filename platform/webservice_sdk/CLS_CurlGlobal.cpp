#include "CLS_CurlGlobal.h"

#include <curl/curl.h>

#include <mutex>

CLS_CurlGlobal& CLS_CurlGlobal::Instance()
{
    // Never destroyed: a request may still run while the process exits.
    static CLS_CurlGlobal* s_pGlobal = new CLS_CurlGlobal();
    return *s_pGlobal;
}

int CLS_CurlGlobal::Startup()
{
    std::unique_lock<std::shared_mutex> lock(m_rwlockState);
    if (m_blStarted.load())
        return 0;
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
        return -1;
    m_blStarted.store(true);
    return 0;
}

int CLS_CurlGlobal::Cleanup()
{
    std::unique_lock<std::shared_mutex> lock(m_rwlockState);
    if (!m_blStarted.load())
        return 0;
    curl_global_cleanup();
    m_blStarted.store(false);
    return 0;
}

std::shared_lock<std::shared_mutex> CLS_CurlGlobal::AcquireForRequest()
{
    std::shared_lock<std::shared_mutex> lock(m_rwlockState);
    if (m_blStarted.load())
        return lock;
    lock.unlock();
    if (Startup() != 0)
        return {};
    lock.lock();
    // A Cleanup may have slipped in between; the caller reports failure then.
    if (!m_blStarted.load())
        lock.unlock();
    return lock;
}
