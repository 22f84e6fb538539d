// The gateway driven the way the plug-in drives it, with a test-double backend behind
// a device kind and a real job store file: acknowledgements, reply routes, job files,
// the acknowledged protocol and delivery reports.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "CLS_BurnPresenter.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"

namespace
{
constexpr int n_Kind = 10;
constexpr int n_ReplyTimeoutMs = 20000;

QJsonObject Obj(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

// One inbound message; a non-empty time stamp selects the acknowledged protocol.
QString Request(const QString& _qstrCmd, const QString& _qstrJobId, const QString& _qstrMsgId,
                QJsonObject _qjsonParam = {}, const QString& _qstrTimestamp = QString(),
                const QString& _qstrSender = QStringLiteral("client-1"))
{
    if (!_qstrJobId.isNull())
        _qjsonParam.insert(QStringLiteral("JobId"), _qstrJobId);
    QJsonObject qjsonMsg{{"token", "tok"},     {"platform", "web"},     {"sender", _qstrSender},
                         {"msgId", _qstrMsgId}, {"cmdtype", "req"},      {"sendSocketID", "S-client"},
                         {"recvSocketID", "S-module"},
                         {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
    if (!_qstrTimestamp.isEmpty())
        qjsonMsg.insert(QStringLiteral("timestamp"), _qstrTimestamp);
    return Text(qjsonMsg);
}

QJsonObject ApplyParams()
{
    return QJsonObject{{"BurnDev", n_Kind}, {"BurnType", 0}, {"CopyCount", 1}};
}

int CountRows(const QString& _qstrSql, const QVariantList& _qvarlstValues)
{
    int iCount = -1;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        qsqlDb.setDatabaseName(QStringLiteral("burnmodule.db"));
        if (qsqlDb.open()) {
            QSqlQuery qsqlQuery(qsqlDb);
            qsqlQuery.prepare(_qstrSql);
            for (int i = 0; i < _qvarlstValues.size(); ++i)
                qsqlQuery.bindValue(i, _qvarlstValues.at(i));
            if (qsqlQuery.exec() && qsqlQuery.next())
                iCount = qsqlQuery.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return iCount;
}
}  // namespace

class tst_CLS_BurnPresenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_qtmpDir.isValid());
        QVERIFY(QDir::setCurrent(m_qtmpDir.path()));
        LogRecorder::install();
        m_pBackend = new CLS_TestBackend;  // kept to the end: bus threads may still call it
        CLS_AutoBase::InstallInstance(n_Kind, m_pBackend);
    }

    void init()
    {
        m_pPresenter.reset(new CLS_BurnPresenter(QString()));
        m_pSpyMsg.reset(new QSignalSpy(m_pPresenter.get(), &CLS_BurnPresenter::signalSendMsg));
        m_pSpyModMsg.reset(new QSignalSpy(m_pPresenter.get(), &CLS_BurnPresenter::signalModSendMsg));
    }

    void cleanup()
    {
        m_pSpyMsg.reset();
        m_pSpyModMsg.reset();
        m_pPresenter.reset();
    }

    // Direct protocol: an immediate acknowledgement, then the reply to the asking client.
    void directApplyBurn()
    {
        const QString qstrReq = Request(QStringLiteral("ApplyBurn"), QStringLiteral("D1"), QStringLiteral("m1"),
                                        ApplyParams());
        m_pPresenter->DealWebSoketMsg(qstrReq);
        QCOMPARE(m_pSpyMsg->count(), 1);
        const QJsonObject qjsonAck = Obj(m_pSpyMsg->at(0).at(1).toString());
        QCOMPARE(m_pSpyMsg->at(0).at(0).toInt(), 10110);
        QCOMPARE(qjsonAck.value("sender").toString(), QStringLiteral("client-1"));
        QCOMPARE(qjsonAck.value("param").toObject(),
                 (QJsonObject{{"ModuleName", "BurnModule"}, {"cmd", "ApplyBurn"}, {"param", QJsonObject{{"ret", 1}}}}));
        QCOMPARE(ReadJobFile("D1", "ApplyBurn"), qstrReq.toUtf8());

        const QJsonObject qjsonReply = WaitForReply("ApplyBurnReply", "D1");
        QCOMPARE(qjsonReply.value("msgId").toString(), QStringLiteral("m1"));
        QCOMPARE(qjsonReply.value("param").toObject().value("param").toObject().value("ret").toInt(), 0);
        QTRY_VERIFY(QFile::exists(QStringLiteral("BurnJob/D1/ApplyBurnReply")));
    }

    void cancelUnknownAndEmptyJob()
    {
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("CancelBurn"), QStringLiteral("C1"), QStringLiteral("m1")));
        QCOMPARE(m_pSpyMsg->count(), 0);
        QVERIFY(QFile::exists(QStringLiteral("BurnJob/C1/CancelBurn")));
        QCOMPARE(m_pBackend->CallCount(QStringLiteral("CancelBurn")), 0);

        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("Frobnicate"), QStringLiteral("C2"), QStringLiteral("m2")));
        QCOMPARE(m_pSpyMsg->count(), 1);
        QCOMPARE(Obj(m_pSpyMsg->at(0).at(1).toString()).value("param").toObject().value("cmd").toString(),
                 QStringLiteral("Frobnicate"));

        const int iFoldersBefore = QDir(QStringLiteral("BurnJob")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("Frobnicate"), QString(""), QStringLiteral("m3")));
        QCOMPARE(m_pSpyMsg->count(), 2);
        QCOMPARE(QDir(QStringLiteral("BurnJob")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), iFoldersBefore);
    }

    void twoAddFilesTwoFiles()
    {
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("AddFile"), QStringLiteral("A1"), QStringLiteral("x1")));
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("AddFile"), QStringLiteral("A1"), QStringLiteral("x2")));
        QVERIFY(QFile::exists(QStringLiteral("BurnJob/A1/AddFile_x1")));
        QVERIFY(QFile::exists(QStringLiteral("BurnJob/A1/AddFile_x2")));
    }

    // Bad input is logged and dropped; nothing is written outside the job folders.
    void badInput_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("not json") << "hello";
        QTest::newRow("array") << "[1,2,3]";
        QTest::newRow("wrong member types") << R"({"msgId":5,"param":{"cmd":7,"param":"x"}})";
        QTest::newRow("escaping job id")
            << Request(QStringLiteral("StartBurn"), QStringLiteral("../../x"), QStringLiteral("m1"));
        QTest::newRow("huge") << Request(QStringLiteral("StartBurn"), QStringLiteral("H1"), QStringLiteral("m1"),
                                         QJsonObject{{"CDTitle", QString(10 * 1024 * 1024, QLatin1Char('a'))}});
    }
    void badInput()
    {
        QFETCH(QString, text);
        m_pPresenter->DealWebSoketMsg(text);
        QVERIFY(!QFile::exists(m_qtmpDir.filePath(QStringLiteral("../x"))));
        QVERIFY(!QFile::exists(QStringLiteral("x")));
        QVERIFY(QDir(QStringLiteral("BurnJob")).entryList().filter(QStringLiteral("..")).size() <= 2);
    }

    // A status reply goes to the client of the job's DoBurn and removes its folder, also
    // after a failed command of the job and after the end of a job whose id begins it.
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
        RunUntilBurning(job, QString());
        if (labelFails) {
            m_pBackend->SetResult(QStringLiteral("WriteLabel"), -1, QStringLiteral("no ink"), QString(), job);
            m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("WriteLabel"), job, QStringLiteral("wl-1")));
            WaitForReply("WriteLabelReply", job);
        }
        if (!endedFirst.isEmpty()) {
            RunUntilBurning(endedFirst, QString());
            m_pBackend->SetJobStatus(endedFirst, 3);
            WaitForReply("BurnStatusReply", endedFirst);
        }
        m_pBackend->SetJobStatus(job, 3);
        const QJsonObject qjsonStatus = WaitForReply("BurnStatusReply", job);
        QCOMPARE(qjsonStatus.value("msgId").toString(), QStringLiteral("do-1"));
        QCOMPARE(qjsonStatus.value("sender").toString(), QStringLiteral("doburn-client"));
        QTRY_VERIFY(!QDir(QStringLiteral("BurnJob/") + job).exists());
    }

    // A client that is gone loses its routes; a logout that names no client drops none,
    // also not the route of a request that carried no identity.
    void logout_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("sender");  // of the request; empty: no identity at all
        QTest::addColumn<QString>("logout");
        QTest::addColumn<bool>("addressed");
        const QJsonObject qjsonGone{{"token", "tok"}, {"platform", "web"}, {"sender", "gone-client"}};
        QTest::newRow("client gone") << "L1" << "gone-client" << Text(QJsonObject{{"param", qjsonGone}}) << false;
        QTest::newRow("not json") << "L2" << "" << "not json" << true;
        QTest::newRow("no identity") << "L3" << "" << R"({"param":{}})" << true;
    }
    void logout()
    {
        QFETCH(QString, job);
        QFETCH(QString, sender);
        QFETCH(QString, logout);
        QFETCH(bool, addressed);
        m_pBackend->SetCallDelayMs(0);
        QJsonObject qjsonReq =
            Obj(Request(QStringLiteral("ApplyBurn"), job, QStringLiteral("m1"), ApplyParams(), QString(), sender));
        if (sender.isEmpty()) {
            qjsonReq.remove(QStringLiteral("token"));
            qjsonReq.remove(QStringLiteral("platform"));
        }
        m_pPresenter->DealWebSoketMsg(Text(qjsonReq));
        m_pPresenter->DealWebSoketLogout(logout);
        const QJsonObject qjsonReply = WaitForReply("ApplyBurnReply", job);
        QCOMPARE(qjsonReply.value("msgId").toString(), addressed ? QStringLiteral("m1") : QString());
        QCOMPARE(LogRecorder::contains(QStringLiteral("m_qmapSendMsgReqParam[%1m1ApplyBurnReply] empty!").arg(job)),
                 !addressed);
    }

    // Acknowledged protocol: every delivery gets a receipt, only the first one runs.
    void duplicateTimestampedMessage()
    {
        const QString qstrReq = Request(QStringLiteral("ApplyBurn"), QStringLiteral("T1"), QStringLiteral("t-1"),
                                        ApplyParams(), QStringLiteral("1700000000000"));
        m_pPresenter->DealWebSoketMsg(qstrReq);
        m_pPresenter->DealWebSoketMsg(qstrReq);
        QCOMPARE(m_pSpyMsg->count(), 2);
        for (const QList<QVariant>& lstArgs : *m_pSpyMsg) {
            QCOMPARE(lstArgs.at(0).toInt(), 110);
            const QJsonObject qjsonReceipt = Obj(lstArgs.at(1).toString());
            QCOMPARE(qjsonReceipt.value("cmdtype").toString(), QStringLiteral("ack"));
            QCOMPARE(qjsonReceipt.value("timestamp").toString(), QStringLiteral("1700000000000"));
            QCOMPARE(qjsonReceipt.value("msgId").toString(), QStringLiteral("t-1"));
            QCOMPARE(qjsonReceipt.value("param").toObject(),
                     (QJsonObject{{"JobId", "T1"}, {"action", "ApplyBurn"}, {"ret", 0}}));
        }
        QVERIFY(m_pSpyModMsg->wait(n_ReplyTimeoutMs));
        QCOMPARE(m_pBackend->CallCount(QStringLiteral("InquestBurn"), QStringLiteral("T1")), 1);
        const QJsonObject qjsonSend = Obj(m_pSpyModMsg->at(0).at(1).toString());
        QCOMPARE(qjsonSend.value("cmdtype").toString(), QStringLiteral("send"));
        QCOMPARE(qjsonSend.value("clientlist").toArray(), QJsonArray{"client-1"});
        QCOMPARE(qjsonSend.value("sendSocketID").toString(), QStringLiteral("S-module"));
        QCOMPARE(CountRows(QStringLiteral("SELECT COUNT(*) FROM cmd_table WHERE jobid=?"), {"T1"}), 1);
    }

    // Delivery reports: 71 marks the reply delivered; 70 on a running job adds no
    // timeout row.
    void deliveryReports()
    {
        const QString qstrJob = QStringLiteral("R1");
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("ApplyBurn"), qstrJob, QStringLiteral("r-1"),
                                              ApplyParams(), QStringLiteral("1")));
        QVERIFY(m_pSpyModMsg->wait(n_ReplyTimeoutMs));
        const QString qstrSend = m_pSpyModMsg->at(0).at(1).toString();
        const QString qstrAckSql =
            QStringLiteral("SELECT ack_receive FROM job_item_table WHERE jobid=? AND burn_cmd='ApplyBurnReply'");
        QCOMPARE(CountRows(qstrAckSql, {qstrJob}), -1);
        m_pPresenter->DealWebSoketMsgAck(71, qstrSend);
        QCOMPARE(CountRows(qstrAckSql, {qstrJob}), 1);
        m_pPresenter->DealWebSoketMsgAck(70, qstrSend);
        QCOMPARE(CountRows(qstrAckSql, {qstrJob}), 0);
        QCOMPARE(CountRows(QStringLiteral("SELECT COUNT(*) FROM msg_timeout_table WHERE jobid=?"), {qstrJob}), 0);
        m_pPresenter->DealWebSoketMsgAck(72, qstrSend);
        QVERIFY(LogRecorder::contains(QStringLiteral("_intType error")));
        m_pPresenter->DealWebSoketMsgAck(71, QStringLiteral("not json"));
        QVERIFY(LogRecorder::contains(QStringLiteral("qjsonOdc is Error")));
    }

private:
    QByteArray ReadJobFile(const char* _szJob, const char* _szName)
    {
        QFile qfile(QStringLiteral("BurnJob/%1/%2").arg(QLatin1String(_szJob), QLatin1String(_szName)));
        return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
    }

    // Waits for the direct-protocol message whose reply "cmd" is given, for the job.
    QJsonObject WaitForReply(const char* _szReplyCmd, const char* _szJobId)
    {
        return WaitForReply(_szReplyCmd, QString::fromLatin1(_szJobId));
    }
    QJsonObject WaitForReply(const char* _szReplyCmd, const QString& _qstrJobId)
    {
        QElapsedTimer qtimer;
        qtimer.start();
        int iSeen = 0;
        while (qtimer.elapsed() < n_ReplyTimeoutMs) {
            for (; iSeen < m_pSpyMsg->count(); ++iSeen) {
                const QJsonObject qjsonMsg = Obj(m_pSpyMsg->at(iSeen).at(1).toString());
                const QJsonObject qjsonReply = qjsonMsg.value("param").toObject();
                if (qjsonReply.value("cmd").toString() == QLatin1String(_szReplyCmd)
                    && qjsonReply.value("param").toObject().value("JobId").toString() == _qstrJobId)
                    return qjsonMsg;
            }
            m_pSpyMsg->wait(200);
        }
        QTest::qFail(qPrintable(QStringLiteral("no %1 for %2").arg(QLatin1String(_szReplyCmd), _qstrJobId)), __FILE__,
                     __LINE__);
        return QJsonObject();
    }

    void RunUntilBurning(const QString& _qstrJob, const QString& _qstrTimestamp)
    {
        m_pBackend->SetJobStatus(_qstrJob, 2);
        m_pPresenter->DealWebSoketMsg(
            Request(QStringLiteral("ApplyBurn"), _qstrJob, QStringLiteral("ap-1"), ApplyParams(), _qstrTimestamp));
        WaitForReply("ApplyBurnReply", _qstrJob);
        m_pPresenter->DealWebSoketMsg(Request(QStringLiteral("DoBurn"), _qstrJob, QStringLiteral("do-1"), {},
                                              _qstrTimestamp, QStringLiteral("doburn-client")));
        WaitForReply("DoBurnReply", _qstrJob);
    }

    QTemporaryDir m_qtmpDir;
    CLS_TestBackend* m_pBackend = nullptr;
    std::unique_ptr<CLS_BurnPresenter> m_pPresenter;
    std::unique_ptr<QSignalSpy> m_pSpyMsg;
    std::unique_ptr<QSignalSpy> m_pSpyModMsg;
};

QTEST_GUILESS_MAIN(tst_CLS_BurnPresenter)
#include "tst_CLS_BurnPresenter.moc"
