// The archive service the simulator plays: volume pools in local folders, tasks that
// walk their states one step per tick, and the answers to the five requests. Owned by
// main; main thread. Network-free, so a request is a call.
//
// Task states: 0 waiting, 1 burning, 3 printing, 2 finished; 4 abnormal (a --fail
// rule), 5 offline (an --offline rule) for --offline-steps steps, then on to printing.
// A task that ends writes "<job folder>.result.txt" beside its folder in the pool:
//   TASK=<disc label>
//   PATH=<file path of the task>
//   OUTCOME=finished | abnormal <message>
//   BURN_TYPE=<1|2>  COPIES=<n>  IMGMOD=<cover>  LABELS=<label list>   (a line each)
//   FILES=<n>
//   BYTES=<total>
//   FILE=<size>\t<path below the job folder>   one per file, sorted
#pragma once

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include "OdaSimOptions.h"

struct OdaSimTask
{
    QString qstrDiscLabel;
    QString qstrFilePath;  // "/<pool code>/<job folder>"
    QString qstrJobFolder; // local folder of the files
    QString qstrBurnType;
    QString qstrImgModCode;
    QString qstrLabList;
    int iBurnNum = 1;
    int iState = 0;
    QString qstrFailMsg;   // set: ends abnormal
    QString qstrOffline;   // burn, print or both: waits offline
    int iOfflineLeft = 0;
    bool blEnded = false;
};

class CLS_OdaSimService : public QObject
{
    Q_OBJECT

public:
    explicit CLS_OdaSimService(const OdaSimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the pools' folders; false with a reason.
    bool Prepare(QString& _qstrError);
    // The reply body of a request to the path; empty for an unknown path (404).
    QByteArray Answer(const QByteArray& _qbaPath, const QByteArray& _qbaBody);

public Q_SLOTS:
    // Moves every task one state on.
    void SlotStep();

Q_SIGNALS:
    void signalTaskState(const QString& _qstrDiscLabel, int _iState, const QString& _qstrText);
    void signalTaskEnded();

private:
    QJsonObject QueryPools() const;
    QJsonObject MakeDir(const QJsonObject& _qjsonReq);
    QJsonObject CreateTask(const QJsonObject& _qjsonReq);
    QJsonObject TaskState(const QString& _qstrDiscLabel) const;
    QJsonObject Discs(const QString& _qstrFilePath) const;
    // The local folder of a "/<pool code>/<folder>" path; empty when it names none.
    QString LocalFolder(const QString& _qstrFilePath) const;
    bool InsidePool(const QString& _qstrLocalPath) const;
    void Advance(OdaSimTask& _stTask);
    void End(OdaSimTask& _stTask, int _iState);
    void WriteResult(const OdaSimTask& _stTask) const;

    const OdaSimOptions m_stOptions;
    QVector<OdaSimTask> m_vecTasks;
};

// A reply head: "code", "msg", "taskResultCode".
QJsonObject OdaSimReply(const QString& _qstrCode, const QString& _qstrMsg);
