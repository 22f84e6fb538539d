// Epson and Primera jobs from "ApplyBurn" to the final "BurnStatusReply", through
// burnhost --stdio (the module as the host loads it) and the publisher simulator.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <memory>

#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
constexpr int n_StartMs = 15000;
const QStringList s_qstrlstSteps = {"ApplyBurn", "StartBurn", "AddFile", "DoBurn"};

// One child program with its stdout gathered line by line.
class LineProcess
{
public:
    LineProcess(const QString& _qstrProgram, const QStringList& _qstrlstArgs, const QProcessEnvironment& _qenv)
    {
        m_qprocess.setProgram(_qstrProgram);
        m_qprocess.setArguments(_qstrlstArgs);
        m_qprocess.setProcessEnvironment(_qenv);
        m_qprocess.setProcessChannelMode(QProcess::SeparateChannels);
        m_qprocess.start();
    }
    ~LineProcess()
    {
        if (m_qprocess.state() == QProcess::NotRunning)
            return;
        m_qprocess.terminate();
        if (!m_qprocess.waitForFinished(5000))
            m_qprocess.kill();
        m_qprocess.waitForFinished(5000);
    }

    // Lines that arrived since the last call.
    QList<QByteArray> TakeLines(int _iWaitMs)
    {
        if (m_qprocess.bytesAvailable() == 0)
            m_qprocess.waitForReadyRead(_iWaitMs);
        m_qbaPending += m_qprocess.readAllStandardOutput();
        QList<QByteArray> lstLines;
        for (int iEnd = m_qbaPending.indexOf('\n'); iEnd >= 0; iEnd = m_qbaPending.indexOf('\n')) {
            lstLines << m_qbaPending.left(iEnd);
            m_qbaPending.remove(0, iEnd + 1);
        }
        return lstLines;
    }

    bool WaitForLineStart(const QByteArray& _qbaStart, int _iTimeoutMs)
    {
        QDeadlineTimer deadline(_iTimeoutMs);
        while (!deadline.hasExpired()) {
            for (const QByteArray& qbaLine : TakeLines(50)) {
                if (qbaLine.startsWith(_qbaStart))
                    return true;
            }
        }
        return false;
    }

    void Write(const QByteArray& _qbaLine) { m_qprocess.write(_qbaLine + '\n'); }
    QProcess& Process() { return m_qprocess; }

private:
    QProcess m_qprocess;
    QByteArray m_qbaPending;
};

// One job's requests, sent one after the reply of the one before.
struct JobDrive
{
    JobDrive() = default;
    JobDrive(const QString& _qstrJobId, int _iBurnDev) : qstrJobId(_qstrJobId), iBurnDev(_iBurnDev) {}

    QString qstrJobId;
    int iBurnDev = 2;
    int iNextStep = 0;
    QMap<QString, int> qmapReplies;  // reply name -> times seen
    QJsonObject qjsonFinal;          // param of the last BurnStatusReply
    int iFinalReplies = 0;
};

QJsonObject CommandParam(const JobDrive& _stJob, const QString& _qstrCmd, const QString& _qstrSource)
{
    QJsonObject qjsonParam{{"JobId", _stJob.qstrJobId}};
    if (_qstrCmd == QLatin1String("ApplyBurn")) {
        qjsonParam.insert("BurnDev", _stJob.iBurnDev);
        qjsonParam.insert("CopyCount", 1);
    } else if (_qstrCmd == QLatin1String("StartBurn")) {
        qjsonParam.insert("CDType", "DVD 4.7GB");
        qjsonParam.insert("CDTitle", "Case " + _stJob.qstrJobId);
    } else if (_qstrCmd == QLatin1String("AddFile")) {
        qjsonParam.insert("FileList", QJsonArray{QJsonObject{{"srcFile", _qstrSource}, {"DesFile", "/video/"}}});
    }
    return qjsonParam;
}

QByteArray Request(const JobDrive& _stJob, const QString& _qstrCmd, const QString& _qstrSource)
{
    const QJsonObject qjsonModuleMsg{
        {"cmd", _qstrCmd}, {"ret", 0}, {"param", CommandParam(_stJob, _qstrCmd, _qstrSource)}};
    const QJsonObject qjsonMsg{{"token", "tok"},       {"platform", "test"}, {"sender", "tester"},
                               {"msgId", _stJob.qstrJobId + "-" + _qstrCmd}, {"cmdtype", "request"},
                               {"param", qjsonModuleMsg}};
    return QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact);
}

// The module message of one burnhost output line: {"cmd": ..., "param": {...}}.
QJsonObject ModuleMessage(const QByteArray& _qbaLine)
{
    const QJsonObject qjsonLine = QJsonDocument::fromJson(_qbaLine).object();
    const QJsonObject qjsonData = QJsonDocument::fromJson(qjsonLine.value("data").toString().toUtf8()).object();
    return qjsonData.value("param").toObject();
}
}  // namespace

class tst_PublisherEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_e2e-XXXXXX"));
        QVERIFY(m_pTmpDir->isValid());
        m_qstrSource = m_pTmpDir->path() + QStringLiteral("/src/video.mp4");
        QVERIFY(WriteBytes(m_qstrSource, QByteArray(4096, 'v')));
        m_qenv = QProcessEnvironment::systemEnvironment();
        m_qenv.insert("TMPDIR", m_pTmpDir->path());
        m_qenv.insert("BURNMODULE_PUBLISHER_ROOT", m_pTmpDir->path() + QStringLiteral("/pub"));
        m_qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
    }
    void cleanup() { m_pTmpDir.reset(); }

    void jobsEndWithTheirFinalStatus_data()
    {
        QTest::addColumn<QStringList>("jobs");      // "<kind>:<job id>"
        QTest::addColumn<QStringList>("expected");  // "<job id> <status> <errCode>"
        QTest::newRow("one Epson, one Primera") << QStringList{"2:E-1", "3:P-1"}
                                                << QStringList{"E-1 3 ", "P-1 3 "};
        QTest::newRow("failing Epson") << QStringList{"2:EF-1"} << QStringList{"EF-1 4 SIM4711"};
    }
    void jobsEndWithTheirFinalStatus()
    {
        QFETCH(QStringList, jobs);
        QFETCH(QStringList, expected);
        QVector<JobDrive> vecJobs;
        for (const QString& qstrJob : jobs)
            vecJobs.append(JobDrive{qstrJob.section(':', 1), qstrJob.section(':', 0, 0).toInt()});
        QVERIFY(RunJobs(vecJobs, 20, 30000));
        QStringList qstrlstSeen;
        for (const JobDrive& stJob : vecJobs) {
            for (const QString& qstrStep : s_qstrlstSteps)
                QCOMPARE(stJob.qmapReplies.value(qstrStep + "Reply"), 1);
            QCOMPARE(stJob.iFinalReplies, 1);
            const int iStatus = stJob.qjsonFinal.value("status").toInt();
            qstrlstSeen << QStringLiteral("%1 %2 %3")
                               .arg(stJob.qstrJobId)
                               .arg(iStatus)
                               .arg(stJob.qjsonFinal.value("errCode").toString());
            QCOMPARE(stJob.qjsonFinal.value("statusMsg").toString(),
                     iStatus == 3 ? QStringLiteral("刻录完成") : QStringLiteral("刻录出错"));
            QTRY_VERIFY(!QDir(m_pTmpDir->path() + QStringLiteral("/host/BurnJob/") + stJob.qstrJobId).exists());
        }
        QCOMPARE(qstrlstSeen, expected);
    }

    // Fifty jobs at once, half Epson, half Primera, the simulator at its fastest.
    void fiftyJobsAtOnce()
    {
        QVector<JobDrive> vecJobs;
        for (int iJob = 0; iJob < 50; ++iJob)
            vecJobs.append(JobDrive{QStringLiteral("L%1").arg(iJob, 2, 10, QLatin1Char('0')), iJob % 2 ? 3 : 2});
        qint64 iElapsedMs = -1;
        QVERIFY(RunJobs(vecJobs, 0, 120000, &iElapsedMs));
        qInfo("fifty jobs: %lld ms from the first request to the last final reply", iElapsedMs);
        for (const JobDrive& stJob : vecJobs) {
            for (const QString& qstrStep : s_qstrlstSteps)
                QCOMPARE(stJob.qmapReplies.value(qstrStep + "Reply"), 1);
            QCOMPARE(stJob.iFinalReplies, 1);
            QCOMPARE(stJob.qjsonFinal.value("status").toInt(), 3);
            QVERIFY(!QDir(m_pTmpDir->path() + QStringLiteral("/host/BurnJob/") + stJob.qstrJobId).exists());
        }
    }

private:
    // Runs pubsim and burnhost, drives every job to its final status reply, and keeps
    // reading a little longer so a second reply of any kind would be seen. The time
    // from the first request to the last final reply goes to _pElapsedMs.
    bool RunJobs(QVector<JobDrive>& _vecJobs, int _iStepMs, int _iTimeoutMs, qint64* _pElapsedMs = nullptr)
    {
        LineProcess pubsim(QStringLiteral(PUBSIM_PATH),
                           {"--step-ms", QString::number(_iStepMs), "--fail", "EF-*=SIM4711"}, m_qenv);
        if (!pubsim.WaitForLineStart("ready", n_StartMs))
            return false;
        LineProcess host(QStringLiteral(BURNHOST_PATH), {"--stdio", "--data-dir", m_pTmpDir->path() + "/host"},
                         m_qenv);
        if (!host.Process().waitForStarted(n_StartMs))
            return false;
        QHash<QString, JobDrive*> qhashJobs;
        QElapsedTimer qtimer;
        qtimer.start();
        for (JobDrive& stJob : _vecJobs) {
            qhashJobs.insert(stJob.qstrJobId, &stJob);
            SendNext(host, stJob);
        }
        int iOpen = _vecJobs.size();
        QDeadlineTimer deadline(_iTimeoutMs);
        while (iOpen > 0 && !deadline.hasExpired()) {
            for (const QByteArray& qbaLine : host.TakeLines(50))
                iOpen -= HandleLine(host, qhashJobs, qbaLine);
        }
        if (_pElapsedMs)
            *_pElapsedMs = qtimer.elapsed();
        QDeadlineTimer settle(2000);  // one more status pass at the test time scale
        while (!settle.hasExpired()) {
            for (const QByteArray& qbaLine : host.TakeLines(50))
                HandleLine(host, qhashJobs, qbaLine);
        }
        return iOpen == 0;
    }

    // Returns 1 when the line was a job's first final status reply.
    int HandleLine(LineProcess& _host, QHash<QString, JobDrive*>& _qhashJobs, const QByteArray& _qbaLine)
    {
        const QJsonObject qjsonModuleMsg = ModuleMessage(_qbaLine);
        const QString qstrCmd = qjsonModuleMsg.value("cmd").toString();
        const QJsonObject qjsonParam = qjsonModuleMsg.value("param").toObject();
        JobDrive* pJob = _qhashJobs.value(qjsonParam.value("JobId").toString());
        if (!pJob || !qstrCmd.endsWith(QLatin1String("Reply")))
            return 0;
        if (qstrCmd == QLatin1String("BurnStatusReply")) {
            pJob->qjsonFinal = qjsonParam;
            return ++pJob->iFinalReplies == 1 ? 1 : 0;
        }
        if (++pJob->qmapReplies[qstrCmd] == 1 && qjsonParam.value("ret").toInt() == 0)
            SendNext(_host, *pJob);
        return 0;
    }

    void SendNext(LineProcess& _host, JobDrive& _stJob)
    {
        if (_stJob.iNextStep >= s_qstrlstSteps.size())
            return;
        _host.Write(Request(_stJob, s_qstrlstSteps[_stJob.iNextStep++], m_qstrSource));
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrSource;
    QProcessEnvironment m_qenv;
};

QTEST_GUILESS_MAIN(tst_PublisherEndToEnd)
#include "tst_PublisherEndToEnd.moc"
