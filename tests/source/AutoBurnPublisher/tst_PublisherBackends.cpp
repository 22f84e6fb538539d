// The Epson and Primera backends, one shared publisher with a vendor description each:
// order and label files byte for byte (Epson in the machine's code page, here GB18030;
// Primera in UTF-8), the hand-over, the job state from companion files, failures with
// the vendor's texts; then Epson's own: vendor codes of TDBStatus.txt and the
// resubmission of an order refused with JDF0200.
#include <QtTest>

#include <QTextCodec>

#include <atomic>
#include <memory>
#include <thread>

#include "Epson/CLS_AutoEpson.h"
#include "LogRecorder.h"
#include "Primera/CLS_AutoPrimera.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
struct Vendor
{
    const char* szBrand;
    const char* szOrderExt;
    const char* szLabelExt;
    const char* szFileKind;  // in reply texts
};
const Vendor s_arrVendors[] = {{"Epson", ".jdf", ".data", "JDF"}, {"Primera", ".jrq", ".dat", "JRQ"}};
constexpr int n_Epson = 0;
constexpr int n_Primera = 1;

const char s_szStatusJdf0200[] = "[PUBLISHER1]\r\nNAME=\xe6\x96\xb0 PP\r\n\r\n[J9]\r\nERROR=JDF0200\r\n";  // 新 PP
const char s_szNewPublisherLine[] = "PUBLISHER=\xd0\xc2 PP\r\n";  // 新 PP in GB18030
const char s_szFailedOrder[] = "JOB_ID=J9\r\nPUBLISHER=PP-100II 1\r\nDATA=C:\\a.txt\t\\\r\n";

std::unique_ptr<CLS_AutoBase> MakeBackend(int _iVendor, const QString& _qstrOrderDir)
{
    const std::string strOrderDir = _qstrOrderDir.toStdString();
    return _iVendor == n_Epson ? std::unique_ptr<CLS_AutoBase>(new CLS_AutoEpson(strOrderDir))
                               : std::unique_ptr<CLS_AutoBase>(new CLS_AutoPrimera(strOrderDir));
}

int StartJob(CLS_AutoBase& _backend, const std::string& _strJobId, BurnResultInfo* _pResult)
{
    return _backend.StartBurn(_strJobId, "DVD 4.7GB", "T", "", 1, 0, "", "{}", _pResult);
}

// An Epson label file: the forty fields Upper, Left, Right, Down, each One to Ten, in
// that order, one "<field>=<value>\r\n" line each; values from the map.
QByteArray EpsonLabelFile(const QMap<QByteArray, QByteArray>& _qmapValues)
{
    QByteArray qbaFile;
    for (const char* szGroup : {"Upper", "Left", "Right", "Down"}) {
        for (const char* szNumber : {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"}) {
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
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_publisher-XXXXXX"));
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qstrOrderDir = m_pTmpDir->path() + QStringLiteral("/orders/");
    }

    void orderFile_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::addColumn<QStringList>("args");  // of StartBurn: job id, CDType, CDTitle, CDCover, copies, CloseDisc
        QTest::addColumn<QByteArray>("statusFile");  // null: none
        QTest::addColumn<QStringList>("files");      // source, destination, ...
        QTest::addColumn<QByteArray>("expected");    // %APP% and %WORK% as backslashed paths
        QTest::newRow("epson: every line")
            << n_Epson << QStringList{"J1", "BD 25GB", "光盘 A", "cover1", "2", "NO"}
            << QByteArray("[PUBLISHER1]\r\nNAME=PP-100 刻录机\r\n")
            << QStringList{"D:/a/b.mp4", "/video/", "/data/x y/c.txt", "/"}
            << QByteArray("JOB_ID=J1\r\nCOPIES=2\r\nOUT_STACKER=3\r\nDISC_TYPE=BD\r\nFORMAT=UDF102\r\n"
                          "VOLUME_LABEL=\xb9\xe2\xc5\xcc A\r\nLABEL=%APP%\\BurnServerFile\\CDCover\\cover1.tdd\r\n"
                          "REPLACE_FIELD=%WORK%J1.data\r\nPUBLISHER=PP-100 \xbf\xcc\xc2\xbc\xbb\xfa\r\n"
                          "CLOSE_DISC=NO\r\nDATA=D:\\a\\b.mp4\t\\video\\\r\nDATA=\\data\\x y\\c.txt\t\\\r\n");
        QTest::newRow("epson: copies 0, media names compare exactly, empty publisher name, percent sign")
            << n_Epson << QStringList{"J2", "bd 25GB", "100%1 done", "", "0", ""}
            << QByteArray("[PUBLISHER1]\r\nNAME=\r\n") << QStringList{"C:/in/f.iso", "f.iso"}
            << QByteArray("JOB_ID=J2\r\nCOPIES=0\r\nOUT_STACKER=3\r\nDISC_TYPE=DVD\r\nFORMAT=UDF102\r\n"
                          "VOLUME_LABEL=100%1 done\r\nPUBLISHER=PP-100II 1\r\nCLOSE_DISC=YES\r\n"
                          "DATA=C:\\in\\f.iso\tf.iso\r\n");
        QTest::newRow("primera: every line")
            << n_Primera << QStringList{"P1", "BD 25GB", "光盘 A", "cover1", "3", "NO"} << QByteArray()
            << QStringList{"D:/a/b.mp4", "/video/", "/案件/c.txt", "/"}
            << QByteArray("JobID=P1\r\nCopies=3\r\nDiskType=BD\r\nDataImageType=UDF\r\nVolumeName=光盘 A\r\n"
                          "PrintLabel=%APP%\\BurnServerFile\\CDCover\\cover1.std\r\nMergeFieldPath=%WORK%P1.dat\r\n"
                          "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\nCloseDisc=NO\r\n"
                          "DATA=D:\\a\\b.mp4>\\\\video\\\r\nDATA=\\案件\\c.txt>\\\\\r\n");
        QTest::newRow("primera: copies -1, cover without title, DVD DL, defaults")
            << n_Primera << QStringList{"P2", "DVD DL 8.5GB", "", "c2", "-1", ""} << QByteArray()
            << QStringList{"C:/in/f.iso", "f.iso"}
            << QByteArray("JobID=P2\r\nDiskType=DVD-DL\r\nDataImageType=UDF\r\n"
                          "PrintLabel=%APP%\\BurnServerFile\\CDCover\\c2.std\r\nMergeFieldPath=%WORK%P2.dat\r\n"
                          "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\nCloseDisc=YES\r\n"
                          "DATA=C:\\in\\f.iso>\\f.iso\r\n");
    }
    // StartBurn and AddFile compose the order in the work folder; DoBurn hands it over
    // into the watched folder (made when missing), replacing an earlier order there.
    void orderFile()
    {
        QFETCH(int, vendor);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, statusFile);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, expected);
        if (!statusFile.isNull())
            QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), statusFile));
        auto pBackend = MakeBackend(vendor, m_qstrOrderDir);
        const QString qstrJob = args[0];
        const std::string strJob = qstrJob.toStdString();
        const auto fnArg = [&args](int _iArg) { return args[_iArg].toStdString(); };
        BurnResultInfo stRes;
        QCOMPARE(pBackend->StartBurn(strJob, fnArg(1), fnArg(2), fnArg(3), args[4].toInt(), 1, fnArg(5), "{}", &stRes),
                 0);
        BurnFileTask stTask{strJob, {}};
        for (int iFile = 0; iFile + 1 < files.size(); iFile += 2)
            stTask.vecFiles.emplace_back(files[iFile].toStdString(), files[iFile + 1].toStdString());
        QCOMPARE(pBackend->AddFile(strJob, stTask, &stRes), files.isEmpty() ? -2 : 0);
        QVERIFY(stTask.vecFiles.empty());
        const QString qstrWorkDir = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/") + qstrJob + QLatin1Char('/');
        expected.replace("%APP%", QCoreApplication::applicationDirPath().replace('/', '\\').toUtf8());
        expected.replace("%WORK%", QString(qstrWorkDir).replace('/', '\\').toUtf8());
        const QString qstrOrderExt = QLatin1String(s_arrVendors[vendor].szOrderExt);
        QCOMPARE(ReadBytes(qstrWorkDir + qstrJob + qstrOrderExt), expected);

        const QString qstrOrder = m_qstrOrderDir + qstrJob + qstrOrderExt;
        QCOMPARE(pBackend->DoBurn(strJob, nullptr), 0);
        QCOMPARE(ReadBytes(qstrOrder), expected);
        QVERIFY(WriteBytes(qstrOrder, "STALE ORDER\r\n"));
        QCOMPARE(pBackend->DoBurn(strJob, nullptr), 0);
        QCOMPARE(ReadBytes(qstrOrder), expected);
        QCOMPARE(pBackend->GetJobStatus(qstrJob, nullptr), 0);
    }

    void labelFile_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");  // null: the earlier file stays
        QTest::newRow("epson: numbers, null, other and miscased names read as empty")
            << n_Epson
            << QByteArray(R"({"LabelInfo":{"UpperOne":"甲","DownTen":"z","LeftTwo":5,"RightTwo":null,"Other":"x",)"
                          R"("upperTwo":"case","UpperTen":"u10","LeftOne":"l1","RightFive":"r5"}})")
            << EpsonLabelFile({{"UpperOne", "\xbc\xd7"}, {"UpperTen", "u10"}, {"LeftOne", "l1"}, {"RightFive", "r5"},
                               {"DownTen", "z"}});
        QTest::newRow("epson: enable text 0, the earlier file stays")
            << n_Epson << QByteArray(R"({"enable":"0","LabelInfo":{"UpperOne":"new"}})") << QByteArray();
        QTest::newRow("primera: sixteen lines, the fifth of a group ignored, enable number 0")
            << n_Primera
            << QByteArray(R"({"enable":0,"LabelInfo":{"UpperOne":"甲","UpperFour":"u4","UpperFive":"u5",)"
                          R"("LeftOne":"l1","RightFour":"r4","DownOne":"d1","DownFour":"d4"}})")
            << QByteArray("MergeField=\xbc\xd7\r\nMergeField=\r\nMergeField=\r\nMergeField=u4\r\n"
                          "MergeField=l1\r\nMergeField=\r\nMergeField=\r\nMergeField=\r\n"
                          "MergeField=\r\nMergeField=\r\nMergeField=\r\nMergeField=r4\r\n"
                          "MergeField=d1\r\nMergeField=\r\nMergeField=\r\nMergeField=d4\r\n");
    }
    // WriteLabel rewrites the label file whole (8-bit text) unless "enable" is the text "0".
    void labelFile()
    {
        QFETCH(int, vendor);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        const QString qstrPath = WorkFile("L1", s_arrVendors[vendor].szLabelExt);
        const QByteArray qbaEarlier(4096, 'x');
        QVERIFY(WriteBytes(qstrPath, qbaEarlier));
        QCOMPARE(MakeBackend(vendor, m_qstrOrderDir)->WriteLabel("L1", request.toStdString(), nullptr), 0);
        QCOMPARE(ReadBytes(qstrPath), expected.isNull() ? qbaEarlier : expected);
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
        QTest::newRow("epson: only foreign files") << n_Epson << "J7" << QStringList{".result.txt", ".jdfx"} << -1;
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
            const QString qstrFileExt = qstrExt == "order" ? QString(s_arrVendors[vendor].szOrderExt) : qstrExt;
            QVERIFY(WriteBytes(m_qstrOrderDir + jobId + qstrFileExt, "JOB\r\n"));
        }
        QCOMPARE(MakeBackend(vendor, m_qstrOrderDir)->GetJobStatus(jobId, nullptr), state);
    }

    void failuresNameTheVendor_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::newRow("epson") << n_Epson;
        QTest::newRow("primera") << n_Primera;
    }
    // No files; then a folder where the work file belongs: StartBurn, AddFile and DoBurn fail.
    void failuresNameTheVendor()
    {
        QFETCH(int, vendor);
        const QString qstrBrand = QLatin1String(s_arrVendors[vendor].szBrand);
        auto pBackend = MakeBackend(vendor, m_qstrOrderDir);
        BurnFileTask stTask{"J2", {}};
        BurnResultInfo stResult;
        QCOMPARE(pBackend->AddFile("J2", stTask, &stResult), -2);
        QCOMPARE(stResult.qstrErrMsg, QStringLiteral("[%1][没有文件]").arg(qstrBrand));
        const QString qstrWorkFile = WorkFile("J2", s_arrVendors[vendor].szOrderExt);
        QVERIFY(QDir().mkpath(qstrWorkFile));
        QCOMPARE(StartJob(*pBackend, "J2", &stResult), 1);
        QCOMPARE(stResult.qstrErrMsg, QStringLiteral("创建%1文件失败").arg(s_arrVendors[vendor].szFileKind));
        stTask.vecFiles = {{"/a/b.mp4", "/"}};
        QCOMPARE(pBackend->AddFile("J2", stTask, &stResult), -1);
        QCOMPARE(stResult.qstrErrMsg, QStringLiteral("[%1][打开文件失败][J2][%2]").arg(qstrBrand, qstrWorkFile));
        QCOMPARE(pBackend->DoBurn("J2", &stResult), -1);
        QCOMPARE(stResult.qstrErrMsg, QStringLiteral("[%1][copy file fail]J2").arg(qstrBrand));
    }

    // What an ".err" companion means with the vendor code of TDBStatus.txt. Epson resubmits
    // an order refused with JDF0200, every line beginning "PUBLISHER" replaced.
    void errorCodes_data()
    {
        QTest::addColumn<int>("vendor");
        QTest::addColumn<QByteArray>("statusFile");
        QTest::addColumn<QByteArray>("failedOrder");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("errCode");
        QTest::addColumn<QByteArray>("order");  // the order afterwards; null: none, the .err stays
        QTest::newRow("epson: no entry for the job")
            << n_Epson << QByteArray("[PUBLISHER1]\r\nNAME=P\r\n[J8]\r\nERROR=JDF0200\r\n")
            << QByteArray(s_szFailedOrder) << 4 << "" << QByteArray();
        QTest::newRow("epson: unknown publisher, empty order") << n_Epson << QByteArray(s_szStatusJdf0200)
                                                               << QByteArray() << 4 << "JDF0200" << QByteArray();
        const QByteArray qbaKept = "DATA=C:\\" + QByteArray(3000, 'L') + "\t\\\r\n\r\npublisher=x\r\n PUBLISHER=y\r\n"
                                   "JOB_ID=PUBLISHER\r\nJOB_ID=J9";
        QTest::newRow("epson: unknown publisher, resubmitted; long and other lines kept")
            << n_Epson << QByteArray(s_szStatusJdf0200) << "PUBLISHER=a\r\nPUBLISHER_X=b\n" + qbaKept << 0 << "JDF0200"
            << s_szNewPublisherLine + QByteArray(s_szNewPublisherLine) + qbaKept;
    }
    void errorCodes()
    {
        QFETCH(int, vendor);
        QFETCH(QByteArray, statusFile);
        QFETCH(QByteArray, failedOrder);
        QFETCH(int, state);
        QFETCH(QString, errCode);
        QFETCH(QByteArray, order);
        auto pBackend = MakeBackend(vendor, m_qstrOrderDir);
        QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("TDBStatus.txt"), statusFile));
        const QString qstrErr = m_qstrOrderDir + QStringLiteral("J9.err");
        QVERIFY(WriteBytes(qstrErr, failedOrder));
        BurnResultInfo stResult;
        QCOMPARE(pBackend->GetJobStatus(QStringLiteral("J9"), &stResult), state);
        QCOMPARE(stResult.qstrErrCode, errCode);
        QCOMPARE(ReadBytes(m_qstrOrderDir + QStringLiteral("J9") + s_arrVendors[vendor].szOrderExt),
                 order.isNull() ? "<missing>" : order);
        QCOMPARE(ReadBytes(qstrErr), order.isNull() ? failedOrder : "<missing>");
        QVERIFY(!QFile::exists(m_qstrOrderDir + QStringLiteral("J9.errjdf")));
    }

    // The status thread re-reads the publisher name while orders are written: every
    // order carries one whole name (the default one before the first reading).
    void publisherSharedWithStatusThread()
    {
        const QByteArray arrNames[] = {"Publisher A with a name long enough to live on the heap", "Publisher B"};
        CLS_AutoEpson epson(m_qstrOrderDir.toStdString());
        std::atomic<bool> blDone{false};
        std::thread statusThread([&] {
            for (int iRound = 0; iRound < 40; ++iRound) {
                WriteBytes(m_qstrOrderDir + "TDBStatus.txt",
                           "[PUBLISHER1]\r\nNAME=" + arrNames[iRound % 2] + "\r\n[J9]\r\nERROR=JDF0200\r\n");
                WriteBytes(m_qstrOrderDir + QStringLiteral("J9.err"), s_szFailedOrder);
                QFile::remove(m_qstrOrderDir + QStringLiteral("J9.jdf"));
                epson.GetJobStatus(QStringLiteral("J9"), nullptr);
            }
            blDone = true;
        });
        const QRegularExpression qregexWhole("\r\nPUBLISHER=(PP-100II 1|" + arrNames[0] + "|" + arrNames[1] + ")\r\n");
        QString qstrTorn;
        for (int iOrder = 0; qstrTorn.isEmpty() && (!blDone || iOrder == 0); ++iOrder) {
            StartJob(epson, "K1", nullptr);
            const QString qstrOrder = QString::fromUtf8(ReadBytes(WorkFile("K1", ".jdf")));
            if (!qregexWhole.match(qstrOrder).hasMatch())
                qstrTorn = qstrOrder;
        }
        statusThread.join();
        QVERIFY2(qstrTorn.isEmpty(), qPrintable(qstrTorn));
    }

private:
    QString WorkFile(const QString& _qstrJobId, const char* _szExt) const
    {
        return m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/") + _qstrJobId + QLatin1Char('/') + _qstrJobId
            + QLatin1String(_szExt);
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrOrderDir;
};

QTEST_GUILESS_MAIN(tst_PublisherBackends)
#include "tst_PublisherBackends.moc"
