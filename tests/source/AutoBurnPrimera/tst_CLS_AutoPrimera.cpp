// The Primera backend's own files: the job request file (UTF-8) and the merge-field
// file (in the machine's code page, here GB18030) byte for byte.
#include <QtTest>

#include <QTextCodec>

#include <memory>

#include "Primera/CLS_AutoPrimera.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

class tst_CLS_AutoPrimera : public QObject
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
        m_qstrJobDir = m_pTmpDir->path() + QStringLiteral("/PTBurnJobs/");
    }

    void jobRequestFile_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("media");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("cover");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QString>("closeDisc");
        QTest::addColumn<QStringList>("files");    // source, destination, ...
        QTest::addColumn<QByteArray>("expected");  // %APP% and %WORK% as backslashed paths

        QTest::newRow("every line") << "P1" << "BD 25GB" << QStringLiteral("光盘 A") << "cover1" << 3 << "NO"
                                    << QStringList{"D:/a/b.mp4", "/video/", "/案件/c.txt", "/"}
                                    << QByteArray("JobID=P1\r\nCopies=3\r\nDiskType=BD\r\nDataImageType=UDF\r\n"
                                                  "VolumeName=光盘 A\r\n"
                                                  "PrintLabel=%APP%\\BurnServerFile\\CDCover\\cover1.std\r\n"
                                                  "MergeFieldPath=%WORK%P1.dat\r\n"
                                                  "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\n"
                                                  "CloseDisc=NO\r\n"
                                                  "DATA=D:\\a\\b.mp4>\\\\video\\\r\nDATA=\\案件\\c.txt>\\\\\r\n");
        QTest::newRow("copies -1, media outside the table, defaults")
            << "P2" << "BD QL 128GB" << "" << "" << -1 << "" << QStringList{"C:/in/f.iso", "f.iso"}
            << QByteArray("JobID=P2\r\nDiskType=DVD\r\nDataImageType=UDF\r\nClientID=Unknown\r\nImportance=0\r\n"
                          "BurnSpeed=0\r\nVerifyDisc=NO\r\nCloseDisc=YES\r\nDATA=C:\\in\\f.iso>\\f.iso\r\n");
        QTest::newRow("copies 0, cover without title")
            << "P3" << "DVD DL 8.5GB" << "" << "c2" << 0 << "YES" << QStringList()
            << QByteArray("JobID=P3\r\nCopies=0\r\nDiskType=DVD-DL\r\nDataImageType=UDF\r\n"
                          "PrintLabel=%APP%\\BurnServerFile\\CDCover\\c2.std\r\nMergeFieldPath=%WORK%P3.dat\r\n"
                          "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\nCloseDisc=YES\r\n");
        QTest::newRow("CD") << "P4" << "CD 700MB" << "t" << "" << 1 << "" << QStringList()
                            << QByteArray("JobID=P4\r\nCopies=1\r\nDiskType=CD\r\nDataImageType=UDF\r\nVolumeName=t\r\n"
                                          "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\n"
                                          "CloseDisc=YES\r\n");
        QTest::newRow("BD DL") << "P5" << "BD DL 50GB" << "" << "" << 1 << "" << QStringList()
                               << QByteArray("JobID=P5\r\nCopies=1\r\nDiskType=BD-DL\r\nDataImageType=UDF\r\n"
                                             "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\n"
                                             "CloseDisc=YES\r\n");
        QTest::newRow("DVD") << "P6" << "DVD 4.7GB" << "" << "" << 1 << "" << QStringList()
                             << QByteArray("JobID=P6\r\nCopies=1\r\nDiskType=DVD\r\nDataImageType=UDF\r\n"
                                           "ClientID=Unknown\r\nImportance=0\r\nBurnSpeed=0\r\nVerifyDisc=NO\r\n"
                                           "CloseDisc=YES\r\n");
    }
    void jobRequestFile()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, media);
        QFETCH(QString, title);
        QFETCH(QString, cover);
        QFETCH(int, copies);
        QFETCH(QString, closeDisc);
        QFETCH(QStringList, files);
        QFETCH(QByteArray, expected);
        CLS_AutoPrimera primera(m_qstrJobDir.toStdString());
        const std::string strJobId = jobId.toStdString();
        BurnResultInfo stResult;
        QCOMPARE(primera.StartBurn(strJobId, media.toStdString(), title.toStdString(), cover.toStdString(), copies, 1,
                                   closeDisc.toStdString(), "{\"ignored\":1}", &stResult),
                 0);
        BurnFileTask stTask = MakeTask(strJobId, {});
        for (int iFile = 0; iFile + 1 < files.size(); iFile += 2)
            stTask.vecFiles.emplace_back(files[iFile].toStdString(), files[iFile + 1].toStdString());
        if (!stTask.vecFiles.empty())
            QCOMPARE(primera.AddFile(strJobId, stTask, &stResult), 0);
        QVERIFY(stResult.qstrErrMsg.isEmpty());

        const QString qstrWorkDir = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/") + jobId + QLatin1Char('/');
        expected.replace("%APP%", Backslashed(QCoreApplication::applicationDirPath()));
        expected.replace("%WORK%", Backslashed(qstrWorkDir));
        QCOMPARE(ReadBytes(qstrWorkDir + jobId + QStringLiteral(".jrq")), expected);
    }

    // Sixteen lines, only their order tells the fields apart.
    void mergeFieldFile_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("only UpperOne") << QByteArray(R"({"LabelInfo":{"UpperOne":"甲"}})")
                                       << QByteArray("MergeField=\xbc\xd7\r\n") + Repeat("MergeField=\r\n", 15);
        QTest::newRow("all sixteen, the fifth of a group ignored")
            << QByteArray(R"({"enable":"1","LabelInfo":{"UpperOne":"u1","UpperTwo":"u2","UpperThree":"u3",)"
                          R"("UpperFour":"u4","UpperFive":"u5","LeftOne":"l1","LeftTwo":"l2","LeftThree":"l3",)"
                          R"("LeftFour":"l4","RightOne":"r1","RightTwo":"r2","RightThree":"r3","RightFour":"r4",)"
                          R"("DownOne":"d1","DownTwo":"d2","DownThree":"d3","DownFour":"d4"}})")
            << QByteArray("MergeField=u1\r\nMergeField=u2\r\nMergeField=u3\r\nMergeField=u4\r\n"
                          "MergeField=l1\r\nMergeField=l2\r\nMergeField=l3\r\nMergeField=l4\r\n"
                          "MergeField=r1\r\nMergeField=r2\r\nMergeField=r3\r\nMergeField=r4\r\n"
                          "MergeField=d1\r\nMergeField=d2\r\nMergeField=d3\r\nMergeField=d4\r\n");
        QTest::newRow("values that are not strings")
            << QByteArray(R"({"LabelInfo":{"LeftOne":1,"RightFour":true,"DownFour":"last"}})")
            << Repeat("MergeField=\r\n", 15) + "MergeField=last\r\n";
        QTest::newRow("no LabelInfo") << QByteArray("{}") << Repeat("MergeField=\r\n", 16);
    }
    void mergeFieldFile()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expected);
        CLS_AutoPrimera primera(m_qstrJobDir.toStdString());
        const QString qstrPath = m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/L2/L2.dat");
        QVERIFY(WriteBytes(qstrPath, QByteArray(2048, 'x')));  // a longer earlier file goes whole
        QCOMPARE(primera.WriteLabel("L2", request.toStdString(), nullptr), 0);
        QCOMPARE(ReadBytes(qstrPath), expected);
    }

    // PTBurn's error carries no code: the record stays empty even beside a status file.
    void errorWithoutCode()
    {
        QVERIFY(WriteBytes(m_qstrJobDir + QStringLiteral("TDBStatus.txt"), "[P1]\r\nERROR=JDF0200\r\n"));
        QVERIFY(WriteBytes(m_qstrJobDir + QStringLiteral("P1.err"), "JobID=P1\r\n"));
        CLS_AutoPrimera primera(m_qstrJobDir.toStdString());
        BurnResultInfo stResult;
        QCOMPARE(primera.GetJobStatus(QStringLiteral("P1"), &stResult), 4);
        QVERIFY(stResult.qstrErrCode.isEmpty() && stResult.qstrErrMsg.isEmpty());
        QCOMPARE(ReadBytes(m_qstrJobDir + QStringLiteral("P1.err")), QByteArray("JobID=P1\r\n"));
    }

    void cleanup()
    {
        m_pTmpDir.reset();
        qputenv("TMPDIR", m_qstrSystemTemp.toUtf8());
    }

private:
    static QByteArray Repeat(const QByteArray& _qbaLine, int _iTimes) { return _qbaLine.repeated(_iTimes); }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrJobDir;
};

QTEST_GUILESS_MAIN(tst_CLS_AutoPrimera)
#include "tst_CLS_AutoPrimera.moc"
