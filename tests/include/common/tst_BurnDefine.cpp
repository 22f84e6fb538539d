// The job-state texts and final states that travel in status replies, and the
// default ports a device address without one gets.
#include <QtTest>

#include "BurnDefine.h"

class tst_BurnDefine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobStatusText_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("final");
        QTest::newRow("unknown") << -1 << QStringLiteral("状态未知") << false;
        QTest::newRow("waiting") << 0 << QStringLiteral("等待刻录") << false;
        QTest::newRow("preprocess") << 1 << QStringLiteral("刻录前预处理") << false;
        QTest::newRow("burning") << 2 << QStringLiteral("正在刻录") << false;
        QTest::newRow("finished") << 3 << QStringLiteral("刻录完成") << true;
        QTest::newRow("error") << 4 << QStringLiteral("刻录出错") << true;
        QTest::newRow("paused") << 5 << QStringLiteral("刻录暂停") << false;
        QTest::newRow("10 has no name") << 10 << QStringLiteral("刻录状态未知") << true;
        QTest::newRow("disc error") << 11 << QStringLiteral("光盘错误") << false;
        QTest::newRow("cancelled") << 12 << QStringLiteral("刻录取消") << true;
        QTest::newRow("waiting for discs") << 14 << QStringLiteral("刻录状态未知") << false;
        QTest::newRow("below -1") << -2 << QStringLiteral("刻录状态未知") << false;
    }
    void jobStatusText()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QFETCH(bool, final);
        QCOMPARE(QString::fromUtf8(GetJobStatusText(state)), text);
        QCOMPARE(IsFinalJobState(state), final);
    }

    void defaultPorts()
    {
        const QList<QPair<int, int>> qlstPorts = {{0, 0}, {3, 0}, {4, 8080}, {6, 6000}, {7, 6000},
                                                  {9, 1883}, {11, 1882}, {12, 0}, {-1, 0}};
        for (const auto& pairPort : qlstPorts)
            QCOMPARE(GetBurnDevDefaultPort(pairPort.first), pairPort.second);
    }
};

QTEST_APPLESS_MAIN(tst_BurnDefine)
#include "tst_BurnDefine.moc"
