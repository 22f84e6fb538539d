// burnhost as the video-management host runs it, ended by SIGTERM: over WebSocket with real
// clients (its module run from a folder without the platform library), and over standard
// streams a whole job on the machine's own drives (kind 0) burning into an image-file drive
// read back with xorriso. Publisher jobs with the simulator: tests/source/AutoBurnPublisher.
#include <QtTest>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

#include "CLS_StdioHost.h"
#include "TestFiles.h"

namespace
{
constexpr int n_TimeoutMs = 20000;

// A request of the acknowledged protocol (it has a time stamp); every client here shares
// one token, and the msgId names the command.
QJsonObject Request(const QString& _qstrCmd, const QJsonObject& _qjsonParam, const QString& _qstrSender,
                    const QString& _qstrTimestamp)
{
    return {{"token", "tok"}, {"platform", "test"}, {"sender", _qstrSender}, {"cmdtype", "request"},
            {"msgId", "m-" + _qstrCmd}, {"timestamp", _qstrTimestamp},
            {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
}

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

// The ApplyBurn of a publisher job (kind 2).
QString ApplyBurn(const QString& _qstrJobId, const QString& _qstrSender, const QString& _qstrTimestamp)
{
    return Text(Request("ApplyBurn", {{"JobId", _qstrJobId}, {"BurnDev", 2}, {"CopyCount", 1}}, _qstrSender,
                        _qstrTimestamp));
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

    QString MakeAppDir(const QString& _qstrName, const QStringList& _qlstFiles)
    {
        return CLS_StdioHost::MakeAppDir(m_qtmpDir.filePath(_qstrName), _qlstFiles);
    }
    // The module's reply in the first "send" message of the command on standard output.
    QJsonObject WaitForStdioReply(const QString& _qstrReplyCmd)
    {
        QJsonObject qjsonFound;
        static_cast<void>(QTest::qWaitFor([&] {
            m_qbaOut += m_qproc.readAllStandardOutput();
            for (const QByteArray& qbaLine : m_qbaOut.split('\n')) {
                const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
                const QJsonObject qjsonSend = QJsonDocument::fromJson(qstrData.toUtf8()).object();
                const QJsonObject qjsonModule = qjsonSend["param"].toObject()["param"].toObject();
                if (qjsonFound.isEmpty() && qjsonModule.value("cmd") == _qstrReplyCmd)
                    qjsonFound = qjsonModule.value("param").toObject();
            }
            return !qjsonFound.isEmpty();
        }, n_TimeoutMs * 3));
        return qjsonFound;
    }
    // The "param" of every message of that cmdtype on standard output so far, in order.
    QList<QJsonObject> StdioParams(const QString& _qstrCmdType)
    {
        m_qbaOut += m_qproc.readAllStandardOutput();
        QList<QJsonObject> qlstParams;
        for (const QByteArray& qbaLine : m_qbaOut.split('\n')) {
            const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
            const QJsonObject qjsonData = QJsonDocument::fromJson(qstrData.toUtf8()).object();
            if (qjsonData.value("cmdtype") == _qstrCmdType)
                qlstParams << qjsonData.value("param").toObject();
        }
        return qlstParams;
    }
private Q_SLOTS:
    void cleanup()
    {
        m_qproc.kill();
        m_qproc.waitForFinished(5000);
        m_qbaOut.clear();
    }

    // A reply goes only to the client it names, even among clients of one token; a "send"
    // message is recorded delivered when its client acknowledges it, and timed out after
    // --ack-timeout seconds when it does not. Init tells that the platform library is
    // missing, and the module works on without a log folder.
    void webSocketClients()
    {
        const QString qstrAppDir = MakeAppDir("app", {"/burnhost", "/libBurnModule.so"});
        QVERIFY(!qstrAppDir.isEmpty());
        qputenv("TMPDIR", QFile::encodeName(m_qtmpDir.path()));
        qputenv("BURNMODULE_PUBLISHER_ROOT", QFile::encodeName(m_qtmpDir.filePath("pub")));
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
        qwsAlice.sendTextMessage(Text(qjsonAck));
        const QString qstrStore = qstrAppDir + QStringLiteral("/burnmodule.db");
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "W1"), 1, n_TimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(AckReceive(qstrStore, "B0"), 0, 12000);  // Bob does not acknowledge
        QVERIFY(ReplySent(spyAlice, "B0").isEmpty());
        StopHost();
        QVERIFY(!QFileInfo::exists(qstrAppDir + QStringLiteral("/Log")));
    }

    // ApplyBurn to the final BurnStatusReply, each reply a "send" message; the image holds
    // the files under their names (nested folders, Chinese names) with their sizes and MD5s,
    // and the title as volume id. The operator dialog closes by itself after the countdown
    // set; the last request, without a line end, still counts. Failed burns:
    // tests/source/LocalCDRom, tests/platform/ioctrl.
    void localDriveJob()
    {
        const QString qstrRun = m_qtmpDir.filePath("local");
        const QString qstrAppDir = MakeAppDir("local/app",
                                              {"/burnhost", "/libBurnModule.so", "/win32_libos.dll", "/BurnSdkIOCTL.dll",
                                               "/alivemsg.dll", "/MessageBox_Kv/skinTwo/MessageBox.qss"});
        QVERIFY(!qstrAppDir.isEmpty());
        const QString qstrSrc = qstrRun + "/src/";
        const QByteArray qbaVideo(300000, 'v');
        QVERIFY(WriteTestFile(qstrSrc + "video.mp4", qbaVideo));
        QVERIFY(WriteTestFile(qstrSrc + "案卷/证据/清单.txt", "一、现场照片\n"));
        const QString qstrDriveDir = qstrRun + "/drive";
        QVERIFY(QDir().mkpath(qstrDriveDir));
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("BURNMODULE_LOCAL_DRIVES", "stdio:" + qstrDriveDir + "/disc.iso");
        qenv.insert("BURNMODULE_SCAN_DRIVES", "0");
        qenv.insert("BURNMODULE_OPERATOR_TIMEOUT", "1");
        qenv.insert("BURNMODULE_PSEUDO_DISC_MIB", "100");
        qenv.insert("BURNMODULE_TIME_SCALE", "0.05");
        qenv.insert("TMPDIR", qstrRun);
        qenv.remove("DISPLAY");
        qenv.remove("QT_QPA_PLATFORM");
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.start(qstrAppDir + "/burnhost", {"--stdio", "--data-dir", qstrRun + "/data"});
        m_qproc.write(JobLine("ApplyBurn", {{"BurnDev", 0}, {"CopyCount", 1}}));
        QCOMPARE(WaitForStdioReply("ApplyBurnReply").value("ret").toInt(-1), 0);  // -1: no reply
        QVERIFY2(m_qbaOut.contains("{\"code\":10110,\"data\":\"{\\\"clientlist\\\":[\\\"cli\\\"]"),
                 m_qbaOut.constData());
        QVERIFY(m_qbaOut.contains("\"signal\":\"SignMODSendMsgWithWebSocket\"}"));
        m_qproc.write(JobLine("StartBurn", {{"CDType", "DVD"}, {"CDTitle", "CASE_42"}}));
        QCOMPARE(WaitForStdioReply("StartBurnReply").value("ret").toInt(-1), 0);
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrSrc + "video.mp4"}, {"DesFile", "/视频/video.mp4"}},
                                    QJsonObject{{"srcFile", qstrSrc + "案卷"}, {"DesFile", "/案卷"}}};
        m_qproc.write(JobLine("AddFile", {{"FileList", qjsonFiles}}));
        QCOMPARE(WaitForStdioReply("AddFileReply").value("ret").toInt(-1), 0);
        m_qproc.write(JobLine("DoBurn", {}).trimmed());
        m_qproc.closeWriteChannel();
        QCOMPARE(WaitForStdioReply("DoBurnReply").value("ret").toInt(-1), 0);
        const QJsonObject qjsonFinal = WaitForStdioReply("BurnStatusReply");
        QCOMPARE(qjsonFinal.value("status").toInt(), 3);
        QCOMPARE(qjsonFinal.value("errMsg").toString(), QString());
        StopHost();
        QProcess xorriso;
        xorriso.start("xorriso", {"-indev", qstrDriveDir + "/disc.iso", "-pvd_info", "-find", "/", "-type", "f",
                                  "-exec", "lsdl", "--", "-osirrox", "on", "-extract", "/", qstrRun + "/out"});
        QVERIFY(xorriso.waitForFinished(n_TimeoutMs * 3));
        const QString qstrSeen = QString::fromUtf8(xorriso.readAllStandardOutput());
        QVERIFY2(qstrSeen.contains("Volume Id    : CASE_42"), qPrintable(qstrSeen));
        QVERIFY2(qstrSeen.contains(QRegularExpression(" 300000 .* '/视频/video.mp4'")), qPrintable(qstrSeen));
        QVERIFY2(qstrSeen.contains(QRegularExpression(" 19 .* '/案卷/证据/清单.txt'")), qPrintable(qstrSeen));
        QFile qfileRead(qstrRun + "/out/视频/video.mp4");
        QVERIFY(qfileRead.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(qfileRead.readAll(), QCryptographicHash::Md5),
                 QCryptographicHash::hash(qbaVideo, QCryptographicHash::Md5));
    }

    // Hostile requests of every command, each after a publisher job "K" is registered: 10 MB
    // of text where a list belongs, texts and numbers swapped, 100000 levels of nesting, a
    // NUL byte, bytes that are no UTF-8. A command with a reply answers with an error; a
    // text that is no request is dropped with a log line; the host answers the next request
    // every time.
    void hostileRequests_data()
    {
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<QString>("replyCmd");  // empty: the command has no reply
        QTest::addColumn<QString>("logLine");   // of a dropped text: module log or standard error
        const QList<std::tuple<const char*, QByteArray, const char*>> qlstPayloads{
            {"10 MB text list", "{\"JobId\":\"K\",\"FileList\":\"" + QByteArray(10 << 20, 'x') + "\"}", nullptr},
            {"texts for numbers", "{\"JobId\":\"K\",\"BurnDev\":\"2\",\"CopyCount\":\"many\",\"CDType\":7}", nullptr},
            {"number for job id", "{\"JobId\":5}", nullptr},
            {"100000 levels", QByteArray(100000, '[') + QByteArray(100000, ']'), "qjsonOdc is Error"},
            {"NUL byte", QByteArray("{\"JobId\":\"K\",\"CDTitle\":\"a\0b\"}", 29), "qjsonOdc is Error"},
            {"not UTF-8", "{\"JobId\":\"K\",\"CDTitle\":\"\xff\xfe\"}", "not UTF-8"}};
        for (const auto& [szPayload, qbaParam, szLogLine] : qlstPayloads) {
            for (const char* szCmd : {"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn", "BurnDir",
                                      "BurnDevCtrl", "CancelBurn", "BurnStatus"}) {
                const bool blReply = !szLogLine && qstrcmp(szCmd, "CancelBurn") != 0 && qstrcmp(szCmd, "BurnStatus");
                QTest::addRow("%s, %s", szCmd, szPayload)
                    << qbaParam << (blReply ? szCmd + QString("Reply") : QString()) << QString(szLogLine);
            }
        }
        QTest::newRow("ApplyBurn, 65 MB line") << QByteArray(65 << 20, ' ') << QString() << "longer than";
    }
    void hostileRequests()
    {
        QFETCH(QByteArray, param);
        QFETCH(QString, replyCmd);
        QFETCH(QString, logLine);
        QProcess& qproc = m_hostileHost.Process();
        if (qproc.state() != QProcess::Running) {
            qputenv("BURNMODULE_PUBLISHER_ROOT", QFile::encodeName(m_qtmpDir.filePath("hostile/pub")));
            QVERIFY(QDir().mkpath(m_qtmpDir.filePath("hostile")));
            m_hostileHost.Start(m_qtmpDir.filePath("hostile"));
            QCOMPARE(m_hostileHost.Ask("ApplyBurn", "K", {{"BurnDev", 2}, {"CopyCount", 1}}).value("ret").toInt(-1), 0);
        }
        const QByteArray qbaMsgId = "h" + QByteArray::number(++m_iHostileRow);
        const QString qstrCmd = QString(QTest::currentDataTag()).section(',', 0, 0);
        qproc.write("{\"msgId\":\"" + qbaMsgId + "\",\"sender\":\"cli\",\"param\":{\"cmd\":\"" + qstrCmd.toUtf8()
                    + "\",\"param\":" + param + "}}\n");
        // Written out here: an event loop that waits between its turns would pass it on 64 KiB a turn.
        while (qproc.bytesToWrite() > 0 && qproc.waitForBytesWritten(n_TimeoutMs)) {
        }
        QJsonObject qjsonReply;
        QByteArray qbaOut;
        const auto replied = [&] {
            for (const QByteArray& qbaLine : (qbaOut += qproc.readAllStandardOutput()).split('\n')) {
                const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
                const QJsonObject qjsonModule = QJsonDocument::fromJson(qstrData.toUtf8())["param"].toObject();
                if (qjsonModule.value("cmd") == replyCmd)
                    qjsonReply = qjsonModule.value("param").toObject();
            }
            return !qjsonReply.isEmpty();
        };
        if (!replyCmd.isEmpty()) {
            QVERIFY2(QTest::qWaitFor(replied, n_TimeoutMs), qbaOut.constData());
            QVERIFY2(qjsonReply.value("ret").toInt(0) != 0, qPrintable(Text(qjsonReply)));
        }
        const QString qstrProbe = "P" + qbaMsgId;
        QCOMPARE(m_hostileHost.Ask("ApplyBurn", qstrProbe, {{"BurnDev", 99}}).value("JobId").toString(), qstrProbe);
        const QString qstrLogDir = QCoreApplication::applicationDirPath() + "/Log/burnhost/";
        const QString qstrLog = QDir(qstrLogDir).entryList({QString("*_%1.log").arg(qproc.processId())}).value(0);
        const QStringList qlstLines = QString::fromUtf8(ReadTestFile(qstrLogDir + qstrLog)).split('\n');
        const QString qstrSeen = qlstLines.filter("\"" + qbaMsgId + "\"").join('\n') + qproc.readAllStandardError();
        QVERIFY2(qstrSeen.contains(logLine), qPrintable(qstrSeen.left(2000)));
    }

    // The store stops taking writes while a publisher job runs: its disk is full (a file-size
    // limit on the running host, its signal ignored) or its files are made unwritable
    // (immutable, which holds for root too). The job's next request gets a receipt saying it
    // was not recorded, is not run, and the store's failure is logged; once the store is
    // writable again, the request sent again is recorded and run. A large first request makes
    // the store's write-ahead log outgrow the module's log file, so the limit stops the store only.
    void storeUnwritable_data()
    {
        QTest::addColumn<bool>("immutable");
        QTest::addColumn<QByteArray>("logLine");
        QTest::newRow("disk full") << false << QByteArray("fun=CLS_DBOperation::InsertMsgInfo rolled back");
        QTest::newRow("files made unwritable") << true << QByteArray("Fail to BEGIN a transaction. err=[attempt to write");
    }
    void storeUnwritable()
    {
        QFETCH(bool, immutable);
        QFETCH(QByteArray, logLine);
        const QString qstrRun = m_qtmpDir.filePath(QTest::currentDataTag());
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("TMPDIR", qstrRun);
        qenv.insert("BURNMODULE_PUBLISHER_ROOT", qstrRun + "/pub");
        m_qproc.setProcessEnvironment(qenv);
        QVERIFY(QDir().mkpath(qstrRun));
        m_qproc.setWorkingDirectory(qstrRun);
        m_qproc.start("bash", {"-c", "trap '' XFSZ; exec \"$0\" \"$@\"",
                               QCoreApplication::applicationDirPath() + "/burnhost", "--stdio", "--data-dir", qstrRun});
        const QString qstrPad(1 << 20, 'p');
        m_qproc.write(Text(Request("ApplyBurn", {{"JobId", "F"}, {"BurnDev", 2}, {"CopyCount", 1}, {"pad", qstrPad}},
                                   "cli", "1")).toUtf8() + '\n');
        QCOMPARE(WaitForStdioReply("ApplyBurnReply").value("ret").toInt(-1), 0);
        const QString qstrPid = QString::number(m_qproc.processId());
        const QString qstrWal = qstrRun + "/burnmodule.db-wal";
        const auto writable = [&](bool _blWritable) {
            if (immutable)
                return QProcess::execute("chattr", {_blWritable ? "-i" : "+i", qstrRun + "/burnmodule.db", qstrWal});
            // The soft limit only: raising it needs no privilege.
            const QString qstrSize = _blWritable ? "unlimited" : QString::number(QFileInfo(qstrWal).size());
            return QProcess::execute("prlimit", {"--pid", qstrPid, "--fsize=" + qstrSize + ":"});
        };
        auto restore = qScopeGuard([&] { writable(true); });
        if (writable(false) != 0)
            QSKIP("this file system cannot make files unwritable for root");
        const QByteArray qbaStart =
            Text(Request("StartBurn", {{"JobId", "F"}, {"CDType", "DVD"}, {"CDTitle", "T"}}, "cli", "2")).toUtf8();
        m_qproc.write(qbaStart + '\n');
        QTRY_COMPARE_WITH_TIMEOUT(StdioParams("ack").size(), 2, n_TimeoutMs);
        QCOMPARE(StdioParams("ack").last().value("ret").toInt(), -1);
        const QString qstrLogDir = QCoreApplication::applicationDirPath() + "/Log/burnhost/";
        const QString qstrLog = QDir(qstrLogDir).entryList({"*_" + qstrPid + ".log"}).value(0);
        const QByteArray qbaLog = ReadTestFile(qstrLogDir + qstrLog);
        QVERIFY(qbaLog.contains(logLine) && !qbaLog.contains("ROLLBACK"));
        QCOMPARE(writable(true), 0);
        restore.dismiss();
        m_qproc.write(qbaStart + '\n');
        QCOMPARE(WaitForStdioReply("StartBurnReply").value("ret").toInt(-1), 0);
        QCOMPARE(StdioParams("ack").last().value("ret").toInt(-1), 0);
        QCOMPARE(QString(m_qbaOut).count("StartBurnReply"), 1);
        StopHost();
    }

    // The publisher's watched folder is removed, or made read-only (immutable, which holds
    // for root too), while a job waits on pubsim. Removed: the job ends with a final status
    // reply in error that names the folder. Read-only: a new job cannot be handed over and
    // its DoBurn says so. Either way the host serves on.
    void publisherFolderTrouble_data()
    {
        QTest::addColumn<bool>("removed");
        QTest::newRow("removed") << true;
        QTest::newRow("made read-only") << false;
    }
    void publisherFolderTrouble()
    {
        QFETCH(bool, removed);
        const QString qstrRun = m_qtmpDir.filePath(removed ? "gone" : "readonly");
        QProcess qprocSim;
        QCOMPARE(StartSimulator(qprocSim, "pubsim", {"--root", qstrRun + "/pub", "--step-ms", "600000"},
                                "step-ms=(\\d+)"), 600000);
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("TMPDIR", qstrRun);
        qenv.insert("BURNMODULE_PUBLISHER_ROOT", qstrRun + "/pub");
        qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.start(QCoreApplication::applicationDirPath() + "/burnhost", {"--stdio", "--data-dir", qstrRun});
        QVERIFY(WriteTestFile(qstrRun + "/src/a.txt", "a"));
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrRun + "/src/a.txt"}, {"DesFile", "/a.txt"}}};
        const auto runJob = [&](const QByteArray& _qbaJobId) {
            QJsonObject qjsonReply;
            for (const auto& [szCmd, qjsonParam] : QList<QPair<const char*, QJsonObject>>{
                     {"ApplyBurn", {{"BurnDev", 2}, {"CopyCount", 1}}}, {"StartBurn", {{"CDType", "DVD"}}},
                     {"AddFile", {{"FileList", qjsonFiles}}}, {"DoBurn", {}}}) {
                m_qbaOut.clear();
                m_qproc.write(JobLine(szCmd, qjsonParam).replace("\"L1\"", "\"" + _qbaJobId + "\""));
                qjsonReply = WaitForStdioReply(szCmd + QString("Reply"));
            }
            return qjsonReply;  // DoBurn's
        };
        QCOMPARE(runJob("L1").value("ret").toInt(-1), 0);
        QByteArray qbaSim;
        QVERIFY(QTest::qWaitFor([&] { return (qbaSim += qprocSim.readAllStandardOutput()).contains(" L1 1 taken"); },
                                n_TimeoutMs));
        const QString qstrFolder = qstrRun + "/pub/EPSON/TDBridge/Orders";
        if (removed) {
            QVERIFY(QDir(qstrFolder).removeRecursively());
            const QJsonObject qjsonFinal = WaitForStdioReply("BurnStatusReply");
            QCOMPARE(qjsonFinal.value("status").toInt(), 4);
            QVERIFY2(qjsonFinal.value("errMsg").toString().startsWith("[Epson][刻录文件夹不存在]"),
                     qPrintable(Text(qjsonFinal)));
        } else {
            if (QProcess::execute("chattr", {"+i", qstrFolder}) != 0)
                QSKIP("this file system cannot make folders read-only for root");
            const auto restore = qScopeGuard([&] { QProcess::execute("chattr", {"-i", qstrFolder}); });
            const QJsonObject qjsonDoBurn = runJob("L2");
            QCOMPARE(qjsonDoBurn.value("ret").toInt(), -1);
            QCOMPARE(qjsonDoBurn.value("errMsg").toString(), QString("[Epson][copy file fail]L2"));
        }
        m_qbaOut.clear();
        m_qproc.write(JobLine("ApplyBurn", {{"BurnDev", 99}}).replace("\"L1\"", "\"L3\""));
        QCOMPARE(WaitForStdioReply("ApplyBurnReply").value("JobId").toString(), QString("L3"));
        StopHost();
        StopProcess(qprocSim);
    }
private:
    // One line of the kind-0 job "L1" for the host's standard input; its "code" and "data"
    // of other types do not make it a coded request.
    QByteArray JobLine(const QString& _qstrCmd, QJsonObject _qjsonParam)
    {
        _qjsonParam.insert("JobId", "L1");
        QJsonObject qjsonMsg = Request(_qstrCmd, _qjsonParam, "cli", "1700000000000");
        qjsonMsg.insert("code", 17);
        qjsonMsg.insert("data", 5);
        return Text(qjsonMsg).toUtf8() + '\n';
    }
    void StopHost()  // by SIGTERM, cleanly
    {
        m_qproc.terminate();
        QVERIFY(m_qproc.waitForFinished(n_TimeoutMs));
        QCOMPARE(m_qproc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_qproc.exitCode(), 0);
    }

    QTemporaryDir m_qtmpDir;
    CLS_StdioHost m_hostileHost;  // kept across the rows of hostileRequests
    int m_iHostileRow = 0;
    QProcess m_qproc;
    QByteArray m_qbaOut;
};

QTEST_GUILESS_MAIN(tst_burnhost)
#include "tst_burnhost.moc"
