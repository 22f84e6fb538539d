// DMX robot jobs (kinds 9, 10, 11) through `burnhost --stdio` against dmxsim: whole
// jobs to the final status reply, a task failing on the robot, the robot gone mid-job
// and back, the twelve-drive robot out of discs and refilled; and the service texts
// and readings: error codes, the task status map, the share, the missing-disc logs,
// the task and robot status texts in their key order.
#include <QtTest>

#include "CLS_StdioHost.h"
#include "TestFiles.h"
#include "DMX/CLS_AutoDMX_Twelve.h"
#include "DMX/DmxService.h"

class tst_DmxRobots : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QString m_qstrRun;
    QString m_qstrCover;  // the jobs' cover; empty: none
    QProcess m_qprocSim;
    CLS_StdioHost m_host;

    int StartDmxSim(const QString& _qstrDrives, const QStringList& _qlstArgs, int _iPort = 0)
    {
        const QStringList qlstArgs{"--drives", _qstrDrives, "--port", QString::number(_iPort), "--step-ms", "50",
                                   "--share", m_qstrRun + "/share", "--out", m_qstrRun + "/out"};
        return StartSimulator(m_qprocSim, "dmxsim", qlstArgs + _qlstArgs, "ready port=(\\d+) ");
    }
    // ApplyBurn to DoBurn of a one-copy job with a file and a folder; the DoBurn reply's "ret".
    int RunJob(const QString& _qstrJobId, int _iKind, int _iPort)
    {
        const QJsonObject qjsonApply{
            {"BurnDev", _iKind}, {"CopyCount", 1}, {"serverIP", "127.0.0.1"}, {"DevPort", _iPort}};
        if (m_host.Ask("ApplyBurn", _qstrJobId, qjsonApply).value("ret").toInt() != 0)
            return -100;
        const QJsonObject qjsonStart{{"CDType", "DVD 4.7GB"}, {"CDTitle", "CASE"}, {"CloseDisc", "NO"},
                                     {"CDCover", m_qstrCover}};
        const QString qstrSrc = m_qstrRun + "/src/";
        if (!WriteTestFile(qstrSrc + "v.mp4", QByteArray(300000, 'v'))
            || !WriteTestFile(qstrSrc + "案卷/清单.txt", "一、现场照片\n"))
            return -101;
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrSrc + "v.mp4"}, {"DesFile", "\\视频\\v.mp4"}},
                                    QJsonObject{{"srcFile", qstrSrc + "案卷/清单.txt"}, {"DesFile", "/案卷/清单.txt"}}};
        if (m_host.Ask("StartBurn", _qstrJobId, qjsonStart).value("ret").toInt() != 0
            || m_host.Ask("AddFile", _qstrJobId, {{"FileList", qjsonFiles}}).value("ret").toInt() != 0)
            return -102;
        const QJsonObject qjsonLabels{{"UpperOne", "案件A"}};
        if (!m_qstrCover.isEmpty() && m_host.Ask("WriteLabel", _qstrJobId, {{"LabelInfo", qjsonLabels}}).isEmpty())
            return -103;
        return m_host.Ask("DoBurn", _qstrJobId).value("ret").toInt();
    }

private Q_SLOTS:
    void init()
    {
        m_qstrRun = m_qtmpDir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_qstrRun));
    }
    void cleanup()
    {
        m_host.Stop();
        StopProcess(m_qprocSim);
    }

    void robotJob_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("drives");
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errMsg");
        const QList<QPair<int, QString>> qlstModels{{10, "2"}, {11, "8"}, {9, "12"}};
        for (const auto& model : qlstModels)
            QTest::addRow("%s drives, burned", qPrintable(model.second))
                << model.first << model.second << "" << 3 << "";
        QTest::newRow("8 drives, printed") << 11 << "8" << "printed" << 3 << "";
        QTest::newRow("2 drives, cover template missing") << 10 << "2" << "no template" << -1
                                                          << "封面文件不存在:";
        QTest::newRow("2 drives, task fails") << 10 << "2" << "fails" << 4 << "打印机卡纸";
        QTest::newRow("12 drives, task fails") << 9 << "12" << "fails" << 4 << "打印机卡纸";
        QTest::newRow("8 drives, robot gone and back") << 11 << "8" << "gone" << 4 << "设备未连接,请联系管理员";
        QTest::newRow("12 drives, out of discs, refilled") << 9 << "12" << "no discs" << 3 << "";
    }
    // DoBurn to the final BurnStatusReply: what the robot burned (read where the task
    // points: the two-drive robot's share), the robot's reason for a failed task, the
    // robot gone (the host stays up and reconnects when it is back), a twelve-drive job
    // that waits for discs without a reply and is burned once they are refilled.
    void robotJob()
    {
        QFETCH(int, kind);
        QFETCH(QString, drives);
        QFETCH(QString, scenario);
        QFETCH(int, status);
        QFETCH(QString, errMsg);
        QStringList qlstArgs;
        if (scenario == "fails")
            qlstArgs << "--fail" << "DJ*=打印机卡纸";
        if (scenario == "no discs")
            qlstArgs << "--discs" << "0";
        const int iPort = StartDmxSim(drives, qlstArgs);
        QVERIFY(iPort > 0);
        m_qstrCover = scenario == "printed" || scenario == "no template" ? "封面1" : "";
        const QStringList qlstAppFiles{"/burnhost", "/libBurnModule.so", "/win32_libos.dll",
                                       "/BurnModuleFile/DMX/wp_nwc.dll"};
        const QString qstrAppDir = CLS_StdioHost::MakeAppDir(m_qstrRun + "/app", qlstAppFiles);
        QVERIFY(!qstrAppDir.isEmpty());
        QVERIFY(scenario != "printed" || WriteTestFile(qstrAppDir + "/BurnServerFile/CDCover/封面1.pt", "<template/>"));
        m_host.Start(m_qstrRun, "0.01", qstrAppDir);
        if (status < 0) {
            QCOMPARE(RunJob("DJ1", kind, iPort), 1);
            QVERIFY(m_host.WaitForReply("DoBurnReply", "DJ1").value("errMsg").toString().startsWith(errMsg));
            return;
        }
        QCOMPARE(RunJob("DJ1", kind, iPort), 0);
        if (scenario == "gone") {
            m_qprocSim.kill();
            QVERIFY(m_qprocSim.waitForFinished(5000));
        }
        if (scenario == "no discs") {
            QVERIFY(m_host.WaitForReply("BurnStatusReply", "DJ1", 3000).isEmpty());
            m_qprocSim.write("refill 5\n");
        }
        const QJsonObject qjsonFinal = m_host.WaitForReply("BurnStatusReply", "DJ1");
        QCOMPARE(qjsonFinal.value("status").toInt(), status);
        QCOMPARE(qjsonFinal.value("errMsg").toString(), errMsg);
        const QString qstrShareJob = m_qstrRun + "/share/BurnServer/DJ1";
        QVERIFY2(!QFileInfo::exists(qstrShareJob), "the share copy outlives the job");
        if (scenario == "gone") {
            QCOMPARE(StartDmxSim(drives, {}, iPort), iPort);
            QCOMPARE(RunJob("DJ2", kind, iPort), 0);
            QCOMPARE(m_host.WaitForReply("BurnStatusReply", "DJ2").value("status").toInt(), 3);
            return;
        }
        const QString qstrResult = QString::fromUtf8(ReadTestFile(m_qstrRun + "/out/DJ1.result.txt"));
        if (status == 4) {
            QVERIFY2(qjsonFinal.value("errLogs").toString().contains(errMsg), qPrintable(qstrResult));
            return;
        }
        QVERIFY2(qstrResult.contains("OUTCOME=finished\nCOPIES=1\n"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains(scenario == "printed" ? "PRINT=yes\n" : "PRINT=no\n"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains("FILES=2\nBYTES=300019\n"), qPrintable(qstrResult));
        const QString qstrSrcDir = drives == "2" ? qstrShareJob : m_qstrRun + "/src";
        QVERIFY2(qstrResult.contains("FILE=300000\t" + qstrSrcDir + "/视频/v.mp4\t/视频/v.mp4\n")
                     || qstrResult.contains("FILE=300000\t" + qstrSrcDir + "/v.mp4\t/视频/v.mp4\n"),
                 qPrintable(qstrResult));
    }

    // A job refused twice for lack of discs waits once in the queue.
    void missDiscQueuedOnce()
    {
        const int iPort = StartDmxSim("12", {"--discs", "0"});
        QVERIFY(iPort > 0);
        CLS_AutoDMX_Twelve backend(9);
        BurnResultInfo stResult;
        const std::string strApply = QStringLiteral(R"({"DevPort":%1})").arg(iPort).toStdString();
        QCOMPARE(backend.InquestBurn("Q1", 1, 1, strApply, &stResult), 0);
        QCOMPARE(backend.StartBurn("Q1", "CD 700MB", "T", "", 1, 1, "YES", "{}", &stResult), 0);
        BurnFileTask stTask{"Q1", {{QCoreApplication::applicationFilePath().toStdString(), "/a"}}};
        QCOMPARE(backend.AddFile("Q1", stTask, &stResult), 0);
        QCOMPARE(backend.DoBurn("Q1", &stResult), 0);
        QCOMPARE(backend.DoBurn("Q1", &stResult), 0);
        QCOMPARE(backend.MissDiscQueue(), QStringList{"Q1"});
        QCOMPARE(backend.GetJobStatus("Q1", &stResult), 14);
    }

    void errorCode_data()
    {
        QTest::addColumn<int>("ink");  // the black ink; the others stay at 50
        QTest::addColumn<int>("discs");  // -1: the depot did not answer
        QTest::addColumn<int>("code");
        QTest::newRow("ink 5 is low") << 5 << 10 << 15;
        QTest::newRow("ink 0 is low, also without discs") << 0 << 0 << 15;
        QTest::newRow("ink 6 is not") << 6 << 10 << 13;
        QTest::newRow("unknown ink is not") << -1 << 10 << 13;
        QTest::newRow("no blank discs") << 50 << 0 << 16;
        QTest::newRow("depot unanswered") << 50 << -1 << 16;
    }
    void errorCode()
    {
        QFETCH(int, ink);
        QFETCH(int, discs);
        QFETCH(int, code);
        DMXDevStatus stStatus;
        ReadDmxInks(QStringLiteral(R"({"inkInfos":[{"colorName":"黄","level":50},{"colorName":"红","level":50},)"
                                   R"({"colorName":"蓝","level":50},{"colorName":"黑","level":%1}]})")
                        .arg(ink),
                    stStatus);
        QCOMPARE(stStatus.iBlackInk, ink);
        stStatus.iEmptyDiscCount = qMax(discs, 0);
        QCOMPARE(DmxErrorCode(stStatus, discs >= 0), code);
    }

    void taskStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("eight");
        QTest::addColumn<int>("twelve");
        QTest::newRow("14 finished") << 14 << 3 << 3;
        QTest::newRow("7 running") << 7 << 2 << 2;
        QTest::newRow("13 error") << 13 << 4 << 4;
        QTest::newRow("8 unknown") << 8 << -1 << -1;
        QTest::newRow("9 unknown") << 9 << -1 << -1;
        QTest::newRow("10621 waiting for discs") << 10621 << -1 << 14;
    }
    void taskStatus()
    {
        QFETCH(int, status);
        QFETCH(int, eight);
        QFETCH(int, twelve);
        QCOMPARE(MapDmxTaskStatus(status, false), eight);
        QCOMPARE(MapDmxTaskStatus(status, true), twelve);
    }

    void readings_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("serviceState");
        QTest::addColumn<bool>("missDisc");
        QTest::newRow("running") << R"({"taskState":1,"icwmSysStatus":3})" << 0 << false;
        QTest::newRow("key missing") << R"({"taskState":0})" << 2 << false;
        QTest::newRow("fault") << R"({"taskState":0,"icwmSysStatus":8})" << 3 << false;
        QTest::newRow("stopped") << R"({"taskState":0,"icwmSysStatus":9})" << 4 << false;
        QTest::newRow("starting") << R"({"taskState":0,"icwmSysStatus":10})" << 5 << false;
        QTest::newRow("logs with 111012") << R"([{"slMsg":"x"},{"slErrorId":1},{"slErrorId":111012}])" << 2 << true;
        QTest::newRow("logs with 112003") << R"([{"slErrorId":112003}])" << 2 << true;
        QTest::newRow("logs without") << R"([{"slErrorId":112004}])" << 2 << false;
    }
    void readings()
    {
        QFETCH(QString, reply);
        QFETCH(int, serviceState);
        QFETCH(bool, missDisc);
        QString qstrMissingKey;
        QCOMPARE(DmxServiceState(reply, &qstrMissingKey), serviceState);
        int iUnreadable = 0;
        QCOMPARE(HasMissDiscError(reply, &iUnreadable), missDisc);
    }

    // The first complete share whose status is set, with "\" separators; the depot's
    // blank discs are types 0 and 1.
    void shareAndDepot()
    {
        const DmxShare stShare = ReadDmxShares(
            R"([{"status":0,"addrsrc":"/a","user":"u","pass":"p"},{"status":1,"addrsrc":"/b"},)"
            R"({"status":1,"addrsrc":"/srv/share","user":"burn","pass":"pw"}])");
        QVERIFY(stShare.blFound);
        QCOMPARE(stShare.qstrDir, R"(\srv\share)");
        QCOMPARE(stShare.qstrUser, "burn");
        QCOMPARE(stShare.qlstMissingKeys, (QStringList{"user", "pass"}));
        int iUnreadable = 0;
        const QString qstrDepots =
            R"([{"dwType":0,"count":7},{"dwType":1,"count":3},{"dwType":2,"count":9},{"count":1}])";
        QCOMPARE(ReadDmxDepotDiscs(qstrDepots, &iUnreadable), 10);
        QCOMPARE(iUnreadable, 1);
    }

    // Members in the robot's order; the print members only with print values.
    void texts()
    {
        DMXJobParam stJob;
        stJob.qstrGuid = "J1";
        stJob.qstrCode = "c";
        stJob.qstrLabel = "L";
        stJob.iBurnCount = 2;
        stJob.iCdType = 3;
        stJob.blCloseWholeCd = false;
        stJob.vecBurnFiles = {{"/s/a.mp4", DmxDiscPath("\\v\\a.mp4").toStdString()}};
        const QString qstrHead = R"({"guid":"J1","className":"TaskFileToCd","start":1,"end":1000,"cdType":3,)"
                                 R"("code":"c","label":"L","burnCount":2,"isCloseWholeCD":false,)"
                                 R"("burnFiles":[{"srcPath":"/s/a.mp4","isoPath":"/v/a.mp4","isDir":false}])";
        QCOMPARE(DmxTaskText(stJob, nullptr), qstrHead + "}");
        const QJsonObject qjsonPrint{{"id", "t1"}, {"values", QJsonObject{{"UpperOne", "x"}}}};
        QCOMPARE(DmxTaskText(stJob, &qjsonPrint),
                 qstrHead + R"(,"isPrint":true,"printValues":{"id":"t1","values":{"UpperOne":"x"}}})");
        QCOMPARE(DmxLogFilter("J1"), R"({"taskId":"J1","slSeverity":"1|2"})");
        QCOMPARE(DmxRestartRange("J1"), R"({"guid":"J1","className":"TaskFileToCd","start":1,"end":1000})");
        DMXDevStatus stStatus;
        stStatus.iDevType = 9;
        stStatus.iEmptyDiscCount = 4;
        QVERIFY(QRegularExpression(R"(^\{"cmd":"BurnRobotStatus","param":\{"BurnDev":9,"BurnDevName":"DMX",)"
                                   R"("BurnDevIp":\[.*\],"statusMsg":"","black_ink":-1,"yellow_ink":-1,"red_ink":-1,)"
                                   R"("blue_ink":-1,"emptyDiskCount":4,"ErrorCode":13\}\}$)")
                    .match(DmxRobotStatusText(stStatus))
                    .hasMatch());
    }
};

QTEST_GUILESS_MAIN(tst_DmxRobots)
#include "tst_DmxRobots.moc"
