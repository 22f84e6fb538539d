// win32_libos.dll bound by the module's loader from the application folder and driven
// through the module's forwarders and log entries, as the module drives it: start-up
// state and sleep, the recursive mutex, the log path, the log file (name, line format,
// levels, cut texts, rotation) and when lines are dropped.
#include <QtTest>

#include <atomic>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BurnLibBinding.h"

namespace
{
constexpr int n_MaxTextBytes = 64 * 1024;

QString CurrentTid()
{
    return QString::number(syscall(SYS_gettid));
}
}  // namespace

class tst_libos : public QObject
{
    Q_OBJECT

    PFN_LogDebugEx m_pfnDebugEx = nullptr;
    PFN_LogMsg m_pfnMsg = nullptr;
    PFN_LogDebugPuts m_pfnPuts = nullptr;
    std::unique_ptr<QTemporaryDir> m_pDir;  // fresh for each test
    QString m_qstrLogDir;                   // the test's log directory, in m_pDir

    QStringList LogFiles() const { return QDir(m_qstrLogDir).entryList(QDir::Files, QDir::Name); }
    // One part of every line of the log files: 1 the thread id, 2 the level, 3
    // "file:line", 4 the text (0: the time to the millisecond); a malformed line whole.
    QStringList Parts(int _iPart) const
    {
        static const QRegularExpression s_qregLine(QStringLiteral(
            R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) \[(\d+)\] \[(\w+)\] (?:\[([^\]]*)\] )?(.*)$)"));
        QStringList qstrlistParts;
        for (const QString& qstrFile : LogFiles()) {
            QFile qfile(m_qstrLogDir + '/' + qstrFile);
            qfile.open(QIODevice::ReadOnly);
            const QString qstrText = QString::fromUtf8(qfile.readAll());
            for (const QString& qstrLine : qstrText.split('\n', Qt::SkipEmptyParts)) {
                const QRegularExpressionMatch qmatch = s_qregLine.match(qstrLine);
                qstrlistParts << (qmatch.hasMatch() ? qmatch.captured(_iPart + 1) : "malformed: " + qstrLine);
            }
        }
        return qstrlistParts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(libos_init(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
        m_pfnDebugEx = g_pfnModuleLogDebugEx.load();
        m_pfnMsg = g_pfnModuleLogMsg.load();
        m_pfnPuts = g_pfnModuleLogDebugPuts.load();
        QVERIFY(m_pfnDebugEx && m_pfnMsg && m_pfnPuts);
    }
    void init()
    {
        m_pDir.reset(new QTemporaryDir);
        m_qstrLogDir = m_pDir->path();
    }
    void cleanup()
    {
        os_cleanup();
        log_set_proc_name(nullptr);
        log_set_path(nullptr);
        qunsetenv("LIBOS_LOG_MAX_BYTES");
    }

    // The mutex is recursive for its owner and held until its last unlock: threads that
    // lock twice never overlap. Only the owner can unlock it; a null handle is refused.
    void servicesAndMutex()
    {
        QCOMPARE(os_is_startup(), 0);
        QCOMPARE(os_startup(128, 10), 0);
        QCOMPARE(os_is_startup(), 1);
        QElapsedTimer qtimer;
        qtimer.start();
        os_sleep(50);
        QVERIFY(qtimer.elapsed() >= 50);
        QCOMPARE(os_cleanup(), 0);
        QCOMPARE(os_is_startup(), 0);

        void* pMutex = os_mutex_create();
        QCOMPARE(os_mutex_init(pMutex), 0);
        std::atomic<int> atomInside{0};
        std::atomic<int> atomOverlaps{0};
        std::vector<std::thread> vecThreads;
        for (int t = 0; t < 4; ++t) {
            vecThreads.emplace_back([&] {
                for (int n = 0; n < 10000; ++n) {
                    os_mutex_lock(pMutex);
                    atomOverlaps += atomInside.fetch_add(1) != 0;
                    os_mutex_lock(pMutex);
                    os_mutex_unlock(pMutex);
                    atomOverlaps += atomInside.fetch_sub(1) != 1;
                    os_mutex_unlock(pMutex);
                }
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        QCOMPARE(atomOverlaps.load(), 0);
        QCOMPARE(os_mutex_lock(pMutex), 0);
        int iForeignUnlock = 0;
        std::thread([&] { iForeignUnlock = os_mutex_unlock(pMutex); }).join();
        QCOMPARE(iForeignUnlock, -1);
        QCOMPARE(os_mutex_unlock(pMutex), 0);
        QCOMPARE(os_mutex_unlock(pMutex), -1);
        QCOMPARE(os_mutex_free(pMutex), 0);
        QCOMPARE(os_mutex_destroy(pMutex), 0);
        for (auto pfnOp : {os_mutex_init, os_mutex_lock, os_mutex_unlock, os_mutex_free, os_mutex_destroy})
            QCOMPARE(pfnOp(nullptr), -1);
    }

    // The path reads back cut to the buffer. Lines are dropped before a start, while a
    // start has failed (no directory, a file in its place) and after cleanup; null texts
    // are ignored. A start creates the directory; a second one keeps the running file;
    // each line is flushed, so it is there before os_cleanup; line ends are dropped.
    // Levels: 1 warning, 2 notice, 3 error, 4 progress; below 1 critical, above 4 trace.
    // A text over 64 KiB is cut at a character boundary, with a marker.
    void logFile()
    {
        char szPath[64];
        log_set_path("/var/log/burn/Log");
        log_get_path(szPath, sizeof(szPath));
        QCOMPARE(QByteArray(szPath), QByteArray("/var/log/burn/Log"));
        log_get_path(szPath, 5);
        QCOMPARE(QByteArray(szPath), QByteArray("/var"));
        log_get_path(szPath, 0);  // no room: untouched
        QCOMPARE(QByteArray(szPath), QByteArray("/var"));
        log_get_path(nullptr, 10);
        log_set_path(nullptr);
        log_get_path(szPath, sizeof(szPath));
        QCOMPARE(QByteArray(szPath), QByteArray());
        QCOMPARE(log_start(1, 1), -1);
        QFile qfilePlain(m_pDir->filePath("plain-file"));
        QVERIFY(qfilePlain.open(QIODevice::WriteOnly));
        log_set_path(qfilePlain.fileName().toUtf8().constData());
        QCOMPARE(log_start(1, 1), -1);
        m_pfnMsg(3, "dropped");
        m_qstrLogDir = m_pDir->filePath("not/yet/there");
        log_set_path(m_qstrLogDir.toUtf8().constData());
        m_pfnPuts(3, "CLS_Drop", 1, "dropped before start");
        log_set_proc_name("Burn/Host");
        QCOMPARE(log_start(1, 1), 0);
        log_set_proc_name("SecondStart");
        QCOMPARE(log_start(1, 1), 0);
        QString qstrTid;
        std::thread([&] {
            qstrTid = CurrentTid();
            m_pfnDebugEx(3, "AutoBurn\\CLS_AutoOda", 1234, "fun=%s ret=%d\r\n", "Init", -6);
        }).join();
        m_pfnMsg(2, "plain %s", "notice");
        m_pfnPuts(4, "CLS_BurnBus", 77, "100% literal %s\r\n");
        for (int iLevel : {1, 0, -7, 5, 99})
            m_pfnMsg(iLevel, "level %d", iLevel);
        m_pfnDebugEx(3, "CLS_Null", 1, nullptr);
        m_pfnMsg(3, nullptr);
        m_pfnPuts(3, "CLS_Null", 2, nullptr);
        m_pfnPuts(3, nullptr, 3, "no source");
        const std::string strHuge(10 * 1024 * 1024, 'x');
        const std::string strExact(n_MaxTextBytes, 'y');
        std::string strWide;  // three-byte characters: the limit falls inside one
        while (strWide.size() <= static_cast<std::size_t>(n_MaxTextBytes))
            strWide += "\xE4\xB8\xAD";
        m_pfnDebugEx(3, "CLS_Big", 1, "%s", strHuge.c_str());
        m_pfnPuts(3, "CLS_Big", 2, strHuge.c_str());
        m_pfnDebugEx(3, "CLS_Big", 3, "%s", strExact.c_str());
        m_pfnDebugEx(3, "CLS_Big", 4, "%s", strWide.c_str());
        os_cleanup();
        m_pfnDebugEx(3, "CLS_Drop", 4, "dropped after cleanup");

        const QString qstrName = QStringLiteral("^Burn_Host_\\d{8}-\\d{6}-\\d{3}_%1\\.log$").arg(getpid());
        QCOMPARE(LogFiles().filter(QRegularExpression(qstrName)).size(), 1);
        QCOMPARE(LogFiles().size(), 1);
        const QString qstrMarker = QStringLiteral(" ...[cut, %1 bytes in all]");
        const QString qstrHuge = QString(n_MaxTextBytes, 'x') + qstrMarker.arg(strHuge.size());
        const QString qstrWide = QString(n_MaxTextBytes / 3, QChar(0x4E2D)) + qstrMarker.arg(strWide.size());
        QCOMPARE(Parts(4), (QStringList{"fun=Init ret=-6", "plain notice", "100% literal %s", "level 1",
                                        "level 0", "level -7", "level 5", "level 99", "no source", qstrHuge,
                                        qstrHuge, QString::fromStdString(strExact), qstrWide}));
        QCOMPARE(Parts(1).mid(0, 2), (QStringList{qstrTid, CurrentTid()}));
        QCOMPARE(Parts(2).mid(0, 10), (QStringList{"error", "info", "debug", "warning", "critical",
                                                   "critical", "trace", "trace", "error", "error"}));
        QCOMPARE(Parts(3).mid(0, 3), (QStringList{"AutoBurn\\CLS_AutoOda:1234", "", "CLS_BurnBus:77"}));
    }

    void rotationByLimit_data()
    {
        QTest::addColumn<QByteArray>("qbaLimit");
        QTest::addColumn<bool>("blRotates");
        QTest::newRow("4096") << QByteArray("4096") << true;
        QTest::newRow("not a number: the default, 10 MiB") << QByteArray("12abc") << false;
    }
    // About 12 KiB, not flushed each line: cleanup writes what is buffered. No file grows
    // past the limit and no line is lost. Without a process name the files are named after
    // the executable.
    void rotationByLimit()
    {
        QFETCH(QByteArray, qbaLimit);
        QFETCH(bool, blRotates);
        qputenv("LIBOS_LOG_MAX_BYTES", qbaLimit);
        log_set_path(m_qstrLogDir.toUtf8().constData());
        QCOMPARE(log_start(1, 0), 0);
        for (int n = 0; n < 120; ++n)
            m_pfnDebugEx(4, "CLS_Rotate", n, "line %03d ................................", n);
        os_cleanup();
        QCOMPARE(LogFiles().size() > 1, blRotates);
        QCOMPARE(Parts(4).size(), 120);
        for (const QString& qstrFile : LogFiles()) {
            QVERIFY(!blRotates || QFileInfo(m_qstrLogDir + '/' + qstrFile).size() <= 4096);
            QVERIFY(qstrFile.startsWith(QCoreApplication::applicationName() + '_'));
        }
    }
};

QTEST_GUILESS_MAIN(tst_libos)
#include "tst_libos.moc"
