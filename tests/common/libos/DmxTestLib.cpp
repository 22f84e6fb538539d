// A stand-in for the DMX robot network library: a device got for the address "offline"
// is never connected; a send records its arguments and answers "reply:<message id>" (no
// reply for the body "no-reply"); free_str records whether it got back the reply handed
// out last. Entries run on the caller's thread.
#include <cstdlib>
#include <cstring>
#include <string>

#include "BurnTestRecorder.h"
#include "DmxNwcApi.h"

namespace
{
int s_iOnline = 1;  // a device is its connection state
int s_iOffline = 0;
char* s_szLastReply = nullptr;

char* Reply(const char* _szMsgId, const char* _szBody, int* _piReplyLen)
{
    const bool blNoReply = std::strcmp(_szBody, "no-reply") == 0;
    s_szLastReply = blNoReply ? nullptr : strdup(("reply:" + std::string(_szMsgId)).c_str());
    *_piReplyLen = blNoReply ? 0 : static_cast<int>(std::strlen(s_szLastReply));
    return s_szLastReply;
}
}  // namespace

BURN_TEST_DEFINE(int, destroy_dev, (void* _pDev), (_pDev))
BURN_TEST_DEFINE(void*, set_change_event_call, (void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser),
                 (_pDev, _pfnEvent, _pUser))
BURN_TEST_DEFINE(int, destroy_change_event_call, (void* _pDev, void* _pSubscription), (_pDev, _pSubscription))

BURN_TEST_LIB_ENTRY void* get_dev(const char* _szIp, int _iPort, int _iFlag)
{
    BurnTestRecordCall("get_dev", std::make_tuple(_szIp, _iPort, _iFlag));
    return std::strcmp(_szIp, "offline") == 0 ? &s_iOffline : &s_iOnline;
}

BURN_TEST_LIB_ENTRY int is_conn(void* _pDev)
{
    BurnTestRecordCall("is_conn", std::make_tuple(_pDev));
    return *static_cast<int*>(_pDev);
}

BURN_TEST_LIB_ENTRY void free_str(char** _ppStr)
{
    BurnTestRecord(*_ppStr == s_szLastReply ? "free_str(the reply)" : "free_str(another text)");
    std::free(*_ppStr);
    *_ppStr = nullptr;
}

BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_new_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                                      const char* _szMsgId, const char* _szBody, int _iTimeoutMs,
                                                      char** _ppReply, int* _piReplyLen)
{
    BurnTestRecordCall("send_msg_ret_new_ex",
                       std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs));
    *_ppReply = Reply(_szMsgId, _szBody, _piReplyLen);
    return 7;
}

BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_err_new_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                                          const char* _szMsgId, const char* _szBody, int _iTimeoutMs,
                                                          char** _ppReply, int* _piReplyLen, int* _piErrId)
{
    BurnTestRecordCall("send_msg_ret_err_new_ex",
                       std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs));
    *_ppReply = Reply(_szMsgId, _szBody, _piReplyLen);
    *_piErrId = 112002;
    return 9;
}
