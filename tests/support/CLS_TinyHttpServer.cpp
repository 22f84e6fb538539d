#include "CLS_TinyHttpServer.h"

#include <QTcpSocket>

CLS_TinyHttpServer::CLS_TinyHttpServer(QObject* _pParent)
    : QObject(_pParent)
{
    connect(&m_qtcpServer, &QTcpServer::newConnection, this, &CLS_TinyHttpServer::SlotNewConnection);
}

bool CLS_TinyHttpServer::Listen()
{
    return m_qtcpServer.listen(QHostAddress::LocalHost, 0);
}

quint16 CLS_TinyHttpServer::Port() const
{
    return m_qtcpServer.serverPort();
}

QByteArray CLS_TinyHttpServer::Url(const QByteArray& _baPath) const
{
    return "http://127.0.0.1:" + QByteArray::number(Port()) + _baPath;
}

void CLS_TinyHttpServer::SetReply(int _iStatus, const QByteArray& _baBody)
{
    m_eMode = n_ReplyMode_Fixed;
    m_iStatus = _iStatus;
    m_baBody = _baBody;
}

void CLS_TinyHttpServer::SetMode(ReplyMode _eMode)
{
    m_eMode = _eMode;
}

QList<TinyHttpRequest> CLS_TinyHttpServer::Requests() const
{
    return m_qlstRequests;
}

void CLS_TinyHttpServer::SlotNewConnection()
{
    while (QTcpSocket* pSocket = m_qtcpServer.nextPendingConnection()) {
        pSocket->setParent(this);
        m_qhashBuffers.insert(pSocket, QByteArray());
        connect(pSocket, &QTcpSocket::readyRead, this, &CLS_TinyHttpServer::SlotReadyRead);
        connect(pSocket, &QTcpSocket::disconnected, this, [this, pSocket] {
            m_qhashBuffers.remove(pSocket);
            pSocket->deleteLater();
        });
    }
}

void CLS_TinyHttpServer::SlotReadyRead()
{
    QTcpSocket* pSocket = qobject_cast<QTcpSocket*>(sender());
    if (!pSocket || !m_qhashBuffers.contains(pSocket))
        return;
    QByteArray& baBuffer = m_qhashBuffers[pSocket];
    baBuffer += pSocket->readAll();
    TinyHttpRequest request;
    if (!TakeRequest(baBuffer, request))
        return;
    m_qlstRequests.append(request);
    Answer(pSocket, request);
}

// True once the buffer holds a whole request (head and Content-Length body).
bool CLS_TinyHttpServer::TakeRequest(QByteArray& _baBuffer, TinyHttpRequest& _request) const
{
    const int iHeadEnd = _baBuffer.indexOf("\r\n\r\n");
    if (iHeadEnd < 0)
        return false;
    const QList<QByteArray> qlstHead = _baBuffer.left(iHeadEnd).split('\n');
    const QList<QByteArray> qlstStart = qlstHead.first().trimmed().split(' ');
    if (qlstStart.size() < 2)
        return false;
    _request.baMethod = qlstStart[0];
    _request.baPath = qlstStart[1];
    for (int i = 1; i < qlstHead.size(); ++i) {
        const int iColon = qlstHead[i].indexOf(':');
        if (iColon > 0)
            _request.qmapHeaders.insert(qlstHead[i].left(iColon).trimmed().toLower(), qlstHead[i].mid(iColon + 1).trimmed());
    }
    const int iLength = _request.qmapHeaders.value("content-length", "0").toInt();
    if (_baBuffer.size() < iHeadEnd + 4 + iLength)
        return false;
    _request.baBody = _baBuffer.mid(iHeadEnd + 4, iLength);
    _baBuffer.remove(0, iHeadEnd + 4 + iLength);
    return true;
}

void CLS_TinyHttpServer::Answer(QTcpSocket* _pSocket, const TinyHttpRequest& _request)
{
    if (m_eMode == n_ReplyMode_Silent)
        return;
    const int iStatus = m_eMode == n_ReplyMode_Echo ? 200 : m_iStatus;
    const QByteArray& baBody = m_eMode == n_ReplyMode_Echo ? _request.baBody : m_baBody;
    QByteArray baReply = "HTTP/1.1 " + QByteArray::number(iStatus) + " Status\r\n";
    baReply += "Content-Type: application/json\r\n";
    baReply += "Content-Length: " + QByteArray::number(baBody.size()) + "\r\n";
    baReply += "Connection: close\r\n\r\n";
    _pSocket->write(baReply + baBody);
    _pSocket->disconnectFromHost();
}
