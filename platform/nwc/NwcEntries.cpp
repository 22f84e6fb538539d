// The exported C entries of wp_nwc.dll (the table in DmxNwcApiTable.h), over the device
// list. Every entry may be called from any thread; callbacks run on the library's own.
#include <cstdlib>
#include <cstring>

#include "CLS_NwcDeviceList.h"

#include "DmxNwcApi.h"

namespace
{
// Waits without a timeout of their own would block a caller for ever.
constexpr int n_DefaultTimeoutMs = 30000;
constexpr char n_szNoDevices[] = "[]";

std::shared_ptr<CLS_NwcDevice> Device(void* _pDev)
{
    return CLS_NwcDeviceList::Instance().Find(_pDev);
}

// A malloc'd copy the caller hands back through free_str.
void HandOut(const std::string& _strText, char** _ppReply, int* _piReplyLen)
{
    char* szCopy = static_cast<char*>(std::malloc(_strText.size() + 1));
    if (!szCopy)
        return;
    std::memcpy(szCopy, _strText.data(), _strText.size());
    szCopy[_strText.size()] = '\0';
    *_ppReply = szCopy;
    if (_piReplyLen)
        *_piReplyLen = static_cast<int>(_strText.size());
}

unsigned char SendAndWait(void* _pDev, const NwcRequest& _stRequest, int _iTimeoutMs, char** _ppReply,
                          int* _piReplyLen, int* _piErrId)
{
    if (_ppReply)
        *_ppReply = nullptr;
    if (_piReplyLen)
        *_piReplyLen = 0;
    if (_piErrId)
        *_piErrId = 0;
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    if (!pDevice || _stRequest.qstrMethod.isEmpty() || _stRequest.qstrClass.isEmpty())
        return 0;
    const CLS_NwcDevice::CallResult stResult =
        pDevice->Call(_stRequest, _iTimeoutMs > 0 ? _iTimeoutMs : n_DefaultTimeoutMs);
    if (_piErrId)
        *_piErrId = stResult.iErrId;
    if (stResult.blHasReply && _ppReply)
        HandOut(stResult.strReply, _ppReply, _piReplyLen);
    return stResult.blOk ? 1 : 0;
}

NwcRequest Request(const char* _szMethod, const char* _szClass, const char* _szMsgId, const char* _szBody)
{
    return NwcRequest{QString::fromUtf8(_szMsgId), QString::fromUtf8(_szMethod), QString::fromUtf8(_szClass),
                      QString::fromUtf8(_szBody)};
}
}  // namespace

// The library's whole interface is the table: only its entries are exported.
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

int scan_devs([[maybe_unused]] int _iTimeoutMs, char** _ppReply, int* _piReplyLen)
{
    if (!_ppReply)
        return 0;
    *_ppReply = nullptr;
    HandOut(n_szNoDevices, _ppReply, _piReplyLen);
    return *_ppReply ? 1 : 0;
}

void* get_dev(const char* _szIp, int _iPort, [[maybe_unused]] int _iFlag)
{
    if (!_szIp || !*_szIp || _iPort <= 0 || _iPort > 65535)
        return nullptr;
    auto pDevice = std::make_shared<CLS_NwcDevice>(_szIp, _iPort);
    pDevice->Start();
    return CLS_NwcDeviceList::Instance().Add(pDevice);
}

int is_conn(void* _pDev)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice && pDevice->IsConnected() ? 1 : 0;
}

int destroy_dev(void* _pDev)
{
    return CLS_NwcDeviceList::Instance().Destroy(_pDev) ? 1 : 0;
}

void* set_change_event_call(void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice && _pfnEvent ? pDevice->Dispatcher().Add(_pfnEvent, nullptr, _pUser) : nullptr;
}

int destroy_change_event_call(void* _pDev, void* _pSubscription)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice && pDevice->Dispatcher().Remove(NwcSubKind::Event, _pSubscription) ? 1 : 0;
}

int destroy_change_event_call_all(void* _pDev)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice ? pDevice->Dispatcher().RemoveAll(NwcSubKind::Event) : 0;
}

void* set_msg_call(void* _pDev, PFN_DmxMsg _pfnMsg, void* _pUser)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice && _pfnMsg ? pDevice->Dispatcher().Add(nullptr, _pfnMsg, _pUser) : nullptr;
}

int destroy_msg_call(void* _pDev, void* _pSubscription)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice && pDevice->Dispatcher().Remove(NwcSubKind::Message, _pSubscription) ? 1 : 0;
}

int destroy_msg_call_all(void* _pDev)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    return pDevice ? pDevice->Dispatcher().RemoveAll(NwcSubKind::Message) : 0;
}

int send_str(void* _pDev, const char* _szMsg, int _iLen)
{
    const std::shared_ptr<CLS_NwcDevice> pDevice = Device(_pDev);
    if (!pDevice || !_szMsg)
        return 0;
    const int iLen = _iLen >= 0 ? _iLen : static_cast<int>(std::strlen(_szMsg));
    return pDevice->SendLine(QByteArray(_szMsg, iLen)) ? 1 : 0;
}

void free_str(char** _ppStr)
{
    if (!_ppStr)
        return;
    std::free(*_ppStr);
    *_ppStr = nullptr;
}

unsigned char send_msg_ret_new_ex(void* _pDev, const char* _szMethod, const char* _szClass, const char* _szMsgId,
                                  const char* _szBody, int _iTimeoutMs, char** _ppReply, int* _piReplyLen)
{
    return SendAndWait(_pDev, Request(_szMethod, _szClass, _szMsgId, _szBody), _iTimeoutMs, _ppReply, _piReplyLen,
                       nullptr);
}

unsigned char send_msg_ret_err_new_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                      const char* _szMsgId, const char* _szBody, int _iTimeoutMs, char** _ppReply,
                                      int* _piReplyLen, int* _piErrId)
{
    return SendAndWait(_pDev, Request(_szMethod, _szClass, _szMsgId, _szBody), _iTimeoutMs, _ppReply, _piReplyLen,
                       _piErrId);
}

unsigned char send_msg_ret_new_paging_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                         const char* _szMsgId, const char* _szBody, int _iTimeoutMs, int _iPage,
                                         int _iPageSize, char** _ppReply, int* _piReplyLen)
{
    NwcRequest stRequest = Request(_szMethod, _szClass, _szMsgId, _szBody);
    stRequest.qstrBody = NwcPagedBody(stRequest.qstrBody, _iPage, _iPageSize);
    return SendAndWait(_pDev, stRequest, _iTimeoutMs, _ppReply, _piReplyLen, nullptr);
}

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif
