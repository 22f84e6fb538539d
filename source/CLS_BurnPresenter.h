// The message gateway between the host and the burn bus: parses inbound messages,
// keeps reply routes, acknowledges, runs the acknowledged protocol against the job
// store and turns bus replies and device events into outgoing messages. Owned by the
// plug-in object; entry points and timers run on the host thread, the reply slots on
// the bus thread that emits them, the producer connection on a queue thread.
#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QSet>
#include <QString>

#include <atomic>

#include "BurnMessageFormat.h"

class CLS_DBOperation;
class CLS_MqHelper;
class QThread;
class QThreadPool;
class QTimer;

class CLS_BurnPresenter : public QObject
{
    Q_OBJECT

public:
    explicit CLS_BurnPresenter(const QString& _qstrCreateText, QObject* _pParent = nullptr);
    ~CLS_BurnPresenter() override;

    void DealWebSoketMsg(QString _qstrMsg);
    void DealWebSoketLogout(QString _qstrMsg);
    void DealWebSoketMsgAck(int _iCmd, QString _qstrMsg);
    void RecoverJobFromDB();

    // The per-job file writer: "BurnStatusReply" removes the job's folder.
    static void SaveJobInfo(QString _qstrJobId, QString _qstrFileName, QString _qstrContent);

Q_SIGNALS:
    void signalSendMsg(int _iCmd, QString _qstrMsg);
    void signalModSendMsg(int _iCmd, QString _qstrMsg);

private Q_SLOTS:
    void SlotSendMsgToWeb(QString _qstrJobId, QString _qstrParam, int _iStatus, QString _qstrMsgId);
    void SlotSendBurnDevCtrlToWeb(QString _qstrEventId, QString _qstrParam, int _iStatus);
    void SlotSendMQToWeb(QString _qstrParam);
    void SlotCreatMqProducer();
    void SlotRecoverJob();
    void SlotTmrDeleteDBTask();

private:
    void ReadShellConfig();
    void ConnectBus();
    void StartRetentionCleanUp();

    // Inbound.
    void DealDirectMsg(const QJsonObject& _qjsonMsg, const BurnMsgInfo& _stInfo);
    void DealTimestampedMsg(const BurnMsgInfo& _stInfo);
    bool RouteCommand(const BurnMsgInfo& _stInfo);
    void SetReplyRoute(const BurnMsgInfo& _stInfo);
    void SetEventRoute(const BurnMsgInfo& _stInfo);

    // Outbound.
    void SendDirectReply(const QString& _qstrJobId, const QString& _qstrMsgId, const QString& _qstrReplyCmd,
                         const QString& _qstrParam, int _iStatus);
    void SendStoredReply(const QString& _qstrJobId, const QString& _qstrMsgId, const QString& _qstrReplyCmd,
                         const QString& _qstrParam, int _iStatus);
    ClientRoute TakeReplyRoute(const QString& _qstrKey);
    void DropJobRoutes(const QString& _qstrJobId);

    // Recovery at start: what a job of the burn service replays, read before any new
    // message is taken; run on a recovery thread. The job's new commands wait until it ends.
    struct ServiceJobReplay
    {
        QString qstrJobId;
        QString qstrApplyMsg;                     // the first ApplyBurn's whole message
        QString qstrTaskId;                       // DoBurn's working parameter
        QList<QPair<QString, QString>> qlstSteps; // command, stored parameters; ApplyBurn first
    };
    static ServiceJobReplay ReadServiceJob(CLS_DBOperation& _dbOperation, const QString& _qstrJobId);
    void RecoverServiceJob(const ServiceJobReplay& _stReplay);
    void ReplayServiceJob(const ServiceJobReplay& _stReplay);
    bool HoldWhileRecovering(const BurnMsgInfo& _stInfo);
    void EndRecovery(const QString& _qstrJobId);

    // Queue.
    void SetupMqProducer(const QString& _qstrMsg);
    void PublishToMq(const QString& _qstrMsg);

    bool m_blOneInstance = false;
    CLS_MqHelper* m_pMqProducer = nullptr;
    QMutex m_mutexMqSetup;
    QThread* m_pMqThread = nullptr;
    QThreadPool* m_pRecoveryPool = nullptr;  // one thread per recovered job; waited for at the end
    QMutex m_mutexRecovery;
    QHash<QString, QList<BurnMsgInfo>> m_qhashHeldCommands;  // job under recovery -> its new commands
    std::atomic<bool> m_blStopping{false};

    QMutex m_mutexRoute;
    QTimer* m_pTmrDeleteDB = nullptr;
    // Runs the store clean-ups; the destructor waits for them, so none runs the
    // module's code after DeleteModule (the host may unload the library then).
    QThreadPool* m_pCleanUpPool = nullptr;
    QMap<QString, ClientRoute> m_qmapSendMsgReqParam;
    QMap<QString, QSet<QString>> m_qmapJobRouteKeys;  // job id -> its keys in m_qmapSendMsgReqParam
    QMutex m_mutexEvent;
    QMap<QString, ClientRoute> m_qmapEventRoute;

    // Bus threads run the reply slots; destruction waits until none is inside one.
    QReadWriteLock m_rwlockAlive;
    bool m_blAlive = true;
};
