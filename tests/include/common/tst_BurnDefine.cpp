// The job-state texts that status replies carry; only 3, 4, 10 and 12 end a job.
#include <QtTest>

#include "BurnDefine.h"

class tst_BurnDefine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobStates_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        const QList<QPair<int, const char*>> qlstTexts = {
            {-1, "状态未知"}, {0, "等待刻录"}, {1, "刻录前预处理"}, {2, "正在刻录"},
            {3, "刻录完成"}, {4, "刻录出错"}, {5, "刻录暂停"}, {10, "刻录状态未知"},
            {11, "光盘错误"}, {12, "刻录取消"}, {14, "刻录状态未知"}, {-2, "刻录状态未知"},
        };
        for (const auto& pairText : qlstTexts)
            QTest::addRow("state %d", pairText.first) << pairText.first << QString::fromUtf8(pairText.second);
    }
    void jobStates()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(QString::fromUtf8(GetJobStatusText(state)), text);
        QCOMPARE(IsFinalJobState(state), state == 3 || state == 4 || state == 10 || state == 12);
    }
};

QTEST_APPLESS_MAIN(tst_BurnDefine)
#include "tst_BurnDefine.moc"
