// The burn service simulator's command line, read into one value. Stateless functions;
// main thread.
#pragma once

#include <QString>
#include <QVector>

#include "PubSimOptions.h"

struct PmySimOptions
{
    int iPort = 6000;                      // 0: any free one
    int iStepMs = 1000;                    // pause between two steps of a task
    QString qstrOut;                       // absolute: where result files go
    int iDrives = 2;                       // tasks burning at once
    int iBins = 2;                         // 1: blank discs in bin 1; 2: in bin 2, bin 1 takes the burned
    int iDiscs = 100;                      // blank discs at start
    int iInk = 80;                         // level of each of the four inks
    QVector<PubSimFailRule> vecFailRules;  // jobs ending in 5, the code is the message
    bool blRefuseLogin = false;            // every log-in is refused
    bool blBusy = false;                   // the robot is busy: a calibration is refused
    int iMaxTasks = 0;                     // stop after this many tasks ended; 0: never
    bool blHelp = false;
    QString qstrHelpText;
};

// Reads the arguments (the program name first); false with a reason on a bad one.
bool ParsePmySimOptions(const QStringList& _qlstArgs, PmySimOptions& _stOptions, QString& _qstrError);
