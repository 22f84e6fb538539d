// burnhost --listen killed with SIGKILL at random moments while a WebSocket client runs
// acknowledged-protocol jobs on the burn service (pmysim), and started again on the same
// data folder each time. Every job must end with one final status reply, burned once,
// with every reply confirmed and every resent reply equal to its first sending.
// BURN_KILLS sets the number of kills (scripts/kill-test.sh runs a hundred), BURN_KILL_SEED
// repeats a run's moments.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QWebSocket>

#include "CLS_AckClient.h"
#include "CLS_StdioHost.h"
#include "TestFiles.h"

namespace
{
constexpr int n_WaitMs = 60000;
constexpr int n_JobsInFlight = 3;
}  // namespace

class tst_killrecovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QProcess m_qprocSim;
    QProcess m_qprocHost;
    QString m_qstrAppDir;

    // Starts the host on the data folder; its WebSocket address.
    QString StartHost()
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("TMPDIR", m_qtmpDir.path());
        qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
        m_qprocHost.setProcessEnvironment(qenv);
        m_qprocHost.setWorkingDirectory(m_qtmpDir.filePath("data"));
        m_qprocHost.start(m_qstrAppDir + "/burnhost",
                          {"--listen", "127.0.0.1:0", "--ack-timeout", "600", "--data-dir", m_qtmpDir.filePath("data")});
        QByteArray qbaErr;
        const QRegularExpression qregUrl("listening on (ws://[0-9.:]+)\n");
        static_cast<void>(QTest::qWaitFor(
            [&] { return qregUrl.match(qbaErr += m_qprocHost.readAllStandardError()).hasMatch(); }, n_WaitMs));
        return qregUrl.match(qbaErr).captured(1);
    }
    void KillHostAfter(int _iMs)
    {
        QSignalSpy spyFinished(&m_qprocHost, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished));
        QTimer::singleShot(_iMs, &m_qprocHost, &QProcess::kill);
        QVERIFY(spyFinished.wait(n_WaitMs));
    }
    // Each job's service tasks, from the simulator's result files: job id → SUBMITS values.
    QMap<QString, QStringList> ServiceTasks()
    {
        QMap<QString, QStringList> qmapTasks;
        const QDir qdirOut(m_qtmpDir.filePath("out"));
        for (const QString& qstrName : qdirOut.entryList({"*.result.txt"})) {
            const QString qstrResult = QString::fromUtf8(ReadTestFile(qdirOut.filePath(qstrName)));
            const QString qstrJob = QRegularExpression("\nJOB=(.*)\n").match(qstrResult).captured(1);
            qmapTasks[qstrJob] << QRegularExpression("\nSUBMITS=(.*)\n").match(qstrResult).captured(1);
        }
        return qmapTasks;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<QProcess::ExitStatus>();
        m_qstrAppDir = CLS_StdioHost::MakeAppDir(
            m_qtmpDir.filePath("app"), {"/burnhost", "/libBurnModule.so", "/win32_libos.dll", "/PMYBurnSvcSdk.dll"});
        QVERIFY(!m_qstrAppDir.isEmpty());
        QVERIFY(QDir().mkpath(m_qtmpDir.filePath("data")));
        QVERIFY(WriteTestFile(m_qtmpDir.filePath("src/a.mp4"), QByteArray(100000, 'v')));
    }
    void cleanupTestCase()
    {
        StopProcess(m_qprocHost);
        StopProcess(m_qprocSim);
    }

    void killedAtRandom()
    {
        const int iKills = qEnvironmentVariableIntValue("BURN_KILLS") > 0 ? qEnvironmentVariableIntValue("BURN_KILLS")
                                                                          : 15;
        const quint32 uSeed = qEnvironmentVariableIsSet("BURN_KILL_SEED")
            ? qEnvironmentVariableIntValue("BURN_KILL_SEED") : QRandomGenerator::global()->generate() % 100000;
        QRandomGenerator qrandKill(uSeed);
        m_qtmpDir.setAutoRemove(false);  // a failed run leaves its logs, store and service results
        qInfo("run folder %s", qPrintable(m_qtmpDir.path()));
        const int iServicePort = StartSimulator(m_qprocSim, "pmysim",
                                                {"--port", "0", "--step-ms", "40", "--discs", "100000", "--out", m_qtmpDir.filePath("out")},
                                                "ready port=(\\d+) ");
        QVERIFY(iServicePort > 0);
        const QString qstrSrc = m_qtmpDir.filePath("src/a.mp4");
        CLS_AckClient client([iServicePort, qstrSrc](const QString& _qstrCmd, const QString& _qstrJobId) {
            if (_qstrCmd == "ApplyBurn")
                return QJsonObject{{"BurnDev", 7}, {"CopyCount", 1}, {"serverIP", "127.0.0.1"}, {"DevPort", iServicePort}};
            return CLS_AckClient::StepParam(_qstrCmd, _qstrJobId, qstrSrc);
        });
        int iJobs = 0;
        for (int iKill = 0; iKill <= iKills; ++iKill) {
            const QString qstrUrl = StartHost();
            QVERIFY2(!qstrUrl.isEmpty(), "the host did not start");
            client.Open(qstrUrl);
            QTRY_VERIFY_WITH_TIMEOUT(client.IsConnected(), n_WaitMs);
            while (iKill < iKills && client.Running() < n_JobsInFlight)
                client.AddJob(QString("K%1").arg(++iJobs, 3, 10, QChar('0')));
            if (iKill < iKills)
                KillHostAfter(static_cast<int>(qrandKill.bounded(1200)));
        }
        QTRY_VERIFY2_WITH_TIMEOUT(client.Running() == 0, qPrintable(client.Unfinished()), n_WaitMs);
        // Replies of jobs that ended while no client was confirming go out at the next start.
        StopProcess(m_qprocHost);
        client.Open(StartHost());
        const QString qstrStore = m_qtmpDir.filePath("data/burnmodule.db");
        QTRY_COMPARE_WITH_TIMEOUT(CLS_AckClient::UnconfirmedReplies(qstrStore), 0, n_WaitMs);
        StopProcess(m_qprocHost);
        QCOMPARE(CLS_AckClient::UnconfirmedReplies(qstrStore), 0);

        const QMap<QString, QStringList> qmapTasks = ServiceTasks();
        int iDuplicates = 0;
        int iLosses = 0;
        for (auto it = client.Jobs().cbegin(); it != client.Jobs().cend(); ++it) {
            if (it->qsetFinalKeys.size() != 1 || it->iStatus != 3 || qmapTasks.value(it.key()) != QStringList{"1"})
                client.m_qlstProblems << QString("%1: %2 final replies, status %3, tasks with submissions %4")
                                             .arg(it.key()).arg(it->qsetFinalKeys.size()).arg(it->iStatus)
                                             .arg(qmapTasks.value(it.key()).join(','));
            iDuplicates += qMax(0, it->qsetFinalKeys.size() - 1) + qMax(0, qmapTasks.value(it.key()).size() - 1);
            iLosses += it->qsetFinalKeys.isEmpty() || !qmapTasks.contains(it.key());
        }
        qInfo("seed=%u kills=%d jobs=%d resends=%d duplicates=%d losses=%d", uSeed, iKills, iJobs,
              client.m_iResends, iDuplicates, iLosses);
        QVERIFY2(client.m_qlstProblems.isEmpty(), qPrintable(client.m_qlstProblems.join('\n')));
        m_qtmpDir.setAutoRemove(true);
    }
};

QTEST_GUILESS_MAIN(tst_killrecovery)
#include "tst_killrecovery.moc"
