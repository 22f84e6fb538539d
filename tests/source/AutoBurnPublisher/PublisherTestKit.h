// File helpers of the publisher backend tests and the end-to-end tests; test thread only.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

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

}  // namespace PublisherTestKit
