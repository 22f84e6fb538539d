// What the DMX robots' task service is sent and answers, as free functions: request
// bodies, reply readers, the task and robot status texts in their key order, the task
// status map. Text in, values out; stateless, callable from any thread.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

// The robot's error ids that mean it lacks blank discs.
constexpr int n_DmxErrId_MissDisc1 = 112002;
constexpr int n_DmxErrId_MissDisc2 = 112003;
constexpr int n_DmxErrId_NoDiscForTask = 111012;
// The task status a job waiting for blank discs is given; the twelve-drive model maps it
// to job state 14.
constexpr int n_DmxTaskStatus_MissDisc = 10621;
constexpr int n_DmxTaskStatus_Finished = 14;
constexpr int n_DmxTaskStatus_ReburnFailed = 13;

// Robot status error codes.
constexpr int n_DmxStatus_Normal = 13;
constexpr int n_DmxStatus_InkLow = 15;
constexpr int n_DmxStatus_NoDiscs = 16;

// One job on a robot.
struct DMXJobParam
{
    QString qstrGuid;
    QString qstrCode;          // "poolCode" of the ApplyBurn request
    QString qstrLabel;         // the disc title
    QString qstrCover;
    QString qstrLabelValues;   // compact JSON of "LabelInfo"
    int iBurnCount = 0;
    int iCdType = 0;
    bool blCloseWholeCd = true;
    bool blPrint = false;
    int iTaskStatus = 0;
    QString qstrStatusMsg;
    QString qstrLogs;
    std::vector<std::pair<std::string, std::string>> vecBurnFiles;  // (source, path on the disc)
    // Twelve drives: 0 none, 1 the task must be submitted again, 2 restarted on the robot.
    int iMissDiscType = 0;
    int m_iReBurnCount = 0;
};

struct DMXDevStatus
{
    int iDevType = 0;
    int iBlackInk = -1;
    int iYellowInk = -1;
    int iRedInk = -1;
    int iBlueInk = -1;
    int iEmptyDiscCount = 0;
    int iErrorCode = n_DmxStatus_Normal;
};

// The robot's share from a "shares" reply: the first object with a non-zero "status"
// and all of "addrsrc", "user", "pass"; "/" in the address become "\". The keys that
// objects lacked, for the log.
struct DmxShare
{
    bool blFound = false;
    QString qstrDir;
    QString qstrUser;
    QString qstrPass;
    QStringList qlstMissingKeys;
};
DmxShare ReadDmxShares(const QString& _qstrReply);

// The task service's state from a "SysStatus" reply: 0 running, 2 keys missing
// (_pqstrMissingKey names the first), 3 device fault, 4 stopped, 5 starting. A failed
// request is 1 and never reaches here.
int DmxServiceState(const QString& _qstrReply, QString* _pqstrMissingKey);

// Ink levels from a "Printer" reply (-1 for an ink not reported).
void ReadDmxInks(const QString& _qstrReply, DMXDevStatus& _stStatus);
// Blank discs from a "DepotInfos" reply: the "count" of objects of "dwType" 0 or 1;
// _piUnreadable counts the objects lacking a key.
int ReadDmxDepotDiscs(const QString& _qstrReply, int* _piUnreadable);
// 15 when an ink is from 0 to 5 (unknown inks, -1, do not count), else 16 without
// blank discs (or without an answer), else 13.
int DmxErrorCode(const DMXDevStatus& _stStatus, bool _blDiscsKnown);

// Whether a "TaskSysLogs" reply holds one of the missing-disc error ids.
bool HasMissDiscError(const QString& _qstrReply, int* _piUnreadable);

// The job state of a task status; 10621 gives 14 or -1 as the model says.
int MapDmxTaskStatus(int _iTaskStatus, bool _blMissDiscState);
// Whether a task status ends the task in error (its share copy then goes).
bool IsDmxErrorStatus(int _iTaskStatus);

// A destination as the robot takes it: "/" separators, one leading "/".
QString DmxDiscPath(const std::string& _strDestination);

// Request bodies.
QString DmxTaskText(const DMXJobParam& _stJob, const QJsonObject* _pPrintValues);
QString DmxDepotFilter();
QString DmxLogFilter(const QString& _qstrJobId);
QString DmxRestartRange(const QString& _qstrJobId);

// The robot status message.
QString DmxRobotStatusText(const DMXDevStatus& _stStatus);
