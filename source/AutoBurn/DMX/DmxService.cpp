#include "DmxService.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "CommonFun.h"
#include "PublicCommonFun.h"

namespace
{
constexpr int n_MaxLowInk = 5;

QJsonArray ReplyArray(const QString& _qstrReply)
{
    return QJsonDocument::fromJson(_qstrReply.toUtf8()).array();
}

bool IsLowInk(int _iLevel)
{
    // Compared unsigned: an unknown level (-1) is never low.
    return static_cast<unsigned>(_iLevel) <= static_cast<unsigned>(n_MaxLowInk);
}
}  // namespace

DmxShare ReadDmxShares(const QString& _qstrReply)
{
    DmxShare stShare;
    for (const QJsonValue& qjsonValue : ReplyArray(_qstrReply)) {
        const QJsonObject qjsonShare = qjsonValue.toObject();
        for (const char* szKey : {"status", "addrsrc", "user", "pass"}) {
            if (!qjsonShare.contains(QLatin1String(szKey)))
                stShare.qlstMissingKeys << QLatin1String(szKey);
        }
        const bool blComplete = qjsonShare.contains(QLatin1String("addrsrc"))
                                && qjsonShare.contains(QLatin1String("user"))
                                && qjsonShare.contains(QLatin1String("pass"));
        if (qjsonShare.value(QLatin1String("status")).toInt() == 0 || !blComplete)
            continue;
        stShare.blFound = true;
        stShare.qstrDir = qjsonShare.value(QLatin1String("addrsrc")).toString();
        stShare.qstrDir.replace(QLatin1Char('/'), QLatin1Char('\\'));
        stShare.qstrUser = qjsonShare.value(QLatin1String("user")).toString();
        stShare.qstrPass = qjsonShare.value(QLatin1String("pass")).toString();
        break;
    }
    return stShare;
}

int DmxServiceState(const QString& _qstrReply, QString* _pqstrMissingKey)
{
    const QJsonObject qjsonStatus = QStringToJsonObject(_qstrReply);
    for (const char* szKey : {"taskState", "icwmSysStatus"}) {
        if (!qjsonStatus.contains(QLatin1String(szKey))) {
            *_pqstrMissingKey = QLatin1String(szKey);
            return 2;
        }
    }
    if (qjsonStatus.value(QLatin1String("taskState")).toInt() >= 1)
        return 0;
    const int iSysStatus = qjsonStatus.value(QLatin1String("icwmSysStatus")).toInt();
    return iSysStatus < 9 ? 3 : (iSysStatus == 9 ? 4 : 5);
}

void ReadDmxInks(const QString& _qstrReply, DMXDevStatus& _stStatus)
{
    const QJsonObject qjsonPrinter = QStringToJsonObject(_qstrReply);
    for (const QJsonValue& qjsonValue : qjsonPrinter.value(QLatin1String("inkInfos")).toArray()) {
        const QString qstrColor = qjsonValue[QLatin1String("colorName")].toString();
        const int iLevel = qjsonValue[QLatin1String("level")].toInt(-1);
        if (qstrColor == QStringLiteral("黑"))
            _stStatus.iBlackInk = iLevel;
        else if (qstrColor == QStringLiteral("黄"))
            _stStatus.iYellowInk = iLevel;
        else if (qstrColor == QStringLiteral("红"))
            _stStatus.iRedInk = iLevel;
        else if (qstrColor == QStringLiteral("蓝"))
            _stStatus.iBlueInk = iLevel;
    }
}

int ReadDmxDepotDiscs(const QString& _qstrReply, int* _piUnreadable)
{
    int iCount = 0;
    for (const QJsonValue& qjsonValue : ReplyArray(_qstrReply)) {
        const QJsonObject qjsonDepot = qjsonValue.toObject();
        if (!qjsonDepot.contains(QLatin1String("dwType")) || !qjsonDepot.contains(QLatin1String("count"))) {
            ++*_piUnreadable;
            continue;
        }
        const int iType = qjsonDepot.value(QLatin1String("dwType")).toInt(-1);
        const int iDepotCount = qjsonDepot.value(QLatin1String("count")).toInt();
        if ((iType == 0 || iType == 1) && iDepotCount > 0)
            iCount += iDepotCount;
    }
    return iCount;
}

int DmxErrorCode(const DMXDevStatus& _stStatus, bool _blDiscsKnown)
{
    for (const int iLevel : {_stStatus.iBlackInk, _stStatus.iYellowInk, _stStatus.iRedInk, _stStatus.iBlueInk}) {
        if (IsLowInk(iLevel))
            return n_DmxStatus_InkLow;
    }
    return !_blDiscsKnown || _stStatus.iEmptyDiscCount == 0 ? n_DmxStatus_NoDiscs : n_DmxStatus_Normal;
}

bool HasMissDiscError(const QString& _qstrReply, int* _piUnreadable)
{
    for (const QJsonValue& qjsonValue : ReplyArray(_qstrReply)) {
        const QJsonObject qjsonLog = qjsonValue.toObject();
        if (!qjsonLog.contains(QLatin1String("slErrorId"))) {
            ++*_piUnreadable;
            continue;
        }
        const int iErrId = qjsonLog.value(QLatin1String("slErrorId")).toInt();
        if (iErrId == n_DmxErrId_MissDisc1 || iErrId == n_DmxErrId_MissDisc2 || iErrId == n_DmxErrId_NoDiscForTask)
            return true;
    }
    return false;
}

int MapDmxTaskStatus(int _iTaskStatus, bool _blMissDiscState)
{
    switch (_iTaskStatus) {
    case 0: case 1: case 2: case 3: case 6: case 7:
        return 2;
    case 4: case 5: case 10: case 11: case 12: case 13:
        return 4;
    case n_DmxTaskStatus_Finished:
        return 3;
    case n_DmxTaskStatus_MissDisc:
        return _blMissDiscState ? 14 : -1;
    default:
        return -1;
    }
}

bool IsDmxErrorStatus(int _iTaskStatus)
{
    return MapDmxTaskStatus(_iTaskStatus, false) == 4;
}

QString DmxDiscPath(const std::string& _strDestination)
{
    QString qstrPath = QString::fromStdString(_strDestination).replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (qstrPath.startsWith(QLatin1Char('/')))
        qstrPath.remove(0, 1);
    return QLatin1Char('/') + qstrPath;
}

QString DmxTaskText(const DMXJobParam& _stJob, const QJsonObject* _pPrintValues)
{
    QStringList qlstFiles;
    for (const auto& file : _stJob.vecBurnFiles)
        qlstFiles << OrderedJsonText({{QStringLiteral("srcPath"), QString::fromStdString(file.first)},
                                      {QStringLiteral("isoPath"), QString::fromStdString(file.second)},
                                      {QStringLiteral("isDir"), false}});
    JsonMemberList vecMembers{
        {QStringLiteral("guid"), _stJob.qstrGuid},
        {QStringLiteral("className"), QStringLiteral("TaskFileToCd")},
        {QStringLiteral("start"), 1},
        {QStringLiteral("end"), 1000},
        {QStringLiteral("cdType"), _stJob.iCdType},
        {QStringLiteral("code"), _stJob.qstrCode},
        {QStringLiteral("label"), _stJob.qstrLabel},
        {QStringLiteral("burnCount"), _stJob.iBurnCount},
        {QStringLiteral("isCloseWholeCD"), _stJob.blCloseWholeCd},
    };
    // The members after the flat ones hold ordered objects of their own.
    QString qstrText = OrderedJsonText(vecMembers);
    qstrText.chop(1);
    qstrText += QStringLiteral(",\"burnFiles\":[%1]").arg(qlstFiles.join(QLatin1Char(',')));
    if (_pPrintValues) {
        qstrText += QStringLiteral(",\"isPrint\":true,\"printValues\":")
                    + QString::fromUtf8(QJsonDocument(*_pPrintValues).toJson(QJsonDocument::Compact));
    }
    return qstrText + QLatin1Char('}');
}

QString DmxDepotFilter()
{
    return OrderedJsonText({{QStringLiteral("ciMediaStatus"), QStringLiteral("0|1")},
                            {QStringLiteral("iCiMediaPosi"), QStringLiteral("1")}});
}

QString DmxLogFilter(const QString& _qstrJobId)
{
    return OrderedJsonText(
        {{QStringLiteral("taskId"), _qstrJobId}, {QStringLiteral("slSeverity"), QStringLiteral("1|2")}});
}

QString DmxRestartRange(const QString& _qstrJobId)
{
    return OrderedJsonText({{QStringLiteral("guid"), _qstrJobId},
                            {QStringLiteral("className"), QStringLiteral("TaskFileToCd")},
                            {QStringLiteral("start"), 1},
                            {QStringLiteral("end"), 1000}});
}

QString DmxRobotStatusText(const DMXDevStatus& _stStatus)
{
    const QString qstrParam = OrderedJsonText({
        {QStringLiteral("BurnDev"), _stStatus.iDevType},
        {QStringLiteral("BurnDevName"), QStringLiteral("DMX")},
        {QStringLiteral("BurnDevIp"), GetLocalIPv4List()},
        {QStringLiteral("statusMsg"), QString()},
        {QStringLiteral("black_ink"), _stStatus.iBlackInk},
        {QStringLiteral("yellow_ink"), _stStatus.iYellowInk},
        {QStringLiteral("red_ink"), _stStatus.iRedInk},
        {QStringLiteral("blue_ink"), _stStatus.iBlueInk},
        {QStringLiteral("emptyDiskCount"), _stStatus.iEmptyDiscCount},
        {QStringLiteral("ErrorCode"), _stStatus.iErrorCode},
    });
    return QStringLiteral("{\"cmd\":\"BurnRobotStatus\",\"param\":%1}").arg(qstrParam);
}
