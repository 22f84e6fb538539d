// dmxsim: a stand-in for a DMX disc robot, run beside the host and reached through
// wp_nwc.dll. See CLS_DmxSimRobot.h for the tasks and their result files,
// CLS_DmxSimulator.h for the output; `dmxsim --help` for the options.
#include <QCoreApplication>

#include <cstdio>

#include "CLS_DmxSimulator.h"
#include "CLS_SignalWatcher.h"
#include "DmxSimOptions.h"

int main(int _iArgc, char* _arrArgv[])
{
    QCoreApplication qapp(_iArgc, _arrArgv);
    QCoreApplication::setApplicationName(QStringLiteral("dmxsim"));
    DmxSimOptions stOptions;
    QString qstrError;
    if (!ParseDmxSimOptions(QCoreApplication::arguments(), stOptions, qstrError)) {
        std::fprintf(stderr, "dmxsim: %s\n", qPrintable(qstrError));
        return 2;
    }
    if (stOptions.blHelp) {
        std::fputs(qPrintable(stOptions.qstrHelpText), stdout);
        return 0;
    }
    CLS_SignalWatcher signalWatcher;
    CLS_DmxSimulator simulator(stOptions);
    QObject::connect(&signalWatcher, &CLS_SignalWatcher::signalStopRequested, &simulator,
                     &CLS_DmxSimulator::SlotStop);
    QObject::connect(&simulator, &CLS_DmxSimulator::signalFinished, &qapp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!simulator.Start(qstrError)) {
        std::fprintf(stderr, "dmxsim: %s\n", qPrintable(qstrError));
        return 1;
    }
    return qapp.exec();
}
