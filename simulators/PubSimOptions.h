// The simulator's command line, read into one value, and the rules that make jobs
// fail. Stateless functions; main thread.
#pragma once

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

// Jobs whose id matches the wildcard pattern end in ".err" with the code.
struct PubSimFailRule
{
    QRegularExpression qregexJobId;
    QString qstrCode;
};

struct PubSimOptions
{
    QString qstrEpsonDir;     // with a trailing "/"
    QString qstrPrimeraDir;   // with a trailing "/"
    QString qstrPublisher = QStringLiteral("PP-100II 1");
    int iStepMs = 1000;       // pause between two states of a job
    int iMaxJobs = 0;         // stop after this many jobs ended; 0: run until stopped
    QVector<PubSimFailRule> vecFailRules;
    bool blHelp = false;
    QString qstrHelpText;
};

// The code reported for a failing job when its rule names none.
extern const char g_szPubSimDefaultFailCode[];  // "SIM0001"

// Reads the arguments (the program name first); false with a reason on a bad one.
bool ParsePubSimOptions(const QStringList& _qstrlstArgs, PubSimOptions& _stOptions, QString& _qstrError);

// "PATTERN[=CODE]": a wildcard pattern of job ids ("*" and "?"), the code after the
// last "="; false for an empty pattern.
bool ParseFailRule(const QString& _qstrSpec, PubSimFailRule& _stRule);

// What every simulator's command line shares: parsing with --help and no positional
// arguments, and wildcard rules "PATTERN[=VALUE]" of a repeatable option.
enum class SimArgsResult
{
    Values,  // read the option values
    Help,    // print the help text
    Error,
};
SimArgsResult ParseSimulatorArgs(QCommandLineParser& _qparser, const QStringList& _qlstArgs, QString& _qstrHelpText,
                                 QString& _qstrError);
// The whole parse of a simulator's command line: its options added by _add, --help
// and positional arguments handled, its values read by _read (parser, options, error).
template <class Options, class AddOptions, class ReadValues>
bool ParseSimulatorOptions(const QStringList& _qlstArgs, Options& _stOptions, QString& _qstrError,
                           AddOptions _add, ReadValues _read)
{
    QCommandLineParser qparser;
    _add(qparser);
    const SimArgsResult eResult = ParseSimulatorArgs(qparser, _qlstArgs, _stOptions.qstrHelpText, _qstrError);
    _stOptions.blHelp = eResult == SimArgsResult::Help;
    if (eResult != SimArgsResult::Values)
        return eResult == SimArgsResult::Help;
    return _read(qparser, _stOptions, _qstrError);
}
// _szOption and _szValueName name the option in the refusal: "--fail takes pattern[=code]".
bool ReadFailRules(const QStringList& _qlstSpecs, const char* _szOption, const char* _szValueName,
                   QVector<PubSimFailRule>& _vecRules, QString& _qstrError);

// The code of the first rule that matches the whole job id; empty when none does.
QString FailCodeFor(const QVector<PubSimFailRule>& _vecRules, const QString& _qstrJobId);
