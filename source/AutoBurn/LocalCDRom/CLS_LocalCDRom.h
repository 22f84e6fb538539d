// The backend of the machine's own optical drives (device kind 0) through the drive
// library. Built on first use by any bus thread and handed to the application's main
// thread, where its job timer, its event timer, the library's queued messages and the
// operator dialog run; bus threads only touch the locked job table.
#pragma once

#include <QReadWriteLock>
#include <QTimer>

#include <atomic>
#include <list>
#include <memory>

#include "CLS_AutoBase.h"

// One job of the table.
struct LocalBurnJob
{
    QString m_qstrJobId;
    int m_iGroupId = -1;
    int m_iStatus = 1;
    QString m_qstrMsg;
    QString m_qstrTitle;
    std::vector<std::pair<QString, QString>> m_vecFiles;  // (source, destination)
};

class CLS_LocalCDRom : public CLS_AutoBase
{
    Q_OBJECT

public:
    CLS_LocalCDRom();
    ~CLS_LocalCDRom() override;

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

    // Seconds after which the operator dialog closes by itself (0: it waits for the
    // operator), from BURNMODULE_OPERATOR_TIMEOUT.
    static int OperatorTimeoutSec();

Q_SIGNALS:
    void SigIoctrlCB(QString _qstrParam);

public Q_SLOTS:
    void SlotTmrOnlineHeart();
    void SlotTmrProcessJob();
    void SlotIoctrlCB(QString _qstrParam);

private:
    static void IOCtrlCallBackFunc(const char* _szMsg, void* _pContext);
    void InsertJob(std::unique_ptr<LocalBurnJob> _pJob);
    void AddJobStatusByJobId(const QString& _qstrJobId, int _iStatus, const QString& _qstrMsg);
    void ChangeAllJobStatus(const QString& _qstrMsg);
    QString GetJobIdByGroupId(int _iGroupId);
    bool HasJob(const QString& _qstrJobId);
    int GetGroupIdByJobId(const QString& _qstrJobId);
    LocalBurnJob* FirstWaitingJob();
    void HandToLibrary(LocalBurnJob& _stJob);
    void StartTimers();
    bool StartNotificationService();
    void CallNotificationMethod(const char* _szMethod, const QString& _qstrParam);
    void ShowOperatorDialog(const QString& _qstrText);

    std::vector<std::string> m_vecCDRom;
    std::atomic<int> m_iErrType{-1};
    std::atomic<int> m_iBurnState{-1};
    std::list<std::unique_ptr<LocalBurnJob>> m_listJob;
    std::atomic<int> m_atUnFinishedCount{0};
    std::unique_ptr<QReadWriteLock> m_pJobLock;
    void* m_hAliveMsg = nullptr;
    QTimer* m_pTmrProcessJob = nullptr;
    std::atomic<bool> m_atBurning{false};
    QTimer* m_pTmrOnlineHeart = nullptr;
    std::string m_strWorkDir;
};
