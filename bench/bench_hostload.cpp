// burnhost --listen under load: eight WebSocket clients run acknowledged-protocol jobs on
// simulated Epson publishers (pubsim) at once and acknowledge every reply. Reports jobs per
// second and the host's resident memory at the end against its level after the first 200
// jobs; fails when a reply came twice or not at all, when one stays unconfirmed, or when the
// memory grew by more than a fifth. Usage: bench_hostload [jobs, 2000] [clients, 8].
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include "CLS_AckClient.h"

namespace
{
constexpr int n_InFlightPerClient = 4;
constexpr int n_BaselineJobs = 200;
constexpr double d_MaxGrowth = 1.2;

// The resident set of a process in KiB (Linux); 0 when unknown.
long ResidentKib(qint64 _llPid)
{
    QFile qfile(QString("/proc/%1/status").arg(_llPid));
    if (!qfile.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpression qregRss("VmRSS:\\s+(\\d+) kB");
    return qregRss.match(QString::fromLatin1(qfile.readAll())).captured(1).toLong();
}

// Starts a program of the build and waits until its output matches; the first group captured.
QString StartAndWait(QProcess& _qproc, const QString& _qstrProgram, const QStringList& _qlstArgs,
                     const QString& _qstrPattern)
{
    _qproc.setProcessChannelMode(QProcess::MergedChannels);
    _qproc.start(QCoreApplication::applicationDirPath() + "/" + _qstrProgram, _qlstArgs);
    QByteArray qbaOut;
    const QRegularExpression qregReady(_qstrPattern);
    static_cast<void>(QTest::qWaitFor([&] { return qregReady.match(qbaOut += _qproc.readAll()).hasMatch(); }, 30000));
    // Later output is not read; it must not fill the pipe.
    _qproc.setStandardOutputFile(QProcess::nullDevice());
    return qregReady.match(qbaOut).captured(1);
}
}  // namespace

int main(int _iArgc, char** _ppArgv)
{
    QCoreApplication qapp(_iArgc, _ppArgv);
    const int iJobs = qapp.arguments().value(1, "2000").toInt();
    const int iClients = qapp.arguments().value(2, "8").toInt();
    QTemporaryDir qtmpDir;
    const QString qstrSrc = qtmpDir.filePath("a.mp4");
    QFile qfileSrc(qstrSrc);
    if (!qfileSrc.open(QIODevice::WriteOnly) || qfileSrc.write(QByteArray(4096, 'v')) != 4096)
        return 2;
    qfileSrc.close();
    QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
    qenv.insert("BURNMODULE_PUBLISHER_ROOT", qtmpDir.filePath("pub"));
    qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
    qenv.insert("TMPDIR", qtmpDir.path());
    QProcess qprocSim;
    qprocSim.setProcessEnvironment(qenv);
    StartAndWait(qprocSim, "pubsim", {"--root", qtmpDir.filePath("pub"), "--step-ms", "0"}, "^(ready)");
    QProcess qprocHost;
    qprocHost.setProcessEnvironment(qenv);
    qprocHost.setWorkingDirectory(qtmpDir.path());
    const QString qstrUrl =
        StartAndWait(qprocHost, "burnhost", {"--listen", "127.0.0.1:0", "--ack-timeout", "600", "--data-dir",
                                             qtmpDir.path()}, "listening on (ws://[0-9.:]+)\n");
    if (qstrUrl.isEmpty())
        return 2;

    std::vector<std::unique_ptr<CLS_AckClient>> vecClients;
    for (int iClient = 0; iClient < iClients; ++iClient) {
        vecClients.push_back(std::make_unique<CLS_AckClient>(
            [qstrSrc](const QString& _qstrCmd, const QString& _qstrJobId) {
                return _qstrCmd == "ApplyBurn" ? QJsonObject{{"BurnDev", 2}, {"CopyCount", 1}}
                                               : CLS_AckClient::StepParam(_qstrCmd, _qstrJobId, qstrSrc);
            },
            QString("vms%1").arg(iClient)));
        vecClients.back()->Open(qstrUrl);
    }
    const auto finished = [&] {
        int iDone = 0;
        for (const auto& pClient : vecClients)
            iDone += pClient->Jobs().size() - pClient->Running();
        return iDone;
    };
    int iStarted = 0;
    long lBaselineKib = 0;
    QElapsedTimer qtimer;
    qtimer.start();
    const bool blDone = QTest::qWaitFor([&] {
        for (int iClient = 0; iClient < iClients; ++iClient) {
            CLS_AckClient& client = *vecClients[iClient];
            while (client.IsConnected() && client.Running() < n_InFlightPerClient && iStarted < iJobs)
                client.AddJob(QString("L%1-%2").arg(iClient).arg(++iStarted, 5, 10, QChar('0')));
        }
        if (!lBaselineKib && finished() >= n_BaselineJobs)
            lBaselineKib = ResidentKib(qprocHost.processId());
        return finished() == iJobs;
    }, 30 * 60 * 1000);
    const double dSeconds = qtimer.elapsed() / 1000.0;
    const long lEndKib = ResidentKib(qprocHost.processId());
    // The last acknowledgements may still be on their way to the store.
    const QString qstrStore = qtmpDir.filePath("burnmodule.db");
    static_cast<void>(QTest::qWaitFor([&] { return CLS_AckClient::UnconfirmedReplies(qstrStore) == 0; }, 30000));
    qprocHost.terminate();
    qprocHost.waitForFinished(30000);
    qprocSim.terminate();
    qprocSim.waitForFinished(10000);

    int iWrong = 0;
    int iRepeated = 0;
    int iResends = 0;
    for (const auto& pClient : vecClients) {
        for (const CLS_AckClient::Job& stJob : pClient->Jobs())
            iWrong += stJob.qsetFinalKeys.size() != 1 || stJob.iStatus != 3;
        iRepeated += pClient->RepeatedReplies();
        iResends += pClient->m_iResends;
        for (const QString& qstrProblem : pClient->m_qlstProblems)
            fprintf(stderr, "%s\n", qPrintable(qstrProblem));
    }
    const int iUnconfirmed = CLS_AckClient::UnconfirmedReplies(qstrStore);
    const double dGrowth = lBaselineKib ? static_cast<double>(lEndKib) / lBaselineKib : 0;
    printf("jobs=%d clients=%d seconds=%.1f jobs_per_s=%.1f wrong_finals=%d repeated_replies=%d resends=%d "
           "unconfirmed=%d rss_after_%d_jobs_kib=%ld rss_end_kib=%ld growth=%.3f\n",
           finished(), iClients, dSeconds, finished() / dSeconds, iWrong, iRepeated, iResends, iUnconfirmed,
           n_BaselineJobs, lBaselineKib, lEndKib, dGrowth);
    const bool blExactlyOnce = blDone && iWrong == 0 && iRepeated == 0 && iResends == 0 && iUnconfirmed == 0;
    return blExactlyOnce && dGrowth > 0 && dGrowth <= d_MaxGrowth ? 0 : 1;
}
