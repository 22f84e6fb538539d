#include "CLS_BurnRegistry.h"

#include <QReadLocker>
#include <QWriteLocker>

#include <algorithm>

#include "BurnDefine.h"

namespace
{
// Matches the registry record of a job id.
auto HasJobId(const QString& _qstrJobId)
{
    return [&_qstrJobId](const BurnJobInfo& _stJob) { return _stJob.qstrJobId == _qstrJobId; };
}
}  // namespace

// Both locks exist before the bus starts a thread, so no thread ever sees them missing.
CLS_BurnRegistry::CLS_BurnRegistry()
    : m_prwlockJob(std::make_unique<QReadWriteLock>(QReadWriteLock::Recursive)),
      m_prwlockGetRobotStatus(std::make_unique<QReadWriteLock>(QReadWriteLock::Recursive))
{
}

bool CLS_BurnRegistry::FindJob(const QString& _qstrJobId, BurnJobInfo& _stJob) const
{
    QReadLocker locker(m_prwlockJob.get());
    const auto itJob = std::find_if(m_listJob.cbegin(), m_listJob.cend(), HasJobId(_qstrJobId));
    if (itJob == m_listJob.cend())
        return false;
    _stJob = *itJob;
    return true;
}

std::list<BurnJobInfo> CLS_BurnRegistry::CopyJobs() const
{
    QReadLocker locker(m_prwlockJob.get());
    return m_listJob;
}

bool CLS_BurnRegistry::AppendJobIfMissing(const BurnJobInfo& _stJob)
{
    QWriteLocker locker(m_prwlockJob.get());
    if (std::any_of(m_listJob.cbegin(), m_listJob.cend(), HasJobId(_stJob.qstrJobId)))
        return false;
    m_listJob.push_back(_stJob);
    return true;
}

bool CLS_BurnRegistry::UpdateJobStatus(const QString& _qstrJobId, int _iStatus)
{
    QWriteLocker locker(m_prwlockJob.get());
    const auto itJob = std::find_if(m_listJob.begin(), m_listJob.end(), HasJobId(_qstrJobId));
    if (itJob == m_listJob.end())
        return false;
    itJob->iStatus = _iStatus;
    return true;
}

bool CLS_BurnRegistry::SetJobStarted(const QString& _qstrJobId, const QString& _qstrMsgId)
{
    QWriteLocker locker(m_prwlockJob.get());
    const auto itJob = std::find_if(m_listJob.begin(), m_listJob.end(), HasJobId(_qstrJobId));
    if (itJob == m_listJob.end())
        return false;
    itJob->iStatus = n_BurnJobState_Burning;
    itJob->qstrMsgId = _qstrMsgId;
    return true;
}

void CLS_BurnRegistry::RemoveJob(const QString& _qstrJobId)
{
    QWriteLocker locker(m_prwlockJob.get());
    const auto itJob = std::find_if(m_listJob.begin(), m_listJob.end(), HasJobId(_qstrJobId));
    if (itJob != m_listJob.end())
        m_listJob.erase(itJob);
}

QStringList CLS_BurnRegistry::TakeJobsOfDevice(int _iBurnDev)
{
    QStringList qlstJobIds;
    QWriteLocker locker(m_prwlockJob.get());
    for (auto itJob = m_listJob.begin(); itJob != m_listJob.end();) {
        if (itJob->iBurnDev != _iBurnDev) {
            ++itJob;
            continue;
        }
        qlstJobIds << itJob->qstrJobId;
        itJob = m_listJob.erase(itJob);
    }
    return qlstJobIds;
}

bool CLS_BurnRegistry::IsKnownDevAddr(const BurnDevAddr& _stDevAddr) const
{
    QReadLocker locker(m_prwlockGetRobotStatus.get());
    const auto itDev = m_mapBurnDev.find(_stDevAddr.iBurnDev);
    return itDev != m_mapBurnDev.end() && itDev->second.qstrIp == _stDevAddr.qstrIp
        && itDev->second.iPort == _stDevAddr.iPort;
}

void CLS_BurnRegistry::InsertBurnDev(int _iBurnDev, const BurnDevAddr& _stDevAddr)
{
    QWriteLocker locker(m_prwlockGetRobotStatus.get());
    m_mapBurnDev[_iBurnDev] = _stDevAddr;
}

QList<int> CLS_BurnRegistry::CopyDevKinds() const
{
    QList<int> qlstKinds;
    QReadLocker locker(m_prwlockGetRobotStatus.get());
    for (const auto& prDev : m_mapBurnDev)
        qlstKinds << prDev.first;
    return qlstKinds;
}
