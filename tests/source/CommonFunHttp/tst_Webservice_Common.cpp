// The blocking HTTP call through the bound HTTP client library, against a real
// server on 127.0.0.1; and, with a recording stand-in of the library, what the call
// hands over (the timeout raised to at least 60 s).
#include <QtTest>

#include <cstring>

#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"
#include "CLS_TinyHttpServer.h"
#include "CommonFun.h"
#include "LogRecorder.h"

namespace
{
const char s_szRecordFlag[] = "--recording-library";

// The call blocks, and the server answers from this thread's event loop.
QString CallInThread(quint16 _usPort, const QString& _qstrBody, int _iTimeout)
{
    QString qstrReply;
    QThread* pThread = QThread::create([&] {
        qstrReply = Public__Webservice_Common(QStringLiteral("127.0.0.1"), _usPort, QStringLiteral("/api/job"),
                                              _qstrBody, _iTimeout);
    });
    QSignalSpy spyDone(pThread, &QThread::finished);
    pThread->start();
    if (!spyDone.wait(90000))
        qWarning("the call did not return");
    pThread->wait();
    delete pThread;
    return qstrReply;
}

bool FailureLogged()
{
    return LogRecorder::contains(QStringLiteral("Public__Webservice_Common  url=http://127.0.0.1:"))
        && LogRecorder::contains(QStringLiteral("NULL == ret_buf || web_ret < 0"));
}
}  // namespace

class tst_Webservice_Common : public QObject
{
    Q_OBJECT

public:
    explicit tst_Webservice_Common(bool _blRecording) : m_blRecording(_blRecording) {}

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        const QByteArray qbaDir = m_blRecording ? QByteArray(BURN_TEST_LIB_DIR "/recording")
                                                : QCoreApplication::applicationDirPath().toLocal8Bit();
        QVERIFY(webservice_init_lib(qbaDir.constData()));
        QVERIFY(m_server.Listen());
    }
    void init() { LogRecorder::clear(); }

    void replyBody()
    {
        if (m_blRecording)
            QSKIP("real server only");
        m_server.SetReply(200, QByteArray("{\"ok\":\"完成\"}"));
        QCOMPARE(CallInThread(m_server.Port(), QStringLiteral("{\"job\":\"任务\"}"), 5),
                 QStringLiteral("{\"ok\":\"完成\"}"));
        const TinyHttpRequest stRequest = m_server.Requests().last();
        QCOMPARE(stRequest.baMethod, QByteArray("POST"));
        QCOMPARE(stRequest.baPath, QByteArray("/api/job"));
        QCOMPARE(QString::fromUtf8(stRequest.baBody), QStringLiteral("{\"job\":\"任务\"}"));
        QVERIFY(LogRecorder::contains(QStringLiteral("Public__Webservice  ret_buf=")));
    }

    void failures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty reply") << 200 << QByteArray();
        QTest::newRow("server error") << 500 << QByteArray("{\"error\":1}");
    }
    void failures()
    {
        if (m_blRecording)
            QSKIP("real server only");
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        m_server.SetReply(status, body);
        QCOMPARE(CallInThread(m_server.Port(), QStringLiteral("{}"), 5), QString());
        QVERIFY(FailureLogged());
    }

    void refusedConnection()
    {
        if (m_blRecording)
            QSKIP("real server only");
        QTcpServer qserver;
        QVERIFY(qserver.listen(QHostAddress::LocalHost));
        const quint16 usPort = qserver.serverPort();
        qserver.close();  // nobody listens there now
        QCOMPARE(CallInThread(usPort, QStringLiteral("{}"), 5), QString());
        QVERIFY(FailureLogged());
    }

    void timeoutRaised_data()
    {
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("passed");
        QTest::newRow("0") << 0 << 60;
        QTest::newRow("30") << 30 << 60;
        QTest::newRow("60") << 60 << 60;
        QTest::newRow("90") << 90 << 90;
    }
    void timeoutRaised()
    {
        if (!m_blRecording)
            QSKIP("recording library only");
        QFETCH(int, given);
        QFETCH(int, passed);
        BurnTestTakeRecords();
        Public__Webservice_Common(QStringLiteral("10.0.0.1"), 8080, QStringLiteral("/x"), QStringLiteral("{}"), given);
        const std::vector<std::string> vecCalls = BurnTestTakeRecords();
        QVERIFY(!vecCalls.empty());
        const QString qstrCall = QString::fromStdString(vecCalls.front());
        QVERIFY2(qstrCall.startsWith(QStringLiteral("webservice_sdk_submit(\"http://10.0.0.1:8080/x\", %1, \"{}\", 1, ")
                                         .arg(passed)),
                 qPrintable(qstrCall));
    }

private:
    bool m_blRecording;
    CLS_TinyHttpServer m_server;
};

// The binding loads once per process, so the recording run is a second process.
int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    const bool blRecording = argc > 1 && std::strcmp(argv[1], s_szRecordFlag) == 0;
    if (blRecording) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    tst_Webservice_Common tc(blRecording);
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_Webservice_Common.moc"
