// The backend contract: what every backend shares, over every registered device kind and the
// skeleton (a new backend gets these checks by being registered), each case on a fresh backend
// with folders of its own; the factory builds each kind once.
#include <QtTest>

#include <memory>

#include "BurnBackendRegistry.h"
#include "BurnDefine.h"
#include "CLS_AutoBase.h"
#include "LogRecorder.h"
#include "Skeleton/CLS_AutoSkeleton.h"

namespace
{
constexpr int n_SkeletonRow = -1;

QStringList FilesBelow(const QString& _qstrDir)
{
    QStringList qstrlstFiles;
    QDirIterator qdirIt(_qstrDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (qdirIt.hasNext())
        qstrlstFiles << QDir(_qstrDir).relativeFilePath(qdirIt.next());
    return qstrlstFiles;
}
}  // namespace

class tst_BackendConformance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { LogRecorder::install(); }

    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        qputenv("TMPDIR", m_pTmpDir->filePath(QStringLiteral("tmp")).toUtf8());
        qputenv("BURNMODULE_PUBLISHER_ROOT", m_pTmpDir->filePath(QStringLiteral("devices")).toUtf8());
        QVERIFY(QDir().mkpath(m_pTmpDir->filePath(QStringLiteral("tmp"))));
    }

    void jobsTheDeviceDoesNotHave_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("jobId");
        for (const int iKind : RegisteredBurnDevs() + QList<int>{n_SkeletonRow}) {
            for (const char* szJobId : {"never-seen", "", ".", "..", "../escape", "a/b", "a\\b", "line\nbreak"})
                QTest::addRow("kind %d [%s]", iKind, szJobId) << iKind << QString::fromUtf8(szJobId);
        }
    }
    // A job the device never saw is not reported by polls and its burn is refused; with an
    // id that cannot name a folder no step succeeds. Either way no file is written.
    void jobsTheDeviceDoesNotHave()
    {
        QFETCH(int, kind);
        QFETCH(QString, jobId);
        const std::unique_ptr<CLS_AutoBase> pBackend(MakeBackend(kind));
        const std::string strJobId = jobId.toStdString();
        BurnResultInfo stResult;
        if (jobId != QLatin1String("never-seen")) {
            QVERIFY(pBackend->StartBurn(strJobId, "DVD 4.7GB", "T", "cover", 1, 0, "", "{}", &stResult) != 0);
            BurnFileTask stTask{strJobId, {{"/a/b.mp4", "/b.mp4"}}};
            QVERIFY(pBackend->AddFile(strJobId, stTask, &stResult) != 0);
            pBackend->WriteLabel(strJobId, R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        }
        QVERIFY(pBackend->DoBurn(strJobId, &stResult) != 0);
        QVERIFY(!stResult.qstrErrMsg.isEmpty());
        QCOMPARE(pBackend->GetJobStatus(jobId, &stResult), n_BurnJobState_Unknown);
        QVERIFY(!pBackend->FindJob(jobId, QString()));
        QVERIFY(QJsonDocument::fromJson(pBackend->GetDiscPlace(jobId).toUtf8()).isArray());
        pBackend->ClearData(jobId);
        QCOMPARE(FilesBelow(m_pTmpDir->path()), QStringList());
    }

    void backends_data()
    {
        QTest::addColumn<int>("kind");
        for (const int iKind : RegisteredBurnDevs() + QList<int>{n_SkeletonRow})
            QTest::addRow("kind %d", iKind) << iKind;
    }

    // Robot status and printer adjustment: the base's -6 with its text, or the device's
    // own answer (a robot status is a JSON object).
    void baseDefaults_data() { backends_data(); }
    void baseDefaults()
    {
        QFETCH(int, kind);
        const std::unique_ptr<CLS_AutoBase> pBackend(MakeBackend(kind));
        const QString qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
        BurnResultInfo stRobot;
        QString qstrStatus;
        const int iRobotRet = pBackend->GetRobotStatus(qstrStatus, &stRobot);
        QVERIFY(iRobotRet == 0 ? QJsonDocument::fromJson(qstrStatus.toUtf8()).isObject()
                               : iRobotRet != -6 || (stRobot.qstrErrMsg == qstrUnsupported && qstrStatus.isEmpty()));
        BurnResultInfo stAdjust;
        const int iAdjustRet = pBackend->AdjustPrinter("{}", &stAdjust);
        QVERIFY(iAdjustRet != -6 || stAdjust.qstrErrMsg == qstrUnsupported);
        QVERIFY(pBackend->StatusPollPauseMs() > 0);
    }

    // The steps before DoBurn write only into the job's work folder and the device's own
    // folders; the job's record files go under "./BurnJob/<job id>/".
    void jobFolderFiles_data() { backends_data(); }
    void jobFolderFiles()
    {
        QFETCH(int, kind);
        const std::unique_ptr<CLS_AutoBase> pBackend(MakeBackend(kind));
        const QString qstrCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
        BurnResultInfo stResult;
        pBackend->InquestBurn("conf-1", 1, 0, R"({"JobId":"conf-1","CopyCount":1})", &stResult);
        pBackend->StartBurn("conf-1", "DVD 4.7GB", "T", "", 1, 0, "", "{}", &stResult);
        BurnFileTask stTask{"conf-1", {{"/a/b.mp4", "/b.mp4"}}};
        pBackend->AddFile("conf-1", stTask, &stResult);
        pBackend->WriteLabel("conf-1", R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        CLS_AutoBase::SaveJobInfo(QStringLiteral("conf-1"), QStringLiteral("StartBurn"), QStringLiteral("{}"));
        pBackend->ClearData(QStringLiteral("conf-1"));
        QDir::setCurrent(qstrCurrent);
        const QStringList qstrlstFiles = FilesBelow(m_pTmpDir->path());
        QVERIFY(qstrlstFiles.contains(QStringLiteral("BurnJob/conf-1/StartBurn")));
        for (const QString& qstrFile : qstrlstFiles)
            QVERIFY2(qstrFile.startsWith(QLatin1String("tmp/BurnFileTemp/conf-1/"))
                         || qstrFile.startsWith(QLatin1String("devices/"))
                         || qstrFile.startsWith(QLatin1String("BurnJob/conf-1/")),
                     qPrintable(qstrFile));
    }

    void factory_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("built");
        const QList<int> qlstRegistered = RegisteredBurnDevs();
        for (const int iKind : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1000}) {
            const bool blBuilt = qlstRegistered.contains(iKind);
            QTest::addRow("kind %d%s", iKind, blBuilt ? "" : ", no backend") << iKind << blBuilt;
        }
    }
    void factory()
    {
        QFETCH(int, kind);
        QFETCH(bool, built);
        CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(kind);
        QCOMPARE(pBackend != nullptr, built);
        QCOMPARE(CLS_AutoBase::GetInstance(kind), pBackend);
        // Handed back, so the leak check at the end sees no backend left behind.
        delete CLS_AutoBase::InstallInstance(kind, nullptr);
    }

private:
    // A fresh backend of the kind, built as the factory builds it.
    static CLS_AutoBase* MakeBackend(int _iKind)
    {
        return _iKind == n_SkeletonRow ? new CLS_AutoSkeleton : FindBackendCreator(_iKind)(_iKind);
    }

    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_BackendConformance)
#include "tst_BackendConformance.moc"
