// A minimal HTTP/1.1 server on 127.0.0.1 for tests: records each request and answers
// with the set status and body, with the request's body (echo), or not at all.
// Lives on the test thread and serves from its event loop; BlockingCall runs a client
// call on a thread of its own meanwhile.
#pragma once

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <memory>

struct TinyHttpRequest
{
    QByteArray baMethod;
    QByteArray baPath;
    QByteArray baHeaders;  // "\r\n<header>\r\n<header>...\r\n"
    QByteArray baBody;
};

class CLS_TinyHttpServer
{
public:
    bool Listen()
    {
        QObject::connect(&m_qtcpServer, &QTcpServer::newConnection, &m_qtcpServer, [this] { Accept(); });
        return m_qtcpServer.listen(QHostAddress::LocalHost, 0);
    }
    quint16 Port() const { return m_qtcpServer.serverPort(); }
    QByteArray Url(const QByteArray& _baPath) const
    {
        return "http://127.0.0.1:" + QByteArray::number(Port()) + _baPath;
    }
    // Each request is answered with the status and the body; status 0: never answered.
    void SetReply(int _iStatus, const QByteArray& _baBody = {})
    {
        m_blEcho = false;
        m_iStatus = _iStatus;
        m_baBody = _baBody;
    }
    // Each request is answered with status 200 and its own body.
    void SetEcho() { m_blEcho = true; }
    QList<TinyHttpRequest> Requests() const { return m_qlistRequests; }

    // A port of 127.0.0.1 that nobody listens on.
    static quint16 ClosedPort()
    {
        QTcpServer qserver;
        return qserver.listen(QHostAddress::LocalHost) ? qserver.serverPort() : 0;
    }

private:
    void Accept()
    {
        while (QTcpSocket* pSocket = m_qtcpServer.nextPendingConnection()) {
            auto pBuffer = std::make_shared<QByteArray>();
            QObject::connect(pSocket, &QTcpSocket::readyRead, pSocket, [=] { Read(pSocket, *pBuffer); });
            QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
        }
    }
    // Answers once the buffer holds a whole request (head and Content-Length body).
    void Read(QTcpSocket* _pSocket, QByteArray& _baBuffer)
    {
        _baBuffer += _pSocket->readAll();
        const int iHeadEnd = _baBuffer.indexOf("\r\n\r\n");
        if (iHeadEnd < 0)
            return;
        const int iStartEnd = _baBuffer.indexOf("\r\n");
        const QByteArray baHeaders = _baBuffer.mid(iStartEnd, iHeadEnd + 2 - iStartEnd);
        const QRegularExpression qregLength("\r\ncontent-length: *(\\d+)", QRegularExpression::CaseInsensitiveOption);
        const int iLength = qregLength.match(baHeaders).captured(1).toInt();
        if (_baBuffer.size() < iHeadEnd + 4 + iLength)
            return;
        const QList<QByteArray> qlistStart = _baBuffer.left(iStartEnd).split(' ');
        m_qlistRequests << TinyHttpRequest{qlistStart.value(0), qlistStart.value(1), baHeaders,
                                           _baBuffer.mid(iHeadEnd + 4, iLength)};
        _baBuffer.clear();
        if (m_iStatus == 0 && !m_blEcho)
            return;
        const QByteArray& baBody = m_blEcho ? m_qlistRequests.last().baBody : m_baBody;
        _pSocket->write("HTTP/1.1 " + QByteArray::number(m_blEcho ? 200 : m_iStatus) +
                        " Status\r\nContent-Type: application/json\r\nContent-Length: " +
                        QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n" + baBody);
        _pSocket->disconnectFromHost();
    }

    QList<TinyHttpRequest> m_qlistRequests;
    bool m_blEcho = false;
    int m_iStatus = 200;
    QByteArray m_baBody;
    QTcpServer m_qtcpServer;  // last: its sockets go first
};

// Runs the blocking call on a thread of its own while this thread's event loop serves
// it, and returns its result.
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
