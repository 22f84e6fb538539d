// The Epson backend's own files and status: the order file and the replace-field
// file byte for byte (in the machine's code page, here GB18030), and the vendor
// error codes of TDBStatus.txt with the resubmission of an order that named an
// unknown publisher.
#include <QtTest>

#include <QTextCodec>

#include <atomic>
#include <memory>

#include "Epson/CLS_AutoEpson.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
// The replace-field names in file order.
const char* const s_arrLabelNames[] = {
    "UpperOne", "UpperTwo", "UpperThree", "UpperFour", "UpperFive", "UpperSix", "UpperSeven", "UpperEight",
    "UpperNine", "UpperTen", "LeftOne",   "LeftTwo",   "LeftThree", "LeftFour", "LeftFive",   "LeftSix",
    "LeftSeven", "LeftEight", "LeftNine", "LeftTen",   "RightOne",  "RightTwo", "RightThree", "RightFour",
    "RightFive", "RightSix", "RightSeven", "RightEight", "RightNine", "RightTen", "DownOne",   "DownTwo",
    "DownThree", "DownFour", "DownFive", "DownSix",   "DownSeven", "DownEight", "DownNine", "DownTen",
};

const char s_szStatusJdf0200[] = "[PUBLISHER1]\r\nNAME=\xe6\x96\xb0 PP\r\n\r\n[J9]\r\nERROR=JDF0200\r\n";  // 新 PP
const char s_szFailedOrder[] =
    "JOB_ID=J9\r\nCOPIES=1\r\nOUT_STACKER=3\r\nPUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\nDATA=C:\\a.txt\t\\\r\n";
const char s_szResubmittedOrder[] =
    "JOB_ID=J9\r\nCOPIES=1\r\nOUT_STACKER=3\r\nPUBLISHER=\xd0\xc2 PP\r\nCLOSE_DISC=YES\r\nDATA=C:\\a.txt\t\\\r\n";
}  // namespace

class tst_CLS_AutoEpson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QTextCodec* pCodec = QTextCodec::codecForName("GB18030");
        QVERIFY(pCodec);
        QTextCodec::setCodecForLocale(pCodec);
    }

    // Each case gets a temporary folder of its own, made in the system's one.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_publisher-XXXXXX"));
        QVERIFY(m_pTmpDir->isValid());
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qstrOrderDir = m_pTmpDir->path() + QStringLiteral("/Orders/");
        QVERIFY(QDir().mkpath(m_qstrOrderDir));
    }

    void orderFile_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("media");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("cover");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QString>("closeDisc");
        QTest::addColumn<QByteArray>("statusFile");  // null: none
        QTest::addColumn<QStringList>("files");      // source, destination, ...
        QTest::addColumn<QByteArray>("expected");    // %APP% and %WORK% as backslashed paths

        QTest::newRow("every line") << "J1" << "BD 25GB" << QStringLiteral("光盘 A") << "cover1" << 2 << "NO"
                                    << QByteArray("[PUBLISHER1]\r\nNAME=PP-100 刻录机\r\n")
                                    << QStringList{"D:/a/b.mp4", "/video/", "/data/x y/c.txt", "/"}
                                    << QByteArray("JOB_ID=J1\r\nCOPIES=2\r\nOUT_STACKER=3\r\nDISC_TYPE=BD\r\n"
                                                  "FORMAT=UDF102\r\nVOLUME_LABEL=\xb9\xe2\xc5\xcc"
                                                  " A\r\n"
                                                  "LABEL=%APP%\\BurnServerFile\\CDCover\\cover1.tdd\r\n"
                                                  "REPLACE_FIELD=%WORK%J1.data\r\n"
                                                  "PUBLISHER=PP-100 \xbf\xcc\xc2\xbc\xbb\xfa\r\nCLOSE_DISC=NO\r\n"
                                                  "DATA=D:\\a\\b.mp4\t\\video\\\r\nDATA=\\data\\x y\\c.txt\t\\\r\n");
        QTest::newRow("copies 0, media outside the table, defaults")
            << "J2" << "BD XL 128GB" << "" << "" << 0 << "" << QByteArray() << QStringList{"C:/in/f.iso", "f.iso"}
            << QByteArray("JOB_ID=J2\r\nCOPIES=0\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD\r\nFORMAT=UDF102\r\n"
                          "PUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\nDATA=C:\\in\\f.iso\tf.iso\r\n");
        QTest::newRow("copies -1, empty publisher name")
            << "J3" << "DVD DL 8.5GB" << "Title" << "" << -1 << "YES" << QByteArray("[PUBLISHER1]\r\nNAME=\r\n")
            << QStringList()
            << QByteArray("JOB_ID=J3\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD-DL\r\nFORMAT=UDF102\r\nVOLUME_LABEL=Title\r\n"
                          "PUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n");
        QTest::newRow("cover without title")
            << "J4" << "CD 700MB" << "" << "c2" << 1 << "" << QByteArray() << QStringList()
            << QByteArray("JOB_ID=J4\r\nCOPIES=1\r\nOUT_STACKER=3\r\nDISC_TYPE=CD\r\nFORMAT=UDF102\r\n"
                          "LABEL=%APP%\\BurnServerFile\\CDCover\\c2.tdd\r\nREPLACE_FIELD=%WORK%J4.data\r\n"
                          "PUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n");
        QTest::newRow("BD DL") << "J5" << "BD DL 50GB" << "" << "" << 1 << "" << QByteArray() << QStringList()
                               << QByteArray("JOB_ID=J5\r\nCOPIES=1\r\nOUT_STACKER=3\r\nDISC_TYPE=BD-DL\r\n"
                                             "FORMAT=UDF102\r\nPUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n");
        QTest::newRow("media names compare exactly")
            << "J6" << "bd 25GB" << "" << "" << 1 << "" << QByteArray() << QStringList()
            << QByteArray("JOB_ID=J6\r\nCOPIES=1\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD\r\nFORMAT=UDF102\r\n"
                          "PUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n");
        QTest::newRow("DVD, a percent sign in the title")
            << "J7" << "DVD 4.7GB" << "100%1 done" << "" << 1 << "" << QByteArray() << QStringList()
            << QByteArray("JOB_ID=J7\r\nCOPIES=1\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD\r\nFORMAT=UDF102\r\n"
                          "VOLUME_LABEL=100%1 done\r\nPUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n");
    }
    void orderFile()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, media);
        QFETCH(QString, title);
        QFETCH(QString, cover);
        QFETCH(int, copies);
        QFETCH(QString, closeDisc);
        QFETCH(QByteArray, statusFile);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, expected);
        if (!statusFile.isNull())
            QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), statusFile));
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        const std::string strJobId = jobId.toStdString();
        BurnResultInfo stResult;
        QCOMPARE(epson.StartBurn(strJobId, media.toStdString(), title.toStdString(), cover.toStdString(), copies, 1,
                                 closeDisc.toStdString(), "{\"ignored\":1}", &stResult),
                 0);
        BurnFileTask stTask = MakeTask(strJobId, {});
        for (int iFile = 0; iFile + 1 < files.size(); iFile += 2)
            stTask.vecFiles.emplace_back(files[iFile].toStdString(), files[iFile + 1].toStdString());
        if (!stTask.vecFiles.empty())
            QCOMPARE(epson.AddFile(strJobId, stTask, &stResult), 0);
        QVERIFY(stResult.qstrErrMsg.isEmpty());

        const QString qstrWorkDir = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/") + jobId + QLatin1Char('/');
        expected.replace("%APP%", Backslashed(QCoreApplication::applicationDirPath()));
        expected.replace("%WORK%", Backslashed(qstrWorkDir));
        QCOMPARE(ReadBytes(qstrWorkDir + jobId + QStringLiteral(".jdf")), expected);
    }

    void replaceFieldFile_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QVariantMap>("values");  // field -> value bytes; others empty
        QVariantMap qmapEvery;
        QString qstrEvery;
        for (const char* szName : s_arrLabelNames) {
            qmapEvery.insert(QLatin1String(szName), QByteArray(szName).toLower() + "\xd6\xb5");  // 值
            qstrEvery += QStringLiteral("\"%1\":\"%2值\",").arg(QLatin1String(szName), QString(szName).toLower());
        }
        qstrEvery.chop(1);
        QTest::newRow("all forty") << (QStringLiteral("{\"enable\":\"1\",\"LabelInfo\":{") + qstrEvery + "}}").toUtf8()
                                   << qmapEvery;
        QTest::newRow("some, the rest empty")
            << QByteArray(R"({"LabelInfo":{"UpperOne":"甲","DownTen":"z","LeftOne":5,"RightTwo":null,"Other":"x",)"
                          R"("upperTwo":"case"}})")
            << QVariantMap{{"UpperOne", QByteArray("\xbc\xd7")}, {"DownTen", QByteArray("z")}};
        QTest::newRow("no LabelInfo") << QByteArray(R"({"enable":"yes"})") << QVariantMap();
        QTest::newRow("LabelInfo not an object") << QByteArray(R"({"LabelInfo":"UpperOne"})") << QVariantMap();
    }
    void replaceFieldFile()
    {
        QFETCH(QByteArray, request);
        QFETCH(QVariantMap, values);
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        const QString qstrPath = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/L1/L1.data");
        QVERIFY(WriteBytes(qstrPath, QByteArray(4096, 'x')));  // a longer earlier file goes whole
        QCOMPARE(epson.WriteLabel("L1", request.toStdString(), nullptr), 0);
        QByteArray qbaExpected;
        for (const char* szName : s_arrLabelNames)
            qbaExpected += QByteArray(szName) + '=' + values.value(QLatin1String(szName)).toByteArray() + "\r\n";
        QCOMPARE(ReadBytes(qstrPath), qbaExpected);
    }

    // What an ".err" companion means with the vendor code of TDBStatus.txt.
    void errorCodes_data()
    {
        QTest::addColumn<QByteArray>("statusFile");  // null: none
        QTest::addColumn<QByteArray>("failedOrder");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("errCode");
        QTest::addColumn<QByteArray>("order");  // the order afterwards; null: none

        QTest::newRow("other code") << QByteArray("[PUBLISHER1]\r\nNAME=P\r\n[J9]\r\nERROR=JDF0102\r\n")
                                    << QByteArray(s_szFailedOrder) << 4 << "JDF0102" << QByteArray();
        QTest::newRow("no entry for the job") << QByteArray("[PUBLISHER1]\r\nNAME=P\r\n[J8]\r\nERROR=JDF0200\r\n")
                                              << QByteArray(s_szFailedOrder) << 4 << "" << QByteArray();
        QTest::newRow("no status file") << QByteArray() << QByteArray(s_szFailedOrder) << 4 << "" << QByteArray();
        QTest::newRow("unknown publisher, empty order")
            << QByteArray(s_szStatusJdf0200) << QByteArray() << 4 << "JDF0200" << QByteArray();
        QTest::newRow("unknown publisher: resubmitted")
            << QByteArray(s_szStatusJdf0200) << QByteArray(s_szFailedOrder) << 0 << "JDF0200"
            << QByteArray(s_szResubmittedOrder);
        const QByteArray qbaLong = "DATA=C:\\" + QByteArray(3000, 'L') + "\t\\\r\n";
        QTest::newRow("unknown publisher: long lines kept, every PUBLISHER line replaced")
            << QByteArray(s_szStatusJdf0200) << QByteArray("PUBLISHER=a\r\n" + qbaLong + "PUBLISHER_X=b\nJOB_ID=J9")
            << 0 << "JDF0200"
            << QByteArray("PUBLISHER=\xd0\xc2 PP\r\n" + qbaLong + "PUBLISHER=\xd0\xc2 PP\r\nJOB_ID=J9");
    }
    void errorCodes()
    {
        QFETCH(QByteArray, statusFile);
        QFETCH(QByteArray, failedOrder);
        QFETCH(int, state);
        QFETCH(QString, errCode);
        QFETCH(QByteArray, order);
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        if (!statusFile.isNull())
            QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), statusFile));
        const QString qstrErr = m_qstrOrderDir + QStringLiteral("J9.err");
        QVERIFY(WriteBytes(qstrErr, failedOrder));
        BurnResultInfo stResult;
        QCOMPARE(epson.GetJobStatus(QStringLiteral("J9"), &stResult), state);
        QCOMPARE(stResult.qstrErrCode, errCode);
        const QByteArray qbaMissing = "<missing>";
        QCOMPARE(ReadBytes(m_qstrOrderDir + QStringLiteral("J9.jdf")), order.isNull() ? qbaMissing : order);
        QCOMPARE(ReadBytes(qstrErr), order.isNull() ? failedOrder : qbaMissing);
        QVERIFY(!QFile::exists(m_qstrOrderDir + QStringLiteral("J9.errjdf")));
    }

    // After "JDF0200" the order waits again, TDBridge's next state is read, and later
    // orders carry the publisher name read again.
    void resubmittedOrderGoesOn()
    {
        QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), "[PUBLISHER1]\r\nNAME=Old\r\n"));
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        QCOMPARE(epson.StartBurn("J10", "CD 700MB", "", "", -1, 0, "", "{}", nullptr), 0);
        const QString qstrFirstOrder = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/J10/J10.jdf");
        QVERIFY(ReadBytes(qstrFirstOrder).contains("PUBLISHER=Old\r\n"));
        QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("J9.err"), s_szFailedOrder));
        QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), s_szStatusJdf0200));

        BurnResultInfo stFirst;
        QCOMPARE(epson.GetJobStatus(QStringLiteral("J9"), &stFirst), 0);
        QCOMPARE(stFirst.qstrErrCode, QStringLiteral("JDF0200"));
        BurnResultInfo stWaiting;
        QCOMPARE(epson.GetJobStatus(QStringLiteral("J9"), &stWaiting), 0);
        QVERIFY(stWaiting.qstrErrCode.isEmpty());
        QVERIFY(QFile::rename(m_qstrOrderDir + QStringLiteral("J9.jdf"), m_qstrOrderDir + QStringLiteral("J9.inp")));
        QCOMPARE(epson.GetJobStatus(QStringLiteral("J9"), nullptr), 2);
        QVERIFY(QFile::rename(m_qstrOrderDir + QStringLiteral("J9.inp"), m_qstrOrderDir + QStringLiteral("J9.don")));
        QCOMPARE(epson.GetJobStatus(QStringLiteral("J9"), nullptr), 3);

        QCOMPARE(epson.StartBurn("J11", "CD 700MB", "", "", -1, 0, "", "{}", nullptr), 0);
        QVERIFY(ReadBytes(m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/J11/J11.jdf"))
                    .contains("PUBLISHER=\xd0\xc2 PP\r\n"));
    }

    void resubmittedLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray qbaNew = "PUBLISHER=New\r\n";
        QTest::newRow("publisher line") << QByteArray("PUBLISHER=Old\r\n") << qbaNew;
        QTest::newRow("without line end") << QByteArray("PUBLISHER=Old") << qbaNew;
        QTest::newRow("any key beginning so") << QByteArray("PUBLISHERS=x\n") << qbaNew;
        QTest::newRow("bare word") << QByteArray("PUBLISHER") << qbaNew;
        QTest::newRow("other key") << QByteArray("JOB_ID=PUBLISHER\r\n") << QByteArray("JOB_ID=PUBLISHER\r\n");
        QTest::newRow("lower case") << QByteArray("publisher=x\r\n") << QByteArray("publisher=x\r\n");
        QTest::newRow("leading space") << QByteArray(" PUBLISHER=x\r\n") << QByteArray(" PUBLISHER=x\r\n");
        QTest::newRow("empty line") << QByteArray("\r\n") << QByteArray("\r\n");
    }
    void resubmittedLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        QCOMPARE(ResubmittedOrderLine(line, "PUBLISHER=New\r\n"), expected);
    }

    // The status thread re-reads the publisher name while orders are written: every
    // order carries one whole name or the other.
    void publisherSharedWithStatusThread()
    {
        const QString qstrStatus = m_qstrOrderDir + QStringLiteral("TDBStatus.txt");
        const QByteArray qbaNameA = "Publisher A with a name long enough to live on the heap";
        const QByteArray qbaNameB = "Publisher B";
        QVERIFY(WriteBytes(qstrStatus, "[PUBLISHER1]\r\nNAME=" + qbaNameB + "\r\n"));
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        std::atomic<bool> blStop{false};
        std::atomic<int> iResubmitted{0};
        QThread* pStatusThread = QThread::create([&] {
            for (int iRound = 0; !blStop.load(); ++iRound) {
                const QByteArray qbaName = (iRound % 2) ? qbaNameA : qbaNameB;
                WriteBytes(qstrStatus, "[PUBLISHER1]\r\nNAME=" + qbaName + "\r\n[J9]\r\nERROR=JDF0200\r\n");
                WriteBytes(m_qstrOrderDir + QStringLiteral("J9.err"), s_szFailedOrder);
                QFile::remove(m_qstrOrderDir + QStringLiteral("J9.jdf"));
                if (epson.GetJobStatus(QStringLiteral("J9"), nullptr) == 0)
                    ++iResubmitted;
            }
        });
        pStatusThread->start();
        QDeadlineTimer deadline(20000);
        int iOrders = 0;
        QByteArray qbaTorn;
        while (!deadline.hasExpired() && qbaTorn.isEmpty() && (iOrders < 200 || iResubmitted.load() < 20)) {
            const std::string strJobId = "K" + std::to_string(iOrders % 10);
            epson.StartBurn(strJobId, "CD 700MB", "", "", -1, 0, "", "{}", nullptr);
            const QByteArray qbaOrder = ReadBytes(m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/")
                                                  + QString::fromStdString(strJobId + "/" + strJobId + ".jdf"));
            const bool blWhole = qbaOrder.contains("PUBLISHER=" + qbaNameA + "\r\n")
                || qbaOrder.contains("PUBLISHER=" + qbaNameB + "\r\n");
            if (!blWhole)
                qbaTorn = qbaOrder;
            ++iOrders;
        }
        blStop = true;
        QVERIFY(pStatusThread->wait(10000));
        delete pStatusThread;
        QVERIFY2(qbaTorn.isEmpty(), qbaTorn.constData());
        QVERIFY(iResubmitted.load() >= 20);
    }

    void cleanup()
    {
        m_pTmpDir.reset();
        qputenv("TMPDIR", m_qstrSystemTemp.toUtf8());
    }

private:
    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrOrderDir;
};

QTEST_GUILESS_MAIN(tst_CLS_AutoEpson)
#include "tst_CLS_AutoEpson.moc"
