// The publisher simulator: an Epson order folder with its status file and a Primera
// job folder, and the one line printed on stdout per event. Owned by main; main thread.
//
// Output, one line each, flushed at once:
//   ready epson=<folder> primera=<folder> publisher=<name> step-ms=<n>
//   state <vendor> <job id> <state> <name> <file>[ <vendor code>]
//       <vendor> epson | primera; <state> <name>: 0 waiting, 1 taken, 2 burning,
//       3 done, 4 error (with the code), -1 lost (the job's file went away)
//   stopped jobs=<jobs ended>
#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "PubSimOptions.h"

class CLS_PubSimFolder;
class CLS_PubSimStatusFile;

class CLS_PubSimulator : public QObject
{
    Q_OBJECT

public:
    explicit CLS_PubSimulator(const PubSimOptions& _stOptions, QObject* _pParent = nullptr);
    ~CLS_PubSimulator() override;

    // Makes the folders, writes the status file and prints the ready line.
    bool Start(QString& _qstrError);

public Q_SLOTS:
    // Prints the closing line and asks main to finish.
    void SlotStop();

Q_SIGNALS:
    void signalFinished();

private Q_SLOTS:
    void SlotStateChanged(const QString& _qstrVendor, const QString& _qstrJobId, int _iState, const QString& _qstrFile,
                          const QString& _qstrCode);
    void SlotJobEnded();

private:

    const PubSimOptions m_stOptions;
    std::unique_ptr<CLS_PubSimStatusFile> m_pStatusFile;
    CLS_PubSimFolder* m_pEpsonFolder = nullptr;    // child
    CLS_PubSimFolder* m_pPrimeraFolder = nullptr;  // child
    int m_iJobsEnded = 0;
    bool m_blStopped = false;
};
