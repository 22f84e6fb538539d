// The burn bus's two registries: the registered jobs and the device address of each
// kind. Owned by the bus; every method runs on any thread and takes the registry's
// own lock only for the copy or change it makes, so no caller holds it while calling
// a backend.
#pragma once

#include <QList>
#include <QReadWriteLock>
#include <QStringList>

#include <list>
#include <map>
#include <memory>

#include "BurnJobInfo.h"

class CLS_BurnRegistry
{
public:
    CLS_BurnRegistry();

    // Jobs.
    bool FindJob(const QString& _qstrJobId, BurnJobInfo& _stJob) const;
    std::list<BurnJobInfo> CopyJobs() const;
    bool AppendJobIfMissing(const BurnJobInfo& _stJob);
    bool UpdateJobStatus(const QString& _qstrJobId, int _iStatus);
    // The accepted DoBurn: state 2 and the msgId its final status reply carries.
    bool SetJobStarted(const QString& _qstrJobId, const QString& _qstrMsgId);
    void RemoveJob(const QString& _qstrJobId);
    // Unregisters every job of the kind and lists their ids.
    QStringList TakeJobsOfDevice(int _iBurnDev);

    // Device addresses.
    bool IsKnownDevAddr(const BurnDevAddr& _stDevAddr) const;
    void InsertBurnDev(int _iBurnDev, const BurnDevAddr& _stDevAddr);
    QList<int> CopyDevKinds() const;

private:
    std::list<BurnJobInfo> m_listJob;
    std::unique_ptr<QReadWriteLock> m_prwlockJob;
    std::map<int, BurnDevAddr> m_mapBurnDev;
    std::unique_ptr<QReadWriteLock> m_prwlockGetRobotStatus;
};
