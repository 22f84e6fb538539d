// Pieces of a publisher job file shared by the Epson and Primera backends: line
// composition, label fields and the hand-over copy. Stateless; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

struct BurnFileTask;

// How a job file's text becomes bytes: the machine's 8-bit code page or UTF-8.
enum class JobFileEncoding
{
    Local8Bit,
    Utf8,
};

// True (and logged under the caller's names) when a job id cannot name a file of
// the watched folder; every path built from a job id is checked first.
bool RefuseUnsafeJobId(const char* _szLogSource, const char* _szFun, const QString& _qstrJobId);

// A format with one "%1" filled with the value, encoded.
QByteArray ComposeJobFileLine(const QString& _qstrFormat, const QString& _qstrValue, JobFileEncoding _eEncoding);

// One line of a job file, written only when blWritten.
struct JobFileField
{
    const char* szFormat;
    bool blWritten;
    QString qstrValue;
};

// The written fields' lines, in table order.
QByteArray ComposeJobFileLines(const std::vector<JobFileField>& _vecFields, JobFileEncoding _eEncoding);

// Appends one "DATA=%1\r\n" line per file pair, source + separator + destination with
// every "/" turned into "\", and empties the list; false (list untouched) when the
// file cannot be opened for appending.
bool AppendDataLines(const std::string& _strPath, BurnFileTask& _stFileTask, const QString& _qstrSeparator,
                     JobFileEncoding _eEncoding);

// Every "/" turned into "\".
QString ToBackslashes(const QString& _qstrPath);

// The media class of a media name, "DVD" for a name outside the table.
QString MediaClassOf(const std::string& _strMediaName);

// The text, or the default when it is empty.
QString TextOrDefault(const std::string& _strText, const char* _szDefault);

// Label field names: the groups Upper, Left, Right and Down, each with the first
// _iPerGroup of the suffixes One to Ten ("UpperOne", "UpperTwo", ...), in that order.
QStringList LabelFieldNames(int _iPerGroup);

// The string values of the named "LabelInfo" fields of a label request, in the order
// of the names (missing or not a string: empty); nothing when "enable" is "0".
std::optional<QStringList> LabelFieldValues(const std::string& _strReqJson, const QStringList& _qstrlstFields);

// Deletes the file and writes it anew; false when it cannot be opened.
bool RewriteJobFile(const std::string& _strPath, const QByteArray& _qbaContent);

// Copies a job file into the watched folder: up to three attempts with no pause.
// Each failed attempt logs "FUN=%s, jobid=%s, copy file fail" under the caller's
// source name and function name.
bool HandOverJobFile(const char* _szLogSource, const char* _szFun, const std::string& _strJobId,
                     const std::string& _strSrcPath, const std::string& _strDesPath);
