// The record of one message of the acknowledged protocol, passed by value between the
// gateway and the job store. Plain data; each copy belongs to the thread holding it.
#pragma once

#include <QString>

struct BurnMsgInfo
{
    QString qstrMsg;            // the complete message text (inbound message or delivery report)
    QString qstrJobId;          // "JobId" of the command parameters
    QString qstrHead;           // the envelope without its "param" member, compact JSON
    QString qstrCmdParam;       // the command parameters with "msgId" added, compact JSON
    QString qstrResponse;       // the outgoing message text (replies only)
    QString qstrToken;          // envelope "token"
    QString qstrPlatform;       // envelope "platform"
    QString qstrSender;         // envelope "sender"
    QString qstrMsgId;          // envelope "msgId"
    QString qstrCmdType;        // envelope "cmdtype"
    QString qstrCmd;            // command, or reply command for replies and reports
    QString qstrEventId;        // command parameters "eventId"
    QString qstrTimestamp;      // envelope "timestamp"
    QString qstrBurnTempParam;  // "ApplyBurn": the whole module message, compact JSON
    int iJobState = -1;         // -1 for requests; the reply status for replies
    int iAck = -1;              // request "ret" (-1 when absent); -1 for replies; 0 or 1 in delivery reports
};
