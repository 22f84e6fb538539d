// win32_webservice_sdk.dll bound by the module's loader from the application folder and
// called through the module's forwarders against a real HTTP server on 127.0.0.1: what
// a submit sends, its result and reply by outcome, refused arguments, many callers at
// once, and submits after cleanup.
#include <QtTest>

#include <algorithm>
#include <thread>
#include <vector>

#include "BurnLibBinding.h"
#include "CLS_TinyHttpServer.h"
#include "win32_webservice_sdk.h"

namespace
{
struct SubmitOutcome
{
    int iResult = 1;
    bool blReply = false;      // a reply text was handed out
    QByteArray baReply;
    bool blReleased = false;   // webservice_sdk_release set the pointer to null
    qint64 llElapsedMs = 0;
};

SubmitOutcome Submit(const QByteArray& _baUrl, int _iTimeout, const QByteArray& _baBody, int _iFlag)
{
    SubmitOutcome stOutcome;
    QElapsedTimer qtimer;
    qtimer.start();
    char* szReply = reinterpret_cast<char*>(0x1);  // an old value is overwritten, not freed
    stOutcome.iResult = webservice_sdk_submit(_baUrl.constData(), _iTimeout, _baBody.constData(), _iFlag, &szReply);
    stOutcome.llElapsedMs = qtimer.elapsed();
    stOutcome.blReply = szReply != nullptr;
    if (szReply) {
        stOutcome.baReply = szReply;
        webservice_sdk_release(&szReply);
        stOutcome.blReleased = szReply == nullptr;
    }
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
    // A reply, whatever the status, is handed out and must be released; none on a
    // transport failure or a timeout.
    void submit()
    {
        QFETCH(int, iFlag);
        QFETCH(int, iStatus);
        QFETCH(QByteArray, baBody);
        QFETCH(QByteArray, baAnswer);
        QFETCH(int, iResult);
        QTcpServer qtcpClosed;  // a port with nobody behind it once closed
        QVERIFY(qtcpClosed.listen(QHostAddress::LocalHost));
        const QByteArray baClosedPort = QByteArray::number(qtcpClosed.serverPort());
        qtcpClosed.close();
        CLS_TinyHttpServer qserver;
        QVERIFY(qserver.Listen());
        const QByteArray baPath = "/oda/api/burn?x=1";
        const QByteArray baUrl = iStatus < 0 ? "http://127.0.0.1:" + baClosedPort + baPath
                                             : qserver.Url(baPath);
        iStatus ? qserver.SetReply(iStatus, baAnswer) : qserver.SetMode(CLS_TinyHttpServer::n_ReplyMode_Silent);
        const SubmitOutcome stOutcome = BlockingCall([&] { return Submit(baUrl, iStatus ? 10 : 1, baBody, iFlag); });
        QCOMPARE(stOutcome.iResult, iResult);
        QCOMPARE(stOutcome.blReply, iStatus > 0);
        QCOMPARE(stOutcome.baReply, baAnswer);
        QCOMPARE(stOutcome.blReleased, iStatus > 0);
        QVERIFY2(iStatus != 0 || stOutcome.llElapsedMs >= 900, qPrintable(QString::number(stOutcome.llElapsedMs)));
        QVERIFY2(stOutcome.llElapsedMs < 5000, qPrintable(QString::number(stOutcome.llElapsedMs)));
        QCOMPARE(qserver.Requests().size(), iStatus < 0 ? 0 : 1);
        if (iStatus < 0)
            return;
        const TinyHttpRequest stRequest = qserver.Requests()[0];
        QCOMPARE(stRequest.baMethod, QByteArray(iFlag == n_WebserviceSdkFlag_Post ? "POST" : "GET"));
        QCOMPARE(stRequest.baPath, baPath);
        QCOMPARE(stRequest.baBody, iFlag == n_WebserviceSdkFlag_Post ? baBody : QByteArray());
        const bool blJsonType = stRequest.baHeaders.contains("\r\nContent-Type: application/json\r\n");
        QCOMPARE(blJsonType, iFlag == n_WebserviceSdkFlag_Post);
        QVERIFY(!stRequest.baHeaders.toLower().contains("expect:"));
    }

    void badArgumentsAreRefused()
    {
        const int iBad = n_WebserviceSdkResult_BadArgument;
        const QByteArray baUrl = m_server.Url("/x");
        char* szReply = reinterpret_cast<char*>(0x1);
        QCOMPARE(webservice_sdk_submit(nullptr, 10, "{}", 1, &szReply), iBad);
        QCOMPARE(szReply, nullptr);
        QCOMPARE(webservice_sdk_submit("", 10, "{}", 1, &szReply), iBad);
        QCOMPARE(webservice_sdk_submit(baUrl.constData(), 10, "{}", 1, nullptr), iBad);
        szReply = reinterpret_cast<char*>(0x1);
        QCOMPARE(webservice_sdk_submit(baUrl.constData(), 10, "{}", 7, &szReply), iBad);
        QCOMPARE(szReply, nullptr);
        QCOMPARE(webservice_sdk_submit("not a url", 10, "{}", 1, &szReply), int(n_WebserviceSdkResult_Transport));
        QCOMPARE(szReply, nullptr);
        QCOMPARE(webservice_sdk_release(nullptr), 0);
        QCOMPARE(webservice_sdk_release(&szReply), 0);
        QCoreApplication::processEvents();
        QCOMPARE(m_server.Requests().size(), 0);
    }

    void concurrentSubmitsKeepTheirOwnReplies()
    {
        m_server.SetMode(CLS_TinyHttpServer::n_ReplyMode_Echo);
        const QByteArray baUrl = m_server.Url("/echo");
        const int iMismatches = BlockingCall([&] {
            std::atomic<int> atomMismatches{0};
            std::vector<std::thread> vecThreads;
            for (int t = 0; t < 4; ++t) {
                vecThreads.emplace_back([&, t] {
                    for (int n = 0; n < 5; ++n) {
                        const QByteArray baBody = QStringLiteral("{\"thread\":%1,\"call\":%2}").arg(t).arg(n).toUtf8();
                        const SubmitOutcome stOutcome = Submit(baUrl, 10, baBody, n_WebserviceSdkFlag_Post);
                        atomMismatches += stOutcome.iResult != 0 || stOutcome.baReply != baBody;
                    }
                });
            }
            for (std::thread& thread : vecThreads)
                thread.join();
            return atomMismatches.load();
        });
        QCOMPARE(iMismatches, 0);
        QCOMPARE(m_server.Requests().size(), 4 * 5);
    }

    // Cleanup may be repeated; a submit afterwards sets the library up by itself.
    void submitWorksAfterCleanup()
    {
        QCOMPARE(webservice_sdk_cleanup(), 0);
        QCOMPARE(webservice_sdk_cleanup(), 0);
        m_server.SetReply(200, "{\"again\":1}");
        const SubmitOutcome stOutcome = BlockingCall([&] { return Submit(m_server.Url("/again"), 10, "{}", 1); });
        QCOMPARE(stOutcome.iResult, 0);
        QCOMPARE(stOutcome.baReply, QByteArray("{\"again\":1}"));
    }
};

QTEST_GUILESS_MAIN(tst_webservice_sdk)
#include "tst_webservice_sdk.moc"
