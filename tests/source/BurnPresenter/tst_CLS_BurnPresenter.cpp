// The gateway driven the way the plug-in drives it, with a test-double backend behind a
// device kind and a real job store in a temporary folder: the texts of acknowledgements,
// replies, receipts and device events, reply routes, job files, the acknowledged protocol
// with its delivery reports, and hostile input. Also the texts of the one-instance shell.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "BurnDefine.h"
#include "BurnMessageFormat.h"
#include "CLS_BurnPresenter.h"
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

// One value the job store holds, read on a connection of the test's own.
int StoreValue(const QString& _qstrSql)
{
    int iValue = -99;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        qsqlDb.setDatabaseName(QStringLiteral("burnmodule.db"));
        QSqlQuery qsqlQuery(qsqlDb);
        if (qsqlDb.open() && qsqlQuery.exec(_qstrSql) && qsqlQuery.next())
            iValue = qsqlQuery.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return iValue;
}

// A file of a job folder ("<job id>/<name>").
QByteArray JobFile(const QString& _qstrJobId, const QString& _qstrName)
{
    QFile qfile(QStringLiteral("BurnJob/") + _qstrJobId + (_qstrName.isEmpty() ? "" : "/" + _qstrName));
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}
}  // namespace

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
        static_cast<void>(QTest::qWaitFor(
            [&] {
                for (const QPair<int, QString>& prSent : m_qlstSent) {
                    const QJsonObject qjsonReply = Obj(prSent.second).value("param").toObject();
                    if (qjsonFound.isEmpty() && qjsonReply.value("cmd") == _qstrReplyCmd
                        && qjsonReply.value("param").toObject().value("JobId") == _qstrJobId)
                        qjsonFound = Obj(prSent.second);
                }
                return !qjsonFound.isEmpty();
            },
            n_WaitMs));
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

    // Direct protocol: the request is kept in the job folder and acknowledged at once
    // (10110); the bus gets its parameters with the msgId; the reply goes back in the
    // request's envelope and is kept too.
    void directProtocol()
    {
        const QJsonObject qjsonReq = Request("ApplyBurn", "D1", "m1");
        Deal(qjsonReq);
        QTRY_VERIFY(m_qlstSent.contains({10110, Text(With(qjsonReq, "param", BusReply("ApplyBurn", {{"ret", 1}})))}));
        QCOMPARE(JobFile("D1", "ApplyBurn"), Text(qjsonReq).toUtf8());

        const QJsonObject qjsonReplyParam{{"JobId", "D1"}, {"ret", 0}, {"errCode", ""}, {"delJobId", QJsonArray()},
                                          {"errMsg", "设备类型错误，没有满足需求的刻录机"}};
        const QJsonObject qjsonExpected = With(qjsonReq, "param", BusReply("ApplyBurnReply", qjsonReplyParam));
        QCOMPARE(WaitForReply("ApplyBurnReply", "D1"), qjsonExpected);
        QTRY_COMPARE(JobFile("D1", "ApplyBurnReply"), Text(qjsonExpected).toUtf8());
        QCOMPARE(m_pBackend->Calls("InquestBurn", "D1").first().qlstArgs.last(),
                 Text({{"BurnDev", n_Kind}, {"CopyCount", 1}, {"JobId", "D1"}, {"msgId", "m1"}}));
    }

    void jobFiles_data()
    {
        QTest::addColumn<QJsonObject>("message");
        QTest::addColumn<QString>("file");  // of the job folder; empty: no folder
        QTest::addColumn<QString>("ackCmd");  // empty: not acknowledged
        QTest::newRow("CancelBurn: kept, not passed on, not acknowledged")
            << Request("CancelBurn", "C1", "m1") << "C1/CancelBurn" << "";
        QTest::newRow("unknown command: acknowledged")
            << Request("Frobnicate", "C2", "m2") << "C2/Frobnicate" << "Frobnicate";
        QTest::newRow("AddFile: one file per message") << Request("AddFile", "A1", "x2") << "A1/AddFile_x2" << "AddFile";
        QTest::newRow("no job id: no folder") << Request("Frobnicate", "", "m3") << "" << "Frobnicate";
    }
    void jobFiles()
    {
        QFETCH(QJsonObject, message);
        QFETCH(QString, file);
        QFETCH(QString, ackCmd);
        const QStringList qlstBefore = QDir("BurnJob").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        Deal(message);
        Deal(message);  // delivered again: the job file is replaced
        QCoreApplication::processEvents();  // acknowledgements are sent at once
        const QString qstrAck = Text(With(message, "param", BusReply(ackCmd, {{"ret", 1}})));
        QCOMPARE(m_qlstSent.count({10110, qstrAck}), ackCmd.isEmpty() ? 0 : 2);
        // The bus answers AddFile of the unknown job; no reply may be under way at the end.
        QTRY_COMPARE(m_qlstSent.size(), ackCmd.isEmpty() ? 0 : (ackCmd == "AddFile" ? 4 : 2));
        QCOMPARE(JobFile(file, QString()), file.isEmpty() ? QByteArray("<missing>") : Text(message).toUtf8());
        if (file.isEmpty())
            QCOMPARE(QDir("BurnJob").entryList(QDir::Dirs | QDir::NoDotAndDotDot), qlstBefore);
        QCOMPARE(m_pBackend->CallCount("CancelBurn"), 0);
    }

    // Bad input is logged and dropped, or answered as usual; nothing is written outside
    // the job folders.
    void badInput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("replyJob");  // the job of the StartBurn reply; empty: none
        QTest::newRow("not json") << "hello" << "";
        QTest::newRow("array") << "[1,2,3]" << "";
        QTest::newRow("wrong member types") << R"({"msgId":5,"param":{"cmd":7,"param":"x"}})" << "";
        QTest::newRow("escaping job id") << Text(Request("StartBurn", "../../x", "m1")) << "../../x";
        QTest::newRow("huge") << Text(With(Request("StartBurn", "H1", "m1"), "pad", QString(10 << 20, 'a'))) << "H1";
    }
    void badInput()
    {
        QFETCH(QString, text);
        QFETCH(QString, replyJob);
        m_pPresenter->DealWebSoketMsg(text);
        QVERIFY(replyJob.isEmpty() || !WaitForReply("StartBurnReply", replyJob).isEmpty());
        QVERIFY(!QFile::exists(m_qtmpDir.filePath("../x")) && !QFile::exists("x") && !QFile::exists("BurnJob/x"));
    }

    // A status reply goes to the client of the job's DoBurn and removes the job's folder,
    // also after a failed command of the job and after the end of a job whose id begins it.
    void statusReplyFollowsDoBurnRoute_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<bool>("labelFails");
        QTest::addColumn<QString>("endedFirst");  // a job that ends before; empty: none
        QTest::newRow("burn ends") << "S1" << false << "";
        QTest::newRow("after a failed label") << "S2" << true << "";
        QTest::newRow("after the end of a prefix job") << "S30" << false << "S3";
    }
    void statusReplyFollowsDoBurnRoute()
    {
        QFETCH(QString, job);
        QFETCH(bool, labelFails);
        QFETCH(QString, endedFirst);
        RunUntilBurning(job);
        if (labelFails) {
            m_pBackend->SetResult("WriteLabel", -1, "no ink", QString(), job);
            Deal(Request("WriteLabel", job, "wl-1"));
            QVERIFY(!WaitForReply("WriteLabelReply", job).isEmpty());
        }
        if (!endedFirst.isEmpty()) {
            RunUntilBurning(endedFirst);
            m_pBackend->SetJobStatus(endedFirst, n_BurnJobState_Finished);
            QVERIFY(!WaitForReply("BurnStatusReply", endedFirst).isEmpty());
        }
        m_pBackend->SetJobStatus(job, n_BurnJobState_Finished);
        const QJsonObject qjsonStatus = WaitForReply("BurnStatusReply", job);
        QCOMPARE(qjsonStatus.value("msgId").toString(), QStringLiteral("do-1"));
        QCOMPARE(qjsonStatus.value("sender").toString(), QStringLiteral("doburn-client"));
        QTRY_VERIFY(!QDir("BurnJob/" + job).exists());
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
        QTest::newRow("not json") << "L3" << QJsonObject() << "not json" << true;
        QTest::newRow("no identity") << "L4" << QJsonObject() << R"({"param":{}})" << true;
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
        QCOMPARE(LogRecorder::contains(QStringLiteral("m_qmapSendMsgReqParam[%1m1ApplyBurnReply] empty!").arg(job)),
                 !addressed);
    }

    // Acknowledged protocol: every delivery gets a receipt (110) and is recorded once;
    // only the first one runs. The reply goes out as a "send" message (10110) addressed
    // back to the client; its delivery reports (71 delivered, 70 timed out) are recorded.
    void acknowledgedProtocol()
    {
        const QJsonObject qjsonReq = With(Request("ApplyBurn", "T1", "t-1"), "timestamp", "1700000000000");
        Deal(qjsonReq);
        Deal(qjsonReq);
        QJsonObject qjsonHead = qjsonReq;
        qjsonHead.remove("param");
        const QString qstrReceipt = Text(With(With(qjsonHead, "cmdtype", "ack"), "param",
                                              QJsonObject{{"JobId", "T1"}, {"action", "ApplyBurn"}, {"ret", 0}}));
        QTRY_COMPARE(m_qlstSent, (QList<QPair<int, QString>>{{110, qstrReceipt}, {110, qstrReceipt}}));
        QTRY_COMPARE(m_qlstModSent.size(), 1);
        QCOMPARE(m_pBackend->CallCount("InquestBurn", "T1"), 1);
        QCOMPARE(StoreValue("SELECT COUNT(*) FROM cmd_table WHERE jobid='T1'"), 1);

        QCOMPARE(m_qlstModSent.first().first, 10110);
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

        const QString qstrAckSql =
            "SELECT ack_receive FROM job_item_table WHERE jobid='T1' AND burn_cmd='ApplyBurnReply'";
        QCOMPARE(StoreValue(qstrAckSql), -1);
        m_pPresenter->DealWebSoketMsgAck(71, m_qlstModSent.first().second);
        QCOMPARE(StoreValue(qstrAckSql), 1);
        m_pPresenter->DealWebSoketMsgAck(70, m_qlstModSent.first().second);
        QCOMPARE(StoreValue(qstrAckSql), 0);
        QCOMPARE(StoreValue("SELECT COUNT(*) FROM msg_timeout_table"), 0);
        m_pPresenter->DealWebSoketMsgAck(72, m_qlstModSent.first().second);
        QCOMPARE(StoreValue(qstrAckSql), 0);
        QVERIFY(LogRecorder::contains("_intType error"));
        m_pPresenter->DealWebSoketMsgAck(71, "not json");
        QVERIFY(LogRecorder::contains("qjsonOdc is Error"));
    }

    // Device-control replies go back to the client of the request with that event id.
    void deviceEventRoute()
    {
        QJsonObject qjsonReq = Request("BurnDevCtrl", "", "e-1", "ctrl-client");
        qjsonReq.insert("param", QJsonObject{{"cmd", "BurnDevCtrl"}, {"param", QJsonObject{{"eventId", "E7"}}}});
        Deal(qjsonReq);
        const QJsonObject qjsonReply{{"eventId", "E7"}, {"ret", -8}, {"replyList", QJsonArray()}};
        const QJsonObject qjsonEvent{{"token", "tok"}, {"platform", "web"}, {"sender", "ctrl-client"},
                                     {"param", BusReply("BurnDevCtrlReply", qjsonReply)}};
        QTRY_VERIFY(m_qlstSent.contains({10110, Text(qjsonEvent)}));
        QVERIFY(m_qlstSent.contains({10110, Text(With(qjsonReq, "param", BusReply("BurnDevCtrl", {{"ret", 1}})))}));
    }

    // With "BurnModule" in the shell's "oneInstance" list, messages are wrapped once more
    // in the client's identity; a reply without a stored request is its "param" alone.
    // Replies are matched with their requests by command name.
    void messageTexts()
    {
        const QJsonObject qjsonReq = Request("StartBurn", "J1", "m-1");
        const QJsonObject qjsonIdentity{{"token", "tok"}, {"platform", "web"}, {"sender", "client-1"}};
        const QJsonObject qjsonAck = Obj(BuildImmediateAck(qjsonReq, "StartBurn", false));
        QCOMPARE(Obj(BuildImmediateAck(qjsonReq, "StartBurn", true)), With(qjsonIdentity, "param", qjsonAck));
        const QJsonObject qjsonReply{{"cmd", "StartBurnReply"}};
        const QJsonObject qjsonDirect = Obj(BuildDirectReply(Text(qjsonReq), qjsonReply, false));
        QCOMPARE(Obj(BuildDirectReply(Text(qjsonReq), qjsonReply, true)), With(qjsonReq, "param", qjsonDirect));
        QCOMPARE(Obj(BuildDirectReply(QString(), qjsonReply, true)),
                 (QJsonObject{{"param", QJsonObject{{"param", qjsonReply}}}}));
        QCOMPARE(ReplyCommandOf(R"({"cmd":3})"), QStringLiteral("undefined"));
        QCOMPARE(ReplyCommandOf("not json"), QStringLiteral("undefined"));
        // A stored reply goes out with the head of its request; a status reply with DoBurn's.
        QCOMPARE(RequestCommandOf("StartBurnReply"), QStringLiteral("StartBurn"));
        QCOMPARE(RequestCommandOf("BurnStatusReply"), QStringLiteral("DoBurn"));
    }
};

QTEST_GUILESS_MAIN(tst_CLS_BurnPresenter)
#include "tst_CLS_BurnPresenter.moc"
