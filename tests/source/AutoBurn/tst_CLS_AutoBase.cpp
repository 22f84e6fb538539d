// The per-kind factory, the defaults every backend inherits and the job work folder.
#include <QtTest>

#include "CLS_AutoBase.h"

namespace
{
// The smallest backend: every pure operation answers 0.
class CLS_StubBackend : public CLS_AutoBase
{
public:
    bool Init(BurnResultInfo*) override { return true; }
    int InquestBurn(std::string, int, int, std::string, BurnResultInfo*) override { return 0; }
    int StartBurn(std::string, std::string, std::string, std::string, int, int, std::string, std::string,
                  BurnResultInfo*) override
    {
        return 0;
    }
    int CancelBurn(std::string) override { return 0; }
    int AddFile(std::string, BurnFileTask&, BurnResultInfo*) override { return 0; }
    int DoBurn(std::string, BurnResultInfo*) override { return 0; }
    int WriteLabel(std::string, std::string, BurnResultInfo*) override { return 0; }
    int GetJobStatus(QString, BurnResultInfo*) override { return 0; }
    int ClearData(QString) override { return 0; }

    std::string WorkDir(const std::string& _strJobId) { return MakeJobWorkDir(_strJobId); }
    std::string TempPath() const { return m_strTempPath; }
};
}  // namespace

class tst_CLS_AutoBase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_qtmpDir.isValid());
        qputenv("TMPDIR", m_qtmpDir.path().toUtf8());
    }

    void kindsWithoutBackend_data()
    {
        QTest::addColumn<int>("kind");
        for (int iKind : {-1, 1, 6, 12, 1000})
            QTest::addRow("kind %d", iKind) << iKind;
    }
    void kindsWithoutBackend()
    {
        QFETCH(int, kind);
        QVERIFY(!CLS_AutoBase::GetInstance(kind));
        QVERIFY(!CLS_AutoBase::GetInstance(kind));
    }

    void installedBackendIsShared()
    {
        CLS_StubBackend stubFirst;
        CLS_StubBackend stubSecond;
        QVERIFY(!CLS_AutoBase::InstallInstance(9, &stubFirst));
        QCOMPARE(CLS_AutoBase::GetInstance(9), &stubFirst);
        QCOMPARE(CLS_AutoBase::GetInstance(9), &stubFirst);
        QCOMPARE(CLS_AutoBase::InstallInstance(9, &stubSecond), &stubFirst);
        QCOMPARE(CLS_AutoBase::GetInstance(9), &stubSecond);
        QCOMPARE(CLS_AutoBase::InstallInstance(9, nullptr), &stubSecond);
    }

    void concurrentLookupsAgree()
    {
        CLS_StubBackend stub;
        CLS_AutoBase::InstallInstance(2, &stub);
        QVector<CLS_AutoBase*> vecSeen(8, nullptr);
        QList<QThread*> threads;
        for (int i = 0; i < vecSeen.size(); ++i)
            threads << QThread::create([&vecSeen, i] { vecSeen[i] = CLS_AutoBase::GetInstance(2); });
        for (QThread* pThread : threads)
            pThread->start();
        for (QThread* pThread : threads) {
            QVERIFY(pThread->wait(10000));
            delete pThread;
        }
        for (CLS_AutoBase* pSeen : vecSeen)
            QCOMPARE(pSeen, &stub);
        CLS_AutoBase::InstallInstance(2, nullptr);
    }

    void defaults()
    {
        CLS_StubBackend stub;
        const QString qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
        BurnResultInfo stRobot;
        QString qstrStatus;
        QCOMPARE(stub.GetRobotStatus(qstrStatus, &stRobot), -6);
        QCOMPARE(stRobot.qstrErrMsg, qstrUnsupported);
        QVERIFY(qstrStatus.isEmpty());
        BurnResultInfo stAdjust;
        QCOMPARE(stub.AdjustPrinter("{}", &stAdjust), -6);
        QCOMPARE(stAdjust.qstrErrMsg, qstrUnsupported);
        QCOMPARE(stub.GetDiscPlace(QStringLiteral("J1")), QStringLiteral("[]"));
        QVERIFY(!stub.FindJob(QStringLiteral("J1"), QStringLiteral("L")));
        QVERIFY(!stub.UpdateJobInfo(QStringLiteral("J1"), QStringLiteral("L"), QStringLiteral("/p")));
    }

    // Work folders live under <temp>/BurnFileTemp/ and never outside it.
    void jobWorkDir()
    {
        CLS_StubBackend stub;
        const QString qstrRoot = QDir(m_qtmpDir.path()).canonicalPath() + QStringLiteral("/BurnFileTemp/");
        QCOMPARE(QDir(QString::fromStdString(stub.TempPath())).canonicalPath() + QLatin1Char('/'), qstrRoot);
        const std::string strDir = stub.WorkDir("job-1");
        QCOMPARE(QString::fromStdString(strDir), QString::fromStdString(stub.TempPath()) + QStringLiteral("job-1/"));
        QVERIFY(QDir(QString::fromStdString(strDir)).exists());
        for (const char* szHostile : {"../escape", "a/b", "..", "", "a\\b"})
            QVERIFY2(stub.WorkDir(szHostile).empty(), szHostile);
        QVERIFY(!QDir(m_qtmpDir.filePath(QStringLiteral("escape"))).exists());
    }

private:
    QTemporaryDir m_qtmpDir;
};

QTEST_GUILESS_MAIN(tst_CLS_AutoBase)
#include "tst_CLS_AutoBase.moc"
