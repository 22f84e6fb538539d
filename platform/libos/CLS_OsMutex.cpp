#include "CLS_OsMutex.h"

void CLS_OsMutex::Lock()
{
    const std::thread::id idSelf = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_mtxGuard);
    m_cvFree.wait(lock, [&] { return m_iDepth == 0 || m_idOwner == idSelf; });
    m_idOwner = idSelf;
    ++m_iDepth;
}

bool CLS_OsMutex::Unlock()
{
    std::lock_guard<std::mutex> lock(m_mtxGuard);
    if (m_iDepth == 0 || m_idOwner != std::this_thread::get_id())
        return false;
    if (--m_iDepth > 0)
        return true;
    m_idOwner = std::thread::id();
    // Notified under the lock: a waiter may free the mutex as soon as it gets it.
    m_cvFree.notify_one();
    return true;
}
