// What every backend shares, run over every registered device kind and the skeleton
// backend: a new backend gets these checks by being registered. Each case builds a
// fresh backend whose folders (work files, publishers' watched folders, job records)
// lie in a temporary folder of its own.
#include <QtTest>

#include <functional>
#include <memory>

#include "BurnBackendRegistry.h"
#include "BurnDefine.h"
#include "CLS_AutoBase.h"
#include "LogRecorder.h"
#include "Skeleton/CLS_AutoSkeleton.h"

namespace
{
const char s_szUnsupported[] = "设备类型错误，没有满足需求的刻录机";
constexpr int n_SkeletonRow = -1;

QStringList FilesBelow(const QString& _qstrDir)
{
    QStringList qstrlstFiles;
    QDirIterator qdirIt(_qstrDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (qdirIt.hasNext())
        qstrlstFiles << QDir(_qstrDir).relativeFilePath(qdirIt.next());
    return qstrlstFiles;
}

// An operation either left to the base (-6 with its text) or answered by the device.
void CheckDefaultOrOwn(int _iRet, const BurnResultInfo& _stResult, const QString& _qstrOutput)
{
    if (_iRet == n_BurnRet_Unsupported) {
        QCOMPARE(_stResult.qstrErrMsg, QString::fromUtf8(s_szUnsupported));
        QVERIFY(_qstrOutput.isEmpty());
    }
}
}  // namespace

class tst_BackendConformance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        QVERIFY(!RegisteredBurnDevs().isEmpty());
    }

    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pTmpDir->isValid());
        qputenv("TMPDIR", m_pTmpDir->filePath(QStringLiteral("tmp")).toUtf8());
        qputenv("BURNMODULE_PUBLISHER_ROOT", m_pTmpDir->filePath(QStringLiteral("devices")).toUtf8());
        QVERIFY(QDir().mkpath(m_pTmpDir->filePath(QStringLiteral("tmp"))));
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        m_pTmpDir.reset();
    }

    void backends_data()
    {
        QTest::addColumn<int>("kind");
        for (const int iKind : RegisteredBurnDevs())
            QTest::addRow("kind %d", iKind) << iKind;
        QTest::newRow("skeleton") << n_SkeletonRow;
    }

    // The factory builds the registered kinds once and shares them.
    void sharedInstance_data() { backends_data(); }
    void sharedInstance()
    {
        QFETCH(int, kind);
        if (kind == n_SkeletonRow)
            QSKIP("registered for no kind");
        CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(kind);
        QVERIFY(pBackend);
        QCOMPARE(CLS_AutoBase::GetInstance(kind), pBackend);
    }

    // A job the device never saw: not reported by polls, and its burn is refused.
    void unknownJob_data() { backends_data(); }
    void unknownJob()
    {
        QFETCH(int, kind);
        auto pBackend = MakeBackend(kind);
        const QString qstrJobId = QStringLiteral("never-seen");
        BurnResultInfo stStatus;
        QCOMPARE(pBackend->GetJobStatus(qstrJobId, &stStatus), n_BurnJobState_Unknown);
        BurnResultInfo stBurn;
        QVERIFY(pBackend->DoBurn(qstrJobId.toStdString(), &stBurn) != 0);
        QVERIFY(!stBurn.qstrErrMsg.isEmpty());
        QVERIFY(!pBackend->FindJob(qstrJobId, QString()));
        QVERIFY(!pBackend->UpdateJobInfo(qstrJobId, QStringLiteral("L"), QStringLiteral("/p")));
        pBackend->ClearData(qstrJobId);
    }

    // Ids that cannot name a folder reach no file, and no step succeeds with them.
    void refusedJobIds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("jobId");
        QList<int> qlstKinds = RegisteredBurnDevs();
        qlstKinds << n_SkeletonRow;
        for (const int iKind : qlstKinds) {
            for (const char* szJobId : {"", "..", "../escape", "a/b"})
                QTest::addRow("kind %d [%s]", iKind, szJobId) << iKind << QString::fromUtf8(szJobId);
        }
    }
    void refusedJobIds()
    {
        QFETCH(QString, jobId);
        QFETCH(int, kind);
        auto pBackend = MakeBackend(kind);
        const std::string strJobId = jobId.toStdString();
        BurnResultInfo stResult;
        pBackend->InquestBurn(strJobId, 1, 0, "{}", &stResult);
        QVERIFY(pBackend->StartBurn(strJobId, "DVD 4.7GB", "T", "cover", 1, 0, "", "{}", &stResult) != 0);
        BurnFileTask stTask{strJobId, {{"/a/b.mp4", "/b.mp4"}}};
        QVERIFY(pBackend->AddFile(strJobId, stTask, &stResult) != 0);
        pBackend->WriteLabel(strJobId, R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        QVERIFY(pBackend->DoBurn(strJobId, &stResult) != 0);
        QCOMPARE(pBackend->GetJobStatus(jobId, &stResult), n_BurnJobState_Unknown);
        pBackend->ClearData(jobId);
        QCOMPARE(FilesBelow(m_pTmpDir->path()), QStringList());
    }

    // Robot status and printer adjustment: the base's -6, or the device's own answer.
    void baseDefaults_data() { backends_data(); }
    void baseDefaults()
    {
        QFETCH(int, kind);
        auto pBackend = MakeBackend(kind);
        BurnResultInfo stRobot;
        QString qstrStatus;
        const int iRobotRet = pBackend->GetRobotStatus(qstrStatus, &stRobot);
        CheckDefaultOrOwn(iRobotRet, stRobot, qstrStatus);
        if (iRobotRet == 0)
            QVERIFY(QJsonDocument::fromJson(qstrStatus.toUtf8()).isObject());
        BurnResultInfo stAdjust;
        CheckDefaultOrOwn(pBackend->AdjustPrinter("{}", &stAdjust), stAdjust, QString());
        QVERIFY(QJsonDocument::fromJson(pBackend->GetDiscPlace(QStringLiteral("J1")).toUtf8()).isArray());
        QVERIFY(pBackend->StatusPollPauseMs() > 0);
    }

    // The steps before DoBurn write only into the job's work folder and the device's
    // own folders; the job record file goes under "./BurnJob/<job id>/".
    void jobFolderFiles_data() { backends_data(); }
    void jobFolderFiles()
    {
        QFETCH(int, kind);
        auto pBackend = MakeBackend(kind);
        const std::string strJobId = "conf-1";
        BurnResultInfo stResult;
        pBackend->InquestBurn(strJobId, 1, 0, R"({"JobId":"conf-1","CopyCount":1})", &stResult);
        pBackend->StartBurn(strJobId, "DVD 4.7GB", "T", "", 1, 0, "", "{}", &stResult);
        BurnFileTask stTask{strJobId, {{"/a/b.mp4", "/b.mp4"}}};
        pBackend->AddFile(strJobId, stTask, &stResult);
        pBackend->WriteLabel(strJobId, R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        CLS_AutoBase::SaveJobInfo(QStringLiteral("conf-1"), QStringLiteral("StartBurn"), QStringLiteral("{}"));
        pBackend->ClearData(QStringLiteral("conf-1"));
        for (const QString& qstrFile : FilesBelow(m_pTmpDir->path())) {
            QVERIFY2(qstrFile.startsWith(QLatin1String("tmp/BurnFileTemp/conf-1/"))
                         || qstrFile.startsWith(QLatin1String("devices/"))
                         || qstrFile == QLatin1String("BurnJob/conf-1/StartBurn"),
                     qPrintable(qstrFile));
        }
        QVERIFY(QFile::exists(QStringLiteral("BurnJob/conf-1/StartBurn")));
    }

private:
    // A fresh backend of the kind, built as the factory builds it.
    static std::unique_ptr<CLS_AutoBase> MakeBackend(int _iKind)
    {
        if (_iKind == n_SkeletonRow)
            return std::make_unique<CLS_AutoSkeleton>();
        return std::unique_ptr<CLS_AutoBase>(FindBackendCreator(_iKind)(_iKind));
    }

    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_BackendConformance)
#include "tst_BackendConformance.moc"
