// One publisher's watched folder: notices new orders, walks each through the
// companion files and reports every state change. Owned by the simulator; main thread.
#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>

#include "PubSimFiles.h"
#include "PubSimOptions.h"

class CLS_PubSimStatusFile;
class QFileInfo;

class CLS_PubSimFolder : public QObject
{
    Q_OBJECT

public:
    // _pStatusFile: where error codes go and whose publisher name orders must carry;
    // null for a publisher without a status file.
    CLS_PubSimFolder(const PubSimVendor& _stVendor, const QString& _qstrDir, int _iStepMs,
                     const QVector<PubSimFailRule>& _vecFailRules, CLS_PubSimStatusFile* _pStatusFile,
                     QObject* _pParent = nullptr);

    // Creates the folder and starts watching it; the first scan follows from the event loop.
    bool Start(QString& _qstrError);
    // Stops watching and walking; files stay as they are.
    void Stop();

Q_SIGNALS:
    // _iState is a job state of the module (0 waiting ... 4 error, -1 lost); _qstrFile
    // the job's file that tells it; _qstrCode the vendor code of an error.
    void signalStateChanged(const QString& _qstrVendor, const QString& _qstrJobId, int _iState,
                            const QString& _qstrFile, const QString& _qstrCode);
    void signalJobEnded();

private Q_SLOTS:
    void SlotScan();

private:
    struct JobWalk
    {
        qint64 iSize = -1;
        qint64 iModifiedMs = -1;
        int iState = 0;  // 0 seen, 1 taken, 2 burning
        PubSimOrder stOrder;
    };

    void NoticeOrder(const QString& _qstrJobId, const QFileInfo& _qfileInfo);
    void TakeOrder(const QString& _qstrJobId);
    void Advance(const QString& _qstrJobId);
    void FinishBurn(const QString& _qstrJobId);
    void FailOrder(const QString& _qstrJobId, const QString& _qstrFromExt, const QString& _qstrCode);
    // Renames the job's file; a job whose file is gone is reported lost and dropped.
    bool MoveJob(const QString& _qstrJobId, const QString& _qstrFromExt, const QString& _qstrToExt);
    void ScheduleAdvance(const QString& _qstrJobId);
    void RemoveLeftovers(const QString& _qstrJobId);
    void WriteResult(const QString& _qstrJobId, const QString& _qstrCode);
    void Report(const QString& _qstrJobId, int _iState, const QString& _qstrExt, const QString& _qstrCode = QString());
    void EndJob(const QString& _qstrJobId);
    QString JobPath(const QString& _qstrJobId, const QString& _qstrExt) const;

    const PubSimVendor m_stVendor;
    const QString m_qstrDir;
    const int m_iStepMs;
    const QVector<PubSimFailRule> m_vecFailRules;
    CLS_PubSimStatusFile* const m_pStatusFile;
    QFileSystemWatcher m_qwatcher;
    QTimer m_qtimerScan;
    QHash<QString, JobWalk> m_qhashJobs;  // jobs seen and not yet ended
    bool m_blStopped = false;
};
