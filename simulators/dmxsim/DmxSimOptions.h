// The robot simulator's command line, read into one value. Stateless functions; main
// thread.
#pragma once

#include <QString>
#include <QVector>

#include "PubSimOptions.h"

// One ink the printer reports: the option's name, the robot's colour name, its level.
struct DmxSimInk
{
    QString qstrName;   // black, yellow, red, blue
    QString qstrColor;  // 黑, 黄, 红, 蓝
    int iLevel = 80;
};

struct DmxSimOptions
{
    int iDrives = 2;                        // 2, 8 or 12
    int iPort = -1;                         // -1: the module's default for the model; 0: any free one
    int iStepMs = 1000;                     // pause between two steps of a task
    QString qstrShare;                      // absolute: the two-drive model's share
    QString qstrOut;                        // absolute: where result files go
    int iDiscs = 100;                       // blank discs in stock at start
    QVector<DmxSimInk> vecInks;             // the inks set, in the printer's order
    QVector<PubSimFailRule> vecFailRules;   // tasks ending in 4, the code is the message
    bool blSlowStart = false;               // task service stopped until a "Start" request
    double dSlowStartSecs = 0;              // then starting for this long
    int iMaxTasks = 0;                      // stop after this many tasks ended; 0: never
    bool blHelp = false;
    QString qstrHelpText;
};

// Reads the arguments (the program name first); false with a reason on a bad one.
bool ParseDmxSimOptions(const QStringList& _qlstArgs, DmxSimOptions& _stOptions, QString& _qstrError);

// "black=N,yellow=N,red=N,blue=N" (any of them, in any order, a level 0 to 100; a name
// alone is 80), in the printer's order; false for an unknown name or a bad level.
bool ParseDmxSimInks(const QString& _qstrSpec, QVector<DmxSimInk>& _vecInks);
