// The archive simulator: the service on a TCP port of 127.0.0.1, its step timer and
// the lines it prints on stdout. Owned by main; main thread.
//
// Output, one line each, flushed at once:
//   ready url=http://127.0.0.1:<port> pools=<code>=<folder>[,...] step-ms=<n>
//   task <disc label> <state> <text>
//   stopped tasks=<tasks ended>
#pragma once

#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include "CLS_OdaSimService.h"

class QTcpSocket;

class CLS_OdaSimulator : public QObject
{
    Q_OBJECT

public:
    explicit CLS_OdaSimulator(const OdaSimOptions& _stOptions, QObject* _pParent = nullptr);

    // Creates the pools and starts listening (after --down-secs); false with a reason.
    bool Start(QString& _qstrError);

public Q_SLOTS:
    void SlotStop();

Q_SIGNALS:
    void signalFinished();

private:
    void Listen();
    void Serve(QTcpSocket* _pSocket);
    void Respond(QTcpSocket* _pSocket, const QByteArray& _qbaResponse);

    const OdaSimOptions m_stOptions;
    CLS_OdaSimService m_service;
    QTcpServer m_server;
    QTimer m_timerStep;
    int m_iTasksEnded = 0;
    bool m_blStopped = false;
};
