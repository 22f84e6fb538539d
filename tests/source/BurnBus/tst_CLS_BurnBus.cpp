// The burn bus driven through test-double backends behind device kinds: reply texts,
// result codes, job states and msgIds, its job and device registries, status polling,
// device control, hostile job ids, a burst of requests on many threads and a clean end
// of the process (this program run again with "--exit-child").
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <functional>

#include <sys/xattr.h>

#include "BurnDefine.h"
#include "CLS_BurnBus.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"

namespace
{
// Device kinds of the doubles, one role each so that tests do not meet on a device.
constexpr int n_KindPlain = n_BurnDev_Epson;
constexpr int n_KindBurnDir = n_BurnDev_Primera;
constexpr int n_KindPoll = n_BurnDev_Primera4200;
constexpr int n_KindRobot = n_BurnDev_HmsEx;
constexpr int n_KindDevice = n_BurnDev_DMXTwelve;  // default port 1883
constexpr int n_KindLoad = n_BurnDev_DMXEight;
// What a device without robot status leaves in "errMsg" although its job is accepted.
const QString s_qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
constexpr int n_WaitMs = 20000;

// The doubles of every test, kept reachable to the end: a bus thread may still call one.
QList<CLS_TestBackend*>* const s_pKeptBackends = new QList<CLS_TestBackend*>;

struct BusReply
{
    QString qstrJobId;
    QString qstrText;
    int iStatus = 0;
    QString qstrMsgId;
};

QString JsonText(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

// The text the bus sends: module name, command and parameters, in Qt's indented form.
QString ReplyText(const QString& _qstrCmd, const QJsonObject& _qjsonParam)
{
    const QJsonObject qjsonReply{{"ModuleName", "BurnModule"}, {"cmd", _qstrCmd}, {"param", _qjsonParam}};
    return QString::fromUtf8(QJsonDocument(qjsonReply).toJson(QJsonDocument::Indented));
}

// A command reply's text; ApplyBurn's also lists the jobs that a new device address dropped.
QString CommandReplyText(const QString& _qstrCmd, const QString& _qstrJobId, int _iRet, const QString& _qstrErrCode,
                         const QString& _qstrErrMsg, const QStringList* _pqlstDropped = nullptr)
{
    QJsonObject qjsonParam{{"JobId", _qstrJobId}, {"ret", _iRet}, {"errCode", _qstrErrCode}, {"errMsg", _qstrErrMsg}};
    if (_pqlstDropped)
        qjsonParam.insert("delJobId", QJsonArray::fromStringList(*_pqlstDropped));
    return ReplyText(_qstrCmd + "Reply", qjsonParam);
}

QString DevCtrlReplyText(const QString& _qstrEventId, int _iRet, const QJsonArray& _qjsonItems)
{
    return ReplyText("BurnDevCtrlReply", {{"eventId", _qstrEventId}, {"ret", _iRet}, {"replyList", _qjsonItems}});
}

// An item of a device-control reply: the entry's own keys plus the result.
QJsonObject DevCtrlItem(QJsonObject _qjsonKeys, int _iRet, const QString& _qstrErrMsg,
                        const QStringList& _qlstDropped = {})
{
    _qjsonKeys.insert("delJobId", QJsonArray::fromStringList(_qlstDropped));
    _qjsonKeys.insert("ret", _iRet);
    _qjsonKeys.insert("errMsg", _qstrErrMsg);
    return _qjsonKeys;
}

// An ApplyBurn request; the members given win.
QJsonObject ApplyRequest(const QString& _qstrJobId, int _iKind, const QJsonObject& _qjsonGiven = {})
{
    QJsonObject qjsonReq{
        {"JobId", _qstrJobId}, {"BurnDev", _iKind}, {"BurnType", 1}, {"CopyCount", 3}, {"msgId", "m-apply"}};
    for (auto it = _qjsonGiven.begin(); it != _qjsonGiven.end(); ++it)
        qjsonReq.insert(it.key(), it.value());
    return qjsonReq;
}

// The child of processEnd_clean: hands the bus work that is still running, then returns
// from main. Its exit handler, registered before the bus's, runs after it at the start
// of static destruction and lingers, so that a bus thread still calling its backend
// would be caught.
std::atomic<bool> s_blEnding{false};

int RunExitChild(bool _blWithApp, int argc, char** argv)
{
    std::unique_ptr<QCoreApplication> pApp(_blWithApp ? new QCoreApplication(argc, argv) : nullptr);
    std::atexit([] {
        s_blEnding = true;
        QThread::msleep(100);
    });
    auto* pBackend = new CLS_TestBackend;
    *s_pKeptBackends << pBackend;
    pBackend->SetCallHook(20, [](const char* _szOp) {
        if (s_blEnding)
            std::fprintf(stderr, "backend called while the process ends: %s\n", _szOp);
    });
    pBackend->SetRobotStatus(0, "{\"robot\":1}");
    pBackend->SetJobStatus("exit-1", n_BurnJobState_Paused);
    CLS_AutoBase::InstallInstance(n_KindPoll, pBackend);
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();
    BurnResultInfo stResult;
    const std::string strReq = JsonText(ApplyRequest("exit-1", n_KindPoll)).toStdString();
    if (pBus->InquestBurnEx(strReq, false, &stResult) != 0 || pBus->DoBurnEx(strReq, false, &stResult) != 0)
        return 2;
    for (int iReq = 0; iReq < 40; ++iReq) {
        pBus->StartBurn(strReq);
        pBus->WriteLabel(strReq);
        pBus->DoBurn(strReq);
        pBus->AddFile(strReq);
        pBus->ApplyBurn(JsonText(ApplyRequest(QStringLiteral("exit-a%1").arg(iReq), n_KindPoll)).toStdString());
        pBus->BurnDir(JsonText({{"JobId", QStringLiteral("exit-d%1").arg(iReq)}}).toStdString());
        const QJsonObject qjsonEntry{{"burnDev", n_KindPoll}, {"subCmd", "getRobotStatus"}, {"devIP", "10.1.1.1"},
                                     {"devPort", 7000 + iReq}};
        pBus->BurnDevCtrl(JsonText({{"eventId", "ev"}, {"burnDevInfo", QJsonArray{qjsonEntry}}}).toStdString());
    }
    std::puts("work handed to the bus");
    return 0;
}
}  // namespace

class tst_CLS_BurnBus : public QObject
{
    Q_OBJECT

    CLS_BurnBus* m_pBus = nullptr;
    QMap<int, CLS_TestBackend*> m_qmapBackends;
    // What the bus emitted, received on this thread.
    QList<BusReply> m_qlstReplies;
    QMap<QString, QString> m_qmapDevCtrlReplies;  // event id -> text
    QStringList m_qlstQueueMessages;
    int m_iCounter = 0;

    CLS_TestBackend* Backend(int _iKind) const { return m_qmapBackends.value(_iKind); }
    QString NewJobId() { return QStringLiteral("%1-%2").arg(QTest::currentTestFunction()).arg(++m_iCounter); }
    // Registers a job through the synchronous handler (no reply).
    bool RegisterJob(const QString& _qstrJobId, int _iKind, const QJsonObject& _qjsonReq = {})
    {
        BurnResultInfo stResult;
        const std::string strReq = JsonText(ApplyRequest(_qstrJobId, _iKind, _qjsonReq)).toStdString();
        return m_pBus->InquestBurnEx(strReq, false, &stResult) == 0;
    }
    // A job of the polled kind whose DoBurn (msgId "m-" + job id) succeeded: state 2, polled.
    bool StartPolledJob(const QString& _qstrJobId)
    {
        Backend(n_KindPoll)->SetJobStatus(_qstrJobId, n_BurnJobState_Burning);
        BurnResultInfo stResult;
        const std::string strReq = JsonText({{"JobId", _qstrJobId}, {"msgId", "m-" + _qstrJobId}}).toStdString();
        return RegisterJob(_qstrJobId, n_KindPoll) && m_pBus->DoBurnEx(strReq, false, &stResult) == 0;
    }
    void Send(const QString& _qstrCmd, const QJsonObject& _qjsonReq)
    {
        static const QMap<QString, std::function<void(CLS_BurnBus*, std::string)>> s_qmapEntries = {
            {"ApplyBurn", &CLS_BurnBus::ApplyBurn}, {"StartBurn", &CLS_BurnBus::StartBurn},
            {"AddFile", &CLS_BurnBus::AddFile},     {"WriteLabel", &CLS_BurnBus::WriteLabel},
            {"DoBurn", &CLS_BurnBus::DoBurn},       {"BurnDir", &CLS_BurnBus::BurnDir},
            {"BurnDevCtrl", &CLS_BurnBus::BurnDevCtrl}};
        s_qmapEntries.value(_qstrCmd)(m_pBus, JsonText(_qjsonReq).toStdString());
    }
    QList<BusReply> Replies(const QString& _qstrJobId) const
    {
        QList<BusReply> qlstReplies;
        for (const BusReply& stReply : m_qlstReplies) {
            if (stReply.qstrJobId == _qstrJobId)
                qlstReplies << stReply;
        }
        return qlstReplies;
    }
    // The job's first reply; an empty one after the wait.
    BusReply WaitForReply(const QString& _qstrJobId) const
    {
        static_cast<void>(QTest::qWaitFor([&] { return !Replies(_qstrJobId).isEmpty(); }, n_WaitMs));
        return Replies(_qstrJobId).value(0);
    }
    QString WaitForDevCtrlReply(const QString& _qstrEventId) const
    {
        static_cast<void>(QTest::qWaitFor([&] { return m_qmapDevCtrlReplies.contains(_qstrEventId); }, n_WaitMs));
        return m_qmapDevCtrlReplies.value(_qstrEventId);
    }
    bool IsRegistered(const QString& _qstrJobId) const
    {
        BurnJobInfo stJob;
        return m_pBus->FindJobInList(_qstrJobId, stJob);
    }
    // Waits until the job has been polled that many more times and takes in what the bus
    // emitted meanwhile.
    bool WaitForPolls(const QString& _qstrJobId, int _iMorePolls)
    {
        const auto polls = [&] { return Backend(n_KindPoll)->CallCount("GetJobStatus", _qstrJobId); };
        const int iTarget = polls() + _iMorePolls;
        const bool blPolled = QTest::qWaitFor([&] { return polls() >= iTarget; }, n_WaitMs);
        QCoreApplication::processEvents();
        return blPolled;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        LogRecorder::install();
        m_pBus = CLS_BurnBus::GetInstance();
        QCOMPARE(CLS_BurnBus::GetInstance(), m_pBus);
        connect(m_pBus, &CLS_BurnBus::signalSendMsgToPresenter, this,
                [this](QString _qstrJobId, QString _qstrText, int _iStatus, QString _qstrMsgId) {
                    m_qlstReplies << BusReply{_qstrJobId, _qstrText, _iStatus, _qstrMsgId};
                }, Qt::QueuedConnection);
        connect(m_pBus, &CLS_BurnBus::signalSendBurnDevCtrlToPresenter, this,
                [this](QString _qstrEventId, QString _qstrText) {
                    m_qmapDevCtrlReplies.insert(_qstrEventId, _qstrText);
                }, Qt::QueuedConnection);
        connect(m_pBus, &CLS_BurnBus::signalSendMQToPresenter, this,
                [this](QString _qstrMsg) { m_qlstQueueMessages << _qstrMsg; }, Qt::QueuedConnection);
    }
    // A fresh double behind every kind, nothing received yet, a clean log. Jobs and device
    // addresses stay: each test has its own.
    void init()
    {
        for (const int iKind : {0, 2, 3, 4, 5, 7, 8, 9, 10, 11}) {
            *s_pKeptBackends << new CLS_TestBackend;
            m_qmapBackends.insert(iKind, s_pKeptBackends->last());
            CLS_AutoBase::InstallInstance(iKind, s_pKeptBackends->last());
        }
        QCoreApplication::processEvents();
        m_qlstReplies.clear();
        m_qmapDevCtrlReplies.clear();
        m_qlstQueueMessages.clear();
        LogRecorder::clear();
    }

    void applyBurn_data()
    {
        QTest::addColumn<QString>("jobId");  // null: a fresh one
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("ret");  // -4: registered before; -3: the backend refuses
        QTest::addColumn<QString>("errMsg");
        QTest::newRow("registers the job") << QString() << n_KindPlain << 0 << s_qstrUnsupported;
        QTest::newRow("already registered") << QString() << n_KindPlain << -4 << "";
        QTest::newRow("backend refuses") << QString() << n_KindPlain << -3 << "设备忙";
        for (const int iKind : {6, 1, -3})
            QTest::addRow("kind %d without backend", iKind) << QString() << iKind << -6 << "";
        for (const char* szJobId : {"..", ".", "../../etc", "a/b", "a\\b", "a\tb", ""})
            QTest::addRow("hostile job id %s", szJobId)
                << szJobId << n_KindPlain << -8 << QStringLiteral("[任务ID非法]") + szJobId;
    }
    // One "ApplyBurnReply" (status -1 on success, 4 on failure, the request's msgId); the
    // job is only registered on success. Copies and burn type go to the backend.
    void applyBurn()
    {
        QFETCH(QString, jobId);
        QFETCH(int, kind);
        QFETCH(int, ret);
        QFETCH(QString, errMsg);
        CLS_TestBackend* pBackend = Backend(n_KindPlain);
        const QString qstrJobId = jobId.isNull() ? NewJobId() : jobId;
        if (ret == -4)
            QVERIFY(RegisterJob(qstrJobId, kind));
        if (ret == -3)
            pBackend->SetResult("InquestBurn", -3, "设备忙", "E-3");
        const QJsonObject qjsonReq = ApplyRequest(qstrJobId, kind);
        Send("ApplyBurn", qjsonReq);
        const BusReply stReply = WaitForReply(qstrJobId);
        const QStringList qlstNoneDropped;
        const QString qstrErrCode = ret == -3 ? "E-3" : "";
        QCOMPARE(stReply.qstrText,
                 CommandReplyText("ApplyBurn", qstrJobId, ret, qstrErrCode, errMsg, &qlstNoneDropped));
        QCOMPARE(stReply.iStatus, ret == 0 ? -1 : 4);
        QCOMPARE(stReply.qstrMsgId, QStringLiteral("m-apply"));
        QCOMPARE(IsRegistered(qstrJobId), ret == 0 || ret == -4);
        const int iAsked = ret == 0 || ret == -3 || ret == -4 ? 1 : 0;  // -4: by the registration before
        QCOMPARE(pBackend->CallCount("GetRobotStatus"), iAsked);
        QCOMPARE(pBackend->CallCount("InquestBurn"), iAsked);
        if (ret == 0)
            QCOMPARE(pBackend->Calls("InquestBurn").first().qlstArgs, (QStringList{"3", "1", JsonText(qjsonReq)}));
    }

    // A device's address (its port completed from the kind's default) comes with device
    // control or ApplyBurn and is recorded once the backend accepted it. A new one drops
    // every job of the device, in registry order, and clears them in the backend; the same
    // one again is -4 for device control.
    void deviceAddress_newAddressDropsJobs()
    {
        CLS_TestBackend* pBackend = Backend(n_KindDevice);
        pBackend->SetRobotStatus(0, QString());
        const QString qstrIp = QStringLiteral("10.9.0.%1").arg(++m_iCounter);
        const QJsonObject qjsonEntry{{"burnDev", n_KindDevice}, {"subCmd", "getRobotStatus"}, {"devIP", qstrIp},
                                     {"devPort", 1883}, {"devId", "robot-1"}};
        QJsonObject qjsonSame = qjsonEntry;
        qjsonSame.remove("devPort");
        const QStringList qlstJobIds{NewJobId(), NewJobId(), NewJobId(), NewJobId()};
        const auto announce = [&](const QString& _qstrEventId, const QJsonObject& _qjsonEntry) {
            Send("BurnDevCtrl", {{"eventId", _qstrEventId}, {"burnDevInfo", QJsonArray{_qjsonEntry}}});
            return WaitForDevCtrlReply(_qstrEventId);
        };
        const auto apply = [&](int _iJob, const QJsonValue& _qjsonPort) {
            const QJsonObject qjsonAddress{{"serverIP", qstrIp}, {"DevPort", _qjsonPort}};
            Send("ApplyBurn", ApplyRequest(qlstJobIds.at(_iJob), n_KindDevice, qjsonAddress));
            return WaitForReply(qlstJobIds.at(_iJob)).qstrText;
        };
        const auto applyReply = [&](int _iJob, int _iRet, const QString& _qstrErrMsg, const QStringList& _qlstDropped) {
            return CommandReplyText("ApplyBurn", qlstJobIds.at(_iJob), _iRet, "", _qstrErrMsg, &_qlstDropped);
        };
        pBackend->SetResult("InquestBurn", -3, "忙");
        QCOMPARE(announce("ev-refused", qjsonEntry),
                 DevCtrlReplyText("ev-refused", -1, {DevCtrlItem(qjsonEntry, -3, "忙")}));
        QCOMPARE(apply(0, 1883), applyReply(0, -3, "忙", {}));
        pBackend->SetResult("InquestBurn", 0);
        QCOMPARE(announce("ev-new", qjsonEntry), DevCtrlReplyText("ev-new", 0, {DevCtrlItem(qjsonEntry, 0, "")}));
        const QJsonObject qjsonInquest{{"BurnDev", n_KindDevice}, {"DevPort", 1883}, {"serverIP", qstrIp}};
        QCOMPARE(pBackend->Calls("InquestBurn", "").last().qlstArgs, (QStringList{"0", "0", JsonText(qjsonInquest)}));

        QCOMPARE(apply(1, QJsonValue::Undefined), applyReply(1, 0, "", {}));
        QCOMPARE(apply(2, 1883), applyReply(2, 0, "", {}));
        QCOMPARE(announce("ev-same", qjsonSame),
                 DevCtrlReplyText("ev-same", -1, {DevCtrlItem(qjsonSame, -4, "任务已存在")}));
        QCOMPARE(pBackend->CallCount("InquestBurn", ""), 2);
        QCOMPARE(apply(3, 1999), applyReply(3, 0, "", qlstJobIds.mid(1, 2)));
        QCOMPARE(announce("ev-back", qjsonEntry),
                 DevCtrlReplyText("ev-back", 0, {DevCtrlItem(qjsonEntry, 0, "", qlstJobIds.mid(3))}));
        QStringList qlstCleared;
        for (const BackendCall& stCall : pBackend->Calls("ClearData"))
            qlstCleared << stCall.qstrJobId;
        QCOMPARE(qlstCleared, qlstJobIds.mid(1));
        for (const QString& qstrJobId : qlstJobIds)
            QVERIFY(!IsRegistered(qstrJobId));
    }

    void command_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QJsonValue>("closeDisc");
        QTest::addColumn<int>("ret");                  // of the backend; -5: the job is not registered
        QTest::addColumn<QStringList>("backendArgs");  // "%1": the request's text
        QTest::addColumn<int>("stateAfter");           // -2: the job is dropped
        const QStringList qlstStart{"BD 25GB", "案件光盘", "/c.png", "3", "1", "YES", "%1"};
        const QStringList qlstStartNo{"BD 25GB", "案件光盘", "/c.png", "3", "1", "NO", "%1"};
        const QJsonValue qjsonAbsent(QJsonValue::Undefined);
        QTest::newRow("StartBurn") << "StartBurn" << qjsonAbsent << 0 << qlstStart << -1;
        QTest::newRow("StartBurn, CloseDisc NO") << "StartBurn" << QJsonValue("NO") << 0 << qlstStartNo << -1;
        QTest::newRow("StartBurn, CloseDisc not text") << "StartBurn" << QJsonValue(0) << 0 << qlstStart << -1;
        QTest::newRow("StartBurn fails: job dropped") << "StartBurn" << qjsonAbsent << -9 << qlstStart << -2;
        QTest::newRow("AddFile fails") << "AddFile" << qjsonAbsent << -9 << QStringList{"%2"} << -1;
        QTest::newRow("WriteLabel") << "WriteLabel" << qjsonAbsent << 0 << QStringList{"%1"} << -1;
        QTest::newRow("WriteLabel fails") << "WriteLabel" << qjsonAbsent << -9 << QStringList{"%1"} << -1;
        QTest::newRow("DoBurn: job burning") << "DoBurn" << qjsonAbsent << 0 << QStringList{} << 2;
        QTest::newRow("DoBurn fails: job not started") << "DoBurn" << qjsonAbsent << -9 << QStringList{} << -1;
        for (const char* szCmd : {"StartBurn", "AddFile", "WriteLabel", "DoBurn"})
            QTest::addRow("%s of an unknown job", szCmd) << szCmd << qjsonAbsent << -5 << QStringList() << -2;
    }
    // One reply of the command with the backend's result and texts (status -1 on success,
    // 4 on failure); a failed StartBurn drops and clears the job, a DoBurn starts it.
    // Copies and burn type come from the job; an unknown job is -5.
    void command()
    {
        QFETCH(QString, cmd);
        QFETCH(QJsonValue, closeDisc);
        QFETCH(int, ret);
        QFETCH(QStringList, backendArgs);
        QFETCH(int, stateAfter);
        CLS_TestBackend* pBackend = Backend(n_KindPlain);
        const QString qstrJobId = NewJobId();
        if (ret != -5)
            QVERIFY(RegisterJob(qstrJobId, n_KindPlain));
        pBackend->SetResult(cmd, ret, "原因", "E-9", qstrJobId);
        const QJsonObject qjsonReq{{"JobId", qstrJobId}, {"msgId", "m-" + cmd}, {"CDType", "BD 25GB"},
                                   {"CDTitle", "案件光盘"}, {"CDCover", "/c.png"}, {"CloseDisc", closeDisc}};
        Send(cmd, qjsonReq);
        const BusReply stReply = WaitForReply(qstrJobId);
        const QString qstrErrCode = ret == -9 ? "E-9" : "";
        const QString qstrErrMsg = ret == -9 ? "原因" : (ret == -5 && cmd == "DoBurn" ? "[任务不存在]" + qstrJobId : "");
        QCOMPARE(stReply.qstrText, CommandReplyText(cmd, qstrJobId, ret, qstrErrCode, qstrErrMsg));
        QCOMPARE(stReply.iStatus, ret == 0 ? -1 : 4);
        QCOMPARE(stReply.qstrMsgId, "m-" + cmd);
        for (QString& qstrArg : backendArgs)
            qstrArg.replace("%1", JsonText(qjsonReq)).replace("%2", qstrJobId);
        QCOMPARE(pBackend->CallCount(cmd), ret == -5 ? 0 : 1);
        QCOMPARE(pBackend->Calls(cmd).value(0).qlstArgs, backendArgs);
        QCOMPARE(pBackend->CallCount("ClearData"), ret != -5 && stateAfter == -2 ? 1 : 0);
        BurnJobInfo stJob;
        QCOMPARE(m_pBus->FindJobInList(qstrJobId, stJob), stateAfter != -2);
        QCOMPARE(stJob.iStatus, stateAfter == 2 ? 2 : -1);
        QCOMPARE(stJob.qstrMsgId, stateAfter == 2 ? "m-" + cmd : QString());
    }

    void addFile_data()
    {
        QTest::addColumn<QJsonValue>("hideFile");
        QTest::addColumn<int>("hidden");
        QTest::newRow("number 1") << QJsonValue(1) << 1;
        QTest::newRow("text \"1\"") << QJsonValue("1") << 0;
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << 0;
        QTest::newRow("fraction 1.5") << QJsonValue(1.5) << 0;
        QTest::newRow("true") << QJsonValue(true) << 0;
    }
    // The file list goes to the backend in order; "HideFile": 1 hides that source as Samba
    // and Wine record it (DOS attribute text in "user.DOSATTRIB"); a missing source is
    // only logged.
    void addFile()
    {
        QFETCH(QJsonValue, hideFile);
        QFETCH(int, hidden);
        QTemporaryDir qtempDir;
        const QString qstrFirst = qtempDir.filePath("1.mp4");
        const QString qstrSecond = qtempDir.filePath("2.mp4");
        QVERIFY(QFile(qstrFirst).open(QIODevice::WriteOnly) && QFile(qstrSecond).open(QIODevice::WriteOnly));
        const QString qstrJobId = NewJobId();
        QVERIFY(RegisterJob(qstrJobId, n_KindPlain));
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrFirst}, {"DesFile", "/v/1"}, {"HideFile", hideFile}},
                                    QJsonObject{{"srcFile", qstrSecond}, {"DesFile", "/v/2"}},
                                    QJsonObject{{"srcFile", "/nonexistent/3"}, {"DesFile", "/v/3"}, {"HideFile", 1}}};
        Send("AddFile", {{"JobId", qstrJobId}, {"FileList", qjsonFiles}});
        QCOMPARE(WaitForReply(qstrJobId).qstrText, CommandReplyText("AddFile", qstrJobId, 0, "", ""));
        QCOMPARE(Backend(n_KindPlain)->Calls("AddFile").first().qlstArgs,
                 (QStringList{qstrJobId, qstrFirst + ">/v/1", qstrSecond + ">/v/2", "/nonexistent/3>/v/3"}));
        QVERIFY(LogRecorder::contains("|source\\Common\\FileOpt\\CLS_OperateFile|获取文件属性失败:/nonexistent/3"));
        const auto isHidden = [](const QString& _qstrPath) {
            char szValue[64] = {};
            if (getxattr(_qstrPath.toLocal8Bit().constData(), "user.DOSATTRIB", szValue, sizeof(szValue) - 1) < 0)
                return errno == ENOTSUP ? -1 : 0;
            return (std::strtoul(szValue, nullptr, 0) & 0x2) ? 1 : 0;
        };
        if (isHidden(qstrSecond) < 0)
            QSKIP("this file system keeps no extended attributes");
        QCOMPARE((QList<int>{isHidden(qstrFirst), isHidden(qstrSecond)}), (QList<int>{hidden, 0}));
    }

    void burnDir_data()
    {
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<QString>("hostile");  // the request whose job id climbs out
        QTest::addColumn<int>("ret");
        QTest::addColumn<QString>("msgId");
        const QStringList qlstSteps{"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};
        for (int iStep = 0; iStep < qlstSteps.size(); ++iStep)
            QTest::addRow("%s fails", qPrintable(qlstSteps.at(iStep)))
                << iStep << "" << -7 << (iStep < 4 ? "m-" + qlstSteps.at(iStep) : "m-BurnDir");
        QTest::newRow("all succeed") << 5 << "" << 0 << "m-BurnDir";
        QTest::newRow("hostile job id") << -1 << "BurnDir" << -8 << "m-BurnDir";
        QTest::newRow("hostile ApplyBurn job id") << -1 << "ApplyBurn" << -8 << "m-ApplyBurn";
    }
    // Exactly one "BurnDirReply": from the sub-request of the step that failed (its job id
    // and msgId), status 4; or from the BurnDir request, status 3 on success. No step
    // after a failed one reaches the backend; a hostile job id reaches none.
    void burnDir()
    {
        QFETCH(int, failingStep);
        QFETCH(QString, hostile);
        QFETCH(int, ret);
        QFETCH(QString, msgId);
        const QStringList qlstBackendOps{"InquestBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};
        CLS_TestBackend* pBackend = Backend(n_KindBurnDir);
        const QString qstrId = NewJobId();
        const QString qstrJobId = hostile == "BurnDir" ? "../" + qstrId : qstrId;
        const QString qstrApplyJobId = hostile.isEmpty() ? qstrId : "../" + qstrId;
        pBackend->SetResult(qlstBackendOps.value(failingStep, "none"), -7, "步骤失败", "E-7");
        const auto step = [&](const QString& _qstrCmd) {
            return JsonText({{"JobId", qstrJobId}, {"msgId", "m-" + _qstrCmd}});
        };
        const QJsonObject qjsonApply = ApplyRequest(qstrApplyJobId, n_KindBurnDir, {{"msgId", "m-ApplyBurn"}});
        Send("BurnDir", {{"JobId", qstrJobId},
                         {"msgId", "m-BurnDir"},
                         {"ApplyBurn", JsonText(qjsonApply)},
                         {"StartBurn", step("StartBurn")},
                         {"AddFile", step("AddFile")},
                         {"WriteLabel", step("WriteLabel")}});
        const BusReply stReply = WaitForReply(qstrApplyJobId);
        // The steps share one result record: the text of the device without robot status stays.
        const QString qstrErrCode = ret == -7 ? "E-7" : "";
        const QString qstrErrMsg = ret == -7 ? "步骤失败" : (ret == -8 ? "[任务ID非法]" + qstrApplyJobId : s_qstrUnsupported);
        QCOMPARE(stReply.qstrText, CommandReplyText("BurnDir", qstrApplyJobId, ret, qstrErrCode, qstrErrMsg));
        QCOMPARE(stReply.qstrMsgId, msgId);
        QCOMPARE(stReply.iStatus, ret == 0 ? 3 : 4);
        QCOMPARE(Replies(qstrApplyJobId).size(), 1);
        for (int iStep = 0; iStep < qlstBackendOps.size(); ++iStep)
            QCOMPARE(pBackend->CallCount(qlstBackendOps.at(iStep)), iStep <= failingStep ? 1 : 0);
    }

    void polling_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("statusMsg");  // empty: not reported
        QTest::newRow("3 finished") << 3 << "刻录完成";
        QTest::newRow("4 error") << 4 << "刻录出错";
        QTest::newRow("10 final without a name") << 10 << "刻录状态未知";
        QTest::newRow("12 cancelled") << 12 << "刻录取消";
        QTest::newRow("0 waiting") << 0 << "";
        QTest::newRow("5 paused") << 5 << "";
        QTest::newRow("14 waiting for discs") << 14 << "";
    }
    // A started job whose state turns final gets one "BurnStatusReply" with the DoBurn
    // msgId and is then cleared and released; any other change is only recorded.
    void polling()
    {
        QFETCH(int, state);
        QFETCH(QString, statusMsg);
        CLS_TestBackend* pBackend = Backend(n_KindPoll);
        const QString qstrJobId = NewJobId();
        QVERIFY(StartPolledJob(qstrJobId));
        pBackend->SetJobStatus(qstrJobId, state, "poll-logs", "poll-msg", "poll-code");
        BurnJobInfo stJob;
        if (statusMsg.isEmpty()) {
            QVERIFY(WaitForPolls(qstrJobId, 3) && Replies(qstrJobId).isEmpty());
            QVERIFY(m_pBus->FindJobInList(qstrJobId, stJob));
            QCOMPARE(stJob.iStatus, state);
            return;
        }
        const BusReply stReply = WaitForReply(qstrJobId);
        QTRY_VERIFY_WITH_TIMEOUT(!IsRegistered(qstrJobId), n_WaitMs);
        QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), 1);
        const QJsonObject qjsonParam{{"JobId", qstrJobId},    {"status", state},        {"statusMsg", statusMsg},
                                     {"SDiskPlace", "[]"},    {"errCode", "poll-code"}, {"errMsg", "poll-msg"},
                                     {"errLogs", "poll-logs"}};
        QCOMPARE(stReply.qstrText, ReplyText("BurnStatusReply", qjsonParam));
        QCOMPARE(stReply.iStatus, state);
        QCOMPARE(stReply.qstrMsgId, "m-" + qstrJobId);
        QCoreApplication::processEvents();
        QCOMPARE(Replies(qstrJobId).size(), 1);
    }

    // Disc error (11) is reported once for a run of them, whatever the job, without disc
    // place or logs; the job stays. A final state in between makes the next one reported.
    void polling_discErrorReportedOnce()
    {
        QStringList qlstJobIds;
        QList<int> qlstReplies;
        for (const int iState : {3, 11, 11, 12, 11}) {
            qlstJobIds << NewJobId();
            QVERIFY(StartPolledJob(qlstJobIds.last()));
            Backend(n_KindPoll)->SetJobStatus(qlstJobIds.last(), iState, "logs", "no disc", "E-11");
            if (qlstJobIds.size() == 3)
                QVERIFY(WaitForPolls(qlstJobIds.last(), 3));
            else
                QVERIFY(!WaitForReply(qlstJobIds.last()).qstrText.isEmpty());
            qlstReplies << Replies(qlstJobIds.last()).size();
        }
        QCOMPARE(qlstReplies, (QList<int>{1, 1, 0, 1, 1}));
        const QJsonObject qjsonParam{{"JobId", qlstJobIds.at(1)}, {"status", 11},      {"statusMsg", "光盘错误"},
                                     {"SDiskPlace", ""},          {"errCode", "E-11"}, {"errMsg", "no disc"}};
        const BusReply stReply = Replies(qlstJobIds.at(1)).first();
        QCOMPARE(stReply.qstrText, ReplyText("BurnStatusReply", qjsonParam));
        QCOMPARE(stReply.iStatus, 11);
        QCOMPARE(stReply.qstrMsgId, "m-" + qlstJobIds.at(1));
        QVERIFY(IsRegistered(qlstJobIds.at(1)) && IsRegistered(qlstJobIds.at(2)));
    }

    // The robot status of a registered device is published; a backend's own queue
    // messages are forwarded once each, however many jobs connected it.
    void queueMessages_forwarded()
    {
        CLS_TestBackend* pBackend = Backend(n_KindRobot);
        const QString qstrStatus = QStringLiteral("{\"robot\":\"%1\"}").arg(NewJobId());
        pBackend->SetRobotStatus(0, qstrStatus);
        const QJsonObject qjsonAddress{{"serverIP", QStringLiteral("10.8.0.%1").arg(m_iCounter)}};
        QVERIFY(RegisterJob(NewJobId(), n_KindRobot, qjsonAddress));
        QVERIFY(RegisterJob(NewJobId(), n_KindRobot, qjsonAddress));
        emit pBackend->signalSendMQToBurnBus("first");
        emit pBackend->signalSendMQToBurnBus("second");
        QTRY_VERIFY_WITH_TIMEOUT(m_qlstQueueMessages.contains(qstrStatus), n_WaitMs);
        QCOMPARE(m_qlstQueueMessages.count("first"), 1);
        QCOMPARE(m_qlstQueueMessages.count("second"), 1);
    }

    void devCtrl_data()
    {
        QTest::addColumn<QJsonObject>("request");
        QTest::addColumn<QString>("failingOp");
        QTest::addColumn<int>("ret");
        QTest::addColumn<QJsonArray>("replyList");
        const QJsonObject qjsonAdjust{{"burnDev", n_KindDevice}, {"subCmd", "adjustPrinter"}};
        const QJsonObject qjsonRobot{{"burnDev", n_KindDevice}, {"subCmd", "getRobotStatus"}};
        const QJsonObject qjsonReboot{{"burnDev", n_KindDevice}, {"subCmd", "reboot"}, {"devId", 7}};
        const QJsonObject qjsonKind6{{"burnDev", 6}, {"subCmd", "getRobotStatus"}};
        QJsonObject qjsonExtra = qjsonAdjust;
        qjsonExtra.insert("x", 1);
        const auto request = [](const QJsonValue& _qjsonEntries) {
            return QJsonObject{{"eventId", "ev"}, {"burnDevInfo", _qjsonEntries}};
        };
        QTest::newRow("no eventId") << QJsonObject{{"burnDevInfo", QJsonArray{qjsonAdjust}}} << "" << -8
                                    << QJsonArray();
        QTest::newRow("empty burnDevInfo") << request(QJsonArray()) << "" << -8 << QJsonArray();
        QTest::newRow("adjustPrinter, other keys not echoed")
            << request(QJsonArray{qjsonExtra}) << "" << 0 << QJsonArray{DevCtrlItem(qjsonAdjust, 0, "")};
        QTest::newRow("adjustPrinter fails")
            << request(QJsonArray{qjsonAdjust}) << "AdjustPrinter" << -1
            << QJsonArray{DevCtrlItem(qjsonAdjust, -3, "离线")};
        QTest::newRow("robot status fails")
            << request(QJsonArray{qjsonRobot}) << "GetRobotStatus" << -1
            << QJsonArray{DevCtrlItem(qjsonRobot, -3, "离线")};
        QTest::newRow("unknown subCmd")
            << request(QJsonArray{qjsonReboot}) << "" << -1 << QJsonArray{DevCtrlItem(qjsonReboot, -8, "参数错误:subCmd")};
        QTest::newRow("kind without backend")
            << request(QJsonArray{qjsonKind6}) << "" << -1 << QJsonArray{DevCtrlItem(qjsonKind6, -6, "")};
        QTest::newRow("entry without burnDev skipped")
            << request(QJsonArray{QJsonObject{{"subCmd", "adjustPrinter"}}, qjsonAdjust}) << "" << -1
            << QJsonArray{DevCtrlItem(qjsonAdjust, 0, "")};
    }
    // One "BurnDevCtrlReply" for the event with an item per entry that has a "burnDev";
    // any failed entry makes "ret" -1, a request without event or entries -8.
    // adjustPrinter hands the whole entry to the backend.
    void devCtrl()
    {
        QFETCH(QJsonObject, request);
        QFETCH(QString, failingOp);
        QFETCH(int, ret);
        QFETCH(QJsonArray, replyList);
        CLS_TestBackend* pBackend = Backend(n_KindDevice);
        pBackend->SetResult(failingOp, -3, "离线");
        Send("BurnDevCtrl", request);
        const QString qstrEventId = request.value("eventId").toString();
        QCOMPARE(WaitForDevCtrlReply(qstrEventId), DevCtrlReplyText(qstrEventId, ret, replyList));
        QStringList qlstAdjusted;
        for (const BackendCall& stCall : pBackend->Calls("AdjustPrinter"))
            qlstAdjusted << stCall.qlstArgs;
        const QJsonObject qjsonLast = request.value("burnDevInfo").toArray().last().toObject();
        const bool blAdjusts = ret != -8 && qjsonLast.value("subCmd") == "adjustPrinter";
        QCOMPARE(qlstAdjusted, blAdjusts ? QStringList{JsonText(qjsonLast)} : QStringList());
    }

    // 1,000 StartBurn/WriteLabel/DoBurn requests at once over 20 jobs (5 of which fail
    // StartBurn and get dropped meanwhile) and an unknown job: every request gets exactly
    // one reply of its command and job, and each failed StartBurn cleared its job.
    void load_thousandRequestsAnsweredOnce()
    {
        constexpr int n_Jobs = 20;
        constexpr int n_FailingJobs = 5;
        constexpr int n_Requests = 1000;
        CLS_TestBackend* pBackend = Backend(n_KindLoad);
        QStringList qlstJobIds;
        for (int iJob = 0; iJob <= n_Jobs; ++iJob) {
            qlstJobIds << NewJobId();
            QVERIFY(iJob == n_Jobs || RegisterJob(qlstJobIds.last(), n_KindLoad));
            pBackend->SetResult("StartBurn", iJob < n_FailingJobs ? -7 : 0, "拒绝", "E-7", qlstJobIds.last());
        }
        const QStringList qlstCmds{"StartBurn", "WriteLabel", "DoBurn"};
        const auto cmdOf = [&](int _iReq) { return qlstCmds.at(_iReq / qlstJobIds.size() % qlstCmds.size()); };
        for (int iReq = 0; iReq < n_Requests; ++iReq)
            Send(cmdOf(iReq), {{"JobId", qlstJobIds.at(iReq % qlstJobIds.size())}, {"msgId", QString::number(iReq)}});
        QTRY_COMPARE_WITH_TIMEOUT(m_qlstReplies.size(), n_Requests, 120000);

        QSet<QString> qsetAnswered;
        QMap<QString, int> qmapFailedStarts;
        for (const BusReply& stReply : m_qlstReplies) {
            qsetAnswered << stReply.qstrMsgId;
            const int iReq = stReply.qstrMsgId.toInt();
            const int iJob = iReq % qlstJobIds.size();
            const QJsonDocument qjsonReply = QJsonDocument::fromJson(stReply.qstrText.toUtf8());
            const int iRet = qjsonReply["param"]["ret"].toInt();
            QCOMPARE(qjsonReply["cmd"].toString(), cmdOf(iReq) + "Reply");
            QCOMPARE(stReply.qstrJobId, qlstJobIds.at(iJob));
            // A failing job answers 0 until its first StartBurn fails, -5 after.
            QVERIFY2(iJob < n_FailingJobs ? iRet == 0 || iRet == -5 || (iRet == -7 && cmdOf(iReq) == "StartBurn")
                                          : iRet == (iJob == n_Jobs ? -5 : 0),
                     qPrintable(stReply.qstrText));
            qmapFailedStarts[qlstJobIds.at(iJob)] += iRet == -7 ? 1 : 0;
        }
        QCOMPARE(qsetAnswered.size(), n_Requests);
        for (int iJob = 0; iJob < n_Jobs; ++iJob) {
            const QString& qstrJobId = qlstJobIds.at(iJob);
            QCOMPARE(pBackend->CallCount("ClearData", qstrJobId), qmapFailedStarts.value(qstrJobId));
            QCOMPARE(IsRegistered(qstrJobId), iJob >= n_FailingJobs);
        }
    }

    void processEnd_clean_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("application destroyed first") << QStringList{"--exit-child"};
        QTest::newRow("no application object") << QStringList{"--exit-child", "--no-app"};
    }
    // A process that returns from main while the bus works ends normally: no abort from a
    // running QThread, no bus thread left calling a backend at static destruction, no
    // sanitizer report.
    void processEnd_clean()
    {
        QFETCH(QStringList, arguments);
        QProcess qprocess;
        qprocess.start(QCoreApplication::applicationFilePath(), arguments);
        QVERIFY(qprocess.waitForFinished(120000));
        const QString qstrStdErr = QString::fromUtf8(qprocess.readAllStandardError()).right(3000);
        QVERIFY2(qprocess.exitStatus() == QProcess::NormalExit && qprocess.exitCode() == 0, qPrintable(qstrStdErr));
        QCOMPARE(qprocess.readAllStandardOutput(), QByteArray("work handed to the bus\n"));
        for (const char* szSign : {"QThread: Destroyed", "still running", "while the process ends", "Sanitizer"})
            QVERIFY2(!qstrStdErr.contains(QLatin1String(szSign)), qPrintable(qstrStdErr));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--exit-child") == 0)
        return RunExitChild(argc == 2, argc, argv);
    QCoreApplication app(argc, argv);
    tst_CLS_BurnBus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CLS_BurnBus.moc"
