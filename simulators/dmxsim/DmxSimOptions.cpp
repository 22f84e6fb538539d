#include "DmxSimOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QMap>

#include <algorithm>

namespace
{
// The printer's inks in the order it reports them.
const QVector<DmxSimInk> s_vecAllInks{
    {"black", "黑", 80}, {"yellow", "黄", 80}, {"red", "红", 80}, {"blue", "蓝", 80}};

// The module's own default ports: 1883 for the twelve-drive model, 1882 for the others.
constexpr int n_TwelveDrivePort = 1883;
constexpr int n_SmallRobotPort = 1882;

void AddOptions(QCommandLineParser& _qparser)
{
    _qparser.setApplicationDescription(QStringLiteral(
        "Simulates a DMX disc robot (two, eight or twelve drives) on 127.0.0.1: the JSON-line protocol of "
        "wp_nwc.dll, tasks that walk their states over time and write <guid>.result.txt. Prints one line per "
        "task state; reads \"refill N\" and \"stop\" from standard input."));
    _qparser.addHelpOption();
    _qparser.addOptions({
        {QStringLiteral("drives"), QStringLiteral("Drives of the robot: 2, 8 or 12."), QStringLiteral("n"),
         QStringLiteral("2")},
        {QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one; default 1883 for twelve "
                                                "drives, else 1882)."),
         QStringLiteral("port")},
        {QStringLiteral("step-ms"), QStringLiteral("Milliseconds between two steps of a task (0: fastest)."),
         QStringLiteral("ms"), QStringLiteral("1000")},
        {QStringLiteral("share"), QStringLiteral("The two-drive robot's share, a local folder (created at start)."),
         QStringLiteral("folder"), QStringLiteral("dmxsim-share")},
        {QStringLiteral("out"), QStringLiteral("Folder for the result files."), QStringLiteral("folder"),
         QStringLiteral(".")},
        {QStringLiteral("discs"), QStringLiteral("Blank discs in stock at start."), QStringLiteral("n"),
         QStringLiteral("100")},
        {QStringLiteral("ink"), QStringLiteral("Ink levels the printer reports (0-100); inks left out are not "
                                               "reported. Default: all four at 80."),
         QStringLiteral("black=N,yellow=N,red=N,blue=N")},
        {QStringLiteral("fail"), QStringLiteral("Tasks whose guid matches the wildcard pattern end in 4 with the "
                                                "message (default SIM0001). Repeatable."),
         QStringLiteral("pattern[=message]")},
        {QStringLiteral("slow-start"), QStringLiteral("The task service is stopped until a Start request, then "
                                                      "starting for this many seconds."),
         QStringLiteral("secs")},
        {QStringLiteral("max-tasks"), QStringLiteral("Stop after this many tasks ended."), QStringLiteral("n")},
    });
}

bool ReadNumber(const QCommandLineParser& _qparser, const char* _szName, int _iMin, int _iMax, int& _iValue,
                QString& _qstrError)
{
    const QString qstrName = QLatin1String(_szName);
    if (!_qparser.isSet(qstrName) && _qparser.value(qstrName).isEmpty())
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

bool ReadModel(const QCommandLineParser& _qparser, DmxSimOptions& _stOptions, QString& _qstrError)
{
    if (!ReadNumber(_qparser, "drives", 2, 12, _stOptions.iDrives, _qstrError))
        return false;
    if (_stOptions.iDrives != 2 && _stOptions.iDrives != 8 && _stOptions.iDrives != 12) {
        _qstrError = QStringLiteral("--drives takes 2, 8 or 12");
        return false;
    }
    _stOptions.iPort = _stOptions.iDrives == 12 ? n_TwelveDrivePort : n_SmallRobotPort;
    return ReadNumber(_qparser, "port", 0, 65535, _stOptions.iPort, _qstrError);
}

bool ReadSlowStart(const QCommandLineParser& _qparser, DmxSimOptions& _stOptions, QString& _qstrError)
{
    _stOptions.blSlowStart = _qparser.isSet(QStringLiteral("slow-start"));
    if (!_stOptions.blSlowStart)
        return true;
    bool blOk = false;
    _stOptions.dSlowStartSecs = _qparser.value(QStringLiteral("slow-start")).toDouble(&blOk);
    if (blOk && _stOptions.dSlowStartSecs >= 0)
        return true;
    _qstrError = QStringLiteral("--slow-start takes a number of seconds");
    return false;
}

bool ReadValues(const QCommandLineParser& _qparser, DmxSimOptions& _stOptions, QString& _qstrError)
{
    const bool blOk = ReadModel(_qparser, _stOptions, _qstrError)
                      && ReadNumber(_qparser, "step-ms", 0, 3600000, _stOptions.iStepMs, _qstrError)
                      && ReadNumber(_qparser, "discs", 0, 1000000, _stOptions.iDiscs, _qstrError)
                      && ReadNumber(_qparser, "max-tasks", 1, 1000000, _stOptions.iMaxTasks, _qstrError)
                      && ReadSlowStart(_qparser, _stOptions, _qstrError);
    if (!blOk)
        return false;
    _stOptions.qstrShare = QDir::cleanPath(QDir(_qparser.value(QStringLiteral("share"))).absolutePath());
    _stOptions.qstrOut = QDir::cleanPath(QDir(_qparser.value(QStringLiteral("out"))).absolutePath());
    _stOptions.vecInks = s_vecAllInks;
    if (_qparser.isSet(QStringLiteral("ink")) && !ParseDmxSimInks(_qparser.value(QStringLiteral("ink")),
                                                                  _stOptions.vecInks)) {
        _qstrError = QStringLiteral("--ink takes black=N,yellow=N,red=N,blue=N with levels 0 to 100");
        return false;
    }
    return ReadFailRules(_qparser.values(QStringLiteral("fail")), "fail", "message", _stOptions.vecFailRules,
                         _qstrError);
}
}  // namespace

bool ParseDmxSimOptions(const QStringList& _qlstArgs, DmxSimOptions& _stOptions, QString& _qstrError)
{
    return ParseSimulatorOptions(_qlstArgs, _stOptions, _qstrError, &AddOptions, &ReadValues);
}

bool ParseDmxSimInks(const QString& _qstrSpec, QVector<DmxSimInk>& _vecInks)
{
    QMap<QString, int> qmapLevels;
    for (const QString& qstrPart : _qstrSpec.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString qstrName = qstrPart.section(QLatin1Char('='), 0, 0).trimmed();
        const QString qstrLevel = qstrPart.section(QLatin1Char('='), 1).trimmed();
        bool blOk = true;
        const int iLevel = qstrLevel.isEmpty() ? 80 : qstrLevel.toInt(&blOk);
        const bool blKnown = std::any_of(s_vecAllInks.cbegin(), s_vecAllInks.cend(),
                                         [&](const DmxSimInk& _stInk) { return _stInk.qstrName == qstrName; });
        if (!blOk || iLevel < 0 || iLevel > 100 || !blKnown)
            return false;
        qmapLevels.insert(qstrName, iLevel);
    }
    // The printer's order, whatever the option's.
    _vecInks.clear();
    for (const DmxSimInk& stInk : s_vecAllInks) {
        if (qmapLevels.contains(stInk.qstrName))
            _vecInks << DmxSimInk{stInk.qstrName, stInk.qstrColor, qmapLevels.value(stInk.qstrName)};
    }
    return !_vecInks.isEmpty();
}
