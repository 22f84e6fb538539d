// The template of a new backend: a device that accepts every job, keeps each one in a
// table and reports it finished at the first poll. Process-wide singleton per kind;
// called from the bus's worker, command and status threads (its table is locked).
#pragma once

#include <QMap>
#include <QMutex>

#include <string>

#include "CLS_AutoBase.h"

class CLS_AutoSkeleton : public CLS_AutoBase
{
    Q_OBJECT

public:
    bool Init(BurnResultInfo* _pResult) override;
    int InquestBurn(std::string _strJobId, int _iCopies, int _iBurnType, std::string _strReqJson,
                    BurnResultInfo* _pResult) override;
    int StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle, std::string _strCDCover,
                  int _iCopies, int _iBurnType, std::string _strCloseDisc, std::string _strReqJson,
                  BurnResultInfo* _pResult) override;
    int CancelBurn(std::string _strJobId) override;
    int AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult) override;
    int DoBurn(std::string _strJobId, BurnResultInfo* _pResult) override;
    int WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult) override;
    int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) override;
    int ClearData(QString _qstrJobId) override;

private:
    // The job's state, or -1 when the job is not in the table.
    int JobState(const QString& _qstrJobId) const;
    bool SetJobState(const QString& _qstrJobId, int _iState);

    mutable QMutex m_mutexJobs;
    QMap<QString, int> m_qmapJobState;  // job id -> state
};
