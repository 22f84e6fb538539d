#include "CLS_WebSocketRelay.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>
#include <QWebSocketServer>

#include "CLS_BurnHost.h"

namespace
{
constexpr int n_CodeMsg = 17;
constexpr int n_CodeLogout = 35;
constexpr int n_CodeAckTimeout = 70;
constexpr int n_CodeAckReceived = 71;

QJsonObject ParseObject(const QString& _qstrText)
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8());
    return qjsonDoc.isObject() ? qjsonDoc.object() : QJsonObject();
}

// Time stamps travel as text; a client may echo one as a number.
QString TextOf(const QJsonValue& _qjsonValue)
{
    if (_qjsonValue.isDouble())
        return QString::number(static_cast<qint64>(_qjsonValue.toDouble()));
    return _qjsonValue.toString();
}

QString SendKey(const QJsonObject& _qjsonMsg)
{
    return TextOf(_qjsonMsg.value(QStringLiteral("msgId"))) + QLatin1Char('\n')
        + TextOf(_qjsonMsg.value(QStringLiteral("timestamp")));
}

bool IsSendMessage(const QJsonObject& _qjsonMsg)
{
    return _qjsonMsg.value(QStringLiteral("cmdtype")).toString() == QLatin1String("send");
}

bool IsEmpty(const ClientIdentity& _stIdentity)
{
    return _stIdentity.qstrToken.isEmpty() && _stIdentity.qstrPlatform.isEmpty() && _stIdentity.qstrSender.isEmpty();
}

ClientIdentity IdentityOf(const QJsonObject& _qjsonMsg)
{
    return {_qjsonMsg.value(QStringLiteral("token")).toString(), _qjsonMsg.value(QStringLiteral("platform")).toString(),
            _qjsonMsg.value(QStringLiteral("sender")).toString()};
}

// A client may say who it is when it connects ("ws://host:port/?token=...&platform=...&sender=..."),
// so that replies held for it reach it before it sends anything.
ClientIdentity IdentityOf(const QUrl& _qurlRequest)
{
    const QUrlQuery qurlQuery(_qurlRequest);
    return {qurlQuery.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded),
            qurlQuery.queryItemValue(QStringLiteral("platform"), QUrl::FullyDecoded),
            qurlQuery.queryItemValue(QStringLiteral("sender"), QUrl::FullyDecoded)};
}

bool Names(const MessageAddress& _stAddress, const ClientIdentity& _stIdentity)
{
    return (_stAddress.qstrToken.isEmpty() || _stIdentity.qstrToken == _stAddress.qstrToken)
        && (_stAddress.qsetSenders.isEmpty() || _stAddress.qsetSenders.contains(_stIdentity.qstrSender));
}
}  // namespace

uint qHash(const ClientIdentity& _stIdentity, uint _uSeed)
{
    return qHash(_stIdentity.qstrToken, _uSeed) ^ qHash(_stIdentity.qstrPlatform, _uSeed)
        ^ qHash(_stIdentity.qstrSender, _uSeed);
}

MessageAddress AddressOf(const QJsonObject& _qjsonMsg)
{
    MessageAddress stAddress;
    stAddress.qstrToken = _qjsonMsg.value(QStringLiteral("token")).toString();
    const QJsonValue qjsonClients = _qjsonMsg.value(QStringLiteral("clientlist"));
    if (IsSendMessage(_qjsonMsg) && qjsonClients.isArray()) {
        for (const QJsonValue& qjsonClient : qjsonClients.toArray())
            stAddress.qsetSenders.insert(qjsonClient.toString());
        return stAddress;
    }
    const QString qstrSender = _qjsonMsg.value(QStringLiteral("sender")).toString();
    if (!qstrSender.isEmpty())
        stAddress.qsetSenders.insert(qstrSender);
    return stAddress;
}

CLS_WebSocketRelay::CLS_WebSocketRelay(CLS_BurnHost* _pHost, int _iAckTimeoutSec, QObject* _pParent)
    : QObject(_pParent),
      m_pHost(_pHost),
      m_iAckTimeoutMs(_iAckTimeoutSec * 1000),
      m_pServer(new QWebSocketServer(QStringLiteral("burnhost"), QWebSocketServer::NonSecureMode, this))
{
    connect(m_pServer, &QWebSocketServer::newConnection, this, &CLS_WebSocketRelay::SlotNewConnection);
    connect(m_pHost, &CLS_BurnHost::signalOutgoing, this, &CLS_WebSocketRelay::SlotOutgoing);
}

CLS_WebSocketRelay::~CLS_WebSocketRelay()
{
    for (QWebSocket* pClient : m_qhashClients.keys()) {
        disconnect(pClient, nullptr, this, nullptr);
        pClient->close();
    }
}

bool CLS_WebSocketRelay::Listen(const QHostAddress& _qhostAddr, quint16 _usPort, QString& _qstrError)
{
    if (m_pServer->listen(_qhostAddr, _usPort))
        return true;
    _qstrError = m_pServer->errorString();
    return false;
}

quint16 CLS_WebSocketRelay::Port() const
{
    return m_pServer->serverPort();
}

void CLS_WebSocketRelay::SlotNewConnection()
{
    while (QWebSocket* pClient = m_pServer->nextPendingConnection()) {
        pClient->setParent(this);
        pClient->setMaxAllowedIncomingMessageSize(n_MaxRequestBytes);
        pClient->setMaxAllowedIncomingFrameSize(n_MaxRequestBytes);
        m_qhashClients.insert(pClient, {});
        connect(pClient, &QWebSocket::textMessageReceived, this, &CLS_WebSocketRelay::SlotTextMessage);
        connect(pClient, &QWebSocket::disconnected, this, &CLS_WebSocketRelay::SlotDisconnected);
        RememberIdentity(pClient, IdentityOf(pClient->requestUrl()));
    }
}

void CLS_WebSocketRelay::SlotTextMessage(const QString& _qstrText)
{
    auto* pClient = qobject_cast<QWebSocket*>(sender());
    const QJsonObject qjsonMsg = ParseObject(_qstrText);
    if (ConsumeAck(qjsonMsg))
        return;
    if (pClient)
        RememberIdentity(pClient, IdentityOf(qjsonMsg));
    m_pHost->Deliver(n_CodeMsg, _qstrText);
}

// A client's "ack" of a "send" message is transport business, not a request.
bool CLS_WebSocketRelay::ConsumeAck(const QJsonObject& _qjsonMsg)
{
    if (_qjsonMsg.value(QStringLiteral("cmdtype")).toString() != QLatin1String("ack"))
        return false;
    auto itPending = m_qhashPendingSends.find(SendKey(_qjsonMsg));
    if (itPending == m_qhashPendingSends.end())
        return false;
    const QString qstrSent = itPending->qstrText;
    delete itPending->pTimer;
    m_qhashPendingSends.erase(itPending);
    m_pHost->Deliver(n_CodeAckReceived, qstrSent);
    return true;
}

void CLS_WebSocketRelay::RememberIdentity(QWebSocket* _pClient, const ClientIdentity& _stIdentity)
{
    if (IsEmpty(_stIdentity))
        return;
    QList<ClientIdentity>& lstIdentities = m_qhashClients[_pClient];
    if (lstIdentities.contains(_stIdentity))
        return;
    lstIdentities.append(_stIdentity);
    DeliverHeld(_pClient, _stIdentity);
}

// "send" messages that went out while none of their clients was connected (a host started
// again resends before its clients are back) go to the first client they name.
void CLS_WebSocketRelay::DeliverHeld(QWebSocket* _pClient, const ClientIdentity& _stIdentity)
{
    for (PendingSend& stPending : m_qhashPendingSends) {
        if (stPending.blDelivered || !Names(stPending.stAddress, _stIdentity))
            continue;
        _pClient->sendTextMessage(stPending.qstrText);
        stPending.blDelivered = true;
    }
}

void CLS_WebSocketRelay::SlotDisconnected()
{
    auto* pClient = qobject_cast<QWebSocket*>(sender());
    if (!pClient || !m_qhashClients.contains(pClient))
        return;
    const QList<ClientIdentity> lstIdentities = m_qhashClients.take(pClient);
    pClient->deleteLater();
    for (const ClientIdentity& stIdentity : lstIdentities) {
        const QJsonObject qjsonParam{{QStringLiteral("token"), stIdentity.qstrToken},
                                     {QStringLiteral("platform"), stIdentity.qstrPlatform},
                                     {QStringLiteral("sender"), stIdentity.qstrSender}};
        const QJsonObject qjsonLogout{{QStringLiteral("param"), qjsonParam}};
        m_pHost->Deliver(n_CodeLogout, QString::fromUtf8(QJsonDocument(qjsonLogout).toJson(QJsonDocument::Compact)));
    }
}

QList<QWebSocket*> CLS_WebSocketRelay::Recipients(const MessageAddress& _stAddress) const
{
    const bool blNamesNone = _stAddress.qsetSenders.isEmpty() && _stAddress.qstrToken.isEmpty();
    QList<QWebSocket*> lstRecipients;
    for (auto it = m_qhashClients.constBegin(); it != m_qhashClients.constEnd(); ++it) {
        const bool blMatch = blNamesNone
            || std::any_of(it->cbegin(), it->cend(),
                           [&_stAddress](const ClientIdentity& _stIdentity) { return Names(_stAddress, _stIdentity); });
        if (blMatch)
            lstRecipients.append(it.key());
    }
    return lstRecipients;
}

void CLS_WebSocketRelay::SlotOutgoing(QString, int, QString _qstrData)
{
    const QJsonObject qjsonMsg = ParseObject(_qstrData);
    const QList<QWebSocket*> lstRecipients = Recipients(AddressOf(qjsonMsg));
    for (QWebSocket* pClient : lstRecipients)
        pClient->sendTextMessage(_qstrData);
    if (IsSendMessage(qjsonMsg))
        TrackSend(qjsonMsg, _qstrData, !lstRecipients.isEmpty());
}

void CLS_WebSocketRelay::TrackSend(const QJsonObject& _qjsonMsg, const QString& _qstrText, bool _blDelivered)
{
    const QString qstrKey = SendKey(_qjsonMsg);
    PendingSend& stPending = m_qhashPendingSends[qstrKey];
    delete stPending.pTimer;
    stPending.qstrText = _qstrText;
    stPending.stAddress = AddressOf(_qjsonMsg);
    stPending.blDelivered = _blDelivered;
    stPending.pTimer = new QTimer(this);
    stPending.pTimer->setSingleShot(true);
    connect(stPending.pTimer, &QTimer::timeout, this, [this, qstrKey] { ReportTimeout(qstrKey); });
    stPending.pTimer->start(m_iAckTimeoutMs);
}

void CLS_WebSocketRelay::ReportTimeout(const QString& _qstrKey)
{
    auto itPending = m_qhashPendingSends.find(_qstrKey);
    if (itPending == m_qhashPendingSends.end())
        return;
    const QString qstrSent = itPending->qstrText;
    itPending->pTimer->deleteLater();
    m_qhashPendingSends.erase(itPending);
    m_pHost->Deliver(n_CodeAckTimeout, qstrSent);
}
