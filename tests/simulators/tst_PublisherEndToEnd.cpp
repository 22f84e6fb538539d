// Jobs from "ApplyBurn" to the final "BurnStatusReply" through burnhost --stdio (the
// module as the host loads it; its output lines, input that is no request) and the
// publisher simulator, over both device kinds: the replies, the simulator's state
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

// One job: its requests, each sent after the reply to the one before, and its replies.
struct JobDrive
{
    QString qstrJobId;
    int iBurnDev = 0;
    QList<QByteArray> qlstRequests;
    QMap<QString, int> qmapReplies;  // reply name -> times seen
    QJsonObject qjsonFinal;          // param of the last BurnStatusReply
};

QList<QByteArray> JobRequests(const QString& _qstrJobId, int _iBurnDev, const QJsonArray& _qjsonFiles)
{
    const QList<QPair<QString, QJsonObject>> qlstSteps = {
        {"ApplyBurn", {{"BurnDev", _iBurnDev}, {"CopyCount", 1}}},
        {"StartBurn", {{"CDType", "DVD 4.7GB"}, {"CDTitle", "Case " + _qstrJobId}}},
        {"AddFile", {{"FileList", _qjsonFiles}}},
        {"DoBurn", {}},
    };
    QList<QByteArray> qlstRequests;
    for (QPair<QString, QJsonObject> pairStep : qlstSteps) {
        pairStep.second.insert("JobId", _qstrJobId);
        const QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "test"}, {"sender", "tester"},
                                   {"msgId", _qstrJobId + "-" + pairStep.first}, {"cmdtype", "request"},
                                   {"param", QJsonObject{{"cmd", pairStep.first}, {"ret", 0}, {"param", pairStep.second}}}};
        qlstRequests << QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact) + '\n';
    }
    return qlstRequests;
}
}  // namespace

class tst_PublisherEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_e2e-XXXXXX"));
        m_qstrSources = m_pTmpDir->path() + QStringLiteral("/src/");
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("video.mp4"), QByteArray(4096, 'v')));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/a.txt"), "hello\n"));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/b.txt"), "world!!\n"));
        m_qstrRoot = m_pTmpDir->path() + QStringLiteral("/pub");
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qenv = QProcessEnvironment::systemEnvironment();
        m_qenv.insert("BURNMODULE_PUBLISHER_ROOT", m_qstrRoot);
        m_qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
    }
    void cleanup() { qputenv("TMPDIR", m_qstrSystemTemp.toUtf8()); }

    void jobsEndWithTheirFinalStatus_data()
    {
        QTest::addColumn<QStringList>("jobs");      // "<kind>:<job id>"; ids with "F-" fail
        QTest::addColumn<QStringList>("expected");  // "<job id> <status> <errCode>"
        QTest::addColumn<int>("stepMs");
        QTest::newRow("each kind, done and failed")
            << QStringList{"2:E-1", "3:P-1", "2:EF-1", "3:PF-1"}
            << QStringList{"E-1 3 ", "P-1 3 ", "EF-1 4 SIM4711", "PF-1 4 "} << 20;
        QStringList qstrlstJobs;
        QStringList qstrlstExpected;
        for (int iJob = 10; iJob < 60; ++iJob) {
            qstrlstJobs << QStringLiteral("%1:L%2").arg(2 + iJob % 2).arg(iJob);
            qstrlstExpected << QStringLiteral("L%1 3 ").arg(iJob);
        }
        QTest::newRow("fifty at once, the simulator at its fastest") << qstrlstJobs << qstrlstExpected << 0;
    }
    // Every step is answered once, then one final status reply; the job folder goes, and
    // the simulator's lines, result file and status file tell what it did.
    void jobsEndWithTheirFinalStatus()
    {
        QFETCH(QStringList, jobs);
        QFETCH(QStringList, expected);
        QFETCH(int, stepMs);
        QProcess pubsim;
        StartPubsim(pubsim, {"--step-ms", QString::number(stepMs), "--fail", "*F-*=SIM4711"});
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", m_qstrSources + "video.mp4"}, {"DesFile", "/video/"}},
                                    QJsonObject{{"srcFile", m_qstrSources + "docs"}, {"DesFile", "/docs/"}},
                                    QJsonObject{{"srcFile", "/no/such/file"}, {"DesFile", "/x/"}}};
        QVector<JobDrive> vecJobs;
        for (const QString& qstrJob : jobs) {
            const int iBurnDev = qstrJob.section(':', 0, 0).toInt();
            const QString qstrJobId = qstrJob.section(':', 1);
            vecJobs.append({qstrJobId, iBurnDev, JobRequests(qstrJobId, iBurnDev, qjsonFiles), {}, {}});
        }
        RunJobs(vecJobs);

        QStringList qstrlstSeen;
        QByteArray qbaStatusFile = "[PUBLISHER1]\r\nNAME=PP-100II 1\r\n";
        for (const JobDrive& stJob : vecJobs) {
            const QString qstrId = stJob.qstrJobId;
            for (const char* szReply : {"ApplyBurnReply", "StartBurnReply", "AddFileReply", "DoBurnReply", "BurnStatusReply"})
                QVERIFY2(stJob.qmapReplies.value(szReply) == 1, qPrintable(qstrId + " " + szReply));
            const int iStatus = stJob.qjsonFinal.value("status").toInt();
            qstrlstSeen << QStringLiteral("%1 %2 %3").arg(qstrId).arg(iStatus).arg(stJob.qjsonFinal.value("errCode").toString());
            QCOMPARE(stJob.qjsonFinal.value("statusMsg").toString(), iStatus == 3 ? "刻录完成" : "刻录出错");
            QTRY_VERIFY(!QDir(m_pTmpDir->path() + QStringLiteral("/host/BurnJob/") + qstrId).exists());

            const bool blEpson = stJob.iBurnDev == 2;
            const bool blFailed = qstrId.contains(QLatin1String("F-"));
            const QString qstrVendor = blEpson ? QStringLiteral("epson") : QStringLiteral("primera");
            QCOMPARE(PubsimStates(qstrVendor + " " + qstrId),
                     QStringList({"0 waiting " + qstrId + (blEpson ? ".jdf" : ".jrq"), "1 taken " + qstrId + ".qrj",
                                  "2 burning " + qstrId + ".inp",
                                  blFailed ? "4 error " + qstrId + ".err SIM4711" : "3 done " + qstrId + ".don"}));
            QCOMPARE(ReadBytes(m_qstrRoot + (blEpson ? "/EPSON/TDBridge/Orders/" : "/PTBurnJobs/") + qstrId + ".result.txt"),
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
        QCOMPARE(::kill(static_cast<pid_t>(pubsim.processId()), SIGINT), 0);
        QVERIFY(pubsim.waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pubsim.exitCode(), 0);
        QVERIFY(ReadBytes(m_qstrPubsimOut).endsWith(QStringLiteral("\nstopped jobs=%1\n").arg(jobs.size()).toUtf8()));
    }

private:
    // The simulator with its output in a file, ready.
    void StartPubsim(QProcess& _pubsim, const QStringList& _qstrlstArgs)
    {
        m_qstrPubsimOut = m_pTmpDir->filePath(QStringLiteral("pubsim.out"));
        _pubsim.setProcessEnvironment(m_qenv);
        _pubsim.setStandardOutputFile(m_qstrPubsimOut);
        _pubsim.start(PUBSIM_PATH, _qstrlstArgs);
        QTRY_VERIFY_WITH_TIMEOUT(ReadBytes(m_qstrPubsimOut).startsWith("ready "), n_WaitMs);
    }

    // The simulator's state lines of "<vendor> <job id>", as "<state> <name> <file>[ <code>]".
    QStringList PubsimStates(const QString& _qstrJob) const
    {
        QStringList qstrlstStates;
        for (const QString& qstrLine : QString::fromUtf8(ReadBytes(m_qstrPubsimOut)).split('\n')) {
            if (qstrLine.startsWith("state " + _qstrJob + " "))
                qstrlstStates << qstrLine.mid(_qstrJob.size() + 7);
        }
        return qstrlstStates;
    }

    // Runs burnhost and drives every job to its final status reply, then reads a little
    // longer so that a second reply of any kind would be seen.
    void RunJobs(QVector<JobDrive>& _vecJobs)
    {
        QProcess host;
        host.setProcessEnvironment(m_qenv);
        host.start(BURNHOST_PATH, {"--stdio", "--data-dir", m_pTmpDir->path() + "/host"});
        host.write("this is not json\n[1,2,3]\n{\"code\":\"17\",\"data\":5}\n");  // dropped
        QHash<QString, JobDrive*> qhashJobs;
        for (JobDrive& stJob : _vecJobs) {
            qhashJobs.insert(stJob.qstrJobId, &stJob);
            host.write(stJob.qlstRequests.takeFirst());
        }
        int iOpen = _vecJobs.size();
        QDeadlineTimer settle(QDeadlineTimer::Forever);
        for (QDeadlineTimer deadline(120000); !settle.hasExpired() && !deadline.hasExpired(); host.waitForReadyRead(50)) {
            while (host.canReadLine()) {
                const QJsonObject qjsonLine = QJsonDocument::fromJson(host.readLine()).object();
                QCOMPARE(qjsonLine.keys(), (QStringList{"code", "data", "signal"}));
                QCOMPARE(qjsonLine.value("signal").toString(), QStringLiteral("SignSendMsgWithWebSocket"));
                QCOMPARE(qjsonLine.value("code").toInt(), 10110);
                const QJsonObject qjsonModuleMsg =
                    QJsonDocument::fromJson(qjsonLine.value("data").toString().toUtf8()).object().value("param").toObject();
                const QString qstrCmd = qjsonModuleMsg.value("cmd").toString();
                const QJsonObject qjsonParam = qjsonModuleMsg.value("param").toObject();
                JobDrive* pJob = qhashJobs.value(qjsonParam.value("JobId").toString());
                if (!pJob || !qstrCmd.endsWith(QLatin1String("Reply")) || ++pJob->qmapReplies[qstrCmd] > 1)
                    continue;
                if (qstrCmd == QLatin1String("BurnStatusReply"))
                    pJob->qjsonFinal = qjsonParam;
                if (qstrCmd == QLatin1String("BurnStatusReply") && --iOpen == 0)
                    settle.setRemainingTime(2000);  // one more status pass at the test time scale
                else if (qjsonParam.value("ret").toInt() == 0 && !pJob->qlstRequests.isEmpty())
                    host.write(pJob->qlstRequests.takeFirst());
            }
        }
        host.terminate();
        QVERIFY(host.waitForFinished(n_WaitMs));
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrSources;
    QString m_qstrRoot;
    QString m_qstrPubsimOut;
    QProcessEnvironment m_qenv;
};

QTEST_GUILESS_MAIN(tst_PublisherEndToEnd)
#include "tst_PublisherEndToEnd.moc"
