// The burn service pmysim plays: tasks by id, submissions counted per job, the robot's bins,
// inks and drives, the answers to requests and the walk of the tasks over time. Owned by
// CLS_PmySimulator; main thread.
//
// Task status codes: 0 submitted, 1 queued, 2 burning, 3 finished, 4 cancelled, 5 failed.
// Result file "<out>/<task id>.result.txt", UTF-8, one "KEY=value" line each:
//   TASK, JOB, SUBMITS, OUTCOME (finished | cancelled | error <message>), COPIES, BURNED,
//   DISC_TYPE, CLOSE_DISC, LABEL, OUTPUT_MODE, PRINT_FILE, FIELDS, FIELD=<n>\t<value>...,
//   FILES, BYTES, FILE=<size or missing>\t<source>\t<path on disc>..., DIR=<path on disc>...
#pragma once

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVector>

#include "PmySimOptions.h"

struct PmySimAnswer
{
    bool blOk = true;
    int iErrId = 0;
    QString qstrReply;  // JSON text
};

struct PmySimEntry
{
    QString qstrType;  // file, tree, dir
    QString qstrSrc;
    QString qstrDst;
};

struct PmySimTask
{
    QString qstrId;
    QString qstrJobId;
    int iSubmits = 1;  // submissions of its job so far, this one included
    int iStatus = 0;
    QString qstrText;
    int iCopies = 1;
    int iBurned = 0;
    int iDrive = -1;
    QMap<QString, QString> qmapConfig;
    QString qstrPrintFile;
    QMap<int, QString> qmapFields;
    QVector<PmySimEntry> vecEntries;
    bool blWaitingForDiscs = false;
};

class CLS_PmySimService : public QObject
{
    Q_OBJECT

public:
    explicit CLS_PmySimService(const PmySimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the result folder; false with a reason.
    bool Prepare(QString& _qstrError) const;
    // One request of a logged-in client ("Login" is the simulator's business).
    PmySimAnswer Answer(const QString& _qstrClass, const QString& _qstrBody);
    void Refill(int _iDiscs);
    int BlankDiscs() const { return m_iBlankDiscs; }
    int Submissions(const QString& _qstrJobId) const { return m_qhashSubmits.value(_qstrJobId); }
    const QHash<QString, int>& AllSubmissions() const { return m_qhashSubmits; }
    QString RobotStatusJson() const;

public Q_SLOTS:
    void SlotStep();

Q_SIGNALS:
    // A message for every logged-in client: "TaskStatus", "RobotStatus" or "Dynamic".
    void signalEvent(const QString& _qstrEvent, const QString& _qstrJson);
    void signalTaskState(const PmySimTask& _stTask);
    void signalTaskEnded();
    void signalLine(const QString& _qstrLine);

private:
    PmySimAnswer Submit(const QJsonObject& _qjsonTask);
    PmySimAnswer TaskStatus(const QJsonObject& _qjsonBody) const;
    PmySimAnswer Cancel(const QJsonObject& _qjsonBody);
    PmySimAnswer RobotCmd(const QJsonObject& _qjsonBody);
    PmySimAnswer Stats(const QJsonObject& _qjsonBody) const;
    void StepTask(PmySimTask& _stTask);
    void Burn(PmySimTask& _stTask);
    void SetStatus(PmySimTask& _stTask, int _iStatus, const QString& _qstrText);
    void End(PmySimTask& _stTask, int _iStatus, const QString& _qstrText);
    void Dynamic(const PmySimTask* _pTask, const QString& _qstrType, const QString& _qstrMessage);
    void PushRobotIfChanged();
    int FreeDrive() const;
    bool Busy() const;
    void WriteResult(const PmySimTask& _stTask, const QString& _qstrOutcome) const;

    const PmySimOptions m_stOptions;
    QVector<QString> m_vecOrder;  // task ids in submission order
    QHash<QString, PmySimTask> m_qhashTasks;
    QHash<QString, int> m_qhashSubmits;  // by job id
    QVector<QString> m_vecDrives;        // the task id on each drive, empty when free
    int m_iBlankDiscs = 0;
    int m_iBurnedDiscs = 0;
    int m_iInk = 80;
    QString m_qstrLastRobot;
};

// One task of a status message: id, job_id, status_code, status_string, copies,
// copies_done, submit_count.
QJsonObject PmySimTaskJson(const PmySimTask& _stTask);
