// Delivery loop: short bounded reads under the connection's lock, listener calls
// outside it, so acknowledgements from the listener never wait on the reader.
#include "CLS_RmqConsumer.h"

#include "RmqLog.h"

#include <chrono>

#include <sys/time.h>

namespace {

const int n_RmqReadSliceUs = 200000;  // how long one read may hold the lock
const int n_RmqRetryPauseMs = 1000;   // between reconnection attempts
const std::uint16_t n_RmqPrefetch = 64;

} // namespace

CLS_RmqConsumer::CLS_RmqConsumer(const RmqBrokerSettings& _settings, std::string _strQueue)
    : m_settings(_settings)
    , m_strQueue(std::move(_strQueue))
{
}

CLS_RmqConsumer::~CLS_RmqConsumer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutexPause);
        m_blStop.store(true);
    }
    m_cvPause.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_connection.Mutex());
    m_connection.Close();
}

bool CLS_RmqConsumer::Start()
{
    std::lock_guard<std::mutex> lock(m_connection.Mutex());
    if (!m_connection.Open(m_settings))
        return false;
    m_uChannel = m_connection.TakeChannel();
    return m_uChannel != 0;
}

bool CLS_RmqConsumer::SetListener(mq_listener_fn _pfn, mq_listener_ex_fn _pfnEx, void* _pUser)
{
    if ((!_pfn && !_pfnEx) || m_thread.joinable())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_connection.Mutex());
        if (!EnsureSubscribed())
            return false;
    }
    m_pfn = _pfn;
    m_pfnEx = _pfnEx;
    m_pUser = _pUser;
    m_thread = std::thread(&CLS_RmqConsumer::Run, this);
    return true;
}

bool CLS_RmqConsumer::Ack(std::uint64_t _ullTag)
{
    std::lock_guard<std::mutex> lock(m_connection.Mutex());
    if (!m_connection.IsOpen() || !m_blSubscribed)
        return false;
    return amqp_basic_ack(m_connection.State(), m_uChannel, _ullTag, 0) == AMQP_STATUS_OK;
}

void CLS_RmqConsumer::Run()
{
    while (!m_blStop.load()) {
        amqp_envelope_t envelope{};
        bool blGot = false;
        bool blReady = false;
        unsigned uGeneration = 0;
        {
            std::lock_guard<std::mutex> lock(m_connection.Mutex());
            blReady = EnsureSubscribed();
            blGot = blReady && ReadDelivery(envelope);
            uGeneration = m_connection.Generation();
        }
        if (blGot) {
            Deliver(envelope, uGeneration);
            amqp_destroy_envelope(&envelope);
        } else if (!blReady) {
            PauseBeforeRetry();
        }
    }
}

bool CLS_RmqConsumer::EnsureSubscribed()
{
    CLS_RmqConnection& conn = m_connection;
    if (!conn.IsOpen() && !(conn.CanReconnect() && conn.Reopen()))
        return false;
    if (m_blSubscribed && m_uSubscribedGeneration == conn.Generation())
        return true;
    m_blSubscribed = false;
    amqp_channel_open(conn.State(), m_uChannel);
    if (conn.CheckRpc(m_uChannel, "channel open") != RmqOutcome::n_Ok)
        return false;
    amqp_basic_qos(conn.State(), m_uChannel, 0, n_RmqPrefetch, 0);
    if (conn.CheckRpc(m_uChannel, "qos") != RmqOutcome::n_Ok)
        return false;
    amqp_basic_consume(conn.State(), m_uChannel, amqp_cstring_bytes(m_strQueue.c_str()), amqp_empty_bytes, 0, 0,
                       0, amqp_empty_table);
    if (conn.CheckRpc(m_uChannel, ("consume from queue '" + m_strQueue + "'").c_str()) != RmqOutcome::n_Ok)
        return false;
    m_blSubscribed = true;
    m_uSubscribedGeneration = conn.Generation();
    return true;
}

bool CLS_RmqConsumer::ReadDelivery(amqp_envelope_t& _envelope)
{
    amqp_maybe_release_buffers(m_connection.State());
    timeval tv{0, n_RmqReadSliceUs};
    const amqp_rpc_reply_t reply = amqp_consume_message(m_connection.State(), &_envelope, &tv, 0);
    if (reply.reply_type == AMQP_RESPONSE_NORMAL)
        return true;
    if (reply.reply_type == AMQP_RESPONSE_LIBRARY_EXCEPTION && reply.library_error == AMQP_STATUS_TIMEOUT)
        return false;
    if (reply.reply_type == AMQP_RESPONSE_LIBRARY_EXCEPTION && reply.library_error == AMQP_STATUS_UNEXPECTED_STATE) {
        HandleOtherFrame();
        return false;
    }
    m_connection.Drop(amqp_error_string2(reply.library_error));
    return false;
}

// A frame other than a delivery is waiting: a close of the channel or the connection.
void CLS_RmqConsumer::HandleOtherFrame()
{
    CLS_RmqConnection& conn = m_connection;
    amqp_frame_t frame{};
    timeval tv{0, 0};
    if (amqp_simple_wait_frame_noblock(conn.State(), &frame, &tv) != AMQP_STATUS_OK)
        return;
    if (frame.frame_type != AMQP_FRAME_METHOD)
        return;
    if (frame.payload.method.id == AMQP_CONNECTION_CLOSE_METHOD) {
        conn.AnswerConnectionClose(static_cast<const amqp_connection_close_t*>(frame.payload.method.decoded));
        return;
    }
    if (frame.payload.method.id == AMQP_CHANNEL_CLOSE_METHOD && frame.channel == m_uChannel) {
        const auto* pClose = static_cast<const amqp_channel_close_t*>(frame.payload.method.decoded);
        RMQ_LOG("consumer of queue '%s' closed: %u %s", m_strQueue.c_str(),
                static_cast<unsigned>(pClose->reply_code), RmqBytesText(pClose->reply_text).c_str());
        conn.AnswerChannelClose(m_uChannel);
        m_blSubscribed = false;
    }
}

void CLS_RmqConsumer::Deliver(amqp_envelope_t& _envelope, unsigned _uGeneration)
{
    const char* pData = _envelope.message.body.bytes ? static_cast<const char*>(_envelope.message.body.bytes) : "";
    const int iLen = static_cast<int>(_envelope.message.body.len);
    if (m_pfnEx) {
        m_pfnEx(static_cast<long long>(_envelope.delivery_tag), pData, iLen, m_pUser);
        return;
    }
    m_pfn(pData, iLen, m_pUser);
    // A tag belongs to the connection it came on; after a reconnection the broker
    // delivers the message again by itself.
    std::lock_guard<std::mutex> lock(m_connection.Mutex());
    if (m_connection.IsOpen() && m_blSubscribed && m_connection.Generation() == _uGeneration)
        amqp_basic_ack(m_connection.State(), m_uChannel, _envelope.delivery_tag, 0);
}

void CLS_RmqConsumer::PauseBeforeRetry()
{
    std::unique_lock<std::mutex> lock(m_mutexPause);
    m_cvPause.wait_for(lock, std::chrono::milliseconds(n_RmqRetryPauseMs), [this] { return m_blStop.load(); });
}
