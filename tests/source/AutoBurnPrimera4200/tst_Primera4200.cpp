// Primera 4200 jobs (kind 7) through `burnhost --stdio` against pmysim: a job to its
// final status reply and what the service burned, a failing task, the service out of
// reach, printer calibration idle and busy; the backend in-process for the robot
// status it hands the bus and for re-attaching a job to its task; the service's texts.
#include <QtTest>

#include "CLS_StdioHost.h"
#include "TestFiles.h"
#include "Primera4200/CLS_AutoPrimera4200.h"
#include "Primera4200/PmyService.h"

class tst_Primera4200 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_qtmpDir;
    QString m_qstrRun;
    QProcess m_qprocSim;
    CLS_StdioHost m_host;

    int StartPmySim(const QStringList& _qlstArgs)
    {
        const QStringList qlstArgs{"--port", "0", "--step-ms", "50", "--out", m_qstrRun + "/out"};
        return StartSimulator(m_qprocSim, "pmysim", qlstArgs + _qlstArgs, "ready port=(\\d+) ");
    }
    void StartHost()
    {
        const QStringList qlstFiles{"/burnhost", "/libBurnModule.so", "/win32_libos.dll", "/PMYBurnSvcSdk.dll"};
        const QString qstrAppDir = CLS_StdioHost::MakeAppDir(m_qstrRun + "/app", qlstFiles);
        QVERIFY(!qstrAppDir.isEmpty());
        QVERIFY(WriteTestFile(qstrAppDir + "/BurnServerFile/CDCover/封面1.PTF", "<ptf/>"));
        m_host.Start(m_qstrRun, "0.01", qstrAppDir);
    }
    // ApplyBurn to DoBurn of a two-copy job with one file and two print fields; the DoBurn reply's "ret".
    int RunJob(const QString& _qstrJobId, int _iPort)
    {
        const QJsonObject qjsonApply{{"BurnDev", 7}, {"CopyCount", 2}, {"serverIP", "127.0.0.1"}, {"DevPort", _iPort}};
        if (m_host.Ask("ApplyBurn", _qstrJobId, qjsonApply).value("ret").toInt() != 0)
            return -100;
        const QString qstrSrc = m_qstrRun + "/src/v.mp4";
        if (!WriteTestFile(qstrSrc, QByteArray(300000, 'v')))
            return -101;
        const QJsonObject qjsonStart{{"CDType", "BD 25GB"}, {"CDTitle", "CASE"}, {"CloseDisc", "yes"},
                                     {"CDCover", "封面1"}, {"CopyCount", 2}};
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrSrc}, {"DesFile", "/视频/v.mp4"}}};
        const QJsonObject qjsonLabels{{"UpperOne", "案件A"}, {"DownTen", "下十"}};
        if (m_host.Ask("StartBurn", _qstrJobId, qjsonStart).value("ret").toInt() != 0
            || m_host.Ask("AddFile", _qstrJobId, {{"FileList", qjsonFiles}}).value("ret").toInt() != 0
            || m_host.Ask("WriteLabel", _qstrJobId, {{"LabelInfo", qjsonLabels}}).value("ret").toInt() != 0)
            return -102;
        return m_host.Ask("DoBurn", _qstrJobId).value("ret").toInt();
    }
    // The first line of the host's output holding the text.
    QByteArray WaitForLine(const QByteArray& _qbaText)
    {
        QByteArray qbaOut;
        const auto found = [&] { return (qbaOut += m_host.Process().readAllStandardOutput()).contains(_qbaText); };
        if (!QTest::qWaitFor(found, 30000))
            return QByteArray();
        const int iAt = qbaOut.indexOf(_qbaText);
        return qbaOut.mid(qbaOut.lastIndexOf('\n', iAt) + 1).split('\n').value(0);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(m_qtmpDir.path())); }
    void init()
    {
        m_qstrRun = m_qtmpDir.filePath(QString(QTest::currentTestFunction()) + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_qstrRun));
    }
    void cleanup()
    {
        m_host.Stop();
        StopProcess(m_qprocSim);
    }

    void job_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errMsg");
        QTest::newRow("burned") << QStringList() << 3 << "刻录完成";
        QTest::newRow("task fails") << QStringList{"--fail", "PJ*=卡盘"} << 4 << "卡盘";
    }
    // DoBurn to the final BurnStatusReply; the service's result file shows the task
    // options, print fields and file.
    void job()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, status);
        QFETCH(QString, errMsg);
        const int iPort = StartPmySim(simArgs);
        QVERIFY(iPort > 0);
        StartHost();
        QCOMPARE(RunJob("PJ1", iPort), 0);
        const QJsonObject qjsonFinal = m_host.WaitForReply("BurnStatusReply", "PJ1");
        QCOMPARE(qjsonFinal.value("status").toInt(), status);
        const QString qstrErrMsg = qjsonFinal.value("errMsg").toString();
        QVERIFY2(qstrErrMsg.contains(errMsg), qPrintable(qstrErrMsg));
        const QStringList qlstResults = QDir(m_qstrRun + "/out").entryList({"*.result.txt"});
        QCOMPARE(qlstResults.size(), 1);
        const QString qstrResult = QString::fromUtf8(ReadTestFile(m_qstrRun + "/out/" + qlstResults.at(0)));
        if (status != 3) {
            QVERIFY2(qstrResult.contains("OUTCOME=error 卡盘\n"), qPrintable(qstrResult));
            return;
        }
        const QString qstrExpected = "OUTCOME=finished\nCOPIES=2\nBURNED=2\nDISC_TYPE=4\nCLOSE_DISC=0\nLABEL=CASE\n"
                                     "OUTPUT_MODE=0\nPRINT_FILE=" + m_qstrRun + "/app/BurnServerFile/CDCover/封面1.PTF\n"
                                     "FIELDS=40\nFIELD=1\t案件A\nFIELD=2\t\n";
        QVERIFY2(qstrResult.contains(qstrExpected), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains("FIELD=40\t下十\nFILES=1\nBYTES=300000\nFILE=300000\t" + m_qstrRun
                                     + "/src/v.mp4\t/视频/v.mp4\n"), qPrintable(qstrResult));
    }

    void serviceUnreachable_data()
    {
        QTest::addColumn<bool>("simRuns");
        QTest::newRow("no service") << false;
        QTest::newRow("log-in refused") << true;
    }
    void serviceUnreachable()
    {
        QFETCH(bool, simRuns);
        int iPort = 1;
        if (simRuns)
            QVERIFY((iPort = StartPmySim({"--refuse-login"})) > 0);
        StartHost();
        const QJsonObject qjsonApply{{"BurnDev", 7}, {"CopyCount", 1}, {"DevPort", iPort}};
        const QJsonObject qjsonReply = m_host.Ask("ApplyBurn", "PJ2", qjsonApply);
        QCOMPARE(qjsonReply.value("ret").toInt(), 1);
        QCOMPARE(qjsonReply.value("errCode").toString(), QString("11000"));
        QCOMPARE(qjsonReply.value("errMsg").toString(), "11000:" + PmyErrorText(11000));
    }

    void calibration_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("ret");
        QTest::addColumn<QString>("errMsg");
        QTest::newRow("idle") << QStringList() << 0 << "";
        QTest::newRow("busy") << QStringList{"--busy"} << -9 << "设备繁忙，请稍后重试";
    }
    // "adjustPrinter" logs in on its own, asks the robot and calibrates only when it is idle.
    void calibration()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, ret);
        QFETCH(QString, errMsg);
        const int iPort = StartPmySim(simArgs);
        QVERIFY(iPort > 0);
        StartHost();
        const QJsonObject qjsonEntry{{"burnDev", 7}, {"subCmd", "adjustPrinter"}, {"devIP", "127.0.0.1"},
                                     {"devPort", iPort}};
        m_host.Send("BurnDevCtrl", "", {{"eventId", "E1"}, {"burnDevInfo", QJsonArray{qjsonEntry}}});
        const QByteArray qbaLine = WaitForLine("BurnDevCtrlReply");
        const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
        const QJsonObject qjsonParam = QJsonDocument::fromJson(qstrData.toUtf8())["param"]["param"].toObject();
        const QJsonObject qjsonItem = qjsonParam.value("replyList").toArray().at(0).toObject();
        QCOMPARE(qjsonItem.value("ret").toInt(), ret);
        QCOMPARE(qjsonItem.value("errMsg").toString(), errMsg);
        QCOMPARE(m_qprocSim.readAllStandardOutput().contains("calibrate ok"), ret == 0);
    }

    void robotStatus_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two bins") << QStringList{"--discs", "7", "--ink", "55"}
                                  << R"("bin1_disc_count":0,"bin2_disc_count":7,"black_ink":55,"blue_ink":55,)";
        QTest::newRow("one bin") << QStringList{"--bins", "1", "--discs", "3"}
                                 << R"("bin1_disc_count":3,"bin2_disc_count":0,)";
    }
    // The message the bus publishes: the service's status in the module's keys; the
    // dynamic information (here of a calibration) only once.
    void robotStatus()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, expected);
        const int iPort = StartPmySim(simArgs);
        QVERIFY(iPort > 0);
        CLS_AutoPrimera4200 backend;
        BurnResultInfo stResult;
        QCOMPARE(backend.InquestBurn("", 0, 0, "{\"DevPort\":" + std::to_string(iPort) + "}", &stResult), 0);
        QString qstrStatus;
        // Each call hands the dynamic information on: asked until it shows, never once more.
        const auto statusHas = [&](const QString& _qstrText) {
            return QTest::qWaitFor([&] {
                backend.GetRobotStatus(qstrStatus, &stResult);
                return qstrStatus.contains(_qstrText);
            });
        };
        QVERIFY(statusHas("BurnDevName"));
        QVERIFY2(qstrStatus.startsWith(R"({"cmd":"BurnRobotStatus","param":{"BurnDev":7,"BurnDevIp":[)"),
                 qPrintable(qstrStatus));
        QVERIFY2(qstrStatus.contains(expected), qPrintable(qstrStatus));
        QVERIFY2(qstrStatus.contains(R"("emptyDiskCount":)" + simArgs.at(simArgs.indexOf("--discs") + 1)),
                 qPrintable(qstrStatus));
        QVERIFY2(qstrStatus.contains(R"("statusCode":0,"statusMsg":"无错误","system_error":0,)"),
                 qPrintable(qstrStatus));
        const std::string strAdjust = "{\"devPort\":" + std::to_string(iPort) + "}";
        QCOMPARE(backend.AdjustPrinter(strAdjust, &stResult), 0);
        QVERIFY2(statusHas(R"("type":"calibration")"), qPrintable(qstrStatus));
        backend.GetRobotStatus(qstrStatus, &stResult);
        QVERIFY2(qstrStatus.contains(R"("dynamic_info":[],)"), qPrintable(qstrStatus));
    }

    // After a restart the job is found by the task id it was submitted with and follows the task.
    void reattach()
    {
        const int iPort = StartPmySim({"--step-ms", "200"});
        QVERIFY(iPort > 0);
        const std::string strApply = "{\"DevPort\":" + std::to_string(iPort) + "}";
        QVERIFY(WriteTestFile(m_qstrRun + "/a.txt", "a"));
        BurnResultInfo stResult;
        auto pFirst = std::make_unique<CLS_AutoPrimera4200>();
        QCOMPARE(pFirst->InquestBurn("RJ1", 1, 0, strApply, &stResult), 0);
        QCOMPARE(pFirst->StartBurn("RJ1", "DVD 4.7GB", "R", "", 3, 0, "YES", "", &stResult), 0);
        BurnFileTask stFiles{"RJ1", {{(m_qstrRun + "/a.txt").toStdString(), "/a.txt"}}};
        QCOMPARE(pFirst->AddFile("RJ1", stFiles, &stResult), 0);
        QCOMPARE(pFirst->DoBurn("RJ1", &stResult), 0);
        pFirst.reset();
        const QString qstrTaskId = QString::fromUtf8(ReadTestFile("BurnJob/RJ1/TaskId"));
        CLS_AutoPrimera4200 second;
        QCOMPARE(second.InquestBurn("", 0, 0, strApply, &stResult), 0);
        QVERIFY(second.UpdateJobInfo("RJ1", qstrTaskId, ""));
        QVERIFY(!second.UpdateJobInfo("RJ1", qstrTaskId, ""));
        QTRY_COMPARE_WITH_TIMEOUT(second.GetJobStatus("RJ1", &stResult), 3, 20000);
        QCOMPARE(stResult.qstrErrMsg, QString("刻录完成"));
        // Cut off before the id was recorded, the job replayed from its commands takes over
        // the task the service holds for it rather than burning it again.
        QVERIFY(QFile::remove("BurnJob/RJ1/TaskId"));
        CLS_AutoPrimera4200 third;
        QCOMPARE(third.InquestBurn("RJ1", 1, 0, strApply, &stResult), 0);
        QCOMPARE(third.StartBurn("RJ1", "DVD 4.7GB", "R", "", 3, 0, "YES", "", &stResult), 0);
        QCOMPARE(third.AddFile("RJ1", stFiles, &stResult), 0);
        QCOMPARE(third.DoBurn("RJ1", &stResult), 0);
        QCOMPARE(ReadTestFile("BurnJob/RJ1/TaskId"), qstrTaskId.toUtf8());
    }

    void readings_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("expected");
        const QString qstrDev = R"({"devices":[{"bins_count":%1,"bin1_disc_count":%2,"bin2_disc_count":%3,)"
                                R"("system_state":%4,"system_error":%5}]})";
        QTest::newRow("bins 2, no discs") << qstrDev.arg(2).arg(255).arg(-1).arg(2).arg(15)
                                          << R"(0 0 1 0)";
        QTest::newRow("bins 1") << qstrDev.arg(1).arg(9).arg(255).arg(2).arg(14) << R"(9 0 0 9)";
        QTest::newRow("bins 2, error 15 while busy") << qstrDev.arg(2).arg(4).arg(6).arg(1).arg(15) << R"(4 6 0 6)";
        QTest::newRow("task states") << "task" << "-1 -1 0 2 3 12 4 -1";
        QTest::newRow("error texts") << "error" << "11000 11016 -";
        QTest::newRow("label fields") << "label" << "U1 - - U10|- L2|-|D1";
        QTest::newRow("calibration, no devices") << R"({"devices":{}})" << "devices no exit || devices no Array.";
    }
    void readings()
    {
        QFETCH(QString, reading);
        QFETCH(QString, expected);
        QStringList qlstGot;
        if (reading == "task") {
            for (int iCode = -1; iCode <= 6; ++iCode)
                qlstGot << QString::number(PmyTaskState(iCode));
        } else if (reading == "error") {
            for (int iCode : {11000, 11016, 11017})
                qlstGot << (PmyErrorText(iCode).isEmpty() ? "-" : QString::number(iCode));
            QVERIFY(PmyErrorText(11016) == "任务关闭失败，刻录源传输中");
        } else if (reading == "label") {
            const PmyLabelFields stFields = ReadPmyLabelFields(
                {{"UpperOne", "U1"}, {"UpperTen", "U10"}, {"LeftTwo", "L2"}, {"DownOne", "D1"}, {"Upper", "x"}});
            QCOMPARE(stFields.qlstUp.size() + stFields.qlstLeft.size() + stFields.qlstDown.size(), 30);
            const auto joined = [](const QStringList& _qlst, int _iCount) {
                return _qlst.mid(0, _iCount).replaceInStrings(QRegularExpression("^$"), "-").join(' ');
            };
            qlstGot << joined(stFields.qlstUp, 3) + " " + stFields.qlstUp.at(9) + "|" + joined(stFields.qlstLeft, 2)
                           + "|" + joined(stFields.qlstRight, 1) + "|" + joined(stFields.qlstDown, 1);
        } else if (reading.contains("{}")) {
            qlstGot << PmyCalibrationRefusal(reading);
        } else {
            const QJsonObject qjsonStatus = ReadPmyRobotStatus(reading, {}).value_or(QJsonObject());
            for (const char* szKey : {"bin1_disc_count", "bin2_disc_count", "statusCode", "emptyDiskCount"})
                qlstGot << QString::number(qjsonStatus.value(szKey).toInt(-100));
        }
        QCOMPARE(qlstGot.join(' '), expected);
    }

    // A failed query and a broken text change nothing; a message without devices is none.
    void taskMessages()
    {
        const PmyTaskReply stFailed = ReadPmyTaskStatus(
            R"({"error_code":5,"error_msg":"x","tasks":[{"id":"T","status_code":4,"status_string":"已取消"}]})");
        QVERIFY(stFailed.blValid && stFailed.iErrorCode == 5);
        QVERIFY(!ReadPmyTaskStatus("{broken").blValid);
        QVERIFY(!ReadPmyRobotStatus(R"({"devices":[]})", {}));
        QVERIFY(!ReadPmyDynamic(R"({"dynamic":[1]})"));
        const QString qstrMsg = PmyRobotStatusMessage({}, QJsonArray{QJsonObject{{"type", "progress"}}});
        QCOMPARE(qstrMsg, QString(R"({"cmd":"BurnRobotStatus","param":{"dynamic_info":[{"type":"progress"}]}})"));
    }
};

QTEST_MAIN(tst_Primera4200)
#include "tst_Primera4200.moc"
