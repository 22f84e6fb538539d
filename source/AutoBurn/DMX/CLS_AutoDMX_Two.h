// A DMX disc robot with two drives (kind 10) through the robot network library: jobs
// are copied onto the robot's share and submitted as tasks whose progress the robot
// pushes as events; a one-minute timer reads its inks and blank discs. The larger
// models derive from it. Process-wide singleton per kind, living on a thread of its
// own (events and the timer run there); bus threads call the operations, which guard
// the job map and the device status with their locks.
#pragma once

#include <QMap>
#include <QMutex>
#include <QReadWriteLock>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#include "CLS_AutoBase.h"
#include "DmxService.h"

class CLS_AutoDMX_Two : public CLS_AutoBase
{
    Q_OBJECT

public:
    explicit CLS_AutoDMX_Two(int _iDevType = 10);
    ~CLS_AutoDMX_Two() override;

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
    int ClearData(QString _qstrJobId) override;

Q_SIGNALS:
    void SignalEventChange(QString _qstrCmd, QString _qstrJson);

public Q_SLOTS:
    void slotEventChange(QString _qstrCmd, QString _qstrJson);
    void slotQueryDevStatus();

protected:
    // What the models do differently; the two-drive model's way by default.
    virtual void PrepareShare();
    virtual void ForgetShareCopy(const QString& _qstrGuid);
    virtual int ShareAddFile(const QString& _qstrJobId, const BurnFileTask& _stFileTask, BurnResultInfo* _pResult);
    virtual bool MissDiscIsWaiting() const { return true; }  // task status 10621 -> job state 14
    virtual void OnTaskStatus(const QString& _qstrGuid, int _iStatus);
    virtual bool AddTaskReportsErrId() const { return false; }
    // A task the robot refused that still counts as submitted (it waits for discs).
    virtual bool AcceptRefusedTask(const QString&, int) { return false; }
    // The blank discs in the robot; false when it could not be asked.
    virtual bool ReadDiscStock(int& _iCount);

    bool IsConnected() const;
    // Sends a request; the library's result (1: success) and the reply.
    int Send(const char* _szMethod, const char* _szClass, const QString& _qstrBody, int _iTimeoutMs,
             QString& _qstrReply, int* _piErrId = nullptr);
    int SubmitTask(const QString& _qstrJobId, const QString& _qstrTask, BurnResultInfo* _pResult);
    bool GetAddTaskParam(const QString& _qstrJobId, QString& _qstrTask, BurnResultInfo* _pResult);
    void SetTaskStatus(const QString& _qstrGuid, int _iStatus);
    // Changes the job under the write lock; false when it is not registered.
    template <class Change>
    bool EditJob(const QString& _qstrJobId, Change _change)
    {
        QWriteLocker locker(m_pJobLock.get());
        auto itJob = m_qmapJobs.find(_qstrJobId);
        if (itJob == m_qmapJobs.end())
            return false;
        _change(*itJob);
        return true;
    }
    bool FindJobParam(const QString& _qstrJobId, DMXJobParam& _stJob) const;

    QMap<QString, int> m_qmapMediaCode;
    std::atomic<bool> m_bInit{false};
    QMutex m_mutex;
    const int m_iDevType;
    QString m_qstrIp = QStringLiteral("127.0.0.1");
    int m_iPort = 1882;
    std::atomic<void*> m_pDevice{nullptr};
    void* m_pchangeEvent = nullptr;
    std::unique_ptr<QReadWriteLock> m_pJobLock;
    QMap<QString, DMXJobParam> m_qmapJobs;
    std::unique_ptr<QReadWriteLock> m_pStatusLock;
    DMXDevStatus m_stDevStatus;
    // The share, guarded by m_shareMutex (bus threads copy, the backend's thread cleans).
    QString m_qstrShareDir;
    QString m_qstrShareUser;
    QString m_qstrSharePass;
    mutable QMutex m_shareMutex;

private:
    static void DMXChangeEventCallBack(const char* _szCmd, const char* _szJson, void* _pContext);
    bool Connect(BurnResultInfo* _pResult);
    bool GetShareDir();
    int GetDMXServiceStatus();
    bool StartDMXTaskService();
    bool GetPrintParam(const QString& _qstrCover, const QString& _qstrLabelValues, QJsonObject& _qjsonPrint,
                       BurnResultInfo* _pResult);
    void OnSysLog(const QString& _qstrJson);
    // The share folder of a job: "<share>\BurnServer\<job id>", a local path; empty
    // while the share is not known.
    QString ShareJobDir(const QString& _qstrGuid) const;
    void Disconnect();

    std::unique_ptr<QThread> m_pThread;
    QTimer* m_pTimer = nullptr;  // lives on m_pThread
};
