// The SDK's callbacks (task, robot, dynamic, event) and the one thread that calls them, in
// arrival order and never on a connection's I/O thread, so a callback may call the SDK.
// Owned by CLS_PmyBsSdk; Set and Post from any thread, callbacks on its own thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "PmyBsApi.h"

enum class PmyBsNotifyKind
{
    Task,
    Robot,
    Dynamic,
    Event,
};

class CLS_PmyBsNotifier
{
public:
    CLS_PmyBsNotifier();
    ~CLS_PmyBsNotifier();
    CLS_PmyBsNotifier(const CLS_PmyBsNotifier&) = delete;
    CLS_PmyBsNotifier& operator=(const CLS_PmyBsNotifier&) = delete;

    // Replaces the kind's callback (null removes it). After it returns the old one does
    // not run any more, unless this is called from a callback.
    void Set(PmyBsNotifyKind _eKind, PFN_PmybsNotify _pfnNotify, void* _pUser);
    void Post(PmyBsNotifyKind _eKind, void* _pLogin, std::string _strJson);
    // Ends the thread; called from a callback, the thread ends after it returns.
    void Stop();

private:
    struct Item
    {
        PmyBsNotifyKind eKind;
        void* pLogin;
        std::string strJson;
    };
    struct Target
    {
        PFN_PmybsNotify pfnNotify = nullptr;
        void* pUser = nullptr;
    };

    void Run();
    void Deliver(const Item& _stItem);

    std::mutex m_mtxTargets;
    std::array<Target, 4> m_arrTargets;
    std::mutex m_mtxQueue;
    std::condition_variable m_cvQueue;
    std::deque<Item> m_deqItems;
    bool m_blStop = false;       // under m_mtxQueue
    std::mutex m_mtxCallback;    // held while a callback runs
    std::thread m_thread;
};
