// A DMX disc robot with eight drives (kind 11): as the two-drive model, but the robot
// reads a job's files where they are (no share), and a task waiting for discs is not
// reported. Process-wide singleton per kind, on a thread of its own.
#pragma once

#include "CLS_AutoDMX_Two.h"

class CLS_AutoDMX_Eight : public CLS_AutoDMX_Two
{
    Q_OBJECT

public:
    explicit CLS_AutoDMX_Eight(int _iDevType = 11) : CLS_AutoDMX_Two(_iDevType) {}

protected:
    void PrepareShare() override {}
    void ForgetShareCopy(const QString&) override {}
    int ShareAddFile(const QString& _qstrJobId, const BurnFileTask& _stFileTask, BurnResultInfo* _pResult) override;
    bool MissDiscIsWaiting() const override { return false; }
};
