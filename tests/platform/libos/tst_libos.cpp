// win32_libos.dll bound by the module's loader from the application folder and driven
// through the module's forwarders and log entries, as the module drives it: start-up
// state, the log path, the log file (name, line format, levels, cut texts, rotation,
// many writers), when lines are dropped, the recursive mutex and sleep.
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <memory>
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

QStringList ReadLines(const QString& _qstrFile)
{
    QFile qfile(_qstrFile);
    return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
}

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
    // The parts of every line of the log files, by default all in name order.
    QList<QRegularExpressionMatch> LineParts(const QStringList& _qstrlistFiles) const
    {
        QList<QRegularExpressionMatch> qlistParts;
        for (const QString& qstrFile : _qstrlistFiles) {
            for (const QString& qstrLine : ReadLines(m_qstrLogDir + '/' + qstrFile))
                qlistParts << s_qregLine.match(qstrLine);
        }
        return qlistParts;
    }
    QList<QRegularExpressionMatch> LineParts() const { return LineParts(LogFiles()); }
    QStringList Texts(const QStringList& _qstrlistFiles) const
    {
        QStringList qstrlistTexts;
        for (const QRegularExpressionMatch& qmatch : LineParts(_qstrlistFiles))
            qstrlistTexts << (qmatch.hasMatch() ? qmatch.captured(5) : "malformed: " + qmatch.captured());
        return qstrlistTexts;
    }
    QStringList Texts() const { return Texts(LogFiles()); }
    // The same text through each of the three log entries.
    void WriteEach(const char* _szText)
    {
        m_pfnDebugEx(3, "CLS_Each", 1, "%s", _szText);
        m_pfnMsg(3, "%s", _szText);
        m_pfnPuts(3, "CLS_Each", 2, _szText);
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
        QCOMPARE(os_startup(128, 10), 0);
        QCOMPARE(os_is_startup(), 1);
        QElapsedTimer qtimer;
        qtimer.start();
        os_sleep(50);
        QVERIFY(qtimer.elapsed() >= 50);
        qtimer.restart();
        os_sleep(-5);
        QVERIFY(qtimer.elapsed() < 50);
        QCOMPARE(os_cleanup(), 0);
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
    // flushed, so it is there before os_cleanup.
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
        m_pfnPuts(4, "CLS_BurnBus", 77, "100% literal %s");

        const QRegularExpression qregName(QStringLiteral("^Burn_Host_\\d{8}-\\d{6}-\\d{3}_%1\\.log$").arg(getpid()));
        QCOMPARE(LogFiles().filter(qregName).size(), 1);
        QCOMPARE(LogFiles().size(), 1);
        QCOMPARE(Texts(), (QStringList{"fun=Init ret=-6", "plain notice", "100% literal %s"}));
        const QList<QRegularExpressionMatch> qlistParts = LineParts();
        const QDateTime qdtLine = QDateTime::fromString(qlistParts[0].captured(1), "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY(qdtLine >= qdtBefore && qdtLine <= QDateTime::currentDateTime().addSecs(1));
        QCOMPARE(qlistParts[0].captured(2).toLong(), lTid);
        QCOMPARE(qlistParts[1].captured(2).toLong(), CurrentTid());
        QCOMPARE(qlistParts[0].captured(4), QStringLiteral("source\\AutoBurn\\CLS_AutoOda:1234"));
        QCOMPARE(qlistParts[1].captured(4), QString());
        QCOMPARE(qlistParts[2].captured(4), QStringLiteral("CLS_BurnBus:77"));
    }

    void levelsMapToNames_data()
    {
        QTest::addColumn<int>("iLevel");
        QTest::addColumn<QString>("qstrName");
        QTest::newRow("2 notice") << 2 << "info";
        QTest::newRow("3 error") << 3 << "error";
        QTest::newRow("4 progress") << 4 << "debug";
        QTest::newRow("1") << 1 << "warning";
        QTest::newRow("0") << 0 << "critical";
        QTest::newRow("-7") << -7 << "critical";
        QTest::newRow("5") << 5 << "trace";
        QTest::newRow("99") << 99 << "trace";
    }
    // Without a process name the file is named after the executable.
    void levelsMapToNames()
    {
        QFETCH(int, iLevel);
        QFETCH(QString, qstrName);
        Start();
        m_pfnDebugEx(iLevel, "CLS_Level", 1, "level %d", iLevel);
        const QList<QRegularExpressionMatch> qlistParts = LineParts();
        QCOMPARE(qlistParts.size(), 1);
        QCOMPARE(qlistParts[0].captured(3), qstrName);
        QVERIFY(LogFiles()[0].startsWith(QFileInfo(QCoreApplication::applicationFilePath()).fileName() + '_'));
    }

    void startWithoutFileWritesToStandardError()
    {
        const QString qstrCapture = m_pDir->filePath("stderr.txt");
        log_set_path(m_pDir->filePath("log").toUtf8().constData());
        std::fflush(stderr);
        const int iSavedFd = dup(STDERR_FILENO);
        QVERIFY(std::freopen(qstrCapture.toUtf8().constData(), "w", stderr));
        const int iStarted = log_start(0, 1);
        m_pfnDebugEx(3, "CLS_Console", 9, "to the console");
        os_cleanup();
        std::fflush(stderr);
        dup2(iSavedFd, STDERR_FILENO);
        close(iSavedFd);
        QCOMPARE(iStarted, 0);
        const QStringList qstrlistLines = ReadLines(qstrCapture);
        QCOMPARE(qstrlistLines.size(), 1);
        QCOMPARE(s_qregLine.match(qstrlistLines[0]).captured(5), QStringLiteral("to the console"));
        QCOMPARE(LogFiles(), QStringList{"stderr.txt"});
    }

    // Lines are dropped before a start, while a start has failed (no directory, an
    // empty one, a file in its place) and after cleanup; null texts are ignored.
    void linesOutsideARunAreDropped()
    {
        log_set_path(nullptr);
        QCOMPARE(log_start(1, 1), -1);
        log_set_path("");
        QCOMPARE(log_start(1, 1), -1);
        QFile qfilePlain(m_pDir->filePath("plain-file"));
        QVERIFY(qfilePlain.open(QIODevice::WriteOnly));
        log_set_path(qfilePlain.fileName().toUtf8().constData());
        QCOMPARE(log_start(1, 1), -1);
        WriteEach("dropped");
        m_qstrLogDir = m_pDir->filePath("log");
        log_set_path(m_qstrLogDir.toUtf8().constData());
        WriteEach("dropped before start");
        QCOMPARE(log_start(1, 1), 0);
        WriteEach("kept");
        m_pfnDebugEx(3, "CLS_Null", 1, nullptr);
        m_pfnMsg(3, nullptr);
        m_pfnPuts(3, "CLS_Null", 2, nullptr);
        m_pfnPuts(3, nullptr, 3, "no source");
        os_cleanup();
        WriteEach("dropped after cleanup");
        QCOMPARE(Texts(), (QStringList{"kept", "kept", "kept", "no source"}));
    }

    // Cut at 64 KiB, at a character boundary, with a marker; exactly 64 KiB stays whole.
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
    }

    // Not flushed each line: cleanup writes what is buffered.
    void concurrentWritersLoseNoLine()
    {
        Start(0);
        std::vector<std::thread> vecThreads;
        for (int t = 0; t < 8; ++t) {
            vecThreads.emplace_back([this, t] {
                for (int n = 0; n < 500; ++n)
                    m_pfnDebugEx(4, "CLS_Worker", t, "thread %d line %d %s", t, n, "payload-payload-payload");
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        os_cleanup();
        const QStringList qstrlistTexts = Texts();
        QCOMPARE(QSet<QString>(qstrlistTexts.begin(), qstrlistTexts.end()).size(), 8 * 500);
        QCOMPARE(qstrlistTexts.filter(QRegularExpression("^thread \\d line \\d+ payload-payload-payload$")).size(),
                 8 * 500);
    }

    void rotationByLimit_data()
    {
        QTest::addColumn<QByteArray>("qbaLimit");
        QTest::addColumn<int>("iMaxFileBytes");
        QTest::addColumn<int>("iMinFiles");
        QTest::addColumn<int>("iMaxFiles");
        QTest::newRow("4096") << QByteArray("4096") << 4096 << 3 << 6;
        QTest::newRow("not a number: default") << QByteArray("12abc") << 10 * 1024 * 1024 << 1 << 1;
        QTest::newRow("0: default") << QByteArray("0") << 10 * 1024 * 1024 << 1 << 1;
    }
    // Rotated files are "<base>.<n>.log", the highest n the oldest; no line is lost.
    void rotationByLimit()
    {
        QFETCH(QByteArray, qbaLimit);
        QFETCH(int, iMaxFileBytes);
        QFETCH(int, iMinFiles);
        QFETCH(int, iMaxFiles);
        qputenv("LIBOS_LOG_MAX_BYTES", qbaLimit);
        Start();
        QStringList qstrlistExpected;
        for (int n = 0; n < 120; ++n) {  // about 12 KiB
            m_pfnDebugEx(4, "CLS_Rotate", n, "line %03d %s", n, "................................");
            qstrlistExpected << QStringLiteral("line %1 ................................").arg(n, 3, 10, QChar('0'));
        }
        os_cleanup();
        QStringList qstrlistFiles = LogFiles();  // "<base>.1.log" ... "<base>.<n>.log", "<base>.log"
        QVERIFY2(qstrlistFiles.size() >= iMinFiles && qstrlistFiles.size() <= iMaxFiles,
                 qPrintable(qstrlistFiles.join(' ')));
        std::reverse(qstrlistFiles.begin(), qstrlistFiles.end() - 1);
        QCOMPARE(Texts(qstrlistFiles), qstrlistExpected);
        for (const QString& qstrFile : qstrlistFiles)
            QVERIFY2(QFileInfo(m_qstrLogDir + '/' + qstrFile).size() <= iMaxFileBytes, qPrintable(qstrFile));
    }

    // Recursive for its owner, and held until its last unlock: threads that lock twice
    // never overlap. Only the owner can unlock it.
    void mutexExcludesAcrossThreads()
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
    }

    void mutexRefusesNullHandle()
    {
        QCOMPARE(os_mutex_init(nullptr), -1);
        QCOMPARE(os_mutex_lock(nullptr), -1);
        QCOMPARE(os_mutex_unlock(nullptr), -1);
        QCOMPARE(os_mutex_free(nullptr), -1);
        QCOMPARE(os_mutex_destroy(nullptr), -1);
    }
};

QTEST_GUILESS_MAIN(tst_libos)
#include "tst_libos.moc"
