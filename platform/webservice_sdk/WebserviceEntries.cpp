// The exported C entries of win32_webservice_sdk.dll; see win32_webservice_sdk.h.
#include "win32_webservice_sdk.h"

#include "CLS_CurlGlobal.h"
#include "HttpSubmit.h"

#include <cstdlib>
#include <cstring>

namespace {

char* CopyToMalloc(const std::string& _strText)
{
    char* szCopy = static_cast<char*>(std::malloc(_strText.size() + 1));
    if (!szCopy)
        return nullptr;
    std::memcpy(szCopy, _strText.data(), _strText.size());
    szCopy[_strText.size()] = '\0';
    return szCopy;
}

bool IsKnownFlag(int _iFlag)
{
    return _iFlag == n_WebserviceSdkFlag_Get || _iFlag == n_WebserviceSdkFlag_Post;
}

} // namespace

int webservice_sdk_startup(void)
{
    return CLS_CurlGlobal::Instance().Startup() == 0 ? 0 : n_WebserviceSdkResult_SetupFailed;
}

int webservice_sdk_cleanup(void)
{
    return CLS_CurlGlobal::Instance().Cleanup();
}

int webservice_sdk_submit(const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, char** _ppReply)
{
    if (!_ppReply)
        return n_WebserviceSdkResult_BadArgument;
    *_ppReply = nullptr;
    if (!_szUrl || !*_szUrl || !IsKnownFlag(_iFlag))
        return n_WebserviceSdkResult_BadArgument;
    const auto lock = CLS_CurlGlobal::Instance().AcquireForRequest();
    if (!lock.owns_lock())
        return n_WebserviceSdkResult_SetupFailed;
    const HttpSubmitResult result = HttpSubmit(_szUrl, _iTimeout, _szBody, _iFlag);
    if (!result.blHasBody)
        return result.iResult;
    *_ppReply = CopyToMalloc(result.strBody);
    return *_ppReply ? result.iResult : n_WebserviceSdkResult_SetupFailed;
}

int webservice_sdk_release(char** _ppReply)
{
    if (!_ppReply)
        return 0;
    std::free(*_ppReply);
    *_ppReply = nullptr;
    return 0;
}
