// The INI accessor: foreign files as the Epson software writes them, number and flag
// reading, key order, deletion, clearing, and wide variants against narrow ones.
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
    void initTestCase() { m_qstrStartDir = QDir::currentPath(); }
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pTmpDir->isValid());
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(m_qstrStartDir);
        m_pTmpDir.reset();
    }

    void readsForeignFile()
    {
        QVERIFY(WriteRaw("[PUBLISHER1]\nNAME=PP-100 刻录机\n[JOB-7]\nERROR=JDF0200\n"));
        CIniFileOpt iniFile(s_szIni);
        QCOMPARE(iniFile.ReadString("PUBLISHER1", "NAME", "none"), std::string("PP-100 刻录机"));
        QCOMPARE(iniFile.ReadString("JOB-7", "ERROR", ""), std::string("JDF0200"));
        QCOMPARE(iniFile.ReadString("JOB-7", "MISSING", "fallback"), std::string("fallback"));
        QCOMPARE(iniFile.ReadString("JOB-8", "ERROR", ""), std::string());
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({"JOB-7", "PUBLISHER1"}));
    }

    // Qt's reader takes an unquoted value with commas for a list.
    void valuesWithCommas_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the line under [S]
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << QByteArray("K=a,b") << "a,b";
        QTest::newRow("comma and blank") << QByteArray("K=a, b") << "a, b";
        QTest::newRow("quoted") << QByteArray(R"(K="a,b")") << "a,b";
    }
    void valuesWithCommas()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, value);
        QVERIFY(WriteRaw("[S]\n" + stored + "\n"));
        CIniFileOpt iniFile(s_szIni);
        QCOMPARE(QString::fromStdString(iniFile.ReadString("S", "K", "")), value);
        iniFile.WriteString("T", "K", value.toStdString());
        QCOMPARE(QString::fromStdString(iniFile.ReadString("T", "K", "")), value);
    }

    void numbersAndFlags_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the line under [S]; empty: no key
        QTest::addColumn<int>("defaultValue");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("flag");
        QTest::newRow("one") << QByteArray("K=1") << 0 << 1 << true;
        QTest::newRow("true is not 1") << QByteArray("K=true") << 1 << 0 << false;
        QTest::newRow("zero") << QByteArray("K=0") << 1 << 0 << false;
        QTest::newRow("two is no flag") << QByteArray("K=2") << 0 << 2 << false;
        QTest::newRow("negative") << QByteArray("K=-17") << 0 << -17 << false;
        QTest::newRow("number with text") << QByteArray("K=12abc") << 5 << 0 << false;
        QTest::newRow("hexadecimal is not decimal") << QByteArray("K=0x10") << 5 << 0 << false;
        QTest::newRow("empty value") << QByteArray("K=") << 1 << 0 << false;
        QTest::newRow("missing key, default 1") << QByteArray() << 1 << 1 << true;
        QTest::newRow("missing key, default 0") << QByteArray() << 0 << 0 << false;
        QTest::newRow("missing key, default 7") << QByteArray() << 7 << 7 << false;
    }
    void numbersAndFlags()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, defaultValue);
        QFETCH(int, number);
        QFETCH(bool, flag);
        QVERIFY(WriteRaw("[S]\nOTHER=1\n" + stored + "\n"));
        CIniFileOpt iniFile(s_szIni);
        QCOMPARE(iniFile.ReadInt("S", "K", defaultValue), number);
        QCOMPARE(iniFile.ReadInt(L"S", L"K", defaultValue), number);
        if (defaultValue == 0 || defaultValue == 1) {
            QCOMPARE(iniFile.ReadBool("S", "K", defaultValue == 1), flag);
            QCOMPARE(iniFile.ReadBool(L"S", L"K", defaultValue == 1), flag);
        }
    }

    void writesDecimalTextAndFlagDigits()
    {
        CIniFileOpt iniFile(s_szIni);
        iniFile.WriteInt("S", "count", -42);
        iniFile.WriteBool("S", "on", true);
        iniFile.WriteBool("S", "off", false);
        const QByteArray qbaFile = ReadRaw();
        QVERIFY2(qbaFile.contains("count=-42\n"), qbaFile);
        QVERIFY2(qbaFile.contains("on=1\n"), qbaFile);
        QVERIFY2(qbaFile.contains("off=0\n"), qbaFile);
        QVERIFY(iniFile.ReadBool("S", "on", false));
        QVERIFY(!iniFile.ReadBool("S", "off", true));
    }

    void wideEqualsNarrow_data()
    {
        QTest::addColumn<bool>("writeWide");
        QTest::addColumn<bool>("readWide");
        QTest::newRow("narrow to narrow") << false << false;
        QTest::newRow("narrow to wide") << false << true;
        QTest::newRow("wide to narrow") << true << false;
        QTest::newRow("wide to wide") << true << true;
    }
    void wideEqualsNarrow()
    {
        QFETCH(bool, writeWide);
        QFETCH(bool, readWide);
        const std::string strSection = "光盘 Grüße";
        const std::string strValue = "刻录完成 ✓";
        const std::wstring wstrSection = Wide(strSection.c_str());
        CIniFileOpt iniFile(s_szIni);
        if (writeWide) {
            iniFile.WriteString(wstrSection, L"名称", Wide(strValue.c_str()));
            iniFile.WriteInt(wstrSection, L"count", 9);
            iniFile.WriteBool(wstrSection, L"flag", true);
            iniFile.WriteString(L"other", L"gone", L"x");
        } else {
            iniFile.WriteString(strSection, "名称", strValue);
            iniFile.WriteInt(strSection, "count", 9);
            iniFile.WriteBool(strSection, "flag", true);
            iniFile.WriteString("other", "gone", "x");
        }
        const CIniFileOpt::KeyValueList vecExpected = {{"count", "9"}, {"flag", "1"}, {"名称", strValue}};
        if (readWide) {
            QCOMPARE(iniFile.ReadString(wstrSection, L"名称", L""), Wide(strValue.c_str()));
            QCOMPARE(iniFile.ReadString(wstrSection, L"none", L"默认"), Wide("默认"));
            QCOMPARE(iniFile.ReadInt(wstrSection, L"count", 0), 9);
            QVERIFY(iniFile.ReadBool(wstrSection, L"flag", false));
            QCOMPARE(iniFile.GetKeys(wstrSection), CIniFileOpt::KeyList({"count", "flag", "名称"}));
            QCOMPARE(iniFile.GetSectionValues(wstrSection), vecExpected);
        } else {
            QCOMPARE(iniFile.ReadString(strSection, "名称", ""), strValue);
            QCOMPARE(iniFile.ReadString(strSection, "none", "默认"), std::string("默认"));
            QCOMPARE(iniFile.ReadInt(strSection, "count", 0), 9);
            QVERIFY(iniFile.ReadBool(strSection, "flag", false));
            QCOMPARE(iniFile.GetKeys(strSection), CIniFileOpt::KeyList({"count", "flag", "名称"}));
            QCOMPARE(iniFile.GetSectionValues(strSection), vecExpected);
        }
        if (readWide) {
            iniFile.DeleteKey(wstrSection, L"count");
            iniFile.DeleteSection(L"other");
        } else {
            iniFile.DeleteKey(strSection, "count");
            iniFile.DeleteSection("other");
        }
        QCOMPARE(iniFile.GetKeys(strSection), CIniFileOpt::KeyList({"flag", "名称"}));
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({strSection}));
    }

    void sectionValuesFollowKeyOrder()
    {
        QVERIFY(WriteRaw("[S]\nzeta=last\nalpha=first\nMid=middle\nbeta=\n[T]\nalpha=other\n"));
        CIniFileOpt iniFile(s_szIni);
        const CIniFileOpt::KeyList vecKeys = iniFile.GetKeys("S");
        QCOMPARE(vecKeys.size(), size_t(4));
        const CIniFileOpt::KeyValueList vecValues = iniFile.GetSectionValues("S");
        QCOMPARE(vecValues.size(), vecKeys.size());
        const QMap<std::string, std::string> qmapStored = {
            {"zeta", "last"}, {"alpha", "first"}, {"Mid", "middle"}, {"beta", ""}};
        for (size_t i = 0; i < vecKeys.size(); ++i) {
            QCOMPARE(vecValues[i].first, vecKeys[i]);
            QCOMPARE(vecValues[i].second, qmapStored.value(vecKeys[i], "<unknown key>"));
        }
        QVERIFY(iniFile.GetSectionValues("U").empty());
    }

    void deletesOnlyWhatItNames()
    {
        QVERIFY(WriteRaw("[A]\nk1=1\nk2=2\n[B]\nk1=3\n"));
        CIniFileOpt iniFile(s_szIni);
        iniFile.DeleteKey("A", "k1");
        QCOMPARE(iniFile.GetKeys("A"), CIniFileOpt::KeyList({"k2"}));
        QCOMPARE(iniFile.ReadString("B", "k1", ""), std::string("3"));
        // Empty names would address a whole section or the whole file.
        iniFile.DeleteKey("A", "");
        iniFile.DeleteSection("");
        iniFile.DeleteSection(L"");
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({"A", "B"}));
        QCOMPARE(iniFile.GetKeys("A"), CIniFileOpt::KeyList({"k2"}));
        iniFile.DeleteSection("A");
        QCOMPARE(iniFile.GetSections(), CIniFileOpt::KeyList({"B"}));
        QCOMPARE(iniFile.ReadString("A", "k2", "gone"), std::string("gone"));
    }

    void missingFileReadsEmpty()
    {
        CIniFileOpt iniFile("absent/none.ini");
        QCOMPARE(iniFile.ReadString("S", "K", "dflt"), std::string("dflt"));
        QCOMPARE(iniFile.ReadInt("S", "K", 3), 3);
        QVERIFY(iniFile.GetKeys("S").empty());
        QVERIFY(iniFile.GetSections().empty());
        QVERIFY(iniFile.GetSectionValues("S").empty());
        QVERIFY(!QFileInfo::exists("absent/none.ini"));
    }

    void clearFile_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("existing file") << true;
        QTest::newRow("missing file") << false;
    }
    void clearFile()
    {
        QFETCH(bool, exists);
        if (exists)
            QVERIFY(WriteRaw("[S]\nK=1\n"));
        CIniFileOpt iniFile(s_szIni);
        iniFile.ClearFile();
        QCOMPARE(ReadRaw(), QByteArray(""));
        QCOMPARE(iniFile.ReadInt("S", "K", 7), 7);
        QVERIFY(iniFile.GetSections().empty());
    }

private:
    QString m_qstrStartDir;
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CIniFileOpt)
#include "tst_CIniFileOpt.moc"
