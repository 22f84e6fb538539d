// pmysim: a stand-in for a Primera burn service, run beside the host and reached through
// PMYBurnSvcSdk.dll. See CLS_PmySimService.h for the tasks and their result files,
// CLS_PmySimulator.h for the output; `pmysim --help` for the options.
#include <QCoreApplication>

#include <cstdio>

#include "CLS_PmySimulator.h"
#include "CLS_SignalWatcher.h"
#include "PmySimOptions.h"

int main(int _iArgc, char* _arrArgv[])
{
    QCoreApplication qapp(_iArgc, _arrArgv);
    QCoreApplication::setApplicationName(QStringLiteral("pmysim"));
    PmySimOptions stOptions;
    QString qstrError;
    if (!ParsePmySimOptions(QCoreApplication::arguments(), stOptions, qstrError)) {
        std::fprintf(stderr, "pmysim: %s\n", qPrintable(qstrError));
        return 2;
    }
    if (stOptions.blHelp) {
        std::fputs(qPrintable(stOptions.qstrHelpText), stdout);
        return 0;
    }
    CLS_SignalWatcher signalWatcher;
    CLS_PmySimulator simulator(stOptions);
    QObject::connect(&signalWatcher, &CLS_SignalWatcher::signalStopRequested, &simulator,
                     &CLS_PmySimulator::SlotStop);
    QObject::connect(&simulator, &CLS_PmySimulator::signalFinished, &qapp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!simulator.Start(qstrError)) {
        std::fprintf(stderr, "pmysim: %s\n", qPrintable(qstrError));
        return 1;
    }
    return qapp.exec();
}
