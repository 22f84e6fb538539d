// The backend contract: what every backend shares, over every registered device kind and the
// skeleton (a new backend gets these checks by being registered), each case on a fresh backend
// with folders of its own; the factory builds each kind once. Base defaults: the bus tests.
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
        // A fresh backend of the kind, built as the factory builds it.
        const std::unique_ptr<CLS_AutoBase> pBackend(kind == n_SkeletonRow ? new CLS_AutoSkeleton
                                                                           : FindBackendCreator(kind)(kind));
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
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_BackendConformance)
#include "tst_BackendConformance.moc"
