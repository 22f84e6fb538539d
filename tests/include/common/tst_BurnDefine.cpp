// The job-state texts and final states that status replies carry; the address check.
#include <QtTest>

#include "BurnDefine.h"
#include "PublicCommonFun.h"

class tst_BurnDefine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        const QList<QPair<int, const char*>> qlstTexts = {
            {-1, "状态未知"}, {0, "等待刻录"}, {1, "刻录前预处理"}, {2, "正在刻录"}, {3, "刻录完成"}, {4, "刻录出错"},
            {5, "刻录暂停"}, {10, "刻录状态未知"}, {11, "光盘错误"}, {12, "刻录取消"}, {14, "刻录状态未知"}, {-2, "刻录状态未知"},
        };
        for (const auto& pairText : qlstTexts)
            QTest::addRow("state %d", pairText.first) << pairText.first << QString::fromUtf8(pairText.second);
    }
    // Only 3, 4, 10 and 12 end a job.
    void jobStates()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(QString::fromUtf8(GetJobStatusText(state)), text);
        QCOMPARE(IsFinalJobState(state), state == 3 || state == 4 || state == 10 || state == 12);
    }

    // An address needs at least the seven characters of "1.1.1.1".
    void validAddresses()
    {
        for (const char* szValid : {"1.2.3.4", "192.168.1.20", "fe80::1:2:3"})
            QVERIFY2(IsValidIP(QString::fromLatin1(szValid)), szValid);
        for (const char* szInvalid : {"1.2.3", "::1", "256.1.1.1", "localhost", ""})
            QVERIFY2(!IsValidIP(QString::fromLatin1(szInvalid)), szInvalid);
    }
};

QTEST_APPLESS_MAIN(tst_BurnDefine)
#include "tst_BurnDefine.moc"
