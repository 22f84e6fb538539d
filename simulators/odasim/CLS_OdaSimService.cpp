#include "CLS_OdaSimService.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace
{
const char s_szPathPrefix[] = "/oss/rest/restServer/";
const QStringList s_qlstRequests{"queryPoolInfo", "mkdir", "createBurnPrintTask", "queryBurnPrintTaskState",
                                 "queryDiscByFileId"};

enum OdaSimState
{
    n_SimState_Waiting = 0,
    n_SimState_Burning = 1,
    n_SimState_Finished = 2,
    n_SimState_Printing = 3,
    n_SimState_Abnormal = 4,
    n_SimState_Offline = 5,
};

QString StateText(int _iState)
{
    static const QMap<int, QString> s_qmapTexts{{n_SimState_Waiting, "等待"},    {n_SimState_Burning, "刻录中"},
                                                {n_SimState_Finished, "完成"},   {n_SimState_Printing, "打印中"},
                                                {n_SimState_Abnormal, "异常"},   {n_SimState_Offline, "离线等待"}};
    return s_qmapTexts.value(_iState);
}

QByteArray Compact(const QJsonDocument& _qjsonDoc)
{
    return _qjsonDoc.toJson(QJsonDocument::Compact);
}

QJsonArray Process(const char* _szErrorCode, const QString& _qstrMsg)
{
    return QJsonArray{QJsonObject{{"errorCode", _szErrorCode}, {"msg", _qstrMsg}}};
}

QString LastPart(const QString& _qstrPath)
{
    return _qstrPath.section(QLatin1Char('/'), -1);
}
}  // namespace

QJsonObject OdaSimReply(const QString& _qstrCode, const QString& _qstrMsg)
{
    const QString qstrResult = _qstrCode == QLatin1String("0") ? _qstrCode : "SIM" + _qstrCode;
    return QJsonObject{{"code", _qstrCode}, {"msg", _qstrMsg}, {"taskResultCode", qstrResult}};
}

CLS_OdaSimService::CLS_OdaSimService(const OdaSimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
{
}

bool CLS_OdaSimService::Prepare(QString& _qstrError)
{
    for (const OdaSimPool& stPool : m_stOptions.vecPools) {
        if (!QDir().mkpath(stPool.qstrFolder)) {
            _qstrError = QStringLiteral("cannot create the pool folder %1").arg(stPool.qstrFolder);
            return false;
        }
    }
    return true;
}

QByteArray CLS_OdaSimService::Answer(const QByteArray& _qbaPath, const QByteArray& _qbaBody)
{
    const QString qstrPath = QString::fromUtf8(_qbaPath);
    const QString qstrName = LastPart(qstrPath);
    if (qstrPath != QLatin1String(s_szPathPrefix) + qstrName || !s_qlstRequests.contains(qstrName))
        return QByteArray();
    const bool blStateQuery = qstrName == QLatin1String("queryBurnPrintTaskState");
    const QString qstrCode = m_stOptions.qmapAnswerCodes.value(
        qstrName, m_stOptions.qmapAnswerCodes.value(QStringLiteral("*"), QStringLiteral("0")));
    if (qstrCode != QLatin1String("0")) {
        const QJsonObject qjsonReply = OdaSimReply(qstrCode, QStringLiteral("模拟错误"));
        return blStateQuery ? Compact(QJsonDocument(QJsonArray{qjsonReply})) : Compact(QJsonDocument(qjsonReply));
    }
    const QJsonObject qjsonReq = QJsonDocument::fromJson(_qbaBody).object();
    if (blStateQuery)
        return Compact(QJsonDocument(QJsonArray{TaskState(qjsonReq.value("discLabel").toString())}));
    if (qstrName == QLatin1String("queryPoolInfo"))
        return Compact(QJsonDocument(QueryPools()));
    if (qstrName == QLatin1String("mkdir"))
        return Compact(QJsonDocument(MakeDir(qjsonReq)));
    if (qstrName == QLatin1String("createBurnPrintTask"))
        return Compact(QJsonDocument(CreateTask(qjsonReq)));
    return Compact(QJsonDocument(Discs(qjsonReq.value("path").toString())));
}

QJsonObject CLS_OdaSimService::QueryPools() const
{
    QJsonArray qjsonPools;
    for (const OdaSimPool& stPool : m_stOptions.vecPools)
        qjsonPools << QJsonObject{{"poolCode", stPool.qstrCode}, {"poolName", stPool.qstrName},
                                  {"volPath", stPool.qstrFolder}};
    QJsonObject qjsonReply = OdaSimReply("0", "成功");
    qjsonReply.insert("poolList", qjsonPools);
    return qjsonReply;
}

QJsonObject CLS_OdaSimService::MakeDir(const QJsonObject& _qjsonReq)
{
    const QString qstrPath = QDir::cleanPath(_qjsonReq.value("path").toString());
    if (!QDir::isAbsolutePath(qstrPath) || !InsidePool(qstrPath))
        return OdaSimReply("1", "路径不在卷池内");
    return QDir().mkpath(qstrPath) ? OdaSimReply("0", "成功") : OdaSimReply("2", "创建目录失败");
}

QJsonObject CLS_OdaSimService::CreateTask(const QJsonObject& _qjsonReq)
{
    OdaSimTask stTask;
    stTask.qstrDiscLabel = _qjsonReq.value("discLabel").toString();
    stTask.qstrFilePath = _qjsonReq.value("filePath").toString();
    stTask.qstrJobFolder = LocalFolder(stTask.qstrFilePath);
    if (_qjsonReq.value("loginName").toString() != QLatin1String("admin"))
        return OdaSimReply("1", "用户不存在");
    if (stTask.qstrJobFolder.isEmpty() || !QFileInfo(stTask.qstrJobFolder).isDir())
        return OdaSimReply("1", "任务目录不存在");
    if (stTask.qstrDiscLabel.isEmpty())
        return OdaSimReply("1", "缺少光盘标签");
    for (const OdaSimTask& stOther : m_vecTasks) {
        if (stOther.qstrDiscLabel == stTask.qstrDiscLabel)
            return OdaSimReply("1", "光盘标签重复");
    }
    stTask.qstrBurnType = _qjsonReq.value("burnType").toString();
    stTask.qstrImgModCode = _qjsonReq.value("imgmodCode").toString();
    stTask.qstrLabList = _qjsonReq.value("labList").toString();
    stTask.iBurnNum = qMax(1, _qjsonReq.value("burnNum").toInt(1));
    const QString qstrJob = LastPart(stTask.qstrFilePath);
    for (const QString& qstrKey : {stTask.qstrDiscLabel, qstrJob}) {
        if (stTask.qstrFailMsg.isEmpty())
            stTask.qstrFailMsg = FailCodeFor(m_stOptions.vecFailRules, qstrKey);
        if (stTask.qstrOffline.isEmpty())
            stTask.qstrOffline = FailCodeFor(m_stOptions.vecOfflineRules, qstrKey);
    }
    m_vecTasks << stTask;
    emit signalTaskState(stTask.qstrDiscLabel, n_SimState_Waiting, StateText(n_SimState_Waiting));
    return OdaSimReply("0", "成功");
}

QJsonObject CLS_OdaSimService::TaskState(const QString& _qstrDiscLabel) const
{
    for (const OdaSimTask& stTask : m_vecTasks) {
        if (stTask.qstrDiscLabel != _qstrDiscLabel)
            continue;
        const bool blAbnormal = stTask.iState == n_SimState_Abnormal;
        QJsonObject qjsonState = OdaSimReply("0", blAbnormal ? stTask.qstrFailMsg : StateText(stTask.iState));
        qjsonState.insert("discLabel", stTask.qstrDiscLabel);
        qjsonState.insert("state", QString::number(stTask.iState));
        if (blAbnormal)
            qjsonState.insert("taskResultCode", "SIM4");
        if (stTask.iState == n_SimState_Offline && stTask.qstrOffline != QLatin1String("print"))
            qjsonState.insert("burnProcess", Process("B1001", "刻录机离线"));
        if (stTask.iState == n_SimState_Offline && stTask.qstrOffline != QLatin1String("burn"))
            qjsonState.insert("printProcess", Process("P2001", "打印机缺墨"));
        return qjsonState;
    }
    return OdaSimReply("1", "任务不存在");
}

QJsonObject CLS_OdaSimService::Discs(const QString& _qstrFilePath) const
{
    QJsonArray qjsonDiscs;
    for (const OdaSimTask& stTask : m_vecTasks) {
        if (stTask.qstrFilePath != _qstrFilePath || stTask.iState != n_SimState_Finished)
            continue;
        for (int iCopy = 1; iCopy <= stTask.iBurnNum; ++iCopy)
            qjsonDiscs << QJsonObject{{"discLabel", stTask.qstrDiscLabel}, {"magazine", "M1"},
                                      {"slot", qjsonDiscs.size() + 1}, {"copy", iCopy}};
    }
    if (qjsonDiscs.isEmpty())
        return OdaSimReply("1", "没有该路径的光盘");
    QJsonObject qjsonReply = OdaSimReply("0", "成功");
    qjsonReply.insert("discs", qjsonDiscs);
    return qjsonReply;
}

QString CLS_OdaSimService::LocalFolder(const QString& _qstrFilePath) const
{
    const QStringList qlstParts = _qstrFilePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (qlstParts.size() < 2 || qlstParts.contains(QStringLiteral("..")) || qlstParts.contains(QStringLiteral(".")))
        return QString();
    for (const OdaSimPool& stPool : m_stOptions.vecPools) {
        if (stPool.qstrCode == qlstParts.first())
            return stPool.qstrFolder + QLatin1Char('/') + qlstParts.mid(1).join(QLatin1Char('/'));
    }
    return QString();
}

bool CLS_OdaSimService::InsidePool(const QString& _qstrLocalPath) const
{
    for (const OdaSimPool& stPool : m_stOptions.vecPools) {
        if (_qstrLocalPath == stPool.qstrFolder || _qstrLocalPath.startsWith(stPool.qstrFolder + QLatin1Char('/')))
            return true;
    }
    return false;
}

void CLS_OdaSimService::SlotStep()
{
    for (OdaSimTask& stTask : m_vecTasks) {
        if (!stTask.blEnded)
            Advance(stTask);
    }
}

void CLS_OdaSimService::Advance(OdaSimTask& _stTask)
{
    int iNext = n_SimState_Printing;
    if (_stTask.iState == n_SimState_Waiting)
        iNext = n_SimState_Burning;
    else if (_stTask.iState == n_SimState_Printing)
        return End(_stTask, n_SimState_Finished);
    else if (_stTask.iState == n_SimState_Burning && !_stTask.qstrFailMsg.isEmpty())
        return End(_stTask, n_SimState_Abnormal);
    else if (_stTask.iState == n_SimState_Burning && !_stTask.qstrOffline.isEmpty()) {
        iNext = n_SimState_Offline;
        _stTask.iOfflineLeft = m_stOptions.iOfflineSteps;
    } else if (_stTask.iState == n_SimState_Offline && --_stTask.iOfflineLeft > 0)
        return;
    _stTask.iState = iNext;
    emit signalTaskState(_stTask.qstrDiscLabel, iNext, StateText(iNext));
}

void CLS_OdaSimService::End(OdaSimTask& _stTask, int _iState)
{
    _stTask.iState = _iState;
    _stTask.blEnded = true;
    WriteResult(_stTask);
    emit signalTaskState(_stTask.qstrDiscLabel, _iState,
                         _iState == n_SimState_Abnormal ? _stTask.qstrFailMsg : StateText(_iState));
    emit signalTaskEnded();
}

void CLS_OdaSimService::WriteResult(const OdaSimTask& _stTask) const
{
    QMap<QString, qint64> qmapFiles;
    QDirIterator qdirIt(_stTask.qstrJobFolder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (qdirIt.hasNext()) {
        qdirIt.next();
        qmapFiles.insert(QDir(_stTask.qstrJobFolder).relativeFilePath(qdirIt.filePath()), qdirIt.fileInfo().size());
    }
    QStringList qlstLines{"TASK=" + _stTask.qstrDiscLabel, "PATH=" + _stTask.qstrFilePath,
                          _stTask.iState == n_SimState_Finished ? QStringLiteral("OUTCOME=finished")
                                                                : "OUTCOME=abnormal " + _stTask.qstrFailMsg,
                          "BURN_TYPE=" + _stTask.qstrBurnType, "COPIES=" + QString::number(_stTask.iBurnNum),
                          "IMGMOD=" + _stTask.qstrImgModCode, "LABELS=" + _stTask.qstrLabList,
                          "FILES=" + QString::number(qmapFiles.size())};
    qint64 llBytes = 0;
    QStringList qlstFiles;
    for (auto it = qmapFiles.cbegin(); it != qmapFiles.cend(); ++it) {
        llBytes += it.value();
        qlstFiles << QStringLiteral("FILE=%1\t%2").arg(it.value()).arg(it.key());
    }
    qlstLines << "BYTES=" + QString::number(llBytes) << qlstFiles;
    QFile qfile(_stTask.qstrJobFolder + QStringLiteral(".result.txt"));
    if (qfile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qfile.write((qlstLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}
