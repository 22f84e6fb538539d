// HTTP/1.1 framing for the archive simulator: one request read off the front of what
// a connection sent, one response written. Text in, values out; any thread.
#pragma once

#include <QByteArray>

struct OdaSimHttpRequest
{
    QByteArray qbaMethod;
    QByteArray qbaPath;  // without the query
    QByteArray qbaBody;
};

enum class HttpParseResult
{
    Incomplete,  // wait for more bytes
    Complete,    // the request and the bytes it took
    Bad,         // answer 400 and close
    TooLarge,    // answer 413 and close
};

// Headers up to 64 KiB, a body up to 16 MiB, its length from Content-Length.
HttpParseResult ParseHttpRequest(const QByteArray& _qbaBuffer, OdaSimHttpRequest& _stRequest, int& _iConsumed);

// A complete response with a JSON body; the connection closes after it.
QByteArray HttpResponse(int _iStatus, const QByteArray& _qbaBody);
