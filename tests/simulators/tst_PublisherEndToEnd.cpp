// Jobs from "ApplyBurn" to the final "BurnStatusReply" through burnhost --stdio and pubsim, over both
// device kinds: replies, the simulator's state lines, result files, TDBStatus.txt, its stop by SIGTERM.
// Then an Epson backend and the simulator alone: an order naming a stale publisher.
#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

#include "Epson/CLS_AutoEpson.h"
#include "PublisherTestKit.h"

using namespace PublisherTestKit;

namespace
{
constexpr int n_WaitMs = 15000;

QByteArray Request(const QString& _qstrCmd, const QString& _qstrJobId, QJsonObject _qjsonParam)
{
    _qjsonParam.insert("JobId", _qstrJobId);
    const QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "test"}, {"sender", "tester"},
                               {"msgId", _qstrJobId + "-" + _qstrCmd}, {"cmdtype", "request"},
                               {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0}, {"param", _qjsonParam}}}};
    return QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact) + '\n';
}
}  // namespace

class tst_PublisherEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>(m_qstrSystemTemp + QStringLiteral("/tst_e2e-XXXXXX"));
        m_qstrSources = m_pTmpDir->path() + QStringLiteral("/src/");
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("video.mp4"), QByteArray(4096, 'v')));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/a.txt"), "hello\n"));
        QVERIFY(WriteBytes(m_qstrSources + QStringLiteral("docs/b.txt"), "world!!\n"));
        m_qstrRoot = m_pTmpDir->path() + QStringLiteral("/pub");
        m_qenv = QProcessEnvironment::systemEnvironment();
        m_qenv.insert("TMPDIR", m_pTmpDir->path());
        m_qenv.insert("BURNMODULE_PUBLISHER_ROOT", m_qstrRoot);
        m_qenv.insert("BURNMODULE_TIME_SCALE", "0.01");
    }
    void cleanup() { qputenv("TMPDIR", m_qstrSystemTemp.toUtf8()); }

    // Fifty jobs at once, of both kinds, some failing, the simulator at its fastest. Each step
    // goes to every job once all answered the one before; every step is answered once, then
    // one final status reply comes; the job folder goes; the simulator's lines, result
    // files and status file tell what it did.
    void jobsEndWithTheirFinalStatus()
    {
        QStringList qstrlstJobs;      // ids "E..." are Epson's (kind 2), "P..." Primera's (3); "?F-..." fail
        QStringList qstrlstExpected;  // "<job id> <status> <errCode>"
        for (int iJob = 10; iJob < 60; ++iJob) {
            const bool blFails = iJob % 10 < 2;
            qstrlstJobs << QString(iJob % 2 ? "P" : "E") + (blFails ? "F-" : "-") + QString::number(iJob);
            qstrlstExpected << qstrlstJobs.last() + (blFails ? (iJob % 2 ? " 4 " : " 4 SIM4711") : " 3 ");
        }
        QProcess pubsim;
        pubsim.setProcessEnvironment(m_qenv);
        pubsim.setStandardOutputFile(m_pTmpDir->filePath(QStringLiteral("pubsim.out")));
        pubsim.start(PUBSIM_PATH, {"--step-ms", "0", "--fail", "EF-*=SIM4711", "--fail", "PF-*"});
        QTRY_VERIFY_WITH_TIMEOUT(PubsimOutput().startsWith("ready "), n_WaitMs);
        QProcess host;
        host.setProcessEnvironment(m_qenv);
        host.start(BURNHOST_PATH, {"--stdio", "--data-dir", m_pTmpDir->path() + "/host"});
        const QJsonArray qjsonFiles{QJsonObject{{"srcFile", m_qstrSources + "video.mp4"}, {"DesFile", "/video/"}},
                                    QJsonObject{{"srcFile", m_qstrSources + "docs"}, {"DesFile", "/docs/"}},
                                    QJsonObject{{"srcFile", "/no/such/file"}, {"DesFile", "/x/"}}};
        for (const QString qstrCmd : {"ApplyBurn", "StartBurn", "AddFile", "DoBurn"}) {
            for (const QString& qstrId : qstrlstJobs) {
                QJsonObject qjsonParam;
                if (qstrCmd == QLatin1String("ApplyBurn"))
                    qjsonParam = {{"BurnDev", qstrId.startsWith('E') ? 2 : 3}, {"CopyCount", 1}};
                else if (qstrCmd == QLatin1String("StartBurn"))
                    qjsonParam = {{"CDType", "DVD 4.7GB"}, {"CDTitle", "Case " + qstrId}};
                else if (qstrCmd == QLatin1String("AddFile"))
                    qjsonParam = {{"FileList", qjsonFiles}};
                host.write(Request(qstrCmd, qstrId, qjsonParam));
            }
            ReadReplies(host, qstrCmd + "Reply", qstrlstJobs.size(), n_WaitMs);
        }
        ReadReplies(host, "BurnStatusReply", qstrlstJobs.size(), 120000);
        ReadReplies(host, QString(), 0, 2000);  // one more status pass would show a second reply

        QStringList qstrlstSeen;
        QByteArray qbaStatusFile = "[PUBLISHER1]\r\nNAME=PP-100II 1\r\n";
        for (const QString& qstrId : qstrlstJobs) {
            for (const char* szReply : {"ApplyBurn", "StartBurn", "AddFile", "DoBurn", "BurnStatus"})
                QVERIFY2(m_qhashReplies.count(qstrId + " " + szReply + "Reply") == 1, szReply);
            const QJsonObject qjsonFinal = m_qhashReplies.value(qstrId + " BurnStatusReply");
            const int iStatus = qjsonFinal.value("status").toInt();
            qstrlstSeen << qstrId + QStringLiteral(" %1 ").arg(iStatus) + qjsonFinal.value("errCode").toString();
            QCOMPARE(qjsonFinal.value("statusMsg").toString(), iStatus == 3 ? "刻录完成" : "刻录出错");
            QTRY_VERIFY(!QDir(m_pTmpDir->path() + QStringLiteral("/host/BurnJob/") + qstrId).exists());

            const bool blEpson = qstrId.startsWith('E');
            const bool blFailed = qstrId.contains(QLatin1String("F-"));
            const QString qstrVendor = blEpson ? QStringLiteral("epson") : QStringLiteral("primera");
            QStringList qstrlstStates;
            for (const QString& qstrLine : QString::fromUtf8(PubsimOutput()).split('\n')) {
                if (qstrLine.startsWith("state " + qstrVendor + " " + qstrId + " "))
                    qstrlstStates << qstrLine.section(' ', 3);
            }
            const QString qstrCode = blEpson ? "SIM4711" : "SIM0001";  // a rule without a code: the default
            const QString qstrEnd = blFailed ? "4 error " + qstrId + ".err " + qstrCode : "3 done " + qstrId + ".don";
            QCOMPARE(qstrlstStates, QStringList({"0 waiting " + qstrId + (blEpson ? ".jdf" : ".jrq"),
                                                 "1 taken " + qstrId + ".qrj", "2 burning " + qstrId + ".inp",
                                                 qstrEnd}));
            const QString qstrDir = m_qstrRoot + (blEpson ? "/EPSON/TDBridge/Orders/" : "/PTBurnJobs/");
            QCOMPARE(ReadBytes(qstrDir + qstrId + ".result.txt"),
                     QStringLiteral("JOB=%1\nVENDOR=%2\nOUTCOME=%3\nDISC_TYPE=DVD\nVOLUME_LABEL=Case %1\nCOPIES=1\n"
                                    "FILES=3\nBYTES=4110\nFILE=4096\t%4video.mp4\t/video/\nFILE=14\t%4docs\t/docs/\n"
                                    "FILE=missing\t/no/such/file\t/x/\n")
                         .arg(qstrId, qstrVendor, blFailed ? "error " + qstrCode : "done", m_qstrSources)
                         .toUtf8());
            if (blEpson && blFailed)
                qbaStatusFile += "\r\n[" + qstrId.toUtf8() + "]\r\nERROR=SIM4711\r\n";
        }
        QCOMPARE(qstrlstSeen, qstrlstExpected);
        QCOMPARE(ReadBytes(m_qstrRoot + QStringLiteral("/EPSON/TDBridge/Orders/TDBStatus.txt")), qbaStatusFile);
        host.terminate();
        QVERIFY(host.waitForFinished(n_WaitMs));
        pubsim.terminate();
        QVERIFY(pubsim.waitForFinished(n_WaitMs));
        QVERIFY(PubsimOutput().endsWith(QStringLiteral("\nstopped jobs=%1\n").arg(qstrlstJobs.size()).toUtf8()));
    }

    // An order naming a publisher the simulator does not know ends in ".err" with JDF0200;
    // the backend resubmits it with the simulator's publisher, and it is burnt; the
    // resubmitted order starts clean. --max-jobs ends the simulator once both ends count.
    void stalePublisherIsResubmitted()
    {
        const QString qstrEpsonDir = m_qstrRoot + QStringLiteral("/EPSON/TDBridge/Orders/");
        qputenv("TMPDIR", m_pTmpDir->path().toUtf8());
        CLS_AutoEpson epson(qstrEpsonDir.toStdString());  // before the simulator names its publisher
        QProcess pubsim;
        pubsim.setProcessEnvironment(m_qenv);
        pubsim.setStandardOutputFile(m_pTmpDir->filePath(QStringLiteral("pubsim.out")));
        pubsim.start(PUBSIM_PATH, {"--root", m_qstrRoot, "--step-ms", "20", "--publisher", "Sim", "--max-jobs", "2"});
        const QString qstrReady = QStringLiteral("ready epson=%1 primera=%2/PTBurnJobs/ publisher=Sim step-ms=20\n");
        QTRY_VERIFY_WITH_TIMEOUT(PubsimOutput().startsWith(qstrReady.arg(qstrEpsonDir, m_qstrRoot).toUtf8()), n_WaitMs);
        QCOMPARE(epson.StartBurn("E-PUB", "DVD 4.7GB", "Case 42", "", 1, 0, "", "{}", nullptr), 0);
        BurnFileTask stTask{"E-PUB", {{(m_qstrSources + QStringLiteral("video.mp4")).toStdString(), "/"}}};
        QCOMPARE(epson.AddFile("E-PUB", stTask, nullptr), 0);
        QCOMPARE(epson.DoBurn("E-PUB", nullptr), 0);
        QTRY_COMPARE_WITH_TIMEOUT(epson.GetJobStatus(QStringLiteral("E-PUB"), nullptr), 3, n_WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(pubsim.state(), QProcess::NotRunning, n_WaitMs);
        QVERIFY(PubsimOutput().endsWith("\nstate epson E-PUB 3 done E-PUB.don\nstopped jobs=2\n"));
        QVERIFY(PubsimOutput().contains("\nstate epson E-PUB 4 error E-PUB.err JDF0200\nstate epson E-PUB 0 waiting"));
        QCOMPARE(ReadBytes(qstrEpsonDir + "TDBStatus.txt"), QByteArray("[PUBLISHER1]\r\nNAME=Sim\r\n"));
    }

private:
    QByteArray PubsimOutput() const { return ReadBytes(m_pTmpDir->filePath(QStringLiteral("pubsim.out"))); }

    // Reads burnhost's lines until the reply has come for the given number of jobs or the
    // time is up; keeps every reply.
    void ReadReplies(QProcess& _host, const QString& _qstrReply, int _iJobs, int _iTimeoutMs)
    {
        const auto fnDone = [&] {
            return _iJobs > 0 && m_qhashReplies.uniqueKeys().filter(_qstrReply).size() >= _iJobs;
        };
        for (QDeadlineTimer deadline(_iTimeoutMs); !fnDone() && !deadline.hasExpired(); _host.waitForReadyRead(50)) {
            while (_host.canReadLine()) {
                const QJsonObject qjsonLine = QJsonDocument::fromJson(_host.readLine()).object();
                const QByteArray qbaData = qjsonLine.value("data").toString().toUtf8();
                const QJsonObject qjsonModuleMsg = QJsonDocument::fromJson(qbaData).object().value("param").toObject();
                const QString qstrCmd = qjsonModuleMsg.value("cmd").toString();
                const QJsonObject qjsonParam = qjsonModuleMsg.value("param").toObject();
                if (qstrCmd.endsWith(QLatin1String("Reply")))
                    m_qhashReplies.insert(qjsonParam.value("JobId").toString() + " " + qstrCmd, qjsonParam);
            }
        }
        QVERIFY2(_iJobs == 0 || fnDone(), qPrintable(_qstrReply));
    }

    const QString m_qstrSystemTemp = QDir::tempPath();
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
    QString m_qstrSources;
    QString m_qstrRoot;
    QProcessEnvironment m_qenv;
    QMultiHash<QString, QJsonObject> m_qhashReplies;  // "<job id> <reply>" -> its param
};

QTEST_GUILESS_MAIN(tst_PublisherEndToEnd)
#include "tst_PublisherEndToEnd.moc"
