#include "NwcWire.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace
{
QByteArray Line(const QJsonObject& _qjsonObject)
{
    return QJsonDocument(_qjsonObject).toJson(QJsonDocument::Compact) + '\n';
}

// Message ids are texts, but a peer that numbers its messages is understood too.
QString IdOf(const QJsonValue& _qjsonId)
{
    return _qjsonId.isString() ? _qjsonId.toString() : _qjsonId.toVariant().toString();
}
}  // namespace

QByteArray NwcRequestLine(const NwcRequest& _stRequest)
{
    return Line(QJsonObject{{"id", _stRequest.qstrId},
                            {"method", _stRequest.qstrMethod},
                            {"class", _stRequest.qstrClass},
                            {"body", _stRequest.qstrBody}});
}

QByteArray NwcReplyLine(const NwcReply& _stReply)
{
    QJsonObject qjsonReply{{"id", _stReply.qstrId}, {"ok", _stReply.blOk}, {"errId", _stReply.iErrId}};
    if (_stReply.blHasReply)
        qjsonReply.insert("reply", _stReply.qstrReply);
    return Line(qjsonReply);
}

QByteArray NwcEventLine(const QString& _qstrCmd, const QString& _qstrJson)
{
    return Line(QJsonObject{{"event", _qstrCmd}, {"json", _qstrJson}});
}

NwcLine ParseNwcLine(const QByteArray& _qbaLine)
{
    NwcLine stLine;
    const QJsonObject qjsonLine = QJsonDocument::fromJson(_qbaLine).object();
    if (qjsonLine.value("event").isString()) {
        stLine.eKind = NwcLineKind::Event;
        stLine.stEvent = {qjsonLine.value("event").toString(), qjsonLine.value("json").toString()};
        return stLine;
    }
    if (qjsonLine.value("method").isString()) {
        stLine.eKind = NwcLineKind::Request;
        stLine.stRequest = {IdOf(qjsonLine.value("id")), qjsonLine.value("method").toString(),
                            qjsonLine.value("class").toString(), qjsonLine.value("body").toString()};
        return stLine;
    }
    if (!qjsonLine.contains("id") || !qjsonLine.value("ok").isBool())
        return stLine;
    stLine.eKind = NwcLineKind::Reply;
    const QJsonValue qjsonReply = qjsonLine.value("reply");
    stLine.stReply = {IdOf(qjsonLine.value("id")), qjsonLine.value("ok").toBool(), qjsonLine.value("errId").toInt(),
                      qjsonReply.isString(), qjsonReply.toString()};
    return stLine;
}

QList<QByteArray> TakeNwcLines(QByteArray& _qbaBuffer)
{
    QList<QByteArray> qlstLines;
    int iStart = 0;
    for (int iEnd = _qbaBuffer.indexOf('\n'); iEnd >= 0; iEnd = _qbaBuffer.indexOf('\n', iStart)) {
        QByteArray qbaLine = _qbaBuffer.mid(iStart, iEnd - iStart);
        if (qbaLine.endsWith('\r'))
            qbaLine.chop(1);
        if (!qbaLine.isEmpty())
            qlstLines << qbaLine;
        iStart = iEnd + 1;
    }
    _qbaBuffer.remove(0, iStart);
    return qlstLines;
}

QString NwcPagedBody(const QString& _qstrBody, int _iPage, int _iPageSize)
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrBody.toUtf8());
    if (!qjsonDoc.isObject())
        return _qstrBody;
    QJsonObject qjsonBody = qjsonDoc.object();
    qjsonBody.insert("page", _iPage);
    qjsonBody.insert("pageSize", _iPageSize);
    return QString::fromUtf8(QJsonDocument(qjsonBody).toJson(QJsonDocument::Compact));
}
