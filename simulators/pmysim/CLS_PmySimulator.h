// pmysim on a TCP port of 127.0.0.1: the service's line protocol (NwcWire.h) with its
// log-ins, the step timer, the commands of standard input and the lines of standard
// output. Owned by main; main thread.
//
// Output, one line each, flushed at once:
//   ready port=<port> step-ms=<n> drives=<n> bins=<n> discs=<n> out=<folder> login=open|refused busy=yes|no
//   login <client> | login refused <client> | logout <client>     (<client>: the client's port)
//   task <task id> <job id> <status> <text> submits=<n>
//   calibrate ok | calibrate busy | restart
//   refill <n> discs=<blank discs now> | stats [<job>=<n>]... | stop
//   stopped tasks=<tasks ended>
#pragma once

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include "CLS_SimConsole.h"

#include "CLS_PmySimService.h"

class QTcpSocket;

class CLS_PmySimulator : public QObject
{
    Q_OBJECT

public:
    explicit CLS_PmySimulator(const PmySimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the result folder, listens and starts reading standard input; false with a reason.
    bool Start(QString& _qstrError);
    // One command line: "refill N", "stats" or "stop"; false for anything else.
    bool Command(const QString& _qstrLine);

public Q_SLOTS:
    void SlotStop();

Q_SIGNALS:
    void signalFinished();

private:
    struct Client
    {
        QByteArray qbaBuffer;
        bool blLoggedIn = false;
    };

    void Serve(QTcpSocket* _pSocket);
    void ReadRequests(QTcpSocket* _pSocket);
    void Login(QTcpSocket* _pSocket, const QString& _qstrId);
    void Broadcast(const QByteArray& _qbaLine);

    const PmySimOptions m_stOptions;
    CLS_PmySimService m_service;
    QTcpServer m_server;
    QTimer m_timerStep;
    QHash<QTcpSocket*, Client> m_qhashClients;
    CLS_SimConsole m_console;
    int m_iTasksEnded = 0;
    bool m_blStopped = false;
};
