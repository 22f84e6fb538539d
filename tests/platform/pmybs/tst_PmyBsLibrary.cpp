// PMYBurnSvcSdk.dll loaded by its file name and driven against pmysim: log-ins refused and
// unreachable, tasks to their end through the callbacks (on the library's thread) and by
// request with the buffer-size protocol, a task re-opened by id after a new log-in, the
// service lost during calls and back on its port, the calibration.
#include <QtTest>

#include <QLibrary>

#include <csignal>
#include <mutex>
#include <thread>

#include "LibraryProbes.h"
#include "PmyBsApi.h"

namespace
{
constexpr int n_WaitMs = 15000;
constexpr int n_LongTimeoutMs = 20000;

struct PmyBsEntries
{
#define BURN_FWD(ret, name, params, args, fail, form) decltype(&::name) name = nullptr;
#include "PmyBsApiTable.h"
};

QString ResolveEntries(QLibrary& _qlib, PmyBsEntries& _stEntries)
{
    QStringList qlstMissing;
#define BURN_FWD(ret, name, params, args, fail, form)                                                        \
    _stEntries.name = reinterpret_cast<decltype(_stEntries.name)>(_qlib.resolve(#name));                     \
    if (!_stEntries.name)                                                                                    \
        qlstMissing << #name;
#include "PmyBsApiTable.h"
    return qlstMissing.join(' ');
}

// What the callbacks received ("<kind> <json>"), for which logins, on which threads.
struct NotifyLog
{
    std::mutex mtx;
    QStringList qlstMessages;
    QSet<void*> qsetLogins;
    QSet<QString> qsetThreads;

    template <char Kind>
    static void Record(void* _pLogin, const char* _szJson, int _iLen, void* _pUser)
    {
        auto* pLog = static_cast<NotifyLog*>(_pUser);
        const std::lock_guard<std::mutex> lock(pLog->mtx);
        pLog->qlstMessages << QString(QLatin1Char(Kind)) + ' ' + QString::fromUtf8(_szJson, _iLen);
        pLog->qsetLogins << _pLogin;
        pLog->qsetThreads << ThreadName();
    }
    // Messages for the login came, none of them on the test's thread.
    bool HeardElsewhere(void* _pLogin)
    {
        const std::lock_guard<std::mutex> lock(mtx);
        return qsetLogins.contains(_pLogin) && !qsetThreads.isEmpty() && !qsetThreads.contains(ThreadName());
    }
    QStringList Messages(char _chKind)
    {
        const std::lock_guard<std::mutex> lock(mtx);
        return qlstMessages.filter(QRegularExpression(QStringLiteral("^%1 ").arg(_chKind)));
    }
    QString Last(char _chKind)
    {
        const QStringList qlstMessages = Messages(_chKind);
        return qlstMessages.value(qlstMessages.size() - 1);
    }
    // The task's status codes as they came, one for each change.
    QList<int> Statuses(const QString& _qstrTaskId)
    {
        QList<int> qlstStatuses;
        for (const QString& qstrMessage : Messages('T')) {
            const QJsonObject qjsonTask =
                QJsonDocument::fromJson(qstrMessage.mid(2).toUtf8())["tasks"].toArray().first().toObject();
            const int iStatus = qjsonTask.value("status_code").toInt();
            if (qjsonTask.value("id") == _qstrTaskId && (qlstStatuses.isEmpty() || qlstStatuses.last() != iStatus))
                qlstStatuses << iStatus;
        }
        return qlstStatuses;
    }
};
}  // namespace

class tst_PmyBsLibrary : public QObject
{
    Q_OBJECT

    QLibrary m_qlib{QCoreApplication::applicationDirPath() + "/PMYBurnSvcSdk.dll"};
    PmyBsEntries m_api;
    QTemporaryDir m_qtmpDir;
    QProcess m_qprocService;
    QByteArray m_qbaServiceOut;
    NotifyLog m_log;
    void* m_pLogin = nullptr;

    // pmysim with the options on the port (0: any); the port it took, 0 when not ready.
    int StartService(const QStringList& _qlstArgs, int _iPort = 0)
    {
        m_qbaServiceOut.clear();
        m_qprocService.start(QCoreApplication::applicationDirPath() + "/pmysim",
                             QStringList{"--port", QString::number(_iPort), "--step-ms", "20", "--out",
                                         m_qtmpDir.filePath("out")}
                                 + _qlstArgs);
        const QRegularExpression qregReady("ready port=(\\d+) ");
        static_cast<void>(WaitForServiceLine(qregReady));
        return qregReady.match(m_qbaServiceOut).captured(1).toInt();
    }
    bool WaitForServiceLine(const QRegularExpression& _qregLine)
    {
        return QTest::qWaitFor(
            [&] { return _qregLine.match(m_qbaServiceOut += m_qprocService.readAllStandardOutput()).hasMatch(); },
            n_WaitMs);
    }
    int Login(int _iPort) { return m_api.PMYBS_Login("127.0.0.1", _iPort, &m_pLogin); }
    // A task of the job with one file and two print fields, submitted; its id.
    QString Submit(const QString& _qstrJobId, int _iCopies)
    {
        void* pTask = nullptr;
        if (m_api.PMYBS_CreateTask(m_pLogin, 1, qPrintable(_qstrJobId), &pTask) != 0)
            return QString();
        m_api.PMYBS_AddFile(pTask, qPrintable(m_qtmpDir.filePath("a.txt")), "/证据/a.txt");
        m_api.PMYBS_SetPrintField(pTask, 1, "案件");
        m_api.PMYBS_SetPrintField(pTask, 40, "底");
        m_api.PMYBS_SetTaskConfig(pTask, "disc_label", "CASE");
        m_api.PMYBS_SetTaskConfig(pTask, "copy_count", qPrintable(QString::number(_iCopies)));
        char szTaskId[40] = {};
        const int iResult = m_api.PMYBS_SubmitTask(pTask, szTaskId);
        m_api.PMYBS_CloseTask(pTask);
        return iResult == 0 ? QString::fromUtf8(szTaskId) : QString();
    }
    // The task's status text by request, through the buffer-size protocol.
    QJsonObject TaskStatus(const QString& _qstrTaskId, int* _piResult = nullptr)
    {
        int iLen = 4;
        QByteArray qbaBuf(iLen, '\0');
        int iResult = m_api.PMYBS_GetTaskStatus(m_pLogin, qPrintable(_qstrTaskId), qbaBuf.data(), &iLen);
        if (iResult == 11006) {
            qbaBuf.resize(iLen);
            iResult = m_api.PMYBS_GetTaskStatus(m_pLogin, qPrintable(_qstrTaskId), qbaBuf.data(), &iLen);
        }
        if (_piResult)
            *_piResult = iResult;
        return QJsonDocument::fromJson(qbaBuf.left(iResult == 0 ? iLen : 0))["tasks"].toArray().first().toObject();
    }
    QString ResultFile(const QString& _qstrTaskId)
    {
        QFile qfile(m_qtmpDir.filePath("out/" + _qstrTaskId + ".result.txt"));
        return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_qlib.load(), qPrintable(m_qlib.errorString()));
        QCOMPARE(ResolveEntries(m_qlib, m_api), QString());
        QVERIFY(QFile(m_qtmpDir.filePath("a.txt")).open(QIODevice::WriteOnly));
        QCOMPARE(m_api.PMYBS_Init(), 0);
        QCOMPARE(m_api.PMYBS_SetTaskStatusCallback(&NotifyLog::Record<'T'>, &m_log), 0);
        QCOMPARE(m_api.PMYBS_SetRobotStatusCallback(&NotifyLog::Record<'R'>, &m_log), 0);
        QCOMPARE(m_api.PMYBS_SetDynamicCallback(&NotifyLog::Record<'D'>, &m_log), 0);
        QCOMPARE(m_api.PMYBS_SetEventCallback(&NotifyLog::Record<'E'>, &m_log), 0);
    }
    void cleanup()
    {
        m_api.PMYBS_Logout(m_pLogin);
        m_pLogin = nullptr;
        m_qprocService.kill();
        m_qprocService.waitForFinished(n_WaitMs);
    }
    void cleanupTestCase()
    {
        QCOMPARE(m_api.PMYBS_Destory(), 0);
        QVERIFY(m_qlib.unload());
    }

    void login_data()
    {
        QTest::addColumn<QStringList>("qlstArgs");  // empty: no service on the port
        QTest::addColumn<int>("iResult");
        QTest::newRow("unreachable") << QStringList() << 11000;
        QTest::newRow("refused") << QStringList{"--refuse-login"} << 11000;
        QTest::newRow("open") << QStringList{"--discs", "3"} << 0;
    }
    void login()
    {
        QFETCH(QStringList, qlstArgs);
        int iPort = StartService(qlstArgs);
        if (qlstArgs.isEmpty()) {
            m_qprocService.kill();
            m_qprocService.waitForFinished(n_WaitMs);
        }
        QTEST(Login(iPort), "iResult");
        QCOMPARE(m_pLogin != nullptr, qlstArgs == QStringList({"--discs", "3"}));
        QCOMPARE(m_api.PMYBS_CheckSvcIsOnline("127.0.0.1", iPort), !qlstArgs.isEmpty());
        if (!m_pLogin)
            return;
        // The robot's state reaches the new login by itself.
        QTRY_VERIFY_WITH_TIMEOUT(!m_log.Messages('R').isEmpty(), n_WaitMs);
        QVERIFY(m_log.HeardElsewhere(m_pLogin));
        QCOMPARE(m_api.PMYBS_Logout(m_pLogin), 0);
        QCOMPARE(m_api.PMYBS_Logout(m_pLogin), 11012);
        m_pLogin = nullptr;
    }

    void task_data()
    {
        QTest::addColumn<QStringList>("qlstArgs");
        QTest::addColumn<QString>("qstrJobId");
        QTest::addColumn<QList<int>>("qlstStatuses");
        QTest::addColumn<QString>("qstrOutcome");
        QTest::newRow("burned") << QStringList{} << "J1" << QList<int>{0, 1, 2, 3} << "finished";
        QTest::newRow("failing") << QStringList{"--fail", "F*=卡盘"} << "F1" << QList<int>{0, 1, 5} << "error 卡盘";
        QTest::newRow("cancelled") << QStringList{"--discs", "0"} << "C1" << QList<int>{0, 1, 2, 4} << "cancelled";
    }
    void task()
    {
        QFETCH(QStringList, qlstArgs);
        QFETCH(QString, qstrJobId);
        QFETCH(QList<int>, qlstStatuses);
        QCOMPARE(Login(StartService(qlstArgs)), 0);
        const QString qstrTaskId = Submit(qstrJobId, 2);
        QVERIFY(!qstrTaskId.isEmpty());
        if (qlstStatuses.last() == 4) {
            // Out of discs: the robot says so and the task waits burning until cancelled.
            QTRY_VERIFY_WITH_TIMEOUT(m_log.Last('R').contains("\"system_error\":15"), n_WaitMs);
            QCOMPARE(m_api.PMYBS_CancleTaskById(m_pLogin, qPrintable(qstrTaskId)), 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_log.Statuses(qstrTaskId).endsWith(qlstStatuses.last()), n_WaitMs);
        QCOMPARE(m_log.Statuses(qstrTaskId), qlstStatuses);
        QVERIFY(m_log.HeardElsewhere(m_pLogin));
        int iResult = -1;
        const QJsonObject qjsonTask = TaskStatus(qstrTaskId, &iResult);
        QCOMPARE(iResult, 0);
        QCOMPARE(qjsonTask.value("status_code").toInt(), qlstStatuses.last());
        QCOMPARE(qjsonTask.value("job_id").toString(), qstrJobId);
        QCOMPARE(m_api.PMYBS_CancleTaskById(m_pLogin, qPrintable(qstrTaskId)), 11002);
        const QString qstrResult = ResultFile(qstrTaskId);
        QFETCH(QString, qstrOutcome);
        const QString qstrFile = "FILE=0\t" + m_qtmpDir.filePath("a.txt") + "\t/证据/a.txt";
        for (const QString& qstrLine :
             {"OUTCOME=" + qstrOutcome, QString("SUBMITS=1"), QString("LABEL=CASE"), QString("FIELD=40\t底"), qstrFile})
            QVERIFY2(qstrResult.contains("\n" + qstrLine + "\n"), qPrintable(qstrResult));
    }

    // Refusals of the library itself and their texts, before anything reaches a service.
    void refusals()
    {
        QCOMPARE(Login(StartService({})), 0);
        void* pTask = nullptr;
        QCOMPARE(m_api.PMYBS_CreateTask(m_pLogin, 2, "J", &pTask), 11007);
        QCOMPARE(m_api.PMYBS_CreateTask(m_pLogin, 1, "J", &pTask), 0);
        QCOMPARE(m_api.PMYBS_AddFile(pTask, "/nonexistent/a.txt", "/a.txt"), 11009);
        QCOMPARE(m_api.PMYBS_SetTaskConfig(pTask, "colour", "1"), 11003);
        QCOMPARE(m_api.PMYBS_SetPrintField(pTask, 41, "x"), 11003);
        char szTaskId[40] = {};
        QCOMPARE(m_api.PMYBS_SubmitTask(pTask, szTaskId), 11014);
        QCOMPARE(m_api.PMYBS_AddTree(pTask, qPrintable(m_qtmpDir.filePath("a.txt")), "/t"), 11010);
        QCOMPARE(m_api.PMYBS_AddFile(pTask, qPrintable(m_qtmpDir.path()), "/folder"), 0);
        QCOMPARE(m_api.PMYBS_CloseTask(pTask), 0);
        QCOMPARE(m_api.PMYBS_OpenTask(m_pLogin, "NO-SUCH-TASK", &pTask), 11008);
        QCOMPARE(m_api.PMYBS_SetConfig("colour", "1"), 11005);
        int iLen = 1;
        char szValue[8] = {};
        QCOMPARE(m_api.PMYBS_GetConfig("call_timeout_ms", szValue, &iLen), 11006);
        QCOMPARE(iLen, 6);
        QCOMPARE(m_api.PMYBS_GetConfig("call_timeout_ms", szValue, &iLen), 0);
        QCOMPARE(QByteArray(szValue), QByteArray("10000"));
        QCOMPARE(QString::fromUtf8(m_api.PMYBS_GetErrorString(11014)), QString("任务中未添加刻录文件"));
        QCOMPARE(QString::fromUtf8(m_api.PMYBS_GetErrorString(99)), QString("未知错误"));
    }

    // A new login (a restarted module) finds a task by its id and cannot submit it again.
    void reopened()
    {
        const int iPort = StartService({"--step-ms", "300"});
        QCOMPARE(Login(iPort), 0);
        const QString qstrTaskId = Submit("R1", 3);
        QCOMPARE(m_api.PMYBS_Logout(m_pLogin), 0);
        QVERIFY(WaitForServiceLine(QRegularExpression("logout ")));
        QCOMPARE(Login(iPort), 0);
        void* pTask = nullptr;
        QCOMPARE(m_api.PMYBS_OpenTask(m_pLogin, qPrintable(qstrTaskId), &pTask), 0);
        char szTaskId[40] = {};
        QCOMPARE(m_api.PMYBS_SubmitTask(pTask, szTaskId), 11003);
        QCOMPARE(m_api.PMYBS_CloseTask(pTask), 0);
        QTRY_COMPARE_WITH_TIMEOUT(TaskStatus(qstrTaskId).value("status_code").toInt(), 3, n_WaitMs);
        m_qprocService.write("stats\n");
        QVERIFY(WaitForServiceLine(QRegularExpression("stats R1=1\n")));
    }

    // The service stops answering with two calls waiting and dies: both fail at once; the
    // login comes back by itself when the service is back on its port.
    void serviceLost()
    {
        const int iPort = StartService({});
        QCOMPARE(Login(iPort), 0);
        QCOMPARE(m_api.PMYBS_SetConfig("call_timeout_ms", QByteArray::number(n_LongTimeoutMs)), 0);
        QVERIFY(::kill(static_cast<pid_t>(m_qprocService.processId()), SIGSTOP) == 0);
        int arrResults[2] = {-1, -1};
        qint64 arrElapsed[2] = {};
        std::thread arrThreads[2];
        for (int iCall = 0; iCall < 2; ++iCall)
            arrThreads[iCall] = std::thread([&, iCall] {
                QElapsedTimer qtimer;
                qtimer.start();
                int iLen = 0;
                arrResults[iCall] = m_api.PMYBS_GetRobotStatus(m_pLogin, nullptr, &iLen);
                arrElapsed[iCall] = qtimer.elapsed();
            });
        // Checked once the threads are back: a failed check must not leave them running.
        const bool blWaiting = QTest::qWaitFor([&] { return UnreadBytesOnPort(iPort); }, n_WaitMs);
        m_qprocService.kill();
        for (std::thread& thread : arrThreads)
            thread.join();
        QCOMPARE(m_api.PMYBS_SetConfig("call_timeout_ms", "10000"), 0);
        QVERIFY2(blWaiting, "the calls never reached the service");
        for (int iCall = 0; iCall < 2; ++iCall) {
            QCOMPARE(arrResults[iCall], 11000);
            QVERIFY2(arrElapsed[iCall] < n_LongTimeoutMs / 4, qPrintable(QString::number(arrElapsed[iCall])));
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_log.Last('E').contains("disconnected"), n_WaitMs);
        m_qprocService.waitForFinished(n_WaitMs);
        QCOMPARE(StartService({}, iPort), iPort);
        int iLen = 0;
        QTRY_COMPARE_WITH_TIMEOUT(m_api.PMYBS_GetRobotStatus(m_pLogin, nullptr, &iLen), 11006, n_WaitMs);
    }

    void calibration_data()
    {
        QTest::addColumn<QStringList>("qlstArgs");
        QTest::addColumn<int>("iResult");
        QTest::addColumn<int>("iSystemState");
        QTest::newRow("idle") << QStringList{} << 0 << 0;
        QTest::newRow("busy") << QStringList{"--busy"} << 11002 << 1;
    }
    void calibration()
    {
        QFETCH(QStringList, qlstArgs);
        QCOMPARE(Login(StartService(qlstArgs)), 0);
        int iLen = 0;
        QCOMPARE(m_api.PMYBS_GetRobotStatus(m_pLogin, nullptr, &iLen), 11006);
        QByteArray qbaBuf(iLen, '\0');
        QCOMPARE(m_api.PMYBS_GetRobotStatus(m_pLogin, qbaBuf.data(), &iLen), 0);
        QCOMPARE(iLen, qbaBuf.size() - 1);
        const QJsonObject qjsonDevice = QJsonDocument::fromJson(qbaBuf.left(iLen))["devices"][0].toObject();
        QTEST(qjsonDevice.value("system_state").toInt(), "iSystemState");
        QCOMPARE(qjsonDevice.value("bin2_disc_count").toInt(), 100);
        QTEST(m_api.PMYBS_ExecuteRobotCmd(m_pLogin, 0, 1), "iResult");
        QVERIFY(WaitForServiceLine(QRegularExpression("calibrate (ok|busy)")));
    }
};

QTEST_MAIN(tst_PmyBsLibrary)
#include "tst_PmyBsLibrary.moc"
