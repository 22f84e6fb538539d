// A recursive mutex handed out as an opaque handle by os_mutex_create; owned by
// the caller until os_mutex_destroy. Lock and Unlock may be called from any thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class CLS_OsMutex
{
public:
    // Blocks until the calling thread holds the mutex; re-entry counts.
    void Lock();
    // False when the calling thread does not hold the mutex.
    bool Unlock();

private:
    std::mutex m_mtxGuard;
    std::condition_variable m_cvFree;
    std::thread::id m_idOwner;
    int m_iDepth = 0;
};
