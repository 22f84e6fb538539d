#include "HttpSubmit.h"

#include "win32_webservice_sdk.h"

#include <curl/curl.h>

#include <memory>

namespace {

constexpr long n_Http_DefaultTimeoutSec = 60;
constexpr long n_Http_FirstErrorStatus = 400;

struct CLS_CurlDeleter
{
    void operator()(CURL* _pCurl) const { curl_easy_cleanup(_pCurl); }
    void operator()(curl_slist* _pList) const { curl_slist_free_all(_pList); }
};
using CurlPtr = std::unique_ptr<CURL, CLS_CurlDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, CLS_CurlDeleter>;

size_t AppendBody(char* _pData, size_t _uSize, size_t _uCount, void* _pUser)
{
    static_cast<std::string*>(_pUser)->append(_pData, _uSize * _uCount);
    return _uSize * _uCount;
}

int MapCurlError(CURLcode _eCode)
{
    return _eCode == CURLE_OPERATION_TIMEDOUT ? n_WebserviceSdkResult_Timeout : n_WebserviceSdkResult_Transport;
}

SlistPtr JsonHeaders()
{
    curl_slist* pList = curl_slist_append(nullptr, "Content-Type: application/json");
    // No "Expect: 100-continue" round trip before a large body.
    if (pList)
        pList = curl_slist_append(pList, "Expect:");
    return SlistPtr(pList);
}

} // namespace

HttpSubmitResult HttpSubmit(const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag)
{
    HttpSubmitResult result;
    CurlPtr pCurl(curl_easy_init());
    SlistPtr pHeaders = JsonHeaders();
    if (!pCurl || !pHeaders) {
        result.iResult = n_WebserviceSdkResult_SetupFailed;
        return result;
    }
    CURL* pEasy = pCurl.get();
    curl_easy_setopt(pEasy, CURLOPT_URL, _szUrl);
    curl_easy_setopt(pEasy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pEasy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(pEasy, CURLOPT_TIMEOUT, _iTimeout > 0 ? static_cast<long>(_iTimeout) : n_Http_DefaultTimeoutSec);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, &result.strBody);
    if (_iFlag == n_WebserviceSdkFlag_Post) {
        const char* szBody = _szBody ? _szBody : "";
        curl_easy_setopt(pEasy, CURLOPT_POST, 1L);
        curl_easy_setopt(pEasy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(std::char_traits<char>::length(szBody)));
        curl_easy_setopt(pEasy, CURLOPT_POSTFIELDS, szBody);
        curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, pHeaders.get());
    }
    const CURLcode eCode = curl_easy_perform(pEasy);
    if (eCode != CURLE_OK) {
        result.iResult = MapCurlError(eCode);
        result.strBody.clear();
        return result;
    }
    long lStatus = 0;
    curl_easy_getinfo(pEasy, CURLINFO_RESPONSE_CODE, &lStatus);
    result.blHasBody = true;
    result.iResult = lStatus >= n_Http_FirstErrorStatus ? n_WebserviceSdkResult_HttpStatus : n_WebserviceSdkResult_Ok;
    return result;
}
