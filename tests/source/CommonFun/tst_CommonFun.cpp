// The stateless helpers: address check, JSON text, folders, the file copy and the
// probe of publisher job files.
#include <QtTest>

#include "FileOpt/CLS_OperateFile.h"
#include "CommonFun.h"
#include "LogRecorder.h"
#include "PublicCommonFun.h"

class tst_CommonFun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        QVERIFY(m_qtmpDir.isValid());
    }
    void init() { LogRecorder::clear(); }

    void isValidIP_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ipv4") << "192.168.1.20" << true;
        QTest::newRow("shortest ipv4") << "1.2.3.4" << true;
        QTest::newRow("ipv6") << "fe80::1:2:3" << true;
        QTest::newRow("too short for any address") << "1.2.3" << false;
        QTest::newRow("short ipv6 refused by length") << "::1" << false;
        QTest::newRow("octet out of range") << "256.1.1.1" << false;
        QTest::newRow("host name") << "localhost" << false;
        QTest::newRow("empty") << "" << false;
    }
    void isValidIP()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(IsValidIP(address), valid);
        QCOMPARE(LogRecorder::contains(QStringLiteral("InvalidIP = ") + address), !valid);
    }

    void jsonText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isObject");
        QTest::addColumn<QString>("logPart");
        QTest::newRow("object") << R"({"a":1,"b":"x"})" << true << "";
        QTest::newRow("array") << "[1,2]" << false << "is not Object";
        QTest::newRow("number") << "12" << false << "is Error";
        QTest::newRow("broken") << R"({"a":)" << false << "is Error";
        QTest::newRow("empty") << "" << false << "is Error";
    }
    void jsonText()
    {
        QFETCH(QString, text);
        QFETCH(bool, isObject);
        QFETCH(QString, logPart);
        const QJsonObject qjsonNarrow = StringToJsonObject(text.toStdString());
        QCOMPARE(qjsonNarrow.isEmpty(), !isObject);
        QCOMPARE(QStringToJsonObject(text), qjsonNarrow);
        if (!logPart.isEmpty())
            QVERIFY(LogRecorder::contains(logPart));
    }

    void jsonIsCompactAndRoundTrips()
    {
        QJsonObject qjsonObj{{"cmd", "ApplyBurn"}, {"param", QJsonObject{{"JobId", "任务1"}, {"n", 3}}}};
        const QString qstrText = JsonObjectToString(qjsonObj);
        QVERIFY(!qstrText.contains(QLatin1Char('\n')) && !qstrText.contains(QStringLiteral(": ")));
        QCOMPARE(QStringToJsonObject(qstrText), qjsonObj);
        QCOMPARE(StringToJsonObject(qstrText.toStdString()), qjsonObj);
    }

    void localAddresses()
    {
        const QJsonArray qjsonAddrs = GetLocalIPv4List();
        for (const QJsonValue& qjsonAddr : qjsonAddrs) {
            const QString qstrAddr = qjsonAddr.toString();
            QVERIFY2(!qstrAddr.contains(QStringLiteral("127.0.")), qPrintable(qstrAddr));
            QCOMPARE(QHostAddress(qstrAddr).protocol(), QAbstractSocket::IPv4Protocol);
        }
    }

    void folders()
    {
        QCOMPARE(GetFileDir(QStringLiteral("/a/b/c.txt")), QStringLiteral("/a/b/"));
        QCOMPARE(GetFileDir(QStringLiteral("c.txt")), QStringLiteral("./"));
        const QString qstrTree = m_qtmpDir.filePath(QStringLiteral("tree/inner"));
        QVERIFY(QDir().mkpath(qstrTree));
        WriteFile(qstrTree + QStringLiteral("/f.bin"), "x");
        RemoveDirRecursive(m_qtmpDir.filePath(QStringLiteral("tree")));
        QVERIFY(!QDir(m_qtmpDir.filePath(QStringLiteral("tree"))).exists());
        RemoveDirRecursive(m_qtmpDir.filePath(QStringLiteral("never-there")));
    }

    void copyFile()
    {
        const QString qstrSrc = m_qtmpDir.filePath(QStringLiteral("src.txt"));
        WriteFile(qstrSrc, "new content");
        const QString qstrExisting = m_qtmpDir.filePath(QStringLiteral("existing.txt"));
        WriteFile(qstrExisting, "old content that is longer");
        QVERIFY(CLS_OperateFile::CopyFile(qstrSrc.toStdString(), qstrExisting.toStdString()));
        QCOMPARE(ReadFile(qstrExisting), QByteArray("new content"));

        const QString qstrDeep = m_qtmpDir.filePath(QStringLiteral("x/y/z/copy.txt"));
        QVERIFY(CLS_OperateFile::CopyFile(qstrSrc.toStdString(), qstrDeep.toStdString()));
        QCOMPARE(ReadFile(qstrDeep), QByteArray("new content"));
    }

    void copyFileRefusals_data()
    {
        QTest::addColumn<QString>("src");
        QTest::addColumn<QString>("dst");
        QTest::addColumn<QString>("logPart");
        QTest::newRow("empty source") << "" << "d" << "_strSrcPath==";
        QTest::newRow("empty destination") << "s" << "" << "_strDesPath==";
        QTest::newRow("missing source") << "/no/such/file" << "d" << "is not exist.";
    }
    void copyFileRefusals()
    {
        QFETCH(QString, src);
        QFETCH(QString, dst);
        QFETCH(QString, logPart);
        QVERIFY(!CLS_OperateFile::CopyFile(src.toStdString(), dst.toStdString()));
        QVERIFY(LogRecorder::contains(logPart));
    }

    void jobFileState_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<int>("state");
        QTest::newRow("nothing") << QStringList{} << -1;
        QTest::newRow("job file itself") << QStringList{".jrq", ".don"} << 0;
        QTest::newRow("taken rjd") << QStringList{".rjd"} << 1;
        QTest::newRow("taken qrj") << QStringList{".qrj"} << 1;
        QTest::newRow("inf") << QStringList{".inf"} << 2;
        QTest::newRow("only inp") << QStringList{".inp"} << 2;
        QTest::newRow("done") << QStringList{".don"} << 3;
        QTest::newRow("done wins over error") << QStringList{".don", ".err"} << 3;
        QTest::newRow("error") << QStringList{".err"} << 4;
        QTest::newRow("stopped") << QStringList{".stp"} << 5;
        QTest::newRow("taken wins over done") << QStringList{".qrj", ".don"} << 1;
    }
    void jobFileState()
    {
        QFETCH(QStringList, present);
        QFETCH(int, state);
        QTemporaryDir qtmpJobs;
        const QString qstrStem = qtmpJobs.filePath(QStringLiteral("J42"));
        for (const QString& qstrExt : present)
            WriteFile(qstrStem + qstrExt, "");
        QCOMPARE(CLS_OperateFile::GetJobFileState((qstrStem + QStringLiteral(".jrq")).toStdString()), state);
    }

    void jobFileStateOfEmptyPath() { QCOMPARE(CLS_OperateFile::GetJobFileState(std::string()), -1); }

private:
    static void WriteFile(const QString& _qstrPath, const QByteArray& _qbaContent)
    {
        QFile qfile(_qstrPath);
        QVERIFY(qfile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        qfile.write(_qbaContent);
    }
    static QByteArray ReadFile(const QString& _qstrPath)
    {
        QFile qfile(_qstrPath);
        return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray();
    }

    QTemporaryDir m_qtmpDir;
};

QTEST_GUILESS_MAIN(tst_CommonFun)
#include "tst_CommonFun.moc"
