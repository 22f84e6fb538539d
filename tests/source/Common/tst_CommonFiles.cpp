// The files and folders of the common layer: the INI accessor (foreign files as the Epson
// software writes them, every operation in its narrow and wide form); the per-job folders
// under "./BurnJob/"; the file copy's refusals; the time scale. Copies and the probe of job
// files: the publisher tests.
#include <QtTest>

#include <memory>

#include "BurnTiming.h"
#include "CIniFileOpt.h"
#include "FileOpt/CLS_OperateFile.h"
#include "JobFolder.h"
#include "LogRecorder.h"
#include "TestFiles.h"

namespace
{
const char s_szIni[] = "status.ini";
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
        QTest::addColumn<QByteArray>("stored");  // the line under [S]; null: none (defaults "dflt", 7, true)
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("flag");
        QTest::newRow("comma") << QByteArray("K=a,b") << "a,b" << 0 << false;
        QTest::newRow("comma and blank") << QByteArray("K=a, b") << "a, b" << 0 << false;
        QTest::newRow("comma and quotes") << QByteArray(R"(K=a, "b")") << "a, b" << 0 << false;
        QTest::newRow("one") << QByteArray("K=1") << "1" << 1 << true;
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
        QFile qfile(s_szIni);
        QVERIFY(qfile.open(QIODevice::WriteOnly));
        qfile.write("[S]\nOTHER=1\n" + stored + "\n[T]\nK=other\n");
        qfile.close();
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
        const std::wstring wstrSection = QString::fromStdString(strSection).toStdWString();
        CIniFileOpt iniFile(s_szIni);
        iniFile.WriteString(strSection, "名称", "刻录完成 a,b");
        iniFile.WriteInt(wstrSection, L"count", -42);
        iniFile.WriteInt(strSection, "n", 5);
        iniFile.WriteBool(strSection, "on", true);
        iniFile.WriteBool(wstrSection, L"off", false);
        iniFile.WriteString(L"other", L"gone", L"x");
        iniFile.WriteString("other2", "gone", "x");
        const CIniFileOpt::KeyValueList vecValues = {
            {"count", "-42"}, {"n", "5"}, {"off", "0"}, {"on", "1"}, {"名称", "刻录完成 a,b"}};
        QCOMPARE(iniFile.GetSectionValues(wstrSection), vecValues);
        QCOMPARE(iniFile.GetSectionValues(strSection), vecValues);
        iniFile.DeleteKey(wstrSection, L"count");
        iniFile.DeleteKey(strSection, "n");
        iniFile.DeleteSection(L"other");
        iniFile.DeleteSection("other2");
        iniFile.DeleteKey(strSection, "");
        iniFile.DeleteKey("", "on");
        iniFile.DeleteSection("");
        QCOMPARE(iniFile.GetKeys(wstrSection), CIniFileOpt::KeyList({"off", "on", "名称"}));
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({strSection}));
        iniFile.ClearFile();
        QCOMPARE(ReadTestFile(s_szIni), QByteArray(""));
    }

    // Files are stored and replaced whole, each write logged, file names that would leave the
    // folder refused; the final status reply removes the job's folder, whatever it holds, and
    // nothing else; a linked folder loses only the link. Unsafe job ids: the backend tests.
    void jobFolderStoresAndRemoves()
    {
        const char szSource[] = "source\\CLS_BurnPresenter";
        SaveGatewayJobInfo(szSource, "J1", "ApplyBurn", "{\"title\":\"光盘\"}\n");
        QCOMPARE(ReadTestFile("BurnJob/J1/ApplyBurn"), QString("{\"title\":\"光盘\"}\n").toUtf8());
        SaveGatewayJobInfo(szSource, "J1", "ApplyBurn", "x");
        SaveGatewayJobInfo(szSource, "J1", "AddFile_m1", "");
        QVERIFY(QDir().mkpath("BurnJob/J1/sub"));
        QCOMPARE(QDir("BurnJob/J1").entryList(QDir::Files), QStringList({"AddFile_m1", "ApplyBurn"}));
        QCOMPARE(ReadTestFile("BurnJob/J1/ApplyBurn"), QByteArray("x"));
        const QString qstrLogged = QStringLiteral("3|source\\CLS_BurnPresenter| SaveJobInfo");  // 3: error
        QVERIFY(LogRecorder::lines().contains(qstrLogged + " Success:[./BurnJob/J1/ApplyBurn]"));
        SaveGatewayJobInfo(szSource, "J1", "../../escaped", "x");
        SaveGatewayJobInfo(szSource, "J1", "..", "x");
        QCOMPARE(LogRecorder::lines().filter(qstrLogged + " refused: job id [J1]").size(), 2);
        QVERIFY(!QFileInfo::exists("escaped"));
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

    // The file copy's refusals, logged, nothing written.
    void copyRefusals()
    {
        QVERIFY(!CLS_OperateFile::CopyFile("", "d"));
        QVERIFY(LogRecorder::contains("_strSrcPath=="));
        QVERIFY(!CLS_OperateFile::CopyFile("s", ""));
        QVERIFY(LogRecorder::contains("_strDesPath=="));
        QVERIFY(!CLS_OperateFile::CopyFile("/no/such/file", "d"));
        QVERIFY(LogRecorder::contains("qstrSrc[/no/such/file] is not exist."));
        QVERIFY(!QFileInfo::exists(QStringLiteral("d")));
    }

    // The time scale as read from the environment; the run "tst_CommonFiles_scale0" sets
    // 0, which must leave the production timings (1), not turn every pause into 1 ms.
    void timeScale()
    {
        const bool blZero = qgetenv("BURNMODULE_TIME_SCALE") == "0";
        QCOMPARE(BurnTimeScale(), blZero ? 1.0 : 0.01);
        QCOMPARE(ScaledMs(60000), blZero ? 60000 : 600);
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CommonFiles)
#include "tst_CommonFiles.moc"
