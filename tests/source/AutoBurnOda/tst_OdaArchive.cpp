// Optical archive jobs (kinds 4, 5, 8) through `burnhost --stdio` against odasim: whole
// jobs to the final status reply with the service's disc places, abnormal and offline
// tasks (the robot status read off a real queue), a destination that would leave the
// pool, a service that comes up late, never, or refuses; and the texts the backend
// composes for the service.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>

#include "CLS_StdioHost.h"
#include "TestFiles.h"
#include "Oda/OdaService.h"
#include "TestBroker.h"

namespace
{
constexpr int n_WaitMs = 30000;

}  // namespace

class tst_OdaArchive : public QObject
{
    Q_OBJECT

    CLS_TestBroker m_broker{"burn.oda."};
    QTemporaryDir m_qtmpDir;
    QString m_qstrRun;  // this case's folder
    QProcess m_qprocSim;
    CLS_StdioHost m_host;

    // odasim on a port of its own (0: any) with pool "P1" named "一号池"; the port it took.
    // Without a port it waits for the simulator's ready line.
    int StartOdaSim(const QStringList& _qlstArgs, int _iPort = 0)
    {
        const QStringList qlstArgs = QStringList{"--port", QString::number(_iPort), "--step-ms", "50", "--pool",
                                                 "P1:一号池=" + m_qstrRun + "/pool"}
                                     + _qlstArgs;
        if (_iPort == 0)
            return StartSimulator(m_qprocSim, "odasim", qlstArgs, "ready url=http://127.0.0.1:(\\d+) ");
        m_qprocSim.start(QCoreApplication::applicationDirPath() + "/odasim", qlstArgs);
        return _iPort;
    }
    // The robot status message on the queue with that error code; empty after the wait.
    QJsonObject WaitForRobotStatus(int _iErrorCode)
    {
        QJsonObject qjsonFound;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                QByteArray qbaBody;
                const QJsonObject qjsonParam =
                    m_broker.Get(qbaBody, 100) ? QJsonDocument::fromJson(qbaBody)["param"].toObject() : QJsonObject();
                if (qjsonParam.value("ErrorCode").toInt() == _iErrorCode)
                    qjsonFound = qjsonParam;
                return !qjsonFound.isEmpty();
            },
            n_WaitMs));
        return qjsonFound;
    }
    QJsonObject ApplyBurn(int _iKind, int _iPort, const QString& _qstrPool = "一号池")
    {
        const QJsonObject qjsonMq{{"ip", "127.0.0.1"}, {"port", m_broker.Port()}, {"userName", "guest"},
                                  {"passWord", "guest"}, {"routingKey", "burn.oda"},
                                  {"exchange", QString(m_broker.qbaExchange)}};
        return m_host.Ask("ApplyBurn", "OA_01",
                          {{"BurnDev", _iKind}, {"CopyCount", 2}, {"serverIP", "127.0.0.1"}, {"DevPort", _iPort},
                           {"poolCode", _qstrPool}},
                          qjsonMq);
    }

private Q_SLOTS:
    void initTestCase() { BURN_OPEN_BROKER(m_broker, "burn.oda"); }
    void init()
    {
        m_qstrRun = m_qtmpDir.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_qstrRun));
        QVERIFY(m_broker.Purge());
    }
    void cleanup()
    {
        m_host.Stop();
        StopProcess(m_qprocSim);
    }

    void archiveJob_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QString>("cover");
        QTest::addColumn<QString>("videoDst");
        QTest::addColumn<int>("robotError");  // 0: no robot status expected
        QTest::addColumn<int>("status");      // -1: AddFile refused
        QTest::addColumn<QString>("errMsg");
        const QStringList qlstOffline{"--offline-steps", "40", "--offline"};
        QTest::newRow("kind 4, burn only") << 4 << QStringList() << "" << "/视频/v.mp4" << 0 << 3 << "";
        QTest::newRow("kind 5, with a cover") << 5 << QStringList() << "封面A" << "\\视频\\v.mp4" << 0 << 3 << "";
        QTest::newRow("kind 8, abnormal") << 8 << QStringList{"--fail", "*_01=光驱故障"} << "" << "/v.mp4" << 0 << 4
                                          << "光驱故障";
        QTest::newRow("offline, burner") << 5 << qlstOffline + QStringList{"*=burn"} << "" << "/v.mp4" << 14 << 3
                                         << "";
        QTest::newRow("offline, burner and printer")
            << 4 << qlstOffline + QStringList{"*=both"} << "" << "/v.mp4" << 16 << 3 << "";
        QTest::newRow("destination leaving the pool") << 4 << QStringList() << "" << "/../../v.mp4" << 0 << -1
                                                      << "[Oda][AddFile]目标路径越出任务目录:/../../v.mp4";
        QTest::newRow("source folder missing") << 4 << QStringList() << "" << "/v.mp4" << 0 << -2
                                               << "QFileDevice::error=";
    }
    // ApplyBurn to the final BurnStatusReply: the files land in the pool under the job's
    // folder (a source folder with everything below it), the task carries the label list
    // and burn type, the final reply the service's discs or its message; an offline task's
    // robot status reaches the queue. A destination outside the job's folder (-1) copies
    // nothing; a failed copy (-2) removes what was copied.
    void archiveJob()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, simArgs);
        QFETCH(QString, cover);
        QFETCH(QString, videoDst);
        QFETCH(int, robotError);
        QFETCH(int, status);
        QFETCH(QString, errMsg);
        const int iPort = StartOdaSim(simArgs);
        QVERIFY(iPort > 0);
        m_host.Start(m_qstrRun);
        QCOMPARE(ApplyBurn(kind, iPort).value("ret").toInt(), 0);
        const QJsonObject qjsonStart{{"CDType", "DVD"}, {"CDTitle", "CASE"}, {"CDCover", cover}, {"CopyCount", 2}};
        QCOMPARE(m_host.Ask("StartBurn", "OA_01", qjsonStart).value("ret").toInt(), 0);
        const QString qstrSrc = m_qstrRun + "/src/";
        QVERIFY(WriteTestFile(qstrSrc + "v.mp4", QByteArray(300000, 'v')));
        QVERIFY(status == -2 || WriteTestFile(qstrSrc + "案卷/证据/清单.txt", "一、现场照片\n"));
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", qstrSrc + "v.mp4"}, {"DesFile", videoDst}},
                                    QJsonObject{{"srcFile", qstrSrc + "案卷"}, {"DesFile", "/案卷"}}};
        const QJsonObject qjsonAdded = m_host.Ask("AddFile", "OA_01", {{"FileList", qjsonFiles}});
        if (status < 0) {
            const QString qstrErrMsg = qjsonAdded.value("errMsg").toString();
            QVERIFY2(qstrErrMsg.startsWith(errMsg), qPrintable(qstrErrMsg));
            QCOMPARE(QDir(m_qstrRun + "/pool").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
            QVERIFY(!QFileInfo::exists(m_qstrRun + "/v.mp4"));
            return;
        }
        QCOMPARE(qjsonAdded.value("ret").toInt(), 0);
        const QJsonObject qjsonLabels{{"UpperOne", "案件A"}, {"DownFour", "D4"}, {"UpperFive", "x"}};
        QCOMPARE(m_host.Ask("WriteLabel", "OA_01", {{"LabelInfo", qjsonLabels}}).value("ret").toInt(), 0);
        QCOMPARE(m_host.Ask("DoBurn", "OA_01").value("ret").toInt(), 0);
        if (robotError) {
            const QJsonObject qjsonRobot = WaitForRobotStatus(robotError);
            QCOMPARE(qjsonRobot.value("taskId").toString(), "OA_01");
            QCOMPARE(qjsonRobot.value("BurnDev").toInt(), 5);
            QCOMPARE(qjsonRobot.value("statusMsg").toString(), robotError == 14 ? "刻录机离线" : "打印机缺墨离线等待");
        }
        const QJsonObject qjsonFinal = m_host.WaitForReply("BurnStatusReply", "OA_01");
        QCOMPARE(qjsonFinal.value("status").toInt(), status);
        QCOMPARE(qjsonFinal.value("errMsg").toString(), errMsg);
        const QString qstrResult = QString::fromUtf8(ReadTestFile(m_qstrRun + "/pool/OA_01.result.txt"));
        const QRegularExpression qregLabel("^TASK=(CASE\\d{14}\\d{3}_01)\n");
        QVERIFY2(qregLabel.match(qstrResult).hasMatch(), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains(QString("BURN_TYPE=%1\nCOPIES=2\n").arg(cover.isEmpty() ? 1 : 2)),
                 qPrintable(qstrResult));
        const QString qstrVideo = QString(videoDst).replace('\\', '/').mid(1);
        QVERIFY2(qstrResult.contains("FILES=2\nBYTES=300019\n"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains("FILE=300000\t" + qstrVideo + "\n"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains("FILE=19\t案卷/证据/清单.txt\n"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains("LABELS=UpperOne@案件A,UpperTwo@,UpperThree@"), qPrintable(qstrResult));
        QVERIFY2(qstrResult.contains(",DownThree@,DownFour@D4\n"), qPrintable(qstrResult));
        const QByteArray qbaDiscs = qjsonFinal.value("SDiskPlace").toString().toUtf8();
        const QJsonArray qjsonDiscs = QJsonDocument::fromJson(qbaDiscs).array();
        QCOMPARE(qjsonDiscs.size(), status == 3 ? 2 : 0);
        for (const QJsonValue& qjsonDisc : qjsonDiscs)
            QCOMPARE(qjsonDisc["discLabel"].toString(), qregLabel.match(qstrResult).captured(1));
    }

    void serviceAvailability_data()
    {
        QTest::addColumn<QStringList>("simArgs");  // empty: no simulator
        QTest::addColumn<QString>("pool");
        QTest::addColumn<int>("ret");
        QTest::addColumn<QString>("errCode");
        QTest::addColumn<QString>("errMsg");
        const QString qstrFailed = "HM获取设备信息或者查询卷池信息失败--";
        QTest::newRow("up within the attempts") << QStringList{"--down-secs", "1"} << "P1" << 0 << "0" << "成功";
        QTest::newRow("never up") << QStringList() << "P1" << 1 << "" << qstrFailed + "查询卷池信息失败";
        QTest::newRow("pool list refused") << QStringList{"--answer-code", "queryPoolInfo=7"} << "P1" << 1 << "SIM7"
                                           << qstrFailed + "模拟错误";
        QTest::newRow("no such pool") << QStringList{"--step-ms", "50"} << "P9" << -1 << "0" << "[Oda]卷池(P9)不存在";
    }
    // ApplyBurn asks for the pool list 60 times, one second apart (3 s at this time
    // scale), before it gives up with the service's last answer.
    void serviceAvailability()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QString, pool);
        QFETCH(int, ret);
        QFETCH(QString, errCode);
        QFETCH(QString, errMsg);
        const int iPort = ClosedPort();
        if (!simArgs.isEmpty())
            StartOdaSim(simArgs, iPort);
        m_host.Start(m_qstrRun, "0.05");
        const QJsonObject qjsonReply = ApplyBurn(5, iPort, pool);
        QCOMPARE(qjsonReply.value("ret").toInt(), ret);
        QCOMPARE(qjsonReply.value("errCode").toString(), errCode);
        QCOMPARE(qjsonReply.value("errMsg").toString(), errMsg);
    }

    void discLabel_data()
    {
        QTest::addColumn<QString>("jobId");
        QTest::addColumn<QString>("label");
        QTest::newRow("suffix from the last _") << "JOB_001" << "T20261206083005007_001";
        QTest::newRow("_ among the last two not looked at") << "A_B_C" << "T20261206083005007_B_C";
        QTest::newRow("no _") << "ABC" << "T20261206083005007";
        QTest::newRow("_ first") << "_ABC" << "T20261206083005007";
    }
    void discLabel()
    {
        QFETCH(QString, jobId);
        QFETCH(QString, label);
        const QDateTime qdtNow(QDate(2026, 12, 6), QTime(8, 30, 5));
        QCOMPARE(MakeOdaDiscLabel("T", qdtNow, 7, jobId), label);
    }

    void offlineStatus_data()
    {
        QTest::addColumn<QString>("processes");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QString>("statusMsg");
        const QString qstrBurn = R"("burnProcess":[{"errorCode":"B1","msg":"刻录机离线"}])";
        const QString qstrPrint = R"("printProcess":[{"errorCode":"P1","msg":"缺墨"}])";
        QTest::newRow("no detail") << R"("burnProcess":[{"msg":"x"}])" << 13 << "";
        QTest::newRow("printer") << qstrPrint << 15 << "缺墨";
        QTest::newRow("burner and printer") << qstrBurn + "," + qstrPrint << 16 << "缺墨待处理";
    }
    // A task waiting offline: its robot status message, keys in order.
    void offlineStatus()
    {
        QFETCH(QString, processes);
        QFETCH(int, errorCode);
        QFETCH(QString, statusMsg);
        const QString qstrReply = R"([{"code":"0","state":"5","discLabel":"L","msg":"待处理",)" + processes + "}]";
        const OdaTaskState stState = ReadOdaTaskState(qstrReply);
        QCOMPARE(stState.iState, 5);
        const QRegularExpression qregMessage(
            QString(R"(^\{"cmd":"BurnRobotStatus","param":\{"BurnDev":5,"BurnDevName":"HMS","BurnDevIp":\[.*\],)"
                    R"("statusMsg":"%1","taskId":"J","ErrorCode":%2\}\}$)")
                .arg(statusMsg)
                .arg(errorCode));
        QVERIFY2(qregMessage.match(OdaOfflineStatusMessage(stState, "J")).hasMatch(),
                 qPrintable(OdaOfflineStatusMessage(stState, "J")));
    }

    // The task's members in the service's order; no disc label member when there is none.
    void taskBody()
    {
        QCOMPARE(OdaTaskBody("", "/P1/J", "L", 2, "UpperOne@a"),
                 R"({"burnType":"1","filePath":"/P1/J","fileType":"file","loginName":"admin","discLabel":"L",)"
                 R"("burnNum":2,"labList":"UpperOne@a","imgmodCode":""})");
        QCOMPARE(OdaTaskBody("cover", "/P1/J", "", 1, ""),
                 R"({"burnType":"2","filePath":"/P1/J","fileType":"file","loginName":"admin","burnNum":1,)"
                 R"("labList":"","imgmodCode":"cover"})");
        QCOMPARE(OdaMkdirBody(R"(D:\pool\J)"), R"({"loginName":"admin", "path":"D:\\pool\\J"})");
    }

    void poolChoice_data()
    {
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("chosen");  // empty: none
        QTest::newRow("by code") << "P2" << "P2";
        QTest::newRow("by name") << "二号池" << "P2";
        QTest::newRow("none wanted: the first") << "" << "P1";
        QTest::newRow("no match") << "P9" << "";
    }
    void poolChoice()
    {
        QFETCH(QString, wanted);
        QFETCH(QString, chosen);
        const QString qstrReply = R"({"code":"0","poolList":[{"poolCode":"P1","poolName":"一号池","volPath":"/a"},)"
                                  R"({"poolCode":"P2","poolName":"二号池","volPath":"/b"}]})";
        const OdaPoolChoice stChoice = ChooseOdaPool(qstrReply, wanted);
        QVERIFY(stChoice.stHead.blOk);
        QCOMPARE(stChoice.blMatched, !chosen.isEmpty());
        QCOMPARE(QString::fromStdString(stChoice.stPool.m_strPoolCodeName), chosen);
    }
};

QTEST_GUILESS_MAIN(tst_OdaArchive)
#include "tst_OdaArchive.moc"
