// The stateless helpers: address check, JSON text, local addresses, folders and the
// file copy's refusals (copies and the probe of job files: the publisher tests).
#include <QtTest>

#include "CommonFun.h"
#include "FileOpt/CLS_OperateFile.h"
#include "LogRecorder.h"
#include "PublicCommonFun.h"

class tst_CommonFun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LogRecorder::install(); }
    void init() { LogRecorder::clear(); }

    void isValidIP_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("shortest ipv4") << "1.2.3.4" << true;
        QTest::newRow("ipv6") << "fe80::1:2:3" << true;
        QTest::newRow("too short for any address") << "1.2.3" << false;
        QTest::newRow("short ipv6 refused by length") << "::1" << false;
        QTest::newRow("octet out of range") << "256.1.1.1" << false;
        QTest::newRow("host name") << "localhost" << false;
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
        QTest::addColumn<QString>("logPart");  // empty: an object
        QTest::newRow("object") << R"({"cmd":"ApplyBurn","param":{"JobId":"任务1","n":3}})" << "";
        QTest::newRow("array") << "[1,2]" << "is not Object";
        QTest::newRow("broken") << R"({"a":)" << "is Error";
        QTest::newRow("empty") << "" << "is Error";
    }
    // Both readers agree; an object comes back as compact text.
    void jsonText()
    {
        QFETCH(QString, text);
        QFETCH(QString, logPart);
        const QJsonObject qjsonObj = StringToJsonObject(text.toStdString());
        QCOMPARE(qjsonObj.isEmpty(), !logPart.isEmpty());
        QCOMPARE(QStringToJsonObject(text), qjsonObj);
        QCOMPARE(JsonObjectToString(qjsonObj), logPart.isEmpty() ? text : QStringLiteral("{}"));
        if (!logPart.isEmpty())
            QVERIFY(LogRecorder::contains(logPart));
    }

    void localAddresses()
    {
        for (const QJsonValue& qjsonAddr : GetLocalIPv4List()) {
            QVERIFY2(!qjsonAddr.toString().contains(QStringLiteral("127.0.")), qPrintable(qjsonAddr.toString()));
            QCOMPARE(QHostAddress(qjsonAddr.toString()).protocol(), QAbstractSocket::IPv4Protocol);
        }
    }

    void folders()
    {
        QCOMPARE(GetFileDir(QStringLiteral("/a/b/c.txt")), QStringLiteral("/a/b/"));
        QCOMPARE(GetFileDir(QStringLiteral("c.txt")), QStringLiteral("./"));
        QTemporaryDir qtmpDir;
        QVERIFY(QDir().mkpath(qtmpDir.filePath(QStringLiteral("tree/inner"))));
        QFile qfile(qtmpDir.filePath(QStringLiteral("tree/inner/f.bin")));
        QVERIFY(qfile.open(QIODevice::WriteOnly));
        qfile.close();
        RemoveDirRecursive(qtmpDir.filePath(QStringLiteral("tree")));
        QVERIFY(!QDir(qtmpDir.filePath(QStringLiteral("tree"))).exists());
        RemoveDirRecursive(qtmpDir.filePath(QStringLiteral("never-there")));
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
};

QTEST_GUILESS_MAIN(tst_CommonFun)
#include "tst_CommonFun.moc"
