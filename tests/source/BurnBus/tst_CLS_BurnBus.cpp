// Tests of the burn bus, driven through test-double backends installed behind device
// kinds: the replies its signals carry, its job and device registries, status polling,
// device control, hostile job ids, a burst of requests, and the end of the process.
#include <QtTest>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

#include <sys/xattr.h>

#include "BurnDefine.h"
#include "CLS_BurnBus.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"

// Receives the bus's signals on the test thread (queued connections), so the spies on
// it are only ever touched by the test thread.
class CLS_BusSignalRelay : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    void signalSendMsgToPresenter(QString _qstrJobId, QString _qstrParam, int _iStatus, QString _qstrMsgId);
    void signalSendBurnDevCtrlToPresenter(QString _qstrEventId, QString _qstrParam, int _iStatus);
    void signalSendMQToPresenter(QString _qstrMsg);
};

namespace
{
// Device kinds of the doubles, one role each so tests do not meet on a device.
constexpr int n_KindPlain = n_BurnDev_Epson;       // no robot status
constexpr int n_KindBurnDir = n_BurnDev_Primera;    // no robot status
constexpr int n_KindPoll = n_BurnDev_Primera4200;   // asks for the short polling pause
constexpr int n_ShortPollPauseMs = 10000;
constexpr int n_KindRobot = n_BurnDev_HmsEx;
constexpr int n_KindDevCtrl = n_BurnDev_DMXTwelve;  // default port 1883
constexpr int n_KindAddress = n_BurnDev_DMXTwo;     // default port 1882
constexpr int n_KindLoad = n_BurnDev_DMXEight;
const int s_arrDoubleKinds[] = {0, 2, 3, 4, 5, 7, 8, 9, 10, 11};

const QString s_qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
constexpr int n_ReplyTimeoutMs = 20000;

// Doubles stay alive (and reachable) to the end of the process: a bus thread may still
// be calling one that a later test has replaced.
std::vector<CLS_TestBackend*>* const s_pKeptBackends = new std::vector<CLS_TestBackend*>;

struct BusReply
{
    QString qstrJobId;
    QString qstrText;
    int iStatus = 0;
    QString qstrMsgId;
    QString qstrCmd;
    QJsonObject qjsonParam;
};

std::string Json(const QJsonObject& _qjsonObj)
{
    return QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact).toStdString();
}

QString JsonText(const QJsonObject& _qjsonObj)
{
    return QString::fromStdString(Json(_qjsonObj));
}

QJsonObject ParseObject(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

QStringList ToStringList(const QJsonArray& _qjsonArray)
{
    QStringList qlstItems;
    for (const QJsonValue& qjsonValue : _qjsonArray)
        qlstItems << qjsonValue.toString();
    return qlstItems;
}

QStringList OnlyPrefixed(const QStringList& _qlstIds, const QString& _qstrPrefix)
{
    QStringList qlstOwn;
    for (const QString& qstrId : _qlstIds) {
        if (qstrId.startsWith(_qstrPrefix))
            qlstOwn << qstrId;
    }
    return qlstOwn;
}

// Hidden as Samba and Wine record it: the DOS attribute text in "user.DOSATTRIB".
bool IsHidden(const QString& _qstrPath)
{
    char szValue[64] = {};
    const ssize_t iLength = getxattr(_qstrPath.toLocal8Bit().constData(), "user.DOSATTRIB", szValue,
                                     sizeof(szValue) - 1);
    return iLength > 0 && (std::strtoul(szValue, nullptr, 0) & 0x2) != 0;
}

bool SupportsUserXattr(const QString& _qstrPath)
{
    return setxattr(_qstrPath.toLocal8Bit().constData(), "user.probe", "1", 1, 0) == 0;
}

bool WriteFile(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::WriteOnly) && qfile.write("data") == 4;
}
}  // namespace

// Stops the calling test function once a helper has recorded a failure.
#define CHECKED(call)                      \
    do {                                   \
        call;                              \
        if (QTest::currentTestFailed())    \
            return;                        \
    } while (0)

class tst_CLS_BurnBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void applyBurn_registersJob();
    void applyBurn_rejectsRegisteredJob();
    void applyBurn_withoutBackend_data();
    void applyBurn_withoutBackend();
    void applyBurn_backendRefuses();
    void applyBurn_addressChangeDropsJobs();

    void command_reply_data();
    void command_reply();
    void startBurn_passesRequestFields_data();
    void startBurn_passesRequestFields();
    void command_unknownJob_data();
    void command_unknownJob();
    void addFile_hideFile_data();
    void addFile_hideFile();
    void addFile_missingSourceOnlyLogged();

    void burnDir_oneReply_data();
    void burnDir_oneReply();
    void hostileJobId_refused_data();
    void hostileJobId_refused();
    void burnDir_hostileSubRequestId();

    void polling_finalState_data();
    void polling_finalState();
    void polling_otherChangeNotReported_data();
    void polling_otherChangeNotReported();
    void polling_discErrorReportedOnce();
    void polling_onlyStartedJobs();
    void updateJobInfoByJobId();

    void robotStatus_published();
    void backendQueueMessage_forwardedOnce();

    void devCtrl_badRequest_data();
    void devCtrl_badRequest();
    void devCtrl_announceDevice();
    void devCtrl_entryResult_data();
    void devCtrl_entryResult();
    void devCtrl_entryWithoutBurnDevSkipped();

    void load_thousandRequestsAnsweredOnce();
    void processEnd_clean_data();
    void processEnd_clean();

private:
    CLS_TestBackend* Backend(int _iKind) const
    {
        return m_qmapBackends.value(_iKind);
    }
    QString NewJobId(const QString& _qstrPrefix);
    QString NewIp();
    QJsonObject ApplyRequest(const QString& _qstrJobId, int _iKind, const QString& _qstrMsgId) const;
    void RegisterJob(const QString& _qstrJobId, int _iKind, const QJsonObject& _qjsonExtra = QJsonObject());
    void StartPolledJob(const QString& _qstrJobId, const QString& _qstrMsgId);
    void Send(const QString& _qstrCmd, const QJsonObject& _qjsonReq);

    QList<BusReply> Replies(const QString& _qstrJobId, const QString& _qstrCmd = QString()) const;
    bool WaitForReplies(const QString& _qstrJobId, const QString& _qstrCmd, int _iCount) const;
    QList<QJsonObject> DevCtrlReplies(const QString& _qstrEventId) const;
    QJsonObject WaitForDevCtrlReply(const QString& _qstrEventId) const;
    bool IsRegistered(const QString& _qstrJobId) const;
    int WaitForPolls(const QString& _qstrJobId, int _iMorePolls) const;

    void CheckEnvelope(const QString& _qstrText, const QString& _qstrCmd);
    void CheckCommandParam(const QJsonObject& _qjsonParam, const QString& _qstrJobId, int _iRet,
                           const QString& _qstrErrCode, const QString& _qstrErrMsg);

    CLS_BurnBus* m_pBus = nullptr;
    CLS_BusSignalRelay m_relay;
    std::unique_ptr<QSignalSpy> m_pspyMsg;
    std::unique_ptr<QSignalSpy> m_pspyDevCtrl;
    std::unique_ptr<QSignalSpy> m_pspyMQ;
    QMap<int, CLS_TestBackend*> m_qmapBackends;
    int m_iCounter = 0;
};

// ---------------------------------------------------------------------------------
// Fixture and helpers

void tst_CLS_BurnBus::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    LogRecorder::install();
    m_pBus = CLS_BurnBus::GetInstance();
    QCOMPARE(CLS_BurnBus::GetInstance(), m_pBus);
    connect(m_pBus, &CLS_BurnBus::signalSendMsgToPresenter, &m_relay, &CLS_BusSignalRelay::signalSendMsgToPresenter,
            Qt::QueuedConnection);
    connect(m_pBus, &CLS_BurnBus::signalSendBurnDevCtrlToPresenter, &m_relay,
            &CLS_BusSignalRelay::signalSendBurnDevCtrlToPresenter, Qt::QueuedConnection);
    connect(m_pBus, &CLS_BurnBus::signalSendMQToPresenter, &m_relay, &CLS_BusSignalRelay::signalSendMQToPresenter,
            Qt::QueuedConnection);
    m_pspyMsg = std::make_unique<QSignalSpy>(&m_relay, &CLS_BusSignalRelay::signalSendMsgToPresenter);
    m_pspyDevCtrl = std::make_unique<QSignalSpy>(&m_relay, &CLS_BusSignalRelay::signalSendBurnDevCtrlToPresenter);
    m_pspyMQ = std::make_unique<QSignalSpy>(&m_relay, &CLS_BusSignalRelay::signalSendMQToPresenter);
}

// A fresh double behind every kind, clean spies and log: no test sees another's state
// except jobs and device addresses, which carry ids and addresses of their own.
void tst_CLS_BurnBus::init()
{
    for (const int iKind : s_arrDoubleKinds) {
        CLS_TestBackend* pBackend = new CLS_TestBackend;
        s_pKeptBackends->push_back(pBackend);
        m_qmapBackends.insert(iKind, pBackend);
        CLS_AutoBase::InstallInstance(iKind, pBackend);
    }
    Backend(n_KindPoll)->SetStatusPollPauseMs(n_ShortPollPauseMs);
    QCoreApplication::processEvents();
    m_pspyMsg->clear();
    m_pspyDevCtrl->clear();
    m_pspyMQ->clear();
    LogRecorder::clear();
}

QString tst_CLS_BurnBus::NewJobId(const QString& _qstrPrefix)
{
    return QStringLiteral("%1-%2-%3").arg(QString::fromLatin1(QTest::currentTestFunction()), _qstrPrefix)
        .arg(++m_iCounter);
}

QString tst_CLS_BurnBus::NewIp()
{
    ++m_iCounter;
    return QStringLiteral("10.%1.%2.%3")
        .arg(m_iCounter / 65536 % 256)
        .arg(m_iCounter / 256 % 256)
        .arg(m_iCounter % 256);
}

QJsonObject tst_CLS_BurnBus::ApplyRequest(const QString& _qstrJobId, int _iKind, const QString& _qstrMsgId) const
{
    return QJsonObject{{"JobId", _qstrJobId}, {"BurnDev", _iKind}, {"BurnType", 1}, {"CopyCount", 3},
                       {"msgId", _qstrMsgId}};
}

// Registers a job through the synchronous handler (no reply).
void tst_CLS_BurnBus::RegisterJob(const QString& _qstrJobId, int _iKind, const QJsonObject& _qjsonExtra)
{
    QJsonObject qjsonReq = ApplyRequest(_qstrJobId, _iKind, QStringLiteral("m-apply"));
    for (auto it = _qjsonExtra.begin(); it != _qjsonExtra.end(); ++it)
        qjsonReq.insert(it.key(), it.value());
    BurnResultInfo stResult;
    QCOMPARE(m_pBus->InquestBurnEx(Json(qjsonReq), false, &stResult), 0);
}

// A job of the polled kind whose DoBurn (with the msgId) succeeded: state 2, polled.
void tst_CLS_BurnBus::StartPolledJob(const QString& _qstrJobId, const QString& _qstrMsgId)
{
    CHECKED(RegisterJob(_qstrJobId, n_KindPoll));
    Backend(n_KindPoll)->SetJobStatus(_qstrJobId, n_BurnJobState_Burning);
    BurnResultInfo stResult;
    QCOMPARE(m_pBus->DoBurnEx(Json({{"JobId", _qstrJobId}, {"msgId", _qstrMsgId}}), false, &stResult), 0);
}

void tst_CLS_BurnBus::Send(const QString& _qstrCmd, const QJsonObject& _qjsonReq)
{
    const std::string strReq = Json(_qjsonReq);
    const QMap<QString, std::function<void()>> qmapEntries = {
        {QStringLiteral("ApplyBurn"), [&] { m_pBus->ApplyBurn(strReq); }},
        {QStringLiteral("StartBurn"), [&] { m_pBus->StartBurn(strReq); }},
        {QStringLiteral("AddFile"), [&] { m_pBus->AddFile(strReq); }},
        {QStringLiteral("WriteLabel"), [&] { m_pBus->WriteLabel(strReq); }},
        {QStringLiteral("DoBurn"), [&] { m_pBus->DoBurn(strReq); }},
        {QStringLiteral("BurnDir"), [&] { m_pBus->BurnDir(strReq); }},
        {QStringLiteral("BurnDevCtrl"), [&] { m_pBus->BurnDevCtrl(strReq); }},
    };
    QVERIFY2(qmapEntries.contains(_qstrCmd), qPrintable(_qstrCmd));
    qmapEntries.value(_qstrCmd)();
}

QList<BusReply> tst_CLS_BurnBus::Replies(const QString& _qstrJobId, const QString& _qstrCmd) const
{
    QList<BusReply> qlstReplies;
    for (const QList<QVariant>& qlstArgs : *m_pspyMsg) {
        BusReply stReply{qlstArgs.at(0).toString(), qlstArgs.at(1).toString(), qlstArgs.at(2).toInt(),
                         qlstArgs.at(3).toString(), QString(), QJsonObject()};
        const QJsonObject qjsonReply = ParseObject(stReply.qstrText);
        stReply.qstrCmd = qjsonReply.value(QStringLiteral("cmd")).toString();
        stReply.qjsonParam = qjsonReply.value(QStringLiteral("param")).toObject();
        if (stReply.qstrJobId == _qstrJobId && (_qstrCmd.isEmpty() || stReply.qstrCmd == _qstrCmd))
            qlstReplies << stReply;
    }
    return qlstReplies;
}

bool tst_CLS_BurnBus::WaitForReplies(const QString& _qstrJobId, const QString& _qstrCmd, int _iCount) const
{
    return QTest::qWaitFor([&] { return Replies(_qstrJobId, _qstrCmd).size() >= _iCount; }, n_ReplyTimeoutMs);
}

QList<QJsonObject> tst_CLS_BurnBus::DevCtrlReplies(const QString& _qstrEventId) const
{
    QList<QJsonObject> qlstReplies;
    for (const QList<QVariant>& qlstArgs : *m_pspyDevCtrl) {
        if (qlstArgs.at(0).toString() != _qstrEventId)
            continue;
        QJsonObject qjsonReply = ParseObject(qlstArgs.at(1).toString());
        qjsonReply.insert(QStringLiteral("signalStatus"), qlstArgs.at(2).toInt());
        qjsonReply.insert(QStringLiteral("text"), qlstArgs.at(1).toString());
        qlstReplies << qjsonReply;
    }
    return qlstReplies;
}

// The one device-control reply of the event (empty object on timeout); the signal's
// status and the raw text ride along as "signalStatus" and "text".
QJsonObject tst_CLS_BurnBus::WaitForDevCtrlReply(const QString& _qstrEventId) const
{
    if (!QTest::qWaitFor([&] { return !DevCtrlReplies(_qstrEventId).isEmpty(); }, n_ReplyTimeoutMs))
        return QJsonObject();
    return DevCtrlReplies(_qstrEventId).first();
}

bool tst_CLS_BurnBus::IsRegistered(const QString& _qstrJobId) const
{
    BurnJobInfo stJob;
    return m_pBus->FindJobInList(_qstrJobId, stJob);
}

// Waits until the job has been polled that many more times and delivers what the bus
// emitted meanwhile; returns how many more polls there were.
int tst_CLS_BurnBus::WaitForPolls(const QString& _qstrJobId, int _iMorePolls) const
{
    CLS_TestBackend* pBackend = Backend(n_KindPoll);
    const auto polls = [&] { return pBackend->CallCount(QStringLiteral("GetJobStatus"), _qstrJobId); };
    const int iBefore = polls();
    static_cast<void>(QTest::qWaitFor([&] { return polls() >= iBefore + _iMorePolls; }, n_ReplyTimeoutMs));
    QCoreApplication::processEvents();
    return polls() - iBefore;
}

// "ModuleName", "cmd", "param" object, in Qt's indented form.
void tst_CLS_BurnBus::CheckEnvelope(const QString& _qstrText, const QString& _qstrCmd)
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8());
    QVERIFY2(qjsonDoc.isObject(), qPrintable(_qstrText));
    QCOMPARE(QString::fromUtf8(qjsonDoc.toJson(QJsonDocument::Indented)), _qstrText);
    const QJsonObject qjsonReply = qjsonDoc.object();
    QCOMPARE(qjsonReply.keys(), (QStringList{"ModuleName", "cmd", "param"}));
    QCOMPARE(qjsonReply.value("ModuleName").toString(), QStringLiteral("BurnModule"));
    QCOMPARE(qjsonReply.value("cmd").toString(), _qstrCmd);
    QVERIFY(qjsonReply.value("param").isObject());
}

void tst_CLS_BurnBus::CheckCommandParam(const QJsonObject& _qjsonParam, const QString& _qstrJobId, int _iRet,
                                        const QString& _qstrErrCode, const QString& _qstrErrMsg)
{
    QVERIFY(_qjsonParam.value("JobId").isString());
    QCOMPARE(_qjsonParam.value("JobId").toString(), _qstrJobId);
    QVERIFY(_qjsonParam.value("ret").isDouble());
    QCOMPARE(_qjsonParam.value("ret").toInt(), _iRet);
    QVERIFY(_qjsonParam.value("errCode").isString());
    QCOMPARE(_qjsonParam.value("errCode").toString(), _qstrErrCode);
    QVERIFY(_qjsonParam.value("errMsg").isString());
    QCOMPARE(_qjsonParam.value("errMsg").toString(), _qstrErrMsg);
}

// ---------------------------------------------------------------------------------
// ApplyBurn

void tst_CLS_BurnBus::applyBurn_registersJob()
{
    const QString qstrJobId = NewJobId("a");
    const QJsonObject qjsonReq = ApplyRequest(qstrJobId, n_KindPlain, "m-apply-1");
    Send("ApplyBurn", qjsonReq);
    QVERIFY(WaitForReplies(qstrJobId, "ApplyBurnReply", 1));

    const BusReply stReply = Replies(qstrJobId).first();
    CHECKED(CheckEnvelope(stReply.qstrText, "ApplyBurnReply"));
    // A device without robot status leaves its text in "errMsg" although the job is accepted.
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, 0, "", s_qstrUnsupported));
    QVERIFY(stReply.qjsonParam.value("delJobId").isArray());
    QVERIFY(stReply.qjsonParam.value("delJobId").toArray().isEmpty());
    QCOMPARE(stReply.iStatus, -1);
    QCOMPARE(stReply.qstrMsgId, QStringLiteral("m-apply-1"));

    BurnJobInfo stJob;
    QVERIFY(m_pBus->FindJobInList(qstrJobId, stJob));
    QCOMPARE(stJob.iBurnDev, n_KindPlain);
    QCOMPARE(stJob.iBurnType, 1);
    QCOMPARE(stJob.iCopyCount, 3);
    QCOMPARE(stJob.iStatus, -1);
    QVERIFY(stJob.qstrMsgId.isEmpty());
    const QList<BackendCall> qlstCalls = Backend(n_KindPlain)->Calls("InquestBurn", qstrJobId);
    QCOMPARE(qlstCalls.size(), 1);
    QCOMPARE(qlstCalls.first().qlstArgs, (QStringList{"3", "1", JsonText(qjsonReq)}));
}

void tst_CLS_BurnBus::applyBurn_rejectsRegisteredJob()
{
    const QString qstrJobId = NewJobId("a");
    Send("ApplyBurn", ApplyRequest(qstrJobId, n_KindPlain, "m-1"));
    QJsonObject qjsonAgain = ApplyRequest(qstrJobId, n_KindPlain, "m-2");
    qjsonAgain.insert("CopyCount", 9);
    Send("ApplyBurn", qjsonAgain);
    QVERIFY(WaitForReplies(qstrJobId, "ApplyBurnReply", 2));

    const BusReply stSecond = Replies(qstrJobId).at(1);
    CHECKED(CheckEnvelope(stSecond.qstrText, "ApplyBurnReply"));
    CHECKED(CheckCommandParam(stSecond.qjsonParam, qstrJobId, -4, "", ""));
    QCOMPARE(stSecond.iStatus, 4);
    QCOMPARE(stSecond.qstrMsgId, QStringLiteral("m-2"));
    QCOMPARE(Backend(n_KindPlain)->CallCount("InquestBurn"), 1);
    QCOMPARE(Backend(n_KindPlain)->CallCount("GetRobotStatus"), 1);
    BurnJobInfo stJob;
    QVERIFY(m_pBus->FindJobInList(qstrJobId, stJob));
    QCOMPARE(stJob.iCopyCount, 3);
}

void tst_CLS_BurnBus::applyBurn_withoutBackend_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("kind 6 (default port, no backend)") << 6;
    QTest::newRow("kind 1") << 1;
    QTest::newRow("above the range") << 12;
    QTest::newRow("negative") << -3;
}

void tst_CLS_BurnBus::applyBurn_withoutBackend()
{
    QFETCH(int, kind);
    const QString qstrJobId = NewJobId("a");
    Send("ApplyBurn", ApplyRequest(qstrJobId, kind, "m-1"));
    QVERIFY(WaitForReplies(qstrJobId, "ApplyBurnReply", 1));

    const BusReply stReply = Replies(qstrJobId).first();
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, -6, "", ""));
    QCOMPARE(stReply.iStatus, 4);
    QVERIFY(!IsRegistered(qstrJobId));
    QVERIFY(LogRecorder::contains(QStringLiteral("|CLS_BurnBus|BurnDev=%1----isnull").arg(kind)));
}

void tst_CLS_BurnBus::applyBurn_backendRefuses()
{
    const QString qstrJobId = NewJobId("a");
    Backend(n_KindPlain)->SetResult("InquestBurn", -3, "设备忙", "E-3");
    Send("ApplyBurn", ApplyRequest(qstrJobId, n_KindPlain, "m-1"));
    QVERIFY(WaitForReplies(qstrJobId, "ApplyBurnReply", 1));

    const BusReply stReply = Replies(qstrJobId).first();
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, -3, "E-3", "设备忙"));
    QCOMPARE(stReply.iStatus, 4);
    QVERIFY(!IsRegistered(qstrJobId));
}

// The default port completes an address before it is compared; a new address drops
// every job of the device, in registry order, and clears it in the backend.
void tst_CLS_BurnBus::applyBurn_addressChangeDropsJobs()
{
    CLS_TestBackend* pBackend = Backend(n_KindAddress);
    pBackend->SetRobotStatus(0, QString());
    const QString qstrIp = NewIp();
    const QString qstrPrefix = NewJobId("");
    const QString qstrFirst = qstrPrefix + "first";
    const QString qstrSecond = qstrPrefix + "second";
    const QString qstrThird = qstrPrefix + "third";

    QJsonObject qjsonFirst = ApplyRequest(qstrFirst, n_KindAddress, "m-1");
    qjsonFirst.insert("serverIP", qstrIp);
    Send("ApplyBurn", qjsonFirst);
    QVERIFY(WaitForReplies(qstrFirst, "ApplyBurnReply", 1));
    QVERIFY(OnlyPrefixed(ToStringList(Replies(qstrFirst).first().qjsonParam.value("delJobId").toArray()), qstrPrefix)
                .isEmpty());

    QJsonObject qjsonSecond = ApplyRequest(qstrSecond, n_KindAddress, "m-2");
    qjsonSecond.insert("serverIP", qstrIp);
    qjsonSecond.insert("DevPort", GetBurnDevDefaultPort(n_KindAddress));
    Send("ApplyBurn", qjsonSecond);
    QVERIFY(WaitForReplies(qstrSecond, "ApplyBurnReply", 1));
    QVERIFY(Replies(qstrSecond).first().qjsonParam.value("delJobId").toArray().isEmpty());
    QVERIFY(IsRegistered(qstrFirst));

    QJsonObject qjsonThird = ApplyRequest(qstrThird, n_KindAddress, "m-3");
    qjsonThird.insert("serverIP", qstrIp);
    qjsonThird.insert("DevPort", 1999);
    Send("ApplyBurn", qjsonThird);
    QVERIFY(WaitForReplies(qstrThird, "ApplyBurnReply", 1));
    const BusReply stReply = Replies(qstrThird).first();
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrThird, 0, "", ""));
    QCOMPARE(ToStringList(stReply.qjsonParam.value("delJobId").toArray()), (QStringList{qstrFirst, qstrSecond}));
    QVERIFY(!IsRegistered(qstrFirst));
    QVERIFY(!IsRegistered(qstrSecond));
    QVERIFY(IsRegistered(qstrThird));
    QCOMPARE(pBackend->CallCount("ClearData", qstrFirst), 1);
    QCOMPARE(pBackend->CallCount("ClearData", qstrSecond), 1);
}

// ---------------------------------------------------------------------------------
// StartBurn, AddFile, WriteLabel, DoBurn

void tst_CLS_BurnBus::command_reply_data()
{
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<int>("backendRet");
    QTest::addColumn<bool>("registeredAfter");
    QTest::addColumn<int>("statusAfter");
    QTest::newRow("StartBurn ok") << "StartBurn" << 0 << true << -1;
    QTest::newRow("StartBurn fails: job dropped") << "StartBurn" << -9 << false << -1;
    QTest::newRow("AddFile ok") << "AddFile" << 0 << true << -1;
    QTest::newRow("AddFile fails") << "AddFile" << -9 << true << -1;
    QTest::newRow("WriteLabel ok") << "WriteLabel" << 0 << true << -1;
    QTest::newRow("WriteLabel fails") << "WriteLabel" << -9 << true << -1;
    QTest::newRow("DoBurn ok: job burning") << "DoBurn" << 0 << true << 2;
    QTest::newRow("DoBurn fails: job not started") << "DoBurn" << -9 << true << -1;
}

void tst_CLS_BurnBus::command_reply()
{
    QFETCH(QString, cmd);
    QFETCH(int, backendRet);
    QFETCH(bool, registeredAfter);
    QFETCH(int, statusAfter);
    CLS_TestBackend* pBackend = Backend(n_KindPlain);
    const QString qstrJobId = NewJobId("c");
    CHECKED(RegisterJob(qstrJobId, n_KindPlain));
    if (backendRet != 0)
        pBackend->SetResult(cmd, backendRet, "原因", "E-9", qstrJobId);
    const QString qstrMsgId = "m-" + cmd;
    CHECKED(Send(cmd, {{"JobId", qstrJobId}, {"msgId", qstrMsgId}}));
    QVERIFY(WaitForReplies(qstrJobId, cmd + "Reply", 1));

    const BusReply stReply = Replies(qstrJobId).first();
    CHECKED(CheckEnvelope(stReply.qstrText, cmd + "Reply"));
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, backendRet, backendRet ? "E-9" : "",
                              backendRet ? "原因" : ""));
    QCOMPARE(stReply.qjsonParam.keys(), (QStringList{"JobId", "errCode", "errMsg", "ret"}));
    QCOMPARE(stReply.iStatus, backendRet == 0 ? -1 : 4);
    QCOMPARE(stReply.qstrMsgId, qstrMsgId);
    QCOMPARE(pBackend->CallCount(cmd, qstrJobId), 1);

    BurnJobInfo stJob;
    QCOMPARE(m_pBus->FindJobInList(qstrJobId, stJob), registeredAfter);
    QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), registeredAfter ? 0 : 1);
    if (registeredAfter)
        QCOMPARE(stJob.iStatus, statusAfter);
    if (statusAfter == n_BurnJobState_Burning)
        QCOMPARE(stJob.qstrMsgId, qstrMsgId);
}

void tst_CLS_BurnBus::startBurn_passesRequestFields_data()
{
    QTest::addColumn<QJsonValue>("closeDisc");
    QTest::addColumn<QString>("expectedCloseDisc");
    QTest::newRow("CloseDisc absent") << QJsonValue(QJsonValue::Undefined) << "YES";
    QTest::newRow("CloseDisc NO") << QJsonValue("NO") << "NO";
    QTest::newRow("CloseDisc not text") << QJsonValue(0) << "YES";
}

void tst_CLS_BurnBus::startBurn_passesRequestFields()
{
    QFETCH(QJsonValue, closeDisc);
    QFETCH(QString, expectedCloseDisc);
    const QString qstrJobId = NewJobId("s");
    CHECKED(RegisterJob(qstrJobId, n_KindPlain));
    QJsonObject qjsonReq{{"JobId", qstrJobId}, {"msgId", "m-s"}, {"CDType", "BD 25GB"}, {"CDTitle", "案件光盘"},
                         {"CDCover", "/covers/a.png"}};
    if (!closeDisc.isUndefined())
        qjsonReq.insert("CloseDisc", closeDisc);
    Send("StartBurn", qjsonReq);
    QVERIFY(WaitForReplies(qstrJobId, "StartBurnReply", 1));

    const QList<BackendCall> qlstCalls = Backend(n_KindPlain)->Calls("StartBurn", qstrJobId);
    QCOMPARE(qlstCalls.size(), 1);
    // Copies and burn type come from the job (ApplyBurn), not from this request.
    QCOMPARE(qlstCalls.first().qlstArgs, (QStringList{"BD 25GB", "案件光盘", "/covers/a.png", "3", "1",
                                                       expectedCloseDisc, JsonText(qjsonReq)}));
}

void tst_CLS_BurnBus::command_unknownJob_data()
{
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<bool>("afterFailedStart");
    for (const char* szCmd : {"StartBurn", "AddFile", "WriteLabel", "DoBurn"}) {
        QTest::addRow("%s, never registered", szCmd) << szCmd << false;
        QTest::addRow("%s, after a failed StartBurn", szCmd) << szCmd << true;
    }
}

void tst_CLS_BurnBus::command_unknownJob()
{
    QFETCH(QString, cmd);
    QFETCH(bool, afterFailedStart);
    CLS_TestBackend* pBackend = Backend(n_KindPlain);
    const QString qstrJobId = NewJobId("u");
    if (afterFailedStart) {
        CHECKED(RegisterJob(qstrJobId, n_KindPlain));
        pBackend->SetResult("StartBurn", -7, "拒绝", "", qstrJobId);
        Send("StartBurn", {{"JobId", qstrJobId}, {"msgId", "m-start"}});
        QVERIFY(WaitForReplies(qstrJobId, "StartBurnReply", 1));
    }
    const int iCallsBefore = pBackend->CallCount(cmd, qstrJobId);
    Send(cmd, {{"JobId", qstrJobId}, {"msgId", "m-late"}});
    QVERIFY(QTest::qWaitFor(
        [&] {
            const QList<BusReply> qlstReplies = Replies(qstrJobId, cmd + "Reply");
            return !qlstReplies.isEmpty() && qlstReplies.last().qstrMsgId == QLatin1String("m-late");
        },
        n_ReplyTimeoutMs));

    const BusReply stReply = Replies(qstrJobId, cmd + "Reply").last();
    const QString qstrErrMsg = cmd == "DoBurn" ? QStringLiteral("[任务不存在]") + qstrJobId : QString();
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, -5, "", qstrErrMsg));
    QCOMPARE(stReply.iStatus, 4);
    QCOMPARE(pBackend->CallCount(cmd, qstrJobId), iCallsBefore);
}

void tst_CLS_BurnBus::addFile_hideFile_data()
{
    QTest::addColumn<QJsonValue>("hideFile");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("number 1") << QJsonValue(1) << true;
    QTest::newRow("text \"1\"") << QJsonValue("1") << false;
    QTest::newRow("number 0") << QJsonValue(0) << false;
    QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << false;
    QTest::newRow("fraction 1.5") << QJsonValue(1.5) << false;
    QTest::newRow("true") << QJsonValue(true) << false;
}

void tst_CLS_BurnBus::addFile_hideFile()
{
    QFETCH(QJsonValue, hideFile);
    QFETCH(bool, hidden);
    QTemporaryDir qtempDir;
    QVERIFY(qtempDir.isValid());
    const QString qstrFirst = qtempDir.filePath("first.mp4");
    const QString qstrSecond = qtempDir.filePath("second.mp4");
    QVERIFY(WriteFile(qstrFirst) && WriteFile(qstrSecond));
    if (!SupportsUserXattr(qstrSecond))
        QSKIP("this file system keeps no extended attributes");
    removexattr(qstrSecond.toLocal8Bit().constData(), "user.probe");

    const QString qstrJobId = NewJobId("f");
    CHECKED(RegisterJob(qstrJobId, n_KindPlain));
    QJsonObject qjsonFirst{{"srcFile", qstrFirst}, {"DesFile", "/video/1.mp4"}};
    if (!hideFile.isUndefined())
        qjsonFirst.insert("HideFile", hideFile);
    const QJsonObject qjsonSecond{{"srcFile", qstrSecond}, {"DesFile", "/video/2.mp4"}};
    Send("AddFile", {{"JobId", qstrJobId}, {"msgId", "m-f"}, {"FileList", QJsonArray{qjsonFirst, qjsonSecond}}});
    QVERIFY(WaitForReplies(qstrJobId, "AddFileReply", 1));

    CHECKED(CheckCommandParam(Replies(qstrJobId).first().qjsonParam, qstrJobId, 0, "", ""));
    const QList<BackendCall> qlstCalls = Backend(n_KindPlain)->Calls("AddFile", qstrJobId);
    QCOMPARE(qlstCalls.size(), 1);
    QCOMPARE(qlstCalls.first().qlstArgs,
             (QStringList{qstrJobId, qstrFirst + ">/video/1.mp4", qstrSecond + ">/video/2.mp4"}));
    QCOMPARE(IsHidden(qstrFirst), hidden);
    QVERIFY(!IsHidden(qstrSecond));
}

void tst_CLS_BurnBus::addFile_missingSourceOnlyLogged()
{
    const QString qstrJobId = NewJobId("f");
    CHECKED(RegisterJob(qstrJobId, n_KindPlain));
    const QJsonObject qjsonFile{{"srcFile", "/nonexistent/dir/a.mp4"}, {"DesFile", "a.mp4"}, {"HideFile", 1}};
    Send("AddFile", {{"JobId", qstrJobId}, {"msgId", "m-f"}, {"FileList", QJsonArray{qjsonFile}}});
    QVERIFY(WaitForReplies(qstrJobId, "AddFileReply", 1));

    CHECKED(CheckCommandParam(Replies(qstrJobId).first().qjsonParam, qstrJobId, 0, "", ""));
    QCOMPARE(Backend(n_KindPlain)->CallCount("AddFile", qstrJobId), 1);
    QVERIFY(LogRecorder::contains(QStringLiteral("4|source\\Common\\FileOpt\\CLS_OperateFile|获取文件属性失败")));
}

// ---------------------------------------------------------------------------------
// BurnDir and hostile job ids

void tst_CLS_BurnBus::burnDir_oneReply_data()
{
    QTest::addColumn<int>("failingStep");
    QTest::newRow("ApplyBurn fails") << 0;
    QTest::newRow("StartBurn fails") << 1;
    QTest::newRow("AddFile fails") << 2;
    QTest::newRow("WriteLabel fails") << 3;
    QTest::newRow("DoBurn fails") << 4;
    QTest::newRow("all succeed") << -1;
}

// Exactly one "BurnDirReply", built from the sub-request of the step that failed (its
// msgId), status 4; or from the BurnDir request itself, status 3 on success. No step
// after a failed one reaches the backend.
void tst_CLS_BurnBus::burnDir_oneReply()
{
    QFETCH(int, failingStep);
    const QStringList qlstSteps{"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};
    const QStringList qlstBackendOps{"InquestBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};
    CLS_TestBackend* pBackend = Backend(n_KindBurnDir);
    const QString qstrJobId = NewJobId("d");
    if (failingStep >= 0)
        pBackend->SetResult(qlstBackendOps.at(failingStep), -7, "步骤失败", "E-7");

    QJsonObject qjsonReq{{"JobId", qstrJobId}, {"msgId", "m-BurnDir"}};
    qjsonReq.insert("ApplyBurn", JsonText(ApplyRequest(qstrJobId, n_KindBurnDir, "m-ApplyBurn")));
    qjsonReq.insert("StartBurn", JsonText({{"JobId", qstrJobId}, {"msgId", "m-StartBurn"}, {"CDType", "DVD 4.7GB"}}));
    const QJsonArray qjsonFiles{QJsonObject{{"srcFile", "/src/a"}, {"DesFile", "a"}}};
    qjsonReq.insert("AddFile", JsonText({{"JobId", qstrJobId}, {"msgId", "m-AddFile"}, {"FileList", qjsonFiles}}));
    qjsonReq.insert("WriteLabel", JsonText({{"JobId", qstrJobId}, {"msgId", "m-WriteLabel"}}));
    Send("BurnDir", qjsonReq);
    QVERIFY(WaitForReplies(qstrJobId, "BurnDirReply", 1));

    const QList<BusReply> qlstReplies = Replies(qstrJobId);
    QCOMPARE(qlstReplies.size(), 1);
    const BusReply stReply = qlstReplies.first();
    CHECKED(CheckEnvelope(stReply.qstrText, "BurnDirReply"));
    // The steps share one result record: on success the text of the device without
    // robot status (ApplyBurn) is still there.
    CHECKED(CheckCommandParam(stReply.qjsonParam, qstrJobId, failingStep >= 0 ? -7 : 0, failingStep >= 0 ? "E-7" : "",
                              failingStep >= 0 ? "步骤失败" : s_qstrUnsupported));
    const bool blFromSubRequest = failingStep >= 0 && failingStep < 4;
    QCOMPARE(stReply.qstrMsgId, blFromSubRequest ? "m-" + qlstSteps.at(failingStep) : QStringLiteral("m-BurnDir"));
    QCOMPARE(stReply.iStatus, failingStep >= 0 ? 4 : 3);
    const int iLastCalled = failingStep >= 0 ? failingStep : 4;
    for (int iStep = 0; iStep < qlstBackendOps.size(); ++iStep)
        QCOMPARE(pBackend->CallCount(qlstBackendOps.at(iStep), qstrJobId), iStep <= iLastCalled ? 1 : 0);
}

void tst_CLS_BurnBus::hostileJobId_refused_data()
{
    QTest::addColumn<QString>("jobId");
    QTest::newRow("parent") << "..";
    QTest::newRow("dot") << ".";
    QTest::newRow("climbs out") << "../../etc";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("control character") << "a\nb";
    QTest::newRow("empty") << "";
}

// Refused with -8 and "[任务ID非法]" + id before any backend is asked anything.
void tst_CLS_BurnBus::hostileJobId_refused()
{
    QFETCH(QString, jobId);
    const QString qstrErrMsg = QStringLiteral("[任务ID非法]") + jobId;
    Send("ApplyBurn", ApplyRequest(jobId, n_KindPlain, "m-apply"));
    QVERIFY(WaitForReplies(jobId, "ApplyBurnReply", 1));
    const BusReply stApply = Replies(jobId, "ApplyBurnReply").first();
    CHECKED(CheckCommandParam(stApply.qjsonParam, jobId, -8, "", qstrErrMsg));
    QVERIFY(stApply.qjsonParam.value("delJobId").toArray().isEmpty());
    QCOMPARE(stApply.iStatus, 4);

    QJsonObject qjsonDir{{"JobId", jobId}, {"msgId", "m-dir"}};
    qjsonDir.insert("ApplyBurn", JsonText(ApplyRequest(jobId, n_KindPlain, "m-sub")));
    Send("BurnDir", qjsonDir);
    QVERIFY(WaitForReplies(jobId, "BurnDirReply", 1));
    const BusReply stDir = Replies(jobId, "BurnDirReply").first();
    CHECKED(CheckCommandParam(stDir.qjsonParam, jobId, -8, "", qstrErrMsg));
    QCOMPARE(stDir.qstrMsgId, QStringLiteral("m-dir"));
    QCOMPARE(stDir.iStatus, 4);

    QVERIFY(!IsRegistered(jobId));
    for (const BackendCall& stCall : Backend(n_KindPlain)->Calls())
        QVERIFY2(stCall.qstrOp == "GetJobStatus", qPrintable(stCall.qstrOp));
}

void tst_CLS_BurnBus::burnDir_hostileSubRequestId()
{
    const QString qstrJobId = NewJobId("d");
    QJsonObject qjsonDir{{"JobId", qstrJobId}, {"msgId", "m-dir"}};
    qjsonDir.insert("ApplyBurn", JsonText(ApplyRequest("../" + qstrJobId, n_KindBurnDir, "m-sub")));
    Send("BurnDir", qjsonDir);
    QVERIFY(WaitForReplies("../" + qstrJobId, "BurnDirReply", 1));

    const BusReply stReply = Replies("../" + qstrJobId).first();
    CHECKED(CheckCommandParam(stReply.qjsonParam, "../" + qstrJobId, -8, "", "[任务ID非法]../" + qstrJobId));
    QCOMPARE(stReply.qstrMsgId, QStringLiteral("m-sub"));
    QCOMPARE(Backend(n_KindBurnDir)->CallCount("InquestBurn"), 0);
    QCOMPARE(Backend(n_KindBurnDir)->CallCount("GetRobotStatus"), 0);
}

// ---------------------------------------------------------------------------------
// Status polling

void tst_CLS_BurnBus::polling_finalState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("statusMsg");
    QTest::addColumn<QString>("discPlace");
    QTest::newRow("3 finished, default disc place") << 3 << "刻录完成" << QString();
    QTest::newRow("3 finished, backend disc place") << 3 << "刻录完成" << "[{\"slot\":2}]";
    QTest::newRow("4 error") << 4 << "刻录出错" << QString();
    QTest::newRow("10 final without a name") << 10 << "刻录状态未知" << QString();
    QTest::newRow("12 cancelled") << 12 << "刻录取消" << QString();
}

// 2 -> final: one "BurnStatusReply" with the DoBurn msgId, then the job is released.
void tst_CLS_BurnBus::polling_finalState()
{
    QFETCH(int, state);
    QFETCH(QString, statusMsg);
    QFETCH(QString, discPlace);
    CLS_TestBackend* pBackend = Backend(n_KindPoll);
    const QString qstrJobId = NewJobId("p");
    CHECKED(StartPolledJob(qstrJobId, "m-doburn"));
    if (!discPlace.isNull())
        pBackend->SetDiscPlace(qstrJobId, discPlace);
    pBackend->SetResult("GetJobStatus", 0, "poll-msg", "poll-code", qstrJobId);
    pBackend->SetJobStatus(qstrJobId, state, "poll-logs");
    QVERIFY(WaitForReplies(qstrJobId, "BurnStatusReply", 1));
    QTRY_VERIFY_WITH_TIMEOUT(!IsRegistered(qstrJobId), n_ReplyTimeoutMs);
    QCoreApplication::processEvents();

    const QList<BusReply> qlstReplies = Replies(qstrJobId);
    QCOMPARE(qlstReplies.size(), 1);
    const BusReply stReply = qlstReplies.first();
    CHECKED(CheckEnvelope(stReply.qstrText, "BurnStatusReply"));
    const QJsonObject& qjsonParam = stReply.qjsonParam;
    QCOMPARE(qjsonParam.keys(),
             (QStringList{"JobId", "SDiskPlace", "errCode", "errLogs", "errMsg", "status", "statusMsg"}));
    QCOMPARE(qjsonParam.value("JobId").toString(), qstrJobId);
    QVERIFY(qjsonParam.value("status").isDouble());
    QCOMPARE(qjsonParam.value("status").toInt(), state);
    QCOMPARE(qjsonParam.value("statusMsg").toString(), statusMsg);
    QVERIFY(qjsonParam.value("SDiskPlace").isString());
    QCOMPARE(qjsonParam.value("SDiskPlace").toString(), discPlace.isNull() ? QStringLiteral("[]") : discPlace);
    QCOMPARE(qjsonParam.value("errCode").toString(), QStringLiteral("poll-code"));
    QCOMPARE(qjsonParam.value("errMsg").toString(), QStringLiteral("poll-msg"));
    QCOMPARE(qjsonParam.value("errLogs").toString(), QStringLiteral("poll-logs"));
    QCOMPARE(stReply.iStatus, state);
    QCOMPARE(stReply.qstrMsgId, QStringLiteral("m-doburn"));
    QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), 1);
}

void tst_CLS_BurnBus::polling_otherChangeNotReported_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("5 paused") << 5;
    QTest::newRow("0 waiting") << 0;
    QTest::newRow("1 preprocessing") << 1;
    QTest::newRow("14 waiting for discs") << 14;
}

// Recorded in the registry, not reported, and the job stays polled.
void tst_CLS_BurnBus::polling_otherChangeNotReported()
{
    QFETCH(int, state);
    const QString qstrJobId = NewJobId("p");
    CHECKED(StartPolledJob(qstrJobId, "m-doburn"));
    Backend(n_KindPoll)->SetJobStatus(qstrJobId, state);
    QVERIFY(WaitForPolls(qstrJobId, 3) >= 3);

    QVERIFY(Replies(qstrJobId).isEmpty());
    BurnJobInfo stJob;
    QVERIFY(m_pBus->FindJobInList(qstrJobId, stJob));
    QCOMPARE(stJob.iStatus, state);
}

// The disc-error reply is sent once for a run of 11s, whatever the job; a final-state
// reply in between makes the next 11 reported again.
void tst_CLS_BurnBus::polling_discErrorReportedOnce()
{
    CLS_TestBackend* pBackend = Backend(n_KindPoll);
    const QString qstrFinished = NewJobId("finished");
    CHECKED(StartPolledJob(qstrFinished, "m-f"));
    pBackend->SetJobStatus(qstrFinished, n_BurnJobState_Finished);
    QVERIFY(WaitForReplies(qstrFinished, "BurnStatusReply", 1));

    const QString qstrFirst = NewJobId("disc1");
    const QString qstrSecond = NewJobId("disc2");
    CHECKED(StartPolledJob(qstrFirst, "m-1"));
    CHECKED(StartPolledJob(qstrSecond, "m-2"));
    pBackend->SetResult("GetJobStatus", 0, "no disc", "E-11", qstrFirst);
    pBackend->SetJobStatus(qstrFirst, n_BurnJobState_DiscError, "unused logs");
    QVERIFY(WaitForReplies(qstrFirst, "BurnStatusReply", 1));
    pBackend->SetJobStatus(qstrSecond, n_BurnJobState_DiscError);
    QVERIFY(WaitForPolls(qstrSecond, 3) >= 3);

    QCOMPARE(Replies(qstrSecond).size(), 0);
    QCOMPARE(Replies(qstrFirst).size(), 1);
    const BusReply stReply = Replies(qstrFirst).first();
    CHECKED(CheckEnvelope(stReply.qstrText, "BurnStatusReply"));
    QCOMPARE(stReply.qjsonParam.keys(),
             (QStringList{"JobId", "SDiskPlace", "errCode", "errMsg", "status", "statusMsg"}));
    QCOMPARE(stReply.qjsonParam.value("status").toInt(), 11);
    QCOMPARE(stReply.qjsonParam.value("statusMsg").toString(), QStringLiteral("光盘错误"));
    QVERIFY(stReply.qjsonParam.value("SDiskPlace").isString());
    QCOMPARE(stReply.qjsonParam.value("SDiskPlace").toString(), QString());
    QCOMPARE(stReply.qjsonParam.value("errCode").toString(), QStringLiteral("E-11"));
    QCOMPARE(stReply.qjsonParam.value("errMsg").toString(), QStringLiteral("no disc"));
    QCOMPARE(stReply.iStatus, 11);
    QCOMPARE(stReply.qstrMsgId, QStringLiteral("m-1"));
    QVERIFY(IsRegistered(qstrFirst));
    QVERIFY(IsRegistered(qstrSecond));

    const QString qstrCancelled = NewJobId("cancelled");
    CHECKED(StartPolledJob(qstrCancelled, "m-c"));
    pBackend->SetJobStatus(qstrCancelled, n_BurnJobState_Cancelled);
    QVERIFY(WaitForReplies(qstrCancelled, "BurnStatusReply", 1));
    const QString qstrThird = NewJobId("disc3");
    CHECKED(StartPolledJob(qstrThird, "m-3"));
    pBackend->SetJobStatus(qstrThird, n_BurnJobState_DiscError);
    QVERIFY(WaitForReplies(qstrThird, "BurnStatusReply", 1));
    QCOMPARE(Replies(qstrThird).first().qjsonParam.value("status").toInt(), 11);
}

// A job whose DoBurn failed is never polled; SetJobBurning puts it under polling.
void tst_CLS_BurnBus::polling_onlyStartedJobs()
{
    CLS_TestBackend* pBackend = Backend(n_KindPoll);
    const QString qstrIdle = NewJobId("idle");
    CHECKED(RegisterJob(qstrIdle, n_KindPoll));
    pBackend->SetResult("DoBurn", -2, "未就绪", "", qstrIdle);
    BurnResultInfo stResult;
    QCOMPARE(m_pBus->DoBurnEx(Json({{"JobId", qstrIdle}, {"msgId", "m-idle"}}), false, &stResult), -2);
    pBackend->SetJobStatus(qstrIdle, n_BurnJobState_Finished);
    const QString qstrBusy = NewJobId("busy");
    CHECKED(StartPolledJob(qstrBusy, "m-busy"));
    QVERIFY(WaitForPolls(qstrBusy, 2) >= 2);
    QCOMPARE(pBackend->CallCount("GetJobStatus", qstrIdle), 0);
    QVERIFY(IsRegistered(qstrIdle));

    m_pBus->SetJobBurning(qstrIdle);
    QVERIFY(WaitForReplies(qstrIdle, "BurnStatusReply", 1));
    const BusReply stReply = Replies(qstrIdle).first();
    QCOMPARE(stReply.qjsonParam.value("status").toInt(), 3);
    QCOMPARE(stReply.qstrMsgId, QString());
    QTRY_VERIFY_WITH_TIMEOUT(!IsRegistered(qstrIdle), n_ReplyTimeoutMs);
}

void tst_CLS_BurnBus::updateJobInfoByJobId()
{
    const QString qstrJobId = NewJobId("r");
    CHECKED(RegisterJob(qstrJobId, n_KindPoll));
    m_pBus->UpdateJobInfoByJobId(qstrJobId, "task-17", "/burn/path");
    const QList<BackendCall> qlstCalls = Backend(n_KindPoll)->Calls("UpdateJobInfo", qstrJobId);
    QCOMPARE(qlstCalls.size(), 1);
    QCOMPARE(qlstCalls.first().qlstArgs, (QStringList{"task-17", "/burn/path"}));

    const QString qstrUnknown = NewJobId("unknown");
    m_pBus->UpdateJobInfoByJobId(qstrUnknown, "task-18", QString());
    QCOMPARE(Backend(n_KindPoll)->CallCount("UpdateJobInfo", qstrUnknown), 0);
    QVERIFY(LogRecorder::contains("4|CLS_BurnBus|UpdateJobInfoByJobId no find job=" + qstrUnknown));
}

// ---------------------------------------------------------------------------------
// Robot status and queue messages

void tst_CLS_BurnBus::robotStatus_published()
{
    const QString qstrStatus = QStringLiteral("{\"robot\":\"%1\"}").arg(NewJobId("status"));
    Backend(n_KindRobot)->SetRobotStatus(0, qstrStatus);
    CHECKED(RegisterJob(NewJobId("r"), n_KindRobot, {{"serverIP", NewIp()}}));
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QList<QVariant>& qlstArgs : *m_pspyMQ) {
                if (qlstArgs.at(0).toString() == qstrStatus)
                    return true;
            }
            return false;
        },
        n_ReplyTimeoutMs));
}

// Every ApplyBurn connects the backend's queue signal, but only once.
void tst_CLS_BurnBus::backendQueueMessage_forwardedOnce()
{
    CLS_TestBackend* pBackend = Backend(n_KindPlain);
    CHECKED(RegisterJob(NewJobId("q"), n_KindPlain));
    CHECKED(RegisterJob(NewJobId("q"), n_KindPlain));
    emit pBackend->signalSendMQToBurnBus("first");
    emit pBackend->signalSendMQToBurnBus("second");
    QVERIFY(QTest::qWaitFor(
        [&] { return !m_pspyMQ->isEmpty() && m_pspyMQ->last().at(0).toString() == QLatin1String("second"); },
        n_ReplyTimeoutMs));
    QCOMPARE(m_pspyMQ->size(), 2);
    QCOMPARE(m_pspyMQ->first().at(0).toString(), QStringLiteral("first"));
}

// ---------------------------------------------------------------------------------
// Device control

void tst_CLS_BurnBus::devCtrl_badRequest_data()
{
    const QJsonArray qjsonEntries{QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "adjustPrinter"}}};
    QTest::addColumn<QJsonObject>("request");
    QTest::addColumn<QString>("eventId");
    QTest::newRow("empty eventId") << QJsonObject{{"eventId", ""}, {"burnDevInfo", qjsonEntries}} << "";
    QTest::newRow("no eventId") << QJsonObject{{"burnDevInfo", qjsonEntries}} << "";
    QTest::newRow("empty burnDevInfo") << QJsonObject{{"eventId", "ev-1"}, {"burnDevInfo", QJsonArray()}} << "ev-1";
    QTest::newRow("no burnDevInfo") << QJsonObject{{"eventId", "ev-2"}} << "ev-2";
    QTest::newRow("burnDevInfo not an array") << QJsonObject{{"eventId", "ev-3"}, {"burnDevInfo", "x"}} << "ev-3";
}

void tst_CLS_BurnBus::devCtrl_badRequest()
{
    QFETCH(QJsonObject, request);
    QFETCH(QString, eventId);
    Send("BurnDevCtrl", request);
    const QJsonObject qjsonReply = WaitForDevCtrlReply(eventId);
    QVERIFY(!qjsonReply.isEmpty());

    CHECKED(CheckEnvelope(qjsonReply.value("text").toString(), "BurnDevCtrlReply"));
    const QJsonObject qjsonParam = qjsonReply.value("param").toObject();
    QCOMPARE(qjsonParam.keys(), (QStringList{"eventId", "replyList", "ret"}));
    QCOMPARE(qjsonParam.value("eventId").toString(), eventId);
    QVERIFY(qjsonParam.value("ret").isDouble());
    QCOMPARE(qjsonParam.value("ret").toInt(), -8);
    QVERIFY(qjsonParam.value("replyList").isArray());
    QVERIFY(qjsonParam.value("replyList").toArray().isEmpty());
    QCOMPARE(qjsonReply.value("signalStatus").toInt(), -1);
    QCOMPARE(Backend(n_KindDevCtrl)->CallCount("AdjustPrinter"), 0);
}

// A new address is handed to the backend and recorded; the same address again (the
// port completed from the default) is -4 "任务已存在"; a new port drops the device's jobs.
void tst_CLS_BurnBus::devCtrl_announceDevice()
{
    CLS_TestBackend* pBackend = Backend(n_KindDevCtrl);
    pBackend->SetRobotStatus(0, QString());
    const QString qstrIp = NewIp();
    const QJsonObject qjsonEntry{{"burnDev", n_KindDevCtrl}, {"subCmd", "getRobotStatus"}, {"devIP", qstrIp},
                                 {"devPort", 1883}, {"devId", "robot-1"}};
    Send("BurnDevCtrl", {{"eventId", "ev-new"}, {"msgId", "m"}, {"burnDevInfo", QJsonArray{qjsonEntry}}});
    QJsonObject qjsonParam = WaitForDevCtrlReply("ev-new").value("param").toObject();
    QCOMPARE(qjsonParam.value("ret").toInt(), 0);
    QJsonObject qjsonItem = qjsonParam.value("replyList").toArray().first().toObject();
    QCOMPARE(qjsonItem.keys(), (QStringList{"burnDev", "delJobId", "devIP", "devId", "devPort", "errMsg", "ret",
                                            "subCmd"}));
    for (const char* szKey : {"burnDev", "devIP", "devId", "devPort", "subCmd"})
        QCOMPARE(qjsonItem.value(szKey), qjsonEntry.value(szKey));
    QVERIFY(qjsonItem.value("delJobId").isArray());
    QCOMPARE(qjsonItem.value("ret").toInt(), 0);
    const QList<BackendCall> qlstInquests = pBackend->Calls("InquestBurn", "");
    QCOMPARE(qlstInquests.size(), 1);
    QCOMPARE(qlstInquests.first().qlstArgs.mid(0, 2), (QStringList{"0", "0"}));
    QCOMPARE(ParseObject(qlstInquests.first().qlstArgs.at(2)),
             (QJsonObject{{"BurnDev", n_KindDevCtrl}, {"serverIP", qstrIp}, {"DevPort", 1883}}));

    const QString qstrJobId = NewJobId("j");
    CHECKED(RegisterJob(qstrJobId, n_KindDevCtrl, {{"serverIP", qstrIp}, {"DevPort", 1883}}));
    QJsonObject qjsonSame = qjsonEntry;
    qjsonSame.remove("devPort");
    Send("BurnDevCtrl", {{"eventId", "ev-same"}, {"burnDevInfo", QJsonArray{qjsonSame}}});
    qjsonParam = WaitForDevCtrlReply("ev-same").value("param").toObject();
    QCOMPARE(qjsonParam.value("ret").toInt(), -1);
    qjsonItem = qjsonParam.value("replyList").toArray().first().toObject();
    QCOMPARE(qjsonItem.value("ret").toInt(), -4);
    QVERIFY(qjsonItem.value("errMsg").toString().endsWith(QStringLiteral("任务已存在")));
    QVERIFY(!qjsonItem.contains("devPort"));
    QCOMPARE(pBackend->CallCount("InquestBurn", ""), 1);
    QVERIFY(IsRegistered(qstrJobId));

    QJsonObject qjsonMoved = qjsonEntry;
    qjsonMoved.insert("devPort", 1999);
    Send("BurnDevCtrl", {{"eventId", "ev-moved"}, {"burnDevInfo", QJsonArray{qjsonMoved}}});
    qjsonParam = WaitForDevCtrlReply("ev-moved").value("param").toObject();
    QCOMPARE(qjsonParam.value("ret").toInt(), 0);
    qjsonItem = qjsonParam.value("replyList").toArray().first().toObject();
    QCOMPARE(ToStringList(qjsonItem.value("delJobId").toArray()), QStringList{qstrJobId});
    QVERIFY(!IsRegistered(qstrJobId));
    QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), 1);
}

void tst_CLS_BurnBus::devCtrl_entryResult_data()
{
    QTest::addColumn<QJsonObject>("entry");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("itemRet");
    QTest::addColumn<QString>("itemErrMsg");
    QTest::addColumn<QStringList>("itemKeys");
    const QStringList qlstResultKeys{"delJobId", "errMsg", "ret"};
    QTest::newRow("unknown subCmd") << QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "reboot"}} << "" << -8
                                    << "参数错误:subCmd" << QStringList{"burnDev", "subCmd"} + qlstResultKeys;
    QTest::newRow("no subCmd") << QJsonObject{{"burnDev", n_KindDevCtrl}, {"devId", 7}} << "" << -8
                               << "参数错误:subCmd" << QStringList{"burnDev", "devId"} + qlstResultKeys;
    QTest::newRow("adjustPrinter not offered")
        << QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "adjustPrinter"}, {"devIP", "10.0.0.9"}} << "" << -6
        << s_qstrUnsupported << QStringList{"burnDev", "devIP", "subCmd"} + qlstResultKeys;
    QTest::newRow("adjustPrinter done")
        << QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "adjustPrinter"}, {"x", 1}} << "adjust" << 0 << ""
        << QStringList{"burnDev", "subCmd"} + qlstResultKeys;
    QTest::newRow("kind without backend") << QJsonObject{{"burnDev", 6}, {"subCmd", "getRobotStatus"}} << "" << -6
                                          << "" << QStringList{"burnDev", "subCmd"} + qlstResultKeys;
    QTest::newRow("robot status fails") << QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "getRobotStatus"}}
                                        << "robot-fails" << -3 << "离线"
                                        << QStringList{"burnDev", "subCmd"} + qlstResultKeys;
}

// One entry: its item carries only the entry's own keys plus the result; any failure
// makes the reply's "ret" -1.
void tst_CLS_BurnBus::devCtrl_entryResult()
{
    QFETCH(QJsonObject, entry);
    QFETCH(QString, setup);
    QFETCH(int, itemRet);
    QFETCH(QString, itemErrMsg);
    QFETCH(QStringList, itemKeys);
    CLS_TestBackend* pBackend = Backend(n_KindDevCtrl);
    if (setup == "adjust")
        pBackend->SetResult("AdjustPrinter", 0);
    if (setup == "robot-fails")
        pBackend->SetResult("GetRobotStatus", -3, "离线");
    const QString qstrEventId = NewJobId("ev");
    Send("BurnDevCtrl", {{"eventId", qstrEventId}, {"burnDevInfo", QJsonArray{entry}}});
    const QJsonObject qjsonParam = WaitForDevCtrlReply(qstrEventId).value("param").toObject();

    QCOMPARE(qjsonParam.value("ret").toInt(), itemRet == 0 ? 0 : -1);
    const QJsonArray qjsonList = qjsonParam.value("replyList").toArray();
    QCOMPARE(qjsonList.size(), 1);
    const QJsonObject qjsonItem = qjsonList.first().toObject();
    itemKeys.sort();
    QCOMPARE(qjsonItem.keys(), itemKeys);
    QVERIFY(qjsonItem.value("ret").isDouble());
    QCOMPARE(qjsonItem.value("ret").toInt(), itemRet);
    QVERIFY(qjsonItem.value("errMsg").isString());
    QCOMPARE(qjsonItem.value("errMsg").toString(), itemErrMsg);
    QVERIFY(qjsonItem.value("delJobId").toArray().isEmpty());
    if (setup == "adjust")
        QCOMPARE(ParseObject(pBackend->Calls("AdjustPrinter").first().qlstArgs.first()), entry);
    if (entry.value("burnDev").toInt() == 6)
        QVERIFY(LogRecorder::contains("|CLS_BurnBus|BurnDev=6----isnull"));
}

void tst_CLS_BurnBus::devCtrl_entryWithoutBurnDevSkipped()
{
    Backend(n_KindDevCtrl)->SetResult("AdjustPrinter", 0);
    const QJsonArray qjsonEntries{QJsonObject{{"subCmd", "adjustPrinter"}, {"devId", "lost"}},
                                  QJsonObject{{"burnDev", n_KindDevCtrl}, {"subCmd", "adjustPrinter"}}};
    const QString qstrEventId = NewJobId("ev");
    Send("BurnDevCtrl", {{"eventId", qstrEventId}, {"burnDevInfo", qjsonEntries}});
    const QJsonObject qjsonParam = WaitForDevCtrlReply(qstrEventId).value("param").toObject();

    QCOMPARE(qjsonParam.value("ret").toInt(), -1);
    const QJsonArray qjsonList = qjsonParam.value("replyList").toArray();
    QCOMPARE(qjsonList.size(), 1);
    QCOMPARE(qjsonList.first().toObject().value("burnDev").toInt(), n_KindDevCtrl);
    QCOMPARE(qjsonList.first().toObject().value("ret").toInt(), 0);
    QVERIFY(LogRecorder::contains("4|CLS_BurnBus|fun=CLS_BurnBus::BurnDevCtrlThread, burnDev no exist"));
}

// ---------------------------------------------------------------------------------
// Load and process end

// 1,000 StartBurn/WriteLabel/DoBurn requests at once over 20 jobs (5 of which fail
// StartBurn and get dropped meanwhile) and one unknown job: every request gets exactly
// one reply of its command, backend calls match the successful replies, and the
// registry holds each surviving job exactly once.
void tst_CLS_BurnBus::load_thousandRequestsAnsweredOnce()
{
    constexpr int n_Jobs = 20;
    constexpr int n_FailingJobs = 5;
    constexpr int n_Requests = 1000;
    CLS_TestBackend* pBackend = Backend(n_KindLoad);
    pBackend->SetRobotStatus(0, QString());
    const QString qstrIp = NewIp();
    const QString qstrPrefix = NewJobId("");
    QStringList qlstJobIds;
    for (int iJob = 0; iJob < n_Jobs; ++iJob) {
        qlstJobIds << qstrPrefix + QString::number(iJob);
        CHECKED(RegisterJob(qlstJobIds.last(), n_KindLoad, {{"serverIP", qstrIp}}));
        if (iJob < n_FailingJobs)
            pBackend->SetResult("StartBurn", -7, "拒绝", "E-7", qlstJobIds.last());
    }
    qlstJobIds << qstrPrefix + "unknown";

    const QStringList qlstCmds{"StartBurn", "WriteLabel", "DoBurn"};
    QMap<QString, QPair<QString, QString>> qmapRequests;  // msgId -> (command, job id)
    for (int iReq = 0; iReq < n_Requests; ++iReq) {
        const QString qstrMsgId = qstrPrefix + "m" + QString::number(iReq);
        const QString& qstrCmd = qlstCmds.at(iReq / qlstJobIds.size() % qlstCmds.size());
        const QString& qstrJobId = qlstJobIds.at(iReq % qlstJobIds.size());
        qmapRequests.insert(qstrMsgId, qMakePair(qstrCmd, qstrJobId));
        Send(qstrCmd, {{"JobId", qstrJobId}, {"msgId", qstrMsgId}});
    }
    auto ownReplies = [&] {
        QList<BusReply> qlstOwn;
        for (const QString& qstrJobId : qlstJobIds)
            qlstOwn += Replies(qstrJobId);
        return qlstOwn;
    };
    QVERIFY(QTest::qWaitFor([&] { return m_pspyMsg->size() >= n_Requests; }, 120000));
    QTRY_COMPARE_WITH_TIMEOUT(ownReplies().size(), n_Requests, n_ReplyTimeoutMs);

    QMap<QString, int> qmapReplies;  // command + job id + ret -> replies
    QSet<QString> qsetAnswered;
    for (const BusReply& stReply : ownReplies()) {
        QVERIFY2(!qsetAnswered.contains(stReply.qstrMsgId), qPrintable("second reply to " + stReply.qstrMsgId));
        qsetAnswered.insert(stReply.qstrMsgId);
        const QPair<QString, QString> prRequest = qmapRequests.value(stReply.qstrMsgId);
        QCOMPARE(stReply.qstrCmd, prRequest.first + "Reply");
        QCOMPARE(stReply.qstrJobId, prRequest.second);
        const int iRet = stReply.qjsonParam.value("ret").toInt();
        const int iJob = qlstJobIds.indexOf(prRequest.second);
        if (iJob == n_Jobs)
            QCOMPARE(iRet, -5);
        else if (iJob >= n_FailingJobs)
            QCOMPARE(iRet, 0);
        else
            QVERIFY2(iRet == 0 || iRet == -5 || (iRet == -7 && prRequest.first == "StartBurn"),
                     qPrintable(stReply.qstrText));
        QCOMPARE(stReply.iStatus, iRet == 0 ? -1 : 4);
        ++qmapReplies[prRequest.first + prRequest.second + QString::number(iRet)];
    }
    QCOMPARE(qsetAnswered.size(), n_Requests);

    for (int iJob = 0; iJob < n_Jobs; ++iJob) {
        const QString& qstrJobId = qlstJobIds.at(iJob);
        for (const QString& qstrCmd : {QStringLiteral("WriteLabel"), QStringLiteral("DoBurn")})
            QCOMPARE(pBackend->CallCount(qstrCmd, qstrJobId), qmapReplies.value(qstrCmd + qstrJobId + "0"));
        // Each StartBurn that reached the backend answered 0, or -7 and cleared the job.
        const int iStartOk = qmapReplies.value("StartBurn" + qstrJobId + "0");
        const int iStartFailed = qmapReplies.value("StartBurn" + qstrJobId + "-7");
        QCOMPARE(pBackend->CallCount("StartBurn", qstrJobId), iStartOk + iStartFailed);
        QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), iStartFailed);
        QVERIFY(iJob < n_FailingJobs ? iStartFailed > 0 : iStartOk > 0);
        BurnJobInfo stJob;
        QCOMPARE(m_pBus->FindJobInList(qstrJobId, stJob), iJob >= n_FailingJobs);
        if (iJob >= n_FailingJobs)
            QCOMPARE(stJob.iStatus, n_BurnJobState_Burning);
    }

    // Moving the device drops every surviving job exactly once.
    const QJsonObject qjsonEntry{{"burnDev", n_KindLoad}, {"subCmd", "getRobotStatus"}, {"devIP", qstrIp},
                                 {"devPort", 1999}};
    const QString qstrEventId = qstrPrefix + "ev";
    Send("BurnDevCtrl", {{"eventId", qstrEventId}, {"burnDevInfo", QJsonArray{qjsonEntry}}});
    const QJsonObject qjsonItem = WaitForDevCtrlReply(qstrEventId)
                                      .value("param").toObject().value("replyList").toArray().first().toObject();
    QStringList qlstDropped = OnlyPrefixed(ToStringList(qjsonItem.value("delJobId").toArray()), qstrPrefix);
    QCOMPARE(qlstDropped, qlstJobIds.mid(n_FailingJobs, n_Jobs - n_FailingJobs));
}

void tst_CLS_BurnBus::processEnd_clean_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("application destroyed first") << QStringList();
    QTest::newRow("no application object") << QStringList{"--no-app"};
}

// A process that returns from main while the bus works ends normally: no abort from a
// running QThread, no bus thread left calling a backend at static destruction, no
// sanitizer report.
void tst_CLS_BurnBus::processEnd_clean()
{
    QFETCH(QStringList, arguments);
    QProcess qprocess;
    qprocess.start(QCoreApplication::applicationDirPath() + "/BurnBusExitHelper", arguments);
    QVERIFY2(qprocess.waitForFinished(120000), qPrintable(qprocess.errorString()));
    const QString qstrStdErr = QString::fromUtf8(qprocess.readAllStandardError());
    QVERIFY2(qprocess.exitStatus() == QProcess::NormalExit, qPrintable(qstrStdErr.right(3000)));
    QVERIFY2(qprocess.exitCode() == 0, qPrintable(qstrStdErr.right(3000)));
    QCOMPARE(QString::fromUtf8(qprocess.readAllStandardOutput()).trimmed(), QStringLiteral("work handed to the bus"));
    QVERIFY2(!qstrStdErr.contains("QThread: Destroyed"), qPrintable(qstrStdErr.right(3000)));
    QVERIFY2(!qstrStdErr.contains("still running"), qPrintable(qstrStdErr.right(3000)));
    QVERIFY2(!qstrStdErr.contains("while the process ends"), qPrintable(qstrStdErr.right(3000)));
}

QTEST_GUILESS_MAIN(tst_CLS_BurnBus)
#include "tst_CLS_BurnBus.moc"
