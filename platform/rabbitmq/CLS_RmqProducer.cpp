// Publishing with publisher confirms; reconnection and channel reopening on demand.
#include "CLS_RmqProducer.h"

#include "RmqLog.h"

#include <chrono>

#include <sys/time.h>

namespace {

const std::uint8_t n_RmqDeliveryPersistent = 2;

using Clock = std::chrono::steady_clock;

} // namespace

CLS_RmqProducer::CLS_RmqProducer(std::shared_ptr<CLS_RmqConnection> _pConnection, std::string _strExchange,
                                 std::string _strRoutingKey)
    : m_pConnection(std::move(_pConnection))
    , m_strExchange(std::move(_strExchange))
    , m_strRoutingKey(std::move(_strRoutingKey))
{
}

CLS_RmqProducer::~CLS_RmqProducer()
{
    std::lock_guard<std::mutex> lock(m_pConnection->Mutex());
    CLS_RmqConnection& conn = *m_pConnection;
    if (m_blChannelOpen && conn.IsOpen() && m_uChannelGeneration == conn.Generation()) {
        conn.CheckReply(amqp_channel_close(conn.State(), m_uChannel, AMQP_REPLY_SUCCESS), m_uChannel,
                        "channel close");
    }
    if (m_uChannel != 0)
        conn.GiveBackChannel(m_uChannel);
}

bool CLS_RmqProducer::Start()
{
    std::lock_guard<std::mutex> lock(m_pConnection->Mutex());
    if (!m_pConnection->EnsureOpen())
        return false;
    m_uChannel = m_pConnection->TakeChannel();
    if (m_uChannel == 0) {
        RMQ_LOG("no free channel");
        return false;
    }
    return OpenChannel() == RmqOutcome::n_Ok;
}

bool CLS_RmqProducer::Send(const char* _pData, std::size_t _uLen)
{
    std::lock_guard<std::mutex> lock(m_pConnection->Mutex());
    CLS_RmqConnection& conn = *m_pConnection;
    if (m_uChannel == 0 || !conn.EnsureOpen())
        return false;
    const RmqOutcome outcome = PublishOnce(_pData, _uLen);
    if (outcome != RmqOutcome::n_ConnectionLost || !conn.CanReconnect())
        return outcome == RmqOutcome::n_Ok;
    // The broker went away (restart, network): one new connection, one more attempt.
    if (!conn.Reopen())
        return false;
    return PublishOnce(_pData, _uLen) == RmqOutcome::n_Ok;
}

RmqOutcome CLS_RmqProducer::OpenChannel()
{
    CLS_RmqConnection& conn = *m_pConnection;
    if (m_blChannelOpen && m_uChannelGeneration == conn.Generation())
        return RmqOutcome::n_Ok;
    m_blChannelOpen = false;
    amqp_channel_open(conn.State(), m_uChannel);
    RmqOutcome outcome = conn.CheckRpc(m_uChannel, "channel open");
    if (outcome != RmqOutcome::n_Ok)
        return outcome;
    amqp_confirm_select(conn.State(), m_uChannel);
    outcome = conn.CheckRpc(m_uChannel, "confirm select");
    if (outcome != RmqOutcome::n_Ok)
        return outcome;
    m_blChannelOpen = true;
    m_uChannelGeneration = conn.Generation();
    m_ullLastTag = 0;
    return RmqOutcome::n_Ok;
}

RmqOutcome CLS_RmqProducer::PublishOnce(const char* _pData, std::size_t _uLen)
{
    CLS_RmqConnection& conn = *m_pConnection;
    const RmqOutcome outcome = OpenChannel();
    if (outcome != RmqOutcome::n_Ok)
        return outcome;
    amqp_basic_properties_t props{};
    props._flags = AMQP_BASIC_DELIVERY_MODE_FLAG;
    props.delivery_mode = n_RmqDeliveryPersistent;
    amqp_bytes_t body;
    body.len = _uLen;
    body.bytes = const_cast<char*>(_pData);
    const int iStatus = amqp_basic_publish(conn.State(), m_uChannel, amqp_cstring_bytes(m_strExchange.c_str()),
                                           amqp_cstring_bytes(m_strRoutingKey.c_str()), 0, 0, &props, body);
    if (iStatus != AMQP_STATUS_OK) {
        conn.Drop(amqp_error_string2(iStatus));
        return RmqOutcome::n_ConnectionLost;
    }
    return AwaitConfirm(++m_ullLastTag);
}

RmqOutcome CLS_RmqProducer::AwaitConfirm(std::uint64_t _ullTag)
{
    CLS_RmqConnection& conn = *m_pConnection;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(conn.TimeoutMs());
    for (;;) {
        const auto llLeftUs =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        timeval tv{};
        if (llLeftUs > 0) {
            tv.tv_sec = llLeftUs / 1000000;
            tv.tv_usec = llLeftUs % 1000000;
        }
        amqp_frame_t frame{};
        const int iStatus = amqp_simple_wait_frame_noblock(conn.State(), &frame, &tv);
        if (iStatus == AMQP_STATUS_TIMEOUT) {
            // The message's fate is unknown; a fresh connection is the only clean state.
            conn.Drop("no publisher confirm in time");
            return RmqOutcome::n_Refused;
        }
        if (iStatus != AMQP_STATUS_OK) {
            conn.Drop(amqp_error_string2(iStatus));
            return RmqOutcome::n_ConnectionLost;
        }
        if (frame.frame_type != AMQP_FRAME_METHOD)
            continue;
        if (frame.channel == 0 && frame.payload.method.id == AMQP_CONNECTION_CLOSE_METHOD) {
            conn.AnswerConnectionClose(static_cast<const amqp_connection_close_t*>(frame.payload.method.decoded));
            return RmqOutcome::n_ConnectionLost;
        }
        if (frame.channel != m_uChannel)
            continue;
        bool blDone = false;
        const RmqOutcome outcome = OnChannelMethod(frame.payload.method, _ullTag, blDone);
        if (blDone)
            return outcome;
    }
}

RmqOutcome CLS_RmqProducer::OnChannelMethod(const amqp_method_t& _method, std::uint64_t _ullTag, bool& _blDone)
{
    CLS_RmqConnection& conn = *m_pConnection;
    switch (_method.id) {
    case AMQP_BASIC_ACK_METHOD: {
        const auto* pAck = static_cast<const amqp_basic_ack_t*>(_method.decoded);
        _blDone = pAck->delivery_tag == _ullTag || (pAck->multiple && pAck->delivery_tag >= _ullTag);
        return RmqOutcome::n_Ok;
    }
    case AMQP_BASIC_NACK_METHOD: {
        const auto* pNack = static_cast<const amqp_basic_nack_t*>(_method.decoded);
        _blDone = pNack->delivery_tag == _ullTag || (pNack->multiple && pNack->delivery_tag >= _ullTag);
        if (_blDone)
            RMQ_LOG("publish to exchange '%s' rejected by the broker (nack)", m_strExchange.c_str());
        return RmqOutcome::n_Refused;
    }
    case AMQP_CHANNEL_CLOSE_METHOD: {
        const auto* pClose = static_cast<const amqp_channel_close_t*>(_method.decoded);
        RMQ_LOG("publish to exchange '%s' refused: %u %s", m_strExchange.c_str(),
                static_cast<unsigned>(pClose->reply_code), RmqBytesText(pClose->reply_text).c_str());
        m_blChannelOpen = false;
        conn.AnswerChannelClose(m_uChannel);
        _blDone = true;
        return RmqOutcome::n_Refused;
    }
    default:
        return RmqOutcome::n_Ok;  // e.g. a basic.return of an earlier message: not ours to wait for
    }
}
