// The archive simulator's command line, read into one value. Stateless functions;
// main thread.
#pragma once

#include <QMap>
#include <QString>
#include <QVector>

#include "PubSimOptions.h"

struct OdaSimPool
{
    QString qstrCode;
    QString qstrName;
    QString qstrFolder;  // absolute, without a trailing "/": the pool's "volPath"
};

struct OdaSimOptions
{
    int iPort = 8080;                       // 0: any free port (the ready line names it)
    QVector<OdaSimPool> vecPools;
    int iStepMs = 1000;                     // pause between two states of a task
    int iOfflineSteps = 3;                  // steps an offline task waits before it goes on
    QVector<PubSimFailRule> vecFailRules;   // tasks ending abnormal (4), the code is the message
    QVector<PubSimFailRule> vecOfflineRules;// tasks waiting offline (5): burn, print or both
    double dDownSecs = 0;                   // not listening for this long after start
    int iDelayMs = 0;                       // every answer waits this long
    QMap<QString, QString> qmapAnswerCodes; // request name (last path part, "*" any) -> "code"
    int iMaxTasks = 0;                      // stop after this many tasks ended; 0: never
    bool blHelp = false;
    QString qstrHelpText;
};

// Reads the arguments (the program name first); false with a reason on a bad one.
bool ParseOdaSimOptions(const QStringList& _qlstArgs, OdaSimOptions& _stOptions, QString& _qstrError);

// "CODE[:NAME]=FOLDER"; the name defaults to the code.
bool ParseOdaSimPool(const QString& _qstrSpec, OdaSimPool& _stPool);
