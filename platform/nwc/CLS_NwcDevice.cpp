#include "CLS_NwcDevice.h"

#include <chrono>

namespace
{
constexpr int n_ConnectTimeoutMs = 3000;
constexpr int n_ReconnectPauseMs = 1000;
}  // namespace

CLS_NwcDevice::CLS_NwcDevice(std::string _strHost, int _iPort) : m_strHost(std::move(_strHost)), m_iPort(_iPort) {}

CLS_NwcDevice::~CLS_NwcDevice()
{
    Close();
}

void CLS_NwcDevice::Start()
{
    m_threadIo = std::thread(&CLS_NwcDevice::RunIo, this);
    std::unique_lock<std::mutex> lockPending(m_mtxPending);
    m_cvPending.wait_for(lockPending, std::chrono::milliseconds(n_ConnectTimeoutMs), [this] { return m_blTried; });
}

bool CLS_NwcDevice::IsConnected() const
{
    return m_blConnected;
}

CLS_NwcDevice::CallResult CLS_NwcDevice::Call(NwcRequest _stRequest, int _iTimeoutMs)
{
    if (!m_blConnected || m_blStop)
        return CallResult();
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(_iTimeoutMs);
    const auto pPending = std::make_shared<Pending>();
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        _stRequest.qstrId = UniqueId(_stRequest.qstrId);
        m_mapPending[_stRequest.qstrId] = pPending;
    }
    const bool blSent = m_socket.Send(NwcRequestLine(_stRequest), _iTimeoutMs);
    std::unique_lock<std::mutex> lockPending(m_mtxPending);
    if (blSent)
        m_cvPending.wait_until(lockPending, tpDeadline, [&] { return pPending->blDone; });
    m_mapPending.erase(_stRequest.qstrId);
    return pPending->blDone ? pPending->stResult : CallResult();
}

bool CLS_NwcDevice::SendLine(QByteArray _qbaLine)
{
    if (!_qbaLine.endsWith('\n'))
        _qbaLine += '\n';
    return m_blConnected && !m_blStop && m_socket.Send(_qbaLine, n_ConnectTimeoutMs);
}

bool CLS_NwcDevice::Close()
{
    m_blStop = true;
    m_socket.Wake();
    if (m_threadIo.joinable())
        m_threadIo.join();
    FailPending();
    return m_dispatcher.Stop();
}

void CLS_NwcDevice::RunIo()
{
    while (!m_blStop) {
        if (m_socket.Connect(m_strHost, m_iPort, n_ConnectTimeoutMs)) {
            m_blConnected = true;
            MarkTried();
            ReadUntilDropped();
            m_blConnected = false;
            m_socket.Close();
            FailPending();
        }
        MarkTried();
        if (m_socket.Pause(n_ReconnectPauseMs))
            break;
    }
    m_blConnected = false;
    m_socket.Close();
}

void CLS_NwcDevice::ReadUntilDropped()
{
    QByteArray qbaBuffer;
    while (!m_blStop && m_socket.Read(qbaBuffer) == CLS_NwcSocket::ReadResult::Data) {
        for (const QByteArray& qbaLine : TakeNwcLines(qbaBuffer))
            HandleLine(qbaLine);
        if (qbaBuffer.size() > n_NwcMaxLineBytes)
            return;
    }
}

void CLS_NwcDevice::HandleLine(const QByteArray& _qbaLine)
{
    if (m_dispatcher.Wants(NwcSubKind::Message))
        m_dispatcher.Post(NwcSubKind::Message, _qbaLine.toStdString());
    const NwcLine stLine = ParseNwcLine(_qbaLine);
    if (stLine.eKind == NwcLineKind::Reply)
        return Complete(stLine.stReply);
    if (stLine.eKind == NwcLineKind::Event && m_dispatcher.Wants(NwcSubKind::Event))
        m_dispatcher.Post(NwcSubKind::Event, stLine.stEvent.qstrCmd.toStdString(),
                          stLine.stEvent.qstrJson.toStdString());
}

void CLS_NwcDevice::Complete(const NwcReply& _stReply)
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        const auto it = m_mapPending.find(_stReply.qstrId);
        // A reply after its request gave up is dropped.
        if (it == m_mapPending.end())
            return;
        Pending& stPending = *it->second;
        stPending.stResult = {_stReply.blOk, _stReply.iErrId, _stReply.blHasReply, _stReply.qstrReply.toStdString()};
        stPending.blDone = true;
    }
    m_cvPending.notify_all();
}

void CLS_NwcDevice::FailPending()
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        for (auto& [qstrId, pPending] : m_mapPending)
            pPending->blDone = true;
    }
    m_cvPending.notify_all();
}

void CLS_NwcDevice::MarkTried()
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        m_blTried = true;
    }
    m_cvPending.notify_all();
}

QString CLS_NwcDevice::UniqueId(const QString& _qstrWanted)
{
    if (!_qstrWanted.isEmpty() && m_mapPending.find(_qstrWanted) == m_mapPending.end())
        return _qstrWanted;
    return _qstrWanted + QLatin1Char('#') + QString::number(++m_ullSeq);
}
