#include "PmySimOptions.h"

#include <QCommandLineParser>
#include <QDir>

namespace
{
void AddOptions(QCommandLineParser& _qparser)
{
    _qparser.setApplicationDescription(QStringLiteral(
        "Simulates a Primera burn service on 127.0.0.1: the JSON-line protocol of PMYBurnSvcSdk.dll, tasks "
        "that walk the status codes 0-5 over time and write <task id>.result.txt. Prints one line per task "
        "status; reads \"refill N\", \"stats\" and \"stop\" from standard input."));
    _qparser.addHelpOption();
    _qparser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."), QStringLiteral("port"),
         QStringLiteral("6000")},
        {QStringLiteral("step-ms"), QStringLiteral("Milliseconds between two steps of a task (0: fastest)."),
         QStringLiteral("ms"), QStringLiteral("1000")},
        {QStringLiteral("out"), QStringLiteral("Folder for the result files."), QStringLiteral("folder"),
         QStringLiteral(".")},
        {QStringLiteral("drives"), QStringLiteral("Drives of the robot: tasks burning at once (1-12)."),
         QStringLiteral("n"), QStringLiteral("2")},
        {QStringLiteral("bins"), QStringLiteral("Disc bins: 1 or 2."), QStringLiteral("n"), QStringLiteral("2")},
        {QStringLiteral("discs"), QStringLiteral("Blank discs at start."), QStringLiteral("n"),
         QStringLiteral("100")},
        {QStringLiteral("ink"), QStringLiteral("Level (0-100) of each of the four inks at start."),
         QStringLiteral("level"), QStringLiteral("80")},
        {QStringLiteral("fail"), QStringLiteral("Tasks whose job id matches the wildcard pattern end in status 5 "
                                                "with the message (default SIM0001). Repeatable."),
         QStringLiteral("pattern[=message]")},
        {QStringLiteral("refuse-login"), QStringLiteral("Refuse every log-in (error 11000).")},
        {QStringLiteral("busy"), QStringLiteral("The robot reports itself busy and refuses a calibration.")},
        {QStringLiteral("max-tasks"), QStringLiteral("Stop after this many tasks ended."), QStringLiteral("n")},
    });
}

bool ReadNumber(const QCommandLineParser& _qparser, const char* _szName, int _iMin, int _iMax, int& _iValue,
                QString& _qstrError)
{
    const QString qstrName = QLatin1String(_szName);
    if (_qparser.value(qstrName).isEmpty())
        return true;
    bool blOk = false;
    const int iValue = _qparser.value(qstrName).toInt(&blOk);
    if (blOk && iValue >= _iMin && iValue <= _iMax) {
        _iValue = iValue;
        return true;
    }
    _qstrError = QStringLiteral("--%1 takes a whole number from %2 to %3").arg(qstrName).arg(_iMin).arg(_iMax);
    return false;
}

bool ReadValues(const QCommandLineParser& _qparser, PmySimOptions& _stOptions, QString& _qstrError)
{
    const bool blOk = ReadNumber(_qparser, "port", 0, 65535, _stOptions.iPort, _qstrError)
                      && ReadNumber(_qparser, "step-ms", 0, 3600000, _stOptions.iStepMs, _qstrError)
                      && ReadNumber(_qparser, "drives", 1, 12, _stOptions.iDrives, _qstrError)
                      && ReadNumber(_qparser, "bins", 1, 2, _stOptions.iBins, _qstrError)
                      && ReadNumber(_qparser, "discs", 0, 1000000, _stOptions.iDiscs, _qstrError)
                      && ReadNumber(_qparser, "ink", 0, 100, _stOptions.iInk, _qstrError)
                      && ReadNumber(_qparser, "max-tasks", 1, 1000000, _stOptions.iMaxTasks, _qstrError);
    if (!blOk)
        return false;
    _stOptions.qstrOut = QDir::cleanPath(QDir(_qparser.value(QStringLiteral("out"))).absolutePath());
    _stOptions.blRefuseLogin = _qparser.isSet(QStringLiteral("refuse-login"));
    _stOptions.blBusy = _qparser.isSet(QStringLiteral("busy"));
    return ReadFailRules(_qparser.values(QStringLiteral("fail")), "fail", "message", _stOptions.vecFailRules,
                         _qstrError);
}
}  // namespace

bool ParsePmySimOptions(const QStringList& _qlstArgs, PmySimOptions& _stOptions, QString& _qstrError)
{
    return ParseSimulatorOptions(_qlstArgs, _stOptions, _qstrError, &AddOptions, &ReadValues);
}
