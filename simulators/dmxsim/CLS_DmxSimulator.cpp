#include "CLS_DmxSimulator.h"

#include <QTcpSocket>

#include <cstdio>

#include "NwcWire.h"

CLS_DmxSimulator::CLS_DmxSimulator(const DmxSimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_robot(_stOptions)
{
    m_timerStep.setInterval(m_stOptions.iStepMs);
    connect(&m_timerStep, &QTimer::timeout, &m_robot, &CLS_DmxSimRobot::SlotStep);
    connect(&m_robot, &CLS_DmxSimRobot::signalEvent, this, [this](const QString& _qstrCmd, const QString& _qstrJson) {
        Broadcast(NwcEventLine(_qstrCmd, _qstrJson));
    });
    connect(&m_robot, &CLS_DmxSimRobot::signalTaskState, this,
            [this](const QString& _qstrGuid, int _iStatus, const QString& _qstrText) {
                PrintSimLine(QStringLiteral("task %1 %2 %3").arg(_qstrGuid).arg(_iStatus).arg(_qstrText));
            });
    connect(&m_robot, &CLS_DmxSimRobot::signalServiceState, this,
            [this](const QString& _qstrState) { PrintSimLine("service " + _qstrState); });
    connect(&m_robot, &CLS_DmxSimRobot::signalTaskEnded, this, [this] {
        if (++m_iTasksEnded >= m_stOptions.iMaxTasks && m_stOptions.iMaxTasks > 0)
            QTimer::singleShot(0, this, &CLS_DmxSimulator::SlotStop);
    });
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection())
            Serve(pSocket);
    });
}

bool CLS_DmxSimulator::Start(QString& _qstrError)
{
    if (!m_robot.Prepare(_qstrError))
        return false;
    if (!m_server.listen(QHostAddress::LocalHost, static_cast<quint16>(m_stOptions.iPort))) {
        _qstrError = m_server.errorString();
        return false;
    }
    connect(&m_console, &CLS_SimConsole::signalCommand, this, [this](const QString& _qstrLine) {
        if (!Command(_qstrLine))
            std::fprintf(stderr, "dmxsim: unknown command \"%s\"\n", qPrintable(_qstrLine));
    });
    m_console.Start();
    m_timerStep.start();
    const QString qstrShare = m_stOptions.iDrives == 2 ? " share=" + m_stOptions.qstrShare : QString();
    PrintSimLine(QStringLiteral("ready port=%1 drives=%2 discs=%3 step-ms=%4 out=%5%6 service=%7")
                  .arg(m_server.serverPort())
                  .arg(m_stOptions.iDrives)
                  .arg(m_stOptions.iDiscs)
                  .arg(m_stOptions.iStepMs)
                  .arg(m_stOptions.qstrOut, qstrShare,
                       m_stOptions.blSlowStart ? QStringLiteral("stopped") : QStringLiteral("running")));
    return true;
}

bool CLS_DmxSimulator::Command(const QString& _qstrLine)
{
    const QStringList qlstWords = _qstrLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (qlstWords == QStringList{QStringLiteral("stop")}) {
        PrintSimLine(QStringLiteral("stop"));
        QTimer::singleShot(0, this, &CLS_DmxSimulator::SlotStop);
        return true;
    }
    bool blOk = false;
    const int iDiscs = qlstWords.size() == 2 && qlstWords.first() == QLatin1String("refill")
                           ? qlstWords.last().toInt(&blOk)
                           : 0;
    if (!blOk || iDiscs < 0)
        return false;
    m_robot.Refill(iDiscs);
    PrintSimLine(QStringLiteral("refill %1 discs=%2").arg(iDiscs).arg(m_robot.BlankDiscs()));
    return true;
}

void CLS_DmxSimulator::Serve(QTcpSocket* _pSocket)
{
    m_qhashBuffers.insert(_pSocket, QByteArray());
    connect(_pSocket, &QTcpSocket::readyRead, this, [this, _pSocket] { ReadRequests(_pSocket); });
    connect(_pSocket, &QTcpSocket::disconnected, this, [this, _pSocket] {
        m_qhashBuffers.remove(_pSocket);
        _pSocket->deleteLater();
    });
}

void CLS_DmxSimulator::ReadRequests(QTcpSocket* _pSocket)
{
    QByteArray& qbaBuffer = m_qhashBuffers[_pSocket];
    qbaBuffer += _pSocket->readAll();
    for (const QByteArray& qbaLine : TakeNwcLines(qbaBuffer)) {
        const NwcLine stLine = ParseNwcLine(qbaLine);
        // Anything but a request (a raw line a client sent) is read and left unanswered.
        if (stLine.eKind != NwcLineKind::Request)
            continue;
        const NwcRequest& stRequest = stLine.stRequest;
        const DmxSimAnswer stAnswer = m_robot.Answer(stRequest.qstrMethod, stRequest.qstrClass, stRequest.qstrBody);
        _pSocket->write(NwcReplyLine({stRequest.qstrId, stAnswer.blOk, stAnswer.iErrId, true, stAnswer.qstrReply}));
    }
    if (m_qhashBuffers.value(_pSocket).size() > n_NwcMaxLineBytes)
        _pSocket->abort();
}

void CLS_DmxSimulator::Broadcast(const QByteArray& _qbaLine)
{
    // Over a copy: a failing write may drop its client from the table.
    for (QTcpSocket* pSocket : m_qhashBuffers.keys())
        pSocket->write(_qbaLine);
}

void CLS_DmxSimulator::SlotStop()
{
    if (m_blStopped)
        return;
    m_blStopped = true;
    m_timerStep.stop();
    m_server.close();
    m_console.Stop();
    // Over a copy: a client with nothing left to send is dropped from the table at once.
    for (QTcpSocket* pSocket : m_qhashBuffers.keys())
        pSocket->disconnectFromHost();
    PrintSimLine(QStringLiteral("stopped tasks=%1").arg(m_iTasksEnded));
    emit signalFinished();
}
