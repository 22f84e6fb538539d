// odasim: a stand-in for an optical disc archive's REST service, run beside the host.
// See CLS_OdaSimService.h for the tasks and their result files, CLS_OdaSimulator.h for
// the output; `odasim --help` for the options.
#include <QCoreApplication>

#include <cstdio>

#include "CLS_OdaSimulator.h"
#include "CLS_SignalWatcher.h"
#include "OdaSimOptions.h"

int main(int _iArgc, char* _arrArgv[])
{
    QCoreApplication qapp(_iArgc, _arrArgv);
    QCoreApplication::setApplicationName(QStringLiteral("odasim"));
    OdaSimOptions stOptions;
    QString qstrError;
    if (!ParseOdaSimOptions(QCoreApplication::arguments(), stOptions, qstrError)) {
        std::fprintf(stderr, "odasim: %s\n", qPrintable(qstrError));
        return 2;
    }
    if (stOptions.blHelp) {
        std::fputs(qPrintable(stOptions.qstrHelpText), stdout);
        return 0;
    }
    CLS_SignalWatcher signalWatcher;
    CLS_OdaSimulator simulator(stOptions);
    QObject::connect(&signalWatcher, &CLS_SignalWatcher::signalStopRequested, &simulator,
                     &CLS_OdaSimulator::SlotStop);
    QObject::connect(&simulator, &CLS_OdaSimulator::signalFinished, &qapp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!simulator.Start(qstrError)) {
        std::fprintf(stderr, "odasim: %s\n", qPrintable(qstrError));
        return 1;
    }
    return qapp.exec();
}
