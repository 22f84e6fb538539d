#include "OdaSimHttp.h"

#include <QList>

namespace
{
constexpr int n_MaxHeaderBytes = 64 * 1024;
constexpr qint64 n_MaxBodyBytes = 16 * 1024 * 1024;

const char* ReasonOf(int _iStatus)
{
    switch (_iStatus) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 413:
        return "Payload Too Large";
    default:
        return "Error";
    }
}

// Content-Length of the header lines; 0 when absent, -1 when unreadable.
qint64 ContentLength(const QList<QByteArray>& _qlstLines)
{
    for (const QByteArray& qbaLine : _qlstLines) {
        const int iColon = qbaLine.indexOf(':');
        if (iColon <= 0 || qbaLine.left(iColon).trimmed().toLower() != "content-length")
            continue;
        bool blOk = false;
        const qint64 llLength = qbaLine.mid(iColon + 1).trimmed().toLongLong(&blOk);
        return blOk && llLength >= 0 ? llLength : -1;
    }
    return 0;
}
}  // namespace

HttpParseResult ParseHttpRequest(const QByteArray& _qbaBuffer, OdaSimHttpRequest& _stRequest, int& _iConsumed)
{
    const int iHeaderEnd = _qbaBuffer.indexOf("\r\n\r\n");
    if (iHeaderEnd < 0)
        return _qbaBuffer.size() > n_MaxHeaderBytes ? HttpParseResult::TooLarge : HttpParseResult::Incomplete;
    if (iHeaderEnd > n_MaxHeaderBytes)
        return HttpParseResult::TooLarge;
    const QList<QByteArray> qlstLines = _qbaBuffer.left(iHeaderEnd).split('\n');
    const QList<QByteArray> qlstRequestLine = qlstLines.first().trimmed().split(' ');
    if (qlstRequestLine.size() != 3 || !qlstRequestLine.at(2).startsWith("HTTP/1.")
        || !qlstRequestLine.at(1).startsWith('/'))
        return HttpParseResult::Bad;
    const qint64 llLength = ContentLength(qlstLines.mid(1));
    if (llLength < 0)
        return HttpParseResult::Bad;
    if (llLength > n_MaxBodyBytes)
        return HttpParseResult::TooLarge;
    const int iBodyStart = iHeaderEnd + 4;
    if (_qbaBuffer.size() - iBodyStart < llLength)
        return HttpParseResult::Incomplete;
    _stRequest.qbaMethod = qlstRequestLine.at(0);
    const QByteArray& qbaTarget = qlstRequestLine.at(1);
    const int iQuery = qbaTarget.indexOf('?');
    _stRequest.qbaPath = iQuery < 0 ? qbaTarget : qbaTarget.left(iQuery);
    _stRequest.qbaBody = _qbaBuffer.mid(iBodyStart, static_cast<int>(llLength));
    _iConsumed = iBodyStart + static_cast<int>(llLength);
    return HttpParseResult::Complete;
}

QByteArray HttpResponse(int _iStatus, const QByteArray& _qbaBody)
{
    return QByteArray("HTTP/1.1 ") + QByteArray::number(_iStatus) + ' ' + ReasonOf(_iStatus)
           + "\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: "
           + QByteArray::number(_qbaBody.size()) + "\r\nConnection: close\r\n\r\n" + _qbaBody;
}
