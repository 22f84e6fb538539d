#include "CLS_OdaSimulator.h"

#include <QTcpSocket>

#include <cstdio>

#include "CLS_SimConsole.h"
#include "OdaSimHttp.h"

namespace
{
// Connections that send more than a request's worth without one are dropped.
constexpr int n_MaxPendingBytes = 17 * 1024 * 1024;
}  // namespace

CLS_OdaSimulator::CLS_OdaSimulator(const OdaSimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_service(_stOptions)
{
    m_timerStep.setInterval(m_stOptions.iStepMs);
    connect(&m_timerStep, &QTimer::timeout, &m_service, &CLS_OdaSimService::SlotStep);
    connect(&m_service, &CLS_OdaSimService::signalTaskState, this,
            [this](const QString& _qstrLabel, int _iState, const QString& _qstrText) {
                PrintSimLine(QStringLiteral("task %1 %2 %3").arg(_qstrLabel).arg(_iState).arg(_qstrText));
            });
    connect(&m_service, &CLS_OdaSimService::signalTaskEnded, this, [this] {
        if (++m_iTasksEnded >= m_stOptions.iMaxTasks && m_stOptions.iMaxTasks > 0)
            QTimer::singleShot(0, this, &CLS_OdaSimulator::SlotStop);
    });
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection())
            Serve(pSocket);
    });
}

bool CLS_OdaSimulator::Start(QString& _qstrError)
{
    if (!m_service.Prepare(_qstrError))
        return false;
    if (m_stOptions.dDownSecs > 0) {
        QTimer::singleShot(static_cast<int>(m_stOptions.dDownSecs * 1000), this, &CLS_OdaSimulator::Listen);
        return true;
    }
    if (!m_server.listen(QHostAddress::LocalHost, static_cast<quint16>(m_stOptions.iPort))) {
        _qstrError = m_server.errorString();
        return false;
    }
    Listen();
    return true;
}

void CLS_OdaSimulator::Listen()
{
    if (!m_server.isListening() && !m_server.listen(QHostAddress::LocalHost, static_cast<quint16>(m_stOptions.iPort))) {
        std::fprintf(stderr, "odasim: %s\n", qPrintable(m_server.errorString()));
        SlotStop();
        return;
    }
    QStringList qlstPools;
    for (const OdaSimPool& stPool : m_stOptions.vecPools)
        qlstPools << stPool.qstrCode + QLatin1Char('=') + stPool.qstrFolder;
    m_timerStep.start();
    PrintSimLine(QStringLiteral("ready url=http://127.0.0.1:%1 pools=%2 step-ms=%3")
                  .arg(m_server.serverPort())
                  .arg(qlstPools.join(QLatin1Char(',')))
                  .arg(m_stOptions.iStepMs));
}

void CLS_OdaSimulator::Serve(QTcpSocket* _pSocket)
{
    connect(_pSocket, &QTcpSocket::disconnected, _pSocket, &QObject::deleteLater);
    connect(_pSocket, &QTcpSocket::readyRead, this, [this, _pSocket] {
        if (_pSocket->property("answered").toBool())
            return;
        const QByteArray qbaBuffer = _pSocket->peek(n_MaxPendingBytes);
        OdaSimHttpRequest stRequest;
        int iConsumed = 0;
        switch (ParseHttpRequest(qbaBuffer, stRequest, iConsumed)) {
        case HttpParseResult::Incomplete:
            return;
        case HttpParseResult::Bad:
            return Respond(_pSocket, HttpResponse(400, "{\"code\":\"400\",\"msg\":\"bad request\"}"));
        case HttpParseResult::TooLarge:
            return Respond(_pSocket, HttpResponse(413, "{\"code\":\"413\",\"msg\":\"too large\"}"));
        case HttpParseResult::Complete:
            break;
        }
        _pSocket->read(iConsumed);
        const QByteArray qbaBody = m_service.Answer(stRequest.qbaPath, stRequest.qbaBody);
        Respond(_pSocket, qbaBody.isEmpty() ? HttpResponse(404, "{\"code\":\"404\",\"msg\":\"no such path\"}")
                                            : HttpResponse(200, qbaBody));
    });
}

void CLS_OdaSimulator::Respond(QTcpSocket* _pSocket, const QByteArray& _qbaResponse)
{
    _pSocket->setProperty("answered", true);
    QTimer::singleShot(m_stOptions.iDelayMs, _pSocket, [_pSocket, _qbaResponse] {
        _pSocket->write(_qbaResponse);
        _pSocket->disconnectFromHost();
    });
}

void CLS_OdaSimulator::SlotStop()
{
    if (m_blStopped)
        return;
    m_blStopped = true;
    m_timerStep.stop();
    m_server.close();
    PrintSimLine(QStringLiteral("stopped tasks=%1").arg(m_iTasksEnded));
    emit signalFinished();
}
