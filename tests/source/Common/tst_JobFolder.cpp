// The per-job folders under "./BurnJob/": both writers and their log lines, the removal
// on the final status reply (a linked folder loses only the link), and job ids or file
// names that would leave the folder.
#include <QtTest>

#include <memory>

#include "CLS_AutoBase.h"
#include "JobFolder.h"
#include "LogRecorder.h"

namespace
{
const char s_szGateway[] = "source\\CLS_BurnPresenter";

void GatewayWrite(const QString& _qstrJobId, const QString& _qstrFileName, const QString& _qstrContent)
{
    SaveGatewayJobInfo(s_szGateway, _qstrJobId, _qstrFileName, _qstrContent);
}

QByteArray FileBytes(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}

// Every entry below a folder with its size, so that any write or removal shows.
QStringList Tree(const QString& _qstrRoot)
{
    QStringList qstrlstEntries;
    QDirIterator qdirIt(_qstrRoot, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
    while (qdirIt.hasNext()) {
        qdirIt.next();
        qstrlstEntries << qdirIt.filePath() + QLatin1Char(':') + QString::number(qdirIt.fileInfo().size());
    }
    qstrlstEntries.sort();
    return qstrlstEntries;
}
}  // namespace

class tst_JobFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LogRecorder::install(); }

    // The working directory is a folder inside the temporary one, so a path that
    // climbs out of it still lands where the test can see it.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pTmpDir->isValid());
        QVERIFY(QDir(m_pTmpDir->path()).mkpath("work/BurnJob/other"));
        QVERIFY(QDir::setCurrent(m_pTmpDir->filePath("work")));
        LogRecorder::clear();
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    void writersStoreAndReplace_data()
    {
        QTest::addColumn<bool>("gateway");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("gateway") << true << "3|source\\CLS_BurnPresenter| SaveJobInfo Success:[./BurnJob/J1/AddFile_m1]";
        QTest::newRow("backend") << false << "4|source\\AutoBurn\\CLS_AutoBase| SaveJobInfo Success:[./BurnJob/J1/AddFile_m1]";
    }
    void writersStoreAndReplace()
    {
        QFETCH(bool, gateway);
        QFETCH(QString, logLine);
        const auto pfnWrite = gateway ? &GatewayWrite : [](const QString& _qstrJobId, const QString& _qstrFile,
                                                           const QString& _qstrContent) {
            CLS_AutoBase::SaveJobInfo(_qstrJobId, _qstrFile, _qstrContent);
        };
        pfnWrite("J1", "ApplyBurn", "{\"title\":\"光盘\"}\n");
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QString("{\"title\":\"光盘\"}\n").toUtf8());
        pfnWrite("J1", "ApplyBurn", "x");
        pfnWrite("J1", "AddFile_m1", "first");
        pfnWrite("J1", "DoBurnReply", "");
        QCOMPARE(QDir("BurnJob/J1").entryList(QDir::Files, QDir::Name),
                 QStringList({"AddFile_m1", "ApplyBurn", "DoBurnReply"}));
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QByteArray("x"));
        QCOMPARE(FileBytes("BurnJob/J1/DoBurnReply"), QByteArray(""));
        QVERIFY(LogRecorder::lines().contains(logLine));
        // Only the gateway's writer removes the folder on the final status reply.
        pfnWrite("J1", "BurnStatusReply", "final");
        QCOMPARE(QFileInfo::exists("BurnJob/J1"), !gateway);
        QCOMPARE(FileBytes("BurnJob/J1/BurnStatusReply"), gateway ? QByteArray("<missing>") : QByteArray("final"));
        QVERIFY(QFileInfo::exists("BurnJob/other"));
        QCOMPARE(LogRecorder::contains("3|source\\CLS_BurnPresenter| SaveJobInfo--BurnStatusReply remove job info [J1]"),
                 gateway);
    }

    // A job without a folder makes none; a linked folder loses only the link.
    void statusReplyRemovesOnlyTheJobFolder()
    {
        GatewayWrite("J3", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo::exists("BurnJob/J3"));
        QVERIFY(QDir().mkpath("../outside"));
        QFile qfile("../outside/precious");
        QVERIFY(qfile.open(QIODevice::WriteOnly) && qfile.write("keep") == 4);
        qfile.close();
        QVERIFY(QFile::link(QDir("../outside").absolutePath(), "BurnJob/J1"));
        GatewayWrite("J1", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo("BurnJob/J1").isSymLink());
        QCOMPARE(FileBytes("../outside/precious"), QByteArray("keep"));
    }

    void names_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("safe");
        QTest::newRow("uuid") << "{6f1c2d3e-0000-4000-8000-123456789abc}" << "ApplyBurn" << true;
        QTest::newRow("dots inside, leading dot") << ".job..1" << "AddFile_.m" << true;
        QTest::newRow("chinese, spaces and quotes") << "刻录 \"b\" 'c'" << "ApplyBurn" << true;
        QTest::newRow("empty job id") << "" << "ApplyBurn" << false;
        QTest::newRow("dot") << "." << "ApplyBurn" << false;
        QTest::newRow("dot dot") << ".." << "ApplyBurn" << false;
        QTest::newRow("climbing job id") << "../../x" << "ApplyBurn" << false;
        QTest::newRow("nested job id") << "a/b" << "ApplyBurn" << false;
        QTest::newRow("backslash") << "a\\b" << "ApplyBurn" << false;
        QTest::newRow("line feed") << "a\nb" << "ApplyBurn" << false;
        QTest::newRow("nul") << QString(QChar(0)) + "a" << "ApplyBurn" << false;
        QTest::newRow("climbing file name") << "J1" << "../../escaped" << false;
        QTest::newRow("file name with a path") << "J1" << "AddFile_a/b" << false;
        QTest::newRow("file name dot dot") << "J1" << ".." << false;
    }
    // A safe name is written and removed like any; an unsafe one changes nothing and is logged.
    void names()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, fileName);
        QFETCH(bool, safe);
        QCOMPARE(IsSafeFolderName(jobId) && IsSafeFolderName(fileName), safe);
        const QStringList qstrlstBefore = Tree(m_pTmpDir->path());
        GatewayWrite(jobId, fileName, "content");
        CLS_AutoBase::SaveJobInfo(jobId, fileName, "content");
        QCOMPARE(FileBytes("BurnJob/" + jobId + "/" + fileName), safe ? QByteArray("content") : QByteArray("<missing>"));
        GatewayWrite(jobId, "BurnStatusReply", "final");
        RemoveJobInfoDir("test", jobId);
        QCOMPARE(Tree(m_pTmpDir->path()), qstrlstBefore);
        QCOMPARE(LogRecorder::lines().filter("refused").size(), safe ? 0 : IsSafeFolderName(jobId) ? 2 : 4);
        QCOMPARE(LogRecorder::lines().filter("Success").size(), safe ? 2 : 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_JobFolder)
#include "tst_JobFolder.moc"
