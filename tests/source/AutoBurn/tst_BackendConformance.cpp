// The backend contract over every registered device kind and the skeleton (a new backend gets
// these checks by being registered), each case on a fresh backend with folders of its own.
#include <QtTest>

#include <memory>

#include "BurnBackendRegistry.h"
#include "BurnDefine.h"
#include "CLS_AutoBase.h"
#include "JobFolder.h"
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

    // The working directory, where job record files go, is the temporary folder too.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        qputenv("TMPDIR", m_pTmpDir->filePath(QStringLiteral("tmp")).toUtf8());
        qputenv("BURNMODULE_PUBLISHER_ROOT", m_pTmpDir->filePath(QStringLiteral("devices")).toUtf8());
        qputenv("BURNMODULE_SCAN_DRIVES", "0");  // the local drive backend without the machine's drives
        QVERIFY(QDir().mkpath(m_pTmpDir->filePath(QStringLiteral("tmp"))));
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
        LogRecorder::clear();
    }
    void cleanup() { QDir::setCurrent(QDir::tempPath()); }

    void contract_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("jobId");
        for (const int iKind : RegisteredBurnDevs() + QList<int>{n_SkeletonRow}) {
            for (const char* szId : {"never-seen", "", ".", "..", "../escape", "a/b", "a\\b", "line\nbreak"})
                QTest::addRow("kind %d [%s]", iKind, szId) << iKind << QString::fromUtf8(szId);
        }
    }
    // A job the device never saw is not reported by polls and its burn is refused; with an id
    // that cannot name a folder no step succeeds and its record files are refused, logged.
    // Beside the unseen job, a fresh backend's answers: robot status and printer adjustment
    // give the base's -6 with its text or a JSON object; the steps before DoBurn write only
    // into the job's work folder and the device's own; record files go to "./BurnJob/<id>/".
    void contract()
    {
        QFETCH(int, kind);
        QFETCH(QString, jobId);
        // A fresh backend, built as the factory builds it.
        const std::unique_ptr<CLS_AutoBase> pBackend(kind == n_SkeletonRow ? new CLS_AutoSkeleton
                                                                           : FindBackendCreator(kind)(kind));
        const std::string strJobId = jobId.toStdString();
        BurnResultInfo stResult;
        if (jobId != QLatin1String("never-seen")) {
            QVERIFY(pBackend->StartBurn(strJobId, "DVD 4.7GB", "T", "cover", 1, 0, "", "{}", &stResult) != 0);
            BurnFileTask stTask{strJobId, {{"/a/b.mp4", "/b.mp4"}}};
            QVERIFY(pBackend->AddFile(strJobId, stTask, &stResult) != 0);
            pBackend->WriteLabel(strJobId, R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
            CLS_AutoBase::SaveJobInfo(jobId, "StartBurn", "{}");
            RemoveJobInfoDir("test", jobId);
            QCOMPARE(LogRecorder::lines().filter(" SaveJobInfo refused: job id [" + jobId + "]").size(), 2);
        }
        QVERIFY(pBackend->DoBurn(strJobId, &stResult) != 0);
        QVERIFY(!stResult.qstrErrMsg.isEmpty());
        QCOMPARE(pBackend->GetJobStatus(jobId, &stResult), n_BurnJobState_Unknown);
        QVERIFY(!pBackend->FindJob(jobId, QString()));
        QVERIFY(QJsonDocument::fromJson(pBackend->GetDiscPlace(jobId).toUtf8()).isArray());
        pBackend->ClearData(jobId);
        QCOMPARE(FilesBelow(m_pTmpDir->path()), QStringList());
        QVERIFY(!QFileInfo::exists("BurnJob"));
        if (jobId != QLatin1String("never-seen"))
            return;

        const QString qstrUnsupported = QStringLiteral("设备类型错误，没有满足需求的刻录机");
        stResult = BurnResultInfo();
        QString qstrStatus;
        const int iRobotRet = pBackend->GetRobotStatus(qstrStatus, &stResult);
        if (iRobotRet == 0)
            QVERIFY(QJsonDocument::fromJson(qstrStatus.toUtf8()).isObject());
        else
            QVERIFY(iRobotRet != -6 || (stResult.qstrErrMsg == qstrUnsupported && qstrStatus.isEmpty()));
        stResult = BurnResultInfo();
        QVERIFY(pBackend->AdjustPrinter("{}", &stResult) != -6 || stResult.qstrErrMsg == qstrUnsupported);
        QVERIFY(pBackend->StatusPollPauseMs() > 0);

        pBackend->InquestBurn("conf-1", 1, 0, R"({"JobId":"conf-1","CopyCount":1})", &stResult);
        pBackend->StartBurn("conf-1", "DVD 4.7GB", "T", "", 1, 0, "", "{}", &stResult);
        BurnFileTask stTask{"conf-1", {{"/a/b.mp4", "/b.mp4"}}};
        pBackend->AddFile("conf-1", stTask, &stResult);
        pBackend->WriteLabel("conf-1", R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        CLS_AutoBase::SaveJobInfo("conf-1", "StartBurn", "{}");
        pBackend->ClearData(QStringLiteral("conf-1"));
        const QStringList qstrlstFiles = FilesBelow(m_pTmpDir->path());
        QVERIFY(qstrlstFiles.contains(QStringLiteral("BurnJob/conf-1/StartBurn")));
        const QRegularExpression qregAllowed("^(tmp/BurnFileTemp/conf-1/|devices/|BurnJob/conf-1/)");
        for (const QString& qstrFile : qstrlstFiles)
            QVERIFY2(qregAllowed.match(qstrFile).hasMatch(), qPrintable(qstrFile));

        // The factory builds the kind once (none for the skeleton); handed back for the leak check.
        CLS_AutoBase* pInstance = CLS_AutoBase::GetInstance(kind);
        QCOMPARE(pInstance != nullptr, kind != n_SkeletonRow);
        QCOMPARE(CLS_AutoBase::GetInstance(kind), pInstance);
        delete CLS_AutoBase::InstallInstance(kind, nullptr);
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_BackendConformance)
#include "tst_BackendConformance.moc"
