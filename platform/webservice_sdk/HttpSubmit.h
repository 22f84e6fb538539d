// One blocking HTTP request on its own libcurl easy handle. Stateless; callable
// from any thread once libcurl's global state is started.
#pragma once

#include <string>

struct HttpSubmitResult
{
    int iResult = 0;          // a WebserviceSdkResult
    bool blHasBody = false;   // the server answered; strBody holds its body
    std::string strBody;
};

HttpSubmitResult HttpSubmit(const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag);
