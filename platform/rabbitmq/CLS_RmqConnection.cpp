// Connecting, reconnecting and closing one AMQP connection with bounded waits.
#include "CLS_RmqConnection.h"

#include "RmqLog.h"

#include <amqp_tcp_socket.h>

#include <sys/time.h>

namespace {

const int n_RmqFrameMax = 131072;
const int n_RmqDefaultChannelMax = 2047;

timeval ToTimeval(int _iMs)
{
    timeval tv{};
    tv.tv_sec = _iMs / 1000;
    tv.tv_usec = (_iMs % 1000) * 1000;
    return tv;
}

// A login or request refused by the broker, for log lines.
std::string ReplyText(const amqp_rpc_reply_t& _reply)
{
    switch (_reply.reply_type) {
    case AMQP_RESPONSE_NORMAL:
        return "ok";
    case AMQP_RESPONSE_NONE:
        return "no reply";
    case AMQP_RESPONSE_LIBRARY_EXCEPTION:
        return amqp_error_string2(_reply.library_error);
    case AMQP_RESPONSE_SERVER_EXCEPTION:
        break;
    }
    if (_reply.reply.id == AMQP_CONNECTION_CLOSE_METHOD) {
        const auto* pClose = static_cast<const amqp_connection_close_t*>(_reply.reply.decoded);
        return std::to_string(pClose->reply_code) + " " + RmqBytesText(pClose->reply_text);
    }
    if (_reply.reply.id == AMQP_CHANNEL_CLOSE_METHOD) {
        const auto* pClose = static_cast<const amqp_channel_close_t*>(_reply.reply.decoded);
        return std::to_string(pClose->reply_code) + " " + RmqBytesText(pClose->reply_text);
    }
    return "unexpected method";
}

} // namespace

std::string RmqBytesText(amqp_bytes_t _bytes)
{
    return std::string(static_cast<const char*>(_bytes.bytes), _bytes.len);
}

CLS_RmqConnection::~CLS_RmqConnection()
{
    Close();
}

bool CLS_RmqConnection::Open(const RmqBrokerSettings& _settings)
{
    if (IsOpen())
        Drop(nullptr);
    m_settings = _settings;
    m_blHasSettings = Connect();  // settings that never connected are not reconnected to
    return m_blHasSettings;
}

void CLS_RmqConnection::Close()
{
    m_blHasSettings = false;
    if (!m_pState)
        return;
    amqp_connection_close(m_pState, AMQP_REPLY_SUCCESS);
    amqp_destroy_connection(m_pState);
    m_pState = nullptr;
}

bool CLS_RmqConnection::EnsureOpen()
{
    if (IsOpen())
        return true;
    if (!CanReconnect()) {
        RMQ_LOG("not connected");
        return false;
    }
    return Reopen();
}

bool CLS_RmqConnection::Reopen()
{
    if (!m_blHasSettings)
        return false;
    if (IsOpen())
        Drop(nullptr);
    return Connect();
}

void CLS_RmqConnection::Drop(const char* _szWhy)
{
    if (!m_pState)
        return;
    if (_szWhy)
        RMQ_LOG("connection to %s:%d lost: %s", m_settings.strHost.c_str(), m_settings.iPort, _szWhy);
    amqp_destroy_connection(m_pState);
    m_pState = nullptr;
}

bool CLS_RmqConnection::Connect()
{
    const RmqBrokerSettings& s = m_settings;
    amqp_connection_state_t pState = amqp_new_connection();
    amqp_socket_t* pSocket = pState ? amqp_tcp_socket_new(pState) : nullptr;
    if (!pSocket) {
        RMQ_LOG("out of memory");
        if (pState)
            amqp_destroy_connection(pState);
        return false;
    }
    timeval tv = ToTimeval(s.iTimeoutMs);
    amqp_set_handshake_timeout(pState, &tv);
    amqp_set_rpc_timeout(pState, &tv);
    const int iStatus = amqp_socket_open_noblock(pSocket, s.strHost.c_str(), s.iPort, &tv);
    if (iStatus != AMQP_STATUS_OK) {
        RMQ_LOG("connect to %s:%d failed: %s", s.strHost.c_str(), s.iPort, amqp_error_string2(iStatus));
        amqp_destroy_connection(pState);
        return false;
    }
    const amqp_rpc_reply_t reply = amqp_login(pState, s.strVhost.c_str(), 0, n_RmqFrameMax, 0,
                                              AMQP_SASL_METHOD_PLAIN, s.strUser.c_str(), s.strPassword.c_str());
    if (reply.reply_type != AMQP_RESPONSE_NORMAL) {
        RMQ_LOG("login to %s:%d as '%s' failed: %s", s.strHost.c_str(), s.iPort, s.strUser.c_str(),
                ReplyText(reply).c_str());
        amqp_destroy_connection(pState);
        return false;
    }
    m_pState = pState;
    ++m_uGeneration;
    return true;
}

amqp_channel_t CLS_RmqConnection::TakeChannel()
{
    int iMax = m_pState ? amqp_get_channel_max(m_pState) : 0;
    if (iMax <= 0)
        iMax = n_RmqDefaultChannelMax;
    for (int i = 1; i <= iMax; ++i) {
        const auto uChannel = static_cast<amqp_channel_t>(i);
        if (m_setChannels.insert(uChannel).second)
            return uChannel;
    }
    return 0;
}

void CLS_RmqConnection::GiveBackChannel(amqp_channel_t _uChannel)
{
    m_setChannels.erase(_uChannel);
}

RmqOutcome CLS_RmqConnection::CheckRpc(amqp_channel_t _uChannel, const char* _szWhat)
{
    if (!m_pState)
        return RmqOutcome::n_ConnectionLost;
    return CheckReply(amqp_get_rpc_reply(m_pState), _uChannel, _szWhat);
}

RmqOutcome CLS_RmqConnection::CheckReply(const amqp_rpc_reply_t& _reply, amqp_channel_t _uChannel,
                                         const char* _szWhat)
{
    const amqp_rpc_reply_t& reply = _reply;
    if (reply.reply_type == AMQP_RESPONSE_NORMAL)
        return RmqOutcome::n_Ok;
    const std::string strText = ReplyText(reply);
    if (reply.reply_type == AMQP_RESPONSE_SERVER_EXCEPTION && reply.reply.id == AMQP_CHANNEL_CLOSE_METHOD) {
        RMQ_LOG("%s refused: %s", _szWhat, strText.c_str());
        AnswerChannelClose(_uChannel);
        return RmqOutcome::n_Refused;
    }
    if (reply.reply_type == AMQP_RESPONSE_SERVER_EXCEPTION && reply.reply.id == AMQP_CONNECTION_CLOSE_METHOD) {
        AnswerConnectionClose(static_cast<const amqp_connection_close_t*>(reply.reply.decoded));
        return RmqOutcome::n_ConnectionLost;
    }
    Drop((std::string(_szWhat) + ": " + strText).c_str());
    return RmqOutcome::n_ConnectionLost;
}

void CLS_RmqConnection::AnswerChannelClose(amqp_channel_t _uChannel)
{
    amqp_channel_close_ok_t closeOk{};
    if (amqp_send_method(m_pState, _uChannel, AMQP_CHANNEL_CLOSE_OK_METHOD, &closeOk) != AMQP_STATUS_OK)
        Drop("cannot answer a channel close");
}

void CLS_RmqConnection::AnswerConnectionClose(const amqp_connection_close_t* _pClose)
{
    amqp_connection_close_ok_t closeOk{};
    amqp_send_method(m_pState, 0, AMQP_CONNECTION_CLOSE_OK_METHOD, &closeOk);
    const std::string strWhy = std::to_string(_pClose->reply_code) + " " + RmqBytesText(_pClose->reply_text);
    Drop(strWhy.c_str());
}

bool CLS_RmqConnection::QueueOpt(const RmqQueueOpt& _opt)
{
    const amqp_channel_t uChannel = TakeChannel();
    if (uChannel == 0)
        return false;
    amqp_channel_open(m_pState, uChannel);
    RmqOutcome outcome = CheckRpc(uChannel, "channel open");
    const amqp_bytes_t queue = amqp_cstring_bytes(_opt.strQueue.c_str());
    if (outcome == RmqOutcome::n_Ok && _opt.strOp == "declare") {
        amqp_queue_declare(m_pState, uChannel, queue, 0, _opt.blDurable ? 1 : 0, 0, 0, amqp_empty_table);
        outcome = CheckRpc(uChannel, ("declare of queue '" + _opt.strQueue + "'").c_str());
        if (outcome == RmqOutcome::n_Ok && !_opt.strExchange.empty()) {
            amqp_queue_bind(m_pState, uChannel, queue, amqp_cstring_bytes(_opt.strExchange.c_str()),
                            amqp_cstring_bytes(_opt.strRoutingKey.c_str()), amqp_empty_table);
            outcome = CheckRpc(uChannel, ("bind to exchange '" + _opt.strExchange + "'").c_str());
        }
    } else if (outcome == RmqOutcome::n_Ok && _opt.strOp == "purge") {
        amqp_queue_purge(m_pState, uChannel, queue);
        outcome = CheckRpc(uChannel, ("purge of queue '" + _opt.strQueue + "'").c_str());
    } else if (outcome == RmqOutcome::n_Ok) {
        amqp_queue_delete(m_pState, uChannel, queue, 0, 0);
        outcome = CheckRpc(uChannel, ("delete of queue '" + _opt.strQueue + "'").c_str());
    }
    if (outcome == RmqOutcome::n_Ok)
        outcome = CheckReply(amqp_channel_close(m_pState, uChannel, AMQP_REPLY_SUCCESS), uChannel, "channel close");
    GiveBackChannel(uChannel);
    return outcome == RmqOutcome::n_Ok;
}
