// What the optical archive's REST service is sent and answers, as free functions:
// request bodies, reply readers, disc labels and label lists. Text in, values out;
// stateless, callable from any thread.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <string>

// The service's paths.
extern const char g_szOdaQueryPoolPath[];   // "/oss/rest/restServer/queryPoolInfo"
extern const char g_szOdaMkdirPath[];       // "/oss/rest/restServer/mkdir"
extern const char g_szOdaCreateTaskPath[];  // "/oss/rest/restServer/createBurnPrintTask"
extern const char g_szOdaTaskStatePath[];   // "/oss/rest/restServer/queryBurnPrintTaskState"
extern const char g_szOdaDiscPath[];        // "/oss/rest/restServer/queryDiscByFileId"
extern const char g_szOdaLoginName[];       // "admin"

// States of a published task.
enum OdaBurnPrintState
{
    n_BurnPrintState_Finished = 2,
    n_BurnPrintState_Abnormal = 4,
    n_BurnPrintState_OfflineWait = 5,
};

// Error codes of the robot status message of a task waiting offline.
enum OdaOfflineError
{
    n_OdaOffline_NoDetail = 13,
    n_OdaOffline_Burn = 14,
    n_OdaOffline_Print = 15,
    n_OdaOffline_BurnAndPrint = 16,
};

struct OdaPoolCodeInfo
{
    std::string m_strPoolCodeName;  // "poolCode"
    std::string m_strPoolName;      // "poolName"
    std::string m_strVolPath;       // "volPath": where the module writes the pool's files
};

// The common head of a reply: "code" "0" is success.
struct OdaReplyHead
{
    bool blOk = false;
    QString qstrErrCode;  // "taskResultCode"
    QString qstrMsg;      // "msg"
};
OdaReplyHead ReadOdaReplyHead(const QJsonObject& _qjsonReply);

// The pool list: the first pool whose code or name is the wanted one (the first pool
// when none is wanted). blMatched false when none matches.
struct OdaPoolChoice
{
    OdaReplyHead stHead;
    bool blMatched = false;
    OdaPoolCodeInfo stPool;
};
OdaPoolChoice ChooseOdaPool(const QString& _qstrReply, const QString& _qstrWantedPool);

// The first status object of a task-state reply. blRead false when the reply is not a
// non-empty array; iState -1 when "state" is not a number.
struct OdaTaskState
{
    bool blRead = false;
    OdaReplyHead stHead;
    int iState = -1;
    QString qstrState;      // "state" as sent
    QString qstrDiscLabel;  // "discLabel"
    QString qstrOfflineMsg; // the robot status text of a task waiting offline
    int iOfflineError = n_OdaOffline_NoDetail;
};
OdaTaskState ReadOdaTaskState(const QString& _qstrReply);

// Whether any status object of the reply, read in order up to the first one that is
// not a success, has a state from 1 to 5 (the service still knows the task).
bool OdaTaskKnown(const QString& _qstrReply);

// "discs" of a disc-places reply as compact JSON text; "[]" when the reply failed or
// names none.
QString ReadOdaDiscs(const QString& _qstrReply);

// The part of the job id from its last "_" (looked for from the third-last character
// back) to the end; empty when there is none after the first character.
QString OdaJobIdSuffix(const QString& _qstrJobId);

// Title + time ("yyyyMMddHHmmss") + the sequence number in three digits + suffix.
QString MakeOdaDiscLabel(const QString& _qstrTitle, const QDateTime& _qdtNow, int _iSequence,
                         const QString& _qstrJobId);

// The sixteen "<Side><N>@<text>" entries of "LabelInfo", comma-separated: the first
// four of each side, upper, left, right, down.
QString MakeOdaLabelList(const QJsonObject& _qjsonLabelInfo);

// The bodies the service reads.
QString OdaMkdirBody(const QString& _qstrDir);
QString OdaTaskBody(const QString& _qstrImgModCode, const QString& _qstrFilePath, const QString& _qstrDiscLabel,
                    int _iBurnNum, const QString& _qstrLabList);

// The robot status message of a task waiting offline.
QString OdaOfflineStatusMessage(const OdaTaskState& _stState, const QString& _qstrJobId);
