#include "CLS_NwcDispatcher.h"

#include <algorithm>
#include <cstdint>

namespace
{
// Subscription handles are numbers, unique in the process, so a removed one never
// names a later subscription.
std::atomic<std::uintptr_t> s_uLastSubscription{0};
}  // namespace

struct CLS_NwcDispatcher::Subscription
{
    void* pHandle;
    NwcSubKind eKind;
    PFN_DmxChangeEvent pfnEvent;
    PFN_DmxMsg pfnMsg;
    void* pUser;
    std::atomic<bool> blActive{true};
};

CLS_NwcDispatcher::CLS_NwcDispatcher() : m_thread(&CLS_NwcDispatcher::Run, this) {}

CLS_NwcDispatcher::~CLS_NwcDispatcher()
{
    Stop();
    // The device is never released on this thread (the library keeps one closed from its
    // own callback until the thread ended); should it be, the thread must not be joined.
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    Join();
}

void* CLS_NwcDispatcher::Add(PFN_DmxChangeEvent _pfnEvent, PFN_DmxMsg _pfnMsg, void* _pUser)
{
    if ((!_pfnEvent && !_pfnMsg) || m_blStopping)
        return nullptr;
    auto pSub = std::make_shared<Subscription>();
    pSub->pHandle = reinterpret_cast<void*>(++s_uLastSubscription);
    pSub->eKind = _pfnEvent ? NwcSubKind::Event : NwcSubKind::Message;
    pSub->pfnEvent = _pfnEvent;
    pSub->pfnMsg = _pfnMsg;
    pSub->pUser = _pUser;
    const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
    m_vecSubs.push_back(pSub);
    return pSub->pHandle;
}

bool CLS_NwcDispatcher::Remove(NwcSubKind _eKind, void* _pSubscription)
{
    {
        const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
        const auto it = std::find_if(m_vecSubs.begin(), m_vecSubs.end(), [&](const auto& _pSub) {
            return _pSub->pHandle == _pSubscription && _pSub->eKind == _eKind;
        });
        if (it == m_vecSubs.end())
            return false;
        (*it)->blActive = false;
        m_vecSubs.erase(it);
    }
    WaitForCallback();
    return true;
}

int CLS_NwcDispatcher::RemoveAll(NwcSubKind _eKind)
{
    int iRemoved = 0;
    {
        const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
        for (auto it = m_vecSubs.begin(); it != m_vecSubs.end();) {
            if ((*it)->eKind != _eKind) {
                ++it;
                continue;
            }
            (*it)->blActive = false;
            it = m_vecSubs.erase(it);
            ++iRemoved;
        }
    }
    WaitForCallback();
    return iRemoved;
}

bool CLS_NwcDispatcher::Wants(NwcSubKind _eKind) const
{
    const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
    for (const auto& pSub : m_vecSubs) {
        if (pSub->eKind == _eKind)
            return true;
    }
    return false;
}

void CLS_NwcDispatcher::Post(NwcSubKind _eKind, std::string _strFirst, std::string _strSecond)
{
    {
        const std::lock_guard<std::mutex> lockQueue(m_mtxQueue);
        if (m_blStop)
            return;
        m_deqItems.push_back({_eKind, std::move(_strFirst), std::move(_strSecond)});
    }
    m_cvQueue.notify_one();
}

bool CLS_NwcDispatcher::Stop()
{
    {
        const std::lock_guard<std::mutex> lockQueue(m_mtxQueue);
        m_blStop = true;
        m_blStopping = true;
        m_deqItems.clear();
    }
    m_cvQueue.notify_one();
    {
        const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
        for (const auto& pSub : m_vecSubs)
            pSub->blActive = false;
        m_vecSubs.clear();
    }
    if (m_thread.get_id() == std::this_thread::get_id())
        return false;
    Join();
    return true;
}

bool CLS_NwcDispatcher::Finished() const
{
    return m_blFinished;
}

void CLS_NwcDispatcher::Join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void CLS_NwcDispatcher::Run()
{
    std::unique_lock<std::mutex> lockQueue(m_mtxQueue);
    while (true) {
        m_cvQueue.wait(lockQueue, [this] { return m_blStop || !m_deqItems.empty(); });
        if (m_blStop)
            break;
        const Item stItem = std::move(m_deqItems.front());
        m_deqItems.pop_front();
        lockQueue.unlock();
        Deliver(stItem);
        lockQueue.lock();
    }
    m_blFinished = true;
}

void CLS_NwcDispatcher::Deliver(const Item& _stItem)
{
    const std::lock_guard<std::mutex> lockCallback(m_mtxCallback);
    std::vector<std::shared_ptr<Subscription>> vecSubs;
    {
        const std::lock_guard<std::mutex> lockSubs(m_mtxSubs);
        vecSubs = m_vecSubs;
    }
    for (const auto& pSub : vecSubs) {
        if (!pSub->blActive || pSub->eKind != _stItem.eKind || m_blStopping)
            continue;
        if (pSub->pfnEvent)
            pSub->pfnEvent(_stItem.strFirst.c_str(), _stItem.strSecond.c_str(), pSub->pUser);
        else
            pSub->pfnMsg(_stItem.strFirst.c_str(), static_cast<int>(_stItem.strFirst.size()), pSub->pUser);
    }
}

void CLS_NwcDispatcher::WaitForCallback()
{
    if (m_thread.get_id() == std::this_thread::get_id())
        return;
    const std::lock_guard<std::mutex> lockCallback(m_mtxCallback);
}
