// burnhost as the video-management host runs it: over WebSocket with real clients,
// ended by SIGTERM, and refusing bad options. Over standard streams, with whole jobs
// and bad input: tests/simulators.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

namespace
{
constexpr int n_TimeoutMs = 20000;

QString ApplyBurn(const QString& _qstrJobId, const QString& _qstrSender, const QString& _qstrTimestamp)
{
    const QJsonObject qjsonParam{{"JobId", _qstrJobId}, {"BurnDev", 2}, {"CopyCount", 1}};
    const QJsonObject qjsonMsg{{"token", "tok-" + _qstrSender}, {"platform", "test"}, {"sender", _qstrSender},
                               {"msgId", "m-" + _qstrJobId}, {"cmdtype", "request"}, {"timestamp", _qstrTimestamp},
                               {"param", QJsonObject{{"cmd", "ApplyBurn"}, {"ret", 0}, {"param", qjsonParam}}}};
    return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
}

// The job of an ApplyBurnReply "send" message; empty for any other message.
QString ReplyJobId(const QJsonObject& _qjsonMsg)
{
    const QJsonObject qjsonModule = _qjsonMsg.value("param").toObject().value("param").toObject();
    if (_qjsonMsg.value("cmdtype").toString() != "send" || qjsonModule.value("cmd").toString() != "ApplyBurnReply")
        return QString();
    return qjsonModule.value("param").toObject().value("JobId").toString();
}

// The job store's acknowledgement flag of the job's ApplyBurnReply; -2 when there is no such row.
int AckReceive(const QString& _qstrStore, const QString& _qstrJobId)
{
    int iAck = -2;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        qsqlDb.setDatabaseName(_qstrStore);
        QSqlQuery qsqlQuery(qsqlDb);
        if (qsqlDb.open()
            && qsqlQuery.prepare("SELECT ack_receive FROM job_item_table WHERE jobid=? AND burn_cmd='ApplyBurnReply'")) {
            qsqlQuery.addBindValue(_qstrJobId);
            if (qsqlQuery.exec() && qsqlQuery.next())
                iAck = qsqlQuery.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return iAck;
}

// The first message the spy caught, or catches before the deadline, that satisfies the test.
template <typename Match>
QJsonObject WaitForMessage(QSignalSpy& _spy, Match _fnMatch)
{
    for (QDeadlineTimer deadline(n_TimeoutMs); !deadline.hasExpired(); _spy.wait(100)) {
        for (const QList<QVariant>& qlstArgs : qAsConst(_spy)) {
            const QJsonObject qjsonMsg = QJsonDocument::fromJson(qlstArgs.at(0).toString().toUtf8()).object();
            if (_fnMatch(qjsonMsg))
                return qjsonMsg;
        }
    }
    return QJsonObject();
}
}  // namespace

class tst_burnhost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        m_qproc.kill();
        m_qproc.waitForFinished(5000);
    }

    // Replies go to the client that asked; a "send" message is recorded delivered when
    // the client acknowledges it, and timed out when it does not.
    void webSocketClients()
    {
        QTemporaryDir qtmpDir;
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("TMPDIR"), qtmpDir.path());
        qenv.insert(QStringLiteral("BURNMODULE_PUBLISHER_ROOT"), qtmpDir.filePath(QStringLiteral("pub")));
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/burnhost"),
                      {"--listen", "127.0.0.1:0", "--ack-timeout", "1", "--data-dir", qtmpDir.path()});
        QString qstrErr;
        const QRegularExpression qregexUrl(QStringLiteral("listening on (ws://127.0.0.1:\\d+)\n"));
        QTRY_VERIFY_WITH_TIMEOUT(qregexUrl.match(qstrErr += m_qproc.readAllStandardError()).hasMatch(), n_TimeoutMs);
        const QUrl qurl(qregexUrl.match(qstrErr).captured(1));
        QWebSocket qwsAlice;
        QWebSocket qwsBob;
        QSignalSpy spyAlice(&qwsAlice, &QWebSocket::textMessageReceived);
        QSignalSpy spyBob(&qwsBob, &QWebSocket::textMessageReceived);
        for (QWebSocket* pClient : {&qwsAlice, &qwsBob}) {
            QSignalSpy spyConnected(pClient, &QWebSocket::connected);
            pClient->open(qurl);
            QVERIFY(spyConnected.wait(n_TimeoutMs));
        }
        qwsBob.sendTextMessage(ApplyBurn("B0", "bob", "1700000000000"));
        qwsAlice.sendTextMessage(ApplyBurn("W1", "alice", "1700000000001"));
        const QJsonObject qjsonReceipt = WaitForMessage(spyAlice, [](const QJsonObject& _qjson) {
            return _qjson.value("cmdtype").toString() == QLatin1String("ack");
        });
        QCOMPARE(qjsonReceipt.value("param").toObject().value("action").toString(), QStringLiteral("ApplyBurn"));
        const QJsonObject qjsonSend = WaitForMessage(spyAlice, [](const QJsonObject& _qjson) {
            return ReplyJobId(_qjson) == QLatin1String("W1");
        });
        QCOMPARE(qjsonSend.value("clientlist").toArray(), QJsonArray{"alice"});
        const QJsonObject qjsonAck{{"cmdtype", "ack"}, {"msgId", qjsonSend.value("msgId")},
                                   {"timestamp", qjsonSend.value("timestamp")}};
        qwsAlice.sendTextMessage(QString::fromUtf8(QJsonDocument(qjsonAck).toJson()));
        const QString qstrStore = qtmpDir.filePath(QStringLiteral("burnmodule.db"));
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "W1"), 1, n_TimeoutMs);

        // Bob gets only his own reply, and leaves it unacknowledged.
        QVERIFY(!WaitForMessage(spyBob, [](const QJsonObject& _qjson) { return ReplyJobId(_qjson) == "B0"; }).isEmpty());
        for (const QList<QVariant>& qlstArgs : qAsConst(spyBob))
            QVERIFY(!qlstArgs.at(0).toString().contains(QLatin1String("W1")));
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "B0"), 0, n_TimeoutMs);

        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(n_TimeoutMs));
        QCOMPARE(m_qproc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_qproc.exitCode(), 0);
    }

    void refusesBadOptions()
    {
        for (const QStringList& qstrlstArgs : {QStringList{}, QStringList{"--stdio", "--listen", "1"},
                                               QStringList{"--listen", "nonsense:port"}}) {
            m_qproc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/burnhost"), qstrlstArgs);
            QVERIFY(m_qproc.waitForFinished(n_TimeoutMs));
            QCOMPARE(m_qproc.exitCode(), 2);
        }
    }

private:
    QProcess m_qproc;
};

QTEST_GUILESS_MAIN(tst_burnhost)
#include "tst_burnhost.moc"
