#include "PubSimOptions.h"

#include <QCommandLineParser>
#include <QDir>

#include "Publisher/PublisherFolders.h"

const char g_szPubSimDefaultFailCode[] = "SIM0001";

namespace
{
QString AsFolder(const QString& _qstrDir)
{
    const QString qstrDir = QDir::cleanPath(QDir(_qstrDir).absolutePath());
    return qstrDir.endsWith(QLatin1Char('/')) ? qstrDir : qstrDir + QLatin1Char('/');
}

bool ReadCount(const QString& _qstrValue, int _iMin, int& _iCount)
{
    bool blOk = false;
    const int iValue = _qstrValue.toInt(&blOk);
    if (!blOk || iValue < _iMin)
        return false;
    _iCount = iValue;
    return true;
}

void ReadFolders(const QCommandLineParser& _qparser, PubSimOptions& _stOptions)
{
    const QString qstrRoot = _qparser.value(QStringLiteral("root"));
    _stOptions.qstrEpsonDir =
        qstrRoot.isEmpty() ? QString::fromStdString(EpsonOrderDir()) : EpsonOrderDirUnder(qstrRoot);
    _stOptions.qstrPrimeraDir =
        qstrRoot.isEmpty() ? QString::fromStdString(PrimeraJobDir()) : PrimeraJobDirUnder(qstrRoot);
    if (_qparser.isSet(QStringLiteral("epson-dir")))
        _stOptions.qstrEpsonDir = _qparser.value(QStringLiteral("epson-dir"));
    if (_qparser.isSet(QStringLiteral("primera-dir")))
        _stOptions.qstrPrimeraDir = _qparser.value(QStringLiteral("primera-dir"));
    _stOptions.qstrEpsonDir = AsFolder(_stOptions.qstrEpsonDir);
    _stOptions.qstrPrimeraDir = AsFolder(_stOptions.qstrPrimeraDir);
}

void AddOptions(QCommandLineParser& _qparser)
{
    _qparser.setApplicationDescription(QStringLiteral(
        "Simulates an Epson TDBridge order folder and a Primera PTBurn job folder: takes each new order (.jdf) "
        "or job request (.jrq), walks it through .qrj, .inp and .don (or .err), and writes <job>.result.txt "
        "beside it. Prints one line per state change."));
    _qparser.addHelpOption();
    _qparser.addOptions({
        {QStringLiteral("root"), QStringLiteral("Folder holding EPSON/TDBridge/Orders/ and PTBurnJobs/ "
                                                "(default: the module's setting BURNMODULE_PUBLISHER_ROOT)."),
         QStringLiteral("folder")},
        {QStringLiteral("epson-dir"), QStringLiteral("Epson order folder (overrides --root)."),
         QStringLiteral("folder")},
        {QStringLiteral("primera-dir"), QStringLiteral("Primera job folder (overrides --root)."),
         QStringLiteral("folder")},
        {QStringLiteral("publisher"), QStringLiteral("Publisher name in TDBStatus.txt; Epson orders naming another "
                                                     "end in .err with JDF0200."),
         QStringLiteral("name"), QStringLiteral("PP-100II 1")},
        {QStringLiteral("step-ms"), QStringLiteral("Milliseconds between two states of a job (0: fastest)."),
         QStringLiteral("ms"), QStringLiteral("1000")},
        {QStringLiteral("fail"), QStringLiteral("Jobs matching the wildcard pattern end in .err with the code "
                                                "(default SIM0001). Repeatable."),
         QStringLiteral("pattern[=code]")},
        {QStringLiteral("max-jobs"), QStringLiteral("Stop after this many jobs ended (.don or .err)."),
         QStringLiteral("n")},
        {QStringLiteral("once"), QStringLiteral("Stop after the first job ended (--max-jobs 1).")},
    });
}


bool ReadValues(const QCommandLineParser& _qparser, PubSimOptions& _stOptions, QString& _qstrError)
{
    ReadFolders(_qparser, _stOptions);
    _stOptions.qstrPublisher = _qparser.value(QStringLiteral("publisher"));
    if (!ReadCount(_qparser.value(QStringLiteral("step-ms")), 0, _stOptions.iStepMs)) {
        _qstrError = QStringLiteral("--step-ms takes a whole number of milliseconds");
        return false;
    }
    if (_qparser.isSet(QStringLiteral("max-jobs"))
        && !ReadCount(_qparser.value(QStringLiteral("max-jobs")), 1, _stOptions.iMaxJobs)) {
        _qstrError = QStringLiteral("--max-jobs takes a positive number");
        return false;
    }
    if (_qparser.isSet(QStringLiteral("once")))
        _stOptions.iMaxJobs = 1;
    return ReadFailRules(_qparser.values(QStringLiteral("fail")), "fail", "code", _stOptions.vecFailRules, _qstrError);
}
}  // namespace

bool ParsePubSimOptions(const QStringList& _qstrlstArgs, PubSimOptions& _stOptions, QString& _qstrError)
{
    return ParseSimulatorOptions(_qstrlstArgs, _stOptions, _qstrError, &AddOptions, &ReadValues);
}

SimArgsResult ParseSimulatorArgs(QCommandLineParser& _qparser, const QStringList& _qlstArgs, QString& _qstrHelpText,
                                 QString& _qstrError)
{
    if (!_qparser.parse(_qlstArgs)) {
        _qstrError = _qparser.errorText();
        return SimArgsResult::Error;
    }
    if (_qparser.isSet(QStringLiteral("help"))) {
        _qstrHelpText = _qparser.helpText();
        return SimArgsResult::Help;
    }
    if (!_qparser.positionalArguments().isEmpty()) {
        _qstrError = QStringLiteral("unexpected argument \"%1\"").arg(_qparser.positionalArguments().first());
        return SimArgsResult::Error;
    }
    return SimArgsResult::Values;
}

bool ReadFailRules(const QStringList& _qlstSpecs, const char* _szOption, const char* _szValueName,
                   QVector<PubSimFailRule>& _vecRules, QString& _qstrError)
{
    for (const QString& qstrSpec : _qlstSpecs) {
        PubSimFailRule stRule;
        if (!ParseFailRule(qstrSpec, stRule)) {
            _qstrError = QStringLiteral("--%1 takes pattern[=%2], got \"%3\"")
                             .arg(QLatin1String(_szOption), QLatin1String(_szValueName), qstrSpec);
            return false;
        }
        _vecRules << stRule;
    }
    return true;
}

bool ParseFailRule(const QString& _qstrSpec, PubSimFailRule& _stRule)
{
    const int iEqual = _qstrSpec.lastIndexOf(QLatin1Char('='));
    const QString qstrPattern = iEqual < 0 ? _qstrSpec : _qstrSpec.left(iEqual);
    const QString qstrCode = iEqual < 0 ? QString() : _qstrSpec.mid(iEqual + 1);
    if (qstrPattern.isEmpty())
        return false;
    _stRule.qregexJobId = QRegularExpression(QRegularExpression::wildcardToRegularExpression(qstrPattern));
    _stRule.qstrCode = qstrCode.isEmpty() ? QString::fromLatin1(g_szPubSimDefaultFailCode) : qstrCode;
    return _stRule.qregexJobId.isValid();
}

QString FailCodeFor(const QVector<PubSimFailRule>& _vecRules, const QString& _qstrJobId)
{
    for (const PubSimFailRule& stRule : _vecRules) {
        if (stRule.qregexJobId.match(_qstrJobId).hasMatch())
            return stRule.qstrCode;
    }
    return QString();
}
