// File helpers of the publisher backend tests and the end-to-end tests; test thread only.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

// A task of the job from "source, destination, source, destination, ...".
inline BurnFileTask MakeTask(const QString& _qstrJobId, const QStringList& _qstrlstPairs)
{
    BurnFileTask stTask{_qstrJobId.toStdString(), {}};
    for (int iFile = 0; iFile + 1 < _qstrlstPairs.size(); iFile += 2)
        stTask.vecFiles.emplace_back(_qstrlstPairs[iFile].toStdString(), _qstrlstPairs[iFile + 1].toStdString());
    return stTask;
}
}  // namespace PublisherTestKit
