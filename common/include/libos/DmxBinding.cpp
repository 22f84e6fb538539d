// Binding of the DMX robot network library wp_nwc.dll and the wrappers the DMX
// backends call; nothing of it is exported.
#include <QUuid>

#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

#define BURN_API_TABLE "DmxNwcApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\DmxBinding"
#define BURN_BINDING_INIT dmx_init
#define BURN_BINDING_LOAD DMX_loadDll
#define BURN_BINDING_FILE "/BurnModuleFile/DMX/wp_nwc.dll"
#define BURN_BINDING_INIT_NULL_LINE "dmx_init _path == NULL"
#define BURN_BINDING_LOAD_NULL_LINE "LoadDMXAPI:path == nullptr"
#define BURN_BINDING_LOADED_LINE "LoadDMXAPI is loaded "
#define BURN_BINDING_FAIL_PREFIX "LoadDMXAPI error: "
#define BURN_BINDING_NO_FORWARDERS
#include "BurnApiGenBinding.inc"

namespace
{
void LogUnbound(const char* _szWrapper, const char* _szCondition)
{
    BURN_LOG(n_BurnLogLevel_Error, "%s %s", _szWrapper, _szCondition);
}

// Copies the library's reply (null: empty) and hands it back to the library.
void TakeReply(char*& _szReply, std::string& _strReply)
{
    _strReply = _szReply ? _szReply : "";
    s_pfn_free_str(&_szReply);
}
}  // namespace

void* DMX_getDev(const char* _szIp, int _iPort, int _iFlag)
{
    if (!s_pfn_get_dev) {
        LogUnbound("DMX_getDev", "dy_get_dev == nullptr");
        return nullptr;
    }
    return s_pfn_get_dev(_szIp, _iPort, _iFlag);
}

bool DMX_isConn(void* _pDev)
{
    if (!s_pfn_is_conn) {
        LogUnbound("DMX_isConn", "dy_is_conn == nullptr");
        return false;
    }
    return s_pfn_is_conn(_pDev) != 0;
}

int DMX_destroyDev(void* _pDev)
{
    if (!s_pfn_destroy_dev) {
        LogUnbound("DMX_destroyDev", "dy_destroy_dev == nullptr");
        return 0;
    }
    return s_pfn_destroy_dev(_pDev);
}

void* DMX_setChangeEventCall(void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser)
{
    if (!s_pfn_set_change_event_call) {
        LogUnbound("DMX_setChangeEventCall", "dy_set_change_event_call == nullptr");
        return nullptr;
    }
    return s_pfn_set_change_event_call(_pDev, _pfnEvent, _pUser);
}

int DMX_destroyChangeEventCall(void* _pDev, void* _pSubscription)
{
    if (!s_pfn_destroy_change_event_call) {
        LogUnbound("DMX_destroyChangeEventCall", "dy_destroy_change_event_call == nullptr");
        return 0;
    }
    return s_pfn_destroy_change_event_call(_pDev, _pSubscription);
}

int DMX_sendMsgRet(void* _pDev, const char* _szMethod, const char* _szClass, [[maybe_unused]] const char* _szUnused,
                   const char* _szBody, int _iTimeoutMs, std::string& _strReply)
{
    if (!s_pfn_send_msg_ret_new_ex || !s_pfn_free_str || !DMX_isConn(_pDev)) {
        LogUnbound("DMX_sendMsgRet", "dy_send_msg_ret_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)");
        return n_DmxNotSent;
    }
    const QByteArray qbaMsgId = QUuid::createUuid().toByteArray(QUuid::WithBraces);
    char* szReply = nullptr;
    int iReplyLen = 0;
    const unsigned char ucRet = s_pfn_send_msg_ret_new_ex(_pDev, _szMethod, _szClass, qbaMsgId.constData(), _szBody,
                                                          _iTimeoutMs, &szReply, &iReplyLen);
    TakeReply(szReply, _strReply);
    return ucRet;
}

int DMX_sendMsgErrRet(void* _pDev, const char* _szMethod, const char* _szClass, [[maybe_unused]] const char* _szUnused,
                      const char* _szBody, int _iTimeoutMs, std::string& _strReply, int* _piErrId)
{
    if (!s_pfn_send_msg_ret_err_new_ex || !s_pfn_free_str || !DMX_isConn(_pDev)) {
        LogUnbound("DMX_sendMsgErrRet",
                   "dy_send_msg_ret_err_new_ex == nullptr || dy_free_str == nullptr || !DMX_isConn(dev)");
        return n_DmxNotSent;
    }
    const QByteArray qbaMsgId = QUuid::createUuid().toByteArray(QUuid::WithBraces);
    char* szReply = nullptr;
    int iReplyLen = 0;
    const unsigned char ucRet = s_pfn_send_msg_ret_err_new_ex(_pDev, _szMethod, _szClass, qbaMsgId.constData(), _szBody,
                                                              _iTimeoutMs, &szReply, &iReplyLen, _piErrId);
    TakeReply(szReply, _strReply);
    return ucRet;
}
