// The per-kind factory (registered kinds built once and shared, installed doubles,
// concurrent lookups) and the defaults every backend inherits. Work folders and job
// ids: tst_BackendConformance.
#include <QtTest>

#include "BurnBackendRegistry.h"
#include "CLS_AutoBase.h"
#include "Skeleton/CLS_AutoSkeleton.h"

class tst_CLS_AutoBase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_qtmpDir.isValid());
        qputenv("TMPDIR", m_qtmpDir.path().toUtf8());
        qputenv("BURNMODULE_PUBLISHER_ROOT", m_qtmpDir.filePath(QStringLiteral("devices")).toUtf8());
    }

    void factory_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("built");
        for (const int iKind : RegisteredBurnDevs())
            QTest::addRow("kind %d", iKind) << iKind << true;
        for (const int iKind : {-1, 1, 6, 12, 1000})
            QTest::addRow("kind %d, no backend", iKind) << iKind << false;
    }
    void factory()
    {
        QFETCH(int, kind);
        QFETCH(bool, built);
        CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(kind);
        QCOMPARE(pBackend != nullptr, built);
        QCOMPARE(CLS_AutoBase::GetInstance(kind), pBackend);
    }

    // An installed double is what every thread finds; installing returns the one replaced.
    void installedBackendIsShared()
    {
        CLS_AutoSkeleton first;
        CLS_AutoSkeleton second;
        QVERIFY(!CLS_AutoBase::InstallInstance(9, &first));
        QVector<CLS_AutoBase*> vecSeen(8, nullptr);
        QList<QThread*> qlstThreads;
        for (int i = 0; i < vecSeen.size(); ++i)
            qlstThreads << QThread::create([&vecSeen, i] { vecSeen[i] = CLS_AutoBase::GetInstance(9); });
        for (QThread* pThread : qlstThreads)
            pThread->start();
        for (QThread* pThread : qlstThreads) {
            QVERIFY(pThread->wait(10000));
            delete pThread;
        }
        QCOMPARE(vecSeen, QVector<CLS_AutoBase*>(8, &first));
        QCOMPARE(CLS_AutoBase::InstallInstance(9, &second), &first);
        QCOMPARE(CLS_AutoBase::GetInstance(9), &second);
        QCOMPARE(CLS_AutoBase::InstallInstance(9, nullptr), &second);
        QVERIFY(!CLS_AutoBase::GetInstance(9));
    }

    void defaults()
    {
        CLS_AutoSkeleton probe;  // keeps every default of the base
        const QString qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
        BurnResultInfo stRobot;
        QString qstrStatus;
        QCOMPARE(probe.GetRobotStatus(qstrStatus, &stRobot), -6);
        QCOMPARE(stRobot.qstrErrMsg, qstrUnsupported);
        QVERIFY(qstrStatus.isEmpty());
        BurnResultInfo stAdjust;
        QCOMPARE(probe.AdjustPrinter("{}", &stAdjust), -6);
        QCOMPARE(stAdjust.qstrErrMsg, qstrUnsupported);
        QCOMPARE(probe.GetDiscPlace(QStringLiteral("J1")), QStringLiteral("[]"));
        QVERIFY(!probe.FindJob(QStringLiteral("J1"), QStringLiteral("L")));
        QVERIFY(!probe.UpdateJobInfo(QStringLiteral("J1"), QStringLiteral("L"), QStringLiteral("/p")));
        QCOMPARE(probe.StatusPollPauseMs(), 60000);
    }

private:
    QTemporaryDir m_qtmpDir;
};

QTEST_GUILESS_MAIN(tst_CLS_AutoBase)
#include "tst_CLS_AutoBase.moc"
