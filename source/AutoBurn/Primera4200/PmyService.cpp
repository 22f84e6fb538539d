#include "PmyService.h"

#include <QJsonDocument>
#include <QMap>

#include "PmyBsErrorTexts.h"

namespace
{
// Service task "status_code" -> job state.
const QMap<int, int> s_qmapTaskState = {{0, -1}, {1, 0}, {2, 2}, {3, 3}, {4, 12}, {5, 4}};

const char* const s_arrNumbers[] = {"One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten"};

QJsonObject ParseObject(const QString& _qstrText, QJsonParseError* _pError = nullptr)
{
    return QJsonDocument::fromJson(_qstrText.toUtf8(), _pError).object();
}

// Bin counts of -1 (unknown) and 255 (no bin fitted) count as empty.
int BinCount(const QJsonObject& _qjsonDev, const char* _szKey)
{
    const int iCount = _qjsonDev.value(_szKey).toInt();
    return iCount == -1 || iCount == 255 ? 0 : iCount;
}

QStringList AreaFields(const QJsonObject& _qjsonLabelInfo, const QString& _qstrArea)
{
    QStringList qlstValues;
    for (const char* szNumber : s_arrNumbers)
        qlstValues << _qjsonLabelInfo.value(_qstrArea + QLatin1String(szNumber)).toString();
    return qlstValues;
}
}  // namespace

QString PmyErrorText(int _iCode)
{
    const char* szText = FindPmyBsErrorText(_iCode);
    return QString::fromUtf8(szText ? szText : "");
}

int PmyTaskState(int _iStatusCode)
{
    return s_qmapTaskState.value(_iStatusCode, -1);
}

PmyTaskReply ReadPmyTaskStatus(const QString& _qstrText)
{
    PmyTaskReply stReply;
    QJsonParseError stError;
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qstrText.toUtf8(), &stError);
    if (stError.error != QJsonParseError::NoError || !qjsonDoc.isObject()) {
        stReply.qstrParseError = stError.errorString();
        return stReply;
    }
    const QJsonObject qjsonMsg = qjsonDoc.object();
    stReply.blValid = true;
    stReply.iErrorCode = qjsonMsg.value("error_code").toInt();
    stReply.qstrErrorMsg = qjsonMsg.value("error_msg").toString();
    for (const QJsonValue& qjsonTask : qjsonMsg.value("tasks").toArray()) {
        const QJsonObject qjsonObj = qjsonTask.toObject();
        stReply.vecTasks.push_back({qjsonObj.value("id").toString(), qjsonObj.value("status_code").toInt(),
                                    qjsonObj.value("status_string").toString(), qjsonObj.value("job_id").toString()});
    }
    return stReply;
}

std::optional<QJsonObject> ReadPmyRobotStatus(const QString& _qstrText, const QJsonArray& _qjsonHostIps)
{
    const QJsonArray qjsonDevices = ParseObject(_qstrText).value("devices").toArray();
    if (qjsonDevices.isEmpty())
        return std::nullopt;
    QJsonObject qjsonStatus{{"BurnDev", n_Pmy_BurnDev}, {"BurnDevName", "PMY_4200"}, {"BurnDevIp", _qjsonHostIps}};
    // The scalars of the last device win; the optional keys of each overwrite the previous ones.
    for (const QJsonValue& qjsonValue : qjsonDevices) {
        const QJsonObject qjsonDev = qjsonValue.toObject();
        const int iBin1 = BinCount(qjsonDev, "bin1_disc_count");
        const int iBin2 = BinCount(qjsonDev, "bin2_disc_count");
        const bool blNoDiscs = qjsonDev.value("system_state").toInt() == 2
                               && qjsonDev.value("system_error").toInt() == 15;
        qjsonStatus.insert("statusMsg", qjsonDev.value("system_error_string").toString());
        for (const char* szInk : {"black_ink", "yellow_ink", "red_ink", "blue_ink"})
            qjsonStatus.insert(szInk, qjsonDev.value(szInk).toInt());
        qjsonStatus.insert("bin1_disc_count", iBin1);
        qjsonStatus.insert("bin2_disc_count", iBin2);
        qjsonStatus.insert("statusCode", blNoDiscs ? 1 : 0);
        qjsonStatus.insert("emptyDiskCount", qjsonDev.value("bins_count").toInt() == 1 ? iBin1 : iBin2);
        if (qjsonDev.value("drives").isArray())
            qjsonStatus.insert("drives", qjsonDev.value("drives"));
        for (const char* szKey : {"system_state", "system_state_string", "system_error", "system_error_string"}) {
            if (qjsonDev.contains(szKey))
                qjsonStatus.insert(szKey, qjsonDev.value(szKey));
        }
    }
    return qjsonStatus;
}

std::optional<QJsonObject> ReadPmyDynamic(const QString& _qstrText)
{
    const QJsonValue qjsonDynamic = ParseObject(_qstrText).value("dynamic");
    if (!qjsonDynamic.isObject())
        return std::nullopt;
    return qjsonDynamic.toObject();
}

QString PmyRobotStatusMessage(QJsonObject _qjsonStatus, const QJsonArray& _qjsonDynamic)
{
    _qjsonStatus.insert("dynamic_info", _qjsonDynamic);
    const QJsonObject qjsonMsg{{"cmd", "BurnRobotStatus"}, {"param", _qjsonStatus}};
    return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
}

QString PmyCalibrationRefusal(const QString& _qstrRobotText)
{
    const QJsonValue qjsonDevices = ParseObject(_qstrRobotText).value("devices");
    if (!qjsonDevices.isArray())
        return QStringLiteral("devices no exit || devices no Array.");
    const QJsonObject qjsonFirst = qjsonDevices.toArray().at(0).toObject();
    if (!qjsonFirst.contains("system_state"))
        return QStringLiteral("system_state no exit.");
    if (qjsonFirst.value("system_state").toInt() != 0)
        return QStringLiteral("设备繁忙，请稍后重试");
    return QString();
}

PmyLabelFields ReadPmyLabelFields(const QJsonObject& _qjsonLabelInfo)
{
    return {AreaFields(_qjsonLabelInfo, "Upper"), AreaFields(_qjsonLabelInfo, "Left"),
            AreaFields(_qjsonLabelInfo, "Right"), AreaFields(_qjsonLabelInfo, "Down")};
}
