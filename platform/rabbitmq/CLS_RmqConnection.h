// One AMQP connection with the lock that serialises every use of it; shared by a
// broker handle and its producers. Any thread, but only with Mutex() held.
#pragma once

#include "RmqSettings.h"

#include <amqp.h>

#include <mutex>
#include <set>

// How an exchange with the broker ended.
enum class RmqOutcome
{
    n_Ok,
    n_Refused,  // the broker refused (channel closed, nack) or gave no answer in time
    n_ConnectionLost,  // the connection is gone (dropped here)
};

class CLS_RmqConnection
{
public:
    CLS_RmqConnection() = default;
    ~CLS_RmqConnection();
    CLS_RmqConnection(const CLS_RmqConnection&) = delete;
    CLS_RmqConnection& operator=(const CLS_RmqConnection&) = delete;

    std::mutex& Mutex() { return m_mutex; }

    // Everything below requires Mutex() held.

    // Connects with new settings, replacing any open connection.
    bool Open(const RmqBrokerSettings& _settings);
    // Closes politely and forgets the settings: no reconnection afterwards.
    void Close();
    // Connected, or connected again when reconnection is on.
    bool EnsureOpen();
    // Drops the current connection and opens a new one with the stored settings.
    bool Reopen();
    // Forgets an unusable connection without a handshake.
    void Drop(const char* _szWhy);

    bool IsOpen() const { return m_pState != nullptr; }
    bool HasSettings() const { return m_blHasSettings; }
    bool CanReconnect() const { return m_blHasSettings && m_settings.blReconnect; }
    const RmqBrokerSettings& Settings() const { return m_settings; }
    amqp_connection_state_t State() const { return m_pState; }
    // Changes with every new connection, so channels know to open again.
    unsigned Generation() const { return m_uGeneration; }
    int TimeoutMs() const { return m_settings.iTimeoutMs; }

    // Channel numbers: the lowest free one (0 when none is left), and its return.
    amqp_channel_t TakeChannel();
    void GiveBackChannel(amqp_channel_t _uChannel);

    // The outcome of the last synchronous request on _uChannel; answers a
    // channel or connection close from the broker and logs it under _szWhat.
    RmqOutcome CheckRpc(amqp_channel_t _uChannel, const char* _szWhat);
    // The same for a reply handed back directly (amqp_channel_close does not
    // record its reply where CheckRpc reads).
    RmqOutcome CheckReply(const amqp_rpc_reply_t& _reply, amqp_channel_t _uChannel, const char* _szWhat);
    // Answers the broker's close of a channel or of the connection.
    void AnswerChannelClose(amqp_channel_t _uChannel);
    void AnswerConnectionClose(const amqp_connection_close_t* _pClose);

    // Runs a queue declare, purge or delete on a short-lived channel.
    bool QueueOpt(const RmqQueueOpt& _opt);

private:
    bool Connect();

    std::mutex m_mutex;
    amqp_connection_state_t m_pState = nullptr;
    RmqBrokerSettings m_settings;
    bool m_blHasSettings = false;
    unsigned m_uGeneration = 0;
    std::set<amqp_channel_t> m_setChannels;
};

// Text of an AMQP reply or status for log lines.
std::string RmqBytesText(amqp_bytes_t _bytes);
