// A producer: one channel with publisher confirms on a shared connection.
// Any thread; every call takes the connection's lock.
#pragma once

#include "CLS_RmqConnection.h"

#include <cstdint>
#include <memory>
#include <string>

class CLS_RmqProducer
{
public:
    CLS_RmqProducer(std::shared_ptr<CLS_RmqConnection> _pConnection, std::string _strExchange,
                    std::string _strRoutingKey);
    ~CLS_RmqProducer();
    CLS_RmqProducer(const CLS_RmqProducer&) = delete;
    CLS_RmqProducer& operator=(const CLS_RmqProducer&) = delete;

    // Opens the channel; false when not connected or refused.
    bool Start();
    // Publishes persistently and waits for the confirm; see mq_producer_send.
    bool Send(const char* _pData, std::size_t _uLen);

private:
    // All of these run with the connection's lock held.
    RmqOutcome OpenChannel();
    RmqOutcome PublishOnce(const char* _pData, std::size_t _uLen);
    RmqOutcome AwaitConfirm(std::uint64_t _ullTag);
    RmqOutcome OnChannelMethod(const amqp_method_t& _method, std::uint64_t _ullTag, bool& _blDone);

    std::shared_ptr<CLS_RmqConnection> m_pConnection;
    const std::string m_strExchange;
    const std::string m_strRoutingKey;
    amqp_channel_t m_uChannel = 0;
    unsigned m_uChannelGeneration = 0;  // connection generation the channel was opened on
    bool m_blChannelOpen = false;
    std::uint64_t m_ullLastTag = 0;  // delivery tag of the last publish on this channel
};
