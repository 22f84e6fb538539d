// Small stateless helpers every layer shares: the module's log folder, address
// check and JSON text conversions. Callable from any thread.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QPair>
#include <QString>
#include <QVector>

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

// Compact JSON object text with its members in the order given (QJsonObject sorts
// keys; device services that read keys in a fixed order get them so).
// One value as compact JSON text (a string quoted and escaped).
QString JsonValueText(const QJsonValue& _qjsonValue);
using JsonMemberList = QVector<QPair<QString, QJsonValue>>;
QString OrderedJsonText(const JsonMemberList& _vecMembers);
