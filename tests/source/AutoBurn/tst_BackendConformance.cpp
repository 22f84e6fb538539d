// What every backend shares, run over every registered device kind and the skeleton
// backend: a new backend gets these checks by being registered. Each case builds a
// fresh backend whose folders (work files, publishers' watched folders) lie in a
// temporary folder of its own. The factory itself: tst_CLS_AutoBase.
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

// A fresh backend of the kind, built as the factory builds it.
std::unique_ptr<CLS_AutoBase> MakeBackend(int _iKind)
{
    if (_iKind == n_SkeletonRow)
        return std::make_unique<CLS_AutoSkeleton>();
    return std::unique_ptr<CLS_AutoBase>(FindBackendCreator(_iKind)(_iKind));
}

void AddKindRows()
{
    QTest::addColumn<int>("kind");
    for (const int iKind : RegisteredBurnDevs() + QList<int>{n_SkeletonRow})
        QTest::addRow("kind %d", iKind) << iKind;
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
        auto pBackend = MakeBackend(kind);
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

    // Robot status and printer adjustment: the base's -6 with its text, or the device's
    // own answer. A job's steps before DoBurn write only into its work folder and the
    // device's own folders.
    void defaultsAndFiles_data() { AddKindRows(); }
    void defaultsAndFiles()
    {
        QFETCH(int, kind);
        auto pBackend = MakeBackend(kind);
        BurnResultInfo stRobot;
        QString qstrStatus;
        if (pBackend->GetRobotStatus(qstrStatus, &stRobot) == n_BurnRet_Unsupported)
            QCOMPARE(stRobot.qstrErrMsg, QString::fromUtf8(g_szUnsupportedDevMsg));
        BurnResultInfo stAdjust;
        if (pBackend->AdjustPrinter("{}", &stAdjust) == n_BurnRet_Unsupported)
            QCOMPARE(stAdjust.qstrErrMsg, QString::fromUtf8(g_szUnsupportedDevMsg));
        QVERIFY(pBackend->StatusPollPauseMs() > 0);
        BurnResultInfo stResult;
        pBackend->InquestBurn("conf-1", 1, 0, R"({"JobId":"conf-1","CopyCount":1})", &stResult);
        pBackend->StartBurn("conf-1", "DVD 4.7GB", "T", "", 1, 0, "", "{}", &stResult);
        BurnFileTask stTask{"conf-1", {{"/a/b.mp4", "/b.mp4"}}};
        pBackend->AddFile("conf-1", stTask, &stResult);
        pBackend->WriteLabel("conf-1", R"({"LabelInfo":{"UpperOne":"x"}})", &stResult);
        pBackend->ClearData(QStringLiteral("conf-1"));
        for (const QString& qstrFile : FilesBelow(m_pTmpDir->path()))
            QVERIFY2(qstrFile.startsWith("tmp/BurnFileTemp/conf-1/") || qstrFile.startsWith("devices/"), qPrintable(qstrFile));
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_BackendConformance)
#include "tst_BackendConformance.moc"
