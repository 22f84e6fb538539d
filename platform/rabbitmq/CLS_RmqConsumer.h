// A consumer: its own connection and a delivery thread that calls the listener.
// Any thread; the listener runs on the delivery thread.
#pragma once

#include "CLS_RmqConnection.h"
#include "MqTypes.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <string>
#include <thread>

class CLS_RmqConsumer
{
public:
    CLS_RmqConsumer(const RmqBrokerSettings& _settings, std::string _strQueue);
    ~CLS_RmqConsumer();
    CLS_RmqConsumer(const CLS_RmqConsumer&) = delete;
    CLS_RmqConsumer& operator=(const CLS_RmqConsumer&) = delete;

    // Connects; false when the broker cannot be reached.
    bool Start();
    // Subscribes and starts delivery; one listener per consumer (exactly one of the two set).
    bool SetListener(mq_listener_fn _pfn, mq_listener_ex_fn _pfnEx, void* _pUser);
    bool Ack(std::uint64_t _ullTag);
    bool OnDeliveryThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void Run();
    // With the connection's lock held: subscribed on the current connection.
    bool EnsureSubscribed();
    // With the lock held: one delivery read, or false after a timeout or a failure.
    bool ReadDelivery(amqp_envelope_t& _envelope);
    void HandleOtherFrame();
    void Deliver(amqp_envelope_t& _envelope, unsigned _uGeneration);
    void PauseBeforeRetry();

    const RmqBrokerSettings m_settings;
    const std::string m_strQueue;
    CLS_RmqConnection m_connection;
    unsigned m_uSubscribedGeneration = 0;
    bool m_blSubscribed = false;
    amqp_channel_t m_uChannel = 0;
    mq_listener_fn m_pfn = nullptr;
    mq_listener_ex_fn m_pfnEx = nullptr;
    void* m_pUser = nullptr;
    std::atomic<bool> m_blStop{false};
    std::mutex m_mutexPause;
    std::condition_variable m_cvPause;
    std::thread m_thread;
};
