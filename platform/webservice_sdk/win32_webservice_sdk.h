// Entries of win32_webservice_sdk.dll, the HTTP client library that the module
// loads by file name. Every entry may be called from any thread.
#pragma once

#include "BurnExport.h"

// Results of webservice_sdk_submit.
enum WebserviceSdkResult
{
    n_WebserviceSdkResult_Ok = 0,
    n_WebserviceSdkResult_BadArgument = -1,   // null or empty URL, null reply pointer, unknown flag
    n_WebserviceSdkResult_SetupFailed = -2,   // libcurl could not be initialised
    n_WebserviceSdkResult_Transport = -3,     // bad URL, refused, resolve, send or receive failure
    n_WebserviceSdkResult_Timeout = -4,       // the whole request took longer than the timeout
    n_WebserviceSdkResult_HttpStatus = -5,    // the server answered with a status of 400 or more
};

// Values of _iFlag.
enum WebserviceSdkFlag
{
    n_WebserviceSdkFlag_Get = 0,   // GET; the body is not sent
    n_WebserviceSdkFlag_Post = 1,  // POST of the body with "Content-Type: application/json"
};

// Initialise and release libcurl's global state. Both return 0 and may be
// called any number of times; cleanup waits for submits in flight. A submit
// without startup (or after cleanup) initialises by itself.
BURN_EXPORT int webservice_sdk_startup(void);
BURN_EXPORT int webservice_sdk_cleanup(void);

// Sends one request to _szUrl and blocks until the reply or the timeout.
// _szBody: UTF-8 text, sent as is (null sends an empty body).
// _iTimeout: seconds for the whole request, connection included; 0 or less
// means 60. Redirects are not followed; proxy settings of the environment
// are ignored (the request goes straight to the host).
// *_ppReply is set first to null (an old value is not freed), then on
// success, and also on status 400 or more, to the reply body as a malloc'd
// NUL-terminated text (an empty body gives "", not null). Whenever *_ppReply
// is not null afterwards, whatever the result, release it with
// webservice_sdk_release. On a transport failure or timeout it stays null.
// Returns 0 for a status below 400, otherwise a negative WebserviceSdkResult.
BURN_EXPORT int webservice_sdk_submit(const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag,
                                      char** _ppReply);

// Frees *_ppReply and sets it to null; null or already released is fine. Returns 0.
BURN_EXPORT int webservice_sdk_release(char** _ppReply);
