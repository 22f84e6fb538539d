// The module's message texts: the replies the burn bus builds ("ModuleName", "cmd",
// "param"), how the gateway reads inbound envelopes and how it builds every outgoing
// message (acknowledgement, reply, "send", receipt, device event, timeout notice).
// Free functions of text in, text out; callable from any thread.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include "BurnMsgInfo.h"

// The client a reply goes back to: who asked and what it sent.
struct ClientRoute
{
    QString qstrToken;
    QString qstrPlatform;
    QString qstrSender;
    QString qstrMsg;  // the complete inbound message

    bool IsEmpty() const { return qstrMsg.isEmpty() && qstrToken.isEmpty() && qstrSender.isEmpty(); }
};

// Reads an inbound message into a record: envelope, module message, command
// parameters with "msgId" added. Field 14 is filled for "ApplyBurn" only.
BurnMsgInfo ParseInboundMsg(const QString& _qstrMsg, const QJsonObject& _qjsonMsg);

// Whether the message follows the acknowledged protocol.
bool HasTimestamp(const QJsonObject& _qjsonMsg);

// The immediate acknowledgement of a direct-protocol request.
QString BuildImmediateAck(const QJsonObject& _qjsonMsg, const QString& _qstrCmd, bool _blOneInstance);

// A direct-protocol reply: the stored request with "param" replaced by the reply.
QString BuildDirectReply(const QString& _qstrStoredRequest, const QJsonObject& _qjsonReply, bool _blOneInstance);

// The "send" message of the acknowledged protocol, built from the stored head.
QString BuildSendMessage(const QString& _qstrHead, const QJsonObject& _qjsonReply, qint64 _llNowMs);

// The receipt of a timestamped message: "ret" 0 when it was recorded; otherwise the
// result with "errCode" and "errMsg", and the message was neither kept nor run.
QString BuildReceipt(const QString& _qstrHead, const QString& _qstrJobId, const QString& _qstrCmd, int _iRet);

// A device-control event addressed by its route.
QString BuildDeviceEvent(const ClientRoute& _stRoute, const QJsonObject& _qjsonEvent);

// The queue notice for a delivery that timed out.
QString BuildTimeoutNotice(const QString& _qstrReplyCmd, const QString& _qstrJobId);

// The reply command of a bus reply: its "cmd" text, or "undefined".
QString ReplyCommandOf(const QString& _qstrReply);

// The request command whose stored head answers a reply command:
// "BurnStatusReply" -> "DoBurn", "StartBurnReply" -> "StartBurn".
QString RequestCommandOf(const QString& _qstrReplyCmd);

// ---- Replies of the burn bus, in Qt's indented form -------------------------------

// A command reply "<cmd>" with "JobId", "ret", "errCode", "errMsg" and, when given,
// the ids of the jobs a new device address dropped as "delJobId".
QString BuildCommandReply(const char* _szCmd, const QString& _qstrJobId, int _iRet, const QString& _qstrErrCode,
                          const QString& _qstrErrMsg, const QJsonArray* _pqjsonDelJobId = nullptr);

// A "BurnStatusReply" for a job state with its text; "errLogs" only when given (the
// final reply carries it, the disc-error notice does not).
QString BuildStatusReply(const QString& _qstrJobId, int _iState, const QString& _qstrDiscPlace,
                         const QString& _qstrErrCode, const QString& _qstrErrMsg, const QString* _pqstrErrLogs);

// The "BurnDevCtrlReply" of a device-control request.
QString BuildDevCtrlReply(const QString& _qstrEventId, int _iRet, const QJsonArray& _qjsonReplyList);

// The reply item of one device-control entry: the entry's own keys as they are, the
// dropped jobs, the entry's result and text.
QJsonObject DevCtrlReplyItem(const QJsonObject& _qjsonEntry, const QJsonArray& _qjsonDelJobId, int _iRet,
                             const QString& _qstrErrMsg);
