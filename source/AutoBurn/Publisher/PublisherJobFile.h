// The publisher job files as text: the order file composed from a vendor's field
// table, its DATA lines, the label field file, and the hand-over copy into the watched
// folder. Free functions; stateless, any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

#include "PublisherVendor.h"

struct BurnFileTask;

// A format with one "%1" filled with the value, encoded.
QByteArray ComposeJobFileLine(const QString& _qstrFormat, const QString& _qstrValue, JobFileEncoding _eEncoding);

// The values an order file is made of, as the request and the backend give them.
struct PublisherOrderValues
{
    QString qstrJobId;
    int iCopies = -1;
    QString qstrMediaName;  // "CDType"; written as its media class
    QString qstrTitle;
    QString qstrCoverFile;  // the cover template's full path; empty: no cover
    QString qstrLabelFile;  // the label field file's full path
    QString qstrPublisher;
    QString qstrCloseDisc;
};

// The order file: one "KEY=value\r\n" line per written field of the vendor's table,
// paths with "\" separators, in the vendor's encoding.
QByteArray ComposeOrderFile(const PublisherVendor& _stVendor, const PublisherOrderValues& _stValues);

// One "DATA=" line per file pair, source + the vendor's separator + destination with
// every "/" turned into "\", in the vendor's encoding.
QByteArray ComposeDataLines(const PublisherVendor& _stVendor, const BurnFileTask& _stFileTask);

// The label field names of the vendor: the groups Upper, Left, Right and Down, each
// with its first suffixes of One to Ten ("UpperOne", "UpperTwo", ...).
QStringList LabelFieldNames(const PublisherVendor& _stVendor);

// The string values of the named "LabelInfo" fields of a label request, in the order
// of the names (missing or not a string: empty); nothing when "enable" is "0".
std::optional<QStringList> LabelFieldValues(const std::string& _strReqJson, const QStringList& _qstrlstFields);

// The label field file: one line per field, keyed by the vendor's label key or by
// the field's own name; 8-bit text.
QByteArray ComposeLabelFile(const PublisherVendor& _stVendor, const QStringList& _qstrlstValues);

// Every "/" turned into "\".
QString ToBackslashes(const QString& _qstrPath);

// Appends to the file; false when it cannot be opened for appending.
bool AppendJobFile(const std::string& _strPath, const QByteArray& _qbaContent);

// Deletes the file and writes it anew; false when it cannot be opened.
bool RewriteJobFile(const std::string& _strPath, const QByteArray& _qbaContent);

// Copies a job file into the watched folder: up to three attempts with no pause.
// Each failed attempt logs "FUN=%s, jobid=%s, copy file fail" under the caller's
// source name and function name.
bool HandOverJobFile(const char* _szLogSource, const char* _szFun, const std::string& _strJobId,
                     const std::string& _strSrcPath, const std::string& _strDesPath);
