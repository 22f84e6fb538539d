// win32_rabbitmq.dll: the exported entries over a registry of handles. Handles map
// to shared objects, so a call in flight keeps its object alive while another
// thread destroys the handle.
#include "win32_mq.h"

#include "CLS_RmqConnection.h"
#include "CLS_RmqConsumer.h"
#include "CLS_RmqProducer.h"
#include "RmqLog.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

const int n_MqType_RabbitMq = 1;

template <typename T>
struct CLS_Child
{
    std::shared_ptr<T> pObject;
    long long llMq;  // the broker handle it was made on
};

class CLS_RmqRegistry
{
public:
    long long AddMq(std::shared_ptr<CLS_RmqConnection> _pConnection)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mapMq[m_llNext] = std::move(_pConnection);
        return m_llNext++;
    }
    long long AddProducer(long long _llMq, std::shared_ptr<CLS_RmqProducer> _pProducer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mapProducer[m_llNext] = {std::move(_pProducer), _llMq};
        return m_llNext++;
    }
    long long AddConsumer(long long _llMq, std::shared_ptr<CLS_RmqConsumer> _pConsumer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mapConsumer[m_llNext] = {std::move(_pConsumer), _llMq};
        return m_llNext++;
    }
    std::shared_ptr<CLS_RmqConnection> Mq(long long _llMq)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_mapMq.find(_llMq);
        return it == m_mapMq.end() ? nullptr : it->second;
    }
    std::shared_ptr<CLS_RmqProducer> Producer(long long _llProducer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_mapProducer.find(_llProducer);
        return it == m_mapProducer.end() ? nullptr : it->second.pObject;
    }
    std::shared_ptr<CLS_RmqConsumer> Consumer(long long _llConsumer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_mapConsumer.find(_llConsumer);
        return it == m_mapConsumer.end() ? nullptr : it->second.pObject;
    }
    std::shared_ptr<CLS_RmqProducer> TakeProducer(long long _llProducer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Take(m_mapProducer, _llProducer);
    }
    std::shared_ptr<CLS_RmqConsumer> TakeConsumer(long long _llConsumer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Take(m_mapConsumer, _llConsumer);
    }
    // Removes a broker handle with everything made on it; the caller frees them
    // outside the registry's lock (a consumer joins its thread).
    std::shared_ptr<CLS_RmqConnection> TakeMq(long long _llMq, std::vector<std::shared_ptr<CLS_RmqProducer>>& _vecProducers,
                                              std::vector<std::shared_ptr<CLS_RmqConsumer>>& _vecConsumers)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_mapMq.find(_llMq);
        if (it == m_mapMq.end())
            return nullptr;
        std::shared_ptr<CLS_RmqConnection> pConnection = std::move(it->second);
        m_mapMq.erase(it);
        TakeChildren(m_mapProducer, _llMq, _vecProducers);
        TakeChildren(m_mapConsumer, _llMq, _vecConsumers);
        return pConnection;
    }

private:
    template <typename T>
    static std::shared_ptr<T> Take(std::map<long long, CLS_Child<T>>& _map, long long _llHandle)
    {
        const auto it = _map.find(_llHandle);
        if (it == _map.end())
            return nullptr;
        std::shared_ptr<T> pObject = std::move(it->second.pObject);
        _map.erase(it);
        return pObject;
    }
    template <typename T>
    static void TakeChildren(std::map<long long, CLS_Child<T>>& _map, long long _llMq,
                             std::vector<std::shared_ptr<T>>& _vecOut)
    {
        for (auto it = _map.begin(); it != _map.end();) {
            if (it->second.llMq != _llMq) {
                ++it;
                continue;
            }
            _vecOut.push_back(std::move(it->second.pObject));
            it = _map.erase(it);
        }
    }

    std::mutex m_mutex;
    long long m_llNext = 1;
    std::map<long long, std::shared_ptr<CLS_RmqConnection>> m_mapMq;
    std::map<long long, CLS_Child<CLS_RmqProducer>> m_mapProducer;
    std::map<long long, CLS_Child<CLS_RmqConsumer>> m_mapConsumer;
};

CLS_RmqRegistry& Registry()
{
    static CLS_RmqRegistry s_registry;
    return s_registry;
}

int Connect(long long _llMq, const RmqBrokerSettings& _settings)
{
    const std::shared_ptr<CLS_RmqConnection> pConnection = Registry().Mq(_llMq);
    if (!pConnection) {
        RMQ_LOG("unknown broker handle %lld", _llMq);
        return 0;
    }
    std::lock_guard<std::mutex> lock(pConnection->Mutex());
    return pConnection->Open(_settings) ? 1 : 0;
}

} // namespace

int mq_set_lib(int /*_iType*/, const char* /*_szLibName*/)
{
    return 0;  // an entry of the front only
}

long long mq_create_mq(int _iType)
{
    if (_iType != n_MqType_RabbitMq) {
        RMQ_LOG("mq_create_mq: unknown type %d", _iType);
        return -1;
    }
    return Registry().AddMq(std::make_shared<CLS_RmqConnection>());
}

int mq_destroy_mq(long long _llMq)
{
    std::vector<std::shared_ptr<CLS_RmqProducer>> vecProducers;
    std::vector<std::shared_ptr<CLS_RmqConsumer>> vecConsumers;
    const std::shared_ptr<CLS_RmqConnection> pConnection = Registry().TakeMq(_llMq, vecProducers, vecConsumers);
    if (!pConnection)
        return 0;
    vecConsumers.clear();
    vecProducers.clear();
    std::lock_guard<std::mutex> lock(pConnection->Mutex());
    pConnection->Close();
    return 1;
}

int mq_connection_create_ex(long long _llMq, const char* _szUriJson)
{
    RmqBrokerSettings settings;
    std::string strError;
    if (!ParseBrokerJson(_szUriJson, settings, strError)) {
        RMQ_LOG("mq_connection_create_ex: %s", strError.c_str());
        return 0;
    }
    return Connect(_llMq, settings);
}

int mq_connection_create(long long _llMq, const char* _szUri)
{
    RmqBrokerSettings settings;
    std::string strError;
    if (!ParseBrokerUri(_szUri, settings, strError)) {
        RMQ_LOG("mq_connection_create: %s", strError.c_str());
        return 0;
    }
    return Connect(_llMq, settings);
}

int mq_connection_destroy(long long _llMq)
{
    const std::shared_ptr<CLS_RmqConnection> pConnection = Registry().Mq(_llMq);
    if (!pConnection)
        return 0;
    std::lock_guard<std::mutex> lock(pConnection->Mutex());
    pConnection->Close();
    return 1;
}

long long mq_producer_create(long long _llMq, const char* _szCfgJson)
{
    std::string strExchange;
    std::string strRoutingKey;
    std::string strError;
    if (!ParseProducerJson(_szCfgJson, strExchange, strRoutingKey, strError)) {
        RMQ_LOG("mq_producer_create: %s", strError.c_str());
        return -1;
    }
    std::shared_ptr<CLS_RmqConnection> pConnection = Registry().Mq(_llMq);
    if (!pConnection)
        return -1;
    auto pProducer = std::make_shared<CLS_RmqProducer>(std::move(pConnection), strExchange, strRoutingKey);
    if (!pProducer->Start())
        return -1;
    return Registry().AddProducer(_llMq, std::move(pProducer));
}

int mq_producer_destroy(long long _llProducer)
{
    return Registry().TakeProducer(_llProducer) ? 1 : 0;
}

int mq_producer_send(long long _llProducer, mq_msg_t* _pMsg, void* /*_pUser*/)
{
    if (!_pMsg || !_pMsg->data || _pMsg->iLen < 0)
        return 0;
    const std::shared_ptr<CLS_RmqProducer> pProducer = Registry().Producer(_llProducer);
    if (!pProducer)
        return 0;
    return pProducer->Send(_pMsg->data, static_cast<std::size_t>(_pMsg->iLen)) ? 1 : 0;
}

long long mq_consumer_create(long long _llMq, const char* _szCfgJson)
{
    std::string strQueue;
    std::string strError;
    if (!ParseConsumerJson(_szCfgJson, strQueue, strError)) {
        RMQ_LOG("mq_consumer_create: %s", strError.c_str());
        return -1;
    }
    const std::shared_ptr<CLS_RmqConnection> pConnection = Registry().Mq(_llMq);
    if (!pConnection)
        return -1;
    RmqBrokerSettings settings;
    {
        std::lock_guard<std::mutex> lock(pConnection->Mutex());
        if (!pConnection->HasSettings())
            return -1;
        settings = pConnection->Settings();
    }
    auto pConsumer = std::make_shared<CLS_RmqConsumer>(settings, strQueue);
    if (!pConsumer->Start())
        return -1;
    return Registry().AddConsumer(_llMq, std::move(pConsumer));
}

int mq_consumer_destroy(long long _llConsumer)
{
    const std::shared_ptr<CLS_RmqConsumer> pConsumer = Registry().Consumer(_llConsumer);
    if (!pConsumer || pConsumer->OnDeliveryThread())
        return 0;
    return Registry().TakeConsumer(_llConsumer) ? 1 : 0;
}

int mq_consumer_set_listener(long long _llConsumer, mq_listener_fn _pfn, void* _pUser)
{
    const std::shared_ptr<CLS_RmqConsumer> pConsumer = Registry().Consumer(_llConsumer);
    return pConsumer && _pfn && pConsumer->SetListener(_pfn, nullptr, _pUser) ? 1 : 0;
}

int mq_consumer_set_listener_ex(long long _llConsumer, mq_listener_ex_fn _pfn, void* _pUser)
{
    const std::shared_ptr<CLS_RmqConsumer> pConsumer = Registry().Consumer(_llConsumer);
    return pConsumer && _pfn && pConsumer->SetListener(nullptr, _pfn, _pUser) ? 1 : 0;
}

int mq_consume_ack(long long _llConsumer, long long _llTag)
{
    const std::shared_ptr<CLS_RmqConsumer> pConsumer = Registry().Consumer(_llConsumer);
    return pConsumer && _llTag > 0 && pConsumer->Ack(static_cast<std::uint64_t>(_llTag)) ? 1 : 0;
}

int mq_opt_queue(long long _llMq, const char* _szOptJson)
{
    RmqQueueOpt opt;
    std::string strError;
    if (!ParseQueueOptJson(_szOptJson, opt, strError)) {
        RMQ_LOG("mq_opt_queue: %s", strError.c_str());
        return 0;
    }
    const std::shared_ptr<CLS_RmqConnection> pConnection = Registry().Mq(_llMq);
    if (!pConnection)
        return 0;
    std::lock_guard<std::mutex> lock(pConnection->Mutex());
    if (!pConnection->EnsureOpen())
        return 0;
    return pConnection->QueueOpt(opt) ? 1 : 0;
}
