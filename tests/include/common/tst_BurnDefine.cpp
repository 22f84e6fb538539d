// The vocabulary travels in messages and stored records, so its numbers and texts
// are checked against the published tables.
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
        QTest::newRow("unknown") << -1 << QStringLiteral("状态未知");
        QTest::newRow("waiting") << 0 << QStringLiteral("等待刻录");
        QTest::newRow("preprocess") << 1 << QStringLiteral("刻录前预处理");
        QTest::newRow("burning") << 2 << QStringLiteral("正在刻录");
        QTest::newRow("finished") << 3 << QStringLiteral("刻录完成");
        QTest::newRow("error") << 4 << QStringLiteral("刻录出错");
        QTest::newRow("paused") << 5 << QStringLiteral("刻录暂停");
        QTest::newRow("6 has no name") << 6 << QStringLiteral("刻录状态未知");
        QTest::newRow("10 has no name") << 10 << QStringLiteral("刻录状态未知");
        QTest::newRow("disc error") << 11 << QStringLiteral("光盘错误");
        QTest::newRow("cancelled") << 12 << QStringLiteral("刻录取消");
        QTest::newRow("waiting for discs") << 14 << QStringLiteral("刻录状态未知");
        QTest::newRow("below -1") << -2 << QStringLiteral("刻录状态未知");
    }
    void jobStatusText()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(QString::fromUtf8(GetJobStatusText(state)), text);
    }

    void finalStates()
    {
        QList<int> finals;
        for (int iState = -2; iState <= 15; ++iState) {
            if (IsFinalJobState(iState))
                finals << iState;
        }
        QCOMPARE(finals, (QList<int>{3, 4, 10, 12}));
    }

    void defaultPorts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("port");
        const int arrPorts[] = {0, 0, 0, 0, 8080, 8080, 6000, 6000, 8080, 1883, 1882, 1882};
        for (int iKind = 0; iKind < 12; ++iKind)
            QTest::addRow("kind %d", iKind) << iKind << arrPorts[iKind];
        QTest::newRow("out of range") << 12 << 0;
        QTest::newRow("negative") << -1 << 0;
    }
    void defaultPorts()
    {
        QFETCH(int, kind);
        QFETCH(int, port);
        QCOMPARE(GetBurnDevDefaultPort(kind), port);
    }

    void mediaTables()
    {
        QCOMPARE(MediaClassMap.size(), 5);
        QCOMPARE(MediaClassMap.value(QStringLiteral("DVD DL 8.5GB")), QStringLiteral("DVD-DL"));
        QCOMPARE(MediaCodeMap.size(), 7);
        QCOMPARE(DMXMediaCodeMap.size(), 9);
        QCOMPARE(DMXMediaCodeMap.value(QStringLiteral("BD XL 128GB")), 6);
        QCOMPARE(DMXMediaCodeMap.value(QStringLiteral("BD TL 100GB")), 6);
        QCOMPARE(DMXMediaCodeMap.value(QStringLiteral("BD QL 128GB")), 7);
        QCOMPARE(MediaCodeMap.value(QStringLiteral("BD QL 128GB")), 7);
        for (const char* szName : {"BD XL 128GB", "BD 200GB"}) {
            QVERIFY(!MediaClassMap.contains(QString::fromUtf8(szName)));
            QVERIFY(!MediaCodeMap.contains(QString::fromUtf8(szName)));
        }
        // Names compare exactly: case and spaces matter.
        QVERIFY(!MediaClassMap.contains(QStringLiteral("cd 700MB")));
        QVERIFY(!MediaClassMap.contains(QStringLiteral("CD 700 MB")));
    }
};

QTEST_APPLESS_MAIN(tst_BurnDefine)
#include "tst_BurnDefine.moc"
