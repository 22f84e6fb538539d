// burnhost as a person or the video-management host runs it: over standard streams
// and over WebSocket with real clients, with bad input, and stopped by a signal.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

#include <csignal>

namespace
{
constexpr int n_ReplyTimeoutMs = 20000;

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QJsonObject Obj(const QString& _qstrText)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8()).object();
}

QString Request(const QString& _qstrCmd, const QString& _qstrJobId, const QString& _qstrMsgId,
                const QString& _qstrSender, QJsonObject _qjsonParam = {}, const QString& _qstrTimestamp = QString())
{
    _qjsonParam.insert(QStringLiteral("JobId"), _qstrJobId);
    QJsonObject qjsonMsg{{"token", "tok-" + _qstrSender}, {"platform", "test"}, {"sender", _qstrSender},
                         {"msgId", _qstrMsgId}, {"cmdtype", "request"},
                         {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
    if (!_qstrTimestamp.isEmpty())
        qjsonMsg.insert(QStringLiteral("timestamp"), _qstrTimestamp);
    return Text(qjsonMsg);
}

QJsonObject ApplyParams()
{
    return QJsonObject{{"BurnDev", 2}, {"CopyCount", 1}};
}

// The module message of an outgoing message: {"cmd": ..., "param": {...}}, inside a
// "send" message one level deeper.
QJsonObject ModuleMessage(const QJsonObject& _qjsonOut)
{
    const QJsonObject qjsonParam = _qjsonOut.value("param").toObject();
    if (_qjsonOut.value("cmdtype").toString() == QLatin1String("send"))
        return qjsonParam.value("param").toObject();
    return qjsonParam;
}

int AckReceive(const QString& _qstrStore, const QString& _qstrJobId, const QString& _qstrCmd)
{
    int iAck = -2;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("inspect"));
        qsqlDb.setDatabaseName(_qstrStore);
        QSqlQuery qsqlQuery(qsqlDb);
        if (qsqlDb.open()
            && qsqlQuery.prepare(QStringLiteral("SELECT ack_receive FROM job_item_table WHERE jobid=? AND burn_cmd=?"))) {
            qsqlQuery.addBindValue(_qstrJobId);
            qsqlQuery.addBindValue(_qstrCmd);
            if (qsqlQuery.exec() && qsqlQuery.next())
                iAck = qsqlQuery.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("inspect"));
    return iAck;
}
}  // namespace

class tst_burnhost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pTmpDir->isValid());
        m_qstrDataDir = m_pTmpDir->filePath(QStringLiteral("data"));
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("TMPDIR"), m_pTmpDir->path());
        qenv.insert(QStringLiteral("BURNMODULE_PUBLISHER_ROOT"), m_pTmpDir->filePath(QStringLiteral("pub")));
        m_qproc.setProcessEnvironment(qenv);
        m_qbaOut.clear();
        m_qbaErr.clear();
    }

    void cleanup()
    {
        if (m_qproc.state() != QProcess::NotRunning) {
            m_qproc.kill();
            m_qproc.waitForFinished(5000);
        }
    }

    // One job step over standard streams: the acknowledgement, then the reply, as
    // JSON lines and nothing else.
    void stdioRequestAndReply()
    {
        StartHost({QStringLiteral("--stdio")});
        WriteLine(Request("ApplyBurn", "S1", "m1", "cli", ApplyParams()).toUtf8());
        const QJsonObject qjsonReply = WaitForLine("ApplyBurnReply", "S1");
        QCOMPARE(qjsonReply.value("param").toObject().value("param").toObject().value("ret").toInt(), 0);
        for (const QByteArray& qbaLine : m_qbaOut.split('\n')) {
            if (qbaLine.isEmpty())
                continue;
            const QJsonObject qjsonLine = QJsonDocument::fromJson(qbaLine).object();
            QCOMPARE(qjsonLine.keys(), (QStringList{"code", "data", "signal"}));
            QCOMPARE(qjsonLine.value("signal").toString(), QStringLiteral("SignSendMsgWithWebSocket"));
            QCOMPARE(qjsonLine.value("code").toInt(), 10110);
        }
        QVERIFY(QFile::exists(m_qstrDataDir + QStringLiteral("/BurnJob/S1/ApplyBurn")));
        StopHost();
    }

    // Bad input is refused or dropped, the host keeps answering, nothing leaves the data folder.
    void stdioBadInput()
    {
        StartHost({QStringLiteral("--stdio")});
        WriteLine("this is not json");
        WriteLine("[1,2,3]");
        WriteLine(R"({"msgId":5,"param":{"cmd":7,"param":"x"}})");
        WriteLine(R"({"code":"17","data":5})");
        WriteLine(Request("StartBurn", "H1", "big", "cli", QJsonObject{{"CDTitle", QString(10 << 20, 'a')}}).toUtf8());
        WriteLine(Request("ApplyBurn", "../../x", "esc", "cli", ApplyParams()).toUtf8());
        const QJsonObject qjsonEscape = WaitForLine("ApplyBurnReply", "../../x").value("param").toObject();
        QVERIFY(qjsonEscape.value("param").toObject().value("ret").toInt() != 0);
        QVERIFY(!qjsonEscape.value("param").toObject().value("errMsg").toString().isEmpty());
        const QJsonObject qjsonHuge = WaitForLine("StartBurnReply", "H1").value("param").toObject();
        QCOMPARE(qjsonHuge.value("param").toObject().value("ret").toInt(), -5);

        WriteLine(Request("ApplyBurn", "OK1", "m2", "cli", ApplyParams()).toUtf8());
        WaitForLine("ApplyBurnReply", "OK1");
        QCOMPARE(m_qproc.state(), QProcess::Running);
        const QStringList lstTop = QDir(m_pTmpDir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& qstrEntry : lstTop)
            QVERIFY2(QStringList({"data", "pub", "BurnFileTemp"}).contains(qstrEntry), qPrintable(qstrEntry));
        QVERIFY(!QFile::exists(m_pTmpDir->filePath(QStringLiteral("x"))));
        StopHost();
    }

    // WebSocket: replies go to the client that asked; a "send" message is reported
    // delivered when the client acknowledges it and timed out when it does not.
    void webSocketClients()
    {
        StartHost({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--ack-timeout"),
                   QStringLiteral("1")});
        const QUrl qurl(QStringLiteral("ws://127.0.0.1:%1").arg(ListeningPort()));
        QWebSocket qwsAlice, qwsBob;
        QSignalSpy spyAlice(&qwsAlice, &QWebSocket::textMessageReceived);
        QSignalSpy spyBob(&qwsBob, &QWebSocket::textMessageReceived);
        for (QWebSocket* pClient : {&qwsAlice, &qwsBob}) {
            QSignalSpy spyConnected(pClient, &QWebSocket::connected);
            pClient->open(qurl);
            QVERIFY(spyConnected.wait(n_ReplyTimeoutMs));
        }
        qwsBob.sendTextMessage(Request("ApplyBurn", "B0", "hello", "bob", ApplyParams()));

        // Alice: a timestamped ApplyBurn, then she acknowledges the reply.
        qwsAlice.sendTextMessage(Request("ApplyBurn", "W1", "a-1", "alice", ApplyParams(), "1700000000000"));
        const QJsonObject qjsonReceipt = WaitForMessage(spyAlice, [](const QJsonObject& _qjson) {
            return _qjson.value("cmdtype").toString() == QLatin1String("ack");
        });
        QCOMPARE(qjsonReceipt.value("param").toObject().value("action").toString(), QStringLiteral("ApplyBurn"));
        const QJsonObject qjsonSend = WaitForMessage(spyAlice, [](const QJsonObject& _qjson) {
            return ModuleMessage(_qjson).value("cmd").toString() == QLatin1String("ApplyBurnReply");
        });
        QCOMPARE(qjsonSend.value("clientlist").toArray(), QJsonArray{"alice"});
        QJsonObject qjsonAck{{"cmdtype", "ack"}, {"msgId", qjsonSend.value("msgId")},
                             {"timestamp", qjsonSend.value("timestamp")}};
        qwsAlice.sendTextMessage(Text(qjsonAck));
        const QString qstrStore = m_qstrDataDir + QStringLiteral("/burnmodule.db");
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "W1", "ApplyBurnReply"), 1, n_ReplyTimeoutMs);

        // Bob gets only his own reply; a send nobody acknowledges times out.
        WaitForMessage(spyBob, [](const QJsonObject& _qjson) {
            return ModuleMessage(_qjson).value("cmd").toString() == QLatin1String("ApplyBurnReply");
        });
        for (const QList<QVariant>& lstArgs : spyBob)
            QVERIFY(!lstArgs.at(0).toString().contains(QLatin1String("W1")));
        qwsBob.sendTextMessage(Request("ApplyBurn", "W2", "b-1", "bob", ApplyParams(), "1700000000001"));
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "W2", "ApplyBurnReply"), 0, n_ReplyTimeoutMs);
        StopHost();
    }

    void stopsOnSignal()
    {
        StartHost({QStringLiteral("--stdio")});
        QVERIFY(!WaitForError("burnhost: ready").isEmpty());
        ::kill(static_cast<pid_t>(m_qproc.processId()), SIGTERM);
        QVERIFY(m_qproc.waitForFinished(20000));
        QCOMPARE(m_qproc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_qproc.exitCode(), 0);
    }

    void refusesBadOptions()
    {
        for (const QStringList& lstArgs : {QStringList{}, QStringList{"--stdio", "--listen", "1"},
                                           QStringList{"--listen", "nonsense:port"}}) {
            m_qproc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/burnhost"), lstArgs);
            QVERIFY(m_qproc.waitForFinished(20000));
            QCOMPARE(m_qproc.exitCode(), 2);
        }
    }

private:
    void StartHost(QStringList _lstArgs)
    {
        _lstArgs << QStringLiteral("--data-dir") << m_qstrDataDir;
        m_qproc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/burnhost"), _lstArgs);
        QVERIFY(m_qproc.waitForStarted(20000));
    }

    void StopHost()
    {
        m_qproc.closeWriteChannel();
        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(20000));
        QCOMPARE(m_qproc.exitCode(), 0);
    }

    void WriteLine(const QByteArray& _qbaLine)
    {
        m_qproc.write(_qbaLine + '\n');
    }

    // Waits for a line on standard error that starts with the text; its remainder.
    QByteArray WaitForError(const QByteArray& _qbaStart)
    {
        QDeadlineTimer deadline(n_ReplyTimeoutMs);
        while (!deadline.hasExpired()) {
            m_qproc.waitForReadyRead(100);
            m_qbaErr += m_qproc.readAllStandardError();
            const int iAt = m_qbaErr.indexOf(_qbaStart);
            const int iEnd = m_qbaErr.indexOf('\n', iAt);
            if (iAt >= 0 && iEnd > iAt)
                return m_qbaErr.mid(iAt + _qbaStart.size(), iEnd - iAt - _qbaStart.size()) + ' ';
        }
        return QByteArray();
    }

    quint16 ListeningPort()
    {
        return static_cast<quint16>(WaitForError("listening on ws://127.0.0.1:").trimmed().toUInt());
    }

    // Waits for the stdio line carrying the reply command for the job.
    QJsonObject WaitForLine(const char* _szReplyCmd, const char* _szJobId)
    {
        QDeadlineTimer deadline(n_ReplyTimeoutMs);
        int iScanned = 0;
        while (!deadline.hasExpired()) {
            m_qproc.waitForReadyRead(100);
            m_qbaOut += m_qproc.readAllStandardOutput();
            const QList<QByteArray> lstLines = m_qbaOut.split('\n');
            for (; iScanned < lstLines.size() - 1; ++iScanned) {
                const QJsonObject qjsonOut = Obj(Obj(QString::fromUtf8(lstLines.at(iScanned))).value("data").toString());
                const QJsonObject qjsonModule = ModuleMessage(qjsonOut);
                if (qjsonModule.value("cmd").toString() == QLatin1String(_szReplyCmd)
                    && qjsonModule.value("param").toObject().value("JobId").toString() == QLatin1String(_szJobId))
                    return qjsonOut;
            }
        }
        QTest::qFail(qPrintable(QStringLiteral("no %1 for %2").arg(_szReplyCmd, _szJobId)), __FILE__, __LINE__);
        return QJsonObject();
    }

    template <typename Match>
    QJsonObject WaitForMessage(QSignalSpy& _spy, Match _fnMatch)
    {
        QDeadlineTimer deadline(n_ReplyTimeoutMs);
        for (int iSeen = 0; !deadline.hasExpired(); _spy.wait(100)) {
            for (; iSeen < _spy.count(); ++iSeen) {
                const QJsonObject qjsonMsg = Obj(_spy.at(iSeen).at(0).toString());
                if (_fnMatch(qjsonMsg))
                    return qjsonMsg;
            }
        }
        QTest::qFail("no matching message", __FILE__, __LINE__);
        return QJsonObject();
    }

    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrDataDir;
    QProcess m_qproc;
    QByteArray m_qbaOut;
    QByteArray m_qbaErr;
};

QTEST_GUILESS_MAIN(tst_burnhost)
#include "tst_burnhost.moc"
