#include "BurnMessageFormat.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "BurnDefine.h"
#include "PublicCommonFun.h"

namespace
{
const QString s_qstrParam = QStringLiteral("param");
const QString s_qstrBurnStatusReply = QStringLiteral("BurnStatusReply");
constexpr int n_OutgoingCmd = 10110;

QJsonObject OuterEnvelope(const QJsonObject& _qjsonFrom, const QJsonObject& _qjsonParam)
{
    QJsonObject qjsonOuter;
    for (const char* szKey : {"token", "platform", "sender"})
        qjsonOuter.insert(QLatin1String(szKey), _qjsonFrom.value(QLatin1String(szKey)).toString());
    qjsonOuter.insert(s_qstrParam, _qjsonParam);
    return qjsonOuter;
}

QString ModuleReply(const char* _szCmd, const QJsonObject& _qjsonParam)
{
    QJsonObject qjsonReply;
    qjsonReply.insert(QStringLiteral("ModuleName"), QStringLiteral("BurnModule"));
    qjsonReply.insert(QStringLiteral("cmd"), QString::fromLatin1(_szCmd));
    qjsonReply.insert(s_qstrParam, _qjsonParam);
    return QString::fromUtf8(QJsonDocument(qjsonReply).toJson(QJsonDocument::Indented));
}
}  // namespace

bool HasTimestamp(const QJsonObject& _qjsonMsg)
{
    return _qjsonMsg.contains(QStringLiteral("timestamp"));
}

BurnMsgInfo ParseInboundMsg(const QString& _qstrMsg, const QJsonObject& _qjsonMsg)
{
    const QJsonObject qjsonModule = _qjsonMsg.value(s_qstrParam).toObject();
    QJsonObject qjsonCmdParam = qjsonModule.value(s_qstrParam).toObject();
    QJsonObject qjsonHead = _qjsonMsg;
    qjsonHead.remove(s_qstrParam);

    BurnMsgInfo stInfo;
    stInfo.qstrMsg = _qstrMsg;
    stInfo.qstrToken = _qjsonMsg.value(QStringLiteral("token")).toString();
    stInfo.qstrPlatform = _qjsonMsg.value(QStringLiteral("platform")).toString();
    stInfo.qstrSender = _qjsonMsg.value(QStringLiteral("sender")).toString();
    stInfo.qstrMsgId = _qjsonMsg.value(QStringLiteral("msgId")).toString();
    stInfo.qstrCmdType = _qjsonMsg.value(QStringLiteral("cmdtype")).toString();
    stInfo.qstrTimestamp = _qjsonMsg.value(QStringLiteral("timestamp")).toString();
    stInfo.qstrCmd = qjsonModule.value(QStringLiteral("cmd")).toString();
    stInfo.iAck = qjsonModule.value(QStringLiteral("ret")).toInt(-1);
    stInfo.qstrJobId = qjsonCmdParam.value(QStringLiteral("JobId")).toString();
    stInfo.qstrEventId = qjsonCmdParam.value(QStringLiteral("eventId")).toString();
    qjsonCmdParam.insert(QStringLiteral("msgId"), stInfo.qstrMsgId);
    stInfo.qstrCmdParam = JsonObjectToString(qjsonCmdParam);
    stInfo.qstrHead = JsonObjectToString(qjsonHead);
    if (stInfo.qstrCmd == QLatin1String("ApplyBurn"))
        stInfo.qstrBurnTempParam = JsonObjectToString(qjsonModule);
    return stInfo;
}

QString BuildImmediateAck(const QJsonObject& _qjsonMsg, const QString& _qstrCmd, bool _blOneInstance)
{
    const QString qstrAck =
        QStringLiteral("{\"ModuleName\":\"BurnModule\",\"cmd\":\"%1\",\"param\":{\"ret\":1}}\r\n").arg(_qstrCmd);
    QJsonObject qjsonAck = _qjsonMsg;
    qjsonAck.insert(s_qstrParam, QStringToJsonObject(qstrAck));
    return JsonObjectToString(_blOneInstance ? OuterEnvelope(_qjsonMsg, qjsonAck) : qjsonAck);
}

QString BuildDirectReply(const QString& _qstrStoredRequest, const QJsonObject& _qjsonReply, bool _blOneInstance)
{
    const QJsonObject qjsonRequest = QStringToJsonObject(_qstrStoredRequest);
    QJsonObject qjsonInner = qjsonRequest;
    qjsonInner.insert(s_qstrParam, _qjsonReply);
    if (!_blOneInstance)
        return JsonObjectToString(qjsonInner);
    QJsonObject qjsonOuter = qjsonRequest;
    qjsonOuter.insert(s_qstrParam, qjsonInner);
    return JsonObjectToString(qjsonOuter);
}

QString BuildSendMessage(const QString& _qstrHead, const QJsonObject& _qjsonReply, qint64 _llNowMs)
{
    QJsonObject qjsonSend = QStringToJsonObject(_qstrHead);
    const QJsonValue qjsonSendSocket = qjsonSend.value(QStringLiteral("sendSocketID"));
    const QJsonValue qjsonRecvSocket = qjsonSend.value(QStringLiteral("recvSocketID"));
    const QString qstrOldSender = qjsonSend.value(QStringLiteral("sender")).toString();
    qjsonSend.insert(QStringLiteral("cmd"), n_OutgoingCmd);
    qjsonSend.insert(QStringLiteral("cmdtype"), QStringLiteral("send"));
    qjsonSend.insert(QStringLiteral("timestamp"), QString::number(_llNowMs));
    qjsonSend.insert(QStringLiteral("sendSocketID"), qjsonRecvSocket.toString());
    qjsonSend.insert(QStringLiteral("recvSocketID"), qjsonSendSocket.toString());
    qjsonSend.insert(QStringLiteral("sender"), QStringLiteral("BurnModule"));
    qjsonSend.insert(QStringLiteral("clientlist"), QJsonArray{qstrOldSender});
    qjsonSend.insert(s_qstrParam, QJsonObject{{s_qstrParam, _qjsonReply}});
    return JsonObjectToString(qjsonSend);
}

QString BuildReceipt(const QString& _qstrHead, const QString& _qstrJobId, const QString& _qstrCmd, int _iRet)
{
    QJsonObject qjsonParam{{QStringLiteral("JobId"), _qstrJobId},
                           {QStringLiteral("action"), _qstrCmd},
                           {QStringLiteral("ret"), _iRet}};
    if (_iRet != 0) {
        qjsonParam.insert(QStringLiteral("errCode"), QString::number(_iRet));
        qjsonParam.insert(QStringLiteral("errMsg"), QStringLiteral("消息未能记录，请稍后重发"));
    }
    QJsonObject qjsonReceipt = QStringToJsonObject(_qstrHead);
    qjsonReceipt.insert(QStringLiteral("cmdtype"), QStringLiteral("ack"));
    qjsonReceipt.insert(s_qstrParam, qjsonParam);
    return JsonObjectToString(qjsonReceipt);
}

QString BuildDeviceEvent(const ClientRoute& _stRoute, const QJsonObject& _qjsonEvent)
{
    const QJsonObject qjsonEvent{{s_qstrParam, _qjsonEvent},
                                 {QStringLiteral("token"), _stRoute.qstrToken},
                                 {QStringLiteral("sender"), _stRoute.qstrSender},
                                 {QStringLiteral("platform"), _stRoute.qstrPlatform}};
    return JsonObjectToString(qjsonEvent);
}

QString BuildTimeoutNotice(const QString& _qstrReplyCmd, const QString& _qstrJobId)
{
    const QJsonObject qjsonNotice{
        {QStringLiteral("cmd"), QStringLiteral("BurnTimeOutMsg")},
        {s_qstrParam, QJsonObject{{QStringLiteral("cmd"), _qstrReplyCmd}, {QStringLiteral("JobId"), _qstrJobId}}}};
    return JsonObjectToString(qjsonNotice);
}

QString ReplyCommandOf(const QString& _qstrReply)
{
    const QJsonValue qjsonCmd = QStringToJsonObject(_qstrReply).value(QStringLiteral("cmd"));
    return qjsonCmd.isString() ? qjsonCmd.toString() : QStringLiteral("undefined");
}

QString RequestCommandOf(const QString& _qstrReplyCmd)
{
    QString qstrCmd = _qstrReplyCmd == s_qstrBurnStatusReply ? QStringLiteral("DoBurnReply") : _qstrReplyCmd;
    return qstrCmd.remove(QStringLiteral("Reply"));
}

QString BuildCommandReply(const char* _szCmd, const QString& _qstrJobId, int _iRet, const QString& _qstrErrCode,
                          const QString& _qstrErrMsg, const QJsonArray* _pqjsonDelJobId)
{
    QJsonObject qjsonParam;
    qjsonParam.insert(QStringLiteral("JobId"), _qstrJobId);
    qjsonParam.insert(QStringLiteral("ret"), _iRet);
    qjsonParam.insert(QStringLiteral("errCode"), _qstrErrCode);
    qjsonParam.insert(QStringLiteral("errMsg"), _qstrErrMsg);
    if (_pqjsonDelJobId)
        qjsonParam.insert(QStringLiteral("delJobId"), *_pqjsonDelJobId);
    return ModuleReply(_szCmd, qjsonParam);
}

QString BuildStatusReply(const QString& _qstrJobId, int _iState, const QString& _qstrDiscPlace,
                         const QString& _qstrErrCode, const QString& _qstrErrMsg, const QString* _pqstrErrLogs)
{
    QJsonObject qjsonParam;
    qjsonParam.insert(QStringLiteral("JobId"), _qstrJobId);
    qjsonParam.insert(QStringLiteral("status"), _iState);
    qjsonParam.insert(QStringLiteral("statusMsg"), QString::fromUtf8(GetJobStatusText(_iState)));
    qjsonParam.insert(QStringLiteral("SDiskPlace"), _qstrDiscPlace);
    qjsonParam.insert(QStringLiteral("errCode"), _qstrErrCode);
    qjsonParam.insert(QStringLiteral("errMsg"), _qstrErrMsg);
    if (_pqstrErrLogs)
        qjsonParam.insert(QStringLiteral("errLogs"), *_pqstrErrLogs);
    return ModuleReply("BurnStatusReply", qjsonParam);
}

QString BuildDevCtrlReply(const QString& _qstrEventId, int _iRet, const QJsonArray& _qjsonReplyList)
{
    QJsonObject qjsonParam;
    qjsonParam.insert(QStringLiteral("eventId"), _qstrEventId);
    qjsonParam.insert(QStringLiteral("ret"), _iRet);
    qjsonParam.insert(QStringLiteral("replyList"), _qjsonReplyList);
    return ModuleReply("BurnDevCtrlReply", qjsonParam);
}

QJsonObject DevCtrlReplyItem(const QJsonObject& _qjsonEntry, const QJsonArray& _qjsonDelJobId, int _iRet,
                             const QString& _qstrErrMsg)
{
    QJsonObject qjsonItem;
    for (const char* szKey : {"burnDev", "devIP", "devId", "devPort", "subCmd"}) {
        const QString qstrKey = QLatin1String(szKey);
        if (_qjsonEntry.contains(qstrKey))
            qjsonItem.insert(qstrKey, _qjsonEntry.value(qstrKey));
    }
    qjsonItem.insert(QStringLiteral("delJobId"), _qjsonDelJobId);
    qjsonItem.insert(QStringLiteral("ret"), _iRet);
    qjsonItem.insert(QStringLiteral("errMsg"), _qstrErrMsg);
    return qjsonItem;
}
