// The per-job folders under "./BurnJob/": both writers, the removal on the final
// status reply, and job ids or file names that would leave the folder.
#include <QtTest>

#include <memory>

#include "CLS_AutoBase.h"
#include "JobFolder.h"
#include "LogRecorder.h"

namespace
{
const char s_szGateway[] = "source\\CLS_BurnPresenter";

using Writer = void (*)(const QString&, const QString&, const QString&);

void GatewayWrite(const QString& _qstrJobId, const QString& _qstrFileName, const QString& _qstrContent)
{
    SaveGatewayJobInfo(s_szGateway, _qstrJobId, _qstrFileName, _qstrContent);
}

void BackendWrite(const QString& _qstrJobId, const QString& _qstrFileName, const QString& _qstrContent)
{
    CLS_AutoBase::SaveJobInfo(_qstrJobId, _qstrFileName, _qstrContent);
}

QByteArray FileBytes(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}

// Every entry below a folder, with its size, so that any write or removal shows.
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
    void initTestCase()
    {
        LogRecorder::install();
        m_qstrStartDir = QDir::currentPath();
    }
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
    void cleanup()
    {
        QDir::setCurrent(m_qstrStartDir);
        m_pTmpDir.reset();
    }

    void writersStoreAndReplace_data()
    {
        QTest::addColumn<bool>("gateway");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("successLevel");
        QTest::newRow("gateway") << true << s_szGateway << 3;
        QTest::newRow("backend") << false << "source\\AutoBurn\\CLS_AutoBase" << 4;
    }
    void writersStoreAndReplace()
    {
        QFETCH(bool, gateway);
        QFETCH(QString, source);
        QFETCH(int, successLevel);
        const Writer pfnWrite = gateway ? &GatewayWrite : &BackendWrite;
        pfnWrite("J1", "ApplyBurn", "{\"cmd\":\"ApplyBurn\",\"title\":\"光盘\"}\n");
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QString("{\"cmd\":\"ApplyBurn\",\"title\":\"光盘\"}\n").toUtf8());
        pfnWrite("J1", "ApplyBurn", "x");
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QByteArray("x"));
        pfnWrite("J1", "AddFile_m1", "first");
        pfnWrite("J1", "AddFile_m2", "second");
        pfnWrite("J1", "DoBurnReply", "");
        QCOMPARE(QDir("BurnJob/J1").entryList(QDir::Files, QDir::Name),
                 QStringList({"AddFile_m1", "AddFile_m2", "ApplyBurn", "DoBurnReply"}));
        QCOMPARE(FileBytes("BurnJob/J1/AddFile_m2"), QByteArray("second"));
        QCOMPARE(FileBytes("BurnJob/J1/DoBurnReply"), QByteArray(""));
        QVERIFY(LogRecorder::contains(
            QStringLiteral("%1|%2| SaveJobInfo Success:[./BurnJob/J1/AddFile_m1]").arg(successLevel).arg(source)));
    }

    void statusReplyRemovesTheFolder()
    {
        GatewayWrite("J1", "ApplyBurn", "a");
        QVERIFY(QDir().mkpath("BurnJob/J1/sub"));
        GatewayWrite("J2", "ApplyBurn", "b");
        GatewayWrite("J1", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo::exists("BurnJob/J1"));
        QCOMPARE(FileBytes("BurnJob/J2/ApplyBurn"), QByteArray("b"));
        QVERIFY(LogRecorder::contains(
            "3|source\\CLS_BurnPresenter| SaveJobInfo--BurnStatusReply remove job info [J1]"));
        // A job without a folder: nothing to remove, nothing created.
        GatewayWrite("J3", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo::exists("BurnJob/J3"));
        // The backends' writer has no such rule.
        CLS_AutoBase::SaveJobInfo("J2", "BurnStatusReply", "kept");
        QCOMPARE(FileBytes("BurnJob/J2/BurnStatusReply"), QByteArray("kept"));
    }

    void linkedFolderLosesOnlyTheLink()
    {
        QVERIFY(QDir().mkpath("../outside"));
        QFile qfile("../outside/precious");
        QVERIFY(qfile.open(QIODevice::WriteOnly));
        qfile.write("keep");
        qfile.close();
        QVERIFY(QFile::link(QDir("../outside").absolutePath(), "BurnJob/J1"));
        GatewayWrite("J1", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo("BurnJob/J1").isSymLink());
        QCOMPARE(FileBytes("../outside/precious"), QByteArray("keep"));
    }

    void unsafeNamesWriteNothing_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("empty job id") << "" << "ApplyBurn";
        QTest::newRow("dot") << "." << "ApplyBurn";
        QTest::newRow("dot dot") << ".." << "ApplyBurn";
        QTest::newRow("climbing job id") << "../x" << "ApplyBurn";
        QTest::newRow("climbing twice") << "../../x" << "ApplyBurn";
        QTest::newRow("nested job id") << "a/b" << "ApplyBurn";
        QTest::newRow("backslash") << "a\\b" << "ApplyBurn";
        QTest::newRow("line feed") << "a\nb" << "ApplyBurn";
        QTest::newRow("nul") << QString(QChar(0)) + "a" << "ApplyBurn";
        QTest::newRow("climbing file name") << "J1" << "../../escaped";
        QTest::newRow("file name with message id path") << "J1" << "AddFile_a/b";
        QTest::newRow("file name dot dot") << "J1" << "..";
    }
    void unsafeNamesWriteNothing()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, fileName);
        QVERIFY(!IsSafeFolderName(jobId) || !IsSafeFolderName(fileName));
        GatewayWrite("other", "ApplyBurn", "bystander");
        const QStringList qstrlstBefore = Tree(m_pTmpDir->path());
        LogRecorder::clear();
        GatewayWrite(jobId, fileName, "content");
        CLS_AutoBase::SaveJobInfo(jobId, fileName, "content");
        GatewayWrite(jobId, "BurnStatusReply", "final");
        RemoveJobInfoDir("test", jobId);
        QCOMPARE(Tree(m_pTmpDir->path()), qstrlstBefore);
        QCOMPARE(LogRecorder::lines().filter("refused").size(), IsSafeFolderName(jobId) ? 2 : 4);
        QVERIFY(LogRecorder::lines().filter("Success").isEmpty());
    }

    void ordinaryNamesAreSafe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("uuid") << "{6f1c2d3e-0000-4000-8000-123456789abc}";
        QTest::newRow("dots inside") << "job..1";
        QTest::newRow("leading dot") << ".hidden";
        QTest::newRow("chinese") << "刻录任务一";
        QTest::newRow("spaces and quotes") << "a \"b\" 'c'";
    }
    void ordinaryNamesAreSafe()
    {
        QFETCH(QString, name);
        QVERIFY(IsSafeFolderName(name));
        GatewayWrite(name, "ApplyBurn", "x");
        QCOMPARE(FileBytes("BurnJob/" + name + "/ApplyBurn"), QByteArray("x"));
        GatewayWrite(name, "BurnStatusReply", "");
        QVERIFY(!QFileInfo::exists("BurnJob/" + name));
        QVERIFY(QFileInfo::exists("BurnJob/other"));
    }

private:
    QString m_qstrStartDir;
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_JobFolder)
#include "tst_JobFolder.moc"
