// The files and folders of the common layer: the INI accessor (foreign files as the
// Epson software writes them, every operation in its narrow and wide form, clearing);
// the per-job folders under "./BurnJob/" (writers, log lines, removal on the final status
// reply, names that would leave the folder); the folder helpers, the file copy's refusals
// and the local addresses. Copies and the probe of job files: the publisher tests.
#include <QtTest>

#include <memory>

#include "CIniFileOpt.h"
#include "CLS_AutoBase.h"
#include "CommonFun.h"
#include "FileOpt/CLS_OperateFile.h"
#include "JobFolder.h"
#include "LogRecorder.h"

namespace
{
const char s_szIni[] = "status.ini";

QByteArray FileBytes(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}

bool WriteIni(const QByteArray& _qbaContent)
{
    QFile qfile(QString::fromLatin1(s_szIni));
    return qfile.open(QIODevice::WriteOnly | QIODevice::Truncate) && qfile.write(_qbaContent) == _qbaContent.size();
}

std::wstring Wide(const char* _szUtf8)
{
    return QString::fromUtf8(_szUtf8).toStdWString();
}

// Every entry below a folder with its size, so that any write or removal shows.
QStringList Tree(const QString& _qstrRoot)
{
    QStringList qstrlstEntries;
    QDirIterator qdirIt(_qstrRoot, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
    while (qdirIt.hasNext())
        qstrlstEntries << qdirIt.next() + QLatin1Char(':') + QString::number(qdirIt.fileInfo().size());
    qstrlstEntries.sort();
    return qstrlstEntries;
}
}  // namespace

class tst_CommonFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LogRecorder::install(); }

    // The working directory is inside the temporary folder: a path climbing out stays in sight.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_pTmpDir->path()).mkpath("work/BurnJob/other"));
        QVERIFY(QDir::setCurrent(m_pTmpDir->filePath("work")));
        LogRecorder::clear();
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    void iniReading_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the line under [S]; null: no key (defaults "dflt", 7, true)
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("flag");
        QTest::newRow("comma") << QByteArray("K=a,b") << "a,b" << 0 << false;
        QTest::newRow("comma and blank") << QByteArray("K=a, b") << "a, b" << 0 << false;
        QTest::newRow("comma and quotes") << QByteArray(R"(K=a, "b")") << "a, b" << 0 << false;
        QTest::newRow("one") << QByteArray("K=1") << "1" << 1 << true;
        QTest::newRow("true is not 1") << QByteArray("K=true") << "true" << 0 << false;
        QTest::newRow("two is no flag") << QByteArray("K=2") << "2" << 2 << false;
        QTest::newRow("hexadecimal is not decimal") << QByteArray("K=0x10") << "0x10" << 0 << false;
        QTest::newRow("missing key") << QByteArray() << "dflt" << 7 << true;
    }
    void iniReading()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(bool, flag);
        QVERIFY(WriteIni("[S]\nOTHER=1\n" + stored + "\n[T]\nK=other\n"));
        CIniFileOpt iniFile(s_szIni);
        QCOMPARE(QString::fromStdString(iniFile.ReadString("S", "K", "dflt")), text);
        QCOMPARE(iniFile.ReadString(L"S", L"K", L"dflt"), text.toStdWString());
        QCOMPARE(iniFile.ReadInt("S", "K", 7), number);
        QCOMPARE(iniFile.ReadInt(L"S", L"K", 7), number);
        QCOMPARE(iniFile.ReadBool("S", "K", true), flag);
        QCOMPARE(iniFile.ReadBool(L"S", L"K", true), flag);
    }

    // Each operation in one form, checked in the other; empty names delete nothing (they
    // would address a whole section or the whole file); clearing empties the file.
    void iniWritingAndDeleting()
    {
        const std::string strSection = "光盘 Grüße";
        const std::wstring wstrSection = Wide(strSection.c_str());
        CIniFileOpt iniFile(s_szIni);
        iniFile.WriteString(strSection, "名称", "刻录完成 a,b");
        iniFile.WriteInt(wstrSection, L"count", -42);
        iniFile.WriteInt(strSection, "n", 5);
        iniFile.WriteBool(strSection, "on", true);
        iniFile.WriteBool(wstrSection, L"off", false);
        iniFile.WriteString(L"other", L"gone", L"x");
        iniFile.WriteString("other2", "gone", "x");
        const QByteArray qbaFile = FileBytes(s_szIni);
        for (const char* szLine : {"count=-42\n", "n=5\n", "on=1\n", "off=0\n"})
            QVERIFY2(qbaFile.contains(szLine), qbaFile);
        QCOMPARE(iniFile.ReadString(wstrSection, L"名称", L""), Wide("刻录完成 a,b"));
        const CIniFileOpt::KeyValueList vecValues = {{"count", "-42"}, {"n", "5"}, {"off", "0"}, {"on", "1"},
                                                     {"名称", "刻录完成 a,b"}};
        QCOMPARE(iniFile.GetSectionValues(wstrSection), vecValues);
        QCOMPARE(iniFile.GetSectionValues(strSection), vecValues);
        iniFile.DeleteKey(wstrSection, L"count");
        iniFile.DeleteKey(strSection, "n");
        iniFile.DeleteSection(L"other");
        iniFile.DeleteSection("other2");
        iniFile.DeleteKey(strSection, "");
        iniFile.DeleteKey(L"", L"on");
        iniFile.DeleteSection("");
        iniFile.DeleteSection(L"");
        QCOMPARE(iniFile.GetKeys(wstrSection), CIniFileOpt::KeyList({"off", "on", "名称"}));
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({strSection}));
        iniFile.ClearFile();
        QCOMPARE(FileBytes(s_szIni), QByteArray(""));
    }

    // Files are stored and replaced whole, each write logged; the final status reply
    // removes the job's folder, whatever it holds, and nothing else; a linked folder
    // loses only the link.
    void jobFolderStoresAndRemoves()
    {
        const char szSource[] = "source\\CLS_BurnPresenter";
        SaveGatewayJobInfo(szSource, "J1", "ApplyBurn", "{\"title\":\"光盘\"}\n");
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QString("{\"title\":\"光盘\"}\n").toUtf8());
        SaveGatewayJobInfo(szSource, "J1", "ApplyBurn", "x");
        SaveGatewayJobInfo(szSource, "J1", "AddFile_m1", "");
        QVERIFY(QDir().mkpath("BurnJob/J1/sub"));
        QCOMPARE(QDir("BurnJob/J1").entryList(QDir::Files), QStringList({"AddFile_m1", "ApplyBurn"}));
        QCOMPARE(FileBytes("BurnJob/J1/ApplyBurn"), QByteArray("x"));
        const QString qstrLogged = QStringLiteral("3|source\\CLS_BurnPresenter| SaveJobInfo");  // level 3: error
        QVERIFY(LogRecorder::lines().contains(qstrLogged + " Success:[./BurnJob/J1/ApplyBurn]"));
        SaveGatewayJobInfo(szSource, "J1", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo::exists("BurnJob/J1"));
        QVERIFY(QFileInfo::exists("BurnJob/other"));
        QVERIFY(LogRecorder::lines().contains(qstrLogged + "--BurnStatusReply remove job info [J1]"));
        QVERIFY(QDir().mkpath("../outside/keep"));
        QVERIFY(QFile::link(QDir("../outside").absolutePath(), "BurnJob/J4"));
        SaveGatewayJobInfo(szSource, "J4", "BurnStatusReply", "final");
        QVERIFY(!QFileInfo("BurnJob/J4").isSymLink());
        QVERIFY(QFileInfo::exists("../outside/keep"));
    }

    void unsafeJobFolderNames_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("empty job id") << "" << "ApplyBurn";
        QTest::newRow("dot") << "." << "ApplyBurn";
        QTest::newRow("dot dot") << ".." << "ApplyBurn";
        QTest::newRow("nested job id") << "a/b" << "ApplyBurn";
        QTest::newRow("backslash") << "a\\b" << "ApplyBurn";
        QTest::newRow("line feed") << "a\nb" << "ApplyBurn";
        QTest::newRow("climbing file name") << "J1" << "../../escaped";
        QTest::newRow("file name dot dot") << "J1" << "..";
    }
    // Nothing below the temporary folder changes, and every refusal is logged.
    void unsafeJobFolderNames()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, fileName);
        const QStringList qstrlstBefore = Tree(m_pTmpDir->path());
        SaveGatewayJobInfo("test", jobId, fileName, "content");
        CLS_AutoBase::SaveJobInfo(jobId, fileName, "content");
        SaveGatewayJobInfo("test", jobId, "BurnStatusReply", "final");
        RemoveJobInfoDir("test", jobId);
        QCOMPARE(Tree(m_pTmpDir->path()), qstrlstBefore);
        QCOMPARE(LogRecorder::lines().filter("refused").size(), IsSafeFolderName(jobId) ? 2 : 4);
        QVERIFY(LogRecorder::lines().filter("Success").isEmpty());
    }

    void folders()
    {
        QCOMPARE(GetFileDir(QStringLiteral("/a/b/c.txt")), QStringLiteral("/a/b/"));
        QCOMPARE(GetFileDir(QStringLiteral("c.txt")), QStringLiteral("./"));
        QVERIFY(QDir().mkpath("tree/inner/deeper"));
        RemoveDirRecursive("tree");
        QVERIFY(!QFileInfo::exists("tree"));
    }

    void copyFileRefusals_data()
    {
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("dst");
        QTest::addColumn<QString>("logPart");
        QTest::newRow("empty source") << "" << "d" << "_strSrcPath==";
        QTest::newRow("empty destination") << "s" << "" << "_strDesPath==";
        QTest::newRow("missing source") << "/no/such/file" << "d" << "qstrSrc[/no/such/file] is not exist.";
    }
    void copyFileRefusals()
    {
        QFETCH(QString, src);
        QFETCH(QString, dst);
        QFETCH(QString, logPart);
        QVERIFY(!CLS_OperateFile::CopyFile(src.toStdString(), dst.toStdString()));
        QVERIFY(LogRecorder::contains(logPart));
        QVERIFY(!QFileInfo::exists(QStringLiteral("d")));
    }

    void localAddresses()
    {
        for (const QJsonValue& qjsonAddr : GetLocalIPv4List()) {
            QVERIFY2(!qjsonAddr.toString().contains(QStringLiteral("127.0.")), qPrintable(qjsonAddr.toString()));
            QCOMPARE(QHostAddress(qjsonAddr.toString()).protocol(), QAbstractSocket::IPv4Protocol);
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CommonFiles)
#include "tst_CommonFiles.moc"
