#include "OdaService.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "CommonFun.h"
#include "PublicCommonFun.h"

const char g_szOdaQueryPoolPath[] = "/oss/rest/restServer/queryPoolInfo";
const char g_szOdaMkdirPath[] = "/oss/rest/restServer/mkdir";
const char g_szOdaCreateTaskPath[] = "/oss/rest/restServer/createBurnPrintTask";
const char g_szOdaTaskStatePath[] = "/oss/rest/restServer/queryBurnPrintTaskState";
const char g_szOdaDiscPath[] = "/oss/rest/restServer/queryDiscByFileId";
const char g_szOdaLoginName[] = "admin";

namespace
{
// The label sides in the order of the list, and the first four entry names of each.
const char* const s_arrLabelSides[] = {"Upper", "Left", "Right", "Down"};
const char* const s_arrLabelEntries[] = {"One", "Two", "Three", "Four"};
constexpr int n_SequenceDigits = 3;
constexpr int n_SuffixSearchFromEnd = 3;

QJsonArray ReplyArray(const QString& _qstrReply)
{
    return QJsonDocument::fromJson(_qstrReply.toUtf8()).array();
}

// The first element of an array member, when the member is an array.
QJsonObject FirstOf(const QJsonObject& _qjsonObj, const char* _szKey)
{
    const QJsonValue qjsonValue = _qjsonObj.value(QLatin1String(_szKey));
    return qjsonValue.isArray() ? qjsonValue.toArray().at(0).toObject() : QJsonObject();
}

void ReadOfflineDetail(const QJsonObject& _qjsonStatus, OdaTaskState& _stState)
{
    const QJsonObject qjsonBurn = FirstOf(_qjsonStatus, "burnProcess");
    const QJsonObject qjsonPrint = FirstOf(_qjsonStatus, "printProcess");
    const bool blBurnError = qjsonBurn.contains(QLatin1String("errorCode"));
    const bool blPrintError = qjsonPrint.contains(QLatin1String("errorCode"));
    if (blBurnError) {
        _stState.qstrOfflineMsg = qjsonBurn.value(QLatin1String("msg")).toString();
        _stState.iOfflineError = n_OdaOffline_Burn;
    }
    if (blPrintError) {
        _stState.qstrOfflineMsg = qjsonPrint.value(QLatin1String("msg")).toString();
        _stState.iOfflineError = n_OdaOffline_Print;
    }
    if (blBurnError && blPrintError) {
        _stState.qstrOfflineMsg += _stState.stHead.qstrMsg;
        _stState.iOfflineError = n_OdaOffline_BurnAndPrint;
    }
}
}  // namespace

OdaReplyHead ReadOdaReplyHead(const QJsonObject& _qjsonReply)
{
    OdaReplyHead stHead;
    stHead.blOk = _qjsonReply.value(QLatin1String("code")).toString() == QLatin1String("0");
    stHead.qstrErrCode = _qjsonReply.value(QLatin1String("taskResultCode")).toString();
    stHead.qstrMsg = _qjsonReply.value(QLatin1String("msg")).toString();
    return stHead;
}

OdaPoolChoice ChooseOdaPool(const QString& _qstrReply, const QString& _qstrWantedPool)
{
    OdaPoolChoice stChoice;
    const QJsonObject qjsonReply = QStringToJsonObject(_qstrReply);
    stChoice.stHead = ReadOdaReplyHead(qjsonReply);
    if (!stChoice.stHead.blOk)
        return stChoice;
    for (const QJsonValue& qjsonValue : qjsonReply.value(QLatin1String("poolList")).toArray()) {
        const QJsonObject qjsonPool = qjsonValue.toObject();
        const QString qstrCode = qjsonPool.value(QLatin1String("poolCode")).toString();
        const QString qstrName = qjsonPool.value(QLatin1String("poolName")).toString();
        if (!_qstrWantedPool.isEmpty() && qstrCode != _qstrWantedPool && qstrName != _qstrWantedPool)
            continue;
        stChoice.blMatched = true;
        stChoice.stPool.m_strPoolCodeName = qstrCode.toStdString();
        stChoice.stPool.m_strPoolName = qstrName.toStdString();
        stChoice.stPool.m_strVolPath = qjsonPool.value(QLatin1String("volPath")).toString().toStdString();
        break;
    }
    return stChoice;
}

OdaTaskState ReadOdaTaskState(const QString& _qstrReply)
{
    OdaTaskState stState;
    const QJsonArray qjsonStates = ReplyArray(_qstrReply);
    if (qjsonStates.isEmpty())
        return stState;
    const QJsonObject qjsonStatus = qjsonStates.first().toObject();
    stState.blRead = true;
    stState.stHead = ReadOdaReplyHead(qjsonStatus);
    stState.qstrState = qjsonStatus.value(QLatin1String("state")).toString();
    bool blNumber = false;
    const int iState = stState.qstrState.toInt(&blNumber);
    stState.iState = blNumber ? iState : -1;
    stState.qstrDiscLabel = qjsonStatus.value(QLatin1String("discLabel")).toString();
    if (stState.iState == n_BurnPrintState_OfflineWait)
        ReadOfflineDetail(qjsonStatus, stState);
    return stState;
}

bool OdaTaskKnown(const QString& _qstrReply)
{
    for (const QJsonValue& qjsonValue : ReplyArray(_qstrReply)) {
        const QJsonObject qjsonStatus = qjsonValue.toObject();
        if (!ReadOdaReplyHead(qjsonStatus).blOk)
            return false;
        const int iState = qjsonStatus.value(QLatin1String("state")).toString().toInt();
        if (iState >= 1 && iState <= 5)
            return true;
    }
    return false;
}

QString ReadOdaDiscs(const QString& _qstrReply)
{
    const QJsonObject qjsonReply = QStringToJsonObject(_qstrReply);
    const QJsonArray qjsonDiscs = qjsonReply.value(QLatin1String("discs")).toArray();
    if (!ReadOdaReplyHead(qjsonReply).blOk || qjsonDiscs.isEmpty())
        return QStringLiteral("[]");
    return QString::fromUtf8(QJsonDocument(qjsonDiscs).toJson(QJsonDocument::Compact));
}

QString OdaJobIdSuffix(const QString& _qstrJobId)
{
    if (_qstrJobId.size() < n_SuffixSearchFromEnd)
        return QString();
    const int iUnderscore = _qstrJobId.lastIndexOf(QLatin1Char('_'), -n_SuffixSearchFromEnd);
    return iUnderscore > 0 ? _qstrJobId.mid(iUnderscore) : QString();
}

QString MakeOdaDiscLabel(const QString& _qstrTitle, const QDateTime& _qdtNow, int _iSequence,
                         const QString& _qstrJobId)
{
    return _qstrTitle + _qdtNow.toString(QStringLiteral("yyyyMMddHHmmss"))
           + QStringLiteral("%1").arg(_iSequence, n_SequenceDigits, 10, QLatin1Char('0'))
           + OdaJobIdSuffix(_qstrJobId);
}

QString MakeOdaLabelList(const QJsonObject& _qjsonLabelInfo)
{
    QStringList qlstEntries;
    for (const char* szSide : s_arrLabelSides) {
        for (const char* szEntry : s_arrLabelEntries) {
            const QString qstrKey = QLatin1String(szSide) + QLatin1String(szEntry);
            qlstEntries << qstrKey + QLatin1Char('@') + _qjsonLabelInfo.value(qstrKey).toString();
        }
    }
    return qlstEntries.join(QLatin1Char(','));
}

QString OdaMkdirBody(const QString& _qstrDir)
{
    // The path is escaped, so that a Windows path with its backslashes stays valid JSON.
    return QStringLiteral("{\"loginName\":\"%1\", \"path\":%2}")
        .arg(QLatin1String(g_szOdaLoginName), JsonValueText(_qstrDir));
}

QString OdaTaskBody(const QString& _qstrImgModCode, const QString& _qstrFilePath, const QString& _qstrDiscLabel,
                    int _iBurnNum, const QString& _qstrLabList)
{
    JsonMemberList vecMembers{
        {QStringLiteral("burnType"), _qstrImgModCode.isEmpty() ? QStringLiteral("1") : QStringLiteral("2")},
        {QStringLiteral("filePath"), _qstrFilePath},
        {QStringLiteral("fileType"), QStringLiteral("file")},
        {QStringLiteral("loginName"), QLatin1String(g_szOdaLoginName)},
    };
    if (!_qstrDiscLabel.isEmpty())
        vecMembers.append({QStringLiteral("discLabel"), _qstrDiscLabel});
    vecMembers.append({QStringLiteral("burnNum"), _iBurnNum});
    vecMembers.append({QStringLiteral("labList"), _qstrLabList});
    vecMembers.append({QStringLiteral("imgmodCode"), _qstrImgModCode});
    return OrderedJsonText(vecMembers);
}

QString OdaOfflineStatusMessage(const OdaTaskState& _stState, const QString& _qstrJobId)
{
    const QString qstrParam = OrderedJsonText({
        {QStringLiteral("BurnDev"), 5},
        {QStringLiteral("BurnDevName"), QStringLiteral("HMS")},
        {QStringLiteral("BurnDevIp"), GetLocalIPv4List()},
        {QStringLiteral("statusMsg"), _stState.qstrOfflineMsg},
        {QStringLiteral("taskId"), _qstrJobId},
        {QStringLiteral("ErrorCode"), _stState.iOfflineError},
    });
    return QStringLiteral("{\"cmd\":\"BurnRobotStatus\",\"param\":%1}").arg(qstrParam);
}
