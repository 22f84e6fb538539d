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
// Device kinds of the doubles (fresh ones in every test); the device-control test has a
// kind of its own, since a new device address drops every job of the kind.
constexpr int n_Kind = n_BurnDev_Epson;
constexpr int n_KindDevice = n_BurnDev_DMXTwelve;  // default port 1883
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

// The object with the members given replacing its own.
QJsonObject Merged(QJsonObject _qjsonObj, const QJsonObject& _qjsonGiven)
{
    for (auto it = _qjsonGiven.begin(); it != _qjsonGiven.end(); ++it)
        _qjsonObj.insert(it.key(), it.value());
    return _qjsonObj;
}

QJsonObject ApplyRequest(const QString& _qstrJobId, int _iKind)
{
    return {{"JobId", _qstrJobId}, {"BurnDev", _iKind}, {"BurnType", 1}, {"CopyCount", 3},
            {"msgId", "m-ApplyBurn"}};
}

// The child of processEnd_clean: hands a slow backend work, then returns from main. Its
// exit handler, registered before the bus's, runs after it and lingers, so that a bus
// thread still calling the backend at static destruction would be caught.
int RunExitChild(bool _blWithApp, int argc, char** argv)
{
    std::unique_ptr<QCoreApplication> pApp(_blWithApp ? new QCoreApplication(argc, argv) : nullptr);
    std::atexit([] {
        const int iCalls = s_pKeptBackends->first()->Calls().size();
        QThread::msleep(100);
        if (s_pKeptBackends->first()->Calls().size() != iCalls)
            std::fputs("backend called while the process ends\n", stderr);
    });
    auto* pBackend = new CLS_TestBackend(20);
    *s_pKeptBackends << pBackend;
    pBackend->SetRobotStatus(0, "{\"robot\":1}");
    pBackend->SetJobStatus("exit-1", n_BurnJobState_Paused);
    CLS_AutoBase::InstallInstance(n_Kind, pBackend);
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();
    BurnResultInfo stResult;
    const std::string strReq = JsonText(ApplyRequest("exit-1", n_Kind)).toStdString();
    if (pBus->InquestBurnEx(strReq, false, &stResult) != 0 || pBus->DoBurnEx(strReq, false, &stResult) != 0)
        return 2;
    for (int iReq = 0; iReq < 40; ++iReq) {
        pBus->StartBurn(strReq);
        pBus->AddFile(strReq);
        pBus->ApplyBurn(JsonText(ApplyRequest(QStringLiteral("exit-a%1").arg(iReq), n_Kind)).toStdString());
        const QJsonObject qjsonEntry{{"burnDev", n_Kind}, {"subCmd", "getRobotStatus"},
                                     {"devIP", "10.1.1.1"}, {"devPort", 7000 + iReq}};
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
    // What the bus emitted, taken in on this thread: replies by job id (event id for devices).
    QMultiMap<QString, BusReply> m_qmapReplies;
    QStringList m_qlstQueueMessages;
    int m_iCounter = 0;

    CLS_TestBackend* Backend(int _iKind) const { return m_qmapBackends.value(_iKind); }
    QString NewJobId() { return QStringLiteral("%1-%2").arg(QTest::currentTestFunction()).arg(++m_iCounter); }
    // Registers a job through the synchronous handler (no reply).
    bool RegisterJob(const QString& _qstrJobId, int _iKind)
    {
        BurnResultInfo stResult;
        const std::string strReq = JsonText(ApplyRequest(_qstrJobId, _iKind)).toStdString();
        return m_pBus->InquestBurnEx(strReq, false, &stResult) == 0;
    }
    // A job of the polled kind whose DoBurn (msgId "m-" + job id) succeeded: state 2, polled.
    bool StartPolledJob(const QString& _qstrJobId)
    {
        Backend(n_Kind)->SetJobStatus(_qstrJobId, n_BurnJobState_Burning);
        BurnResultInfo stResult;
        const std::string strReq = JsonText({{"JobId", _qstrJobId}, {"msgId", "m-" + _qstrJobId}}).toStdString();
        return RegisterJob(_qstrJobId, n_Kind) && m_pBus->DoBurnEx(strReq, false, &stResult) == 0;
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
    // The job's reply (the latest, should there be more); an empty one after the wait.
    BusReply WaitForReply(const QString& _qstrJobId) const
    {
        static_cast<void>(QTest::qWaitFor([&] { return m_qmapReplies.contains(_qstrJobId); }, n_WaitMs));
        return m_qmapReplies.value(_qstrJobId);
    }
    bool IsRegistered(const QString& _qstrJobId) const
    {
        BurnJobInfo stJob;
        return m_pBus->FindJobInList(_qstrJobId, stJob);
    }
    // Waits for that many more polls of the job, then takes in what the bus emitted.
    bool WaitForPolls(const QString& _qstrJobId, int _iMorePolls)
    {
        const auto polls = [&] { return Backend(n_Kind)->Calls("GetJobStatus", _qstrJobId).size(); };
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
        connect(m_pBus, &CLS_BurnBus::signalSendMsgToPresenter, this,
                [this](QString _qstrJobId, QString _qstrText, int _iStatus, QString _qstrMsgId) {
                    m_qmapReplies.insert(_qstrJobId, BusReply{_qstrJobId, _qstrText, _iStatus, _qstrMsgId});
                }, Qt::QueuedConnection);
        connect(m_pBus, &CLS_BurnBus::signalSendBurnDevCtrlToPresenter, this,
                [this](QString _qstrEventId, QString _qstrText) {
                    m_qmapReplies.insert(_qstrEventId, BusReply{_qstrEventId, _qstrText, 0, QString()});
                }, Qt::QueuedConnection);
        connect(m_pBus, &CLS_BurnBus::signalSendMQToPresenter, this,
                [this](QString _qstrMsg) { m_qlstQueueMessages << _qstrMsg; }, Qt::QueuedConnection);
    }
    // A fresh double behind every kind, nothing received, a clean log; jobs and addresses stay.
    void init()
    {
        for (const int iKind : {0, 2, 3, 4, 5, 7, 8, 9, 10, 11}) {
            *s_pKeptBackends << new CLS_TestBackend;
            m_qmapBackends.insert(iKind, s_pKeptBackends->last());
            CLS_AutoBase::InstallInstance(iKind, s_pKeptBackends->last());
        }
        QCoreApplication::processEvents();
        m_qmapReplies.clear();
        m_qlstQueueMessages.clear();
        LogRecorder::clear();
    }

    // A device's address (the port completed from the kind's default) comes with ApplyBurn
    // or getRobotStatus and is recorded once the backend accepts it; a new one drops and
    // clears every job of the device, in registry order; the same one again is -4. Device
    // control answers an item per entry with a "burnDev" (its own keys and result); a failed
    // entry makes "ret" -1, no event or entries -8; adjustPrinter hands on the whole entry.
    // The backend's queue messages are forwarded once each, however many jobs connected it.
    void deviceControl()
    {
        CLS_TestBackend* pBackend = Backend(n_KindDevice);
        pBackend->SetRobotStatus(0, QString());
        const QString qstrIp = QStringLiteral("10.9.0.%1").arg(++m_iCounter);
        const QJsonObject qjsonEntry{{"burnDev", n_KindDevice}, {"subCmd", "getRobotStatus"}, {"devIP", qstrIp},
                                     {"devPort", 1883}, {"devId", "robot-1"}};
        QJsonObject qjsonSame = qjsonEntry;
        qjsonSame.remove("devPort");
        const QStringList qlstJobIds{NewJobId(), NewJobId(), NewJobId(), NewJobId()};
        const auto announce = [&](const QString& _qstrEventId, const QJsonArray& _qjsonEntries) {
            Send("BurnDevCtrl", {{"eventId", _qstrEventId}, {"burnDevInfo", _qjsonEntries}});
            return WaitForReply(_qstrEventId).qstrText;
        };
        const auto apply = [&](int _iJob, const QJsonValue& _qjsonPort) {
            const QJsonObject qjsonAddress{{"serverIP", qstrIp}, {"DevPort", _qjsonPort}};
            Send("ApplyBurn", Merged(ApplyRequest(qlstJobIds.at(_iJob), n_KindDevice), qjsonAddress));
            return WaitForReply(qlstJobIds.at(_iJob)).qstrText;
        };
        const auto applyReply = [&](int _iJob, int _iRet, const QString& _qstrErrMsg, const QStringList& _qlstDropped) {
            return CommandReplyText("ApplyBurn", qlstJobIds.at(_iJob), _iRet, "", _qstrErrMsg, &_qlstDropped);
        };
        pBackend->SetResult("InquestBurn", -3, "忙");
        QCOMPARE(announce("ev-refused", {qjsonEntry}),
                 DevCtrlReplyText("ev-refused", -1, {DevCtrlItem(qjsonEntry, -3, "忙")}));
        QCOMPARE(apply(0, 1883), applyReply(0, -3, "忙", {}));
        pBackend->SetResult("InquestBurn", 0);
        QCOMPARE(announce("ev-new", {qjsonEntry}),
                 DevCtrlReplyText("ev-new", 0, {DevCtrlItem(qjsonEntry, 0, "")}));
        const QJsonObject qjsonInquest{{"BurnDev", n_KindDevice}, {"DevPort", 1883}, {"serverIP", qstrIp}};
        QCOMPARE(pBackend->Calls("InquestBurn", "").last().qlstArgs, (QStringList{"0", "0", JsonText(qjsonInquest)}));

        QCOMPARE(apply(1, QJsonValue::Undefined), applyReply(1, 0, "", {}));
        QCOMPARE(apply(2, 1883), applyReply(2, 0, "", {}));
        QCOMPARE(announce("ev-same", {qjsonSame}),
                 DevCtrlReplyText("ev-same", -1, {DevCtrlItem(qjsonSame, -4, "任务已存在")}));
        QCOMPARE(pBackend->Calls("InquestBurn", "").size(), 2);
        QCOMPARE(apply(3, 1999), applyReply(3, 0, "", qlstJobIds.mid(1, 2)));
        QCOMPARE(announce("ev-back", {qjsonEntry}),
                 DevCtrlReplyText("ev-back", 0, {DevCtrlItem(qjsonEntry, 0, "", qlstJobIds.mid(3))}));
        for (const QString& qstrId : qlstJobIds) {  // dropped and cleared once, but for the refused one
            QVERIFY(!IsRegistered(qstrId));
            QCOMPARE(pBackend->Calls("ClearData", qstrId).size(), qstrId == qlstJobIds.first() ? 0 : 1);
        }
        emit pBackend->signalSendMQToBurnBus("first");
        emit pBackend->signalSendMQToBurnBus("second");
        QTRY_COMPARE_WITH_TIMEOUT(m_qlstQueueMessages.count("second"), 1, n_WaitMs);
        QCOMPARE(m_qlstQueueMessages.count("first"), 1);

        const QJsonObject qjsonAdjust{{"burnDev", n_KindDevice}, {"subCmd", "adjustPrinter"}};
        const QJsonObject qjsonExtra = Merged(qjsonAdjust, {{"x", 1}});
        Send("BurnDevCtrl", {{"burnDevInfo", QJsonArray{qjsonAdjust}}});
        QCOMPARE(WaitForReply("").qstrText, DevCtrlReplyText("", -8, {}));
        QCOMPARE(announce("ev-none", {}), DevCtrlReplyText("ev-none", -8, {}));
        QCOMPARE(announce("ev-adjust", {qjsonExtra}),
                 DevCtrlReplyText("ev-adjust", 0, {DevCtrlItem(qjsonAdjust, 0, "")}));
        QCOMPARE(announce("ev-skip", {QJsonObject{{"subCmd", "adjustPrinter"}}, qjsonAdjust}),
                 DevCtrlReplyText("ev-skip", -1, {DevCtrlItem(qjsonAdjust, 0, "")}));
        QStringList qlstAdjusted;
        for (const BackendCall& stCall : pBackend->Calls("AdjustPrinter"))
            qlstAdjusted << stCall.qlstArgs;
        QCOMPARE(qlstAdjusted, (QStringList{JsonText(qjsonExtra), JsonText(qjsonAdjust)}));
        pBackend->SetResult("AdjustPrinter", -3, "离线");
        pBackend->SetResult("GetRobotStatus", -3, "离线");
        const QJsonObject qjsonReboot{{"burnDev", n_KindDevice}, {"subCmd", "reboot"}, {"devId", 7}};
        const QJsonObject qjsonKind6{{"burnDev", 6}, {"subCmd", "getRobotStatus"}};
        const QJsonObject qjsonTextPort = Merged(qjsonEntry, {{"devPort", "1883"}});
        QCOMPARE(announce("ev-fail", {qjsonEntry, qjsonReboot, qjsonTextPort, qjsonKind6, qjsonAdjust}),
                 DevCtrlReplyText("ev-fail", -1, {DevCtrlItem(qjsonEntry, -3, "离线"),
                                                  DevCtrlItem(qjsonReboot, -8, "参数错误:subCmd"),
                                                  DevCtrlItem(qjsonTextPort, -8, "参数错误:devPort"),
                                                  DevCtrlItem(qjsonKind6, -6, ""),
                                                  DevCtrlItem(qjsonAdjust, -3, "离线")}));
    }

    void command_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<QJsonObject>("given");        // members that replace the request's
        QTest::addColumn<int>("ret");                  // -9: the backend fails; -4 and -5: see below
        QTest::addColumn<QString>("errMsg");           // "%2": the job id
        QTest::addColumn<QStringList>("backendArgs");  // "%1": the request's text
        QTest::addColumn<bool>("registered");          // afterwards
        const QJsonObject qjsonNone;
        const QStringList qlstNone;
        const QStringList qlstInquest{"3", "1", "%1"};
        const QStringList qlstStart{"BD 25GB", "案件光盘", "/c.png", "3", "1", "YES", "%1"};
        const QStringList qlstStartNo{"BD 25GB", "案件光盘", "/c.png", "3", "1", "NO", "%1"};
        QTest::newRow("ApplyBurn") << "ApplyBurn" << qjsonNone << 0 << s_qstrUnsupported << qlstInquest
                                   << true;
        QTest::newRow("ApplyBurn, registered before")
            << "ApplyBurn" << qjsonNone << -4 << "" << qlstNone << true;
        QTest::newRow("ApplyBurn fails") << "ApplyBurn" << qjsonNone << -9 << "原因" << qlstInquest << false;
        for (const int iKind : {6, 1, -3})
            QTest::addRow("ApplyBurn, kind %d without backend", iKind)
                << "ApplyBurn" << QJsonObject{{"BurnDev", iKind}} << -6 << "" << qlstNone << false;
        for (const char* szJobId : {"..", ".", "../../etc", "a/b", "a\\b", "a\tb", ""})
            QTest::addRow("ApplyBurn, hostile job id %s", szJobId)
                << "ApplyBurn" << QJsonObject{{"JobId", szJobId}} << -8
                << QStringLiteral("[任务ID非法]") + szJobId << qlstNone << false;
        QTest::newRow("StartBurn") << "StartBurn" << qjsonNone << 0 << "" << qlstStart << true;
        QTest::newRow("StartBurn, CloseDisc NO")
            << "StartBurn" << QJsonObject{{"CloseDisc", "NO"}} << 0 << "" << qlstStartNo << true;
        for (const char* szCmd : {"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"})
            QTest::addRow("%s, a field of a wrong type", szCmd)
                << szCmd << QJsonObject{{"CloseDisc", 0}} << -8 << "[参数类型错误]CloseDisc" << qlstNone
                << (qstrcmp(szCmd, "ApplyBurn") != 0);
        QTest::newRow("StartBurn fails: job dropped")
            << "StartBurn" << qjsonNone << -9 << "原因" << qlstStart << false;
        QTest::newRow("AddFile fails") << "AddFile" << qjsonNone << -9 << "原因" << QStringList{"%2"} << true;
        QTest::newRow("WriteLabel") << "WriteLabel" << qjsonNone << 0 << "" << QStringList{"%1"} << true;
        QTest::newRow("WriteLabel fails")
            << "WriteLabel" << qjsonNone << -9 << "原因" << QStringList{"%1"} << true;
        QTest::newRow("DoBurn") << "DoBurn" << qjsonNone << 0 << "" << qlstNone << true;
        QTest::newRow("DoBurn fails") << "DoBurn" << qjsonNone << -9 << "原因" << qlstNone << true;
        for (const char* szCmd : {"StartBurn", "AddFile", "WriteLabel", "DoBurn"}) {
            const QString qstrErrMsg = qstrcmp(szCmd, "DoBurn") == 0 ? "[任务不存在]%2" : "";
            QTest::addRow("%s of an unknown job", szCmd)
                << szCmd << qjsonNone << -5 << qstrErrMsg << qlstNone << false;
        }
    }
    // One reply of the command with the backend's result and texts (status -1 on success,
    // 4 on failure, the request's msgId). ApplyBurn registers the job once the backend
    // accepts it (-4: registered before); a hostile job id or a kind without backend
    // reaches no backend. The other commands need a registered job (-5: none); a failed
    // StartBurn drops and clears it, a DoBurn starts it. Copies and burn type come from
    // ApplyBurn and go to the backend with the job's other steps.
    void command()
    {
        QFETCH(QString, cmd);
        QFETCH(QJsonObject, given);
        QFETCH(int, ret);
        QFETCH(QString, errMsg);
        QFETCH(QStringList, backendArgs);
        QFETCH(bool, registered);
        CLS_TestBackend* pBackend = Backend(n_Kind);
        const bool blApply = cmd == "ApplyBurn";
        const QString qstrOp = blApply ? "InquestBurn" : cmd;
        const QJsonObject qjsonStep{{"JobId", NewJobId()}, {"msgId", "m-" + cmd}, {"CDType", "BD 25GB"},
                                    {"CDTitle", "案件光盘"}, {"CDCover", "/c.png"}};
        const QString qstrNew = qjsonStep.value("JobId").toString();
        const QJsonObject qjsonReq = Merged(blApply ? ApplyRequest(qstrNew, n_Kind) : qjsonStep, given);
        const QString qstrJobId = qjsonReq.value("JobId").toString();
        const bool blRegisteredBefore = blApply ? ret == -4 : ret != -5;
        if (blRegisteredBefore)
            QVERIFY(RegisterJob(qstrJobId, n_Kind));
        if (ret == -9)
            pBackend->SetResult(qstrOp, ret, "原因", "E-9", qstrJobId);
        const int iCallsBefore = pBackend->Calls(qstrOp).size();
        Send(cmd, qjsonReq);
        const BusReply stReply = WaitForReply(qstrJobId);
        const QStringList qlstNoneDropped;
        QCOMPARE(stReply.qstrText, CommandReplyText(cmd, qstrJobId, ret, ret == -9 ? "E-9" : "",
                                                    errMsg.replace("%2", qstrJobId),
                                                    blApply ? &qlstNoneDropped : nullptr));
        QCOMPARE(stReply.iStatus, ret == 0 ? -1 : 4);
        QCOMPARE(stReply.qstrMsgId, "m-" + cmd);
        for (QString& qstrArg : backendArgs)
            qstrArg.replace("%1", JsonText(qjsonReq)).replace("%2", qstrJobId);
        QCOMPARE(pBackend->Calls(qstrOp).size() - iCallsBefore, ret == 0 || ret == -9 ? 1 : 0);
        QCOMPARE(pBackend->Calls(qstrOp).value(iCallsBefore).qlstArgs, backendArgs);
        QCOMPARE(pBackend->Calls("ClearData").size(), blRegisteredBefore && !registered ? 1 : 0);
        BurnJobInfo stJob;
        QCOMPARE(m_pBus->FindJobInList(qstrJobId, stJob), registered);
        QCOMPARE(stJob.iStatus, ret == 0 && cmd == "DoBurn" ? 2 : -1);  // 2: burning
    }

    // The file list goes to the backend in order; only a "HideFile" of number 1 hides its
    // source as Samba and Wine record it (DOS attribute text in "user.DOSATTRIB"); a
    // missing source is only logged.
    void addFile()
    {
        QTemporaryDir qtempDir;
        const QList<QJsonValue> qlstHideFile{1, "1", QJsonValue::Undefined, 1.5, true};
        const QString qstrJobId = NewJobId();
        QJsonArray qjsonFiles;
        QStringList qlstArgs{qstrJobId};
        for (int iFile = 0; iFile <= qlstHideFile.size(); ++iFile) {
            const bool blMissing = iFile == qlstHideFile.size();
            const QString qstrSrc = blMissing ? "/nonexistent/3" : qtempDir.filePath(QString::number(iFile));
            QVERIFY(blMissing || QFile(qstrSrc).open(QIODevice::WriteOnly));
            const QString qstrDes = QStringLiteral("/v/%1").arg(iFile);
            qjsonFiles << QJsonObject{
                {"srcFile", qstrSrc}, {"DesFile", qstrDes}, {"HideFile", qlstHideFile.value(iFile, 1)}};
            qlstArgs << qstrSrc + ">" + qstrDes;
        }
        QVERIFY(RegisterJob(qstrJobId, n_Kind));
        Send("AddFile", {{"JobId", qstrJobId}, {"FileList", qjsonFiles}});
        QCOMPARE(WaitForReply(qstrJobId).qstrText, CommandReplyText("AddFile", qstrJobId, 0, "", ""));
        QCOMPARE(Backend(n_Kind)->Calls("AddFile").first().qlstArgs, qlstArgs);
        QVERIFY(LogRecorder::contains("|source\\Common\\FileOpt\\CLS_OperateFile|获取文件属性失败:/nonexistent/3"));
        QList<int> qlstHidden;
        for (int iFile = 0; iFile < qlstHideFile.size(); ++iFile) {
            char szValue[64] = {};
            const QByteArray qbaPath = QFile::encodeName(qtempDir.filePath(QString::number(iFile)));
            if (getxattr(qbaPath.constData(), "user.DOSATTRIB", szValue, sizeof(szValue) - 1) < 0
                && errno == ENOTSUP)
                QSKIP("this file system keeps no extended attributes");
            qlstHidden << ((std::strtoul(szValue, nullptr, 0) & 0x2) ? 1 : 0);
        }
        QCOMPARE(qlstHidden, (QList<int>{1, 0, 0, 0, 0}));
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
        CLS_TestBackend* pBackend = Backend(n_Kind);
        const QString qstrId = NewJobId();
        const QString qstrJobId = hostile == "BurnDir" ? "../" + qstrId : qstrId;
        const QString qstrApplyJobId = hostile.isEmpty() ? qstrId : "../" + qstrId;
        pBackend->SetResult(qlstBackendOps.value(failingStep, "none"), -7, "步骤失败", "E-7");
        const auto step = [&](const QString& _qstrCmd) {
            return JsonText({{"JobId", qstrJobId}, {"msgId", "m-" + _qstrCmd}});
        };
        Send("BurnDir", {{"JobId", qstrJobId}, {"msgId", "m-BurnDir"},
                         {"ApplyBurn", JsonText(ApplyRequest(qstrApplyJobId, n_Kind))},
                         {"StartBurn", step("StartBurn")}, {"AddFile", step("AddFile")},
                         {"WriteLabel", step("WriteLabel")}});
        const BusReply stReply = WaitForReply(qstrApplyJobId);
        // The steps share one result record: the text of the device without robot status stays.
        const QString qstrErrCode = ret == -7 ? "E-7" : "";
        const QString qstrErrMsg = ret == -7 ? "步骤失败" : (ret == -8 ? "[任务ID非法]" + qstrApplyJobId : s_qstrUnsupported);
        QCOMPARE(stReply.qstrText, CommandReplyText("BurnDir", qstrApplyJobId, ret, qstrErrCode, qstrErrMsg));
        QCOMPARE(stReply.qstrMsgId, msgId);
        QCOMPARE(stReply.iStatus, ret == 0 ? 3 : 4);
        QCOMPARE(m_qmapReplies.count(qstrApplyJobId), 1);
        for (int iStep = 0; iStep < qlstBackendOps.size(); ++iStep)
            QCOMPARE(pBackend->Calls(qlstBackendOps.at(iStep)).size(), iStep <= failingStep ? 1 : 0);
    }

    void polling_data()
    {
        QTest::addColumn<QList<int>>("states");   // of jobs started one after the other
        QTest::addColumn<QList<int>>("replies");  // the status replies each of them gets
        for (const int iState : {3, 4, 10, 12})
            QTest::addRow("final state %d", iState) << QList<int>{iState} << QList<int>{1};
        for (const int iState : {0, 5, 14})
            QTest::addRow("state %d", iState) << QList<int>{iState} << QList<int>{0};
        QTest::newRow("disc errors in a run") << QList<int>{3, 11, 11, 12, 11} << QList<int>{1, 1, 0, 1, 1};
    }
    // A started job whose state turns final gets one "BurnStatusReply" with the DoBurn
    // msgId and is then cleared and released. Disc error (11) is reported once for a run
    // of them, whatever the job, without disc place or logs, and the job stays; a final
    // state in between makes the next one reported. Any other change is only recorded.
    void polling()
    {
        QFETCH(QList<int>, states);
        QFETCH(QList<int>, replies);
        const QMap<int, QString> qmapStatusMsgs{
            {3, "刻录完成"}, {4, "刻录出错"}, {10, "刻录状态未知"}, {11, "光盘错误"}, {12, "刻录取消"}};
        CLS_TestBackend* pBackend = Backend(n_Kind);
        for (int iJob = 0; iJob < states.size(); ++iJob) {
            const int iState = states.at(iJob);
            const bool blFinal = iState != 11 && qmapStatusMsgs.contains(iState);
            const QString qstrJobId = NewJobId();
            QVERIFY(StartPolledJob(qstrJobId));
            pBackend->SetJobStatus(qstrJobId, iState, "poll-logs", "poll-msg", "poll-code");
            if (replies.at(iJob) == 0) {
                QVERIFY(WaitForPolls(qstrJobId, 3) && !m_qmapReplies.contains(qstrJobId));
                BurnJobInfo stJob;
                QVERIFY(m_pBus->FindJobInList(qstrJobId, stJob));
                QCOMPARE(stJob.iStatus, iState);
                continue;
            }
            const BusReply stReply = WaitForReply(qstrJobId);
            QTRY_COMPARE_WITH_TIMEOUT(IsRegistered(qstrJobId), !blFinal, n_WaitMs);
            QCOMPARE(pBackend->Calls("ClearData", qstrJobId).size(), blFinal ? 1 : 0);
            QJsonObject qjsonParam{{"JobId", qstrJobId}, {"status", iState},
                                   {"statusMsg", qmapStatusMsgs.value(iState)},
                                   {"SDiskPlace", blFinal ? "[]" : ""},
                                   {"errCode", "poll-code"}, {"errMsg", "poll-msg"}};
            if (blFinal)
                qjsonParam.insert("errLogs", "poll-logs");
            QCOMPARE(stReply.qstrText, ReplyText("BurnStatusReply", qjsonParam));
            QCOMPARE(stReply.iStatus, iState);
            QCOMPARE(stReply.qstrMsgId, "m-" + qstrJobId);
            QCoreApplication::processEvents();
            QCOMPARE(m_qmapReplies.count(qstrJobId), 1);
        }
    }

    // 1,000 StartBurn/WriteLabel/DoBurn requests at once over 20 jobs (5 of which fail
    // StartBurn and get dropped meanwhile) and an unknown job: every request gets exactly
    // one reply of its command and job, and each failed StartBurn cleared its job.
    void load_thousandRequestsAnsweredOnce()
    {
        constexpr int n_Jobs = 20;
        constexpr int n_FailingJobs = 5;
        constexpr int n_Requests = 1000;
        CLS_TestBackend* pBackend = Backend(n_Kind);
        QStringList qlstJobIds;
        for (int iJob = 0; iJob <= n_Jobs; ++iJob) {
            qlstJobIds << NewJobId();
            QVERIFY(iJob == n_Jobs || RegisterJob(qlstJobIds.last(), n_Kind));
            pBackend->SetResult("StartBurn", iJob < n_FailingJobs ? -7 : 0, "拒绝", "E-7", qlstJobIds.last());
        }
        const QStringList qlstCmds{"StartBurn", "WriteLabel", "DoBurn"};
        const auto cmdOf = [&](int _iReq) { return qlstCmds.at(_iReq / qlstJobIds.size() % qlstCmds.size()); };
        for (int iReq = 0; iReq < n_Requests; ++iReq)
            Send(cmdOf(iReq), {{"JobId", qlstJobIds.at(iReq % qlstJobIds.size())}, {"msgId", QString::number(iReq)}});
        QTRY_COMPARE_WITH_TIMEOUT(m_qmapReplies.size(), n_Requests, 120000);

        QSet<QString> qsetAnswered;
        QMap<QString, int> qmapFailedStarts;
        for (const BusReply& stReply : m_qmapReplies) {
            qsetAnswered << stReply.qstrMsgId;
            const int iReq = stReply.qstrMsgId.toInt();
            const int iJob = iReq % qlstJobIds.size();
            const QJsonDocument qjsonReply = QJsonDocument::fromJson(stReply.qstrText.toUtf8());
            const int iRet = qjsonReply["param"]["ret"].toInt();
            QCOMPARE(qjsonReply["cmd"].toString(), cmdOf(iReq) + "Reply");
            QCOMPARE(stReply.qstrJobId, qlstJobIds.at(iJob));
            // A failing job answers 0 until its first StartBurn fails, -5 after.
            QVERIFY2(iJob < n_FailingJobs ? iRet == 0 || iRet == -5 || (iRet == -7 && cmdOf(iReq) == "StartBurn")
                                          : iRet == (iJob == n_Jobs ? -5 : 0), qPrintable(stReply.qstrText));
            qmapFailedStarts[stReply.qstrJobId] += iRet == -7 ? 1 : 0;
        }
        QCOMPARE(qsetAnswered.size(), n_Requests);
        for (int iJob = 0; iJob < n_Jobs; ++iJob) {
            const QString& qstrJobId = qlstJobIds.at(iJob);
            QCOMPARE(pBackend->Calls("ClearData", qstrJobId).size(), qmapFailedStarts.value(qstrJobId));
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
    // running QThread, no bus thread calling a backend at static destruction, no sanitizer report.
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
