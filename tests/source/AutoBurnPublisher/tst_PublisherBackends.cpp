// The Epson and Primera backends, one shared publisher with a vendor description each:
// order and label files byte for byte (Epson in the machine's code page, here GB18030;
// Primera in UTF-8), the hand-over, the job state from companion files, failures with the
// vendor's texts, Epson's resubmission of orders refused with JDF0200; then both against
// the publisher simulator pubsim (hence also the label "simulators").
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

#include "Epson/CLS_AutoEpson.h"
#include "LogRecorder.h"
#include "Primera/CLS_AutoPrimera.h"
#include "Publisher/PublisherFolders.h"
#include "TestFiles.h"

namespace
{

constexpr int n_Epson = 0;
constexpr int n_Primera = 1;
const char* const s_arrOrderExt[] = {".jdf", ".jrq"};

// The publisher "新 PP", in UTF-8 in the status file and in GB18030 in orders.
const char s_szStatusJdf0200[] = "[PUBLISHER1]\r\nNAME=\xe6\x96\xb0 PP\r\n\r\n[J9]\r\nERROR=JDF0200";
const char s_szNewPublisherLine[] = "PUBLISHER=\xd0\xc2 PP\r\n";
const char s_szFailedOrder[] = "JOB_ID=J9\r\nPUBLISHER=PP-100II 1\r\nDATA=C:\\a.txt\t\\\r\n";

std::unique_ptr<CLS_AutoBase> MakeBackend(int _iVendor, const QString& _qstrOrderDir)
{
    if (_iVendor == n_Epson)
        return std::make_unique<CLS_AutoEpson>(_qstrOrderDir.toStdString());
    return std::make_unique<CLS_AutoPrimera>(_qstrOrderDir.toStdString());
}

// An Epson label file: "<field>=<value>\r\n" for Upper, Left, Right, Down, each One to Ten.
QByteArray EpsonLabelFile(const QMap<QByteArray, QByteArray>& _qmapValues)
{
    QByteArray qbaFile;
    const char* const arrNumbers[] = {"One", "Two", "Three", "Four", "Five",
                                      "Six", "Seven", "Eight", "Nine", "Ten"};
    for (const char* szGroup : {"Upper", "Left", "Right", "Down"}) {
        for (const char* szNumber : arrNumbers) {
            const QByteArray qbaField = szGroup + QByteArray(szNumber);
            qbaFile += qbaField + '=' + _qmapValues.value(qbaField) + "\r\n";
        }
    }
    return qbaFile;
}
}  // namespace

class tst_PublisherBackends : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("GB18030"));
    }

    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + "/tst_publisher-XXXXXX");
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qstrOrderDir = m_pTmpDir->path() + QStringLiteral("/orders/");
    }

    void jobFiles_data()
    {
        QTest::addColumn<int>("vendor");
        // StartBurn's job id, CDType, CDTitle, CDCover, copies, CloseDisc
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("statusFile");  // null: none
        QTest::addColumn<QStringList>("files");      // source, destination, ...
        QTest::addColumn<QByteArray>("expected");    // %APP% and %WORK% as backslashed paths
        QTest::addColumn<QByteArray>("labelRequest");
        QTest::addColumn<QByteArray>("label");  // null: the earlier file stays
        QTest::newRow("epson: every line, percent sign; label fields other than text read as empty")
            << n_Epson << QStringList{"J1", "BD 25GB", "光盘 %1 A", "c1", "2", "NO"}
            << QByteArray("[PUBLISHER1]\r\nNAME=PP-100 刻录机\r\n")
            << QStringList{"D:/a/b.mp4", "/video/", "/data/x y/c.txt", "/"}
            << QByteArray("JOB_ID=J1\r\nCOPIES=2\r\nOUT_STACKER=3\r\nDISC_TYPE=BD\r\nFORMAT=UDF102\r\n"
                          "VOLUME_LABEL=\xb9\xe2\xc5\xcc %1 A\r\n"
                          "LABEL=%APP%\\BurnServerFile\\CDCover\\c1.tdd\r\nREPLACE_FIELD=%WORK%J1.data\r\n"
                          "PUBLISHER=PP-100 \xbf\xcc\xc2\xbc\xbb\xfa\r\nCLOSE_DISC=NO\r\n"
                          "DATA=D:\\a\\b.mp4\t\\video\\\r\nDATA=\\data\\x y\\c.txt\t\\\r\n")
            << QByteArray(R"({"LabelInfo":{"UpperOne":"甲","DownTen":"z","LeftTwo":5,"RightTwo":null,"Other":)"
                          R"("x","upperTwo":"case","UpperTen":"u10","LeftOne":"l1","RightFive":"r5"}})")
            << EpsonLabelFile({{"UpperOne", "\xbc\xd7"}, {"UpperTen", "u10"}, {"LeftOne", "l1"},
                               {"RightFive", "r5"}, {"DownTen", "z"}});
        QTest::newRow("epson: copies 0, media names compare exactly, no title or cover, defaults, no label")
            << n_Epson << QStringList{"J2", "bd 25GB", "", "", "0", ""}
            << QByteArray("[PUBLISHER1]\r\nNAME=\r\n") << QStringList{"C:/in/f.iso", "f.iso"}
            << QByteArray("JOB_ID=J2\r\nCOPIES=0\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD\r\nFORMAT=UDF102\r\n"
                          "PUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\nDATA=C:\\in\\f.iso\tf.iso\r\n")
            << QByteArray(R"({"enable":"0","LabelInfo":{"UpperOne":"new"}})") << QByteArray();
        QTest::newRow("primera: copies -1, DVD DL, every other line; sixteen label lines, enable number 0")
            << n_Primera << QStringList{"P1", "DVD DL 8.5GB", "光盘 A", "c1", "-1", "NO"}
            << QByteArray() << QStringList{"D:/a/b.mp4", "/video/", "/案件/c.txt", "/"}
            << QByteArray("JobID=P1\r\nDiskType=DVD-DL\r\nDataImageType=UDF\r\nVolumeName=光盘 A\r\n"
                          "PrintLabel=%APP%\\BurnServerFile\\CDCover\\c1.std\r\n"
                          "MergeFieldPath=%WORK%P1.dat\r\nClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\n"
                          "VerifyDisc=NO\r\nCloseDisc=NO\r\nDATA=D:\\a\\b.mp4>\\\\video\\\r\n"
                          "DATA=\\案件\\c.txt>\\\\\r\n")
            << QByteArray(R"({"enable":0,"LabelInfo":{"UpperOne":"甲","UpperFour":"u4","UpperFive":"u5",)"
                          R"("LeftOne":"l1","RightFour":"r4","DownOne":"d1","DownFour":"d4"}})")
            << QByteArray("MergeField=\xbc\xd7\r\nMergeField=\r\nMergeField=\r\nMergeField=u4\r\n"
                          "MergeField=l1\r\nMergeField=\r\nMergeField=\r\nMergeField=\r\n"
                          "MergeField=\r\nMergeField=\r\nMergeField=\r\nMergeField=r4\r\n"
                          "MergeField=d1\r\nMergeField=\r\nMergeField=\r\nMergeField=d4\r\n");
    }
    // StartBurn and AddFile compose the order in the work folder; WriteLabel rewrites the
    // label file whole (8-bit text) unless "enable" is the text "0"; DoBurn hands the order
    // over into the watched folder (made when missing), replacing an earlier order there.
    // Failures name the vendor: a job without files, then a folder where its order belongs.
    void jobFiles()
    {
        QFETCH(int, vendor);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, statusFile);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, labelRequest);
        QFETCH(QByteArray, label);
        if (!statusFile.isNull())
            QVERIFY(WriteTestFile(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), statusFile));
        auto pBackend = MakeBackend(vendor, m_qstrOrderDir);
        const QString qstrJob = args[0];
        const std::string strJob = qstrJob.toStdString();
        const auto fnArg = [&args](int _iArg) { return args[_iArg].toStdString(); };
        BurnResultInfo stRes;
        QCOMPARE(pBackend->StartBurn(strJob, fnArg(1), fnArg(2), fnArg(3), args[4].toInt(), 1, fnArg(5), "{}",
                                     &stRes),
                 0);
        BurnFileTask stTask{strJob, {}};
        for (int iFile = 0; iFile + 1 < files.size(); iFile += 2)
            stTask.vecFiles.emplace_back(files[iFile].toStdString(), files[iFile + 1].toStdString());
        QCOMPARE(pBackend->AddFile(strJob, stTask, &stRes), 0);
        QVERIFY(stTask.vecFiles.empty());
        expected.replace("%APP%", QCoreApplication::applicationDirPath().replace('/', '\\').toUtf8());
        expected.replace("%WORK%", WorkFile(qstrJob, "").replace('/', '\\').toUtf8());
        QCOMPARE(ReadTestFile(WorkFile(qstrJob, s_arrOrderExt[vendor])), expected);
        const QString qstrLabel = WorkFile(qstrJob, vendor == n_Epson ? ".data" : ".dat");
        const QByteArray qbaEarlier(4096, 'x');
        QVERIFY(WriteTestFile(qstrLabel, qbaEarlier));
        QCOMPARE(pBackend->WriteLabel(strJob, labelRequest.toStdString(), nullptr), 0);
        QCOMPARE(ReadTestFile(qstrLabel), label.isNull() ? qbaEarlier : label);

        const QString qstrOrder = m_qstrOrderDir + qstrJob + s_arrOrderExt[vendor];
        QCOMPARE(pBackend->DoBurn(strJob, nullptr), 0);
        QCOMPARE(ReadTestFile(qstrOrder), expected);
        QVERIFY(WriteTestFile(qstrOrder, "STALE ORDER\r\n"));
        QCOMPARE(pBackend->DoBurn(strJob, nullptr), 0);
        QCOMPARE(ReadTestFile(qstrOrder), expected);

        const QString qstrBrand = vendor == n_Epson ? "Epson" : "Primera";
        BurnFileTask stFailed{"F", {}};
        QCOMPARE(pBackend->AddFile("F", stFailed, &stRes), -2);
        QCOMPARE(stRes.qstrErrMsg, QStringLiteral("[%1][没有文件]").arg(qstrBrand));
        const QString qstrWorkFile = WorkFile("F", s_arrOrderExt[vendor]);
        QVERIFY(QDir().mkpath(qstrWorkFile));
        QCOMPARE(pBackend->StartBurn("F", "DVD 4.7GB", "T", "", 1, 0, "", "{}", &stRes), 1);
        const QString qstrFileKind = QString(s_arrOrderExt[vendor]).mid(1).toUpper();  // "JDF"
        QCOMPARE(stRes.qstrErrMsg, QStringLiteral("创建%1文件失败").arg(qstrFileKind));
        stFailed.vecFiles = {{"/a/b.mp4", "/"}};
        QCOMPARE(pBackend->AddFile("F", stFailed, &stRes), -1);
        QCOMPARE(stRes.qstrErrMsg, QString("[%1][打开文件失败][F][%2]").arg(qstrBrand, qstrWorkFile));
        QCOMPARE(pBackend->DoBurn("F", &stRes), -1);
        QCOMPARE(stRes.qstrErrMsg, QStringLiteral("[%1][copy file fail]F").arg(qstrBrand));
    }

    // The order file wins over any companion; then .rjd/.qrj, .inf/.inp, .don, .err, .stp.
    // The order that "../escape" would name from the order folder is not read.
    void stateFromCompanionFiles_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QStringList>("files");  // extensions; "order": the vendor's
        QTest::addColumn<int>("state");
        QTest::newRow("epson: order over done") << n_Epson << "J7" << QStringList{"order", ".don"} << 0;
        QTest::newRow("epson: rjd over inp") << n_Epson << "J7" << QStringList{".rjd", ".inp"} << 1;
        QTest::newRow("primera: inp over done") << n_Primera << "J7" << QStringList{".inp", ".don"} << 2;
        QTest::newRow("primera: done over error") << n_Primera << "J7" << QStringList{".don", ".err"} << 3;
        QTest::newRow("primera: error over paused") << n_Primera << "J7" << QStringList{".err", ".stp"} << 4;
        QTest::newRow("epson: escaping job id") << n_Epson << "../escape" << QStringList{"order"} << -1;
    }
    void stateFromCompanionFiles()
    {
        QFETCH(int, vendor);
        QFETCH(QString, jobId);
        QFETCH(QStringList, files);
        QFETCH(int, state);
        QVERIFY(QDir().mkpath(m_qstrOrderDir));
        for (const QString& qstrExt : files) {
            const QString qstrFileExt = qstrExt == "order" ? QString(s_arrOrderExt[vendor]) : qstrExt;
            QVERIFY(WriteTestFile(m_qstrOrderDir + jobId + qstrFileExt, "JOB\r\n"));
        }
        QCOMPARE(MakeBackend(vendor, m_qstrOrderDir)->GetJobStatus(jobId, nullptr), state);
    }

    // Epson resubmits an order refused with JDF0200 (TDBStatus.txt), every line beginning
    // "PUBLISHER" replaced, others kept whole; an empty order stays refused.
    void resubmission_data()
    {
        QTest::addColumn<QByteArray>("failedOrder");
        QTest::addColumn<QByteArray>("order");  // the order afterwards; null: none, the .err stays
        QTest::newRow("empty order") << QByteArray() << QByteArray();
        const QByteArray qbaKept = "DATA=C:\\" + QByteArray(3000, 'L') + "\t\\\r\n\r\npublisher=x\r\n"
                                   " PUBLISHER=y\r\nJOB_ID=PUBLISHER\r\nJOB_ID=J9";
        QTest::newRow("resubmitted; long and other lines kept")
            << "PUBLISHER=a\r\nPUBLISHER_X=b\n" + qbaKept
            << s_szNewPublisherLine + (s_szNewPublisherLine + qbaKept);
    }
    void resubmission()
    {
        QFETCH(QByteArray, failedOrder);
        QFETCH(QByteArray, order);
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        QVERIFY(WriteTestFile(m_qstrOrderDir + "TDBStatus.txt", s_szStatusJdf0200));
        QVERIFY(WriteTestFile(m_qstrOrderDir + "J9.err", failedOrder));
        BurnResultInfo stResult;
        QCOMPARE(epson.GetJobStatus("J9", &stResult), order.isNull() ? 4 : 0);
        QCOMPARE(stResult.qstrErrCode, "JDF0200");
        QCOMPARE(ReadTestFile(m_qstrOrderDir + "J9.jdf"), order.isNull() ? "<missing>" : order);
        QCOMPARE(ReadTestFile(m_qstrOrderDir + "J9.err"), order.isNull() ? failedOrder : "<missing>");
        QVERIFY(!QFile::exists(m_qstrOrderDir + "J9.errjdf"));
    }

    // The status thread re-reads the publisher name while orders are written: every
    // order carries one whole name (the default one before the first reading).
    void publisherSharedWithStatusThread()
    {
        const QByteArray qbaLong = "Publisher A with a name long enough to live on the heap";
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        std::atomic<bool> blDone{false};
        std::thread statusThread([&] {
            for (int iRound = 0; iRound < 40; ++iRound) {
                const QByteArray qbaName = iRound % 2 ? qbaLong : "B";
                WriteTestFile(m_qstrOrderDir + "TDBStatus.txt",
                           "[PUBLISHER1]\r\nNAME=" + qbaName + "\r\n[J9]\r\nERROR=JDF0200");
                WriteTestFile(m_qstrOrderDir + "J9.err", s_szFailedOrder);
                QFile::remove(m_qstrOrderDir + "J9.jdf");
                epson.GetJobStatus("J9", nullptr);
            }
            blDone = true;
        });
        const QRegularExpression qregexWhole("\r\nPUBLISHER=(PP-100II 1|" + qbaLong + "|B)\r\n");
        QString qstrTorn;
        for (int iOrder = 0; qstrTorn.isEmpty() && (!blDone || iOrder == 0); ++iOrder) {
            epson.StartBurn("K1", "DVD 4.7GB", "T", "", 1, 0, "", "{}", nullptr);
            const QString qstrOrder = QString::fromUtf8(ReadTestFile(WorkFile("K1", ".jdf")));
            if (!qregexWhole.match(qstrOrder).hasMatch())
                qstrTorn = qstrOrder;
        }
        statusThread.join();
        QVERIFY2(qstrTorn.isEmpty(), qPrintable(qstrTorn));
    }

    // The simulator's outcome, result files and TDBStatus.txt; its stop by SIGTERM. Jobs "?F-..."
    // fail. Epson starts with a stale publisher: each order is first refused and resubmitted.
    void jobsThroughTheSimulator()
    {
        const int iWaitMs = 15000;
        const QString qstrSources = m_pTmpDir->path() + QStringLiteral("/src/");
        QVERIFY(WriteTestFile(qstrSources + "video.mp4", QByteArray(4096, 'v')));
        const QString qstrRoot = m_pTmpDir->path() + QStringLiteral("/pub");
        const QString qstrEpsonDir = EpsonOrderDirUnder(qstrRoot);
        QVERIFY(WriteTestFile(qstrEpsonDir + "TDBStatus.txt", "[PUBLISHER1]\r\nNAME=Old PP\r\n"));
        CLS_AutoEpson epson(qstrEpsonDir.toStdString());
        CLS_AutoPrimera primera(PrimeraJobDirUnder(qstrRoot).toStdString());

        QProcess pubsim;
        const QString qstrOutput = m_pTmpDir->filePath(QStringLiteral("pubsim.out"));
        pubsim.setStandardOutputFile(qstrOutput);
        pubsim.start(PUBSIM_PATH, {"--root", qstrRoot, "--step-ms", "0", "--publisher", "Sim", "--fail",
                                   "EF-*=SIM4711", "--fail", "PF-*"});
        QTRY_VERIFY_WITH_TIMEOUT(ReadTestFile(qstrOutput).startsWith("ready "), iWaitMs);
        const QStringList qstrlstJobs = {"E-1", "EF-2", "P-3", "PF-4"};
        for (const QString& qstrId : qstrlstJobs) {
            CLS_AutoBase& backend = qstrId.startsWith('E') ? static_cast<CLS_AutoBase&>(epson) : primera;
            const std::string strId = qstrId.toStdString();
            QCOMPARE(backend.StartBurn(strId, "DVD 4.7GB", "Case " + strId, "", 1, 0, "", "{}", nullptr), 0);
            BurnFileTask stTask{strId, {{(qstrSources + "video.mp4").toStdString(), "/video/"},
                                        {"/no/such/file", "/x/"}}};
            QCOMPARE(backend.AddFile(strId, stTask, nullptr), 0);
            QCOMPARE(backend.DoBurn(strId, nullptr), 0);
        }

        const QString qstrResult = "JOB=%1\nVENDOR=%2\nOUTCOME=%3\nDISC_TYPE=DVD\nVOLUME_LABEL=Case %1\n"
                                   "COPIES=1\nFILES=2\nBYTES=4096\nFILE=4096\t%4video.mp4\t/video/\n"
                                   "FILE=missing\t/no/such/file\t/x/\n";
        for (const QString& qstrId : qstrlstJobs) {
            const bool blEpson = qstrId.startsWith('E');
            CLS_AutoBase& backend = blEpson ? static_cast<CLS_AutoBase&>(epson) : primera;
            const bool blFailed = qstrId.contains(QLatin1String("F-"));
            QTRY_COMPARE_WITH_TIMEOUT(backend.GetJobStatus(qstrId, nullptr), blFailed ? 4 : 3, iWaitMs);
            BurnResultInfo stResult;
            backend.GetJobStatus(qstrId, &stResult);
            QCOMPARE(stResult.qstrErrCode, blFailed && blEpson ? "SIM4711" : "");
            const QString qstrDir = blEpson ? qstrEpsonDir : PrimeraJobDirUnder(qstrRoot);
            const QString qstrCode = blEpson ? "SIM4711" : "SIM0001";  // a rule without a code: default
            const QString qstrEnd = blFailed ? "error " + qstrCode : "done";
            QCOMPARE(ReadTestFile(qstrDir + qstrId + ".result.txt"),
                     qstrResult.arg(qstrId, blEpson ? "epson" : "primera", qstrEnd, qstrSources).toUtf8());
        }
        QCOMPARE(ReadTestFile(qstrEpsonDir + "TDBStatus.txt"),
                 QByteArray("[PUBLISHER1]\r\nNAME=Sim\r\n\r\n[EF-2]\r\nERROR=SIM4711\r\n"));
        pubsim.terminate();
        QVERIFY(pubsim.waitForFinished(iWaitMs));
        QVERIFY(ReadTestFile(qstrOutput).endsWith("\nstopped jobs=6\n"));
    }

private:
    // A file of the job's work folder; with no extension the folder itself, with its slash.
    QString WorkFile(const QString& _qstrJobId, const char* _szExt) const
    {
        const QString qstrDir = m_pTmpDir->path() + "/BurnFileTemp/" + _qstrJobId + '/';
        return *_szExt ? qstrDir + _qstrJobId + QLatin1String(_szExt) : qstrDir;
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrOrderDir;
};

QTEST_GUILESS_MAIN(tst_PublisherBackends)
#include "tst_PublisherBackends.moc"
