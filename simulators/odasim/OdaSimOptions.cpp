#include "OdaSimOptions.h"

#include <QCommandLineParser>
#include <QDir>

namespace
{
void AddOptions(QCommandLineParser& _qparser)
{
    _qparser.setApplicationDescription(QStringLiteral(
        "Simulates an optical disc archive's REST service on 127.0.0.1: volume pools kept in local folders, "
        "burn-and-print tasks that walk their states over time and write <job>.result.txt beside the job's "
        "folder. Prints one line per task state."));
    _qparser.addHelpOption();
    _qparser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free one)."), QStringLiteral("port"),
         QStringLiteral("8080")},
        {QStringLiteral("pool"), QStringLiteral("A volume pool kept in a local folder. Repeatable; default "
                                                "P1=./odasim-pools/P1."),
         QStringLiteral("code[:name]=folder")},
        {QStringLiteral("step-ms"), QStringLiteral("Milliseconds between two states of a task (0: fastest)."),
         QStringLiteral("ms"), QStringLiteral("1000")},
        {QStringLiteral("fail"), QStringLiteral("Tasks whose disc label or job matches the wildcard pattern end "
                                                "abnormal (4) with the message (default SIM0001). Repeatable."),
         QStringLiteral("pattern[=message]")},
        {QStringLiteral("offline"), QStringLiteral("Tasks whose disc label or job matches wait offline (5) with a "
                                                   "burn error, a print error or both. Repeatable."),
         QStringLiteral("pattern[=burn|print|both]")},
        {QStringLiteral("offline-steps"), QStringLiteral("Steps an offline task waits before it goes on."),
         QStringLiteral("n"), QStringLiteral("3")},
        {QStringLiteral("down-secs"), QStringLiteral("Refuse connections for this many seconds after start."),
         QStringLiteral("s"), QStringLiteral("0")},
        {QStringLiteral("delay-ms"), QStringLiteral("Wait this long before every answer."), QStringLiteral("ms"),
         QStringLiteral("0")},
        {QStringLiteral("answer-code"), QStringLiteral("Answer requests of this name (queryPoolInfo, mkdir, "
                                                       "createBurnPrintTask, queryBurnPrintTaskState, "
                                                       "queryDiscByFileId, or *) with this \"code\". Repeatable."),
         QStringLiteral("name=code")},
        {QStringLiteral("max-tasks"), QStringLiteral("Stop after this many tasks ended."), QStringLiteral("n")},
    });
}

bool ReadNumber(const QCommandLineParser& _qparser, const char* _szName, int _iMin, int& _iValue,
                QString& _qstrError)
{
    const QString qstrName = QLatin1String(_szName);
    if (!_qparser.isSet(qstrName) && _qparser.value(qstrName).isEmpty())
        return true;
    bool blOk = false;
    const int iValue = _qparser.value(qstrName).toInt(&blOk);
    if (blOk && iValue >= _iMin) {
        _iValue = iValue;
        return true;
    }
    _qstrError = QStringLiteral("--%1 takes a whole number from %2").arg(qstrName).arg(_iMin);
    return false;
}

bool ReadPools(const QStringList& _qlstSpecs, OdaSimOptions& _stOptions, QString& _qstrError)
{
    const QStringList qlstSpecs = _qlstSpecs.isEmpty() ? QStringList{QStringLiteral("P1=odasim-pools/P1")} : _qlstSpecs;
    for (const QString& qstrSpec : qlstSpecs) {
        OdaSimPool stPool;
        if (!ParseOdaSimPool(qstrSpec, stPool)) {
            _qstrError = QStringLiteral("--pool takes code[:name]=folder, got \"%1\"").arg(qstrSpec);
            return false;
        }
        _stOptions.vecPools << stPool;
    }
    return true;
}

bool ReadAnswerCodes(const QStringList& _qlstSpecs, OdaSimOptions& _stOptions, QString& _qstrError)
{
    for (const QString& qstrSpec : _qlstSpecs) {
        const int iEqual = qstrSpec.indexOf(QLatin1Char('='));
        if (iEqual <= 0) {
            _qstrError = QStringLiteral("--answer-code takes name=code, got \"%1\"").arg(qstrSpec);
            return false;
        }
        _stOptions.qmapAnswerCodes.insert(qstrSpec.left(iEqual), qstrSpec.mid(iEqual + 1));
    }
    return true;
}

bool ReadValues(const QCommandLineParser& _qparser, OdaSimOptions& _stOptions, QString& _qstrError)
{
    bool blOk = ReadNumber(_qparser, "port", 0, _stOptions.iPort, _qstrError)
                && ReadNumber(_qparser, "step-ms", 0, _stOptions.iStepMs, _qstrError)
                && ReadNumber(_qparser, "offline-steps", 1, _stOptions.iOfflineSteps, _qstrError)
                && ReadNumber(_qparser, "delay-ms", 0, _stOptions.iDelayMs, _qstrError)
                && ReadNumber(_qparser, "max-tasks", 1, _stOptions.iMaxTasks, _qstrError);
    if (!blOk || _stOptions.iPort > 65535) {
        _qstrError = blOk ? QStringLiteral("--port takes a number up to 65535") : _qstrError;
        return false;
    }
    _stOptions.dDownSecs = _qparser.value(QStringLiteral("down-secs")).toDouble(&blOk);
    if (!blOk || _stOptions.dDownSecs < 0) {
        _qstrError = QStringLiteral("--down-secs takes a number of seconds");
        return false;
    }
    return ReadPools(_qparser.values(QStringLiteral("pool")), _stOptions, _qstrError)
           && ReadFailRules(_qparser.values(QStringLiteral("fail")), "fail", "message", _stOptions.vecFailRules,
                            _qstrError)
           && ReadFailRules(_qparser.values(QStringLiteral("offline")), "offline", "burn|print|both",
                            _stOptions.vecOfflineRules, _qstrError)
           && ReadAnswerCodes(_qparser.values(QStringLiteral("answer-code")), _stOptions, _qstrError);
}
}  // namespace

bool ParseOdaSimOptions(const QStringList& _qlstArgs, OdaSimOptions& _stOptions, QString& _qstrError)
{
    return ParseSimulatorOptions(_qlstArgs, _stOptions, _qstrError, &AddOptions, &ReadValues);
}

bool ParseOdaSimPool(const QString& _qstrSpec, OdaSimPool& _stPool)
{
    const int iEqual = _qstrSpec.indexOf(QLatin1Char('='));
    const QString qstrHead = _qstrSpec.left(iEqual);
    const QString qstrFolder = _qstrSpec.mid(iEqual + 1);
    const int iColon = qstrHead.indexOf(QLatin1Char(':'));
    _stPool.qstrCode = iColon < 0 ? qstrHead : qstrHead.left(iColon);
    _stPool.qstrName = iColon < 0 ? qstrHead : qstrHead.mid(iColon + 1);
    _stPool.qstrFolder = QDir::cleanPath(QDir(qstrFolder).absolutePath());
    return iEqual > 0 && !_stPool.qstrCode.isEmpty() && !qstrFolder.isEmpty() && !_stPool.qstrCode.contains('/');
}
