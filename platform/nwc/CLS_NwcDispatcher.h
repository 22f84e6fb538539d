// One device's subscriptions and the thread that calls them, in arrival order and never on
// the I/O thread, so a callback may send. Owned by CLS_NwcDevice; callbacks on its thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DmxNwcApi.h"

enum class NwcSubKind
{
    Event,    // "TaskStatus", "SysLog", ... as command and JSON
    Message,  // every received line as it came
};

class CLS_NwcDispatcher
{
public:
    CLS_NwcDispatcher();
    ~CLS_NwcDispatcher();
    CLS_NwcDispatcher(const CLS_NwcDispatcher&) = delete;
    CLS_NwcDispatcher& operator=(const CLS_NwcDispatcher&) = delete;

    // The subscription's handle; null for a null callback or after Stop.
    void* Add(PFN_DmxChangeEvent _pfnEvent, PFN_DmxMsg _pfnMsg, void* _pUser);
    // After these return, no callback of the removed subscriptions runs (a callback
    // that removes itself finishes, nothing more). Remove: false for an unknown handle;
    // RemoveAll: how many went.
    bool Remove(NwcSubKind _eKind, void* _pSubscription);
    int RemoveAll(NwcSubKind _eKind);

    bool Wants(NwcSubKind _eKind) const;
    void Post(NwcSubKind _eKind, std::string _strFirst, std::string _strSecond = {});

    // Ends the thread; no callback runs after it returns. From a callback the thread
    // cannot be waited for: false, and it ends by itself when the callback returns (Join).
    bool Stop();
    bool Finished() const;
    void Join();

private:
    struct Subscription;
    struct Item
    {
        NwcSubKind eKind;
        std::string strFirst;   // the command, or the line
        std::string strSecond;  // the JSON text of an event
    };

    void Run();
    void Deliver(const Item& _stItem);
    // Waits for a callback in flight, unless this is the callback's own thread.
    void WaitForCallback();

    mutable std::mutex m_mtxSubs;
    std::vector<std::shared_ptr<Subscription>> m_vecSubs;
    std::mutex m_mtxQueue;
    std::condition_variable m_cvQueue;
    std::deque<Item> m_deqItems;
    bool m_blStop = false;                // under m_mtxQueue
    std::atomic<bool> m_blStopping{false};// read by the callback loop without the queue lock
    std::atomic<bool> m_blFinished{false};
    std::mutex m_mtxCallback;             // held while callbacks run
    std::thread m_thread;
};
