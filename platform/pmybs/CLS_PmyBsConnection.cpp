#include "CLS_PmyBsConnection.h"

#include <chrono>

#include "PmyBsApi.h"

namespace
{
constexpr int n_ReconnectPauseMs = 1000;
const QString s_qstrMethod = QStringLiteral("call");
const QString s_qstrLoginBody = QStringLiteral(R"({"client":"PMYBurnSvcSdk","version":1})");
}  // namespace

CLS_PmyBsConnection::CLS_PmyBsConnection(std::string _strHost, int _iPort, EventSink _sinkEvent,
                                         StateSink _sinkState)
    : m_strHost(std::move(_strHost))
    , m_iPort(_iPort)
    , m_sinkEvent(std::move(_sinkEvent))
    , m_sinkState(std::move(_sinkState))
{
}

CLS_PmyBsConnection::~CLS_PmyBsConnection()
{
    Close();
}

int CLS_PmyBsConnection::Open(int _iConnectTimeoutMs, int _iCallTimeoutMs)
{
    m_iConnectTimeoutMs = _iConnectTimeoutMs;
    m_threadIo = std::thread(&CLS_PmyBsConnection::RunIo, this);
    std::unique_lock<std::mutex> lockPending(m_mtxPending);
    const auto msWait = std::chrono::milliseconds(_iConnectTimeoutMs + _iCallTimeoutMs);
    m_cvPending.wait_for(lockPending, msWait, [this] { return m_iFirstResult >= 0; });
    return m_iFirstResult >= 0 ? m_iFirstResult : n_PmyBs_ConnectFailed;
}

bool CLS_PmyBsConnection::IsLoggedIn() const
{
    return m_blLoggedIn;
}

CLS_PmyBsConnection::CallResult CLS_PmyBsConnection::Call(const QString& _qstrClass, const QString& _qstrBody,
                                                          int _iTimeoutMs)
{
    if (!m_blLoggedIn || m_blStop)
        return CallResult();
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(_iTimeoutMs);
    const auto pPending = std::make_shared<Pending>();
    NwcRequest stRequest{QString(), s_qstrMethod, _qstrClass, _qstrBody};
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        stRequest.qstrId = QString::number(++m_ullSeq);
        m_mapPending[stRequest.qstrId] = pPending;
    }
    const bool blSent = m_socket.Send(NwcRequestLine(stRequest), _iTimeoutMs);
    std::unique_lock<std::mutex> lockPending(m_mtxPending);
    if (blSent)
        m_cvPending.wait_until(lockPending, tpDeadline, [&] { return pPending->blDone; });
    m_mapPending.erase(stRequest.qstrId);
    return pPending->blDone ? pPending->stResult : CallResult();
}

void CLS_PmyBsConnection::Close()
{
    m_blStop = true;
    m_socket.Wake();
    if (m_threadIo.joinable() && m_threadIo.get_id() != std::this_thread::get_id())
        m_threadIo.join();
    m_blLoggedIn = false;
    FailPending();
}

void CLS_PmyBsConnection::RunIo()
{
    while (!m_blStop) {
        if (m_socket.Connect(m_strHost, m_iPort, m_iConnectTimeoutMs)) {
            ReadUntilDropped();
            const bool blWasUp = m_blLoggedIn.exchange(false);
            m_socket.Close();
            FailPending();
            if (blWasUp && !m_blStop)
                m_sinkState("disconnected");
        }
        SetFirstResult(n_PmyBs_ConnectFailed);
        if (m_socket.Pause(n_ReconnectPauseMs))
            break;
    }
    m_blLoggedIn = false;
    m_socket.Close();
}

void CLS_PmyBsConnection::ReadUntilDropped()
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        m_qstrLoginId = QStringLiteral("login#") + QString::number(++m_ullSeq);
    }
    // The service knows a client by its log-in, so every new line starts with one.
    if (!m_socket.Send(NwcRequestLine({m_qstrLoginId, s_qstrMethod, QStringLiteral("Login"), s_qstrLoginBody}),
                       m_iConnectTimeoutMs))
        return;
    QByteArray qbaBuffer;
    while (!m_blStop && m_socket.Read(qbaBuffer) == CLS_NwcSocket::ReadResult::Data) {
        for (const QByteArray& qbaLine : TakeNwcLines(qbaBuffer))
            HandleLine(qbaLine);
        if (qbaBuffer.size() > n_NwcMaxLineBytes)
            return;
    }
}

void CLS_PmyBsConnection::HandleLine(const QByteArray& _qbaLine)
{
    const NwcLine stLine = ParseNwcLine(_qbaLine);
    if (stLine.eKind == NwcLineKind::Reply && stLine.stReply.qstrId == m_qstrLoginId)
        return HandleLoginReply(stLine.stReply);
    if (stLine.eKind == NwcLineKind::Reply)
        return Complete(stLine.stReply);
    if (stLine.eKind == NwcLineKind::Event && m_blLoggedIn)
        m_sinkEvent(stLine.stEvent);
}

void CLS_PmyBsConnection::HandleLoginReply(const NwcReply& _stReply)
{
    if (!_stReply.blOk) {
        // A refusal ends this line; the thread tries again after its pause.
        m_sinkState("login_refused");
        SetFirstResult(_stReply.iErrId > 0 ? _stReply.iErrId : n_PmyBs_ConnectFailed);
        m_socket.Close();
        return;
    }
    m_blLoggedIn = true;
    SetFirstResult(n_PmyBs_Ok);
    m_sinkState("connected");
}

void CLS_PmyBsConnection::Complete(const NwcReply& _stReply)
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        const auto it = m_mapPending.find(_stReply.qstrId);
        // A reply after its call gave up is dropped.
        if (it == m_mapPending.end())
            return;
        it->second->stResult = {true, _stReply.blOk, _stReply.iErrId, _stReply.qstrReply.toStdString()};
        it->second->blDone = true;
    }
    m_cvPending.notify_all();
}

void CLS_PmyBsConnection::FailPending()
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        for (auto& [qstrId, pPending] : m_mapPending)
            pPending->blDone = true;
    }
    m_cvPending.notify_all();
}

void CLS_PmyBsConnection::SetFirstResult(int _iResult)
{
    {
        const std::lock_guard<std::mutex> lockPending(m_mtxPending);
        if (m_iFirstResult >= 0)
            return;
        m_iFirstResult = _iResult;
    }
    m_cvPending.notify_all();
}
