// Small file helpers shared by the tests of the Epson and Primera backends and of the
// publisher simulator. Test thread only.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <initializer_list>
#include <string>
#include <utility>

#include "CLS_AutoBase.h"

namespace PublisherTestKit
{
inline QByteArray ReadBytes(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}

inline bool WriteBytes(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QDir().mkpath(QFileInfo(_qstrPath).absolutePath());
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::WriteOnly | QIODevice::Truncate) && qfile.write(_qbaContent) == _qbaContent.size();
}

// A path as the job files name it: every "/" a "\".
inline QByteArray Backslashed(QString _qstrPath)
{
    return _qstrPath.replace(QLatin1Char('/'), QLatin1Char('\\')).toUtf8();
}

inline BurnFileTask MakeTask(const std::string& _strJobId,
                             std::initializer_list<std::pair<std::string, std::string>> _lstFiles)
{
    BurnFileTask stTask;
    stTask.strJobId = _strJobId;
    stTask.vecFiles.assign(_lstFiles.begin(), _lstFiles.end());
    return stTask;
}
}  // namespace PublisherTestKit
