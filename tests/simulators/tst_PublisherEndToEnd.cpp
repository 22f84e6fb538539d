// Jobs from "ApplyBurn" to the final "BurnStatusReply" through burnhost --stdio (the
// module as the host loads it: its log, its output lines, input that is no request) and
// the publisher simulator, over both device kinds: the replies, the simulator's state
// lines, result files and TDBStatus.txt, and its stop by SIGINT.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <memory>

#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
constexpr int n_WaitMs = 15000;

QByteArray Request(const QString& _qstrCmd, const QString& _qstrJobId, QJsonObject _qjsonParam)
{
    _qjsonParam.insert("JobId", _qstrJobId);
    const QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "test"}, {"sender", "tester"},
                               {"msgId", _qstrJobId + "-" + _qstrCmd}, {"cmdtype", "request"},
                               {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
    return QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact) + '\n';
}
}  // namespace

class tst_PublisherEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        m_qstrSources = m_pTmpDir->path() + QStringLiteral("/src/");
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("video.mp4"), QByteArray(4096, 'v')));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/a.txt"), "hello\n"));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/b.txt"), "world!!\n"));
        m_qstrRoot = m_pTmpDir->path() + QStringLiteral("/pub");
        m_qenv = QProcessEnvironment::systemEnvironment();
        m_qenv.insert("TMPDIR", m_pTmpDir->path());
        m_qenv.insert("BURNMODULE_PUBLISHER_ROOT", m_qstrRoot);
        m_qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
        m_qhashReplies.clear();
    }

    void jobsEndWithTheirFinalStatus_data()
    {
        QTest::addColumn<QStringList>("jobs");      // ids "E..." for Epson (2), "P..." for Primera (3); "?F-" fail
        QTest::addColumn<QStringList>("expected");  // "<job id> <status> <errCode>"
        QTest::addColumn<int>("stepMs");
        QTest::newRow("each kind, done and failed")
            << QStringList{"E-1", "P-1", "EF-1", "PF-1"} << QStringList{"E-1 3 ", "P-1 3 ", "EF-1 4 SIM4711", "PF-1 4 "}
            << 20;
        QStringList qstrlstJobs;
        QStringList qstrlstExpected;
        for (int iJob = 10; iJob < 60; ++iJob) {
            qstrlstJobs << QStringLiteral("%1%2").arg(iJob % 2 ? 'P' : 'E').arg(iJob);
            qstrlstExpected << qstrlstJobs.last() + " 3 ";
        }
        QTest::newRow("fifty at once, the simulator at its fastest") << qstrlstJobs << qstrlstExpected << 0;
    }
    // Each step goes to every job once all answered the one before; every step is answered
    // once, then one final status reply comes; the job folder goes; the simulator's lines,
    // result files and status file tell what it did.
    void jobsEndWithTheirFinalStatus()
    {
        QFETCH(QStringList, jobs);
        QFETCH(QStringList, expected);
        QFETCH(int, stepMs);
        QProcess pubsim;
        pubsim.setProcessEnvironment(m_qenv);
        pubsim.setStandardOutputFile(m_pTmpDir->filePath(QStringLiteral("pubsim.out")));
        pubsim.start(PUBSIM_PATH, {"--step-ms", QString::number(stepMs), "--fail", "?F-*=SIM4711"});
        QTRY_VERIFY_WITH_TIMEOUT(PubsimOutput().startsWith("ready "), n_WaitMs);
        QDir(m_qstrHostLogDir).removeRecursively();
        QProcess host;
        host.setProcessEnvironment(m_qenv);
        host.start(BURNHOST_PATH, {"--stdio", "--data-dir", m_pTmpDir->path() + "/host"});
        host.write("this is not json\n[1,2,3]\n{\"code\":\"17\",\"data\":5}\n");  // dropped
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", m_qstrSources + "video.mp4"}, {"DesFile", "/video/"}},
                                    QJsonObject{{"srcFile", m_qstrSources + "docs"}, {"DesFile", "/docs/"}},
                                    QJsonObject{{"srcFile", "/no/such/file"}, {"DesFile", "/x/"}}};
        for (const QString qstrCmd : {"ApplyBurn", "StartBurn", "AddFile", "DoBurn"}) {
            for (const QString& qstrId : jobs) {
                QJsonObject qjsonParam;
                if (qstrCmd == QLatin1String("ApplyBurn"))
                    qjsonParam = {{"BurnDev", qstrId.startsWith('E') ? 2 : 3}, {"CopyCount", 1}};
                else if (qstrCmd == QLatin1String("StartBurn"))
                    qjsonParam = {{"CDType", "DVD 4.7GB"}, {"CDTitle", "Case " + qstrId}};
                else if (qstrCmd == QLatin1String("AddFile"))
                    qjsonParam = {{"FileList", qjsonFiles}};
                host.write(Request(qstrCmd, qstrId, qjsonParam));
            }
            ReadReplies(host, qstrCmd + "Reply", jobs.size(), n_WaitMs);
        }
        ReadReplies(host, "BurnStatusReply", jobs.size(), 120000);
        ReadReplies(host, QString(), 0, 2000);  // one more status pass would show a second reply

        QStringList qstrlstSeen;
        QByteArray qbaStatusFile = "[PUBLISHER1]\r\nNAME=PP-100II 1\r\n";
        for (const QString& qstrId : jobs) {
            for (const char* szReply : {"ApplyBurn", "StartBurn", "AddFile", "DoBurn", "BurnStatus"})
                QVERIFY2(m_qhashReplies.count(qstrId + " " + szReply + "Reply") == 1, szReply);
            const QJsonObject qjsonFinal = m_qhashReplies.value(qstrId + " BurnStatusReply");
            const int iStatus = qjsonFinal.value("status").toInt();
            qstrlstSeen << qstrId + QStringLiteral(" %1 ").arg(iStatus) + qjsonFinal.value("errCode").toString();
            QCOMPARE(qjsonFinal.value("statusMsg").toString(), iStatus == 3 ? "刻录完成" : "刻录出错");
            QTRY_VERIFY(!QDir(m_pTmpDir->path() + QStringLiteral("/host/BurnJob/") + qstrId).exists());

            const bool blEpson = qstrId.startsWith('E');
            const bool blFailed = qstrId.contains(QLatin1String("F-"));
            const QString qstrVendor = blEpson ? QStringLiteral("epson") : QStringLiteral("primera");
            QStringList qstrlstStates;
            for (const QString& qstrLine : QString::fromUtf8(PubsimOutput()).split('\n')) {
                if (qstrLine.startsWith("state " + qstrVendor + " " + qstrId + " "))
                    qstrlstStates << qstrLine.section(' ', 3);
            }
            const QString qstrEnd = blFailed ? "4 error " + qstrId + ".err SIM4711" : "3 done " + qstrId + ".don";
            QCOMPARE(qstrlstStates, QStringList({"0 waiting " + qstrId + (blEpson ? ".jdf" : ".jrq"),
                                                 "1 taken " + qstrId + ".qrj", "2 burning " + qstrId + ".inp",
                                                 qstrEnd}));
            const QString qstrDir = m_qstrRoot + (blEpson ? "/EPSON/TDBridge/Orders/" : "/PTBurnJobs/");
            QCOMPARE(ReadBytes(qstrDir + qstrId + ".result.txt"),
                     QStringLiteral("JOB=%1\nVENDOR=%2\nOUTCOME=%3\nDISC_TYPE=DVD\nVOLUME_LABEL=Case %1\nCOPIES=1\n"
                                    "FILES=3\nBYTES=4110\nFILE=4096\t%4video.mp4\t/video/\nFILE=14\t%4docs\t/docs/\n"
                                    "FILE=missing\t/no/such/file\t/x/\n")
                         .arg(qstrId, qstrVendor, blFailed ? "error SIM4711" : "done", m_qstrSources)
                         .toUtf8());
            if (blEpson && blFailed)
                qbaStatusFile += "\r\n[" + qstrId.toUtf8() + "]\r\nERROR=SIM4711\r\n";
        }
        QCOMPARE(qstrlstSeen, expected);
        QCOMPARE(ReadBytes(m_qstrRoot + QStringLiteral("/EPSON/TDBridge/Orders/TDBStatus.txt")), qbaStatusFile);
        host.terminate();
        QVERIFY(host.waitForFinished(n_WaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(HostLog().contains("BurnModule fun=Init, Compile date="), n_WaitMs);
        QCOMPARE(::kill(static_cast<pid_t>(pubsim.processId()), SIGINT), 0);
        QVERIFY(pubsim.waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pubsim.exitCode(), 0);
        QVERIFY(PubsimOutput().endsWith(QStringLiteral("\nstopped jobs=%1\n").arg(jobs.size()).toUtf8()));
    }

private:
    // What the module's Init logged into the host's log folder.
    QByteArray HostLog() const
    {
        QByteArray qbaLog;
        for (const QFileInfo& qfileInfo : QDir(m_qstrHostLogDir).entryInfoList(QDir::Files))
            qbaLog += ReadBytes(qfileInfo.filePath());
        return qbaLog;
    }

    QByteArray PubsimOutput() const { return ReadBytes(m_pTmpDir->filePath(QStringLiteral("pubsim.out"))); }

    // Reads burnhost's lines, each a JSON object of code, data and signal, until the
    // reply has come for the given number of jobs or the time is up; keeps every reply.
    void ReadReplies(QProcess& _host, const QString& _qstrReply, int _iJobs, int _iTimeoutMs)
    {
        const auto fnDone = [&] {
            return _iJobs > 0 && m_qhashReplies.uniqueKeys().filter(_qstrReply).size() >= _iJobs;
        };
        for (QDeadlineTimer deadline(_iTimeoutMs); !fnDone() && !deadline.hasExpired(); _host.waitForReadyRead(50)) {
            while (_host.canReadLine()) {
                const QJsonObject qjsonLine = QJsonDocument::fromJson(_host.readLine()).object();
                QCOMPARE(qjsonLine.keys(), (QStringList{"code", "data", "signal"}));
                QCOMPARE(qjsonLine.value("signal").toString(), QStringLiteral("SignSendMsgWithWebSocket"));
                QCOMPARE(qjsonLine.value("code").toInt(), 10110);
                const QByteArray qbaData = qjsonLine.value("data").toString().toUtf8();
                const QJsonObject qjsonModuleMsg = QJsonDocument::fromJson(qbaData).object().value("param").toObject();
                const QString qstrCmd = qjsonModuleMsg.value("cmd").toString();
                const QJsonObject qjsonParam = qjsonModuleMsg.value("param").toObject();
                if (qstrCmd.endsWith(QLatin1String("Reply")))
                    m_qhashReplies.insert(qjsonParam.value("JobId").toString() + " " + qstrCmd, qjsonParam);
            }
        }
        QVERIFY2(_iJobs == 0 || fnDone(), qPrintable(_qstrReply));
    }

    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrSources;
    QString m_qstrRoot;
    QProcessEnvironment m_qenv;
    const QString m_qstrHostLogDir = QCoreApplication::applicationDirPath() + QStringLiteral("/Log/burnhost");
    QMultiHash<QString, QJsonObject> m_qhashReplies;  // "<job id> <reply>" -> its param
};

QTEST_GUILESS_MAIN(tst_PublisherEndToEnd)
#include "tst_PublisherEndToEnd.moc"
