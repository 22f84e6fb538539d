// burnhost as the video-management host runs it: over WebSocket with real clients (run
// with its module from a folder without the platform library), over standard streams,
// ended by SIGTERM. Whole jobs: tests/simulators.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

namespace
{
constexpr int n_TimeoutMs = 20000;

// A timestamped ApplyBurn of the sender; every client here shares one token and one msgId.
QString ApplyBurn(const QString& _qstrJobId, const QString& _qstrSender, const QString& _qstrTimestamp)
{
    const QJsonObject qjsonParam{{"JobId", _qstrJobId}, {"BurnDev", 2}, {"CopyCount", 1}};
    const QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "test"}, {"sender", _qstrSender},
                               {"msgId", "m-1"}, {"cmdtype", "request"}, {"timestamp", _qstrTimestamp},
                               {"param", QJsonObject{{"cmd", "ApplyBurn"}, {"ret", 0}, {"param", qjsonParam}}}};
    return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
}

// The "send" message among those the client got that carries the job's ApplyBurnReply.
QJsonObject ReplySent(const QSignalSpy& _spy, const QString& _qstrJobId)
{
    for (const QList<QVariant>& qlstArgs : _spy) {
        const QJsonObject qjsonMsg = QJsonDocument::fromJson(qlstArgs.at(0).toString().toUtf8()).object();
        const QJsonObject qjsonModule = qjsonMsg.value("param").toObject().value("param").toObject();
        if (qjsonMsg.value("cmdtype") == "send" && qjsonModule.value("cmd") == "ApplyBurnReply"
            && qjsonModule.value("param").toObject().value("JobId") == _qstrJobId)
            return qjsonMsg;
    }
    return QJsonObject();
}

// The job store's acknowledgement flag of the job's ApplyBurnReply; -2 when there is no such row.
int AckReceive(const QString& _qstrStore, const QString& _qstrJobId)
{
    QSqlDatabase qsqlDb = QSqlDatabase::contains("inspect") ? QSqlDatabase::database("inspect")
                                                            : QSqlDatabase::addDatabase("QSQLITE", "inspect");
    qsqlDb.setDatabaseName(_qstrStore);
    QSqlQuery qsqlQuery(qsqlDb);
    const QString qstrSql = "SELECT ack_receive FROM job_item_table WHERE burn_cmd='ApplyBurnReply' AND jobid='%1'";
    if (!qsqlDb.open() || !qsqlQuery.exec(qstrSql.arg(_qstrJobId)))
        return -2;
    return qsqlQuery.next() ? qsqlQuery.value(0).toInt() : -2;
}
}  // namespace

class tst_burnhost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("TMPDIR"), m_qtmpDir.path());
        qenv.insert(QStringLiteral("BURNMODULE_PUBLISHER_ROOT"), m_qtmpDir.filePath(QStringLiteral("pub")));
        m_qproc.setProcessEnvironment(qenv);
    }
    void cleanup()
    {
        m_qproc.kill();
        m_qproc.waitForFinished(5000);
    }

    // A reply goes only to the client it names, even among clients of one token; a "send"
    // message is recorded delivered when its client acknowledges it, and timed out after
    // --ack-timeout seconds when it does not. Init tells that the platform library is
    // missing, and the module works on without a log folder.
    void webSocketClients()
    {
        const QString qstrAppDir = m_qtmpDir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(qstrAppDir));
        for (const char* szFile : {"/burnhost", "/libBurnModule.so"})
            QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + szFile, qstrAppDir + szFile));
        m_qproc.start(qstrAppDir + "/burnhost",
                      {"--listen", "127.0.0.1:0", "--ack-timeout", "3", "--data-dir", qstrAppDir});
        QString qstrErr;
        const QRegularExpression qregexUrl(QStringLiteral("listening on (ws://127.0.0.1:\\d+)\n"));
        QTRY_VERIFY_WITH_TIMEOUT(qregexUrl.match(qstrErr += m_qproc.readAllStandardError()).hasMatch(), n_TimeoutMs);
        QVERIFY2(qstrErr.contains("!libos_init--"), qPrintable(qstrErr));
        QWebSocket qwsAlice;
        QWebSocket qwsBob;
        QSignalSpy spyAlice(&qwsAlice, &QWebSocket::textMessageReceived);
        QSignalSpy spyBob(&qwsBob, &QWebSocket::textMessageReceived);
        for (QWebSocket* pClient : {&qwsAlice, &qwsBob}) {
            QSignalSpy spyConnected(pClient, &QWebSocket::connected);
            pClient->open(QUrl(qregexUrl.match(qstrErr).captured(1)));
            QVERIFY(spyConnected.wait(n_TimeoutMs));
        }
        // Both replies wait for their acknowledgement under one msgId, told apart by time stamp.
        qwsAlice.sendTextMessage(ApplyBurn("W1", "alice", "1700000000000"));
        QTRY_VERIFY_WITH_TIMEOUT(!ReplySent(spyAlice, "W1").isEmpty(), n_TimeoutMs);
        qwsBob.sendTextMessage(ApplyBurn("B0", "bob", "1700000000001"));
        QTRY_VERIFY_WITH_TIMEOUT(!ReplySent(spyBob, "B0").isEmpty(), n_TimeoutMs);
        const QJsonObject qjsonSend = ReplySent(spyAlice, "W1");
        QCOMPARE(qjsonSend.value("clientlist").toArray(), QJsonArray{"alice"});
        const QJsonObject qjsonAck{{"cmdtype", "ack"}, {"msgId", qjsonSend.value("msgId")},
                                   {"timestamp", qjsonSend.value("timestamp")}};
        qwsAlice.sendTextMessage(QString::fromUtf8(QJsonDocument(qjsonAck).toJson()));
        const QString qstrStore = qstrAppDir + QStringLiteral("/burnmodule.db");
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "W1"), 1, n_TimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "B0"), 0, 12000);  // Bob does not acknowledge
        QVERIFY(ReplySent(spyBob, "W1").isEmpty());
        QVERIFY(ReplySent(spyAlice, "B0").isEmpty());
        StopHost();
        QVERIFY(!QFileInfo::exists(qstrAppDir + QStringLiteral("/Log")));
    }

    // A last line without a line end still counts; a request with "code" and "data" of
    // other types is taken as it is; the reply to a timestamped request is a "send" message.
    void standardStreams()
    {
        m_qproc.start(QCoreApplication::applicationDirPath() + "/burnhost",
                      {"--stdio", "--data-dir", m_qtmpDir.path()});
        QJsonObject qjsonRequest = QJsonDocument::fromJson(ApplyBurn("S1", "cli", "1700000000000").toUtf8()).object();
        qjsonRequest.insert("code", 17);
        qjsonRequest.insert("data", 5);
        m_qproc.write(QJsonDocument(qjsonRequest).toJson(QJsonDocument::Compact));
        m_qproc.closeWriteChannel();
        QByteArray qbaOut;
        QTRY_VERIFY_WITH_TIMEOUT((qbaOut += m_qproc.readAllStandardOutput()).contains("ApplyBurnReply"), n_TimeoutMs);
        QVERIFY2(qbaOut.contains("{\"code\":10110,\"data\":\"{\\\"clientlist\\\":[\\\"cli\\\"]"), qbaOut.constData());
        QVERIFY(qbaOut.contains("\"signal\":\"SignMODSendMsgWithWebSocket\"}"));
        StopHost();
    }

private:
    void StopHost()  // by SIGTERM, cleanly
    {
        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(n_TimeoutMs));
        QCOMPARE(m_qproc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_qproc.exitCode(), 0);
    }

    QTemporaryDir m_qtmpDir;
    QProcess m_qproc;
};

QTEST_GUILESS_MAIN(tst_burnhost)
#include "tst_burnhost.moc"
