#include "CLS_DmxSimRobot.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QRegularExpression>

#include "PubSimFiles.h"

namespace
{
enum DmxSimStatus
{
    n_DmxStatus_Queued = 0,
    n_DmxStatus_Preparing = 1,
    n_DmxStatus_Burning = 2,
    n_DmxStatus_Printing = 3,
    n_DmxStatus_Error = 4,
    n_DmxStatus_Finished = 14,
};

// The robot's error ids the module acts on.
constexpr int n_ErrId_TooFewDiscs = 111012;   // AddTask on a twelve-drive robot short of discs
constexpr int n_ErrId_OutOfDiscs = 112002;    // a task ran out of blank discs
// icwmSysStatus of the task service: stopped, starting, running.
constexpr int n_SysStatus_Stopped = 9;
constexpr int n_SysStatus_Starting = 10;
constexpr int n_SysStatus_Running = 0;

QString Compact(const QJsonValue& _qjsonValue)
{
    const QJsonDocument qjsonDoc = _qjsonValue.isArray() ? QJsonDocument(_qjsonValue.toArray())
                                                         : QJsonDocument(_qjsonValue.toObject());
    return QString::fromUtf8(qjsonDoc.toJson(QJsonDocument::Compact));
}

DmxSimAnswer Reply(const QJsonValue& _qjsonValue)
{
    return DmxSimAnswer{true, 0, Compact(_qjsonValue)};
}

// Numbers and flags arrive as JSON numbers, booleans or texts.
int IntOf(const QJsonValue& _qjsonValue, int _iDefault)
{
    bool blOk = false;
    const int iValue = _qjsonValue.toVariant().toString().toInt(&blOk);
    return _qjsonValue.isBool() ? int(_qjsonValue.toBool()) : blOk ? iValue : _iDefault;
}

// The body as the text of a guid: bare, a JSON text, or an object with "guid".
QString GuidOf(const QString& _qstrBody)
{
    const QString qstrBody = _qstrBody.trimmed();
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson("[" + qstrBody.toUtf8() + "]");
    const QJsonValue qjsonValue = qjsonDoc.array().at(0);
    if (qjsonValue.isString())
        return qjsonValue.toString();
    return qjsonValue.isObject() ? qjsonValue.toObject().value("guid").toString() : qstrBody;
}

QVector<DmxSimFile> FilesOf(const QJsonArray& _qjsonFiles)
{
    QVector<DmxSimFile> vecFiles;
    for (const QJsonValue& qjsonFile : _qjsonFiles) {
        const QJsonObject qjsonObject = qjsonFile.toObject();
        vecFiles << DmxSimFile{qjsonObject.value("srcPath").toString(), qjsonObject.value("isoPath").toString(),
                               IntOf(qjsonObject.value("isDir"), 0) != 0};
    }
    return vecFiles;
}

// A source written with "\" separators is read with "/".
QString LocalPath(const QString& _qstrPath)
{
    return QString(_qstrPath).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString StatusText(int _iStatus)
{
    switch (_iStatus) {
    case n_DmxStatus_Queued:
        return QStringLiteral("排队");
    case n_DmxStatus_Preparing:
        return QStringLiteral("准备中");
    case n_DmxStatus_Burning:
        return QStringLiteral("刻录中");
    case n_DmxStatus_Printing:
        return QStringLiteral("打印中");
    default:
        return QStringLiteral("完成");
    }
}
}  // namespace

DmxSimAnswer DmxSimRefusal(const QString& _qstrMsg, int _iErrId)
{
    return DmxSimAnswer{false, _iErrId, Compact(QJsonObject{{"msg", _qstrMsg}})};
}

CLS_DmxSimRobot::CLS_DmxSimRobot(const DmxSimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_vecInks(_stOptions.vecInks)
    , m_iBlankDiscs(_stOptions.iDiscs)
    , m_blStarted(!_stOptions.blSlowStart)
    , m_blRunning(!_stOptions.blSlowStart)
{
}

bool CLS_DmxSimRobot::Prepare(QString& _qstrError)
{
    QStringList qlstFolders{m_stOptions.qstrOut};
    if (m_stOptions.iDrives == 2)
        qlstFolders << m_stOptions.qstrShare;
    for (const QString& qstrFolder : qlstFolders) {
        if (!QDir().mkpath(qstrFolder)) {
            _qstrError = QStringLiteral("cannot create the folder %1").arg(qstrFolder);
            return false;
        }
    }
    return true;
}

DmxSimAnswer CLS_DmxSimRobot::Answer(const QString& _qstrMethod, const QString& _qstrClass, const QString& _qstrBody)
{
    static const QHash<QString, PFN_Handler> s_qhashHandlers{
        {"get/shares", &CLS_DmxSimRobot::Shares},           {"get/SysStatus", &CLS_DmxSimRobot::SysStatus},
        {"task/Start", &CLS_DmxSimRobot::StartService},     {"task/AddTask", &CLS_DmxSimRobot::AddTask},
        {"set/PrintTemplate", &CLS_DmxSimRobot::PrintTemplate}, {"get/Printer", &CLS_DmxSimRobot::Printer},
        {"get/DepotInfos", &CLS_DmxSimRobot::DepotInfos},   {"get/CdItemCount", &CLS_DmxSimRobot::CdItemCount},
        {"get/TaskSysLogs", &CLS_DmxSimRobot::TaskSysLogs}, {"task/EditTask", &CLS_DmxSimRobot::EditTask},
        {"task/GoRunTask", &CLS_DmxSimRobot::GoRunTask}};
    const PFN_Handler pfnHandler = s_qhashHandlers.value(_qstrMethod + QLatin1Char('/') + _qstrClass);
    if (!pfnHandler)
        return DmxSimRefusal(QStringLiteral("不支持的请求:%1 %2").arg(_qstrMethod, _qstrClass));
    return (this->*pfnHandler)(_qstrBody);
}

void CLS_DmxSimRobot::Refill(int _iDiscs)
{
    m_iBlankDiscs += qMax(0, _iDiscs);
}

DmxSimAnswer CLS_DmxSimRobot::Shares(const QString&)
{
    if (m_stOptions.iDrives != 2)
        return Reply(QJsonArray());
    return Reply(QJsonArray{QJsonObject{
        {"status", 1}, {"addrsrc", m_stOptions.qstrShare}, {"user", "burn"}, {"pass", "burn"}}});
}

DmxSimAnswer CLS_DmxSimRobot::SysStatus(const QString&)
{
    const bool blRunning = ServiceRunning();
    const int iSysStatus = blRunning ? n_SysStatus_Running : m_blStarted ? n_SysStatus_Starting : n_SysStatus_Stopped;
    return Reply(QJsonObject{{"taskState", blRunning ? 1 : 0}, {"icwmSysStatus", iSysStatus}});
}

DmxSimAnswer CLS_DmxSimRobot::StartService(const QString&)
{
    if (m_blStarted)
        return Reply(QJsonObject());
    m_blStarted = true;
    m_deadlineStart.setRemainingTime(static_cast<qint64>(m_stOptions.dSlowStartSecs * 1000));
    emit signalServiceState(QStringLiteral("starting"));
    ServiceRunning();
    return Reply(QJsonObject());
}

DmxSimAnswer CLS_DmxSimRobot::AddTask(const QString& _qstrBody)
{
    const QJsonObject qjsonTask = QJsonDocument::fromJson(_qstrBody.toUtf8()).object();
    const QString qstrGuid = qjsonTask.value("guid").toString();
    if (qstrGuid.isEmpty())
        return DmxSimRefusal(QStringLiteral("任务缺少guid"));
    if (FindTask(qstrGuid))
        return DmxSimRefusal(QStringLiteral("任务已存在:%1").arg(qstrGuid));
    const QJsonArray qjsonFiles = qjsonTask.value("burnFiles").toArray();
    if (qjsonFiles.isEmpty())
        return DmxSimRefusal(QStringLiteral("任务缺少刻录文件"));
    const int iBurnCount = qMax(1, IntOf(qjsonTask.value("burnCount"), 1));
    if (m_stOptions.iDrives == 12 && m_iBlankDiscs < iBurnCount)
        return DmxSimRefusal(QStringLiteral("盘仓光盘数量不足"), n_ErrId_TooFewDiscs);
    DmxSimTask stTask;
    stTask.qstrGuid = qstrGuid;
    stTask.qjsonTask = qjsonTask;
    stTask.vecFiles = FilesOf(qjsonFiles);
    stTask.iBurnCount = iBurnCount;
    stTask.blPrint = IntOf(qjsonTask.value("isPrint"), 0) != 0;
    stTask.qstrFailMsg = FailCodeFor(m_stOptions.vecFailRules, qstrGuid);
    m_vecTasks << stTask;
    SetStatus(m_vecTasks.last(), n_DmxStatus_Queued, StatusText(n_DmxStatus_Queued));
    return Reply(QJsonObject{{"guid", qstrGuid}});
}

DmxSimAnswer CLS_DmxSimRobot::PrintTemplate(const QString&)
{
    return Reply(QJsonObject{{"id", QStringLiteral("T%1").arg(++m_iTemplates)}});
}

DmxSimAnswer CLS_DmxSimRobot::Printer(const QString&)
{
    QJsonArray qjsonInks;
    for (const DmxSimInk& stInk : m_vecInks)
        qjsonInks << QJsonObject{{"colorName", stInk.qstrColor}, {"level", stInk.iLevel}};
    return Reply(QJsonObject{{"inkInfos", qjsonInks}});
}

DmxSimAnswer CLS_DmxSimRobot::DepotInfos(const QString&)
{
    return Reply(QJsonArray{QJsonObject{{"dwType", 0}, {"count", m_iBlankDiscs}},
                            QJsonObject{{"dwType", 2}, {"count", m_iBurnedDiscs}}});
}

DmxSimAnswer CLS_DmxSimRobot::CdItemCount(const QString&)
{
    return DmxSimAnswer{true, 0, QString::number(m_iBlankDiscs)};
}

DmxSimAnswer CLS_DmxSimRobot::TaskSysLogs(const QString& _qstrBody)
{
    const QJsonObject qjsonQuery = QJsonDocument::fromJson(_qstrBody.toUtf8()).object();
    const int iSeverity = IntOf(qjsonQuery.value("slSeverity"), 0);
    const DmxSimTask* pTask = FindTask(qjsonQuery.value("taskId").toString());
    QJsonArray qjsonLogs;
    for (const QJsonValue& qjsonLog : pTask ? pTask->qjsonLogs : QJsonArray()) {
        if (iSeverity == 0 || qjsonLog.toObject().value("slSeverity").toInt() == iSeverity)
            qjsonLogs << qjsonLog;
    }
    return Reply(qjsonLogs);
}

DmxSimAnswer CLS_DmxSimRobot::EditTask(const QString& _qstrBody)
{
    const QJsonObject qjsonEdit = QJsonDocument::fromJson(_qstrBody.toUtf8()).object();
    DmxSimTask* pTask = FindTask(qjsonEdit.value("guid").toString());
    if (!pTask)
        return DmxSimRefusal(QStringLiteral("任务不存在:%1").arg(qjsonEdit.value("guid").toString()));
    for (auto it = qjsonEdit.begin(); it != qjsonEdit.end(); ++it)
        pTask->qjsonTask.insert(it.key(), it.value());
    Restart(*pTask, false);
    return Reply(QJsonObject());
}

DmxSimAnswer CLS_DmxSimRobot::GoRunTask(const QString& _qstrBody)
{
    DmxSimTask* pTask = FindTask(GuidOf(_qstrBody));
    if (!pTask)
        return DmxSimRefusal(QStringLiteral("任务不存在:%1").arg(GuidOf(_qstrBody)));
    Restart(*pTask, true);
    return Reply(QJsonObject());
}

bool CLS_DmxSimRobot::ServiceRunning()
{
    if (m_blRunning || !m_blStarted || !m_deadlineStart.hasExpired())
        return m_blRunning;
    m_blRunning = true;
    emit signalServiceState(QStringLiteral("running"));
    return true;
}

DmxSimTask* CLS_DmxSimRobot::FindTask(const QString& _qstrGuid)
{
    for (DmxSimTask& stTask : m_vecTasks) {
        if (stTask.qstrGuid == _qstrGuid)
            return &stTask;
    }
    return nullptr;
}

void CLS_DmxSimRobot::SlotStep()
{
    if (!ServiceRunning())
        return;
    for (DmxSimTask& stTask : m_vecTasks) {
        if (stTask.blRunning)
            Advance(stTask);
    }
}

void CLS_DmxSimRobot::Advance(DmxSimTask& _stTask)
{
    switch (_stTask.iStatus) {
    case n_DmxStatus_Queued:
        SetStatus(_stTask, n_DmxStatus_Preparing, StatusText(n_DmxStatus_Preparing));
        return Log(_stTask, 1, 0, QStringLiteral("任务开始准备"));
    case n_DmxStatus_Preparing:
        if (!_stTask.qstrFailMsg.isEmpty())
            return End(_stTask, n_DmxStatus_Error, _stTask.qstrFailMsg, 0);
        SetStatus(_stTask, n_DmxStatus_Burning, StatusText(n_DmxStatus_Burning));
        return Log(_stTask, 1, 0, QStringLiteral("开始刻录"));
    case n_DmxStatus_Burning:
        return Burn(_stTask);
    case n_DmxStatus_Printing:
        return Print(_stTask);
    default:
        return;
    }
}

void CLS_DmxSimRobot::Burn(DmxSimTask& _stTask)
{
    if (_stTask.iBurned >= _stTask.iBurnCount && _stTask.blPrint) {
        SetStatus(_stTask, n_DmxStatus_Printing, StatusText(n_DmxStatus_Printing));
        return Log(_stTask, 1, 0, QStringLiteral("开始打印"));
    }
    if (_stTask.iBurned >= _stTask.iBurnCount)
        return End(_stTask, n_DmxStatus_Finished, QStringLiteral("任务完成"), 0);
    if (m_iBlankDiscs <= 0)
        return End(_stTask, n_DmxStatus_Error, QStringLiteral("盘仓中没有空白光盘"), n_ErrId_OutOfDiscs);
    const QString qstrMissing = MissingSource(_stTask);
    if (!qstrMissing.isEmpty())
        return End(_stTask, n_DmxStatus_Error, QStringLiteral("源文件不存在:%1").arg(qstrMissing), 0);
    --m_iBlankDiscs;
    ++m_iBurnedDiscs;
    ++_stTask.iBurned;
    Log(_stTask, 1, 0, QStringLiteral("第%1/%2张光盘刻录完成").arg(_stTask.iBurned).arg(_stTask.iBurnCount));
}

void CLS_DmxSimRobot::Print(DmxSimTask& _stTask)
{
    for (DmxSimInk& stInk : m_vecInks)
        stInk.iLevel = qMax(0, stInk.iLevel - _stTask.iBurnCount);
    Log(_stTask, 1, 0, QStringLiteral("%1张光盘打印完成").arg(_stTask.iBurnCount));
    End(_stTask, n_DmxStatus_Finished, QStringLiteral("任务完成"), 0);
}

void CLS_DmxSimRobot::Restart(DmxSimTask& _stTask, bool _blRun)
{
    _stTask.iBurned = 0;
    _stTask.blRunning = _blRun;
    if (_stTask.iStatus != n_DmxStatus_Queued)
        SetStatus(_stTask, n_DmxStatus_Queued, StatusText(n_DmxStatus_Queued));
}

void CLS_DmxSimRobot::SetStatus(DmxSimTask& _stTask, int _iStatus, const QString& _qstrText)
{
    _stTask.iStatus = _iStatus;
    emit signalEvent(QStringLiteral("TaskStatus"),
                     Compact(QJsonObject{{"status", _iStatus}, {"guid", _stTask.qstrGuid}}));
    emit signalTaskState(_stTask.qstrGuid, _iStatus, _qstrText);
}

void CLS_DmxSimRobot::Log(DmxSimTask& _stTask, int _iSeverity, int _iErrorId, const QString& _qstrMsg)
{
    const QJsonObject qjsonLog{
        {"slLinkGuid", _stTask.qstrGuid}, {"slMsg", _qstrMsg}, {"slSeverity", _iSeverity}, {"slErrorId", _iErrorId}};
    _stTask.qjsonLogs << qjsonLog;
    emit signalEvent(QStringLiteral("SysLog"), Compact(qjsonLog));
}

void CLS_DmxSimRobot::End(DmxSimTask& _stTask, int _iStatus, const QString& _qstrMsg, int _iErrorId)
{
    const bool blError = _iStatus == n_DmxStatus_Error;
    _stTask.blRunning = false;
    WriteResult(_stTask, blError ? "error " + _qstrMsg : QStringLiteral("finished"));
    // The log first: whoever reacts to the status finds the reason already there.
    Log(_stTask, blError ? 2 : 1, _iErrorId, _qstrMsg);
    SetStatus(_stTask, _iStatus, blError ? _qstrMsg : StatusText(_iStatus));
    // A task out of discs waits to be run again: it has not ended for --max-tasks.
    if (_iErrorId != n_ErrId_OutOfDiscs)
        emit signalTaskEnded();
}

void CLS_DmxSimRobot::WriteResult(const DmxSimTask& _stTask, const QString& _qstrOutcome) const
{
    QStringList qlstLines{"TASK=" + _stTask.qstrGuid,
                          "DRIVES=" + QString::number(m_stOptions.iDrives),
                          "OUTCOME=" + _qstrOutcome,
                          "COPIES=" + QString::number(_stTask.iBurnCount),
                          "CD_TYPE=" + _stTask.qjsonTask.value("cdType").toVariant().toString(),
                          "LABEL=" + _stTask.qjsonTask.value("label").toString(),
                          _stTask.blPrint ? QStringLiteral("PRINT=yes") : QStringLiteral("PRINT=no"),
                          "FILES=" + QString::number(_stTask.vecFiles.size())};
    qint64 llBytes = 0;
    QStringList qlstFiles;
    for (const DmxSimFile& stFile : _stTask.vecFiles) {
        const qint64 llSize = SourceSize(LocalPath(stFile.qstrSrcPath));
        llBytes += qMax<qint64>(0, llSize);
        qlstFiles << QStringLiteral("FILE=%1\t%2\t%3")
                         .arg(llSize < 0 ? QStringLiteral("missing") : QString::number(llSize),
                              LocalPath(stFile.qstrSrcPath), LocalPath(stFile.qstrIsoPath));
    }
    qlstLines << "BYTES=" + QString::number(llBytes) << qlstFiles;
    // A guid is a file name here: no separator may lead out of the folder.
    const QString qstrName = QString(_stTask.qstrGuid).replace(QRegularExpression("[/\\\\]"), "_");
    QFile qfile(m_stOptions.qstrOut + QLatin1Char('/') + qstrName + QStringLiteral(".result.txt"));
    if (qfile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qfile.write((qlstLines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

QString CLS_DmxSimRobot::MissingSource(const DmxSimTask& _stTask) const
{
    for (const DmxSimFile& stFile : _stTask.vecFiles) {
        if (SourceSize(LocalPath(stFile.qstrSrcPath)) < 0)
            return stFile.qstrSrcPath;
    }
    return QString();
}
