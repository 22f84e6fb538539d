// The robot dmxsim plays: disc stock, inks, task service, tasks and every request's
// answer. Owned by CLS_DmxSimulator; main thread. Network-free: a request is a call.
//
// Task status: 0 queued, 1 preparing, 2 burning (one copy a step, a blank disc each),
// 3 printing (when isPrint), 14 finished; 4 error: a --fail rule, a missing source or no
// blank disc left (slErrorId 112002; the task waits for EditTask and GoRunTask).
// A task that reaches 14 or 4 writes "<out>/<guid>.result.txt":
//   TASK=<guid>  DRIVES=<n>  OUTCOME=finished | error <message>  COPIES=<burnCount>
//   CD_TYPE=<cdType>  LABEL=<label>  PRINT=yes|no  FILES=<n>  BYTES=<total>   (a line each)
//   FILE=<size or "missing">\t<srcPath>\t<isoPath>   one per burnFiles entry, in order
#pragma once

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QVector>

#include "DmxSimOptions.h"

struct DmxSimFile
{
    QString qstrSrcPath;
    QString qstrIsoPath;
    bool blDir = false;
};

struct DmxSimTask
{
    QString qstrGuid;
    QJsonObject qjsonTask;      // as AddTask (and EditTask) gave it
    QVector<DmxSimFile> vecFiles;
    int iBurnCount = 1;
    bool blPrint = false;
    QString qstrFailMsg;        // set: a --fail task
    int iStatus = 0;
    int iBurned = 0;            // copies of this run
    bool blRunning = true;      // false once ended, or edited and not yet run again
    QJsonArray qjsonLogs;
};

// The robot's answer: "ok", "errId" and the reply text.
struct DmxSimAnswer
{
    bool blOk = true;
    int iErrId = 0;
    QString qstrReply;
};

class CLS_DmxSimRobot : public QObject
{
    Q_OBJECT

public:
    explicit CLS_DmxSimRobot(const DmxSimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the share (two drives) and the result folder; false with a reason.
    bool Prepare(QString& _qstrError);
    DmxSimAnswer Answer(const QString& _qstrMethod, const QString& _qstrClass, const QString& _qstrBody);
    void Refill(int _iDiscs);
    int BlankDiscs() const { return m_iBlankDiscs; }

public Q_SLOTS:
    // Moves every running task one step on.
    void SlotStep();

Q_SIGNALS:
    void signalEvent(const QString& _qstrCmd, const QString& _qstrJson);
    void signalTaskState(const QString& _qstrGuid, int _iStatus, const QString& _qstrText);
    void signalServiceState(const QString& _qstrState);  // "starting", "running"
    void signalTaskEnded();

private:
    using PFN_Handler = DmxSimAnswer (CLS_DmxSimRobot::*)(const QString& _qstrBody);

    DmxSimAnswer Shares(const QString& _qstrBody);
    DmxSimAnswer SysStatus(const QString& _qstrBody);
    DmxSimAnswer StartService(const QString& _qstrBody);
    DmxSimAnswer AddTask(const QString& _qstrBody);
    DmxSimAnswer PrintTemplate(const QString& _qstrBody);
    DmxSimAnswer Printer(const QString& _qstrBody);
    DmxSimAnswer DepotInfos(const QString& _qstrBody);
    DmxSimAnswer CdItemCount(const QString& _qstrBody);
    DmxSimAnswer TaskSysLogs(const QString& _qstrBody);
    DmxSimAnswer EditTask(const QString& _qstrBody);
    DmxSimAnswer GoRunTask(const QString& _qstrBody);

    bool ServiceRunning();
    DmxSimTask* FindTask(const QString& _qstrGuid);
    void Advance(DmxSimTask& _stTask);
    void Burn(DmxSimTask& _stTask);
    void Print(DmxSimTask& _stTask);
    void Restart(DmxSimTask& _stTask, bool _blRun);
    void SetStatus(DmxSimTask& _stTask, int _iStatus, const QString& _qstrText);
    void Log(DmxSimTask& _stTask, int _iSeverity, int _iErrorId, const QString& _qstrMsg);
    void End(DmxSimTask& _stTask, int _iStatus, const QString& _qstrMsg, int _iErrorId);
    void WriteResult(const DmxSimTask& _stTask, const QString& _qstrOutcome) const;
    QString MissingSource(const DmxSimTask& _stTask) const;

    const DmxSimOptions m_stOptions;
    QVector<DmxSimTask> m_vecTasks;
    QVector<DmxSimInk> m_vecInks;
    int m_iBlankDiscs = 0;
    int m_iBurnedDiscs = 0;
    int m_iTemplates = 0;
    bool m_blStarted = false;         // a Start request came (or no --slow-start)
    bool m_blRunning = false;         // the task service runs
    QDeadlineTimer m_deadlineStart;   // while starting
};

// A failed answer with the message as {"msg":...}.
DmxSimAnswer DmxSimRefusal(const QString& _qstrMsg, int _iErrId = 0);
