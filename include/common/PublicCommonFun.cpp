#include "PublicCommonFun.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include "BurnDefine.h"
#include "ModuleLog.h"

namespace
{
const char s_szLogSource[] = "include\\common\\PublicCommonFun";
constexpr int n_MinIpTextLength = 7;
}  // namespace

bool GetLogDir(std::string& _strLogDir)
{
    const QString qstrDir = QCoreApplication::applicationDirPath() + g_qstrLogDir + QLatin1Char('/')
        + QCoreApplication::applicationName() + QLatin1Char('/');
    _strLogDir = qstrDir.toLocal8Bit().toStdString();
    QDir qdir(qstrDir);
    return qdir.exists() || qdir.mkpath(QStringLiteral("."));
}

bool IsValidIP(const QString& _qstrIp)
{
    QHostAddress qhostAddr;
    if (_qstrIp.size() >= n_MinIpTextLength && qhostAddr.setAddress(_qstrIp))
        return true;
    BURN_LOG(n_BurnLogLevel_Error, "[file:%s] InvalidIP = %s", __FILE__, _qstrIp.toUtf8().constData());
    return false;
}

QJsonObject StringToJsonObject(const std::string& _strMsg)
{
    QJsonParseError qjsonError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(QByteArray::fromStdString(_strMsg), &qjsonError);
    if (qjsonError.error != QJsonParseError::NoError) {
        BURN_LOG(n_BurnLogLevel_Info, " _qstrMsg=%s, qjsonOdc is Error", _strMsg.c_str());
        return QJsonObject();
    }
    if (!qjsonDoc.isObject()) {
        BURN_LOG(n_BurnLogLevel_Info, " _qstrMsg=%s, qjsonOdc is not Object", _strMsg.c_str());
        return QJsonObject();
    }
    return qjsonDoc.object();
}

QJsonObject QStringToJsonObject(const QString& _qstrMsg)
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrMsg.toUtf8());
    return qjsonDoc.isObject() ? qjsonDoc.object() : QJsonObject();
}

QString JsonObjectToString(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QString JsonValueText(const QJsonValue& _qjsonValue)
{
    // An array of the one value, without its brackets.
    const QByteArray qbaArray = QJsonDocument(QJsonArray{_qjsonValue}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(qbaArray.mid(1, qbaArray.size() - 2));
}

QString OrderedJsonText(const JsonMemberList& _vecMembers)
{
    QStringList qlstMembers;
    for (const auto& member : _vecMembers)
        qlstMembers << JsonValueText(member.first) + QLatin1Char(':') + JsonValueText(member.second);
    return QLatin1Char('{') + qlstMembers.join(QLatin1Char(',')) + QLatin1Char('}');
}
