// win32_webservice_sdk.dll bound by the module's loader from the application folder and
// called through the module's forwarders against a small HTTP server on 127.0.0.1: what
// a submit sends, its result and reply by outcome, refused arguments, many callers at
// once after a cleanup; and Public__Webservice_Common (source/Common) over it.
#include <QtTest>

#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <thread>
#include <vector>

#include "BurnLibBinding.h"
#include "CommonFun.h"
#include "win32_webservice_sdk.h"

namespace
{
// Records each request whole and answers it with the status iStatus (0: never) and the
// request's own body. Serves from the test thread's event loop.
class CLS_EchoServer : public QTcpServer
{
public:
    int iStatus = 200;
    QByteArrayList qlistRequests;

    QByteArray Url(const QByteArray& _baPath, quint16 _usPort = 0) const
    {
        return "http://127.0.0.1:" + QByteArray::number(_usPort ? _usPort : serverPort()) + _baPath;
    }

protected:
    void incomingConnection(qintptr _iDescriptor) override
    {
        auto* pSocket = new QTcpSocket(this);
        pSocket->setSocketDescriptor(_iDescriptor);
        auto pBuffer = std::make_shared<QByteArray>();
        connect(pSocket, &QTcpSocket::readyRead, pSocket, [=] { Read(pSocket, *pBuffer); });
        connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
    }
    // Answers once the buffer holds a whole request (head and Content-Length body).
    void Read(QTcpSocket* _pSocket, QByteArray& _baBuffer)
    {
        _baBuffer += _pSocket->readAll();
        const int iHeadEnd = _baBuffer.indexOf("\r\n\r\n") + 4;
        const QRegularExpression qregLength("\r\ncontent-length: *(\\d+)",
                                            QRegularExpression::CaseInsensitiveOption);
        const QByteArray baBody = _baBuffer.mid(iHeadEnd);
        if (iHeadEnd < 4 || baBody.size() < qregLength.match(_baBuffer.left(iHeadEnd)).captured(1).toInt())
            return;
        qlistRequests << _baBuffer;
        _baBuffer.clear();
        if (iStatus == 0)
            return;
        _pSocket->write("HTTP/1.1 " + QByteArray::number(iStatus) + " Status\r\nContent-Length: " +
                        QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n" + baBody);
        _pSocket->disconnectFromHost();
    }
};

// Runs the blocking call on a thread of its own while this thread's event loop serves it.
template <typename F>
auto BlockingCall(F _fnCall)
{
    decltype(_fnCall()) result{};
    std::unique_ptr<QThread> pThread(QThread::create([&] { result = _fnCall(); }));
    pThread->start();
    if (!QTest::qWaitFor([&] { return pThread->isFinished(); }, 90000))
        qWarning("the call has not returned after 90 s");
    pThread->wait();
    return result;
}

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

    CLS_EchoServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(webservice_init_lib(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
        QCOMPARE(webservice_sdk_startup(), 0);
        QCOMPARE(webservice_sdk_startup(), 0);
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
    }
    void init()
    {
        m_server.qlistRequests.clear();
        m_server.iStatus = 200;
    }

    void submit_data()
    {
        QTest::addColumn<QByteArray>("baUrl");
        QTest::addColumn<int>("iFlag");
        QTest::addColumn<int>("iStatus");  // 0: the server never answers
        QTest::addColumn<QByteArray>("baBody");
        QTest::addColumn<int>("iResult");
        const QByteArray baUrl = m_server.Url("/oda/api/burn?x=1");
        QTcpServer qserverGone;  // a port that nobody listens on once closed
        QVERIFY(qserverGone.listen(QHostAddress::LocalHost));
        const QByteArray baClosed = m_server.Url("/oda/api/burn?x=1", qserverGone.serverPort());
        qserverGone.close();
        const int iPost = n_WebserviceSdkFlag_Post;
        const int iBad = n_WebserviceSdkResult_BadArgument;
        const QByteArray baJson = QStringLiteral("{\"JobId\":\"刻录-01\",\"n\":1}").toUtf8();
        QTest::newRow("utf-8 json") << baUrl << iPost << 200 << baJson << 0;
        QTest::newRow("2 MiB") << baUrl << iPost << 201 << QByteArray(2 * 1024 * 1024, 'a') << 0;
        QTest::newRow("empty body, empty reply") << baUrl << iPost << 200 << QByteArray() << 0;
        QTest::newRow("GET sends no body") << baUrl << int(n_WebserviceSdkFlag_Get) << 200 << baJson << 0;
        QTest::newRow("399") << baUrl << iPost << 399 << baJson << 0;
        QTest::newRow("400") << baUrl << iPost << 400 << baJson << int(n_WebserviceSdkResult_HttpStatus);
        QTest::newRow("1 s timeout") << baUrl << iPost << 0 << baJson << int(n_WebserviceSdkResult_Timeout);
        const int iTransport = n_WebserviceSdkResult_Transport;
        QTest::newRow("refused") << baClosed << iPost << 200 << baJson << iTransport;
        QTest::newRow("not a URL") << QByteArray("not a url") << iPost << 200 << baJson << iTransport;
        QTest::newRow("null URL") << QByteArray() << iPost << 200 << baJson << iBad;
        QTest::newRow("empty URL") << QByteArray("") << iPost << 200 << baJson << iBad;
        QTest::newRow("unknown flag") << baUrl << 7 << 200 << baJson << iBad;
    }
    // A reply, whatever the status, is handed out; none on a refused argument, a
    // transport failure or a timeout, and nothing reaches the server for a refused one.
    void submit()
    {
        QFETCH(QByteArray, baUrl);
        QFETCH(int, iFlag);
        QFETCH(int, iStatus);
        QFETCH(QByteArray, baBody);
        QFETCH(int, iResult);
        m_server.iStatus = iStatus;
        const SubmitOutcome stOutcome =
            BlockingCall([&] { return Submit(baUrl, iStatus ? 10 : 1, baBody, iFlag); });
        QCOMPARE(stOutcome.iResult, iResult);
        const bool blAnswered = iResult == 0 || iResult == n_WebserviceSdkResult_HttpStatus;
        const bool blPost = iFlag == n_WebserviceSdkFlag_Post;
        QCOMPARE(stOutcome.baReply, blAnswered ? (blPost ? baBody : QByteArray("")) : QByteArray("<none>"));
        const qint64 llMs = stOutcome.llElapsedMs;
        QVERIFY2(llMs < 5000 && (iStatus != 0 || llMs >= 900), QByteArray::number(llMs).constData());
        QCOMPARE(m_server.qlistRequests.size(), blAnswered || iStatus == 0 ? 1 : 0);
        if (m_server.qlistRequests.isEmpty())
            return;
        const QByteArray baRequest = m_server.qlistRequests[0];
        QVERIFY(baRequest.startsWith(QByteArray(blPost ? "POST" : "GET") + " /oda/api/burn?x=1 HTTP/1.1"));
        QVERIFY(baRequest.endsWith("\r\n\r\n" + (blPost ? baBody : QByteArray())));
        QCOMPARE(baRequest.contains("\r\nContent-Type: application/json\r\n"), blPost);
        QVERIFY(!baRequest.toLower().contains("expect:"));
    }

    // Without a place for the reply nothing is sent; releasing nothing is fine. Cleanup
    // may be repeated; submits afterwards set the library up by themselves, and many at
    // once keep their own replies.
    void concurrentSubmitsAfterCleanup()
    {
        const QByteArray baUrl = m_server.Url("/echo");
        const int iBad = n_WebserviceSdkResult_BadArgument;
        QCOMPARE(webservice_sdk_submit(baUrl.constData(), 10, "{}", 1, nullptr), iBad);
        QCOMPARE(webservice_sdk_release(nullptr), 0);
        QCOMPARE(webservice_sdk_cleanup(), 0);
        QCOMPARE(webservice_sdk_cleanup(), 0);
        const int iMismatches = BlockingCall([&] {
            std::atomic<int> atomMismatches{0};
            std::vector<std::thread> vecThreads;
            for (int t = 0; t < 4; ++t) {
                vecThreads.emplace_back([&, t] {
                    for (int n = 0; n < 5; ++n) {
                        const QByteArray baBody = QString("thread %1, call %2").arg(t).arg(n).toUtf8();
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
        QCOMPARE(m_server.qlistRequests.size(), 4 * 5);
    }

    // Public__Webservice_Common: a POST of the body to the path; the reply text, or nothing.
    void webserviceCommon()
    {
        const QString qstrBody = QStringLiteral("{\"job\":\"任务\"}");
        const auto fnCall = [&] {
            return Public__Webservice_Common("127.0.0.1", m_server.serverPort(), "/api/job", qstrBody, 5);
        };
        QCOMPARE(BlockingCall(fnCall), qstrBody);
        QVERIFY(m_server.qlistRequests[0].startsWith("POST /api/job HTTP/1.1\r\n"));
        m_server.iStatus = 500;
        QCOMPARE(BlockingCall(fnCall), QString());
    }
};

QTEST_GUILESS_MAIN(tst_webservice_sdk)
#include "tst_webservice_sdk.moc"
