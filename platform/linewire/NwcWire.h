// The line format between a network library and its peer (a robot, a burn service, a
// simulator): one compact JSON object per line, UTF-8. Text in, values out; any thread.
//   request  {"id":<message id>,"method":"get|set|task","class":<name>,"body":<text>}
//   reply    {"id":<message id>,"ok":true|false,"errId":<int>,"reply":<text>}
//   event    {"event":<command>,"json":<text>}
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct NwcRequest
{
    QString qstrId;
    QString qstrMethod;
    QString qstrClass;
    QString qstrBody;
};

struct NwcReply
{
    QString qstrId;
    bool blOk = false;
    int iErrId = 0;
    bool blHasReply = false;  // a robot may answer without a text
    QString qstrReply;
};

struct NwcEvent
{
    QString qstrCmd;
    QString qstrJson;
};

enum class NwcLineKind
{
    Request,
    Reply,
    Event,
    Other,  // not JSON, or none of the three
};

struct NwcLine
{
    NwcLineKind eKind = NwcLineKind::Other;
    NwcRequest stRequest;
    NwcReply stReply;
    NwcEvent stEvent;
};

// A line longer than this is a broken peer: the connection is dropped.
constexpr int n_NwcMaxLineBytes = 16 * 1024 * 1024;

// Each returns one line with its terminating "\n".
QByteArray NwcRequestLine(const NwcRequest& _stRequest);
QByteArray NwcReplyLine(const NwcReply& _stReply);
QByteArray NwcEventLine(const QString& _qstrCmd, const QString& _qstrJson);

// Reads one line (with or without its "\n" or "\r\n").
NwcLine ParseNwcLine(const QByteArray& _qbaLine);

// Removes every complete line from the front of the buffer and returns them without
// their terminators; empty lines are dropped. A partial line stays in the buffer.
QList<QByteArray> TakeNwcLines(QByteArray& _qbaBuffer);

// The body with "page" and "pageSize" added when it is a JSON object; otherwise as given.
QString NwcPagedBody(const QString& _qstrBody, int _iPage, int _iPageSize);
