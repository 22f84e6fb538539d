// wp_nwc.dll loaded by its file name and driven against dmxsim: the robot's answers by
// request, tasks to their end with their events (on the library's thread) and result
// files, a robot that dies during a request and comes back on its port.
#include <QtTest>

#include <QLibrary>
#include <QScopeGuard>

#include <csignal>
#include <mutex>
#include <thread>

#include "DmxNwcApi.h"
#include "LibraryProbes.h"

namespace
{
constexpr int n_WaitMs = 15000;
constexpr int n_LongTimeoutMs = 20000;

// Every entry of the table, by its own name and type.
struct NwcEntries
{
#define BURN_ENTRY(ret, name, params, args) decltype(&::name) name = nullptr;
#include "DmxNwcApiTable.h"
};

// Resolves every entry; the names of those missing.
QString ResolveEntries(QLibrary& _qlib, NwcEntries& _stEntries)
{
    QStringList qlstMissing;
#define BURN_ENTRY(ret, name, params, args)                                                                  \
    _stEntries.name = reinterpret_cast<decltype(_stEntries.name)>(_qlib.resolve(#name));                     \
    if (!_stEntries.name)                                                                                    \
        qlstMissing << #name;
#include "DmxNwcApiTable.h"
    return qlstMissing.join(' ');
}

// What a subscription received, and on which threads.
struct EventLog
{
    std::mutex mtx;
    QStringList qlstEvents;  // "<cmd> <json>"
    QSet<QString> qsetThreads;

    static void Record(const char* _szCmd, const char* _szJson, void* _pUser)
    {
        auto* pLog = static_cast<EventLog*>(_pUser);
        const std::lock_guard<std::mutex> lock(pLog->mtx);
        pLog->qlstEvents << QString::fromUtf8(_szCmd) + ' ' + QString::fromUtf8(_szJson);
        pLog->qsetThreads << ThreadName();
    }
    QSet<QString> Threads()
    {
        const std::lock_guard<std::mutex> lock(mtx);
        return qsetThreads;
    }
    QStringList Events()
    {
        const std::lock_guard<std::mutex> lock(mtx);
        return qlstEvents;
    }
    // The task's statuses in the order they came.
    QList<int> Statuses(const QString& _qstrGuid)
    {
        QList<int> qlstStatuses;
        for (const QString& qstrEvent : Events()) {
            const QJsonObject qjsonEvent = QJsonDocument::fromJson(qstrEvent.section(' ', 1).toUtf8()).object();
            if (qstrEvent.startsWith("TaskStatus ") && qjsonEvent.value("guid") == _qstrGuid)
                qlstStatuses << qjsonEvent.value("status").toInt();
        }
        return qlstStatuses;
    }
};

struct CallOutcome
{
    int iResult = -1;
    int iErrId = -1;
    QString qstrReply;
    qint64 llElapsedMs = 0;
};

QString AddTaskBody(const QString& _qstrGuid, int _iBurnCount, const QString& _qstrSource)
{
    const QJsonObject qjsonTask{
        {"guid", _qstrGuid}, {"className", "TaskFileToCd"}, {"start", 1}, {"end", 1000}, {"cdType", "DVD"},
        {"code", "C1"}, {"label", "案件"}, {"burnCount", _iBurnCount}, {"isCloseWholeCD", 1}, {"isPrint", 1},
        {"printValues", QJsonObject{{"id", "T1"}, {"values", QJsonObject{}}}},
        {"burnFiles",
         QJsonArray{QJsonObject{{"srcPath", _qstrSource}, {"isoPath", "/证据/a.txt"}, {"isDir", false}}}}};
    return QString::fromUtf8(QJsonDocument(qjsonTask).toJson(QJsonDocument::Compact));
}
}  // namespace

class tst_NwcLibrary : public QObject
{
    Q_OBJECT

    QLibrary m_qlib{QCoreApplication::applicationDirPath() + "/BurnModuleFile/DMX/wp_nwc.dll"};
    NwcEntries m_api;
    QTemporaryDir m_qtmpDir;
    QProcess m_qprocRobot;
    QByteArray m_qbaRobotOut;
    void* m_pDev = nullptr;

    // dmxsim with the options on the port (0: any); the port it took, 0 when not ready.
    int StartRobot(const QStringList& _qlstArgs, int _iPort = 0)
    {
        m_qbaRobotOut.clear();
        m_qprocRobot.start(QCoreApplication::applicationDirPath() + "/dmxsim",
                           QStringList{"--port", QString::number(_iPort), "--step-ms", "20", "--out",
                                       m_qtmpDir.filePath("out"), "--share", m_qtmpDir.filePath("share")}
                               + _qlstArgs);
        const QRegularExpression qregReady("ready port=(\\d+) ");
        static_cast<void>(WaitForRobotLine(qregReady));
        return qregReady.match(m_qbaRobotOut).captured(1).toInt();
    }
    bool WaitForRobotLine(const QRegularExpression& _qregLine)
    {
        return QTest::qWaitFor(
            [&] { return _qregLine.match(m_qbaRobotOut += m_qprocRobot.readAllStandardOutput()).hasMatch(); },
            n_WaitMs);
    }
    CallOutcome Call(const char* _szMethod, const char* _szClass, const QString& _qstrBody,
                     int _iTimeoutMs = n_WaitMs)
    {
        CallOutcome stOutcome;
        char* szReply = nullptr;
        int iLen = 0;
        QElapsedTimer qtimer;
        qtimer.start();
        stOutcome.iResult = m_api.send_msg_ret_err_new_ex(m_pDev, _szMethod, _szClass, "{1}",
                                                          _qstrBody.toUtf8().constData(), _iTimeoutMs, &szReply,
                                                          &iLen, &stOutcome.iErrId);
        stOutcome.llElapsedMs = qtimer.elapsed();
        stOutcome.qstrReply = QString::fromUtf8(szReply, iLen);
        m_api.free_str(&szReply);
        return stOutcome;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_qlib.load(), qPrintable(m_qlib.errorString()));
        QCOMPARE(ResolveEntries(m_qlib, m_api), QString());
        QVERIFY(QFile(m_qtmpDir.filePath("a.txt")).open(QIODevice::WriteOnly));
    }
    void cleanup()
    {
        m_api.destroy_dev(m_pDev);
        m_pDev = nullptr;
        m_qprocRobot.kill();
        m_qprocRobot.waitForFinished(n_WaitMs);
    }
    // Every device is gone: nothing holds the library at unload.
    void cleanupTestCase() { QVERIFY(m_qlib.unload()); }

    // Replies and bodies with ' for "; a reply "msg" is a refusal with its message.
    void request_data()
    {
        QTest::addColumn<int>("iDrives");
        QTest::addColumn<QString>("qstrCall");  // "<method> <class> <body>"
        QTest::addColumn<int>("iResult");
        QTest::addColumn<int>("iErrId");
        QTest::addColumn<QString>("qstrReply");
        const QString qstrTask = AddTaskBody("{T}", 6, m_qtmpDir.filePath("a.txt"));
        QTest::newRow("share of two drives")
            << 2 << "get shares " << 1 << 0 << "[{'addrsrc':'%share%','pass':'burn','status':1,'user':'burn'}]";
        QTest::newRow("no share with twelve") << 12 << "get shares " << 1 << 0 << "[]";
        QTest::newRow("system status") << 8 << "get SysStatus " << 1 << 0 << "{'icwmSysStatus':0,'taskState':1}";
        QTest::newRow("inks set") << 2 << "get Printer " << 1 << 0
                                  << "{'inkInfos':[{'colorName':'黑','level':30},{'colorName':'红','level':10}]}";
        QTest::newRow("blank discs") << 2 << "get CdItemCount " << 1 << 0 << "5";
        QTest::newRow("depot") << 12 << "get DepotInfos {'ciMediaStatus':'1','iCiMediaPosi':'1'}" << 1 << 0
                               << "[{'count':5,'dwType':0},{'count':0,'dwType':2}]";
        QTest::newRow("template") << 2 << "set PrintTemplate <t/>" << 1 << 0 << "{'id':'T1'}";
        QTest::newRow("unknown class") << 2 << "get Nothing " << 0 << 0 << "msg";
        QTest::newRow("task short of discs, twelve") << 12 << "task AddTask " + qstrTask << 0 << 111012 << "msg";
        QTest::newRow("task short of discs, two") << 2 << "task AddTask " + qstrTask << 1 << 0 << "{'guid':'{T}'}";
        QTest::newRow("task without files") << 8 << "task AddTask {'guid':'{T}','burnCount':1}" << 0 << 0 << "msg";
    }
    void request()
    {
        QFETCH(int, iDrives);
        QFETCH(QString, qstrCall);
        QFETCH(QString, qstrReply);
        const int iPort =
            StartRobot({"--drives", QString::number(iDrives), "--discs", "5", "--ink", "red=10,black=30"});
        m_pDev = m_api.get_dev("127.0.0.1", iPort, 0);
        QCOMPARE(m_api.is_conn(m_pDev), 1);
        qstrCall.replace('\'', '"');
        const CallOutcome stOutcome = Call(qPrintable(qstrCall.section(' ', 0, 0)),
                                           qPrintable(qstrCall.section(' ', 1, 1)), qstrCall.section(' ', 2));
        QTEST(stOutcome.iResult, "iResult");
        QTEST(stOutcome.iErrId, "iErrId");
        if (qstrReply == "msg")
            QVERIFY2(!QJsonDocument::fromJson(stOutcome.qstrReply.toUtf8())["msg"].toString().isEmpty(),
                     qPrintable(stOutcome.qstrReply));
        else
            QCOMPARE(stOutcome.qstrReply, qstrReply.replace('\'', '"').replace("%share%", m_qtmpDir.filePath("share")));
    }

    void task_data()
    {
        QTest::addColumn<QStringList>("qlstArgs");
        QTest::addColumn<QString>("qstrGuid");
        QTest::addColumn<QList<int>>("qlstStatuses");
        QTest::addColumn<QString>("qstrOutcome");
        QTest::newRow("burned and printed") << QStringList{} << "{A}" << QList<int>{0, 1, 2, 3, 14} << "finished";
        QTest::newRow("failing") << QStringList{"--fail", "{F*}=卡盘"} << "{F1}" << QList<int>{0, 1, 4}
                                 << "error 卡盘";
        QTest::newRow("out of discs, refilled, run again")
            << QStringList{"--discs", "1"} << "{R}" << QList<int>{0, 1, 2, 4, 0, 1, 2, 3, 14} << "finished";
    }
    void task()
    {
        QFETCH(QStringList, qlstArgs);
        QFETCH(QString, qstrGuid);
        QFETCH(QList<int>, qlstStatuses);
        QFETCH(QString, qstrOutcome);
        m_pDev = m_api.get_dev("127.0.0.1", StartRobot(qlstArgs), 0);
        EventLog stLog;
        EventLog stLater;
        void* pSub = m_api.set_change_event_call(m_pDev, &EventLog::Record, &stLog);
        QVERIFY(pSub);
        // The logs live on this stack: no callback may reach them once the test returns.
        void* pLaterSub = nullptr;
        const auto unsubscribe = qScopeGuard([&] {
            m_api.destroy_change_event_call(m_pDev, pSub);
            m_api.destroy_change_event_call(m_pDev, pLaterSub);
        });
        QCOMPARE(Call("task", "AddTask", AddTaskBody(qstrGuid, 2, m_qtmpDir.filePath("a.txt"))).iResult, 1);
        const bool blRefill = qlstStatuses.count(4) && qlstStatuses.last() == 14;
        QTRY_VERIFY_WITH_TIMEOUT(stLog.Statuses(qstrGuid).endsWith(blRefill ? 4 : qlstStatuses.last()), n_WaitMs);
        if (blRefill) {
            QCOMPARE(stLog.Events().filter("\"slErrorId\":112002").size(), 1);
            m_qprocRobot.write("refill 3\n");
            QVERIFY(WaitForRobotLine(QRegularExpression("refill 3 discs=3")));
            QString qstrEdit = QString("{'guid':'%1','className':'TaskFileToCd','start':1,'end':1000}").arg(qstrGuid);
            qstrEdit.replace('\'', '"');
            QCOMPARE(Call("task", "EditTask", qstrEdit).iResult, 1);
            QCOMPARE(Call("task", "GoRunTask", qstrGuid).iResult, 1);
            QTRY_VERIFY_WITH_TIMEOUT(stLog.Statuses(qstrGuid).endsWith(14), n_WaitMs);
        }
        QCOMPARE(stLog.Statuses(qstrGuid), qlstStatuses);
        QVERIFY(!stLog.Threads().isEmpty() && !stLog.Threads().contains(ThreadName()));
        QFile qfileResult(m_qtmpDir.filePath("out/" + qstrGuid + ".result.txt"));
        QVERIFY(qfileResult.open(QIODevice::ReadOnly));
        const QString qstrResult = QString::fromUtf8(qfileResult.readAll());
        QVERIFY2(qstrResult.contains("\nOUTCOME=" + qstrOutcome + "\n") && qstrResult.contains("\nPRINT=yes\n"),
                 qPrintable(qstrResult));
        // A removed subscription hears nothing more while a remaining one does.
        pLaterSub = m_api.set_change_event_call(m_pDev, &EventLog::Record, &stLater);
        QVERIFY(pLaterSub);
        QCOMPARE(m_api.destroy_change_event_call(m_pDev, pSub), 1);
        const int iHeard = stLog.Events().size();
        QCOMPARE(Call("task", "GoRunTask", qstrGuid).iResult, 1);
        QTRY_VERIFY_WITH_TIMEOUT(!stLater.Events().isEmpty(), n_WaitMs);
        QCOMPARE(stLog.Events().size(), iHeard);
    }

    // The robot dies with two requests waiting: both fail at once and the device reports
    // the loss; the robot back on its port is found again.
    void robotLost()
    {
        const int iPort = StartRobot({});
        m_pDev = m_api.get_dev("127.0.0.1", iPort, 0);
        QCOMPARE(m_api.is_conn(m_pDev), 1);
        QVERIFY(::kill(static_cast<pid_t>(m_qprocRobot.processId()), SIGSTOP) == 0);
        CallOutcome arrOutcomes[2];
        std::thread arrThreads[2];
        for (int iCall = 0; iCall < 2; ++iCall)
            arrThreads[iCall] =
                std::thread([&, iCall] { arrOutcomes[iCall] = Call("get", "SysStatus", "", n_LongTimeoutMs); });
        // Checked once the threads are back: a failed check must not leave them running.
        const bool blWaiting = QTest::qWaitFor([&] { return UnreadBytesOnPort(iPort); }, n_WaitMs);
        m_qprocRobot.kill();
        for (std::thread& thread : arrThreads)
            thread.join();
        QVERIFY2(blWaiting, "the requests never reached the robot");
        for (const CallOutcome& stOutcome : arrOutcomes) {
            QCOMPARE(stOutcome.iResult, 0);
            QVERIFY2(stOutcome.llElapsedMs < n_LongTimeoutMs / 4, qPrintable(QString::number(stOutcome.llElapsedMs)));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_api.is_conn(m_pDev), 0, n_WaitMs);
        m_qprocRobot.waitForFinished(n_WaitMs);
        QCOMPARE(StartRobot({}, iPort), iPort);
        QTRY_COMPARE_WITH_TIMEOUT(m_api.is_conn(m_pDev), 1, n_WaitMs);
        QCOMPARE(Call("get", "CdItemCount", "").qstrReply, QString("100"));
    }
};

QTEST_MAIN(tst_NwcLibrary)
#include "tst_NwcLibrary.moc"
