// A Primera 4200 disc publisher (kind 7) through its burn service SDK: a task per job,
// progress and robot status from the SDK's callbacks. Process-wide singleton; called
// from the bus's worker, command and status threads, its slots run on the SDK's threads.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "CLS_AutoBase.h"

struct PMYJobTaskInfo
{
    QString m_qstrJobId;
    int m_iStatus = -1;
    QString m_qstrStatusMsg;
    void* m_pTask = nullptr;
    QString m_qstrTaskId;
    int m_iDiscType = 2;
    bool m_bCloseDisc = true;
    int m_iCopyCount = 1;
    int m_iOutputMode = 0;
    QString m_qstrDiscLabel;
    QString m_qstrPrintFile;
    QStringList m_listUp;
    QStringList m_listLeft;
    QStringList m_listRight;
    QStringList m_listDown;
};

class CLS_AutoPrimera4200 : public CLS_AutoBase
{
    Q_OBJECT

public:
    CLS_AutoPrimera4200();
    ~CLS_AutoPrimera4200() override;

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
    int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo* _pResult) override;
    int AdjustPrinter(std::string _strReq, BurnResultInfo* _pResult) override;
    int ClearData(QString _qstrJobId) override;
    bool FindJob(QString _qstrJobId, QString _qstrTaskId) override;
    bool UpdateJobInfo(QString _qstrJobId, QString _qstrTaskId, QString _qstrPath) override;

    // The login whose callbacks count (the SDK's callback threads read it).
    void* LoginHandle() const { return m_pLoginHandle.load(); }

Q_SIGNALS:
    void SigUpdateTaskStatus(QString _qstrMsg);
    void SigUpdateRobotStatus(QString _qstrMsg);
    void SigUpdateDynamicStatus(QString _qstrMsg);

public Q_SLOTS:
    void SlotUpdateTaskStatus(QString _qstrMsg);
    void SlotUpdataRobotStatus(QString _qstrMsg);
    void SlotUpdateDynamicStatus(QString _qstrMsg);

private:
    // A copy of the job's record; empty when there is none.
    std::optional<PMYJobTaskInfo> FindRecord(const QString& _qstrJobId) const;
    bool HasTask(const QString& _qstrTaskId) const;
    void SetJobStatusByTaskId(const QString& _qstrTaskId, int _iStatus, const QString& _qstrMsg);
    // The task a submission of the job that was cut off left at the service; empty when
    // the job never reached its submission or the service holds no task of it; none, with
    // the failure reported, when the service cannot tell.
    std::optional<QString> SubmittedTask(const QString& _qstrJobId, BurnResultInfo* _pResult);
    // Submits the record's task; its id, or empty with the failure reported.
    QString SubmitTask(const PMYJobTaskInfo& _stJob, BurnResultInfo* _pResult);
    // Print file, print fields and task options of a record; 0 or the SDK's failure.
    int ConfigureTask(const PMYJobTaskInfo& _stJob, BurnResultInfo* _pResult);
    void SetOutputMode(void* _pTask, int _iMode);
    // Logs the calibration login in; 0 or -9 with the result's message.
    int LoginForAdjust(const std::string& _strReq, BurnResultInfo* _pResult);

    QString m_qstrServerIP = QStringLiteral("127.0.0.1");
    int m_iServerPort = 6000;
    std::atomic<void*> m_pLoginHandle{nullptr};
    std::atomic<void*> m_pAdjustHandle{nullptr};
    std::unique_ptr<QReadWriteLock> m_pTaskLock;
    QList<std::shared_ptr<PMYJobTaskInfo>> m_qmapJobTaskInfo;
    QMutex m_mutexRobot;
    QJsonObject m_jsonRobotStatus;
    QJsonArray m_jsonDynamic;
    // Guards the service address; never held while the SDK is called.
    mutable QMutex m_mutexAddress;
    std::atomic<int> m_iOutputMode{-1};
};
