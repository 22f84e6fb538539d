// win32_webservice_sdk.dll bound by the module's loader from the application folder and
// called through the module's forwarders against a real HTTP server on 127.0.0.1: what
// a submit sends, its result and reply by outcome, refused arguments, many callers at
// once after a cleanup; and Public__Webservice_Common (source/Common) over it.
#include <QtTest>

#include <thread>
#include <vector>

#include "BurnLibBinding.h"
#include "CLS_TinyHttpServer.h"
#include "CommonFun.h"
#include "LogRecorder.h"
#include "win32_webservice_sdk.h"

namespace
{
struct SubmitOutcome
{
    int iResult = 1;
    QByteArray baReply;  // "<none>" when none was handed out
    qint64 llElapsedMs = 0;
};

// A submit whose reply pointer held an old value (overwritten, not freed); the reply is
// released again, which must clear the pointer.
SubmitOutcome Submit(const QByteArray& _baUrl, int _iTimeout, const QByteArray& _baBody, int _iFlag)
{
    SubmitOutcome stOutcome;
    QElapsedTimer qtimer;
    qtimer.start();
    char* szReply = reinterpret_cast<char*>(0x1);
    const char* szUrl = _baUrl.isNull() ? nullptr : _baUrl.constData();
    stOutcome.iResult = webservice_sdk_submit(szUrl, _iTimeout, _baBody.constData(), _iFlag, &szReply);
    stOutcome.llElapsedMs = qtimer.elapsed();
    stOutcome.baReply = szReply ? QByteArray(szReply) : QByteArray("<none>");
    webservice_sdk_release(&szReply);
    if (szReply)
        stOutcome.baReply = "<not released>";
    return stOutcome;
}
}  // namespace

class tst_webservice_sdk : public QObject
{
    Q_OBJECT

    CLS_TinyHttpServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(webservice_init_lib(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
        QCOMPARE(webservice_sdk_startup(), 0);
        QCOMPARE(webservice_sdk_startup(), 0);
        QVERIFY(m_server.Listen());
    }

    void submit_data()
    {
        QTest::addColumn<int>("iFlag");
        QTest::addColumn<int>("iStatus");  // -1: nobody listens, 0: the server never answers
        QTest::addColumn<QByteArray>("baBody");
        QTest::addColumn<QByteArray>("baAnswer");
        QTest::addColumn<int>("iResult");
        const int iPost = n_WebserviceSdkFlag_Post;
        const QByteArray baJson = QStringLiteral("{\"JobId\":\"刻录-01\",\"n\":1}").toUtf8();
        const QByteArray baAnswer = QStringLiteral("{\"ret\":0,\"msg\":\"成功\"}").toUtf8();
        QTest::newRow("utf-8 json") << iPost << 200 << baJson << baAnswer << 0;
        QTest::newRow("2 MiB") << iPost << 201 << QByteArray(2 * 1024 * 1024, 'a') << baAnswer << 0;
        QTest::newRow("empty body, empty reply") << iPost << 200 << QByteArray() << QByteArray() << 0;
        QTest::newRow("GET sends no body") << int(n_WebserviceSdkFlag_Get) << 200 << baJson << baAnswer << 0;
        QTest::newRow("399") << iPost << 399 << baJson << baAnswer << 0;
        QTest::newRow("400") << iPost << 400 << baJson << baAnswer << int(n_WebserviceSdkResult_HttpStatus);
        QTest::newRow("refused") << iPost << -1 << baJson << QByteArray() << int(n_WebserviceSdkResult_Transport);
        QTest::newRow("1 s timeout") << iPost << 0 << baJson << QByteArray() << int(n_WebserviceSdkResult_Timeout);
    }
    // A reply, whatever the status, is handed out; none on a transport failure or a timeout.
    void submit()
    {
        QFETCH(int, iFlag);
        QFETCH(int, iStatus);
        QFETCH(QByteArray, baBody);
        QFETCH(QByteArray, baAnswer);
        QFETCH(int, iResult);
        const QByteArray baPath = "/oda/api/burn?x=1";
        const QByteArray baClosedUrl = "http://127.0.0.1:" + QByteArray::number(CLS_TinyHttpServer::ClosedPort());
        const QByteArray baUrl = iStatus < 0 ? baClosedUrl + baPath : m_server.Url(baPath);
        m_server.SetReply(iStatus, baAnswer);
        const int iRequestsBefore = m_server.Requests().size();
        const SubmitOutcome stOutcome = BlockingCall([&] { return Submit(baUrl, iStatus ? 10 : 1, baBody, iFlag); });
        QCOMPARE(stOutcome.iResult, iResult);
        QCOMPARE(stOutcome.baReply, iStatus > 0 ? baAnswer : QByteArray("<none>"));
        QVERIFY2(iStatus != 0 || stOutcome.llElapsedMs >= 900, qPrintable(QString::number(stOutcome.llElapsedMs)));
        QVERIFY2(stOutcome.llElapsedMs < 5000, qPrintable(QString::number(stOutcome.llElapsedMs)));
        QCOMPARE(m_server.Requests().size(), iRequestsBefore + (iStatus < 0 ? 0 : 1));
        if (iStatus < 0)
            return;
        const TinyHttpRequest stRequest = m_server.Requests().last();
        const bool blPost = iFlag == n_WebserviceSdkFlag_Post;
        QCOMPARE(stRequest.baMethod + ' ' + stRequest.baPath, (blPost ? "POST " : "GET ") + baPath);
        QCOMPARE(stRequest.baBody, blPost ? baBody : QByteArray());
        QCOMPARE(stRequest.baHeaders.contains("\r\nContent-Type: application/json\r\n"), blPost);
        QVERIFY(!stRequest.baHeaders.toLower().contains("expect:"));
    }

    void badArgumentsAreRefused()
    {
        const int iBad = n_WebserviceSdkResult_BadArgument;
        const QByteArray baUrl = m_server.Url("/x");
        const int iRequestsBefore = m_server.Requests().size();
        QCOMPARE(webservice_sdk_submit(baUrl.constData(), 10, "{}", 1, nullptr), iBad);
        QCOMPARE(Submit(QByteArray(), 10, "{}", 1).iResult, iBad);
        QCOMPARE(Submit("", 10, "{}", 1).iResult, iBad);
        QCOMPARE(Submit(baUrl, 10, "{}", 7).iResult, iBad);
        const SubmitOutcome stNoUrl = Submit("not a url", 10, "{}", 1);
        QCOMPARE(stNoUrl.iResult, int(n_WebserviceSdkResult_Transport));
        QCOMPARE(stNoUrl.baReply, QByteArray("<none>"));
        QCOMPARE(webservice_sdk_release(nullptr), 0);
        QCoreApplication::processEvents();
        QCOMPARE(m_server.Requests().size(), iRequestsBefore);
    }

    // Cleanup may be repeated; submits afterwards set the library up by themselves, and
    // many at once keep their own replies.
    void concurrentSubmitsAfterCleanup()
    {
        QCOMPARE(webservice_sdk_cleanup(), 0);
        QCOMPARE(webservice_sdk_cleanup(), 0);
        m_server.SetEcho();
        const int iRequestsBefore = m_server.Requests().size();
        const QByteArray baUrl = m_server.Url("/echo");
        const int iMismatches = BlockingCall([&] {
            std::atomic<int> atomMismatches{0};
            std::vector<std::thread> vecThreads;
            for (int t = 0; t < 4; ++t) {
                vecThreads.emplace_back([&, t] {
                    for (int n = 0; n < 5; ++n) {
                        const QByteArray baBody = QStringLiteral("{\"thread\":%1,\"call\":%2}").arg(t).arg(n).toUtf8();
                        const SubmitOutcome stOutcome = Submit(baUrl, 10, baBody, 1);
                        atomMismatches += stOutcome.iResult != 0 || stOutcome.baReply != baBody;
                    }
                });
            }
            for (std::thread& thread : vecThreads)
                thread.join();
            return atomMismatches.load();
        });
        QCOMPARE(iMismatches, 0);
        QCOMPARE(m_server.Requests().size(), iRequestsBefore + 4 * 5);
    }

    void webserviceCommon_data()
    {
        QTest::addColumn<int>("iStatus");  // 0: nobody listens
        QTest::addColumn<QString>("qstrAnswer");
        QTest::addColumn<QString>("qstrReply");
        QTest::newRow("reply") << 200 << QStringLiteral("{\"ok\":\"完成\"}") << QStringLiteral("{\"ok\":\"完成\"}");
        QTest::newRow("empty reply") << 200 << QString() << QString();
        QTest::newRow("server error") << 500 << "{\"error\":1}" << QString();
        QTest::newRow("refused") << 0 << QString() << QString();
    }
    // Public__Webservice_Common (source/Common) over the library: a POST of the body to
    // the path, the reply text or nothing, and their log lines.
    void webserviceCommon()
    {
        QFETCH(int, iStatus);
        QFETCH(QString, qstrAnswer);
        QFETCH(QString, qstrReply);
        const quint16 usPort = iStatus ? m_server.Port() : CLS_TinyHttpServer::ClosedPort();
        m_server.SetReply(iStatus, qstrAnswer.toUtf8());
        LogRecorder::install();
        LogRecorder::clear();
        const QString qstrBody = QStringLiteral("{\"job\":\"任务\"}");
        QCOMPARE(BlockingCall([&] { return Public__Webservice_Common("127.0.0.1", usPort, "/api/job", qstrBody, 5); }),
                 qstrReply);
        const QString qstrSource = "3|source\\Common\\CommonFun|";
        const QStringList qstrlistFailure = {
            qstrSource + "Public__Webservice_Common  url=http://127.0.0.1:" + QString::number(usPort) + "/api/job",
            qstrSource + "NULL == ret_buf || web_ret < 0"};
        const QString qstrSuccess = qstrSource + "Public__Webservice  ret_buf=" + qstrReply + ", qstrParam=" + qstrBody;
        QCOMPARE(LogRecorder::lines(), qstrReply.isEmpty() ? qstrlistFailure : QStringList{qstrSuccess});
        if (iStatus) {
            const TinyHttpRequest stRequest = m_server.Requests().last();
            QCOMPARE(stRequest.baMethod + ' ' + stRequest.baPath, QByteArray("POST /api/job"));
            QCOMPARE(QString::fromUtf8(stRequest.baBody), qstrBody);
        }
    }
};

QTEST_GUILESS_MAIN(tst_webservice_sdk)
#include "tst_webservice_sdk.moc"
