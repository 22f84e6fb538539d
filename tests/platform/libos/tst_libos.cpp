// win32_libos.dll loaded by file name from the application folder and driven
// through its resolved entries, as the module drives it.
#include <QtTest>

#include "win32_libos.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const s_szMaxBytesVar = "LIBOS_LOG_MAX_BYTES";
constexpr int n_Test_MaxTextBytes = 64 * 1024;

// time (ms), thread id, level, [file:line], text
const QRegularExpression s_rxLine(QStringLiteral(
    R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}) \[(\d+)\] \[(\w+)\] (?:\[([^\]:]*):(\d+)\] )?(.*)$)"));

long CurrentTid()
{
    return static_cast<long>(syscall(SYS_gettid));
}

} // namespace

class tst_libos : public QObject
{
    Q_OBJECT

private:
    QLibrary m_libOs;
    decltype(&::os_startup) m_pfnOsStartup = nullptr;
    decltype(&::os_cleanup) m_pfnOsCleanup = nullptr;
    decltype(&::os_is_startup) m_pfnOsIsStartup = nullptr;
    decltype(&::log_set_path) m_pfnLogSetPath = nullptr;
    decltype(&::log_get_path) m_pfnLogGetPath = nullptr;
    decltype(&::log_set_proc_name) m_pfnLogSetProcName = nullptr;
    decltype(&::log_start) m_pfnLogStart = nullptr;
    decltype(&::log_manage_startup) m_pfnLogManageStartup = nullptr;
    decltype(&::log_debug_ex) m_pfnLogDebugEx = nullptr;
    decltype(&::log_msg) m_pfnLogMsg = nullptr;
    decltype(&::log_debug_puts) m_pfnLogDebugPuts = nullptr;
    decltype(&::os_mutex_create) m_pfnMutexCreate = nullptr;
    decltype(&::os_mutex_init) m_pfnMutexInit = nullptr;
    decltype(&::os_mutex_lock) m_pfnMutexLock = nullptr;
    decltype(&::os_mutex_unlock) m_pfnMutexUnlock = nullptr;
    decltype(&::os_mutex_destroy) m_pfnMutexDestroy = nullptr;
    decltype(&::os_mutex_free) m_pfnMutexFree = nullptr;
    decltype(&::os_sleep) m_pfnOsSleep = nullptr;

    template <typename T>
    void Resolve(T& _pfnEntry, const char* _szName)
    {
        _pfnEntry = reinterpret_cast<T>(m_libOs.resolve(_szName));
    }

    static QStringList LogFiles(const QString& _qstrDir)
    {
        return QDir(_qstrDir).entryList(QDir::Files, QDir::Name);
    }

    static QStringList ReadLines(const QString& _qstrFile)
    {
        QFile qfile(_qstrFile);
        if (!qfile.open(QIODevice::ReadOnly))
            return {};
        QStringList qlstLines = QString::fromUtf8(qfile.readAll()).split('\n');
        if (!qlstLines.isEmpty() && qlstLines.last().isEmpty())
            qlstLines.removeLast();
        return qlstLines;
    }

    // Every line of every file in the directory, files in name order.
    static QStringList ReadAllLines(const QString& _qstrDir)
    {
        QStringList qlstLines;
        for (const QString& qstrFile : LogFiles(_qstrDir))
            qlstLines += ReadLines(_qstrDir + "/" + qstrFile);
        return qlstLines;
    }

    void StartIn(const QString& _qstrDir, int _iFlushEachLine)
    {
        m_pfnLogSetPath(_qstrDir.toUtf8().constData());
        QCOMPARE(m_pfnLogStart(1, _iFlushEachLine), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString qstrPath = QCoreApplication::applicationDirPath() + "/win32_libos.dll";
        QVERIFY2(QFileInfo::exists(qstrPath), qPrintable(qstrPath));
        m_libOs.setFileName(qstrPath);
        QVERIFY2(m_libOs.load(), qPrintable(m_libOs.errorString()));
        Resolve(m_pfnOsStartup, "os_startup");
        Resolve(m_pfnOsCleanup, "os_cleanup");
        Resolve(m_pfnOsIsStartup, "os_is_startup");
        Resolve(m_pfnLogSetPath, "log_set_path");
        Resolve(m_pfnLogGetPath, "log_get_path");
        Resolve(m_pfnLogSetProcName, "log_set_proc_name");
        Resolve(m_pfnLogStart, "log_start");
        Resolve(m_pfnLogManageStartup, "log_manage_startup");
        Resolve(m_pfnLogDebugEx, "log_debug_ex");
        Resolve(m_pfnLogMsg, "log_msg");
        Resolve(m_pfnLogDebugPuts, "log_debug_puts");
        Resolve(m_pfnMutexCreate, "os_mutex_create");
        Resolve(m_pfnMutexInit, "os_mutex_init");
        Resolve(m_pfnMutexLock, "os_mutex_lock");
        Resolve(m_pfnMutexUnlock, "os_mutex_unlock");
        Resolve(m_pfnMutexDestroy, "os_mutex_destroy");
        Resolve(m_pfnMutexFree, "os_mutex_free");
        Resolve(m_pfnOsSleep, "os_sleep");
        QVERIFY(m_pfnOsStartup && m_pfnOsCleanup && m_pfnOsIsStartup);
        QVERIFY(m_pfnLogSetPath && m_pfnLogGetPath && m_pfnLogSetProcName && m_pfnLogStart && m_pfnLogManageStartup);
        QVERIFY(m_pfnLogDebugEx && m_pfnLogMsg && m_pfnLogDebugPuts);
        QVERIFY(m_pfnMutexCreate && m_pfnMutexInit && m_pfnMutexLock && m_pfnMutexUnlock);
        QVERIFY(m_pfnMutexDestroy && m_pfnMutexFree && m_pfnOsSleep);
        // Entries the module does not need stay absent.
        QVERIFY(!m_libOs.resolve("os_tcp_server_create"));
        QVERIFY(!m_libOs.resolve("ringbuf_create"));
    }

    void cleanup()
    {
        m_pfnOsCleanup();
        m_pfnLogSetProcName(nullptr);
        m_pfnLogSetPath(nullptr);
        qunsetenv(s_szMaxBytesVar);
    }

    void startupStateFollowsStartupAndCleanup()
    {
        QCOMPARE(m_pfnOsIsStartup(), 0);
        QCOMPARE(m_pfnLogManageStartup(), 0);
        QCOMPARE(m_pfnOsStartup(128, 10), 0);
        QCOMPARE(m_pfnOsIsStartup(), 1);
        QCOMPARE(m_pfnOsStartup(128, 10), 0);
        QCOMPARE(m_pfnOsIsStartup(), 1);
        QCOMPARE(m_pfnOsCleanup(), 0);
        QCOMPARE(m_pfnOsIsStartup(), 0);
        QCOMPARE(m_pfnOsCleanup(), 0);
    }

    void pathReadsBackCutToTheBuffer()
    {
        m_pfnLogSetPath("/var/log/burn/Log");
        char szPath[64];
        m_pfnLogGetPath(szPath, sizeof(szPath));
        QCOMPARE(QByteArray(szPath), QByteArray("/var/log/burn/Log"));
        m_pfnLogGetPath(szPath, 5);
        QCOMPARE(QByteArray(szPath), QByteArray("/var"));
        szPath[0] = 'x';
        m_pfnLogGetPath(szPath, 0);
        QCOMPARE(szPath[0], 'x');
        m_pfnLogGetPath(nullptr, 10);
        m_pfnLogSetPath(nullptr);
        m_pfnLogGetPath(szPath, sizeof(szPath));
        QCOMPARE(QByteArray(szPath), QByteArray());
    }

    void lineCarriesTimeThreadLevelSourceAndText()
    {
        QTemporaryDir qtmpDir;
        const QString qstrDir = qtmpDir.path() + "/not/yet/there";
        m_pfnLogSetProcName("BurnHost");
        const QDateTime qdtBefore = QDateTime::currentDateTime().addSecs(-1);
        StartIn(qstrDir, 1);
        // Already running: the file is kept, no second one appears.
        m_pfnLogSetProcName("SecondStart");
        QCOMPARE(m_pfnLogStart(1, 1), 0);

        long lTid = 0;
        std::thread([&] {
            lTid = CurrentTid();
            m_pfnLogDebugEx(3, "source\\AutoBurn\\Oda\\CLS_AutoOda", 1234, "fun=%s ret=%d\r\n", "CLS_AutoOda::Init", -6);
        }).join();
        m_pfnLogMsg(2, "plain %s", "notice");
        m_pfnLogDebugPuts(4, "CLS_BurnBus", 77, "100% literal %s");
        const QDateTime qdtAfter = QDateTime::currentDateTime().addSecs(1);

        // Read without os_cleanup: flushing each line means the lines are there already.
        const QStringList qlstFiles = LogFiles(qstrDir);
        QCOMPARE(qlstFiles.size(), 1);
        const QRegularExpression rxName(QStringLiteral("^BurnHost_\\d{8}-\\d{6}-\\d{3}_%1\\.log$").arg(getpid()));
        QVERIFY2(rxName.match(qlstFiles.first()).hasMatch(), qPrintable(qlstFiles.first()));
        const QStringList qlstLines = ReadLines(qstrDir + "/" + qlstFiles.first());
        QCOMPARE(qlstLines.size(), 3);

        const QRegularExpressionMatch mFirst = s_rxLine.match(qlstLines[0]);
        QVERIFY2(mFirst.hasMatch(), qPrintable(qlstLines[0]));
        const QDateTime qdtLine = QDateTime::fromString(mFirst.captured(1), "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY(qdtLine >= qdtBefore && qdtLine <= qdtAfter);
        QCOMPARE(mFirst.captured(2).toLong(), lTid);
        QCOMPARE(mFirst.captured(3), QStringLiteral("error"));
        QCOMPARE(mFirst.captured(4), QStringLiteral("source\\AutoBurn\\Oda\\CLS_AutoOda"));
        QCOMPARE(mFirst.captured(5), QStringLiteral("1234"));
        QCOMPARE(mFirst.captured(6), QStringLiteral("fun=CLS_AutoOda::Init ret=-6"));

        const QRegularExpressionMatch mSecond = s_rxLine.match(qlstLines[1]);
        QVERIFY2(mSecond.hasMatch(), qPrintable(qlstLines[1]));
        QCOMPARE(mSecond.captured(2).toLong(), CurrentTid());
        QCOMPARE(mSecond.captured(4), QString());
        QCOMPARE(mSecond.captured(6), QStringLiteral("plain notice"));

        const QRegularExpressionMatch mThird = s_rxLine.match(qlstLines[2]);
        QVERIFY2(mThird.hasMatch(), qPrintable(qlstLines[2]));
        QCOMPARE(mThird.captured(3), QStringLiteral("debug"));
        QCOMPARE(mThird.captured(4) + ":" + mThird.captured(5), QStringLiteral("CLS_BurnBus:77"));
        QCOMPARE(mThird.captured(6), QStringLiteral("100% literal %s"));
    }

    void fileNameDefaultsToTheExecutable()
    {
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        const QStringList qlstFiles = LogFiles(qtmpDir.path());
        QCOMPARE(qlstFiles.size(), 1);
        const QString qstrExe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY2(qlstFiles.first().startsWith(qstrExe + "_"), qPrintable(qlstFiles.first()));
    }

    void levelsMapToNames_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("name");
        QTest::newRow("2 notice") << 2 << "info";
        QTest::newRow("3 error") << 3 << "error";
        QTest::newRow("4 progress") << 4 << "debug";
        QTest::newRow("1") << 1 << "warning";
        QTest::newRow("0") << 0 << "critical";
        QTest::newRow("-7") << -7 << "critical";
        QTest::newRow("5") << 5 << "trace";
        QTest::newRow("99") << 99 << "trace";
    }
    void levelsMapToNames()
    {
        QFETCH(int, level);
        QFETCH(QString, name);
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        m_pfnLogDebugEx(level, "CLS_Level", 1, "level %d", level);
        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), 1);
        const QRegularExpressionMatch match = s_rxLine.match(qlstLines.first());
        QVERIFY2(match.hasMatch(), qPrintable(qlstLines.first()));
        QCOMPARE(match.captured(3), name);
    }

    void startWithoutFileWritesToStandardError()
    {
        QTemporaryDir qtmpDir;
        const QString qstrCapture = qtmpDir.path() + "/stderr.txt";
        const QString qstrLogDir = qtmpDir.path() + "/log";
        m_pfnLogSetPath(qstrLogDir.toUtf8().constData());
        std::fflush(stderr);
        const int iSavedFd = dup(STDERR_FILENO);
        QVERIFY(iSavedFd >= 0);
        QVERIFY(std::freopen(qstrCapture.toUtf8().constData(), "w", stderr));
        const int iStarted = m_pfnLogStart(0, 1);
        m_pfnLogDebugEx(3, "CLS_Console", 9, "to the console");
        m_pfnOsCleanup();
        std::fflush(stderr);
        dup2(iSavedFd, STDERR_FILENO);
        close(iSavedFd);

        QCOMPARE(iStarted, 0);
        const QStringList qlstLines = ReadLines(qstrCapture);
        QCOMPARE(qlstLines.size(), 1);
        const QRegularExpressionMatch match = s_rxLine.match(qlstLines.first());
        QVERIFY2(match.hasMatch(), qPrintable(qlstLines.first()));
        QCOMPARE(match.captured(6), QStringLiteral("to the console"));
        QVERIFY(!QFileInfo::exists(qstrLogDir));
    }

    void linesBeforeStartAreDropped()
    {
        QTemporaryDir qtmpDir;
        m_pfnLogSetPath(qtmpDir.path().toUtf8().constData());
        m_pfnLogDebugEx(3, "CLS_Early", 1, "before start %s", "dropped");
        m_pfnLogMsg(3, "before start %d", 2);
        m_pfnLogDebugPuts(3, "CLS_Early", 3, "before start puts");
        QCOMPARE(LogFiles(qtmpDir.path()).size(), 0);

        QCOMPARE(m_pfnLogStart(1, 1), 0);
        m_pfnLogDebugEx(3, "CLS_Early", 4, "after start");
        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), 1);
        QVERIFY(qlstLines.first().endsWith("after start"));
    }

    void linesAfterCleanupAreDropped()
    {
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        m_pfnLogDebugEx(3, "CLS_Late", 1, "kept");
        m_pfnOsCleanup();
        m_pfnLogDebugEx(3, "CLS_Late", 2, "after cleanup");
        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), 1);
        QVERIFY(qlstLines.first().endsWith("kept"));
    }

    void startWithoutPathFailsAndDrops()
    {
        m_pfnLogSetPath(nullptr);
        QVERIFY(m_pfnLogStart(1, 1) != 0);
        m_pfnLogSetPath("");
        QVERIFY(m_pfnLogStart(1, 1) != 0);
        m_pfnLogDebugEx(3, "CLS_NoPath", 1, "nowhere %s", "to go");
        m_pfnLogMsg(3, "nowhere");
        m_pfnLogDebugPuts(3, nullptr, 0, "nowhere");
        m_pfnLogDebugEx(3, nullptr, 0, nullptr);
    }

    void unusableDirectoryFailsToStart()
    {
        QTemporaryDir qtmpDir;
        const QString qstrFile = qtmpDir.path() + "/plain-file";
        QFile qfile(qstrFile);
        QVERIFY(qfile.open(QIODevice::WriteOnly));
        qfile.close();
        m_pfnLogSetPath(qstrFile.toUtf8().constData());
        QVERIFY(m_pfnLogStart(1, 1) != 0);
        m_pfnLogDebugEx(3, "CLS_BadDir", 1, "dropped");
    }

    void nullTextsAreIgnoredWhileRunning()
    {
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        m_pfnLogDebugEx(3, "CLS_Null", 1, nullptr);
        m_pfnLogMsg(3, nullptr);
        m_pfnLogDebugPuts(3, "CLS_Null", 2, nullptr);
        m_pfnLogDebugPuts(3, nullptr, 3, "no source");
        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), 1);
        QVERIFY(qlstLines.first().endsWith("] no source"));
    }

    void overlongMessageIsCut()
    {
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        const std::string strHuge(10 * 1024 * 1024, 'x');
        const std::string strExact(n_Test_MaxTextBytes, 'y');
        // Three-byte characters: the limit falls inside one of them.
        std::string strWide;
        while (strWide.size() <= static_cast<std::size_t>(n_Test_MaxTextBytes))
            strWide += "\xE4\xB8\xAD";
        m_pfnLogDebugEx(3, "CLS_Big", 1, "%s", strHuge.c_str());
        m_pfnLogDebugPuts(3, "CLS_Big", 2, strHuge.c_str());
        m_pfnLogDebugEx(3, "CLS_Big", 3, "%s", strExact.c_str());
        m_pfnLogDebugEx(3, "CLS_Big", 4, "%s", strWide.c_str());

        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), 4);
        const QString qstrMarker = QStringLiteral(" ...[cut, %1 bytes in all]").arg(strHuge.size());
        for (int i = 0; i < 2; ++i) {
            const QString& qstrText = s_rxLine.match(qlstLines[i]).captured(6);
            QCOMPARE(qstrText, QString(n_Test_MaxTextBytes, 'x') + qstrMarker);
        }
        QCOMPARE(s_rxLine.match(qlstLines[2]).captured(6), QString::fromStdString(strExact));

        const QString qstrWide = s_rxLine.match(qlstLines[3]).captured(6);
        const int iKeptChars = n_Test_MaxTextBytes / 3;
        QCOMPARE(qstrWide, QString(iKeptChars, QChar(0x4E2D)) +
                               QStringLiteral(" ...[cut, %1 bytes in all]").arg(strWide.size()));
    }

    void concurrentWritersLoseNoLine()
    {
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 0);
        const int iThreads = 8;
        const int iLinesEach = 500;
        std::vector<std::thread> vecThreads;
        for (int t = 0; t < iThreads; ++t) {
            vecThreads.emplace_back([this, t] {
                for (int n = 0; n < iLinesEach; ++n)
                    m_pfnLogDebugEx(4, "CLS_Worker", t, "thread %d line %d %s", t, n, "payload-payload-payload");
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        // Without flushing each line, cleanup has to flush what is buffered.
        m_pfnOsCleanup();

        const QStringList qlstLines = ReadAllLines(qtmpDir.path());
        QCOMPARE(qlstLines.size(), iThreads * iLinesEach);
        QSet<QString> qsetSeen;
        for (const QString& qstrLine : qlstLines) {
            const QRegularExpressionMatch match = s_rxLine.match(qstrLine);
            QVERIFY2(match.hasMatch(), qPrintable(qstrLine));
            QVERIFY(match.captured(6).endsWith(" payload-payload-payload"));
            qsetSeen.insert(match.captured(6));
        }
        QCOMPARE(qsetSeen.size(), iThreads * iLinesEach);
    }

    void rotationStartsNewFileAtLimit()
    {
        const int iLimit = 4096;
        qputenv(s_szMaxBytesVar, QByteArray::number(iLimit));
        QTemporaryDir qtmpDir;
        m_pfnLogSetProcName("rotate");
        StartIn(qtmpDir.path(), 1);
        const int iLines = 120;   // about 12 KiB: a few files, fewer than are kept
        for (int n = 0; n < iLines; ++n)
            m_pfnLogDebugEx(4, "CLS_Rotate", n, "line %03d %s", n, "................................");
        m_pfnOsCleanup();

        const QStringList qlstFiles = LogFiles(qtmpDir.path());
        QVERIFY2(qlstFiles.size() >= 3 && qlstFiles.size() <= 6, qPrintable(qlstFiles.join(' ')));
        QString qstrBase;
        for (const QString& qstrFile : qlstFiles) {
            QVERIFY(qstrFile.startsWith("rotate_"));
            QVERIFY(QFileInfo(qtmpDir.path() + "/" + qstrFile).size() <= iLimit);
            if (QRegularExpression("^rotate_[^.]*\\.log$").match(qstrFile).hasMatch())
                qstrBase = qstrFile.chopped(4);
        }
        QVERIFY(!qstrBase.isEmpty());
        // Oldest first: the highest index, down to the current file.
        QStringList qlstLines;
        for (int i = qlstFiles.size() - 1; i > 0; --i)
            qlstLines += ReadLines(qtmpDir.path() + QStringLiteral("/%1.%2.log").arg(qstrBase).arg(i));
        qlstLines += ReadLines(qtmpDir.path() + "/" + qstrBase + ".log");
        QCOMPARE(qlstLines.size(), iLines);
        for (int n = 0; n < iLines; ++n)
            QVERIFY2(qlstLines[n].contains(QStringLiteral("line %1 ").arg(n, 3, 10, QChar('0'))), qPrintable(qlstLines[n]));
    }

    void invalidRotationLimitFallsBackToDefault()
    {
        qputenv(s_szMaxBytesVar, "12abc");
        QTemporaryDir qtmpDir;
        StartIn(qtmpDir.path(), 1);
        for (int n = 0; n < 100; ++n)
            m_pfnLogDebugEx(4, "CLS_Rotate", n, "line %03d %s", n, "................................");
        QCOMPARE(LogFiles(qtmpDir.path()).size(), 1);
    }

    void mutexExcludesAcrossThreads()
    {
        void* pMutex = m_pfnMutexCreate();
        QVERIFY(pMutex);
        QCOMPARE(m_pfnMutexInit(pMutex), 0);
        const int iThreads = 4;
        const int iRounds = 20000;
        int iCounter = 0;
        std::atomic<int> atomInside{0};
        std::atomic<int> atomOverlaps{0};
        std::vector<std::thread> vecThreads;
        for (int t = 0; t < iThreads; ++t) {
            vecThreads.emplace_back([&] {
                for (int n = 0; n < iRounds; ++n) {
                    m_pfnMutexLock(pMutex);
                    if (atomInside.fetch_add(1) != 0)
                        atomOverlaps.fetch_add(1);
                    ++iCounter;
                    atomInside.fetch_sub(1);
                    m_pfnMutexUnlock(pMutex);
                }
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        QCOMPARE(atomOverlaps.load(), 0);
        QCOMPARE(iCounter, iThreads * iRounds);
        QCOMPARE(m_pfnMutexFree(pMutex), 0);
        QCOMPARE(m_pfnMutexDestroy(pMutex), 0);
    }

    void mutexPassesToWaiterOnlyOnUnlock()
    {
        void* pMutex = m_pfnMutexCreate();
        QVERIFY(pMutex);
        QCOMPARE(m_pfnMutexLock(pMutex), 0);
        std::atomic<bool> atomReleased{false};
        std::atomic<bool> atomStarted{false};
        std::atomic<int> atomForeignUnlock{1};
        std::atomic<bool> atomReleasedWhenGot{false};
        std::thread thrWaiter([&] {
            atomForeignUnlock.store(m_pfnMutexUnlock(pMutex));
            atomStarted.store(true);
            m_pfnMutexLock(pMutex);
            atomReleasedWhenGot.store(atomReleased.load());
            m_pfnMutexUnlock(pMutex);
        });
        QTRY_VERIFY(atomStarted.load());
        atomReleased.store(true);
        QCOMPARE(m_pfnMutexUnlock(pMutex), 0);
        thrWaiter.join();
        QCOMPARE(atomForeignUnlock.load(), -1);
        QVERIFY(atomReleasedWhenGot.load());
        QCOMPARE(m_pfnMutexDestroy(pMutex), 0);
    }

    void mutexIsRecursiveForItsOwner()
    {
        void* pMutex = m_pfnMutexCreate();
        QVERIFY(pMutex);
        QCOMPARE(m_pfnMutexLock(pMutex), 0);
        QCOMPARE(m_pfnMutexLock(pMutex), 0);
        QCOMPARE(m_pfnMutexUnlock(pMutex), 0);
        // Still held once: another thread gets it only after the last unlock.
        std::atomic<bool> atomOtherGot{false};
        std::thread thrOther([&] {
            m_pfnMutexLock(pMutex);
            atomOtherGot.store(true);
            m_pfnMutexUnlock(pMutex);
        });
        QVERIFY(!atomOtherGot.load());
        QCOMPARE(m_pfnMutexUnlock(pMutex), 0);
        QCOMPARE(m_pfnMutexUnlock(pMutex), -1);
        const bool blOtherGot = QTest::qWaitFor([&] { return atomOtherGot.load(); }, 5000);
        // A thread stuck in lock is left behind so the test fails instead of hanging.
        blOtherGot ? thrOther.join() : thrOther.detach();
        QVERIFY(blOtherGot);
        QCOMPARE(m_pfnMutexDestroy(pMutex), 0);
    }

    void mutexRefusesNullHandle()
    {
        QCOMPARE(m_pfnMutexInit(nullptr), -1);
        QCOMPARE(m_pfnMutexLock(nullptr), -1);
        QCOMPARE(m_pfnMutexUnlock(nullptr), -1);
        QCOMPARE(m_pfnMutexFree(nullptr), -1);
        QCOMPARE(m_pfnMutexDestroy(nullptr), -1);
    }

    void sleepWaitsAtLeastTheTime()
    {
        QElapsedTimer qtimer;
        qtimer.start();
        m_pfnOsSleep(50);
        QVERIFY(qtimer.elapsed() >= 50);
        qtimer.restart();
        m_pfnOsSleep(-5);
        QVERIFY(qtimer.elapsed() < 50);
    }
};

QTEST_GUILESS_MAIN(tst_libos)
#include "tst_libos.moc"
