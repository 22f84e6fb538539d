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
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

#include "CLS_StdioHost.h"
#include "TestFiles.h"

namespace
{
constexpr int n_WaitMs = 60000;
constexpr int n_JobsInFlight = 3;
const QStringList s_qlstSteps{"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

// Replies in the store that no client confirmed; -1 when the store cannot be read.
int UnconfirmedReplies(const QString& _qstrStore)
{
    int iCount = -1;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase("QSQLITE", "inspect");
        qsqlDb.setDatabaseName(_qstrStore);
        QSqlQuery qsqlQuery(qsqlDb);
        if (qsqlDb.open()
            && qsqlQuery.exec("SELECT COUNT(*) FROM job_item_table WHERE responnse<>'' AND ack_receive<>1")
            && qsqlQuery.next())
            iCount = qsqlQuery.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("inspect");
    return iCount;
}
}  // namespace

// The video-management side: sends each job's commands one after the other, acknowledges
// every "send" message, and sends its unanswered requests again whenever it connects.
class CLS_KillClient : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        int iStep = 0;                 // index into the steps; all done: waiting for the end
        qint64 llCreated = 0;
        QSet<QString> qsetFinalKeys;   // the final status replies, by msgId and time stamp
        int iStatus = -1;
    };

    CLS_KillClient(int _iServicePort, QString _qstrSrcFile)
        : m_iServicePort(_iServicePort), m_qstrSrcFile(std::move(_qstrSrcFile))
    {
        connect(&m_qws, &QWebSocket::connected, this, &CLS_KillClient::SlotConnected);
        connect(&m_qws, &QWebSocket::textMessageReceived, this, &CLS_KillClient::SlotText);
    }
    // The client says who it is in the address, so replies held for it reach it at once.
    void Open(const QString& _qstrUrl)
    {
        m_qws.abort();
        m_qws.open(QUrl(_qstrUrl + "/?token=tok&platform=test&sender=vms"));
    }
    bool IsConnected() const { return m_qws.state() == QAbstractSocket::ConnectedState; }
    void AddJob(const QString& _qstrJobId)
    {
        m_qmapJobs[_qstrJobId].llCreated = QDateTime::currentMSecsSinceEpoch();
        SendStep(_qstrJobId);
    }
    int Running() const
    {
        return std::count_if(m_qmapJobs.cbegin(), m_qmapJobs.cend(), [](const Job& _stJob) {
            return _stJob.qsetFinalKeys.isEmpty();
        });
    }
    const QMap<QString, Job>& Jobs() const { return m_qmapJobs; }
    QString Unfinished() const
    {
        QStringList qlstJobs;
        for (auto it = m_qmapJobs.cbegin(); it != m_qmapJobs.cend(); ++it) {
            if (it->qsetFinalKeys.isEmpty())
                qlstJobs << QString("%1 at step %2").arg(it.key()).arg(it->iStep);
        }
        return "unfinished: " + qlstJobs.join(", ");
    }
    int m_iResends = 0;
    QStringList m_qlstProblems;

private Q_SLOTS:
    void SlotConnected()
    {
        for (auto it = m_qmapJobs.cbegin(); it != m_qmapJobs.cend(); ++it)
            SendStep(it.key());
    }
    void SlotText(const QString& _qstrText)
    {
        const QJsonObject qjsonMsg = QJsonDocument::fromJson(_qstrText.toUtf8()).object();
        if (qjsonMsg.value("cmdtype") != "send")
            return;
        m_qws.sendTextMessage(Text({{"cmdtype", "ack"}, {"msgId", qjsonMsg.value("msgId")},
                                    {"timestamp", qjsonMsg.value("timestamp")}}));
        const QString qstrKey = qjsonMsg.value("msgId").toString() + ' ' + qjsonMsg.value("timestamp").toString();
        if (m_qhashSent.contains(qstrKey)) {
            ++m_iResends;
            if (m_qhashSent.value(qstrKey) != _qstrText)
                m_qlstProblems << "resent differently: " + _qstrText;
            return;
        }
        m_qhashSent.insert(qstrKey, _qstrText);
        TakeReply(qjsonMsg.value("param").toObject().value("param").toObject(), qstrKey);
    }

private:
    void TakeReply(const QJsonObject& _qjsonModule, const QString& _qstrKey)
    {
        const QJsonObject qjsonParam = _qjsonModule.value("param").toObject();
        const QString qstrJobId = qjsonParam.value("JobId").toString();
        const QString qstrCmd = _qjsonModule.value("cmd").toString();
        if (!m_qmapJobs.contains(qstrJobId))
            return;
        Job& stJob = m_qmapJobs[qstrJobId];
        const int iStatus = qjsonParam.value("status").toInt(-1);
        if (qstrCmd == "BurnStatusReply" && (iStatus == 3 || iStatus == 4)) {
            stJob.qsetFinalKeys.insert(_qstrKey);
            stJob.iStatus = iStatus;
            return;
        }
        if (stJob.iStep >= s_qlstSteps.size() || qstrCmd != s_qlstSteps.at(stJob.iStep) + "Reply")
            return;  // an earlier step's reply sent again by a replay
        if (qjsonParam.value("ret").toInt() != 0) {
            m_qlstProblems << qstrJobId + ": " + Text(qjsonParam);
            return;
        }
        ++stJob.iStep;
        SendStep(qstrJobId);
    }
    QJsonObject StepParam(const QString& _qstrCmd, const QString& _qstrJobId) const
    {
        if (_qstrCmd == "ApplyBurn")
            return {{"BurnDev", 7}, {"CopyCount", 1}, {"serverIP", "127.0.0.1"}, {"DevPort", m_iServicePort}};
        if (_qstrCmd == "StartBurn")
            return {{"CDType", "DVD"}, {"CDTitle", _qstrJobId}, {"CloseDisc", "yes"}, {"CopyCount", 1}};
        if (_qstrCmd == "AddFile")
            return {{"FileList", QJsonArray{QJsonObject{{"srcFile", m_qstrSrcFile}, {"DesFile", "/a.mp4"}}}}};
        if (_qstrCmd == "WriteLabel")
            return {{"LabelInfo", QJsonObject{{"UpperOne", _qstrJobId}}}};
        return {};
    }
    // The job's current request, always with the same msgId and time stamp.
    void SendStep(const QString& _qstrJobId)
    {
        const Job& stJob = m_qmapJobs.value(_qstrJobId);
        if (stJob.iStep >= s_qlstSteps.size() || !IsConnected())
            return;
        const QString qstrCmd = s_qlstSteps.at(stJob.iStep);
        QJsonObject qjsonParam = StepParam(qstrCmd, _qstrJobId);
        qjsonParam.insert("JobId", _qstrJobId);
        const QJsonObject qjsonRequest{
            {"token", "tok"}, {"platform", "test"}, {"sender", "vms"}, {"cmdtype", "request"},
            {"msgId", _qstrJobId + "-" + qstrCmd}, {"timestamp", QString::number(stJob.llCreated + stJob.iStep)},
            {"param", QJsonObject{{"cmd", qstrCmd}, {"ret", 0}, {"param", qjsonParam}}}};
        m_qws.sendTextMessage(Text(qjsonRequest));
    }

    QWebSocket m_qws;
    int m_iServicePort;
    QString m_qstrSrcFile;
    QMap<QString, Job> m_qmapJobs;
    QHash<QString, QString> m_qhashSent;
};

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
        CLS_KillClient client(iServicePort, m_qtmpDir.filePath("src/a.mp4"));
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
        QTRY_COMPARE_WITH_TIMEOUT(UnconfirmedReplies(qstrStore), 0, n_WaitMs);
        StopProcess(m_qprocHost);
        QCOMPARE(UnconfirmedReplies(qstrStore), 0);

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
