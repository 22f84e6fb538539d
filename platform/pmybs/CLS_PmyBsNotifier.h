// The SDK's callbacks (task, robot, dynamic, event) and the one thread that calls them, in
// arrival order and never on a connection's I/O thread, so a callback may call the SDK.
// Owned by CLS_PmyBsSdk; Set and Post from any thread, callbacks on its own thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
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
    // not run any more, unless this is called from a callback. A new robot callback is
    // handed the last robot status of every login, which it could not have seen.
    void Set(PmyBsNotifyKind _eKind, PFN_PmybsNotify _pfnNotify, void* _pUser);
    void Post(PmyBsNotifyKind _eKind, void* _pLogin, std::string _strJson);
    // A login that logged out: its robot status is not handed on any more.
    void Forget(void* _pLogin);
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

    // Lock order: m_mtxTargets before m_mtxQueue, never the other way.
    void Enqueue(Item _stItem);
    void Run();
    void Deliver(const Item& _stItem);

    std::mutex m_mtxTargets;
    std::array<Target, 4> m_arrTargets;
    std::map<void*, std::string> m_mapLastRobot;  // under m_mtxTargets
    std::mutex m_mtxQueue;
    std::condition_variable m_cvQueue;
    std::deque<Item> m_deqItems;
    bool m_blStop = false;       // under m_mtxQueue
    std::mutex m_mtxCallback;    // held while a callback runs
    std::thread m_thread;
};
