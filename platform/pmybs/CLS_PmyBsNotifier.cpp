#include "CLS_PmyBsNotifier.h"

namespace
{
// A callback that never returns would hold every later message; the queue is bounded so
// the connections' I/O threads never grow it without end.
constexpr std::size_t n_MaxQueued = 10000;
}  // namespace

CLS_PmyBsNotifier::CLS_PmyBsNotifier() : m_thread(&CLS_PmyBsNotifier::Run, this) {}

CLS_PmyBsNotifier::~CLS_PmyBsNotifier()
{
    Stop();
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    if (m_thread.joinable())
        m_thread.join();
}

void CLS_PmyBsNotifier::Set(PmyBsNotifyKind _eKind, PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    {
        const std::lock_guard<std::mutex> lockTargets(m_mtxTargets);
        m_arrTargets[static_cast<std::size_t>(_eKind)] = {_pfnNotify, _pUser};
        // The service pushes the robot status only when it changes: the one pushed right
        // after a log-in, before any callback was set, would otherwise never be seen.
        // Queued under the lock, so no newer status of a login can come before it.
        if (_eKind == PmyBsNotifyKind::Robot && _pfnNotify) {
            for (const auto& stLast : m_mapLastRobot)
                Enqueue({PmyBsNotifyKind::Robot, stLast.first, stLast.second});
        }
    }
    if (m_thread.get_id() == std::this_thread::get_id())
        return;
    const std::lock_guard<std::mutex> lockCallback(m_mtxCallback);
}

void CLS_PmyBsNotifier::Forget(void* _pLogin)
{
    const std::lock_guard<std::mutex> lockTargets(m_mtxTargets);
    m_mapLastRobot.erase(_pLogin);
}

void CLS_PmyBsNotifier::Post(PmyBsNotifyKind _eKind, void* _pLogin, std::string _strJson)
{
    if (_eKind != PmyBsNotifyKind::Robot) {
        Enqueue({_eKind, _pLogin, std::move(_strJson)});
        return;
    }
    const std::lock_guard<std::mutex> lockTargets(m_mtxTargets);
    m_mapLastRobot[_pLogin] = _strJson;
    Enqueue({_eKind, _pLogin, std::move(_strJson)});
}

void CLS_PmyBsNotifier::Enqueue(Item _stItem)
{
    {
        const std::lock_guard<std::mutex> lockQueue(m_mtxQueue);
        if (m_blStop || m_deqItems.size() >= n_MaxQueued)
            return;
        m_deqItems.push_back(std::move(_stItem));
    }
    m_cvQueue.notify_one();
}

void CLS_PmyBsNotifier::Stop()
{
    {
        const std::lock_guard<std::mutex> lockQueue(m_mtxQueue);
        m_blStop = true;
        m_deqItems.clear();
    }
    m_cvQueue.notify_one();
    {
        const std::lock_guard<std::mutex> lockTargets(m_mtxTargets);
        m_arrTargets.fill(Target());
        m_mapLastRobot.clear();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void CLS_PmyBsNotifier::Run()
{
    std::unique_lock<std::mutex> lockQueue(m_mtxQueue);
    while (true) {
        m_cvQueue.wait(lockQueue, [this] { return m_blStop || !m_deqItems.empty(); });
        if (m_blStop)
            return;
        const Item stItem = std::move(m_deqItems.front());
        m_deqItems.pop_front();
        lockQueue.unlock();
        Deliver(stItem);
        lockQueue.lock();
    }
}

void CLS_PmyBsNotifier::Deliver(const Item& _stItem)
{
    const std::lock_guard<std::mutex> lockCallback(m_mtxCallback);
    Target stTarget;
    {
        const std::lock_guard<std::mutex> lockTargets(m_mtxTargets);
        stTarget = m_arrTargets[static_cast<std::size_t>(_stItem.eKind)];
    }
    if (stTarget.pfnNotify)
        stTarget.pfnNotify(_stItem.pLogin, _stItem.strJson.c_str(), static_cast<int>(_stItem.strJson.size()),
                           stTarget.pUser);
}
