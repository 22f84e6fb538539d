// The INI accessor: reading foreign files as the Epson software writes them (values
// with commas, numbers and flags), every operation in its narrow and wide form, and
// missing or cleared files.
#include <QtTest>

#include <memory>

#include "CIniFileOpt.h"

namespace
{
const char s_szIni[] = "status.ini";

bool WriteRaw(const QByteArray& _qbaContent)
{
    QFile qfile(QString::fromLatin1(s_szIni));
    return qfile.open(QIODevice::WriteOnly | QIODevice::Truncate) && qfile.write(_qbaContent) == _qbaContent.size();
}

QByteArray ReadRaw()
{
    QFile qfile(QString::fromLatin1(s_szIni));
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}

std::wstring Wide(const char* _szUtf8)
{
    return QString::fromUtf8(_szUtf8).toStdWString();
}
}  // namespace

class tst_CIniFileOpt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pTmpDir->isValid());
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    // Defaults: "dflt", 7 and true.
    void reading_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the line under [S]; null: no key
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("flag");
        QTest::newRow("comma") << QByteArray("K=a,b") << "a,b" << 0 << false;
        QTest::newRow("comma and blank") << QByteArray("K=a, b") << "a, b" << 0 << false;
        QTest::newRow("quoted") << QByteArray(R"(K="a,b")") << "a,b" << 0 << false;
        QTest::newRow("one") << QByteArray("K=1") << "1" << 1 << true;
        QTest::newRow("true is not 1") << QByteArray("K=true") << "true" << 0 << false;
        QTest::newRow("two is no flag") << QByteArray("K=2") << "2" << 2 << false;
        QTest::newRow("negative") << QByteArray("K=-17") << "-17" << -17 << false;
        QTest::newRow("hexadecimal is not decimal") << QByteArray("K=0x10") << "0x10" << 0 << false;
        QTest::newRow("missing key") << QByteArray() << "dflt" << 7 << true;
    }
    void reading()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(bool, flag);
        QVERIFY(WriteRaw("[S]\nOTHER=1\n" + stored + "\n[T]\nK=other\n"));
        CIniFileOpt iniFile(s_szIni);
        QCOMPARE(QString::fromStdString(iniFile.ReadString("S", "K", "dflt")), text);
        QCOMPARE(iniFile.ReadString(L"S", L"K", L"dflt"), text.toStdWString());
        QCOMPARE(iniFile.ReadInt("S", "K", 7), number);
        QCOMPARE(iniFile.ReadInt(L"S", L"K", 7), number);
        QCOMPARE(iniFile.ReadBool("S", "K", true), flag);
        QCOMPARE(iniFile.ReadBool(L"S", L"K", true), flag);
    }

    // Each operation in one form, checked in the other; empty names delete nothing (they
    // would address a whole section or the whole file).
    void writingAndDeleting()
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
        const QByteArray qbaFile = ReadRaw();
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
    }

    // A missing file reads as empty and is not made by reading; clearing empties or makes it.
    void missingAndClearedFiles()
    {
        CIniFileOpt iniMissing("absent/none.ini");
        QCOMPARE(iniMissing.ReadString("S", "K", "dflt"), std::string("dflt"));
        QVERIFY(iniMissing.GetKeys("S").empty());
        QVERIFY(iniMissing.GetSections().empty());
        QVERIFY(iniMissing.GetSectionValues("S").empty());
        QVERIFY(!QFileInfo::exists("absent/none.ini"));
        CIniFileOpt iniFile(s_szIni);
        iniFile.ClearFile();
        QCOMPARE(ReadRaw(), QByteArray(""));
        QVERIFY(WriteRaw("[S]\nK=1\n"));
        iniFile.ClearFile();
        QCOMPARE(ReadRaw(), QByteArray(""));
        QCOMPARE(iniFile.ReadInt("S", "K", 7), 7);
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CIniFileOpt)
#include "tst_CIniFileOpt.moc"
