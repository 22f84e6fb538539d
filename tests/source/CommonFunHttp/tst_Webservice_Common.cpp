// Public__Webservice_Common: the blocking POST through the bound HTTP client library
// against a real server on 127.0.0.1: the reply text, failures and their log lines.
// (The timeout it hands over: tst_LibBinding, with the recording stand-in.)
#include <QtTest>

#include "BurnLibBinding.h"
#include "CLS_TinyHttpServer.h"
#include "CommonFun.h"
#include "LogRecorder.h"

class tst_Webservice_Common : public QObject
{
    Q_OBJECT

    CLS_TinyHttpServer m_server;

private slots:
    void initTestCase()
    {
        LogRecorder::install();
        QVERIFY(webservice_init_lib(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
        QVERIFY(m_server.Listen());
    }

    void reply_data()
    {
        QTest::addColumn<int>("iStatus");  // 0: nobody listens
        QTest::addColumn<QString>("qstrAnswer");
        QTest::addColumn<QString>("qstrReply");
        QTest::newRow("reply") << 200 << QStringLiteral("{\"ok\":\"完成\"}") << QStringLiteral("{\"ok\":\"完成\"}");
        QTest::newRow("empty reply") << 200 << QString() << QString();
        QTest::newRow("server error") << 500 << "{\"error\":1}" << QString();
        QTest::newRow("refused") << 0 << QString() << QString();
    }
    void reply()
    {
        QFETCH(int, iStatus);
        QFETCH(QString, qstrAnswer);
        QFETCH(QString, qstrReply);
        QTcpServer qtcpClosed;  // a port with nobody behind it once closed
        QVERIFY(qtcpClosed.listen(QHostAddress::LocalHost));
        const quint16 usPort = iStatus ? m_server.Port() : qtcpClosed.serverPort();
        qtcpClosed.close();
        m_server.SetReply(iStatus, qstrAnswer.toUtf8());
        LogRecorder::clear();
        const QString qstrBody = QStringLiteral("{\"job\":\"任务\"}");
        QCOMPARE(BlockingCall([&] { return Public__Webservice_Common("127.0.0.1", usPort, "/api/job", qstrBody, 5); }),
                 qstrReply);
        const QString qstrUrl = "http://127.0.0.1:" + QString::number(usPort) + "/api/job";
        const QString qstrSource = "3|source\\Common\\CommonFun|";
        const QStringList qstrlistFailure = {qstrSource + "Public__Webservice_Common  url=" + qstrUrl,
                                             qstrSource + "NULL == ret_buf || web_ret < 0"};
        QCOMPARE(LogRecorder::lines(), qstrReply.isEmpty() ? qstrlistFailure
                                                           : QStringList{qstrSource + "Public__Webservice  ret_buf=" +
                                                                         qstrReply + ", qstrParam=" + qstrBody});
        if (iStatus) {
            const TinyHttpRequest stRequest = m_server.Requests().last();
            QCOMPARE(stRequest.baMethod + ' ' + stRequest.baPath, QByteArray("POST /api/job"));
            QCOMPARE(QString::fromUtf8(stRequest.baBody), qstrBody);
        }
    }
};

QTEST_GUILESS_MAIN(tst_Webservice_Common)
#include "tst_Webservice_Common.moc"
