// What the Primera burn service SDK hands back, read as free functions: the error texts,
// the task state map, task status, robot status and dynamic messages, the print fields
// of "LabelInfo". Text in, values out; stateless, callable from any thread.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The SDK's result when an output buffer is too small; the length then says how much.
constexpr int n_PmyErr_BufferTooSmall = 11006;
constexpr int n_Pmy_BurnDev = 7;

// The text of an SDK error code; empty for a code outside 11000-11016.
QString PmyErrorText(int _iCode);
// The job state of a task "status_code"; -1 for a code the service never sends.
int PmyTaskState(int _iStatusCode);

struct PmyTaskStatus
{
    QString qstrId;
    int iStatusCode = 0;
    QString qstrStatusText;
    QString qstrJobId;
};

struct PmyTaskReply
{
    bool blValid = false;      // the text is a JSON object
    QString qstrParseError;    // the parser's text when it is not
    int iErrorCode = 0;
    QString qstrErrorMsg;
    std::vector<PmyTaskStatus> vecTasks;
};
PmyTaskReply ReadPmyTaskStatus(const QString& _qstrText);

// The module's robot status object from a robot status message, with the addresses of
// this host; empty when the message names no device.
std::optional<QJsonObject> ReadPmyRobotStatus(const QString& _qstrText, const QJsonArray& _qjsonHostIps);
// The "dynamic" object of a dynamic message; empty when there is none.
std::optional<QJsonObject> ReadPmyDynamic(const QString& _qstrText);
// The complete "BurnRobotStatus" message: the status with "dynamic_info" added.
QString PmyRobotStatusMessage(QJsonObject _qjsonStatus, const QJsonArray& _qjsonDynamic);

// Why the robot cannot calibrate its printer now; empty when it is idle.
QString PmyCalibrationRefusal(const QString& _qstrRobotText);

// The forty print fields of "LabelInfo" by area: Upper, Left, Right, Down, each One to Ten.
struct PmyLabelFields
{
    QStringList qlstUp;
    QStringList qlstLeft;
    QStringList qlstRight;
    QStringList qlstDown;
};
PmyLabelFields ReadPmyLabelFields(const QJsonObject& _qjsonLabelInfo);
