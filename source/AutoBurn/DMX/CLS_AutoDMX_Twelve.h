// A DMX disc robot with twelve drives (kind 9): as the eight-drive model, plus a queue
// of jobs waiting for blank discs, reburned one per status tick once the robot has
// discs again. Process-wide singleton per kind; the queue is reburned on the backend's
// own thread, the operations run on bus threads.
#pragma once

#include <QStringList>

#include "CLS_AutoDMX_Eight.h"

class CLS_AutoDMX_Twelve : public CLS_AutoDMX_Eight
{
    Q_OBJECT

public:
    explicit CLS_AutoDMX_Twelve(int _iDevType = 9) : CLS_AutoDMX_Eight(_iDevType) {}

    // The jobs waiting for discs, oldest first (for the status and for tests).
    QStringList MissDiscQueue() const;

protected:
    bool MissDiscIsWaiting() const override { return true; }
    void OnTaskStatus(const QString& _qstrGuid, int _iStatus) override;
    bool AddTaskReportsErrId() const override { return true; }
    bool AcceptRefusedTask(const QString& _qstrJobId, int _iErrId) override;
    bool ReadDiscStock(int& _iCount) override;

private:
    bool IsMissDisc(const QString& _qstrJobId);
    void SetMissDiscJobType(const QString& _qstrJobId, int _iType);
    void InsertMissDiscJob(const QString& _qstrJobId);
    bool IsNeedReBurn(const QString& _qstrJobId);
    void CheckMissDiscQueue(int _iCdCount);
    void ReBurn(const QString& _qstrJobId);
    void ResubmitTask(const QString& _qstrJobId);
    void RestartTask(const QString& _qstrJobId);

    QStringList m_qlstMissDisc;
    mutable QMutex m_mutexMissDisc;
};
