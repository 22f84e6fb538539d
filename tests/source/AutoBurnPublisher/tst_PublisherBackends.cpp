// What the Epson and Primera backends share: the job state read from the companion
// files, refused job ids, failing job files, the hand-over copy, disabled labels,
// the factory rows and the folder setting. One body over both backends.
#include <QtTest>

#include <functional>
#include <memory>

#include "CLS_AutoBase.h"
#include "Epson/CLS_AutoEpson.h"
#include "Publisher/PublisherFolders.h"
#include "LogRecorder.h"
#include "Primera/CLS_AutoPrimera.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
// The texts by which each backend names its files and failures.
struct BackendDialect
{
    const char* szName;
    const char* szOrderExt;
    const char* szLabelExt;
    const char* szCreateFailed;
    const char* szNoFiles;
    const char* szOpenFailed;  // %1 job id, %2 path
    const char* szCopyFailed;  // followed by the job id
    const char* szDoBurnFun;
};

const BackendDialect s_arrDialects[] = {
    {"epson", ".jdf", ".data", "创建JDF文件失败", "[Epson][没有文件]", "[Epson][打开文件失败][%1][%2]",
     "[Epson][copy file fail]", "CLS_AutoEpson::DoBurn"},
    {"primera", ".jrq", ".dat", "创建JRQ文件失败", "[Primera][没有文件]", "[Primera][打开文件失败][%1][%2]",
     "[Primera][copy file fail]", "CLS_AutoPrimera::DoBurn"},
};

std::unique_ptr<CLS_AutoBase> MakeBackend(int _iDialect, const QString& _qstrOrderDir)
{
    if (_iDialect == 0)
        return std::make_unique<CLS_AutoEpson>(_qstrOrderDir.toStdString());
    return std::make_unique<CLS_AutoPrimera>(_qstrOrderDir.toStdString());
}

QStringList FilesBelow(const QString& _qstrDir)
{
    QStringList qstrlstFiles;
    QDirIterator qdirIt(_qstrDir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (qdirIt.hasNext())
        qstrlstFiles << qdirIt.next();
    return qstrlstFiles;
}

int StartJob(CLS_AutoBase& _backend, const std::string& _strJobId, BurnResultInfo* _pResult)
{
    return _backend.StartBurn(_strJobId, "DVD 4.7GB", "T", "", 1, 0, "", "{}", _pResult);
}
}  // namespace

class tst_PublisherBackends : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
    }

    // Each case gets a temporary folder of its own, made in the system's one.
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_publisher-XXXXXX"));
        QVERIFY(m_pTmpDir->isValid());
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        m_qstrOrderDir = m_pTmpDir->path() + QStringLiteral("/orders/");
        QVERIFY(QDir().mkpath(m_qstrOrderDir));
        LogRecorder::clear();
    }

    // The order file wins over any companion; then .rjd/.qrj, .inf/.inp, .don, .err, .stp.
    void stateFromCompanionFiles_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("state");
        const struct
        {
            const char* szCase;
            QStringList qstrlstFiles;  // "order" stands for the backend's order extension
            int iState;
        } arrCases[] = {
            {"order only", {"order"}, 0},
            {"order and done", {"order", ".don"}, 0},
            {"order and error", {"order", ".err"}, 0},
            {"rjd and qrj", {".rjd", ".qrj"}, 1},
            {"qrj", {".qrj"}, 1},
            {"qrj before inp", {".qrj", ".inp"}, 1},
            {"inf and inp", {".inf", ".inp"}, 2},
            {"inp", {".inp"}, 2},
            {"inp before done", {".inp", ".don"}, 2},
            {"done over error", {".don", ".err"}, 3},
            {"done over paused", {".don", ".stp"}, 3},
            {"error", {".err"}, 4},
            {"error over paused", {".err", ".stp"}, 4},
            {"paused", {".stp"}, 5},
            {"nothing", {}, -1},
            {"only a foreign file", {".result.txt", ".jdfx"}, -1},
        };
        for (int iDialect = 0; iDialect < 2; ++iDialect) {
            for (const auto& stCase : arrCases)
                QTest::addRow("%s: %s", s_arrDialects[iDialect].szName, stCase.szCase)
                    << iDialect << stCase.qstrlstFiles << stCase.iState;
        }
    }
    void stateFromCompanionFiles()
    {
        QFETCH(int, dialect);
        QFETCH(QStringList, files);
        QFETCH(int, state);
        for (const QString& qstrExt : files) {
            const QString qstrFileExt =
                qstrExt == QLatin1String("order") ? QLatin1String(s_arrDialects[dialect].szOrderExt) : qstrExt;
            QVERIFY(WriteBytes(m_qstrOrderDir + QStringLiteral("J7") + qstrFileExt, "JOB\r\n"));
        }
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        BurnResultInfo stResult;
        QCOMPARE(pBackend->GetJobStatus(QStringLiteral("J7"), &stResult), state);
        QVERIFY(stResult.qstrErrCode.isEmpty());  // no status file: no vendor code
        QVERIFY(stResult.qstrErrMsg.isEmpty());
    }

    void refusedJobIds_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::addColumn<QString>("jobId");
        for (int iDialect = 0; iDialect < 2; ++iDialect) {
            for (const char* szJobId : {"", ".", "..", "../escape", "a/b", "a\\b", "line\nbreak"})
                QTest::addRow("%s: [%s]", s_arrDialects[iDialect].szName, szJobId) << iDialect << QString(szJobId);
        }
    }
    void refusedJobIds()
    {
        QFETCH(int, dialect);
        QFETCH(QString, jobId);
        const BackendDialect& stDialect = s_arrDialects[dialect];
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        const std::string strJobId = jobId.toStdString();

        BurnResultInfo stStart;
        QCOMPARE(StartJob(*pBackend, strJobId, &stStart), 1);
        QCOMPARE(stStart.qstrErrMsg, QString::fromUtf8(stDialect.szCreateFailed));
        BurnFileTask stTask = MakeTask(strJobId, {{"/a/b.mp4", "/"}});
        BurnResultInfo stAdd;
        QCOMPARE(pBackend->AddFile(strJobId, stTask, &stAdd), -1);
        const QString qstrOpenFailed = QString::fromUtf8(stDialect.szOpenFailed).arg(jobId, QString()).chopped(2);
        QVERIFY2(stAdd.qstrErrMsg.startsWith(qstrOpenFailed), qPrintable(stAdd.qstrErrMsg));
        BurnResultInfo stBurn;
        QCOMPARE(pBackend->DoBurn(strJobId, &stBurn), -1);
        QCOMPARE(stBurn.qstrErrMsg, QString::fromUtf8(stDialect.szCopyFailed) + jobId);
        QCOMPARE(pBackend->WriteLabel(strJobId, R"({"LabelInfo":{"UpperOne":"x"}})", nullptr), 0);
        // An order that "../escape" would reach from the order folder.
        const QString qstrBait = m_pTmpDir->path() + QStringLiteral("/escape") + stDialect.szOrderExt;
        QVERIFY(WriteBytes(qstrBait, "JOB\r\n"));
        QCOMPARE(pBackend->GetJobStatus(jobId, nullptr), -1);
        QCOMPARE(FilesBelow(m_pTmpDir->path()), QStringList(qstrBait));
    }

    void emptyFileList_data() { dialects(); }
    void emptyFileList()
    {
        QFETCH(int, dialect);
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        QCOMPARE(StartJob(*pBackend, "J1", nullptr), 0);
        BurnFileTask stTask = MakeTask("J1", {});
        BurnResultInfo stResult;
        QCOMPARE(pBackend->AddFile("J1", stTask, &stResult), -2);
        QCOMPARE(stResult.qstrErrMsg, QString::fromUtf8(s_arrDialects[dialect].szNoFiles));
    }

    // A work file that cannot be opened: a folder stands where it belongs.
    void workFileCannotBeOpened_data() { dialects(); }
    void workFileCannotBeOpened()
    {
        QFETCH(int, dialect);
        const BackendDialect& stDialect = s_arrDialects[dialect];
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        const QString qstrWorkFile =
            m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/J2/J2") + QLatin1String(stDialect.szOrderExt);
        QVERIFY(QDir().mkpath(qstrWorkFile));

        BurnResultInfo stStart;
        QCOMPARE(StartJob(*pBackend, "J2", &stStart), 1);
        QCOMPARE(stStart.qstrErrMsg, QString::fromUtf8(stDialect.szCreateFailed));
        BurnFileTask stTask = MakeTask("J2", {{"/a/b.mp4", "/"}, {"/a/c.mp4", "/c/"}});
        BurnResultInfo stAdd;
        QCOMPARE(pBackend->AddFile("J2", stTask, &stAdd), -1);
        QCOMPARE(stAdd.qstrErrMsg, QString::fromUtf8(stDialect.szOpenFailed).arg(QStringLiteral("J2"), qstrWorkFile));
        QCOMPARE(stTask.vecFiles.size(), size_t(2));
    }

    // The work file lands in the order folder, replacing an earlier order and making
    // a missing folder; the task's list is used up.
    void handOver_data() { dialects(); }
    void handOver()
    {
        QFETCH(int, dialect);
        const BackendDialect& stDialect = s_arrDialects[dialect];
        const QString qstrOrderDir = m_pTmpDir->path() + QStringLiteral("/not/yet/there/");
        auto pBackend = MakeBackend(dialect, qstrOrderDir);
        QCOMPARE(StartJob(*pBackend, "J3", nullptr), 0);
        BurnFileTask stTask = MakeTask("J3", {{"/a/b.mp4", "/"}});
        QCOMPARE(pBackend->AddFile("J3", stTask, nullptr), 0);
        QVERIFY(stTask.vecFiles.empty());
        const QString qstrTarget = qstrOrderDir + QStringLiteral("J3") + stDialect.szOrderExt;
        QCOMPARE(pBackend->DoBurn("J3", nullptr), 0);
        const QByteArray qbaWork =
            ReadBytes(m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/J3/J3") + stDialect.szOrderExt);
        QVERIFY(qbaWork.contains("DATA="));
        QCOMPARE(ReadBytes(qstrTarget), qbaWork);

        QVERIFY(WriteBytes(qstrTarget, "STALE ORDER\r\n"));
        QCOMPARE(pBackend->DoBurn("J3", nullptr), 0);
        QCOMPARE(ReadBytes(qstrTarget), qbaWork);
        QCOMPARE(pBackend->GetJobStatus(QStringLiteral("J3"), nullptr), 0);
    }

    // An order folder that cannot be made: three attempts, then -1.
    void handOverFails_data() { dialects(); }
    void handOverFails()
    {
        QFETCH(int, dialect);
        const BackendDialect& stDialect = s_arrDialects[dialect];
        QVERIFY(WriteBytes(m_pTmpDir->path() + QStringLiteral("/blocker"), "a file, not a folder"));
        auto pBackend = MakeBackend(dialect, m_pTmpDir->path() + QStringLiteral("/blocker/orders/"));
        QCOMPARE(StartJob(*pBackend, "J4", nullptr), 0);
        LogRecorder::clear();
        BurnResultInfo stResult;
        QCOMPARE(pBackend->DoBurn("J4", &stResult), -1);
        QCOMPARE(stResult.qstrErrMsg, QString::fromUtf8(stDialect.szCopyFailed) + QStringLiteral("J4"));
        const QString qstrAttempt = QStringLiteral("FUN=%1, jobid=J4, copy file fail").arg(stDialect.szDoBurnFun);
        const QString qstrGaveUp =
            QStringLiteral("FUN=%1, jobid=J4, blCopyRet==false copy file fail").arg(stDialect.szDoBurnFun);
        int iAttempts = 0;
        int iGaveUp = 0;
        for (const QString& qstrLine : LogRecorder::lines()) {
            iAttempts += qstrLine.endsWith(qstrAttempt) ? 1 : 0;
            iGaveUp += qstrLine.contains(qstrGaveUp) ? 1 : 0;
        }
        QCOMPARE(iAttempts, 3);
        QCOMPARE(iGaveUp, 1);
    }

    // "enable" "0" (a text) touches no label file; any other value writes it.
    void labelEnable_data()
    {
        QTest::addColumn<int>("dialect");
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("written");
        for (int iDialect = 0; iDialect < 2; ++iDialect) {
            const char* szName = s_arrDialects[iDialect].szName;
            QTest::addRow("%s: disabled, no earlier file", szName)
                << iDialect << false << QByteArray(R"({"enable":"0","LabelInfo":{"UpperOne":"new"}})") << false;
            QTest::addRow("%s: disabled, earlier file stays", szName)
                << iDialect << true << QByteArray(R"({"enable":"0","LabelInfo":{"UpperOne":"new"}})") << false;
            QTest::addRow("%s: enable number 0 is not the text", szName)
                << iDialect << true << QByteArray(R"({"enable":0,"LabelInfo":{"UpperOne":"new"}})") << true;
            QTest::addRow("%s: enable 1", szName)
                << iDialect << true << QByteArray(R"({"enable":"1","LabelInfo":{"UpperOne":"new"}})") << true;
            QTest::addRow("%s: enable missing", szName)
                << iDialect << false << QByteArray(R"({"LabelInfo":{"UpperOne":"new"}})") << true;
            QTest::addRow("%s: not JSON", szName) << iDialect << false << QByteArray("not json") << true;
        }
    }
    void labelEnable()
    {
        QFETCH(int, dialect);
        QFETCH(bool, earlierFile);
        QFETCH(QByteArray, request);
        QFETCH(bool, written);
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        const QString qstrLabelFile =
            m_pTmpDir->path() + QStringLiteral("/BurnFileTemp/J5/J5") + s_arrDialects[dialect].szLabelExt;
        const QByteArray qbaEarlier = "EARLIER LABEL FILE";
        if (earlierFile)
            QVERIFY(WriteBytes(qstrLabelFile, qbaEarlier));
        QCOMPARE(pBackend->WriteLabel("J5", request.toStdString(), nullptr), 0);
        const QByteArray qbaNow = ReadBytes(qstrLabelFile);
        if (!written) {
            QCOMPARE(qbaNow, earlierFile ? qbaEarlier : QByteArray("<missing>"));
            return;
        }
        QVERIFY(qbaNow != qbaEarlier && qbaNow != "<missing>");
        QCOMPARE(qbaNow.contains("new"), !request.startsWith("not"));
    }

    // The device takes every job and cannot withdraw one; the rest is the base's.
    void fixedAnswers_data() { dialects(); }
    void fixedAnswers()
    {
        QFETCH(int, dialect);
        auto pBackend = MakeBackend(dialect, m_qstrOrderDir);
        BurnResultInfo stResult;
        QVERIFY(pBackend->Init(&stResult));
        QCOMPARE(pBackend->InquestBurn("J6", 1, 0, "{}", &stResult), 0);
        QCOMPARE(pBackend->CancelBurn("J6"), 0);
        QCOMPARE(pBackend->ClearData(QStringLiteral("J6")), 0);
        QString qstrStatus;
        QCOMPARE(pBackend->GetRobotStatus(qstrStatus, &stResult), -6);
        QCOMPARE(pBackend->AdjustPrinter("{}", &stResult), -6);
        QCOMPARE(pBackend->GetDiscPlace(QStringLiteral("J6")), QStringLiteral("[]"));
        QVERIFY(!pBackend->FindJob(QStringLiteral("J6"), QString()));
        QVERIFY(FilesBelow(m_pTmpDir->path()).isEmpty());
    }

    // Kinds 2 and 3 make these backends, in the folders the setting names.
    void factoryUsesTheSetting()
    {
        qputenv(g_szPublisherRootVar, (m_pTmpDir->path() + QStringLiteral("/root")).toUtf8());
        CLS_AutoBase* pEpson = CLS_AutoBase::GetInstance(2);
        CLS_AutoBase* pPrimera = CLS_AutoBase::GetInstance(3);
        qunsetenv(g_szPublisherRootVar);
        QVERIFY(qobject_cast<CLS_AutoEpson*>(pEpson));
        QVERIFY(qobject_cast<CLS_AutoPrimera*>(pPrimera));
        QCOMPARE(CLS_AutoBase::GetInstance(2), pEpson);
        QCOMPARE(CLS_AutoBase::GetInstance(3), pPrimera);
        for (CLS_AutoBase* pBackend : {pEpson, pPrimera}) {
            QCOMPARE(StartJob(*pBackend, "J8", nullptr), 0);
            QCOMPARE(pBackend->DoBurn("J8", nullptr), 0);
        }
        QVERIFY(QFile::exists(m_pTmpDir->path() + QStringLiteral("/root/EPSON/TDBridge/Orders/J8.jdf")));
        QVERIFY(QFile::exists(m_pTmpDir->path() + QStringLiteral("/root/PTBurnJobs/J8.jrq")));
        // The factory keeps its backends for the life of the process; this test hands them back.
        delete CLS_AutoBase::InstallInstance(2, nullptr);
        delete CLS_AutoBase::InstallInstance(3, nullptr);
    }

    void folderSetting_data()
    {
        QTest::addColumn<QByteArray>("root");
        QTest::addColumn<QString>("epsonDir");
        QTest::addColumn<QString>("primeraDir");
        const QString qstrHome = QDir::homePath() + QStringLiteral("/BurnPublisher");
        const QString qstrHere = QDir::currentPath();
        QTest::newRow("absolute") << QByteArray("/srv/pub") << QStringLiteral("/srv/pub/EPSON/TDBridge/Orders/")
                                  << QStringLiteral("/srv/pub/PTBurnJobs/");
        QTest::newRow("trailing slash") << QByteArray("/srv/pub/") << QStringLiteral("/srv/pub/EPSON/TDBridge/Orders/")
                                        << QStringLiteral("/srv/pub/PTBurnJobs/");
        QTest::newRow("untidy") << QByteArray("/srv//x/../pub") << QStringLiteral("/srv/pub/EPSON/TDBridge/Orders/")
                                << QStringLiteral("/srv/pub/PTBurnJobs/");
        QTest::newRow("file-system root") << QByteArray("/") << QStringLiteral("/EPSON/TDBridge/Orders/")
                                          << QStringLiteral("/PTBurnJobs/");
        QTest::newRow("relative") << QByteArray("pub") << qstrHere + QStringLiteral("/pub/EPSON/TDBridge/Orders/")
                                  << qstrHere + QStringLiteral("/pub/PTBurnJobs/");
        QTest::newRow("empty") << QByteArray("") << qstrHome + QStringLiteral("/EPSON/TDBridge/Orders/")
                               << qstrHome + QStringLiteral("/PTBurnJobs/");
        QTest::newRow("unset") << QByteArray() << qstrHome + QStringLiteral("/EPSON/TDBridge/Orders/")
                               << qstrHome + QStringLiteral("/PTBurnJobs/");
    }
    void folderSetting()
    {
        QFETCH(QByteArray, root);
        QFETCH(QString, epsonDir);
        QFETCH(QString, primeraDir);
        if (root.isNull())
            qunsetenv(g_szPublisherRootVar);
        else
            qputenv(g_szPublisherRootVar, root);
        const QString qstrEpson = QString::fromStdString(EpsonOrderDir());
        const QString qstrPrimera = QString::fromStdString(PrimeraJobDir());
        qunsetenv(g_szPublisherRootVar);
        QCOMPARE(qstrEpson, epsonDir);
        QCOMPARE(qstrPrimera, primeraDir);
    }

    void cleanup()
    {
        m_pTmpDir.reset();
        qputenv("TMPDIR", m_qstrSystemTemp.toUtf8());
    }

private:
    static void dialects()
    {
        QTest::addColumn<int>("dialect");
        for (int iDialect = 0; iDialect < 2; ++iDialect)
            QTest::newRow(s_arrDialects[iDialect].szName) << iDialect;
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrOrderDir;
};

QTEST_GUILESS_MAIN(tst_PublisherBackends)
#include "tst_PublisherBackends.moc"
