// The simulator's readers and writers of publisher files and its command line,
// fed from tables.
#include <QtTest>

#include <QTextCodec>

#include "PubSimFiles.h"
#include "PubSimOptions.h"

Q_DECLARE_METATYPE(QVector<PubSimFile>)

namespace
{
const PubSimVendor& VendorByName(const QString& _qstrName)
{
    return _qstrName == QLatin1String("epson") ? EpsonVendor() : PrimeraVendor();
}
}  // namespace

class tst_PubSimFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QTextCodec* pCodec = QTextCodec::codecForName("GB18030");
        QVERIFY(pCodec);
        QTextCodec::setCodecForLocale(pCodec);
    }

    void parseOrder_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("discType");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QVector<PubSimFile>>("files");
        QTest::newRow("epson, code page text")
            << "epson"
            << QByteArray("JOB_ID=J1\r\nDISC_TYPE=BD\r\nVOLUME_LABEL=\xb9\xe2\xc5\xcc\r\nPUBLISHER=P\r\n"
                          "DATA=D:\\a\\b.mp4\t\\video\\\r\nDATA=\\x\\y z.txt\t\\\r\n")
            << "BD" << QStringLiteral("光盘")
            << QVector<PubSimFile>{{"D:/a/b.mp4", "/video/"}, {"/x/y z.txt", "/"}};
        QTest::newRow("primera, UTF-8 text, two backslashes meet")
            << "primera"
            << QByteArray("JobID=P1\r\nDiskType=DVD\r\nVolumeName=光盘\r\nDATA=D:\\a\\b.mp4>\\\\video\\\r\n"
                          "DATA=/abs/c.txt>\\\\f.txt\r\n")
            << "DVD" << QStringLiteral("光盘")
            << QVector<PubSimFile>{{"D:/a/b.mp4", "/video/"}, {"/abs/c.txt", "/f.txt"}};
        QTest::newRow("LF ends, first value wins, junk skipped")
            << "epson" << QByteArray("DISC_TYPE=CD\nno equals sign\n=novalue\nDISC_TYPE=BD\nDATA=only source\n")
            << "CD" << "" << QVector<PubSimFile>{{"only source", ""}};
        QTest::newRow("empty") << "primera" << QByteArray() << "" << "" << QVector<PubSimFile>();
    }
    void parseOrder()
    {
        QFETCH(QString, vendor);
        QFETCH(QByteArray, text);
        QFETCH(QString, discType);
        QFETCH(QString, volume);
        QFETCH(QVector<PubSimFile>, files);
        const PubSimVendor& stVendor = VendorByName(vendor);
        const PubSimOrder stOrder = ParsePubSimOrder(text, stVendor);
        QCOMPARE(stOrder.qmapFields.value(stVendor.qstrDiscTypeKey), discType);
        QCOMPARE(stOrder.qmapFields.value(stVendor.qstrVolumeKey), volume);
        QCOMPARE(stOrder.vecFiles, files);
    }

    void statusFile()
    {
        QCOMPARE(ComposeStatusFile(QStringLiteral("PP-100 刻录机"), {}),
                 QByteArray("[PUBLISHER1]\r\nNAME=PP-100 刻录机\r\n"));
        QCOMPARE(ComposeStatusFile(QStringLiteral("P"), {{"J2", "JDF0200"}, {"J1", "%1 E"}}),
                 QByteArray("[PUBLISHER1]\r\nNAME=P\r\n\r\n[J1]\r\nERROR=%1 E\r\n\r\n[J2]\r\nERROR=JDF0200\r\n"));
    }

    void resultFile_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QByteArray>("order");
        QTest::addColumn<QVector<qint64>>("sizes");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("epson done")
            << "epson" << QByteArray("JOB_ID=J1\r\nCOPIES=2\r\nDISC_TYPE=BD\r\nVOLUME_LABEL=Case 42\r\n"
                                     "DATA=\\d\\a.mp4\t\\video\\\r\nDATA=\\d\\gone\t\\\r\nDATA=\\d\\sub\t\\sub\\\r\n")
            << QVector<qint64>{1048576, -1, 6} << ""
            << QByteArray("JOB=J1\nVENDOR=epson\nOUTCOME=done\nDISC_TYPE=BD\nVOLUME_LABEL=Case 42\nCOPIES=2\nFILES=3\n"
                          "BYTES=1048582\nFILE=1048576\t/d/a.mp4\t/video/\nFILE=missing\t/d/gone\t/\n"
                          "FILE=6\t/d/sub\t/sub/\n");
        QTest::newRow("primera failed, no title or copies")
            << "primera" << QByteArray("JobID=P1\r\nDiskType=DVD\r\nDATA=/d/a.txt>\\\\\r\n") << QVector<qint64>{0}
            << "SIM4711"
            << QByteArray("JOB=P1\nVENDOR=primera\nOUTCOME=error SIM4711\nDISC_TYPE=DVD\nVOLUME_LABEL=\nCOPIES=\n"
                          "FILES=1\nBYTES=0\nFILE=0\t/d/a.txt\t/\n");
    }
    void resultFile()
    {
        QFETCH(QString, vendor);
        QFETCH(QByteArray, order);
        QFETCH(QVector<qint64>, sizes);
        QFETCH(QString, code);
        QFETCH(QByteArray, expected);
        const PubSimVendor& stVendor = VendorByName(vendor);
        const QString qstrJobId = vendor == QLatin1String("epson") ? QStringLiteral("J1") : QStringLiteral("P1");
        QCOMPARE(ComposeResultFile(qstrJobId, stVendor, ParsePubSimOrder(order, stVendor), sizes, code), expected);
    }

    void sourceSize()
    {
        QTemporaryDir qtmpDir;
        QVERIFY(qtmpDir.isValid());
        const QString qstrRoot = qtmpDir.path();
        QVERIFY(QDir().mkpath(qstrRoot + QStringLiteral("/dir/sub")));
        for (const auto& pairFile : {qMakePair(QStringLiteral("/dir/a"), 5), qMakePair(QStringLiteral("/dir/sub/b"), 7),
                                     qMakePair(QStringLiteral("/dir/.hidden"), 11)}) {
            QFile qfile(qstrRoot + pairFile.first);
            QVERIFY(qfile.open(QIODevice::WriteOnly));
            qfile.write(QByteArray(pairFile.second, 'x'));
        }
        QCOMPARE(SourceSize(qstrRoot + QStringLiteral("/dir/a")), qint64(5));
        QCOMPARE(SourceSize(qstrRoot + QStringLiteral("/dir")), qint64(23));
        QCOMPARE(SourceSize(qstrRoot + QStringLiteral("/none")), qint64(-1));
    }

    void failRules_data()
    {
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("code");
        QTest::newRow("exact id, default code") << QStringList{"J1"} << "J1" << "SIM0001";
        QTest::newRow("whole id only") << QStringList{"J1"} << "J10" << "";
        QTest::newRow("wildcard with code") << QStringList{"EF-*=E4711"} << "EF-17" << "E4711";
        QTest::newRow("question mark") << QStringList{"J?=X"} << "J12" << "";
        QTest::newRow("first match counts") << QStringList{"A*=1", "*=2"} << "AB" << "1";
        QTest::newRow("later rule") << QStringList{"A*=1", "*=2"} << "BA" << "2";
        QTest::newRow("code after the last equals sign") << QStringList{"a=b=C"} << "a=b" << "C";
        QTest::newRow("no rules") << QStringList() << "J1" << "";
    }
    void failRules()
    {
        QFETCH(QStringList, specs);
        QFETCH(QString, jobId);
        QFETCH(QString, code);
        QVector<PubSimFailRule> vecRules;
        for (const QString& qstrSpec : specs) {
            PubSimFailRule stRule;
            QVERIFY(ParseFailRule(qstrSpec, stRule));
            vecRules << stRule;
        }
        QCOMPARE(FailCodeFor(vecRules, jobId), code);
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");  // empty: accepted
        QTest::addColumn<QString>("epsonDir");
        QTest::addColumn<QString>("primeraDir");
        QTest::addColumn<int>("stepMs");
        QTest::addColumn<int>("maxJobs");
        QTest::newRow("root") << QStringList{"--root", "/r/x/"} << "" << "/r/x/EPSON/TDBridge/Orders/"
                              << "/r/x/PTBurnJobs/" << 1000 << 0;
        QTest::newRow("folders one by one") << QStringList{"--root", "/r", "--epson-dir", "/e", "--primera-dir", "/p/"}
                                            << "" << "/e/" << "/p/" << 1000 << 0;
        QTest::newRow("fastest, once") << QStringList{"--root", "/r", "--step-ms", "0", "--once"} << ""
                                       << "/r/EPSON/TDBridge/Orders/" << "/r/PTBurnJobs/" << 0 << 1;
        QTest::newRow("max jobs") << QStringList{"--root", "/r", "--max-jobs", "50"} << ""
                                  << "/r/EPSON/TDBridge/Orders/" << "/r/PTBurnJobs/" << 1000 << 50;
        QTest::newRow("negative step") << QStringList{"--step-ms", "-1"} << "--step-ms" << "" << "" << 0 << 0;
        QTest::newRow("max jobs zero") << QStringList{"--max-jobs", "0"} << "--max-jobs" << "" << "" << 0 << 0;
        QTest::newRow("empty fail pattern") << QStringList{"--fail", "=E1"} << "--fail" << "" << "" << 0 << 0;
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus" << "" << "" << 0 << 0;
        QTest::newRow("stray argument") << QStringList{"extra"} << "extra" << "" << "" << 0 << 0;
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(QString, epsonDir);
        QFETCH(QString, primeraDir);
        QFETCH(int, stepMs);
        QFETCH(int, maxJobs);
        PubSimOptions stOptions;
        QString qstrError;
        const bool blOk = ParsePubSimOptions(QStringList{"pubsim"} + args, stOptions, qstrError);
        QCOMPARE(blOk, error.isEmpty());
        if (!blOk) {
            QVERIFY2(qstrError.contains(error), qPrintable(qstrError));
            return;
        }
        QCOMPARE(stOptions.qstrEpsonDir, epsonDir);
        QCOMPARE(stOptions.qstrPrimeraDir, primeraDir);
        QCOMPARE(stOptions.iStepMs, stepMs);
        QCOMPARE(stOptions.iMaxJobs, maxJobs);
        QCOMPARE(stOptions.qstrPublisher, QStringLiteral("PP-100II 1"));
    }
};

QTEST_GUILESS_MAIN(tst_PubSimFiles)
#include "tst_PubSimFiles.moc"
