// win32_webservice_sdk.dll loaded by file name from the application folder and
// called against a real HTTP server that the test runs on 127.0.0.1.
#include <QtTest>

#include "CLS_TinyHttpServer.h"
#include "win32_webservice_sdk.h"

#include <memory>

namespace {

struct SubmitOutcome
{
    int iResult = 0;
    bool blHasReply = false;
    QByteArray baReply;
    bool blNulledByRelease = false;
    qint64 llElapsedMs = 0;
};

} // namespace

class tst_webservice_sdk : public QObject
{
    Q_OBJECT

private:
    QLibrary m_libSdk;
    decltype(&::webservice_sdk_startup) m_pfnStartup = nullptr;
    decltype(&::webservice_sdk_cleanup) m_pfnCleanup = nullptr;
    decltype(&::webservice_sdk_submit) m_pfnSubmit = nullptr;
    decltype(&::webservice_sdk_release) m_pfnRelease = nullptr;
    std::unique_ptr<CLS_TinyHttpServer> m_pServer;

    template <typename T>
    void Resolve(T& _pfnEntry, const char* _szName)
    {
        _pfnEntry = reinterpret_cast<T>(m_libSdk.resolve(_szName));
    }

    // One call on a thread of its own while this thread serves the requests.
    // The reply is copied, then released, and the release is checked.
    QThread* StartSubmit(const QByteArray& _baUrl, int _iTimeout, const QByteArray& _baBody, int _iFlag,
                         std::shared_ptr<SubmitOutcome> _pOutcome)
    {
        const auto pfnSubmit = m_pfnSubmit;
        const auto pfnRelease = m_pfnRelease;
        return QThread::create([=] {
            QElapsedTimer qtimer;
            qtimer.start();
            char* szReply = reinterpret_cast<char*>(0x1);   // an old value must be overwritten
            _pOutcome->iResult = pfnSubmit(_baUrl.constData(), _iTimeout, _baBody.constData(), _iFlag, &szReply);
            _pOutcome->llElapsedMs = qtimer.elapsed();
            _pOutcome->blHasReply = szReply != nullptr;
            if (!szReply)
                return;
            _pOutcome->baReply = QByteArray(szReply);
            pfnRelease(&szReply);
            _pOutcome->blNulledByRelease = szReply == nullptr;
        });
    }

    bool Submit(SubmitOutcome& _outcome, const QByteArray& _baUrl, int _iTimeout, const QByteArray& _baBody,
                int _iFlag = n_WebserviceSdkFlag_Post, int _iWaitMs = 15000)
    {
        auto pOutcome = std::make_shared<SubmitOutcome>();
        QThread* pThread = StartSubmit(_baUrl, _iTimeout, _baBody, _iFlag, pOutcome);
        pThread->start();
        const bool blDone = QTest::qWaitFor([pThread] { return pThread->isFinished(); }, _iWaitMs);
        if (!blDone)
            return false;   // left running rather than blocking the test
        delete pThread;
        _outcome = *pOutcome;
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString qstrPath = QCoreApplication::applicationDirPath() + "/win32_webservice_sdk.dll";
        QVERIFY2(QFileInfo::exists(qstrPath), qPrintable(qstrPath));
        m_libSdk.setFileName(qstrPath);
        QVERIFY2(m_libSdk.load(), qPrintable(m_libSdk.errorString()));
        Resolve(m_pfnStartup, "webservice_sdk_startup");
        Resolve(m_pfnCleanup, "webservice_sdk_cleanup");
        Resolve(m_pfnSubmit, "webservice_sdk_submit");
        Resolve(m_pfnRelease, "webservice_sdk_release");
        QVERIFY(m_pfnStartup && m_pfnCleanup && m_pfnSubmit && m_pfnRelease);
        QCOMPARE(m_pfnStartup(), 0);
        QCOMPARE(m_pfnStartup(), 0);
    }

    void init()
    {
        m_pServer.reset(new CLS_TinyHttpServer());
        QVERIFY(m_pServer->Listen());
    }

    void cleanupTestCase()
    {
        QCOMPARE(m_pfnCleanup(), 0);
        QCOMPARE(m_pfnCleanup(), 0);
    }

    void postSendsTheExactJsonBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("utf-8 json") << QStringLiteral("{\"JobId\":\"刻录-01\",\"n\":1}").toUtf8();
        QTest::newRow("2 MiB") << QByteArray("{\"data\":\"") + QByteArray(2 * 1024 * 1024, 'a') + "\"}";
        QTest::newRow("empty") << QByteArray();
    }
    void postSendsTheExactJsonBody()
    {
        QFETCH(QByteArray, body);
        const QByteArray baAnswer = QStringLiteral("{\"ret\":0,\"msg\":\"成功\"}").toUtf8();
        m_pServer->SetReply(200, baAnswer);
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/oda/api/burn?x=1"), 10, body));
        QCOMPARE(outcome.iResult, 0);
        QVERIFY(outcome.blHasReply);
        QCOMPARE(outcome.baReply, baAnswer);
        QVERIFY(outcome.blNulledByRelease);

        const QList<TinyHttpRequest> qlstRequests = m_pServer->Requests();
        QCOMPARE(qlstRequests.size(), 1);
        const TinyHttpRequest& request = qlstRequests.first();
        QCOMPARE(request.baMethod, QByteArray("POST"));
        QCOMPARE(request.baPath, QByteArray("/oda/api/burn?x=1"));
        QCOMPARE(request.qmapHeaders.value("content-type"), QByteArray("application/json"));
        QVERIFY(!request.qmapHeaders.contains("expect"));
        QCOMPARE(request.baBody.size(), body.size());
        QCOMPARE(request.baBody, body);
    }

    void emptyReplyGivesEmptyText()
    {
        m_pServer->SetReply(200, QByteArray());
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/empty"), 10, "{}"));
        QCOMPARE(outcome.iResult, 0);
        QVERIFY(outcome.blHasReply);
        QCOMPARE(outcome.baReply, QByteArray());
        QVERIFY(outcome.blNulledByRelease);
    }

    void statusDecidesResult_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("result");
        QTest::newRow("201") << 201 << int(n_WebserviceSdkResult_Ok);
        QTest::newRow("399") << 399 << int(n_WebserviceSdkResult_Ok);
        QTest::newRow("400") << 400 << int(n_WebserviceSdkResult_HttpStatus);
        QTest::newRow("404") << 404 << int(n_WebserviceSdkResult_HttpStatus);
        QTest::newRow("500") << 500 << int(n_WebserviceSdkResult_HttpStatus);
    }
    void statusDecidesResult()
    {
        QFETCH(int, status);
        QFETCH(int, result);
        m_pServer->SetReply(status, "{\"error\":\"detail\"}");
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/status"), 10, "{}"));
        QCOMPARE(outcome.iResult, result);
        // The body is handed back whatever the status, and must be released.
        QVERIFY(outcome.blHasReply);
        QCOMPARE(outcome.baReply, QByteArray("{\"error\":\"detail\"}"));
        QVERIFY(outcome.blNulledByRelease);
    }

    void refusedConnectionFailsQuickly()
    {
        QTcpServer qtcpProbe;
        QVERIFY(qtcpProbe.listen(QHostAddress::LocalHost, 0));
        const quint16 usPort = qtcpProbe.serverPort();
        qtcpProbe.close();
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, "http://127.0.0.1:" + QByteArray::number(usPort) + "/x", 10, "{}"));
        QCOMPARE(outcome.iResult, int(n_WebserviceSdkResult_Transport));
        QVERIFY(!outcome.blHasReply);
        QVERIFY2(outcome.llElapsedMs < 3000, qPrintable(QString::number(outcome.llElapsedMs)));
    }

    void silentServerTimesOut()
    {
        m_pServer->SetMode(CLS_TinyHttpServer::n_ReplyMode_Silent);
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/silent"), 1, "{\"wait\":true}"));
        QCOMPARE(outcome.iResult, int(n_WebserviceSdkResult_Timeout));
        QVERIFY(!outcome.blHasReply);
        QVERIFY2(outcome.llElapsedMs >= 900 && outcome.llElapsedMs < 5000,
                 qPrintable(QString::number(outcome.llElapsedMs)));
        // The request did arrive: the time went on waiting for the answer.
        QCOMPARE(m_pServer->Requests().size(), 1);
    }

    void getFlagSendsNoBody()
    {
        m_pServer->SetReply(200, "[1,2]");
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/list"), 10, "{\"ignored\":1}", n_WebserviceSdkFlag_Get));
        QCOMPARE(outcome.iResult, 0);
        QCOMPARE(outcome.baReply, QByteArray("[1,2]"));
        const QList<TinyHttpRequest> qlstRequests = m_pServer->Requests();
        QCOMPARE(qlstRequests.size(), 1);
        QCOMPARE(qlstRequests.first().baMethod, QByteArray("GET"));
        QCOMPARE(qlstRequests.first().baBody, QByteArray());
    }

    void badArgumentsAreRefused()
    {
        char* szReply = reinterpret_cast<char*>(0x1);
        QCOMPARE(m_pfnSubmit(nullptr, 10, "{}", 1, &szReply), int(n_WebserviceSdkResult_BadArgument));
        QCOMPARE(szReply, static_cast<char*>(nullptr));
        QCOMPARE(m_pfnSubmit("", 10, "{}", 1, &szReply), int(n_WebserviceSdkResult_BadArgument));
        QCOMPARE(m_pfnSubmit(m_pServer->Url("/x").constData(), 10, "{}", 1, nullptr),
                 int(n_WebserviceSdkResult_BadArgument));
        QCOMPARE(m_pfnSubmit(m_pServer->Url("/x").constData(), 10, "{}", 7, &szReply),
                 int(n_WebserviceSdkResult_BadArgument));
        QCOMPARE(szReply, static_cast<char*>(nullptr));
        QCOMPARE(m_pfnSubmit("not a url at all", 10, "{}", 1, &szReply), int(n_WebserviceSdkResult_Transport));
        QCOMPARE(szReply, static_cast<char*>(nullptr));
        QCoreApplication::processEvents();
        QCOMPARE(m_pServer->Requests().size(), 0);
    }

    void releaseNullsAndToleratesNull()
    {
        QCOMPARE(m_pfnRelease(nullptr), 0);
        char* szReply = nullptr;
        QCOMPARE(m_pfnRelease(&szReply), 0);
        QCOMPARE(szReply, static_cast<char*>(nullptr));
    }

    void concurrentSubmitsKeepTheirOwnReplies()
    {
        m_pServer->SetMode(CLS_TinyHttpServer::n_ReplyMode_Echo);
        const int iThreads = 4;
        const int iCallsEach = 5;
        const auto pfnSubmit = m_pfnSubmit;
        const auto pfnRelease = m_pfnRelease;
        const QByteArray baUrl = m_pServer->Url("/echo");
        auto pMismatches = std::make_shared<QAtomicInt>(0);
        QList<QThread*> qlstThreads;
        for (int t = 0; t < iThreads; ++t) {
            qlstThreads.append(QThread::create([=] {
                for (int n = 0; n < iCallsEach; ++n) {
                    const QByteArray baBody = QStringLiteral("{\"thread\":%1,\"call\":%2}").arg(t).arg(n).toUtf8();
                    char* szReply = nullptr;
                    const int iResult = pfnSubmit(baUrl.constData(), 10, baBody.constData(), 1, &szReply);
                    if (iResult != 0 || !szReply || baBody != QByteArray(szReply))
                        pMismatches->fetchAndAddRelaxed(1);
                    pfnRelease(&szReply);
                }
            }));
            qlstThreads.last()->start();
        }
        const bool blDone = QTest::qWaitFor(
            [&] { return std::all_of(qlstThreads.begin(), qlstThreads.end(), [](QThread* p) { return p->isFinished(); }); },
            30000);
        QVERIFY(blDone);
        qDeleteAll(qlstThreads);
        QCOMPARE(pMismatches->loadRelaxed(), 0);
        QCOMPARE(m_pServer->Requests().size(), iThreads * iCallsEach);
    }

    void submitWorksAfterCleanup()
    {
        QCOMPARE(m_pfnCleanup(), 0);
        QCOMPARE(m_pfnCleanup(), 0);
        m_pServer->SetReply(200, "{\"again\":1}");
        SubmitOutcome outcome;
        QVERIFY(Submit(outcome, m_pServer->Url("/again"), 10, "{}"));
        QCOMPARE(outcome.iResult, 0);
        QCOMPARE(outcome.baReply, QByteArray("{\"again\":1}"));
        QCOMPARE(m_pfnStartup(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_webservice_sdk)
#include "tst_webservice_sdk.moc"
