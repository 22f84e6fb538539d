// The publisher simulator as a program: orders written by the Epson and Primera
// backends walk to ".don", a configured failure and an unknown publisher to ".err"
// with their codes in TDBStatus.txt, result files list what the disc would hold,
// and the program stops cleanly by count or by signal.
#include <QtTest>

#include <csignal>
#include <signal.h>
#include <sys/types.h>
#include <memory>

#include "Epson/CLS_AutoEpson.h"
#include "Primera/CLS_AutoPrimera.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
constexpr int n_WaitMs = 15000;

// pubsim in a child process, its stdout gathered line by line.
class PubSimProcess
{
public:
    explicit PubSimProcess(const QStringList& _qstrlstArgs)
    {
        m_qprocess.setProgram(QStringLiteral(PUBSIM_PATH));
        m_qprocess.setArguments(_qstrlstArgs);
        m_qprocess.start();
    }
    ~PubSimProcess()
    {
        if (m_qprocess.state() != QProcess::NotRunning) {
            m_qprocess.kill();
            m_qprocess.waitForFinished(5000);
        }
    }

    // Waits for a line beginning with the text; the whole line, or empty at the deadline.
    QString WaitForLine(const QString& _qstrStart, int _iTimeoutMs = n_WaitMs)
    {
        QDeadlineTimer deadline(_iTimeoutMs);
        for (;;) {
            Gather();
            for (const QString& qstrLine : qAsConst(m_qstrlstLines)) {
                if (qstrLine.startsWith(_qstrStart))
                    return qstrLine;
            }
            if (deadline.hasExpired() || m_qprocess.state() == QProcess::NotRunning)
                return QString();
            m_qprocess.waitForReadyRead(50);
        }
    }

    QStringList Lines()
    {
        Gather();
        return m_qstrlstLines;
    }

    // The state lines of one job, as "<state> <name> <file>[ <code>]".
    QStringList JobStates(const QString& _qstrVendor, const QString& _qstrJobId)
    {
        const QString qstrPrefix = QStringLiteral("state %1 %2 ").arg(_qstrVendor, _qstrJobId);
        QStringList qstrlstStates;
        for (const QString& qstrLine : Lines()) {
            if (qstrLine.startsWith(qstrPrefix))
                qstrlstStates << qstrLine.mid(qstrPrefix.size());
        }
        return qstrlstStates;
    }

    QProcess& Process() { return m_qprocess; }

private:
    void Gather()
    {
        m_qbaPending += m_qprocess.readAllStandardOutput();
        for (int iEnd = m_qbaPending.indexOf('\n'); iEnd >= 0; iEnd = m_qbaPending.indexOf('\n')) {
            m_qstrlstLines << QString::fromUtf8(m_qbaPending.left(iEnd));
            m_qbaPending.remove(0, iEnd + 1);
        }
    }

    QProcess m_qprocess;
    QByteArray m_qbaPending;
    QStringList m_qstrlstLines;
};

// Polls the backend like the status thread until a final state or the deadline;
// returns every (state, code) seen, in order, without repeats.
QStringList PollUntilFinal(CLS_AutoBase& _backend, const QString& _qstrJobId)
{
    QStringList qstrlstSeen;
    QDeadlineTimer deadline(n_WaitMs);
    while (!deadline.hasExpired()) {
        BurnResultInfo stResult;
        const int iState = _backend.GetJobStatus(_qstrJobId, &stResult);
        const QString qstrSeen = QStringLiteral("%1 %2").arg(iState).arg(stResult.qstrErrCode).trimmed();
        if (qstrlstSeen.isEmpty() || qstrlstSeen.last() != qstrSeen)
            qstrlstSeen << qstrSeen;
        if (iState == 3 || iState == 4)
            return qstrlstSeen;
        QTest::qWait(5);
    }
    return qstrlstSeen;
}

int SubmitJob(CLS_AutoBase& _backend, const std::string& _strJobId, BurnFileTask _stTask)
{
    if (_backend.StartBurn(_strJobId, "DVD 4.7GB", "Case 42", "", 1, 0, "", "{}", nullptr) != 0)
        return -100;
    if (_backend.AddFile(_strJobId, _stTask, nullptr) != 0)
        return -101;
    return _backend.DoBurn(_strJobId, nullptr);
}
}  // namespace

class tst_pubsim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each case gets a temporary folder of its own, made in the system's one.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_publisher-XXXXXX"));
        QVERIFY(m_pTmpDir->isValid());
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qstrRoot = m_pTmpDir->path() + QStringLiteral("/pub");
        m_qstrEpsonDir = m_qstrRoot + QStringLiteral("/EPSON/TDBridge/Orders/");
        m_qstrPrimeraDir = m_qstrRoot + QStringLiteral("/PTBurnJobs/");
        m_qstrSources = m_pTmpDir->path() + QStringLiteral("/src/");
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("video.mp4"), QByteArray(70000, 'v')));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/a.txt"), "hello\n"));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/b.txt"), "world!!\n"));
    }

    void jobsWalkToTheirEnd()
    {
        // Made before the simulator names its publisher: its orders name the default one.
        CLS_AutoEpson epsonStale(m_qstrEpsonDir.toStdString());
        PubSimProcess pubsim({"--root", m_qstrRoot, "--step-ms", "20", "--publisher", "Sim PP-100",
                              "--fail", "EF-*=SIM4711"});
        QCOMPARE(pubsim.WaitForLine(QStringLiteral("ready")),
                 QStringLiteral("ready epson=%1 primera=%2 publisher=Sim PP-100 step-ms=20")
                     .arg(m_qstrEpsonDir, m_qstrPrimeraDir));
        CLS_AutoEpson epson(m_qstrEpsonDir.toStdString());
        CLS_AutoPrimera primera(m_qstrPrimeraDir.toStdString());

        const std::string strVideo = (m_qstrSources + QStringLiteral("video.mp4")).toStdString();
        const std::string strDocs = (m_qstrSources + QStringLiteral("docs")).toStdString();
        QCOMPARE(SubmitJob(epson, "E-OK", MakeTask("E-OK", {{strVideo, "/video/"}, {strDocs, "/docs/"}})), 0);
        QCOMPARE(SubmitJob(primera, "P-OK", MakeTask("P-OK", {{strVideo, "/"}, {"/no/such/file", "/x/"}})), 0);
        QCOMPARE(SubmitJob(epson, "EF-1", MakeTask("EF-1", {{strVideo, "/"}})), 0);
        QCOMPARE(SubmitJob(epsonStale, "E-PUB", MakeTask("E-PUB", {{strVideo, "/"}})), 0);

        QCOMPARE(PollUntilFinal(epson, QStringLiteral("E-OK")).last(), QStringLiteral("3"));
        QCOMPARE(PollUntilFinal(primera, QStringLiteral("P-OK")).last(), QStringLiteral("3"));
        QCOMPARE(PollUntilFinal(epson, QStringLiteral("EF-1")).last(), QStringLiteral("4 SIM4711"));
        const QStringList qstrlstPub = PollUntilFinal(epsonStale, QStringLiteral("E-PUB"));
        QVERIFY2(qstrlstPub.contains(QStringLiteral("0 JDF0200")), qPrintable(qstrlstPub.join(QLatin1Char('|'))));
        QCOMPARE(qstrlstPub.last(), QStringLiteral("3"));

        const QString qstrVideo = m_qstrSources + QStringLiteral("video.mp4");
        QCOMPARE(ReadBytes(m_qstrEpsonDir + QStringLiteral("E-OK.result.txt")),
                 QStringLiteral("JOB=E-OK\nVENDOR=epson\nOUTCOME=done\nDISC_TYPE=DVD\nVOLUME_LABEL=Case 42\nCOPIES=1\n"
                                "FILES=2\nBYTES=70014\nFILE=70000\t%1\t/video/\nFILE=14\t%2\t/docs/\n")
                     .arg(qstrVideo, m_qstrSources + QStringLiteral("docs"))
                     .toUtf8());
        QCOMPARE(ReadBytes(m_qstrPrimeraDir + QStringLiteral("P-OK.result.txt")),
                 QStringLiteral("JOB=P-OK\nVENDOR=primera\nOUTCOME=done\nDISC_TYPE=DVD\nVOLUME_LABEL=Case 42\n"
                                "COPIES=1\nFILES=2\nBYTES=70000\nFILE=70000\t%1\t/\nFILE=missing\t/no/such/file\t/x/\n")
                     .arg(qstrVideo)
                     .toUtf8());
        QCOMPARE(ReadBytes(m_qstrEpsonDir + QStringLiteral("EF-1.result.txt")),
                 QStringLiteral("JOB=EF-1\nVENDOR=epson\nOUTCOME=error SIM4711\nDISC_TYPE=DVD\nVOLUME_LABEL=Case 42\n"
                                "COPIES=1\nFILES=1\nBYTES=70000\nFILE=70000\t%1\t/\n")
                     .arg(qstrVideo)
                     .toUtf8());
        // The resubmitted order started clean: only the burn failure keeps its entry.
        QCOMPARE(ReadBytes(m_qstrEpsonDir + QStringLiteral("TDBStatus.txt")),
                 QByteArray("[PUBLISHER1]\r\nNAME=Sim PP-100\r\n\r\n[EF-1]\r\nERROR=SIM4711\r\n"));
        QVERIFY(QFile::exists(m_qstrEpsonDir + QStringLiteral("EF-1.err")));
        QVERIFY(QFile::exists(m_qstrEpsonDir + QStringLiteral("E-PUB.don")));

        for (const char* szLast :
             {"state epson E-OK 3", "state primera P-OK 3", "state epson EF-1 4", "state epson E-PUB 3"})
            QVERIFY2(!pubsim.WaitForLine(QLatin1String(szLast)).isEmpty(), szLast);
        QCOMPARE(pubsim.JobStates(QStringLiteral("epson"), QStringLiteral("E-OK")),
                 QStringList({"0 waiting E-OK.jdf", "1 taken E-OK.qrj", "2 burning E-OK.inp", "3 done E-OK.don"}));
        QCOMPARE(pubsim.JobStates(QStringLiteral("primera"), QStringLiteral("P-OK")),
                 QStringList({"0 waiting P-OK.jrq", "1 taken P-OK.qrj", "2 burning P-OK.inp", "3 done P-OK.don"}));
        QCOMPARE(pubsim.JobStates(QStringLiteral("epson"), QStringLiteral("EF-1")),
                 QStringList(
                     {"0 waiting EF-1.jdf", "1 taken EF-1.qrj", "2 burning EF-1.inp", "4 error EF-1.err SIM4711"}));
        QCOMPARE(pubsim.JobStates(QStringLiteral("epson"), QStringLiteral("E-PUB")),
                 QStringList({"0 waiting E-PUB.jdf", "4 error E-PUB.err JDF0200", "0 waiting E-PUB.jdf",
                              "1 taken E-PUB.qrj", "2 burning E-PUB.inp", "3 done E-PUB.don"}));

        pubsim.Process().terminate();
        QVERIFY(pubsim.Process().waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(pubsim.Process().exitCode(), 0);
        QCOMPARE(pubsim.Lines().last(), QStringLiteral("stopped jobs=5"));
    }

    // --max-jobs ends the program by itself once that many jobs ended.
    void stopsAfterCount()
    {
        PubSimProcess pubsim({"--root", m_qstrRoot, "--step-ms", "0", "--max-jobs", "2"});
        QVERIFY(!pubsim.WaitForLine(QStringLiteral("ready")).isEmpty());
        CLS_AutoPrimera primera(m_qstrPrimeraDir.toStdString());
        const std::string strVideo = (m_qstrSources + QStringLiteral("video.mp4")).toStdString();
        for (const char* szJobId : {"C1", "C2"})
            QCOMPARE(SubmitJob(primera, szJobId, MakeTask(szJobId, {{strVideo, "/"}})), 0);
        QVERIFY(pubsim.Process().waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.Process().exitCode(), 0);
        QCOMPARE(pubsim.Lines().last(), QStringLiteral("stopped jobs=2"));
        QCOMPARE(primera.GetJobStatus(QStringLiteral("C1"), nullptr), 3);
        QCOMPARE(primera.GetJobStatus(QStringLiteral("C2"), nullptr), 3);
    }

    void stopsOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void stopsOnSignal()
    {
        QFETCH(int, signal);
        PubSimProcess pubsim({"--root", m_qstrRoot});
        QVERIFY(!pubsim.WaitForLine(QStringLiteral("ready")).isEmpty());
        QCOMPARE(::kill(static_cast<pid_t>(pubsim.Process().processId()), signal), 0);
        QVERIFY(pubsim.Process().waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.Process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(pubsim.Process().exitCode(), 0);
        QCOMPARE(pubsim.Lines(), QStringList({pubsim.Lines().first(), "stopped jobs=0"}));
    }

    void refusesBadOptions()
    {
        PubSimProcess pubsim({"--step-ms", "soon"});
        QVERIFY(pubsim.Process().waitForFinished(n_WaitMs));
        QCOMPARE(pubsim.Process().exitCode(), 2);
        QVERIFY(pubsim.Process().readAllStandardError().contains("--step-ms"));
        QVERIFY(pubsim.Lines().isEmpty());
    }

    void cleanup()
    {
        m_pTmpDir.reset();
        qputenv("TMPDIR", m_qstrSystemTemp.toUtf8());
    }

private:
    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrRoot;
    QString m_qstrEpsonDir;
    QString m_qstrPrimeraDir;
    QString m_qstrSources;
};

QTEST_GUILESS_MAIN(tst_pubsim)
#include "tst_pubsim.moc"
