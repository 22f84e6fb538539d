// Reading the entries' texts; Qt's JSON reader is the only Qt used by the library.
#include "RmqSettings.h"

#include <amqp.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const int n_RmqDefaultPort = 5672;
const int n_RmqMinTimeoutMs = 100;

bool ReadObject(const char* _szJson, QJsonObject& _qjsonObj, std::string& _strError)
{
    if (!_szJson) {
        _strError = "no JSON text";
        return false;
    }
    QJsonParseError parseError{};
    const QJsonDocument qdoc = QJsonDocument::fromJson(QByteArray(_szJson), &parseError);
    if (parseError.error != QJsonParseError::NoError || !qdoc.isObject()) {
        _strError = "not a JSON object";
        return false;
    }
    _qjsonObj = qdoc.object();
    return true;
}

std::string Text(const QJsonObject& _qjsonObj, const char* _szKey)
{
    return _qjsonObj.value(QLatin1String(_szKey)).toString().toStdString();
}

// Integers may arrive as numbers, truth values or numeric texts.
int Integer(const QJsonObject& _qjsonObj, const char* _szKey, int _iDefault)
{
    const QJsonValue qval = _qjsonObj.value(QLatin1String(_szKey));
    if (qval.isDouble())
        return qval.toInt(_iDefault);
    if (qval.isBool())
        return qval.toBool() ? 1 : 0;
    bool blOk = false;
    const int iValue = qval.toString().toInt(&blOk);
    return blOk ? iValue : _iDefault;
}

} // namespace

bool ParseBrokerJson(const char* _szJson, RmqBrokerSettings& _settings, std::string& _strError)
{
    QJsonObject qjsonObj;
    if (!ReadObject(_szJson, qjsonObj, _strError))
        return false;
    RmqBrokerSettings settings;
    settings.strHost = Text(qjsonObj, "ip");
    if (settings.strHost.empty()) {
        _strError = "no \"ip\"";
        return false;
    }
    const int iPort = Integer(qjsonObj, "port", 0);
    if (iPort < 0 || iPort > 65535) {
        _strError = "bad \"port\"";
        return false;
    }
    settings.iPort = iPort == 0 ? n_RmqDefaultPort : iPort;
    settings.strUser = Text(qjsonObj, "username");
    settings.strPassword = Text(qjsonObj, "password");
    if (qjsonObj.contains(QLatin1String("vhost")))
        settings.strVhost = Text(qjsonObj, "vhost");
    settings.blReconnect = Integer(qjsonObj, "is_reconnect", 0) == 1;
    settings.iTimeoutMs = std::max(n_RmqMinTimeoutMs, Integer(qjsonObj, "timeout_ms", settings.iTimeoutMs));
    _settings = settings;
    return true;
}

bool ParseBrokerUri(const char* _szUri, RmqBrokerSettings& _settings, std::string& _strError)
{
    if (!_szUri) {
        _strError = "no URI";
        return false;
    }
    std::vector<char> vecUri(_szUri, _szUri + std::char_traits<char>::length(_szUri) + 1);
    amqp_connection_info info{};
    if (amqp_parse_url(vecUri.data(), &info) != AMQP_STATUS_OK || info.ssl) {
        _strError = "not an amqp:// URI";
        return false;
    }
    RmqBrokerSettings settings;
    settings.strHost = info.host;
    settings.iPort = info.port;
    settings.strUser = info.user;
    settings.strPassword = info.password;
    // "amqp://host/" names the vhost "" by the URI rules; nobody means that one.
    settings.strVhost = *info.vhost ? info.vhost : "/";
    _settings = settings;
    return true;
}

bool ParseProducerJson(const char* _szJson, std::string& _strExchange, std::string& _strRoutingKey,
                       std::string& _strError)
{
    QJsonObject qjsonObj;
    if (!ReadObject(_szJson, qjsonObj, _strError))
        return false;
    _strExchange = Text(qjsonObj, "exchange_name");
    _strRoutingKey = Text(qjsonObj, "routing_key");
    return true;
}

bool ParseConsumerJson(const char* _szJson, std::string& _strQueue, std::string& _strError)
{
    QJsonObject qjsonObj;
    if (!ReadObject(_szJson, qjsonObj, _strError))
        return false;
    _strQueue = Text(qjsonObj, "queue_name");
    if (_strQueue.empty()) {
        _strError = "no \"queue_name\"";
        return false;
    }
    return true;
}

bool ParseQueueOptJson(const char* _szJson, RmqQueueOpt& _opt, std::string& _strError)
{
    QJsonObject qjsonObj;
    if (!ReadObject(_szJson, qjsonObj, _strError))
        return false;
    RmqQueueOpt opt;
    opt.strOp = Text(qjsonObj, "op");
    opt.strQueue = Text(qjsonObj, "queue_name");
    opt.blDurable = Integer(qjsonObj, "durable", 1) != 0;
    opt.strExchange = Text(qjsonObj, "exchange_name");
    opt.strRoutingKey = Text(qjsonObj, "routing_key");
    if (opt.strOp != "declare" && opt.strOp != "purge" && opt.strOp != "delete") {
        _strError = "unknown \"op\"";
        return false;
    }
    if (opt.strQueue.empty()) {
        _strError = "no \"queue_name\"";
        return false;
    }
    _opt = opt;
    return true;
}
