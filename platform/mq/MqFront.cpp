// win32_mq.dll: mq_set_lib loads the implementation library from this library's own
// folder; every other entry forwards to it, or fails while none is loaded.
#include "win32_mq.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

const int n_MqLibType_RabbitMq = 1;

// The implementation's entries; written once before being published.
struct CLS_MqImpl
{
    std::string strFile;
    decltype(&mq_create_mq) pfnCreateMq = nullptr;
    decltype(&mq_destroy_mq) pfnDestroyMq = nullptr;
    decltype(&mq_connection_create) pfnConnectionCreate = nullptr;
    decltype(&mq_connection_create_ex) pfnConnectionCreateEx = nullptr;
    decltype(&mq_connection_destroy) pfnConnectionDestroy = nullptr;
    decltype(&mq_producer_create) pfnProducerCreate = nullptr;
    decltype(&mq_producer_destroy) pfnProducerDestroy = nullptr;
    decltype(&mq_producer_send) pfnProducerSend = nullptr;
    decltype(&mq_consumer_create) pfnConsumerCreate = nullptr;
    decltype(&mq_consumer_destroy) pfnConsumerDestroy = nullptr;
    decltype(&mq_consumer_set_listener) pfnConsumerSetListener = nullptr;
    decltype(&mq_consumer_set_listener_ex) pfnConsumerSetListenerEx = nullptr;
    decltype(&mq_consume_ack) pfnConsumeAck = nullptr;
    decltype(&mq_opt_queue) pfnOptQueue = nullptr;
};

std::mutex s_mutexLoad;
// Never freed: handles of the implementation may be in use until the process ends.
std::atomic<const CLS_MqImpl*> s_pImpl{nullptr};

std::string OwnFolder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OwnFolder), &info) || !info.dli_fname)
        return ".";
    const std::string strPath = info.dli_fname;
    const std::size_t uSlash = strPath.rfind('/');
    return uSlash == std::string::npos ? "." : strPath.substr(0, uSlash);
}

template <typename Fn>
void Lookup(void* _pLib, const char* _szName, Fn& _pfn)
{
    _pfn = reinterpret_cast<Fn>(dlsym(_pLib, _szName));
    if (!_pfn)
        std::fprintf(stderr, "win32_mq: %s missing in the implementation\n", _szName);
}

const CLS_MqImpl* LoadImpl(const std::string& _strFile)
{
    void* pLib = dlopen(_strFile.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!pLib) {
        std::fprintf(stderr, "win32_mq: cannot load %s: %s\n", _strFile.c_str(), dlerror());
        return nullptr;
    }
    auto* pImpl = new CLS_MqImpl;
    pImpl->strFile = _strFile;
    Lookup(pLib, "mq_create_mq", pImpl->pfnCreateMq);
    Lookup(pLib, "mq_destroy_mq", pImpl->pfnDestroyMq);
    Lookup(pLib, "mq_connection_create", pImpl->pfnConnectionCreate);
    Lookup(pLib, "mq_connection_create_ex", pImpl->pfnConnectionCreateEx);
    Lookup(pLib, "mq_connection_destroy", pImpl->pfnConnectionDestroy);
    Lookup(pLib, "mq_producer_create", pImpl->pfnProducerCreate);
    Lookup(pLib, "mq_producer_destroy", pImpl->pfnProducerDestroy);
    Lookup(pLib, "mq_producer_send", pImpl->pfnProducerSend);
    Lookup(pLib, "mq_consumer_create", pImpl->pfnConsumerCreate);
    Lookup(pLib, "mq_consumer_destroy", pImpl->pfnConsumerDestroy);
    Lookup(pLib, "mq_consumer_set_listener", pImpl->pfnConsumerSetListener);
    Lookup(pLib, "mq_consumer_set_listener_ex", pImpl->pfnConsumerSetListenerEx);
    Lookup(pLib, "mq_consume_ack", pImpl->pfnConsumeAck);
    Lookup(pLib, "mq_opt_queue", pImpl->pfnOptQueue);
    return pImpl;
}

// Calls the implementation's entry, or gives the failure value while it is missing.
template <typename Fn, typename R, typename... Args>
R Forward(Fn CLS_MqImpl::*_pMember, R _failure, Args... _args)
{
    const CLS_MqImpl* pImpl = s_pImpl.load(std::memory_order_acquire);
    if (!pImpl || !(pImpl->*_pMember))
        return _failure;
    return (pImpl->*_pMember)(_args...);
}

} // namespace

int mq_set_lib(int _iType, const char* _szLibName)
{
    if (_iType != n_MqLibType_RabbitMq || !_szLibName || !*_szLibName) {
        std::fprintf(stderr, "win32_mq: mq_set_lib: unknown type %d or no file name\n", _iType);
        return 0;
    }
    const std::string strFile = OwnFolder() + "/" + _szLibName;
    std::lock_guard<std::mutex> lock(s_mutexLoad);
    if (const CLS_MqImpl* pLoaded = s_pImpl.load()) {
        if (pLoaded->strFile == strFile)
            return 1;
        std::fprintf(stderr, "win32_mq: mq_set_lib: %s already selected\n", pLoaded->strFile.c_str());
        return 0;
    }
    const CLS_MqImpl* pImpl = LoadImpl(strFile);
    if (!pImpl)
        return 0;
    s_pImpl.store(pImpl, std::memory_order_release);
    return 1;
}

long long mq_create_mq(int _iType)
{
    return Forward(&CLS_MqImpl::pfnCreateMq, -1LL, _iType);
}

int mq_destroy_mq(long long _llMq)
{
    return Forward(&CLS_MqImpl::pfnDestroyMq, 0, _llMq);
}

int mq_connection_create(long long _llMq, const char* _szUri)
{
    return Forward(&CLS_MqImpl::pfnConnectionCreate, 0, _llMq, _szUri);
}

int mq_connection_create_ex(long long _llMq, const char* _szUriJson)
{
    return Forward(&CLS_MqImpl::pfnConnectionCreateEx, 0, _llMq, _szUriJson);
}

int mq_connection_destroy(long long _llMq)
{
    return Forward(&CLS_MqImpl::pfnConnectionDestroy, 0, _llMq);
}

long long mq_producer_create(long long _llMq, const char* _szCfgJson)
{
    return Forward(&CLS_MqImpl::pfnProducerCreate, -1LL, _llMq, _szCfgJson);
}

int mq_producer_destroy(long long _llProducer)
{
    return Forward(&CLS_MqImpl::pfnProducerDestroy, 0, _llProducer);
}

int mq_producer_send(long long _llProducer, mq_msg_t* _pMsg, void* _pUser)
{
    return Forward(&CLS_MqImpl::pfnProducerSend, 0, _llProducer, _pMsg, _pUser);
}

long long mq_consumer_create(long long _llMq, const char* _szCfgJson)
{
    return Forward(&CLS_MqImpl::pfnConsumerCreate, -1LL, _llMq, _szCfgJson);
}

int mq_consumer_destroy(long long _llConsumer)
{
    return Forward(&CLS_MqImpl::pfnConsumerDestroy, 0, _llConsumer);
}

int mq_consumer_set_listener(long long _llConsumer, mq_listener_fn _pfn, void* _pUser)
{
    return Forward(&CLS_MqImpl::pfnConsumerSetListener, 0, _llConsumer, _pfn, _pUser);
}

int mq_consumer_set_listener_ex(long long _llConsumer, mq_listener_ex_fn _pfn, void* _pUser)
{
    return Forward(&CLS_MqImpl::pfnConsumerSetListenerEx, 0, _llConsumer, _pfn, _pUser);
}

int mq_consume_ack(long long _llConsumer, long long _llTag)
{
    return Forward(&CLS_MqImpl::pfnConsumeAck, 0, _llConsumer, _llTag);
}

int mq_opt_queue(long long _llMq, const char* _szOptJson)
{
    return Forward(&CLS_MqImpl::pfnOptQueue, 0, _llMq, _szOptJson);
}
