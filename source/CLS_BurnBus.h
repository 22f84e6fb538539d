// The burn bus: registry of jobs and device addresses, driving the backends; one process-wide
// instance (GetInstance, never deleted); entries run on the caller's thread, commands on bus threads.
#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <list>
#include <string>

#include "CLS_BurnRegistry.h"

class CLS_AutoBase;
class QJsonArray;
class QJsonObject;
class QThread;
struct BurnResultInfo;

// Result codes of the bus itself; backend codes pass through unchanged.
enum BurnBusResult
{
    n_BurnBusResult_Ok = 0,
    n_BurnBusResult_JobExists = -4,   // job already registered, or device address unchanged
    n_BurnBusResult_NoJob = -5,       // job not registered
    n_BurnBusResult_NoBackend = -6,   // no backend for the device kind
    n_BurnBusResult_BadRequest = -8,  // bad device-control request, unsafe job id, field of a wrong type
};

// Threads: two worker QThreads (ApplyBurn, AddFile), the job-status and the
// robot-status thread, and one thread per StartBurn, WriteLabel, DoBurn, BurnDir and
// BurnDevCtrl request. No bus lock is held while a backend is called.
//
// Pauses (production length, each scaled by ScaledMs, i.e. BURNMODULE_TIME_SCALE):
// 3 s idle and 1 s between two requests in each worker, 60 s between job-status passes
// (or the pause the backend of the last job polled asks for), 10 s between robot-status rounds and 100 ms
// after each published robot status.
//
// End of process: every bus thread is counted. Stop(), run from the QCoreApplication
// destructor (post routine) and from an exit handler of this library, whichever comes
// first, sets the stop flags, wakes every pause and waits up to 10 s (not scaled) for
// all bus threads to end, so that none outlives the objects it uses. The bus and its
// QThreads are never deleted, so no running QThread is ever destroyed.
class CLS_BurnBus : public QObject
{
    Q_OBJECT

public:
    // The one instance, created on first use (then moved to the application thread).
    static CLS_BurnBus* GetInstance();

    // Entry points: the request's JSON text (UTF-8); the outcome comes as a signal.
    int ApplyBurn(std::string _strMsg);
    int AddFile(std::string _strMsg);
    bool StartBurn(std::string _strMsg);
    int WriteLabel(std::string _strMsg);
    int DoBurn(std::string _strMsg);
    int BurnDir(std::string _strMsg);
    int BurnDevCtrl(std::string _strMsg);

    // Command handlers, synchronous: they call the backend and, when _blSendReply is
    // set, emit the reply. They return the command's result (0 success).
    int InquestBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult);
    int StartBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult);
    int AddFileEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult);
    int WriteLabelEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult);
    int DoBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult);

    // Job recovery: hands the job's device details to its backend / puts it under polling.
    void UpdateJobInfoByJobId(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath);
    // Where the devices' working parameters of a job's steps are recorded (the job store).
    using WorkParamWriter = void (*)(const QString& _qstrJobId, const QString& _qstrCmd, const QString& _qstrParam);
    void SetWorkParamWriter(WorkParamWriter _pfnWriter);
    // Runs a stored command ("ApplyBurn" ... "DoBurn") through its synchronous handler with
    // its reply; 0 on success, else the result with its error code and text.
    int ReplayCommand(const QString& _qstrCmd, const std::string& _strMsg, QString& _qstrErrCode,
                      QString& _qstrErrMsg);
    void SetJobBurning(QString _qstrJobId);

    // Copies the job's record; false (and the record untouched) when not registered.
    bool FindJobInList(const QString& _qstrJobId, BurnJobInfo& _stJob) const;

Q_SIGNALS:
    // A command reply or a job status reply; _iStatus is a job state, -1 for none.
    void signalSendMsgToPresenter(QString _qstrJobId, QString _qstrParam, int _iStatus, QString _qstrMsgId);
    // The device-control reply, addressed by its event id; _iStatus is always -1.
    void signalSendBurnDevCtrlToPresenter(QString _qstrEventId, QString _qstrParam, int _iStatus);
    // A complete message for the message queue (robot status).
    void signalSendMQToPresenter(QString _qstrMsg);

private:
    using Handler = int (CLS_BurnBus::*)(std::string, bool, BurnResultInfo*);

    CLS_BurnBus();
    // Ends every bus thread (bounded wait) at the end of the process; later requests
    // are refused. Idempotent.
    static void StopAtExit();
    void Stop();

    // Threads and pauses.
    QThread* StartWorker(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, Handler _pfnHandler,
                         const char* _szHandlerName);
    bool StartCountedThread(std::function<void()> _fnRun);
    void LeaveCountedThread();
    bool StartCommandThread(const char* _szCommand, std::function<void()> _fnRun);
    void Pause(int _iProductionMs, const std::atomic<bool>& _bStop);
    bool WaitForThreads(QDeadlineTimer _qdeadline);

    // Workers and command threads.
    void WorkerLoop(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, Handler _pfnHandler,
                    const char* _szHandlerName);
    void RunCommand(Handler _pfnHandler, const char* _szHandlerName, const std::string& _strMsg);
    int BurnDirSteps(const std::string& _strMsg, BurnResultInfo* _pResult);
    void BurnDirReply(const std::string& _strMsg, int _iRet, const BurnResultInfo& _stResult);

    // Command steps.
    using JobCommand =
        std::function<int(CLS_AutoBase*, const QString& _qstrJobId, const QJsonObject& _qjsonReq, BurnResultInfo*)>;
    int RunJobCommand(const char* _szFun, const char* _szReplyCmd, const std::string& _strMsg, bool _blSendReply,
                      BurnResultInfo* _pResult, const char* _szMissingMsg, const JobCommand& _fnCommand);
    CLS_AutoBase* JobBackend(const QString& _qstrJobId, BurnJobInfo* _pJob = nullptr) const;
    int RegisterJob(const QJsonObject& _qjsonReq, const std::string& _strMsg, BurnResultInfo* _pResult,
                    QJsonArray& _qjsonDelJobId);
    void EmitCommandReply(const char* _szCmd, const QJsonObject& _qjsonReq, int _iRet,
                          const BurnResultInfo& _stResult, const QJsonArray* _pqjsonDelJobId = nullptr);

    // Status polling, robot status and device control.
    void GetBurnStatusThread();
    void PollJob(CLS_AutoBase* _pBackend, const BurnJobInfo& _stJob, int& _iLastReported);
    void ReportFinalState(CLS_AutoBase* _pBackend, const BurnJobInfo& _stJob, int _iState,
                          const BurnResultInfo& _stResult);
    void ReportDiscError(const BurnJobInfo& _stJob, const BurnResultInfo& _stResult);
    void GetRobotStatusThread();
    void PublishRobotStatus(int _iBurnDev);
    void BurnDevCtrlThread(const std::string& _strMsg);
    int RunDevCtrlEntries(const QJsonArray& _qjsonEntries, QJsonArray& _qjsonReplyList);
    int RunDevCtrlEntry(const QJsonObject& _qjsonEntry, BurnResultInfo* _pResult, QJsonArray& _qjsonDelJobId);
    int AnnounceDevice(CLS_AutoBase* _pBackend, const QJsonObject& _qjsonEntry, BurnResultInfo* _pResult,
                       QJsonArray& _qjsonDelJobId);
    bool UpdateDevAddr(BurnDevAddr& _stDevAddr, QJsonArray& _qjsonDelJobId);

    CLS_BurnRegistry m_registry;
    std::list<std::string> m_listApplyBurnMsg;
    QMutex m_mutexApplyBurn;
    std::list<std::string> m_listAddFileMsg;
    QMutex m_mutexAddFile;

    std::atomic<bool> m_bStopWorker{false};
    std::atomic<bool> m_bStopRobotStatus{false};
    std::atomic<bool> m_bStopBurnStatus{false};
    QMutex m_mutexPause;            // with m_condPause: pauses that Stop() cuts short
    QWaitCondition m_condPause;

    QMutex m_mutexThreads;          // guards the two members below
    QWaitCondition m_condThreads;   // woken when m_iRunningThreads drops to 0
    int m_iRunningThreads = 0;      // counted native threads still running
    bool m_blStopping = false;      // no new thread once set
    QThread* m_pthreadApplyBurn = nullptr;
    QThread* m_pthreadAddFile = nullptr;
};
