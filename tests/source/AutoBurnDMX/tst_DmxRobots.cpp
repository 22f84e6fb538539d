// The DMX robots' service texts and readings: the error code from inks and discs, the
// task status map of the models, the service state, the share, the missing-disc logs,
// and the task and robot status texts in their key order.
#include <QtTest>

#include "DMX/DmxService.h"

class tst_DmxRobots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        const QString qstrDepots = R"([{"dwType":0,"count":7},{"dwType":1,"count":3},{"dwType":2,"count":9},{"count":1}])";
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
