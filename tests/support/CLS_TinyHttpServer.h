// A minimal HTTP/1.1 server on 127.0.0.1 for tests: records each request and answers
// with the set status and body, with the request's body (echo), or not at all (silent).
// Lives on the test thread and serves from its event loop; BlockingCall runs a client
// call on a thread of its own meanwhile.
#pragma once

#include <QHash>
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
    enum ReplyMode
    {
        n_ReplyMode_Fixed,
        n_ReplyMode_Echo,
        n_ReplyMode_Silent,
    };

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
    void SetReply(int _iStatus, const QByteArray& _baBody)
    {
        m_eMode = n_ReplyMode_Fixed;
        m_iStatus = _iStatus;
        m_baBody = _baBody;
    }
    void SetMode(ReplyMode _eMode) { m_eMode = _eMode; }
    QList<TinyHttpRequest> Requests() const { return m_qlistRequests; }

private:
    void Accept()
    {
        while (QTcpSocket* pSocket = m_qtcpServer.nextPendingConnection()) {
            QObject::connect(pSocket, &QTcpSocket::readyRead, pSocket, [this, pSocket] { Read(pSocket); });
            QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket, [this, pSocket] {
                m_qhashBuffers.remove(pSocket);
                pSocket->deleteLater();
            });
        }
    }
    // Answers once the buffer holds a whole request (head and Content-Length body).
    void Read(QTcpSocket* _pSocket)
    {
        QByteArray& baBuffer = m_qhashBuffers[_pSocket];
        baBuffer += _pSocket->readAll();
        const int iHeadEnd = baBuffer.indexOf("\r\n\r\n");
        if (iHeadEnd < 0)
            return;
        const int iStartEnd = baBuffer.indexOf("\r\n");
        const QList<QByteArray> qlistStart = baBuffer.left(iStartEnd).split(' ');
        const QByteArray baHeaders = baBuffer.mid(iStartEnd, iHeadEnd + 2 - iStartEnd);
        TinyHttpRequest stRequest{qlistStart.value(0), qlistStart.value(1), baHeaders, {}};
        const QRegularExpression qregLength("\r\ncontent-length: *(\\d+)", QRegularExpression::CaseInsensitiveOption);
        const int iLength = qregLength.match(baHeaders).captured(1).toInt();
        if (baBuffer.size() < iHeadEnd + 4 + iLength)
            return;
        stRequest.baBody = baBuffer.mid(iHeadEnd + 4, iLength);
        baBuffer.clear();
        m_qlistRequests << stRequest;
        if (m_eMode == n_ReplyMode_Silent)
            return;
        const QByteArray& baBody = m_eMode == n_ReplyMode_Echo ? stRequest.baBody : m_baBody;
        _pSocket->write("HTTP/1.1 " + QByteArray::number(m_eMode == n_ReplyMode_Echo ? 200 : m_iStatus) +
                        " Status\r\nContent-Type: application/json\r\nContent-Length: " +
                        QByteArray::number(baBody.size()) + "\r\nConnection: close\r\n\r\n" + baBody);
        _pSocket->disconnectFromHost();
    }

    QHash<QTcpSocket*, QByteArray> m_qhashBuffers;
    QList<TinyHttpRequest> m_qlistRequests;
    ReplyMode m_eMode = n_ReplyMode_Fixed;
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
