#include "CLS_BurnPresenter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QReadLocker>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QWriteLocker>

#include "BurnDefine.h"
#include "CLS_BurnBus.h"
#include "CLS_DBOperation.h"
#include "CLS_MqHelper.h"
#include "JobFolder.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "source\\CLS_BurnPresenter";
const QString s_qstrStoreName = QStringLiteral("BurnModule");
constexpr int n_OutgoingCode = 10110;
constexpr int n_ReceiptCode = 110;
constexpr int n_AckTimedOut = 70;
constexpr int n_AckDelivered = 71;
constexpr int n_ReceiptStored = 0;
constexpr int n_ReceiptNotStored = -1;
constexpr int n_RetentionDays = 7;
constexpr int n_RetentionIntervalMs = 28800000;

QByteArray Utf8(const QString& _qstrText)
{
    return _qstrText.toUtf8();
}

// Parses a message the host handed over; logs and yields false when it is no object.
bool ParseHostText(const char* _szFun, const QString& _qstrMsg, QJsonObject& _qjsonMsg)
{
    QJsonParseError qjsonErr;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrMsg.toUtf8(), &qjsonErr);
    // The reason goes before the text: a long text is cut in the log, and with it what followed.
    if (qjsonErr.error != QJsonParseError::NoError) {
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s, qjsonOdc is Error [%s at %d], _qstrMsg=%s", _szFun,
                 Utf8(qjsonErr.errorString()).constData(), qjsonErr.offset, Utf8(_qstrMsg).constData());
        return false;
    }
    if (!qjsonDoc.isObject()) {
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s, _qstrMsg=%s, qjsonOdc is not Object", _szFun,
                 Utf8(_qstrMsg).constData());
        return false;
    }
    _qjsonMsg = qjsonDoc.object();
    return true;
}

QString JobFileName(const BurnMsgInfo& _stInfo)
{
    if (_stInfo.qstrCmd == QLatin1String("AddFile"))
        return QStringLiteral("AddFile_") + _stInfo.qstrMsgId;
    return _stInfo.qstrCmd;
}

// A bus entry called with the command parameters; the gateway does not use its result.
using BusEntry = void (*)(CLS_BurnBus*, const std::string&);

template <auto pfnEntry>
void CallBusEntry(CLS_BurnBus* _pBus, const std::string& _strParam)
{
    (_pBus->*pfnEntry)(_strParam);
}

enum CommandFlag
{
    n_CommandFlag_None = 0,
    n_CommandFlag_SetupMq = 1,     // the message may carry the queue settings
    n_CommandFlag_EventRoute = 2,  // device events of the request go back by its "eventId"
    n_CommandFlag_NoAck = 4,       // neither passed on nor acknowledged
};

// How the gateway passes a command on; a command not in the table is acknowledged only.
struct CommandRoute
{
    BusEntry pfnBusEntry = nullptr;
    int iFlags = n_CommandFlag_None;
};

CommandRoute CommandRouteOf(const QString& _qstrCmd)
{
    static const QHash<QString, CommandRoute> s_qhashCommandRoutes = {
        {QStringLiteral("ApplyBurn"), {&CallBusEntry<&CLS_BurnBus::ApplyBurn>, n_CommandFlag_SetupMq}},
        {QStringLiteral("StartBurn"), {&CallBusEntry<&CLS_BurnBus::StartBurn>, n_CommandFlag_None}},
        {QStringLiteral("AddFile"), {&CallBusEntry<&CLS_BurnBus::AddFile>, n_CommandFlag_None}},
        {QStringLiteral("WriteLabel"), {&CallBusEntry<&CLS_BurnBus::WriteLabel>, n_CommandFlag_None}},
        {QStringLiteral("DoBurn"), {&CallBusEntry<&CLS_BurnBus::DoBurn>, n_CommandFlag_None}},
        {QStringLiteral("BurnDevCtrl"),
         {&CallBusEntry<&CLS_BurnBus::BurnDevCtrl>, n_CommandFlag_SetupMq | n_CommandFlag_EventRoute}},
        {QStringLiteral("BurnDir"), {&CallBusEntry<&CLS_BurnBus::BurnDir>, n_CommandFlag_None}},
        {QStringLiteral("CancelBurn"), {nullptr, n_CommandFlag_NoAck}},
    };
    return s_qhashCommandRoutes.value(_qstrCmd);
}
}  // namespace

namespace
{
constexpr int n_RecoveryThreads = 8;
const QHash<QString, const char*> s_qhashReplayFailLines{
    {QStringLiteral("ApplyBurn"), "[InquestBurnEx Fail][%s][%s]"},
    {QStringLiteral("StartBurn"), "[StartBurnEx Fail][%s][%s]"},
    {QStringLiteral("AddFile"), "[AddFileEx Fail][%s][%s]"},
    {QStringLiteral("WriteLabel"), "[WriteLabelEx Fail][%s][%s]"},
    {QStringLiteral("DoBurn"), "[DoBurnEx Fail][%s][%s]"},
};

// The writer the backends record a step's working parameter through.
void StoreWorkParam(const QString& _qstrJobId, const QString& _qstrCmd, const QString& _qstrParam)
{
    BurnMsgInfo stInfo;
    stInfo.qstrJobId = _qstrJobId;
    stInfo.qstrCmd = _qstrCmd;
    stInfo.qstrBurnTempParam = _qstrParam;
    CLS_DBOperation(s_qstrStoreName).UpdateBurnTempParam(stInfo);
}

// Hands one stored command to the bus's synchronous handler; false when there is none or
// the handler refused it (logged with the result's code and text).
bool ReplayStep(const QString& _qstrCmd, const QString& _qstrParam)
{
    if (_qstrParam.isEmpty())
        return false;
    QString qstrErrCode;
    QString qstrErrMsg;
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();
    if (pBus->ReplayCommand(_qstrCmd, Utf8(_qstrParam).toStdString(), qstrErrCode, qstrErrMsg) == 0)
        return true;
    BURN_LOG(n_BurnLogLevel_Error, s_qhashReplayFailLines.value(_qstrCmd), Utf8(qstrErrCode).constData(),
             Utf8(qstrErrMsg).constData());
    return false;
}
}  // namespace

CLS_BurnPresenter::CLS_BurnPresenter(const QString& _qstrCreateText, QObject* _pParent) : QObject(_pParent)
{
    m_pCleanUpPool = new QThreadPool(this);
    m_pRecoveryPool = new QThreadPool(this);
    m_pRecoveryPool->setMaxThreadCount(n_RecoveryThreads);
    // The store is opened before the bus first exists: Qt's SQL globals, made now, end
    // after the bus's exit handler has stopped the threads that store replies through
    // them, should the host end with exit() while the module is loaded.
    static_cast<void>(CLS_DBOperation(s_qstrStoreName));
    CLS_BurnBus::GetInstance()->SetWorkParamWriter(&StoreWorkParam);
    ReadShellConfig();
    SetupMqProducer(_qstrCreateText);
    ConnectBus();
    StartRetentionCleanUp();
    m_pTmrDeleteDB = new QTimer(this);
    connect(m_pTmrDeleteDB, &QTimer::timeout, this, &CLS_BurnPresenter::SlotTmrDeleteDBTask);
    m_pTmrDeleteDB->start(n_RetentionIntervalMs);
}

CLS_BurnPresenter::~CLS_BurnPresenter()
{
    {
        QWriteLocker locker(&m_rwlockAlive);
        m_blAlive = false;
    }
    disconnect(CLS_BurnBus::GetInstance(), nullptr, this, nullptr);
    m_blStopping = true;
    if (m_pMqThread) {
        m_pMqThread->quit();
        m_pMqThread->wait();
        delete m_pMqThread;
    }
    m_pRecoveryPool->waitForDone();
    delete m_pMqProducer;
    m_pCleanUpPool->waitForDone();
}

void CLS_BurnPresenter::ReadShellConfig()
{
    QFile qfile(QCoreApplication::applicationDirPath() + QStringLiteral("/corvane_config.json"));
    if (!qfile.exists()) {
        qInfo("!QFile(qstrConfigPath).exists()");
        return;
    }
    if (!qfile.open(QIODevice::ReadOnly)) {
        qInfo("!file.open(QIODevice::ReadOnly)");
        return;
    }
    QJsonParseError qjsonErr;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(qfile.readAll(), &qjsonErr);
    if (qjsonDoc.isNull() || qjsonErr.error != QJsonParseError::NoError) {
        qInfo("qjsonDoc.isNull() || (qjsonErr.error != QJsonParseError::NoError)");
        return;
    }
    if (!qjsonDoc.isObject()) {
        qInfo("!qjsonDoc.isObject()");
        return;
    }
    const QJsonObject qjsonObj = qjsonDoc.object();
    if (!qjsonObj.contains(QStringLiteral("oneInstance"))) {
        qInfo("!qjsonObj.contains(oneInstance)");
        return;
    }
    const QJsonValue qjsonOneIns = qjsonObj.value(QStringLiteral("oneInstance"));
    if (!qjsonOneIns.isArray()) {
        qInfo("!qjsonOneIns.isArray()");
        return;
    }
    m_blOneInstance = qjsonOneIns.toArray().contains(QStringLiteral("BurnModule"));
}

void CLS_BurnPresenter::ConnectBus()
{
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();
    connect(pBus, &CLS_BurnBus::signalSendMsgToPresenter, this, &CLS_BurnPresenter::SlotSendMsgToWeb,
            Qt::DirectConnection);
    connect(pBus, &CLS_BurnBus::signalSendBurnDevCtrlToPresenter, this, &CLS_BurnPresenter::SlotSendBurnDevCtrlToWeb,
            Qt::DirectConnection);
    connect(pBus, &CLS_BurnBus::signalSendMQToPresenter, this, &CLS_BurnPresenter::SlotSendMQToWeb,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
}

void CLS_BurnPresenter::StartRetentionCleanUp()
{
    m_pCleanUpPool->start([] {
        CLS_DBOperation dbOperation(s_qstrStoreName);
        dbOperation.DeleteExpiredJobs(n_RetentionDays);
    });
}

void CLS_BurnPresenter::SlotTmrDeleteDBTask()
{
    StartRetentionCleanUp();
}

void CLS_BurnPresenter::DealWebSoketMsg(QString _qstrMsg)
{
    QJsonObject qjsonMsg;
    if (!ParseHostText("CLS_BurnPresenter::DealWebSoketMsg", _qstrMsg, qjsonMsg))
        return;
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, _qstrMsg=%s", "CLS_BurnPresenter::DealWebSoketMsg",
             Utf8(_qstrMsg).constData());
    const BurnMsgInfo stInfo = ParseInboundMsg(_qstrMsg, qjsonMsg);
    if (HasTimestamp(qjsonMsg)) {
        DealTimestampedMsg(stInfo);
        return;
    }
    DealDirectMsg(qjsonMsg, stInfo);
}

void CLS_BurnPresenter::DealDirectMsg(const QJsonObject& _qjsonMsg, const BurnMsgInfo& _stInfo)
{
    if (!_stInfo.qstrJobId.isEmpty()) {
        SaveJobInfo(_stInfo.qstrJobId, JobFileName(_stInfo), _stInfo.qstrMsg);
        SetReplyRoute(_stInfo);
    }
    if (!RouteCommand(_stInfo))
        return;
    const QString qstrAck = BuildImmediateAck(_qjsonMsg, _stInfo.qstrCmd, m_blOneInstance);
    emit signalSendMsg(n_OutgoingCode, qstrAck);
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, qstrPackageMessage=%s", "CLS_BurnPresenter::DealWebSoketMsg",
             Utf8(qstrAck).constData());
}

// Records the message, answers with a receipt and runs it only the first time. A message
// the store could not keep is answered with a failed receipt and not run: its replies could
// be neither addressed nor resent, and the client, told so, sends it again later.
void CLS_BurnPresenter::DealTimestampedMsg(const BurnMsgInfo& _stInfo)
{
    bool blKnown = false;
    bool blStored = false;
    {
        CLS_DBOperation dbOperation(s_qstrStoreName);
        blKnown = dbOperation.IsMsgExist(_stInfo.qstrJobId, _stInfo.qstrMsgId);
        blStored = dbOperation.InsertMsgInfo(_stInfo, blKnown);
    }
    const QString qstrReceipt = BuildReceipt(_stInfo.qstrHead, _stInfo.qstrJobId, _stInfo.qstrCmd,
                                             blStored ? n_ReceiptStored : n_ReceiptNotStored);
    BURN_LOG(blStored ? n_BurnLogLevel_Info : n_BurnLogLevel_Error, "[ack][%s] ", Utf8(qstrReceipt).constData());
    emit signalSendMsg(n_ReceiptCode, qstrReceipt);
    if (blStored && !blKnown && !HoldWhileRecovering(_stInfo))
        RouteCommand(_stInfo);
}

// Hands the command to the bus; false for "CancelBurn", which is not acknowledged.
bool CLS_BurnPresenter::RouteCommand(const BurnMsgInfo& _stInfo)
{
    const CommandRoute stRoute = CommandRouteOf(_stInfo.qstrCmd);
    if (stRoute.iFlags & n_CommandFlag_NoAck)
        return false;
    if (stRoute.iFlags & n_CommandFlag_SetupMq)
        SetupMqProducer(_stInfo.qstrMsg);
    if (stRoute.iFlags & n_CommandFlag_EventRoute)
        SetEventRoute(_stInfo);
    if (stRoute.pfnBusEntry)
        stRoute.pfnBusEntry(CLS_BurnBus::GetInstance(), Utf8(_stInfo.qstrCmdParam).toStdString());
    return true;
}

void CLS_BurnPresenter::SetReplyRoute(const BurnMsgInfo& _stInfo)
{
    const QString qstrKey = _stInfo.qstrJobId + _stInfo.qstrMsgId + _stInfo.qstrCmd + QStringLiteral("Reply");
    QMutexLocker locker(&m_mutexRoute);
    m_qmapSendMsgReqParam.insert(qstrKey, {_stInfo.qstrToken, _stInfo.qstrPlatform, _stInfo.qstrSender, _stInfo.qstrMsg});
    m_qmapJobRouteKeys[_stInfo.qstrJobId].insert(qstrKey);
}

void CLS_BurnPresenter::SetEventRoute(const BurnMsgInfo& _stInfo)
{
    if (_stInfo.qstrEventId.isEmpty())
        return;
    QMutexLocker locker(&m_mutexEvent);
    m_qmapEventRoute.insert(_stInfo.qstrEventId,
                            {_stInfo.qstrToken, _stInfo.qstrPlatform, _stInfo.qstrSender, _stInfo.qstrMsg});
}

void CLS_BurnPresenter::DealWebSoketLogout(QString _qstrMsg)
{
    const QJsonObject qjsonParam = QStringToJsonObject(_qstrMsg).value(QStringLiteral("param")).toObject();
    const QString qstrToken = qjsonParam.value(QStringLiteral("token")).toString();
    const QString qstrPlatform = qjsonParam.value(QStringLiteral("platform")).toString();
    const QString qstrSender = qjsonParam.value(QStringLiteral("sender")).toString();
    // A text that names no client (not JSON, or without identity) would match the routes
    // of requests that carried none and take their replies' address.
    if (qstrToken.isEmpty() && qstrPlatform.isEmpty() && qstrSender.isEmpty())
        return;
    QMutexLocker locker(&m_mutexRoute);
    for (auto it = m_qmapSendMsgReqParam.begin(); it != m_qmapSendMsgReqParam.end(); ++it) {
        if (it->qstrToken == qstrToken && it->qstrPlatform == qstrPlatform && it->qstrSender == qstrSender) {
            for (QSet<QString>& qsetKeys : m_qmapJobRouteKeys)
                qsetKeys.remove(it.key());
            m_qmapSendMsgReqParam.erase(it);
            return;
        }
    }
}

void CLS_BurnPresenter::DealWebSoketMsgAck(int _iCmd, QString _qstrMsg)
{
    const char szFun[] = "CLS_BurnPresenter::DealWebSoketMsgAck";
    QJsonObject qjsonMsg;
    if (!ParseHostText(szFun, _qstrMsg, qjsonMsg))
        return;
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, _intType=%d,_qstrMsg=%s", szFun, _iCmd, Utf8(_qstrMsg).constData());
    const QJsonObject qjsonReply =
        qjsonMsg.value(QStringLiteral("param")).toObject().value(QStringLiteral("param")).toObject();
    BurnMsgInfo stInfo;
    stInfo.qstrMsg = _qstrMsg;
    stInfo.qstrCmd = qjsonReply.value(QStringLiteral("cmd")).toString();
    stInfo.qstrJobId = qjsonReply.value(QStringLiteral("param")).toObject().value(QStringLiteral("JobId")).toString();
    if (_iCmd != n_AckTimedOut && _iCmd != n_AckDelivered) {
        BURN_LOG(n_BurnLogLevel_Info, "_intType error");
        return;
    }
    stInfo.iAck = _iCmd == n_AckDelivered ? 1 : 0;
    {
        CLS_DBOperation dbOperation(s_qstrStoreName);
        dbOperation.UpdateAckReceive(stInfo);
    }
    if (_iCmd == n_AckTimedOut)
        PublishToMq(BuildTimeoutNotice(stInfo.qstrCmd, stInfo.qstrJobId));
}

void CLS_BurnPresenter::SlotSendMsgToWeb(QString _qstrJobId, QString _qstrParam, int _iStatus, QString _qstrMsgId)
{
    QReadLocker aliveLocker(&m_rwlockAlive);
    if (!m_blAlive)
        return;
    const QString qstrReplyCmd = ReplyCommandOf(_qstrParam);
    bool blStored = false;
    {
        CLS_DBOperation dbOperation(s_qstrStoreName);
        blStored = dbOperation.IsJobExist(_qstrJobId);
    }
    if (blStored)
        SendStoredReply(_qstrJobId, _qstrMsgId, qstrReplyCmd, _qstrParam, _iStatus);
    else
        SendDirectReply(_qstrJobId, _qstrMsgId, qstrReplyCmd, _qstrParam, _iStatus);
}

void CLS_BurnPresenter::SendDirectReply(const QString& _qstrJobId, const QString& _qstrMsgId,
                                        const QString& _qstrReplyCmd, const QString& _qstrParam, int _iStatus)
{
    const char szFun[] = "CLS_BurnPresenter::SlotSendMsgToWeb";
    const bool blStatusReply = _qstrReplyCmd == QLatin1String("BurnStatusReply");
    const QString qstrRouteCmd = blStatusReply ? QStringLiteral("DoBurnReply") : _qstrReplyCmd;
    const QString qstrKey = _qstrJobId + _qstrMsgId + qstrRouteCmd;
    const ClientRoute stRoute = TakeReplyRoute(qstrKey);
    if (stRoute.qstrMsg.isEmpty())
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s, m_qmapSendMsgReqParam[%s] empty!", szFun, Utf8(qstrKey).constData());
    const QString qstrMessage = BuildDirectReply(stRoute.qstrMsg, QStringToJsonObject(_qstrParam), m_blOneInstance);
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, qstrPackageMessage=%s", szFun, Utf8(qstrMessage).constData());
    emit signalSendMsg(n_OutgoingCode, qstrMessage);
    SaveJobInfo(_qstrJobId, _qstrReplyCmd, qstrMessage);
    // A failed command reply carries a final state too, but the job's other requests
    // still await their replies; only its final status ends the job.
    if (blStatusReply && IsFinalJobState(_iStatus))
        DropJobRoutes(_qstrJobId);
}

void CLS_BurnPresenter::SendStoredReply(const QString& _qstrJobId, const QString& _qstrMsgId,
                                        const QString& _qstrReplyCmd, const QString& _qstrParam, int _iStatus)
{
    BurnMsgInfo stInfo;
    stInfo.qstrJobId = _qstrJobId;
    stInfo.qstrMsgId = _qstrMsgId;
    stInfo.qstrCmd = _qstrReplyCmd;
    stInfo.iJobState = _iStatus;
    stInfo.qstrTimestamp = QString::number(QDateTime::currentMSecsSinceEpoch());
    {
        CLS_DBOperation dbOperation(s_qstrStoreName);
        stInfo.qstrHead = dbOperation.GetCmdReqParam(_qstrJobId, RequestCommandOf(_qstrReplyCmd));
        stInfo.qstrResponse =
            BuildSendMessage(stInfo.qstrHead, QStringToJsonObject(_qstrParam), QDateTime::currentMSecsSinceEpoch());
        dbOperation.InsertResponse(stInfo);
    }
    BURN_LOG(n_BurnLogLevel_Info, "[send][%s] ", Utf8(stInfo.qstrResponse).constData());
    emit signalModSendMsg(n_OutgoingCode, stInfo.qstrResponse);
    SaveJobInfo(_qstrJobId, _qstrReplyCmd, QString());
}

ClientRoute CLS_BurnPresenter::TakeReplyRoute(const QString& _qstrKey)
{
    QMutexLocker locker(&m_mutexRoute);
    return m_qmapSendMsgReqParam.value(_qstrKey);
}

// The routes of a job that ended are never used again.
void CLS_BurnPresenter::DropJobRoutes(const QString& _qstrJobId)
{
    QMutexLocker locker(&m_mutexRoute);
    for (const QString& qstrKey : m_qmapJobRouteKeys.take(_qstrJobId))
        m_qmapSendMsgReqParam.remove(qstrKey);
}

void CLS_BurnPresenter::SlotSendBurnDevCtrlToWeb(QString _qstrEventId, QString _qstrParam, int)
{
    QReadLocker aliveLocker(&m_rwlockAlive);
    if (!m_blAlive)
        return;
    ClientRoute stRoute;
    {
        QMutexLocker locker(&m_mutexEvent);
        stRoute = m_qmapEventRoute.value(_qstrEventId);
    }
    const QString qstrMessage = BuildDeviceEvent(stRoute, QStringToJsonObject(_qstrParam));
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, qstrPackageMessage=%s", "CLS_BurnPresenter::SlotSendBurnDevCtrlToWeb",
             Utf8(qstrMessage).constData());
    emit signalSendMsg(n_OutgoingCode, qstrMessage);
}

void CLS_BurnPresenter::SaveJobInfo(QString _qstrJobId, QString _qstrFileName, QString _qstrContent)
{
    SaveGatewayJobInfo(s_szLogSource, _qstrJobId, _qstrFileName, _qstrContent);
}

// Host thread, once: unconfirmed replies of finished jobs go out again unchanged, then
// jobs of the burn service are resumed; jobs of other devices are only logged.
void CLS_BurnPresenter::RecoverJobFromDB()
{
    CLS_DBOperation dbOperation(s_qstrStoreName);
    for (const QString& qstrResponse : dbOperation.GetUnackedResponses()) {
        BURN_LOG(n_BurnLogLevel_Info, "[send][%s] ", Utf8(qstrResponse).constData());
        emit signalModSendMsg(n_OutgoingCode, qstrResponse);
    }
    for (const QString& qstrJobId : dbOperation.GetUnfinishedJobs()) {
        const QJsonObject qjsonApply = QStringToJsonObject(dbOperation.GetApplyBurnParam(qstrJobId, 0));
        const int iBurnDev = qjsonApply.value(QStringLiteral("BurnDev")).toInt(-1);
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s, iBurnDev=%d", "CLS_BurnPresenter::RecoverJobFromDB", iBurnDev);
        if (iBurnDev != n_BurnDev_Primera4200)
            continue;
        const ServiceJobReplay stReplay = ReadServiceJob(dbOperation, qstrJobId);
        {
            QMutexLocker locker(&m_mutexRecovery);
            m_qhashHeldCommands.insert(qstrJobId, {});
        }
        m_pRecoveryPool->start([this, stReplay] { RecoverServiceJob(stReplay); });
    }
}

// Read on the host thread before any new message is taken, so that a command the client
// sends again meanwhile is neither replayed nor lost: it waits for the replay (below).
CLS_BurnPresenter::ServiceJobReplay CLS_BurnPresenter::ReadServiceJob(CLS_DBOperation& _dbOperation,
                                                                      const QString& _qstrJobId)
{
    ServiceJobReplay stReplay;
    stReplay.qstrJobId = _qstrJobId;
    stReplay.qstrApplyMsg = _dbOperation.GetApplyBurnParam(_qstrJobId, 1);
    stReplay.qstrTaskId = _dbOperation.GetDoBurnParam(_qstrJobId, 1);
    for (const char* szCmd : {"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"}) {
        const QString qstrCmd = QLatin1String(szCmd);
        stReplay.qlstSteps.append({qstrCmd, _dbOperation.GetJobItemParam(_qstrJobId, qstrCmd, 0)});
    }
    return stReplay;
}

void CLS_BurnPresenter::RecoverServiceJob(const ServiceJobReplay& _stReplay)
{
    ReplayServiceJob(_stReplay);
    EndRecovery(_stReplay.qstrJobId);
}

// Replays the job's stored commands, or, when the device already took the burn (its
// task id is the working parameter of "DoBurn"), re-attaches the job and polls it.
void CLS_BurnPresenter::ReplayServiceJob(const ServiceJobReplay& _stReplay)
{
    // The queue settings came with the first ApplyBurn; the set-up is made once.
    const QJsonObject qjsonApplyMsg = QStringToJsonObject(_stReplay.qstrApplyMsg);
    SetupMqProducer(JsonObjectToString(QJsonObject{{QStringLiteral("param"), qjsonApplyMsg}}));
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();
    if (!ReplayStep(_stReplay.qlstSteps.first().first, _stReplay.qlstSteps.first().second))
        return;
    if (!_stReplay.qstrTaskId.isEmpty()) {
        pBus->UpdateJobInfoByJobId(_stReplay.qstrJobId, _stReplay.qstrTaskId, QString());
        pBus->SetJobBurning(_stReplay.qstrJobId);
        return;
    }
    for (int iStep = 1; iStep < _stReplay.qlstSteps.size(); ++iStep) {
        if (!ReplayStep(_stReplay.qlstSteps.at(iStep).first, _stReplay.qlstSteps.at(iStep).second))
            return;
    }
}

// A new command of a job whose replay runs waits for it: run now, it could reach the
// device before the job is registered again, or overtake the steps before it.
bool CLS_BurnPresenter::HoldWhileRecovering(const BurnMsgInfo& _stInfo)
{
    QMutexLocker locker(&m_mutexRecovery);
    auto itHeld = m_qhashHeldCommands.find(_stInfo.qstrJobId);
    if (itHeld == m_qhashHeldCommands.end())
        return false;
    itHeld->append(_stInfo);
    return true;
}

void CLS_BurnPresenter::EndRecovery(const QString& _qstrJobId)
{
    QList<BurnMsgInfo> qlstHeld;
    {
        QMutexLocker locker(&m_mutexRecovery);
        qlstHeld = m_qhashHeldCommands.take(_qstrJobId);
    }
    for (const BurnMsgInfo& stInfo : qlstHeld)
        RouteCommand(stInfo);
}

void CLS_BurnPresenter::SlotRecoverJob() {}

// Settings are taken once, from the first text that carries a usable "MQ" object.
void CLS_BurnPresenter::SetupMqProducer(const QString& _qstrMsg)
{
    QMutexLocker locker(&m_mutexMqSetup);
    if (m_pMqProducer) {
        qInfo("m_pMqProducer != nullptr");
        return;
    }
    const QJsonObject qjsonMq = MqSettingsOf(_qstrMsg);
    if (qjsonMq.value(QStringLiteral("ip")).toString().isEmpty()) {
        qInfo("mq ip = null");
        return;
    }
    CLS_MqHelper::Init();
    const std::string strBrokerUri = MqBrokerUri(qjsonMq);
    const std::string strProducerCfg = MqProducerCfg(qjsonMq);
    BURN_LOG(n_BurnLogLevel_Error, "生产者创建参数 qstrBrokerUri=%s,  qstrProducerCfg=%s", strBrokerUri.c_str(),
             strProducerCfg.c_str());
    auto* pMqHelper = new CLS_MqHelper();
    pMqHelper->Configure(n_MqSrcType_Producer, strBrokerUri, strProducerCfg);
    m_pMqProducer = pMqHelper;
    m_pMqThread = new QThread();
    connect(m_pMqThread, &QThread::started, this, &CLS_BurnPresenter::SlotCreatMqProducer,
            static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::UniqueConnection));
    m_pMqThread->start(QThread::InheritPriority);
}

// Queue thread: retries until the producer is up or the gateway goes away.
void CLS_BurnPresenter::SlotCreatMqProducer()
{
    if (!m_pMqProducer) {
        qDebug("m_pMqProducer == NULL");
        return;
    }
    m_pMqProducer->ConnectUntilReady(m_blStopping);
}

void CLS_BurnPresenter::SlotSendMQToWeb(QString _qstrParam)
{
    PublishToMq(_qstrParam);
}

void CLS_BurnPresenter::PublishToMq(const QString& _qstrMsg)
{
    if (!m_pMqProducer)
        return;
    QByteArray qbaText = _qstrMsg.toUtf8();
    mq_msg_t stMsg = {};
    stMsg.data = qbaText.data();
    const char szFun[] = "CLS_BurnPresenter::SlotSendMQToWeb";
    if (m_pMqProducer->MqProducerSend(&stMsg))
        BURN_LOG(n_BurnLogLevel_Notice, "fun=%s, pmsgMq=%s", szFun, qbaText.constData());
    else
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s, mq_producer_send failed", szFun);
}
