// A stand-in for the DMX robot network library: devices whose address is "offline" are
// never connected; sends record their arguments and answer "reply:<message id>", or no
// reply for the body "no-reply". Entries run on the caller's thread.
#include <cstdlib>
#include <cstring>
#include <string>

#include "BurnTestRecorder.h"
#include "DmxNwcApi.h"

#define BURN_TEST_LIB_ENTRY extern "C" __attribute__((visibility("default")))

namespace
{
struct DmxTestDevice
{
    bool blConnected;
};

DmxTestDevice s_stOnline{true};
DmxTestDevice s_stOffline{false};

// The reply of a send, allocated the way the library hands texts out.
char* MakeReply(const char* _szMsgId, const char* _szBody, int* _piReplyLen)
{
    if (_szBody && std::strcmp(_szBody, "no-reply") == 0) {
        *_piReplyLen = 0;
        return nullptr;
    }
    const std::string strReply = std::string("reply:") + _szMsgId;
    char* szReply = static_cast<char*>(std::malloc(strReply.size() + 1));
    std::memcpy(szReply, strReply.c_str(), strReply.size() + 1);
    *_piReplyLen = static_cast<int>(strReply.size());
    return szReply;
}
}  // namespace

BURN_TEST_LIB_ENTRY void* get_dev(const char* _szIp, int _iPort, int _iFlag)
{
    BurnTestRecordCall("get_dev", std::make_tuple(_szIp, _iPort, _iFlag));
    return std::strcmp(_szIp, "offline") == 0 ? &s_stOffline : &s_stOnline;
}

BURN_TEST_LIB_ENTRY int is_conn(void* _pDev)
{
    BurnTestRecordCall("is_conn", std::make_tuple(_pDev));
    return static_cast<DmxTestDevice*>(_pDev)->blConnected ? 1 : 0;
}

BURN_TEST_LIB_ENTRY int destroy_dev(void* _pDev)
{
    BurnTestRecordCall("destroy_dev", std::make_tuple(_pDev));
    return BurnTestResult<int>("destroy_dev");
}

BURN_TEST_LIB_ENTRY void* set_change_event_call(void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser)
{
    BurnTestRecordCall("set_change_event_call", std::make_tuple(_pDev, _pfnEvent, _pUser));
    return BurnTestResult<void*>("set_change_event_call");
}

BURN_TEST_LIB_ENTRY int destroy_change_event_call(void* _pDev, void* _pSubscription)
{
    BurnTestRecordCall("destroy_change_event_call", std::make_tuple(_pDev, _pSubscription));
    return BurnTestResult<int>("destroy_change_event_call");
}

// free_str(<address of the pointer>, <the pointer>).
BURN_TEST_LIB_ENTRY void free_str(char** _ppStr)
{
    BurnTestRecordCall("free_str", std::make_tuple(static_cast<void*>(_ppStr), static_cast<void*>(*_ppStr)));
    std::free(*_ppStr);
    *_ppStr = nullptr;
}

// send_msg_ret_new_ex(dev, method, class, id, body, timeout, <address of the reply
// pointer>, <its value on entry>, <address of the length>) then reply=<the reply pointer>.
BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_new_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                                      const char* _szMsgId, const char* _szBody, int _iTimeoutMs,
                                                      char** _ppReply, int* _piReplyLen)
{
    const std::string strCall = BurnTestDescribeCall(
        "send_msg_ret_new_ex", std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs,
                                               static_cast<void*>(_ppReply), static_cast<void*>(*_ppReply),
                                               static_cast<void*>(_piReplyLen)));
    *_ppReply = MakeReply(_szMsgId, _szBody, _piReplyLen);
    BurnTestRecord(strCall + " reply=" + BurnTestDescribe(static_cast<void*>(*_ppReply)));
    return 7;
}

BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_err_new_ex(void* _pDev, const char* _szMethod, const char* _szClass,
                                                          const char* _szMsgId, const char* _szBody, int _iTimeoutMs,
                                                          char** _ppReply, int* _piReplyLen, int* _piErrId)
{
    const std::string strCall = BurnTestDescribeCall(
        "send_msg_ret_err_new_ex",
        std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs, static_cast<void*>(_ppReply),
                        static_cast<void*>(*_ppReply), static_cast<void*>(_piReplyLen), static_cast<void*>(_piErrId)));
    *_ppReply = MakeReply(_szMsgId, _szBody, _piReplyLen);
    *_piErrId = 112002;
    BurnTestRecord(strCall + " reply=" + BurnTestDescribe(static_cast<void*>(*_ppReply)));
    return 9;
}
