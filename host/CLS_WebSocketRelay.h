// Relays between WebSocket clients and the host: a text frame is a code-17 request;
// an outgoing message goes to the clients it names; "send" messages wait for the
// client's "ack" and are reported delivered (71) or timed out (70), and one whose
// client is not connected is held until it comes back; a client that goes away is
// reported with code 35 once per identity it used.
// Lives on the main thread.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class CLS_BurnHost;
class QTimer;
class QWebSocket;
class QWebSocketServer;

// Who a client has said it is: the envelope members of its messages.
struct ClientIdentity
{
    QString qstrToken;
    QString qstrPlatform;
    QString qstrSender;

    bool operator==(const ClientIdentity& _stOther) const
    {
        return qstrToken == _stOther.qstrToken && qstrPlatform == _stOther.qstrPlatform
            && qstrSender == _stOther.qstrSender;
    }
};
uint qHash(const ClientIdentity& _stIdentity, uint _uSeed = 0);

// Which clients an outgoing message names; both empty: every client.
struct MessageAddress
{
    QSet<QString> qsetSenders;  // "clientlist" of a "send" message, or "sender"
    QString qstrToken;          // "token", when the message names one
};
MessageAddress AddressOf(const QJsonObject& _qjsonMsg);

class CLS_WebSocketRelay : public QObject
{
    Q_OBJECT

public:
    CLS_WebSocketRelay(CLS_BurnHost* _pHost, int _iAckTimeoutSec, QObject* _pParent = nullptr);
    ~CLS_WebSocketRelay() override;

    bool Listen(const QHostAddress& _qhostAddr, quint16 _usPort, QString& _qstrError);
    quint16 Port() const;

private Q_SLOTS:
    void SlotNewConnection();
    void SlotTextMessage(const QString& _qstrText);
    void SlotDisconnected();
    void SlotOutgoing(QString _qstrSignal, int _iCode, QString _qstrData);

private:
    struct PendingSend
    {
        QString qstrText;
        MessageAddress stAddress;
        bool blDelivered = false;  // false: no client it names was there yet
        QTimer* pTimer = nullptr;
    };

    bool ConsumeAck(const QJsonObject& _qjsonMsg);
    void RememberIdentity(QWebSocket* _pClient, const ClientIdentity& _stIdentity);
    void DeliverHeld(QWebSocket* _pClient, const ClientIdentity& _stIdentity);
    QList<QWebSocket*> Recipients(const MessageAddress& _stAddress) const;
    void TrackSend(const QJsonObject& _qjsonMsg, const QString& _qstrText, bool _blDelivered);
    void ReportTimeout(const QString& _qstrKey);

    CLS_BurnHost* m_pHost;
    int m_iAckTimeoutMs;
    QWebSocketServer* m_pServer;
    QHash<QWebSocket*, QList<ClientIdentity>> m_qhashClients;
    QHash<QString, PendingSend> m_qhashPendingSends;  // key: msgId + "\n" + timestamp
};
