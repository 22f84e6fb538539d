// The broker connection and producer the gateway publishes through, plus the broker
// settings' texts. Owned by the gateway; MqCreate runs on its queue thread, sends on any thread.
#pragma once

#include "MqTypes.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <string>

// Roles of Configure.
enum MqSrcType
{
    n_MqSrcType_None = -1,
    n_MqSrcType_Producer = 0,
};

class CLS_MqHelper
{
public:
    CLS_MqHelper();
    ~CLS_MqHelper();
    CLS_MqHelper(const CLS_MqHelper&) = delete;
    CLS_MqHelper& operator=(const CLS_MqHelper&) = delete;

    // Binds the queue library (win32_mq.dll in the application directory) and selects
    // its RabbitMQ implementation. Process-wide; true on success.
    static bool Init();

    // Stores the role (n_MqSrcType_Producer), the broker URI JSON and the producer
    // configuration JSON that MqCreate hands to the library.
    void Configure(int _iSrcType, const std::string& _strBrokerUri, const std::string& _strProducerCfg);

    // Connects and, for the producer role, creates the producer. Already connected: true.
    bool MqCreate();

    // Publishes the record (its length is set here from the NUL-terminated text).
    bool MqProducerSend(mq_msg_t* _pMqMsg);

    // MqCreate until it succeeds (true) or _blStop is set (false), pausing
    // ScaledMs(30000) between attempts; logs "SlotCreatMqProducer success!" or
    // "SlotCreatMqProducer failed!" per attempt. For the gateway's queue thread.
    bool ConnectUntilReady(const std::atomic<bool>& _blStop);

    bool IsProducerReady() const { return m_MqSrcFd.load() != -1; }

private:
    bool CreateProducer(const std::string& _strProducerCfg);
    void DropMq();

    std::atomic<long long> m_MqFd{-1};     // broker connection handle
    std::atomic<long long> m_MqSrcFd{-1};  // producer handle
    std::atomic<int> m_iSrcType{n_MqSrcType_None};
    std::string m_strBrokerUri;
    std::string m_strProducerCfg;
    void* m_pMutex = nullptr;  // platform mutex guarding the two texts; null while libos is unbound
};

// The broker settings of a module message: the object "param" -> "MQ" of the message
// text; empty when the text or the path is missing.
QJsonObject MqSettingsOf(const QString& _qstrMessage);

// "passWord" as plain text: decrypted (MqDecryptPassword) when "encryption" is 1,
// otherwise unchanged.
QString MqPlainPassword(const QJsonObject& _qjsonMq);

// The broker URI for mq_connection_create_ex, compact and in key order:
// {"ip","is_reconnect":1,"password","port","username"}; "port" 0 when absent.
std::string MqBrokerUri(const QJsonObject& _qjsonMq);

// The producer configuration for mq_producer_create: {"exchange_name","routing_key"}.
std::string MqProducerCfg(const QJsonObject& _qjsonMq);
