// Small stateless helpers every layer shares: the module's log folder, address
// check and JSON text conversions. Callable from any thread.
#pragma once

#include <QJsonObject>
#include <QString>

#include <string>

// Application folder + "/Log/" + application name + "/", created when missing.
bool GetLogDir(std::string& _strLogDir);

// At least 7 characters and a valid IPv4 or IPv6 address.
bool IsValidIP(const QString& _qstrIp);

// A text that is not a JSON object reads as an empty object (logged).
QJsonObject StringToJsonObject(const std::string& _strMsg);
// The same without a log line.
QJsonObject QStringToJsonObject(const QString& _qstrMsg);
// Compact JSON text.
QString JsonObjectToString(const QJsonObject& _qjsonObj);
