// pubsim: a stand-in for the Epson and Primera disc publishers' folder services, run
// beside the host. See CLS_PubSimulator.h for its output and PubSimFiles.h for the
// result file; `pubsim --help` for the options.
#include <QCoreApplication>

#include <cstdio>

#include "CLS_SignalWatcher.h"
#include "CLS_PubSimulator.h"
#include "PubSimOptions.h"

int main(int _iArgc, char* _arrArgv[])
{
    QCoreApplication qapp(_iArgc, _arrArgv);
    QCoreApplication::setApplicationName(QStringLiteral("pubsim"));
    PubSimOptions stOptions;
    QString qstrError;
    if (!ParsePubSimOptions(QCoreApplication::arguments(), stOptions, qstrError)) {
        std::fprintf(stderr, "pubsim: %s\n", qPrintable(qstrError));
        return 2;
    }
    if (stOptions.blHelp) {
        std::fputs(qPrintable(stOptions.qstrHelpText), stdout);
        return 0;
    }
    CLS_SignalWatcher signalWatcher;
    CLS_PubSimulator simulator(stOptions);
    QObject::connect(&signalWatcher, &CLS_SignalWatcher::signalStopRequested, &simulator,
                     &CLS_PubSimulator::SlotStop);
    QObject::connect(&simulator, &CLS_PubSimulator::signalFinished, &qapp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!simulator.Start(qstrError)) {
        std::fprintf(stderr, "pubsim: %s\n", qPrintable(qstrError));
        return 1;
    }
    return qapp.exec();
}
