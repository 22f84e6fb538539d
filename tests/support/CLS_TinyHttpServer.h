// A minimal HTTP/1.1 server on 127.0.0.1 for tests: records each request and
// answers as configured. Lives on the test thread and serves from its event loop.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QTcpServer>

class QTcpSocket;

struct TinyHttpRequest
{
    QByteArray baMethod;
    QByteArray baPath;
    QMap<QByteArray, QByteArray> qmapHeaders;   // names in lower case
    QByteArray baBody;
};

class CLS_TinyHttpServer : public QObject
{
    Q_OBJECT

public:
    enum ReplyMode
    {
        n_ReplyMode_Fixed,    // the set status and body
        n_ReplyMode_Echo,     // status 200 with the request body
        n_ReplyMode_Silent,   // reads the request and never answers
    };

    explicit CLS_TinyHttpServer(QObject* _pParent = nullptr);

    bool Listen();
    quint16 Port() const;
    QByteArray Url(const QByteArray& _baPath) const;

    void SetReply(int _iStatus, const QByteArray& _baBody);
    void SetMode(ReplyMode _eMode);
    QList<TinyHttpRequest> Requests() const;

private Q_SLOTS:
    void SlotNewConnection();
    void SlotReadyRead();

private:
    bool TakeRequest(QByteArray& _baBuffer, TinyHttpRequest& _request) const;
    void Answer(QTcpSocket* _pSocket, const TinyHttpRequest& _request);

    QTcpServer m_qtcpServer;
    QHash<QTcpSocket*, QByteArray> m_qhashBuffers;
    QList<TinyHttpRequest> m_qlstRequests;
    ReplyMode m_eMode = n_ReplyMode_Fixed;
    int m_iStatus = 200;
    QByteArray m_baBody;
};
