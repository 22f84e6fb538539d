// A stand-in for the DMX robot network library: a null device is not connected; a send
// records its arguments and answers "reply:<message id>" (no reply for the body
// "no-reply"); free_str records whether it got back the reply handed out last. Entries
// run on the caller's thread; those the tests do not call are left out.
#include <cstdlib>
#include <cstring>
#include <string>

#include "BurnTestRecorder.h"

namespace
{
char* s_szLastReply = nullptr;

unsigned char Answer(const char* _szMsgId, const char* _szBody, char** _ppReply, int* _piReplyLen,
                     unsigned char _ucResult)
{
    const bool blNoReply = std::strcmp(_szBody, "no-reply") == 0;
    s_szLastReply = blNoReply ? nullptr : strdup(("reply:" + std::string(_szMsgId)).c_str());
    *_ppReply = s_szLastReply;
    *_piReplyLen = blNoReply ? 0 : static_cast<int>(std::strlen(s_szLastReply));
    return _ucResult;
}
}  // namespace

BURN_TEST_DEFINE(void*, get_dev, (const char* _szIp, int _iPort, int _iFlag), (_szIp, _iPort, _iFlag))

BURN_TEST_LIB_ENTRY int is_conn(void* _pDev)
{
    BurnTestRecord(BurnTestDescribeCall("is_conn", std::make_tuple(_pDev)));
    return _pDev != nullptr;
}

BURN_TEST_LIB_ENTRY void free_str(char** _ppStr)
{
    BurnTestRecord(*_ppStr == s_szLastReply ? "free_str(the reply)" : "free_str(another text)");
    std::free(*_ppStr);
    *_ppStr = nullptr;
}

BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_new_ex(void* _pDev, const char* _szMethod,
                                                      const char* _szClass, const char* _szMsgId,
                                                      const char* _szBody, int _iTimeoutMs,
                                                      char** _ppReply, int* _piReplyLen)
{
    const auto tupArgs = std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs);
    BurnTestRecord(BurnTestDescribeCall("send_msg_ret_new_ex", tupArgs));
    return Answer(_szMsgId, _szBody, _ppReply, _piReplyLen, 7);
}

BURN_TEST_LIB_ENTRY unsigned char send_msg_ret_err_new_ex(void* _pDev, const char* _szMethod,
                                                          const char* _szClass, const char* _szMsgId,
                                                          const char* _szBody, int _iTimeoutMs,
                                                          char** _ppReply, int* _piReplyLen, int* _piErrId)
{
    const auto tupArgs = std::make_tuple(_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs);
    BurnTestRecord(BurnTestDescribeCall("send_msg_ret_err_new_ex", tupArgs));
    *_piErrId = 112002;
    return Answer(_szMsgId, _szBody, _ppReply, _piReplyLen, 9);
}
