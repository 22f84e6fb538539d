// dmxsim on a TCP port of 127.0.0.1: the robot's line protocol (NwcWire.h), its step timer,
// the commands of standard input and the lines of standard output. Owned by main; main thread.
//
// Output, one line each, flushed at once:
//   ready port=<port> drives=<n> discs=<n> step-ms=<n> out=<folder> [share=<folder>] service=running|stopped
//   task <guid> <status> <text>
//   service starting | service running
//   refill <n> discs=<blank discs now>      stop
//   stopped tasks=<tasks ended>
#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include "CLS_SimConsole.h"

#include "CLS_DmxSimRobot.h"

class QTcpSocket;

class CLS_DmxSimulator : public QObject
{
    Q_OBJECT

public:
    explicit CLS_DmxSimulator(const DmxSimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the folders, listens and starts reading standard input; false with a reason.
    bool Start(QString& _qstrError);
    // One command line: "refill N" or "stop"; false for anything else.
    bool Command(const QString& _qstrLine);

public Q_SLOTS:
    void SlotStop();

Q_SIGNALS:
    void signalFinished();

private:
    void Serve(QTcpSocket* _pSocket);
    void ReadRequests(QTcpSocket* _pSocket);
    void Broadcast(const QByteArray& _qbaLine);

    const DmxSimOptions m_stOptions;
    CLS_DmxSimRobot m_robot;
    QTcpServer m_server;
    QTimer m_timerStep;
    QHash<QTcpSocket*, QByteArray> m_qhashBuffers;  // every connected robot client
    CLS_SimConsole m_console;
    int m_iTasksEnded = 0;
    bool m_blStopped = false;
};
