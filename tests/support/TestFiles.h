// Reading and writing whole files in tests. Stateless; any thread.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// Writes the file, its folders created first; false when anything failed.
inline bool WriteTestFile(const QString& _qstrPath, const QByteArray& _qbaContent)
{
    QDir().mkpath(QFileInfo(_qstrPath).path());
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::WriteOnly) && qfile.write(_qbaContent) == _qbaContent.size();
}

// The file's bytes; "<missing>" when it cannot be read, so that no comparison with
// expected content passes by accident.
inline QByteArray ReadTestFile(const QString& _qstrPath)
{
    QFile qfile(_qstrPath);
    return qfile.open(QIODevice::ReadOnly) ? qfile.readAll() : QByteArray("<missing>");
}
