// alivemsg.dll: the notification service's state is a set of live handles and the
// settings given to them; every answer is a JSON text the caller releases.
#include "alivemsg.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace
{
struct CLS_AliveMsg
{
    QJsonObject qjsonDisplay;  // from "InitData"
    QJsonObject qjsonSkin;     // from "SetSkin"
};

std::mutex s_mutex;
std::atomic<bool> s_blStarted{false};
std::map<void*, std::unique_ptr<CLS_AliveMsg>> s_mapHandles;

char* NewText(const QJsonObject& _qjsonAnswer)
{
    const QByteArray qbaText = QJsonDocument(_qjsonAnswer).toJson(QJsonDocument::Compact);
    char* szText = new char[size_t(qbaText.size()) + 1];
    std::memcpy(szText, qbaText.constData(), size_t(qbaText.size()) + 1);
    return szText;
}

int Answer(char** _ppResult, int _iCode, const QString& _qstrMethod, const QString& _qstrMsg,
           const QJsonObject& _qjsonExtra = {})
{
    if (_ppResult) {
        QJsonObject qjsonAnswer = _qjsonExtra;
        qjsonAnswer.insert(QStringLiteral("code"), _iCode);
        qjsonAnswer.insert(QStringLiteral("method"), _qstrMethod);
        qjsonAnswer.insert(QStringLiteral("msg"), _qstrMsg);
        *_ppResult = NewText(qjsonAnswer);
    }
    return _iCode == 0 ? 0 : -1;
}

// The handle's record; null for a handle this service did not give. Caller holds s_mutex.
CLS_AliveMsg* Find(void* _pAliveMsg)
{
    const auto it = s_mapHandles.find(_pAliveMsg);
    return it == s_mapHandles.end() ? nullptr : it->second.get();
}
}  // namespace

int alivemsg_startup(void)
{
    s_blStarted = true;
    return 0;
}

int alivemsg_is_startup(void)
{
    return s_blStarted ? 1 : 0;
}

int alivemsg_cleanup(void)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_mapHandles.clear();
    s_blStarted = false;
    return 0;
}

void* alivemsg_create(void)
{
    if (!s_blStarted)
        return nullptr;
    auto pAliveMsg = std::make_unique<CLS_AliveMsg>();
    void* pHandle = pAliveMsg.get();
    std::lock_guard<std::mutex> lock(s_mutex);
    s_mapHandles.emplace(pHandle, std::move(pAliveMsg));
    return pHandle;
}

int alivemsg_destroy(void* _pAliveMsg)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_mapHandles.erase(_pAliveMsg) == 1 ? 0 : -1;
}

int alivemsg_set_parent(void* _pAliveMsg, void*)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return Find(_pAliveMsg) ? 0 : -1;
}

int alivemsg_call_method(void* _pAliveMsg, const char* _szMethod, const char* _szParamJson, char** _ppResult)
{
    const QString qstrMethod = QString::fromUtf8(_szMethod ? _szMethod : "");
    QJsonParseError qjsonError{};
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(QByteArray(_szParamJson ? _szParamJson : ""), &qjsonError);
    std::lock_guard<std::mutex> lock(s_mutex);
    CLS_AliveMsg* pAliveMsg = Find(_pAliveMsg);
    if (!pAliveMsg)
        return Answer(_ppResult, -1, qstrMethod, QStringLiteral("unknown handle"));
    if (!qjsonDoc.isObject())
        return Answer(_ppResult, -2, qstrMethod, QStringLiteral("parameter is not a JSON object"));
    if (qstrMethod == QLatin1String("InitData")) {
        pAliveMsg->qjsonDisplay = qjsonDoc.object();
        return Answer(_ppResult, 0, qstrMethod, QStringLiteral("ok"));
    }
    if (qstrMethod == QLatin1String("SetSkin")) {
        pAliveMsg->qjsonSkin = qjsonDoc.object();
        const bool blFound = QFileInfo::exists(pAliveMsg->qjsonSkin.value(QStringLiteral("path")).toString());
        return Answer(_ppResult, 0, qstrMethod, QStringLiteral("ok"), {{QStringLiteral("skinFound"), blFound}});
    }
    return Answer(_ppResult, -3, qstrMethod, QStringLiteral("unknown method"));
}

int alivemsg_free_ptr(void*, char* _szResult)
{
    if (!_szResult)
        return -1;
    delete[] _szResult;
    return 0;
}
