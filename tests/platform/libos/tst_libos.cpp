// win32_libos.dll bound by the module's loader from the application folder and driven
// through the module's forwarders and log entries, as the module drives it: start-up
// state and sleep, the log path, the log file (name, line format, levels, cut texts,
// rotation), when lines are dropped, and the recursive mutex.
#include <QtTest>

#include <atomic>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BurnLibBinding.h"

namespace
{
// time (ms), thread id, level, [file:line], text
const QRegularExpression s_qregLine(
    QStringLiteral(R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) \[(\d+)\] \[(\w+)\] (?:\[([^\]]*)\] )?(.*)$)"));
constexpr int n_MaxTextBytes = 64 * 1024;

long CurrentTid()
{
    return static_cast<long>(syscall(SYS_gettid));
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
    void Start(int _iFlushEachLine = 1)
    {
        log_set_path(m_qstrLogDir.toUtf8().constData());
        QCOMPARE(log_start(1, _iFlushEachLine), 0);
    }
    // The parts of every line of the given log files, by default all in name order.
    QList<QRegularExpressionMatch> LineParts(QStringList _qstrlistFiles = {}) const
    {
        QList<QRegularExpressionMatch> qlistParts;
        for (const QString& qstrFile : _qstrlistFiles.isEmpty() ? LogFiles() : _qstrlistFiles) {
            QFile qfile(m_qstrLogDir + '/' + qstrFile);
            if (!qfile.open(QIODevice::ReadOnly))
                continue;
            for (const QString& qstrLine : QString::fromUtf8(qfile.readAll()).split('\n', Qt::SkipEmptyParts))
                qlistParts << s_qregLine.match(qstrLine);
        }
        return qlistParts;
    }
    QStringList Texts(const QStringList& _qstrlistFiles = {}) const
    {
        QStringList qstrlistTexts;
        for (const QRegularExpressionMatch& qmatch : LineParts(_qstrlistFiles))
            qstrlistTexts << (qmatch.hasMatch() ? qmatch.captured(5) : "malformed: " + qmatch.captured());
        return qstrlistTexts;
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

    void servicesStartSleepAndStop()
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
    }

    void pathReadsBackCutToTheBuffer()
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
    }

    // The directory is created; a second start keeps the running file; each line is
    // flushed, so it is there before os_cleanup; line ends are dropped. Levels: 1
    // warning, 2 notice, 3 error, 4 progress; below 1 critical, above 4 trace.
    void fileNameAndLineFormat()
    {
        m_qstrLogDir = m_pDir->filePath("not/yet/there");
        log_set_proc_name("Burn/Host");
        const QDateTime qdtBefore = QDateTime::currentDateTime().addSecs(-1);
        Start();
        log_set_proc_name("SecondStart");
        QCOMPARE(log_start(1, 1), 0);
        long lTid = 0;
        std::thread([&] {
            lTid = CurrentTid();
            m_pfnDebugEx(3, "source\\AutoBurn\\CLS_AutoOda", 1234, "fun=%s ret=%d\r\n", "Init", -6);
        }).join();
        m_pfnMsg(2, "plain %s", "notice");
        m_pfnPuts(4, "CLS_BurnBus", 77, "100% literal %s\r\n");
        for (int iLevel : {1, 0, -7, 5, 99})
            m_pfnMsg(iLevel, "level %d", iLevel);

        const QRegularExpression qregName(QStringLiteral("^Burn_Host_\\d{8}-\\d{6}-\\d{3}_%1\\.log$").arg(getpid()));
        QCOMPARE(LogFiles().filter(qregName).size(), 1);
        QCOMPARE(LogFiles().size(), 1);
        QCOMPARE(Texts(), (QStringList{"fun=Init ret=-6", "plain notice", "100% literal %s", "level 1", "level 0",
                                       "level -7", "level 5", "level 99"}));
        const QList<QRegularExpressionMatch> qlistParts = LineParts();
        const QDateTime qdtLine = QDateTime::fromString(qlistParts[0].captured(1), "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY(qdtLine >= qdtBefore && qdtLine <= QDateTime::currentDateTime().addSecs(1));
        QCOMPARE(qlistParts[0].captured(2).toLong(), lTid);
        QCOMPARE(qlistParts[1].captured(2).toLong(), CurrentTid());
        QCOMPARE(qlistParts[0].captured(4), QStringLiteral("source\\AutoBurn\\CLS_AutoOda:1234"));
        QCOMPARE(qlistParts[1].captured(4), QString());
        QCOMPARE(qlistParts[2].captured(4), QStringLiteral("CLS_BurnBus:77"));
        QStringList qstrlistLevels;
        for (const QRegularExpressionMatch& qmatch : qlistParts)
            qstrlistLevels << qmatch.captured(3);
        QCOMPARE(qstrlistLevels,
                 (QStringList{"error", "info", "debug", "warning", "critical", "critical", "trace", "trace"}));
    }

    // Lines are dropped before a start, while a start has failed (no directory, a file
    // in its place) and after cleanup; null texts are ignored.
    void linesOutsideARunAreDropped()
    {
        QCOMPARE(log_start(1, 1), -1);
        QFile qfilePlain(m_pDir->filePath("plain-file"));
        QVERIFY(qfilePlain.open(QIODevice::WriteOnly));
        log_set_path(qfilePlain.fileName().toUtf8().constData());
        QCOMPARE(log_start(1, 1), -1);
        m_pfnMsg(3, "dropped");
        m_qstrLogDir = m_pDir->filePath("log");
        log_set_path(m_qstrLogDir.toUtf8().constData());
        m_pfnPuts(3, "CLS_Drop", 1, "dropped before start");
        QCOMPARE(log_start(1, 1), 0);
        m_pfnDebugEx(3, "CLS_Null", 1, nullptr);
        m_pfnMsg(3, nullptr);
        m_pfnPuts(3, "CLS_Null", 2, nullptr);
        m_pfnPuts(3, nullptr, 3, "no source");
        os_cleanup();
        m_pfnDebugEx(3, "CLS_Drop", 4, "dropped after cleanup");
        QCOMPARE(Texts(), QStringList{"no source"});
    }

    // Cut at 64 KiB, at a character boundary, with a marker; exactly 64 KiB stays whole.
    // Without a process name the file is named after the executable.
    void overlongTextIsCut()
    {
        Start();
        const std::string strHuge(10 * 1024 * 1024, 'x');
        const std::string strExact(n_MaxTextBytes, 'y');
        std::string strWide;  // three-byte characters: the limit falls inside one
        while (strWide.size() <= static_cast<std::size_t>(n_MaxTextBytes))
            strWide += "\xE4\xB8\xAD";
        m_pfnDebugEx(3, "CLS_Big", 1, "%s", strHuge.c_str());
        m_pfnPuts(3, "CLS_Big", 2, strHuge.c_str());
        m_pfnDebugEx(3, "CLS_Big", 3, "%s", strExact.c_str());
        m_pfnDebugEx(3, "CLS_Big", 4, "%s", strWide.c_str());
        const QString qstrMarker = QStringLiteral(" ...[cut, %1 bytes in all]");
        const QString qstrCutHuge = QString(n_MaxTextBytes, 'x') + qstrMarker.arg(strHuge.size());
        const QString qstrCutWide = QString(n_MaxTextBytes / 3, QChar(0x4E2D)) + qstrMarker.arg(strWide.size());
        QCOMPARE(Texts(), (QStringList{qstrCutHuge, qstrCutHuge, QString::fromStdString(strExact), qstrCutWide}));
        QVERIFY(LogFiles()[0].startsWith(QFileInfo(QCoreApplication::applicationFilePath()).fileName() + '_'));
    }

    void rotationByLimit_data()
    {
        QTest::addColumn<QByteArray>("qbaLimit");
        QTest::addColumn<int>("iMaxFileBytes");
        QTest::newRow("4096") << QByteArray("4096") << 4096;
        QTest::newRow("not a number: default") << QByteArray("12abc") << 10 * 1024 * 1024;
        QTest::newRow("0: default") << QByteArray("0") << 10 * 1024 * 1024;
    }
    // About 12 KiB, not flushed each line: cleanup writes what is buffered. Rotated files
    // are "<base>.<n>.log", the highest n the oldest; no line is lost.
    void rotationByLimit()
    {
        QFETCH(QByteArray, qbaLimit);
        QFETCH(int, iMaxFileBytes);
        qputenv("LIBOS_LOG_MAX_BYTES", qbaLimit);
        Start(0);
        QStringList qstrlistExpected;
        for (int n = 0; n < 120; ++n) {
            m_pfnDebugEx(4, "CLS_Rotate", n, "line %03d %s", n, "................................");
            qstrlistExpected << QStringLiteral("line %1 ................................").arg(n, 3, 10, QChar('0'));
        }
        os_cleanup();
        QStringList qstrlistFiles = LogFiles();  // "<base>.1.log" ... "<base>.<n>.log", "<base>.log"
        QCOMPARE(qstrlistFiles.size() > 1, iMaxFileBytes < 12 * 1024);
        std::reverse(qstrlistFiles.begin(), qstrlistFiles.end() - 1);
        QCOMPARE(Texts(qstrlistFiles), qstrlistExpected);
        for (const QString& qstrFile : qstrlistFiles)
            QVERIFY2(QFileInfo(m_qstrLogDir + '/' + qstrFile).size() <= iMaxFileBytes, qPrintable(qstrFile));
    }

    // Recursive for its owner, and held until its last unlock: threads that lock twice
    // never overlap. Only the owner can unlock it; a null handle is refused.
    void mutex()
    {
        void* pMutex = os_mutex_create();
        QCOMPARE(os_mutex_init(pMutex), 0);
        int iCounter = 0;
        std::atomic<int> atomInside{0};
        std::atomic<int> atomOverlaps{0};
        std::vector<std::thread> vecThreads;
        for (int t = 0; t < 4; ++t) {
            vecThreads.emplace_back([&] {
                for (int n = 0; n < 10000; ++n) {
                    os_mutex_lock(pMutex);
                    atomOverlaps += atomInside.fetch_add(1) != 0;
                    os_mutex_lock(pMutex);
                    ++iCounter;
                    os_mutex_unlock(pMutex);
                    atomOverlaps += atomInside.fetch_sub(1) != 1;
                    os_mutex_unlock(pMutex);
                }
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        QCOMPARE(atomOverlaps.load(), 0);
        QCOMPARE(iCounter, 4 * 10000);
        QCOMPARE(os_mutex_lock(pMutex), 0);
        int iForeignUnlock = 0;
        std::thread([&] { iForeignUnlock = os_mutex_unlock(pMutex); }).join();
        QCOMPARE(iForeignUnlock, -1);
        QCOMPARE(os_mutex_unlock(pMutex), 0);
        QCOMPARE(os_mutex_unlock(pMutex), -1);
        QCOMPARE(os_mutex_free(pMutex), 0);
        QCOMPARE(os_mutex_destroy(pMutex), 0);
        for (int (*pfnOp)(void*) : {os_mutex_init, os_mutex_lock, os_mutex_unlock, os_mutex_free, os_mutex_destroy})
            QCOMPARE(pfnOp(nullptr), -1);
    }
};

QTEST_GUILESS_MAIN(tst_libos)
#include "tst_libos.moc"
