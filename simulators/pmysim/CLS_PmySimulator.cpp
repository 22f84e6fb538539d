#include "CLS_PmySimulator.h"

#include <QTcpSocket>

#include <cstdio>

#include "NwcWire.h"

namespace
{
constexpr int n_ErrLoginRefused = 11000;
constexpr int n_ErrNotLoggedIn = 11012;

QString ClientName(const QTcpSocket* _pSocket)
{
    return QString::number(_pSocket->peerPort());
}
}  // namespace

CLS_PmySimulator::CLS_PmySimulator(const PmySimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_service(_stOptions)
{
    m_timerStep.setInterval(m_stOptions.iStepMs);
    connect(&m_timerStep, &QTimer::timeout, &m_service, &CLS_PmySimService::SlotStep);
    connect(&m_service, &CLS_PmySimService::signalEvent, this,
            [this](const QString& _qstrEvent, const QString& _qstrJson) {
                Broadcast(NwcEventLine(_qstrEvent, _qstrJson));
            });
    connect(&m_service, &CLS_PmySimService::signalTaskState, this, [this](const PmySimTask& _stTask) {
        PrintSimLine(QStringLiteral("task %1 %2 %3 %4 submits=%5")
                      .arg(_stTask.qstrId, _stTask.qstrJobId)
                      .arg(_stTask.iStatus)
                      .arg(_stTask.qstrText)
                      .arg(_stTask.iSubmits));
    });
    connect(&m_service, &CLS_PmySimService::signalLine, this, &PrintSimLine);
    connect(&m_service, &CLS_PmySimService::signalTaskEnded, this, [this] {
        if (++m_iTasksEnded >= m_stOptions.iMaxTasks && m_stOptions.iMaxTasks > 0)
            QTimer::singleShot(0, this, &CLS_PmySimulator::SlotStop);
    });
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection())
            Serve(pSocket);
    });
}

bool CLS_PmySimulator::Start(QString& _qstrError)
{
    if (!m_service.Prepare(_qstrError))
        return false;
    if (!m_server.listen(QHostAddress::LocalHost, static_cast<quint16>(m_stOptions.iPort))) {
        _qstrError = m_server.errorString();
        return false;
    }
    connect(&m_console, &CLS_SimConsole::signalCommand, this, [this](const QString& _qstrLine) {
        if (!Command(_qstrLine))
            std::fprintf(stderr, "pmysim: unknown command \"%s\"\n", qPrintable(_qstrLine));
    });
    m_console.Start();
    m_timerStep.start();
    PrintSimLine(QStringLiteral("ready port=%1 step-ms=%2 drives=%3 bins=%4 discs=%5 out=%6 login=%7 busy=%8")
                  .arg(m_server.serverPort())
                  .arg(m_stOptions.iStepMs)
                  .arg(m_stOptions.iDrives)
                  .arg(m_stOptions.iBins)
                  .arg(m_stOptions.iDiscs)
                  .arg(m_stOptions.qstrOut,
                       m_stOptions.blRefuseLogin ? QStringLiteral("refused") : QStringLiteral("open"),
                       m_stOptions.blBusy ? QStringLiteral("yes") : QStringLiteral("no")));
    return true;
}

bool CLS_PmySimulator::Command(const QString& _qstrLine)
{
    const QStringList qlstWords = _qstrLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (qlstWords == QStringList{QStringLiteral("stop")}) {
        PrintSimLine(QStringLiteral("stop"));
        QTimer::singleShot(0, this, &CLS_PmySimulator::SlotStop);
        return true;
    }
    if (qlstWords == QStringList{QStringLiteral("stats")}) {
        QStringList qlstCounts;
        for (auto it = m_service.AllSubmissions().cbegin(); it != m_service.AllSubmissions().cend(); ++it)
            qlstCounts << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
        qlstCounts.sort();
        PrintSimLine((QStringList{QStringLiteral("stats")} + qlstCounts).join(QLatin1Char(' ')));
        return true;
    }
    bool blOk = false;
    const int iDiscs = qlstWords.size() == 2 && qlstWords.first() == QLatin1String("refill")
                           ? qlstWords.last().toInt(&blOk)
                           : 0;
    if (!blOk || iDiscs < 0)
        return false;
    m_service.Refill(iDiscs);
    PrintSimLine(QStringLiteral("refill %1 discs=%2").arg(iDiscs).arg(m_service.BlankDiscs()));
    return true;
}

void CLS_PmySimulator::Serve(QTcpSocket* _pSocket)
{
    m_qhashClients.insert(_pSocket, Client());
    connect(_pSocket, &QTcpSocket::readyRead, this, [this, _pSocket] { ReadRequests(_pSocket); });
    connect(_pSocket, &QTcpSocket::disconnected, this, [this, _pSocket] {
        // Tasks belong to the service, not to the client: they run on without it.
        if (m_qhashClients.value(_pSocket).blLoggedIn)
            PrintSimLine("logout " + ClientName(_pSocket));
        m_qhashClients.remove(_pSocket);
        _pSocket->deleteLater();
    });
}

void CLS_PmySimulator::ReadRequests(QTcpSocket* _pSocket)
{
    if (!m_qhashClients.contains(_pSocket))
        return;
    m_qhashClients[_pSocket].qbaBuffer += _pSocket->readAll();
    for (const QByteArray& qbaLine : TakeNwcLines(m_qhashClients[_pSocket].qbaBuffer)) {
        const NwcLine stLine = ParseNwcLine(qbaLine);
        if (stLine.eKind != NwcLineKind::Request)
            continue;
        const NwcRequest& stRequest = stLine.stRequest;
        if (stRequest.qstrClass == QLatin1String("Login")) {
            Login(_pSocket, stRequest.qstrId);
            continue;
        }
        if (!m_qhashClients.value(_pSocket).blLoggedIn) {
            _pSocket->write(NwcReplyLine({stRequest.qstrId, false, n_ErrNotLoggedIn, true, R"({"msg":"未登录"})"}));
            continue;
        }
        const PmySimAnswer stAnswer = m_service.Answer(stRequest.qstrClass, stRequest.qstrBody);
        _pSocket->write(NwcReplyLine({stRequest.qstrId, stAnswer.blOk, stAnswer.iErrId, true, stAnswer.qstrReply}));
    }
    if (m_qhashClients.value(_pSocket).qbaBuffer.size() > n_NwcMaxLineBytes)
        _pSocket->abort();
}

void CLS_PmySimulator::Login(QTcpSocket* _pSocket, const QString& _qstrId)
{
    if (m_stOptions.blRefuseLogin) {
        PrintSimLine("login refused " + ClientName(_pSocket));
        _pSocket->write(NwcReplyLine({_qstrId, false, n_ErrLoginRefused, true, R"({"msg":"登录被拒绝"})"}));
        return;
    }
    const bool blFirst = !m_qhashClients.value(_pSocket).blLoggedIn;
    m_qhashClients[_pSocket].blLoggedIn = true;
    if (blFirst)
        PrintSimLine("login " + ClientName(_pSocket));
    const QString qstrSession = QStringLiteral(R"({"session":"%1"})").arg(ClientName(_pSocket));
    _pSocket->write(NwcReplyLine({_qstrId, true, 0, true, qstrSession}));
    // A client learns the robot's state as soon as it is in.
    _pSocket->write(NwcEventLine(QStringLiteral("RobotStatus"), m_service.RobotStatusJson()));
}

void CLS_PmySimulator::Broadcast(const QByteArray& _qbaLine)
{
    // Over a copy: a failing write may drop its client from the table.
    for (QTcpSocket* pSocket : m_qhashClients.keys()) {
        if (m_qhashClients.value(pSocket).blLoggedIn)
            pSocket->write(_qbaLine);
    }
}

void CLS_PmySimulator::SlotStop()
{
    if (m_blStopped)
        return;
    m_blStopped = true;
    m_timerStep.stop();
    m_server.close();
    m_console.Stop();
    for (QTcpSocket* pSocket : m_qhashClients.keys())
        pSocket->disconnectFromHost();
    PrintSimLine(QStringLiteral("stopped tasks=%1").arg(m_iTasksEnded));
    emit signalFinished();
}
