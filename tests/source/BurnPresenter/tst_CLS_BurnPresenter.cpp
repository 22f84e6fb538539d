// The gateway driven the way the plug-in drives it, with a test-double backend behind a
// device kind and a real job store in a temporary folder: the texts of acknowledgements,
// replies, receipts and device events, reply routes, job files, the acknowledged protocol
// and hostile input; the texts of the one-instance shell. Delivery reports: tests/host.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "BurnDefine.h"
#include "BurnMessageFormat.h"
#include "CLS_BurnBus.h"
#include "CLS_BurnPresenter.h"
#include "CLS_DBOperation.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"

namespace
{
constexpr int n_Kind = n_BurnDev_DMXTwo;
constexpr int n_WaitMs = 20000;

QJsonObject Obj(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QJsonObject With(QJsonObject _qjsonObj, const QString& _qstrKey, const QJsonValue& _qjsonValue)
{
    _qjsonObj.insert(_qstrKey, _qjsonValue);
    return _qjsonObj;
}

// The reply of the bus as the gateway passes it on.
QJsonObject BusReply(const QString& _qstrCmd, const QJsonObject& _qjsonParam)
{
    return QJsonObject{{"ModuleName", "BurnModule"}, {"cmd", _qstrCmd}, {"param", _qjsonParam}};
}

// One inbound message of a client.
QJsonObject Request(const QString& _qstrCmd, const QString& _qstrJobId, const QString& _qstrMsgId,
                    const QString& _qstrSender = QStringLiteral("client-1"))
{
    const QJsonObject qjsonParam{{"JobId", _qstrJobId}, {"BurnDev", n_Kind}, {"CopyCount", 1}};
    const QJsonObject qjsonModule{{"cmd", _qstrCmd}, {"ret", 0}, {"param", qjsonParam}};
    return QJsonObject{{"token", "tok"},      {"platform", "web"}, {"sender", _qstrSender},
                       {"msgId", _qstrMsgId}, {"cmdtype", "req"},  {"sendSocketID", "S-client"},
                       {"recvSocketID", "S-module"}, {"param", qjsonModule}};
}

// Records a command of the acknowledged protocol as an earlier run of the gateway did.
void StoreCommand(CLS_DBOperation& _dbOperation, const QString& _qstrJobId, const QString& _qstrCmd,
                  QJsonObject _qjsonParam, const QString& _qstrWorkParam = QString())
{
    BurnMsgInfo stInfo;
    stInfo.qstrJobId = _qstrJobId;
    stInfo.qstrCmd = _qstrCmd;
    stInfo.qstrMsgId = _qstrCmd + "-" + _qstrJobId;
    stInfo.qstrHead = Text({{"sender", "client-1"}, {"msgId", stInfo.qstrMsgId}, {"timestamp", "1700000000000"}});
    _qjsonParam.insert("JobId", _qstrJobId);
    _qjsonParam.insert("msgId", stInfo.qstrMsgId);
    stInfo.qstrCmdParam = Text(_qjsonParam);
    _dbOperation.InsertMsgInfo(stInfo, false);
    stInfo.qstrBurnTempParam = _qstrWorkParam;
    if (!_qstrWorkParam.isEmpty())
        _dbOperation.UpdateBurnTempParam(stInfo);
}

// A file of a job folder ("<job id>/<name>").
QByteArray JobFile(const QString& _qstrJobId, const QString& _qstrName)
{
    QFile qfile(QStringLiteral("BurnJob/") + _qstrJobId + (_qstrName.isEmpty() ? "" : "/" + _qstrName));
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}
}  // namespace

// The child of exitWithWorkInFlight: a host that calls exit() with its application and the
// gateway alive while bus threads answer jobs and the gateway stores their replies.
int RunExitChild(int argc, char** argv)
{
    new QCoreApplication(argc, argv);
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[2])))
        return 2;
    auto* pBackend = new CLS_TestBackend(1);
    CLS_AutoBase::InstallInstance(n_Kind, pBackend);
    auto* pPresenter = new CLS_BurnPresenter(QString());
    for (int iJob = 0; iJob < 200; ++iJob) {
        const QString qstrJobId = QStringLiteral("X%1").arg(iJob);
        const QJsonObject qjsonReq = Request(iJob % 2 ? "ApplyBurn" : "StartBurn", qstrJobId, qstrJobId);
        pPresenter->DealWebSoketMsg(Text(With(qjsonReq, "timestamp", QString::number(1700000000000 + iJob))));
    }
    if (!QTest::qWaitFor([&] { return pBackend->Calls().size() >= 20; }, n_WaitMs))
        return 3;
    std::exit(0);
}

class tst_CLS_BurnPresenter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    CLS_TestBackend* m_pBackend = nullptr;
    std::unique_ptr<CLS_BurnPresenter> m_pPresenter;
    QList<QPair<int, QString>> m_qlstSent;     // signalSendMsg: direct messages, receipts
    QList<QPair<int, QString>> m_qlstModSent;  // signalModSendMsg: messages of the acknowledged protocol

    void Deal(const QJsonObject& _qjsonMsg) { m_pPresenter->DealWebSoketMsg(Text(_qjsonMsg)); }
    // The first message sent whose reply is the command's for the job.
    QJsonObject WaitForReply(const QString& _qstrReplyCmd, const QString& _qstrJobId)
    {
        QJsonObject qjsonFound;
        static_cast<void>(QTest::qWaitFor([&] {
            for (const QPair<int, QString>& prSent : m_qlstSent) {
                const QJsonObject qjsonReply = Obj(prSent.second).value("param").toObject();
                if (qjsonFound.isEmpty() && qjsonReply.value("cmd") == _qstrReplyCmd
                    && qjsonReply.value("param").toObject().value("JobId") == _qstrJobId)
                    qjsonFound = Obj(prSent.second);
            }
            return !qjsonFound.isEmpty();
        }, n_WaitMs));
        return qjsonFound;
    }
    void RunUntilBurning(const QString& _qstrJobId)
    {
        m_pBackend->SetJobStatus(_qstrJobId, n_BurnJobState_Burning);
        Deal(Request("ApplyBurn", _qstrJobId, "ap-1"));
        QVERIFY(!WaitForReply("ApplyBurnReply", _qstrJobId).isEmpty());
        Deal(Request("DoBurn", _qstrJobId, "do-1", "doburn-client"));
        QVERIFY(!WaitForReply("DoBurnReply", _qstrJobId).isEmpty());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_qtmpDir.path()));
        LogRecorder::install();
        m_pBackend = new CLS_TestBackend;  // kept to the end: bus threads may still call it
        CLS_AutoBase::InstallInstance(n_Kind, m_pBackend);
    }
    // The gateway's signals come from bus threads too: they are collected on this thread.
    void init()
    {
        m_pPresenter = std::make_unique<CLS_BurnPresenter>(QString());
        QCoreApplication::processEvents();  // what the previous gateway sent is no concern here
        m_qlstSent.clear();
        m_qlstModSent.clear();
        connect(m_pPresenter.get(), &CLS_BurnPresenter::signalSendMsg, this,
                [this](int _iCmd, const QString& _qstrMsg) { m_qlstSent << qMakePair(_iCmd, _qstrMsg); },
                Qt::QueuedConnection);
        connect(m_pPresenter.get(), &CLS_BurnPresenter::signalModSendMsg, this,
                [this](int _iCmd, const QString& _qstrMsg) { m_qlstModSent << qMakePair(_iCmd, _qstrMsg); },
                Qt::QueuedConnection);
    }
    void cleanup() { m_pPresenter.reset(); }

    // Direct protocol: the bus gets the request's parameters with its msgId; a reply goes
    // back (10110) in its request's envelope and is kept in the job folder. A status reply
    // goes to the client of the job's DoBurn and removes the job's folder, also after a
    // failed command of the job and after the end of a job whose id begins it. Device-control
    // replies go back to the client of the request with that event id.
    void directProtocol()
    {
        RunUntilBurning("S30");
        const QJsonObject qjsonReplyParam{{"JobId", "S30"}, {"ret", 0}, {"errCode", ""},
                                          {"delJobId", QJsonArray()}, {"errMsg", "设备类型错误，没有满足需求的刻录机"}};
        const QJsonObject qjsonExpected =
            With(Request("ApplyBurn", "S30", "ap-1"), "param", BusReply("ApplyBurnReply", qjsonReplyParam));
        QCOMPARE(WaitForReply("ApplyBurnReply", "S30"), qjsonExpected);
        QTRY_COMPARE(JobFile("S30", "ApplyBurnReply"), Text(qjsonExpected).toUtf8());
        m_pBackend->SetResult("WriteLabel", -1, "no ink", QString(), "S30");
        Deal(Request("WriteLabel", "S30", "wl-1"));
        QVERIFY(!WaitForReply("WriteLabelReply", "S30").isEmpty());
        RunUntilBurning("S3");
        for (const QString& qstrJobId : QStringList{"S3", "S30"}) {
            m_pBackend->SetJobStatus(qstrJobId, n_BurnJobState_Finished);
            const QJsonObject qjsonStatus = WaitForReply("BurnStatusReply", qstrJobId);
            QCOMPARE(qjsonStatus.value("msgId").toString(), QStringLiteral("do-1"));
            QCOMPARE(qjsonStatus.value("sender").toString(), QStringLiteral("doburn-client"));
            QTRY_VERIFY(!QDir("BurnJob/" + qstrJobId).exists());
        }

        QJsonObject qjsonCtrl = Request("BurnDevCtrl", "", "e-1", "ctrl-client");
        qjsonCtrl["param"] = QJsonObject{{"cmd", "BurnDevCtrl"}, {"param", QJsonObject{{"eventId", "E7"}}}};
        Deal(qjsonCtrl);
        const QJsonObject qjsonEvent{{"eventId", "E7"}, {"ret", -8}, {"replyList", QJsonArray()}};
        const QJsonObject qjsonEventMsg{{"token", "tok"}, {"platform", "web"}, {"sender", "ctrl-client"},
                                        {"param", BusReply("BurnDevCtrlReply", qjsonEvent)}};
        QTRY_VERIFY(m_qlstSent.contains({10110, Text(qjsonEventMsg)}));
    }

    void inbound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("file");    // of the job folder; empty: no folder
        QTest::addColumn<QString>("ackCmd");  // null: not acknowledged
        QTest::addColumn<int>("replies");     // of the bus, to each delivery
        const QString qstrHuge = Text(With(Request("StartBurn", "H1", "m1"), "pad", QString(10 << 20, 'a')));
        QTest::newRow("CancelBurn: kept, not passed on, not acknowledged")
            << Text(Request("CancelBurn", "C1", "m1")) << "C1/CancelBurn" << QString() << 0;
        QTest::newRow("unknown command: acknowledged")
            << Text(Request("Frobnicate", "C2", "m2")) << "C2/Frobnicate" << "Frobnicate" << 0;
        QTest::newRow("AddFile: one file per message")
            << Text(Request("AddFile", "A1", "x2")) << "A1/AddFile_x2" << "AddFile" << 1;
        QTest::newRow("no job id: no folder")
            << Text(Request("Frobnicate", "", "m3")) << "" << "Frobnicate" << 0;
        QTest::newRow("not json") << "hello" << "" << QString() << 0;
        QTest::newRow("array") << "[1,2,3]" << "" << QString() << 0;
        QTest::newRow("wrong member types: command \"\"")
            << R"({"msgId":5,"param":{"cmd":7,"param":"x"}})" << "" << "" << 0;
        QTest::newRow("escaping job id")
            << Text(Request("StartBurn", "../../x", "m1")) << "" << "StartBurn" << 1;
        QTest::newRow("huge") << qstrHuge << "H1/StartBurn" << "StartBurn" << 1;
    }
    // A message is kept in its job folder, replaced when delivered again, and acknowledged
    // at once unless it is CancelBurn or no message; nothing is written outside the folders.
    void inbound()
    {
        QFETCH(QString, text);
        QFETCH(QString, file);
        QFETCH(QString, ackCmd);
        QFETCH(int, replies);
        const QStringList qlstBefore = QDir("BurnJob").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        m_pPresenter->DealWebSoketMsg(text);
        m_pPresenter->DealWebSoketMsg(text);
        QCoreApplication::processEvents();  // acknowledgements are sent at once
        const QString qstrAck = Text(With(Obj(text), "param", BusReply(ackCmd, {{"ret", 1}})));
        QCOMPARE(m_qlstSent.count({10110, qstrAck}), ackCmd.isNull() ? 0 : 2);
        // The bus answers commands of unknown jobs; no reply may be under way at the end.
        QTRY_COMPARE(m_qlstSent.size(), (ackCmd.isNull() ? 0 : 2) + 2 * replies);
        QCOMPARE(JobFile(file, QString()), file.isEmpty() ? QByteArray("<missing>") : text.toUtf8());
        if (file.isEmpty())
            QCOMPARE(QDir("BurnJob").entryList(QDir::Dirs | QDir::NoDotAndDotDot), qlstBefore);
        QVERIFY(!QFile::exists(m_qtmpDir.filePath("../x")) && !QFile::exists("x") && !QFile::exists("BurnJob/x"));
    }

    // A client that is gone loses its routes; a logout that names no client drops none,
    // also not the route of a request that carried no identity.
    void logout_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QJsonObject>("identity");  // of the request
        QTest::addColumn<QString>("logout");
        QTest::addColumn<bool>("addressed");
        const QJsonObject qjsonGone{{"token", "tok"}, {"platform", "web"}, {"sender", "gone-client"}};
        const QJsonObject qjsonPartial{{"sender", "partial-client"}};
        QTest::newRow("client gone") << "L1" << qjsonGone << Text({{"param", qjsonGone}}) << false;
        QTest::newRow("client gone, named by sender only")
            << "L2" << qjsonPartial << Text({{"param", qjsonPartial}}) << false;
        QTest::newRow("names no client") << "L3" << QJsonObject() << "not json" << true;
    }
    void logout()
    {
        QFETCH(QString, job);
        QFETCH(QJsonObject, identity);
        QFETCH(QString, logout);
        QFETCH(bool, addressed);
        QJsonObject qjsonReq = Request("ApplyBurn", job, "m1");
        for (const char* szKey : {"token", "platform", "sender"})
            qjsonReq.insert(szKey, identity.value(szKey));  // an absent member is removed
        Deal(qjsonReq);
        m_pPresenter->DealWebSoketLogout(logout);
        const QString qstrMsgId = WaitForReply("ApplyBurnReply", job).value("msgId").toString();
        QCOMPARE(qstrMsgId, addressed ? QStringLiteral("m1") : QString());
    }

    // Acknowledged protocol: every delivery gets a receipt (110) and is recorded once; only
    // the first one runs. The reply goes out as a "send" message (10110) back to the client.
    void acknowledgedProtocol()
    {
        const QJsonObject qjsonReq = With(Request("ApplyBurn", "T1", "t-1"), "timestamp", "1700000000000");
        Deal(qjsonReq);
        Deal(qjsonReq);
        const QString qstrReceipt = Text(With(With(qjsonReq, "cmdtype", "ack"), "param",
                                              QJsonObject{{"JobId", "T1"}, {"action", "ApplyBurn"}, {"ret", 0}}));
        QTRY_COMPARE(m_qlstSent, (QList<QPair<int, QString>>{{110, qstrReceipt}, {110, qstrReceipt}}));
        // ApplyBurns run one after the other: once a later one is answered, a second run of
        // the first would have been answered too.
        Deal(With(Request("ApplyBurn", "T2", "t-2"), "timestamp", "1700000000001"));
        QTRY_COMPARE(m_qlstModSent.size(), 2);
        QVERIFY(m_qlstModSent.last().second.contains("\"T2\""));
        QCOMPARE(m_pBackend->Calls("InquestBurn", "T1").size(), 1);

        QJsonObject qjsonSend = Obj(m_qlstModSent.first().second);
        const qint64 llTimestamp = qjsonSend.take("timestamp").toString().toLongLong();
        QVERIFY(qAbs(llTimestamp - QDateTime::currentMSecsSinceEpoch()) < 60000);
        const QJsonObject qjsonReplyParam{{"JobId", "T1"}, {"ret", 0}, {"errCode", ""}, {"delJobId", QJsonArray()},
                                          {"errMsg", "设备类型错误，没有满足需求的刻录机"}};
        const QJsonObject qjsonExpected{
            {"token", "tok"},          {"platform", "web"},          {"msgId", "t-1"},         {"cmd", 10110},
            {"cmdtype", "send"},       {"sendSocketID", "S-module"}, {"recvSocketID", "S-client"},
            {"sender", "BurnModule"},  {"clientlist", QJsonArray{"client-1"}},
            {"param", QJsonObject{{"param", BusReply("ApplyBurnReply", qjsonReplyParam)}}}};
        QCOMPARE(qjsonSend, qjsonExpected);

        // Delivery reports of other codes, and texts that are no message, are dropped.
        m_pPresenter->DealWebSoketMsgAck(72, m_qlstModSent.first().second);
        QVERIFY(LogRecorder::contains("_intType error"));
        m_pPresenter->DealWebSoketMsgAck(71, "not json");
        QVERIFY(LogRecorder::contains("qjsonOdc is Error"));
    }

    // A message the store cannot keep gets a failed receipt and is not run: its replies could
    // be neither addressed nor resent. The next message is kept and run as usual.
    void unrecordedMessage()
    {
        const auto sql = [](const QString& _qstrSql) {
            QSqlDatabase qsqlDb = QSqlDatabase::addDatabase("QSQLITE", "refuse");
            qsqlDb.setDatabaseName("burnmodule.db");
            const bool blOk = qsqlDb.open() && QSqlQuery(qsqlDb).exec(_qstrSql);
            qsqlDb = QSqlDatabase();
            QSqlDatabase::removeDatabase("refuse");
            return blOk;
        };
        QVERIFY(sql("CREATE TRIGGER refuse BEFORE INSERT ON cmd_table WHEN NEW.msgid='u-1' "
                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        Deal(With(Request("ApplyBurn", "U1", "u-1"), "timestamp", "1700000000000"));
        Deal(With(Request("ApplyBurn", "U2", "u-2"), "timestamp", "1700000000001"));
        QTRY_COMPARE(m_qlstModSent.size(), 1);
        QVERIFY(sql("DROP TRIGGER refuse"));
        QCOMPARE(m_qlstSent.size(), 2);
        const QJsonObject qjsonFailed = Obj(m_qlstSent.first().second).value("param").toObject();
        QCOMPARE(qjsonFailed.value("JobId").toString() + QString::number(qjsonFailed.value("ret").toInt()), "U1-1");
        QVERIFY(!qjsonFailed.value("errMsg").toString().isEmpty());
        QCOMPARE(Obj(m_qlstSent.last().second).value("param").toObject().value("ret"), QJsonValue(0));
        QVERIFY(m_pBackend->Calls("InquestBurn", "U1").isEmpty());
    }

    // At start, unconfirmed replies of finished jobs go out again unchanged, in store order;
    // an unfinished burn-service job (kind 7) is replayed from its last stored commands up to
    // a step that fails, or
    // re-attached to the task the device runs (its DoBurn working parameter) and polled;
    // a job of another device is left alone.
    void recovery()
    {
        QVERIFY(QFile::remove("burnmodule.db"));  // earlier cases' jobs would be resent too
        auto* pService = new CLS_TestBackend;  // kept to the end: recovery threads call it
        CLS_AutoBase::InstallInstance(n_BurnDev_Primera4200, pService);
        pService->SetJobStatus("RA", n_BurnJobState_Burning);
        CLS_DBOperation dbOperation(QStringLiteral("BurnModule"));
        StoreCommand(dbOperation, "RF", "ApplyBurn", {{"BurnDev", n_Kind}});
        QStringList qlstUnconfirmed;
        for (const auto& reply : QList<QPair<QString, int>>{{"ApplyBurnReply", -1}, {"BurnStatusReply", 3}}) {
            BurnMsgInfo stReply;
            stReply.qstrJobId = "RF";
            stReply.qstrCmd = reply.first;
            stReply.iJobState = reply.second;
            stReply.qstrResponse = Text({{"msgId", "m-RF"}, {"cmd", reply.first}});
            qlstUnconfirmed << stReply.qstrResponse;
            dbOperation.InsertResponse(stReply);
        }
        for (const char* szJobId : {"RR", "RA", "RS"})
            StoreCommand(dbOperation, szJobId, "ApplyBurn", {{"BurnDev", n_BurnDev_Primera4200}, {"CopyCount", 1}});
        pService->SetResult("StartBurn", -7, "拒绝", "E-7", "RS");
        for (const char* szCmd : {"StartBurn", "AddFile", "DoBurn"})
            StoreCommand(dbOperation, "RS", szCmd, {});
        for (const char* szFile : {"a.mp4", "b.mp4"})
            StoreCommand(dbOperation, "RR", "AddFile", {{"FileList", QJsonArray{QJsonObject{{"srcFile", szFile}}}}});
        for (const char* szCmd : {"StartBurn", "WriteLabel", "DoBurn"})
            StoreCommand(dbOperation, "RR", szCmd, {});
        StoreCommand(dbOperation, "RA", "DoBurn", {}, "task-9");
        StoreCommand(dbOperation, "RD", "ApplyBurn", {{"BurnDev", n_BurnDev_DMXTwelve}});

        m_pPresenter->RecoverJobFromDB();
        QTRY_VERIFY(m_qlstModSent.size() >= 2);
        QCOMPARE(m_qlstModSent.mid(0, 2), (QList<QPair<int, QString>>{{10110, qlstUnconfirmed.at(0)},
                                                                       {10110, qlstUnconfirmed.at(1)}}));
        QTRY_COMPARE(pService->Calls("DoBurn", "RR").size(), 1);
        QStringList qlstCalls;
        for (const BackendCall& stCall : pService->Calls())
            qlstCalls << stCall.qstrOp + ":" + stCall.qstrJobId;
        QCOMPARE(qlstCalls.filter(":RR"),
                 (QStringList{"InquestBurn:RR", "StartBurn:RR", "AddFile:RR", "WriteLabel:RR", "DoBurn:RR"}));
        QCOMPARE(pService->Calls("AddFile", "RR").first().qlstArgs.mid(1), QStringList{"b.mp4>"});
        QTRY_COMPARE(pService->Calls("StartBurn", "RS").size(), 1);
        QTRY_COMPARE(pService->Calls("UpdateJobInfo", "RA").size(), 1);
        QCOMPARE(pService->Calls("UpdateJobInfo", "RA").first().qlstArgs, (QStringList{"task-9", ""}));
        QVERIFY(pService->Calls("DoBurn", "RA").isEmpty());
        BurnJobInfo stJob;
        QTRY_VERIFY(CLS_BurnBus::GetInstance()->FindJobInList("RA", stJob) && stJob.iStatus == n_BurnJobState_Burning);
        QVERIFY(!CLS_BurnBus::GetInstance()->FindJobInList("RD", stJob));
        m_pPresenter.reset();  // waits for the recovery threads
        QVERIFY(LogRecorder::contains("CLS_BurnPresenter|[StartBurnEx Fail][E-7][拒绝]"));
        QVERIFY(!LogRecorder::contains("CLS_BurnPresenter|[AddFileEx Fail]"));
    }

    // A host may end with exit() while jobs run: the bus stops its threads before Qt's
    // globals end, so no thread writes the store through freed driver state.
    void exitWithWorkInFlight_data()
    {
        QTest::addColumn<int>("run");
        for (int iRun = 1; iRun <= 4; ++iRun)
            QTest::addRow("run %d", iRun) << iRun;
    }
    void exitWithWorkInFlight()
    {
        QTemporaryDir qtmpDir;
        QProcess qprocess;
        qprocess.start(QCoreApplication::applicationFilePath(), {"--exit-child", qtmpDir.path()});
        QVERIFY(qprocess.waitForFinished(n_WaitMs * 3));
        const QString qstrStdErr = QString::fromUtf8(qprocess.readAllStandardError()).right(3000);
        QVERIFY2(qprocess.exitStatus() == QProcess::NormalExit && qprocess.exitCode() == 0, qPrintable(qstrStdErr));
        QVERIFY2(!qstrStdErr.contains("Sanitizer"), qPrintable(qstrStdErr));
    }

    // With "BurnModule" in the shell's "oneInstance" list, messages are wrapped once more in
    // the client's identity. A stored status reply goes out with the head of the job's DoBurn.
    void messageTexts()
    {
        const QJsonObject qjsonReq = Request("StartBurn", "J1", "m-1");
        const QJsonObject qjsonIdentity{{"token", "tok"}, {"platform", "web"}, {"sender", "client-1"}};
        const QJsonObject qjsonAck = Obj(BuildImmediateAck(qjsonReq, "StartBurn", false));
        QCOMPARE(Obj(BuildImmediateAck(qjsonReq, "StartBurn", true)), With(qjsonIdentity, "param", qjsonAck));
        const QJsonObject qjsonReply{{"cmd", "StartBurnReply"}};
        const QJsonObject qjsonDirect = Obj(BuildDirectReply(Text(qjsonReq), qjsonReply, false));
        QCOMPARE(Obj(BuildDirectReply(Text(qjsonReq), qjsonReply, true)), With(qjsonReq, "param", qjsonDirect));
        QCOMPARE(RequestCommandOf("BurnStatusReply"), QStringLiteral("DoBurn"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--exit-child") == 0)
        return RunExitChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_CLS_BurnPresenter test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_CLS_BurnPresenter.moc"
