// What tests of the network libraries look at from outside: whether the peer on a port has
// bytes it has not read (Linux), and which thread a callback ran on. Any thread.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <sstream>
#include <thread>

inline QString ThreadName()
{
    std::ostringstream ossThread;
    ossThread << std::this_thread::get_id();
    return QString::fromStdString(ossThread.str());
}

// Bytes a socket on the port holds unread: the simulator's side of the library's connection.
inline bool UnreadBytesOnPort(int _iPort)
{
    QFile qfile("/proc/net/tcp");
    if (!qfile.open(QIODevice::ReadOnly))
        return false;
    const QString qstrLocal = QStringLiteral(":%1").arg(_iPort, 4, 16, QLatin1Char('0')).toUpper();
    for (const QByteArray& qbaLine : qfile.readAll().split('\n')) {
        const QStringList qlstFields = QString::fromLatin1(qbaLine).simplified().split(' ');
        const bool blOnPort = qlstFields.size() > 4 && qlstFields.at(1).endsWith(qstrLocal);
        if (blOnPort && qlstFields.at(4).section(':', 1).toInt(nullptr, 16) > 0)
            return true;
    }
    return false;
}
