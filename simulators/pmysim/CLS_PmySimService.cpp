#include "CLS_PmySimService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>

#include "PubSimFiles.h"

namespace
{
// The robot's "out of blank discs" error, as the module reads it with system state 2.
constexpr int n_ErrNoDiscs = 15;
constexpr int n_StateIdle = 0;
constexpr int n_StateBusy = 1;
constexpr int n_StateError = 2;
// Bins that are not fitted report 255.
constexpr int n_NoBin = 255;
// SDK error codes the service answers with.
constexpr int n_ErrAbnormal = 11002;
constexpr int n_ErrInvalid = 11003;
constexpr int n_ErrNotFound = 11008;
constexpr int n_ErrNoFiles = 11014;

QString Compact(const QJsonObject& _qjsonObject)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObject).toJson(QJsonDocument::Compact));
}

PmySimAnswer Refusal(int _iErrId, const QString& _qstrMsg)
{
    return {false, _iErrId, Compact({{"msg", _qstrMsg}})};
}

QJsonObject Body(const QString& _qstrBody)
{
    return QJsonDocument::fromJson(_qstrBody.toUtf8()).object();
}

QString ValueText(const QJsonValue& _qjsonValue)
{
    return _qjsonValue.isString() ? _qjsonValue.toString() : _qjsonValue.toVariant().toString();
}

// "config" as the library sends it ([{key, value}] in order) or as an object.
QMap<QString, QString> ReadConfig(const QJsonValue& _qjsonConfig)
{
    QMap<QString, QString> qmapConfig;
    for (const QJsonValue& qjsonItem : _qjsonConfig.toArray())
        qmapConfig.insert(qjsonItem.toObject().value("key").toString(), ValueText(qjsonItem.toObject().value("value")));
    const QJsonObject qjsonObject = _qjsonConfig.toObject();
    for (auto it = qjsonObject.begin(); it != qjsonObject.end(); ++it)
        qmapConfig.insert(it.key(), ValueText(it.value()));
    return qmapConfig;
}

QString StatusMessage(const QJsonArray& _qjsonTasks, int _iErrorCode = 0, const QString& _qstrError = QString())
{
    return Compact({{"error_code", _iErrorCode}, {"error_msg", _qstrError}, {"tasks", _qjsonTasks}});
}
}  // namespace

QJsonObject PmySimTaskJson(const PmySimTask& _stTask)
{
    return QJsonObject{{"id", _stTask.qstrId},           {"job_id", _stTask.qstrJobId},
                       {"status_code", _stTask.iStatus}, {"status_string", _stTask.qstrText},
                       {"copies", _stTask.iCopies},      {"copies_done", _stTask.iBurned},
                       {"submit_count", _stTask.iSubmits}};
}

CLS_PmySimService::CLS_PmySimService(const PmySimOptions& _stOptions, QObject* _pParent)
    : QObject(_pParent)
    , m_stOptions(_stOptions)
    , m_vecDrives(_stOptions.iDrives)
    , m_iBlankDiscs(_stOptions.iDiscs)
    , m_iInk(_stOptions.iInk)
{
    m_qstrLastRobot = RobotStatusJson();
}

bool CLS_PmySimService::Prepare(QString& _qstrError) const
{
    if (QDir().mkpath(m_stOptions.qstrOut))
        return true;
    _qstrError = QStringLiteral("cannot create %1").arg(m_stOptions.qstrOut);
    return false;
}

PmySimAnswer CLS_PmySimService::Answer(const QString& _qstrClass, const QString& _qstrBody)
{
    const QJsonObject qjsonBody = Body(_qstrBody);
    if (_qstrClass == QLatin1String("SubmitTask"))
        return Submit(qjsonBody);
    if (_qstrClass == QLatin1String("GetTaskStatus"))
        return TaskStatus(qjsonBody);
    if (_qstrClass == QLatin1String("CancelTask"))
        return Cancel(qjsonBody);
    if (_qstrClass == QLatin1String("GetRobotStatus"))
        return {true, 0, RobotStatusJson()};
    if (_qstrClass == QLatin1String("RobotCmd"))
        return RobotCmd(qjsonBody);
    if (_qstrClass == QLatin1String("Stats"))
        return Stats(qjsonBody);
    if (_qstrClass == QLatin1String("RestartService")) {
        emit signalLine(QStringLiteral("restart"));
        emit signalEvent(QStringLiteral("RobotStatus"), RobotStatusJson());
        return {true, 0, QStringLiteral("{}")};
    }
    if (_qstrClass == QLatin1String("Ping"))
        return {true, 0, QStringLiteral("{}")};
    return Refusal(n_ErrInvalid, QStringLiteral("不支持的请求:") + _qstrClass);
}

PmySimAnswer CLS_PmySimService::Submit(const QJsonObject& _qjsonTask)
{
    const QString qstrJobId = _qjsonTask.value("job_id").toString();
    if (qstrJobId.isEmpty())
        return Refusal(n_ErrInvalid, QStringLiteral("缺少job_id"));
    PmySimTask stTask;
    for (const QJsonValue& qjsonFile : _qjsonTask.value("files").toArray()) {
        const QJsonObject qjsonEntry = qjsonFile.toObject();
        const QString qstrType = qjsonEntry.value("type").toString(QStringLiteral("file"));
        stTask.vecEntries << PmySimEntry{qstrType, QDir::fromNativeSeparators(qjsonEntry.value("src").toString()),
                                         QDir::fromNativeSeparators(qjsonEntry.value("dst").toString())};
    }
    const bool blHasData = std::any_of(stTask.vecEntries.cbegin(), stTask.vecEntries.cend(),
                                       [](const PmySimEntry& _stEntry) { return _stEntry.qstrType != "dir"; });
    if (!blHasData)
        return Refusal(n_ErrNoFiles, QStringLiteral("任务中未添加刻录文件"));
    stTask.qstrId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    stTask.qstrJobId = qstrJobId;
    stTask.iSubmits = ++m_qhashSubmits[qstrJobId];
    stTask.qmapConfig = ReadConfig(_qjsonTask.value("config"));
    stTask.iCopies = std::max(1, stTask.qmapConfig.value(QStringLiteral("copy_count"), QStringLiteral("1")).toInt());
    stTask.qstrPrintFile = _qjsonTask.value("print_file").toString();
    const QJsonObject qjsonFields = _qjsonTask.value("print_fields").toObject();
    for (auto it = qjsonFields.begin(); it != qjsonFields.end(); ++it)
        stTask.qmapFields.insert(it.key().toInt(), ValueText(it.value()));
    stTask.qstrText = QStringLiteral("已提交");
    m_vecOrder << stTask.qstrId;
    m_qhashTasks.insert(stTask.qstrId, stTask);
    PmySimTask& stStored = m_qhashTasks[stTask.qstrId];
    emit signalTaskState(stStored);
    emit signalEvent(QStringLiteral("TaskStatus"), StatusMessage({PmySimTaskJson(stStored)}));
    return {true, 0, Compact({{"task_id", stTask.qstrId}})};
}

PmySimAnswer CLS_PmySimService::TaskStatus(const QJsonObject& _qjsonBody) const
{
    const QString qstrId = _qjsonBody.value("id").toString();
    QJsonArray qjsonTasks;
    if (qstrId.isEmpty()) {
        for (const QString& qstrTaskId : m_vecOrder)
            qjsonTasks << PmySimTaskJson(m_qhashTasks.value(qstrTaskId));
        return {true, 0, StatusMessage(qjsonTasks)};
    }
    if (!m_qhashTasks.contains(qstrId))
        return Refusal(n_ErrNotFound, QStringLiteral("未找到任务"));
    return {true, 0, StatusMessage({PmySimTaskJson(m_qhashTasks.value(qstrId))})};
}

PmySimAnswer CLS_PmySimService::Cancel(const QJsonObject& _qjsonBody)
{
    const QString qstrId = _qjsonBody.value("id").toString();
    if (!m_qhashTasks.contains(qstrId))
        return Refusal(n_ErrNotFound, QStringLiteral("未找到任务"));
    PmySimTask& stTask = m_qhashTasks[qstrId];
    if (stTask.iStatus >= 3)
        return Refusal(n_ErrAbnormal, QStringLiteral("任务已结束"));
    End(stTask, 4, QStringLiteral("已取消"));
    PushRobotIfChanged();
    return {true, 0, QStringLiteral("{}")};
}

PmySimAnswer CLS_PmySimService::RobotCmd(const QJsonObject& _qjsonBody)
{
    // Command 1 of robot 0 calibrates the printer; nothing else is known.
    if (_qjsonBody.value("robot").toInt(-1) != 0 || _qjsonBody.value("cmd").toInt(-1) != 1)
        return Refusal(n_ErrInvalid, QStringLiteral("不支持的命令"));
    if (Busy()) {
        emit signalLine(QStringLiteral("calibrate busy"));
        return Refusal(n_ErrAbnormal, QStringLiteral("设备繁忙"));
    }
    emit signalLine(QStringLiteral("calibrate ok"));
    Dynamic(nullptr, QStringLiteral("calibration"), QStringLiteral("打印机校准完成"));
    return {true, 0, QStringLiteral("{}")};
}

PmySimAnswer CLS_PmySimService::Stats(const QJsonObject& _qjsonBody) const
{
    if (_qjsonBody.contains("job_id")) {
        const QString qstrJobId = _qjsonBody.value("job_id").toString();
        return {true, 0, Compact({{"job_id", qstrJobId}, {"submits", m_qhashSubmits.value(qstrJobId)}})};
    }
    QJsonObject qjsonSubmits;
    for (auto it = m_qhashSubmits.cbegin(); it != m_qhashSubmits.cend(); ++it)
        qjsonSubmits.insert(it.key(), it.value());
    return {true, 0, Compact({{"submits", qjsonSubmits}, {"tasks", m_vecOrder.size()}})};
}

void CLS_PmySimService::Refill(int _iDiscs)
{
    m_iBlankDiscs += _iDiscs;
    PushRobotIfChanged();
}

void CLS_PmySimService::SlotStep()
{
    for (const QString& qstrId : m_vecOrder) {
        PmySimTask& stTask = m_qhashTasks[qstrId];
        if (stTask.iStatus < 3)
            StepTask(stTask);
    }
    PushRobotIfChanged();
}

void CLS_PmySimService::StepTask(PmySimTask& _stTask)
{
    if (_stTask.iStatus == 0) {
        SetStatus(_stTask, 1, QStringLiteral("排队中"));
        return;
    }
    if (_stTask.iStatus == 2)
        return Burn(_stTask);
    const int iDrive = FreeDrive();
    if (iDrive < 0)
        return;
    const QString qstrFail = FailCodeFor(m_stOptions.vecFailRules, _stTask.qstrJobId);
    if (!qstrFail.isEmpty())
        return End(_stTask, 5, qstrFail);
    _stTask.iDrive = iDrive;
    m_vecDrives[iDrive] = _stTask.qstrId;
    SetStatus(_stTask, 2, QStringLiteral("刻录中"));
}

void CLS_PmySimService::Burn(PmySimTask& _stTask)
{
    if (_stTask.iBurned >= _stTask.iCopies)
        return End(_stTask, 3, QStringLiteral("刻录完成"));
    for (const PmySimEntry& stEntry : _stTask.vecEntries) {
        if (stEntry.qstrType != QLatin1String("dir") && !QFileInfo::exists(stEntry.qstrSrc))
            return End(_stTask, 5, QStringLiteral("源文件不存在:") + stEntry.qstrSrc);
    }
    if (m_iBlankDiscs <= 0) {
        if (!_stTask.blWaitingForDiscs)
            Dynamic(&_stTask, QStringLiteral("error"), QStringLiteral("盘仓中没有空白光盘"));
        _stTask.blWaitingForDiscs = true;
        return;
    }
    _stTask.blWaitingForDiscs = false;
    --m_iBlankDiscs;
    ++m_iBurnedDiscs;
    ++_stTask.iBurned;
    if (!_stTask.qmapFields.isEmpty() || !_stTask.qstrPrintFile.isEmpty())
        m_iInk = std::max(0, m_iInk - 1);
    Dynamic(&_stTask, QStringLiteral("progress"),
            QStringLiteral("第%1/%2张光盘刻录完成").arg(_stTask.iBurned).arg(_stTask.iCopies));
    emit signalEvent(QStringLiteral("TaskStatus"), StatusMessage({PmySimTaskJson(_stTask)}));
}

void CLS_PmySimService::SetStatus(PmySimTask& _stTask, int _iStatus, const QString& _qstrText)
{
    _stTask.iStatus = _iStatus;
    _stTask.qstrText = _qstrText;
    emit signalTaskState(_stTask);
    emit signalEvent(QStringLiteral("TaskStatus"), StatusMessage({PmySimTaskJson(_stTask)}));
}

void CLS_PmySimService::End(PmySimTask& _stTask, int _iStatus, const QString& _qstrText)
{
    if (_stTask.iDrive >= 0)
        m_vecDrives[_stTask.iDrive].clear();
    _stTask.iDrive = -1;
    _stTask.blWaitingForDiscs = false;
    // The result is on disk before any client hears of the end.
    WriteResult(_stTask, _iStatus == 3   ? QStringLiteral("finished")
                         : _iStatus == 4 ? QStringLiteral("cancelled")
                                         : "error " + _qstrText);
    Dynamic(&_stTask, _iStatus == 3 ? QStringLiteral("finished") : QStringLiteral("error"), _qstrText);
    SetStatus(_stTask, _iStatus, _qstrText);
    emit signalTaskEnded();
}

void CLS_PmySimService::Dynamic(const PmySimTask* _pTask, const QString& _qstrType, const QString& _qstrMessage)
{
    const QJsonObject qjsonDynamic{{"task_id", _pTask ? _pTask->qstrId : QString()},
                                   {"job_id", _pTask ? _pTask->qstrJobId : QString()},
                                   {"type", _qstrType},
                                   {"message", _qstrMessage},
                                   {"time", QDateTime::currentDateTime().toString(Qt::ISODate)}};
    emit signalEvent(QStringLiteral("Dynamic"), Compact({{"dynamic", qjsonDynamic}}));
}

void CLS_PmySimService::PushRobotIfChanged()
{
    const QString qstrRobot = RobotStatusJson();
    if (qstrRobot == m_qstrLastRobot)
        return;
    m_qstrLastRobot = qstrRobot;
    emit signalEvent(QStringLiteral("RobotStatus"), qstrRobot);
}

int CLS_PmySimService::FreeDrive() const
{
    for (int iDrive = 0; iDrive < m_vecDrives.size(); ++iDrive) {
        if (m_vecDrives.at(iDrive).isEmpty())
            return iDrive;
    }
    return -1;
}

bool CLS_PmySimService::Busy() const
{
    return m_stOptions.blBusy || std::any_of(m_vecDrives.cbegin(), m_vecDrives.cend(),
                                             [](const QString& _qstrTaskId) { return !_qstrTaskId.isEmpty(); });
}

QString CLS_PmySimService::RobotStatusJson() const
{
    const bool blNoDiscs = m_iBlankDiscs <= 0 && std::any_of(m_qhashTasks.cbegin(), m_qhashTasks.cend(),
                                                             [](const PmySimTask& _stTask) {
                                                                 return _stTask.blWaitingForDiscs;
                                                             });
    const int iState = blNoDiscs ? n_StateError : Busy() ? n_StateBusy : n_StateIdle;
    QJsonArray qjsonDrives;
    for (int iDrive = 0; iDrive < m_vecDrives.size(); ++iDrive) {
        const bool blUsed = !m_vecDrives.at(iDrive).isEmpty();
        qjsonDrives << QJsonObject{{"index", iDrive}, {"state", blUsed ? 1 : 0},
                                   {"state_string", blUsed ? QStringLiteral("刻录中") : QStringLiteral("空闲")},
                                   {"task_id", m_vecDrives.at(iDrive)}};
    }
    const bool blOneBin = m_stOptions.iBins == 1;
    const QJsonObject qjsonDevice{
        {"device_id", "PMY4200-SIM"},
        {"bins_count", m_stOptions.iBins},
        {"bin1_disc_count", blOneBin ? m_iBlankDiscs : m_iBurnedDiscs},
        {"bin2_disc_count", blOneBin ? n_NoBin : m_iBlankDiscs},
        {"system_state", iState},
        {"system_state_string", iState == n_StateError  ? QStringLiteral("故障")
                                : iState == n_StateBusy ? QStringLiteral("忙碌")
                                                        : QStringLiteral("空闲")},
        {"system_error", blNoDiscs ? n_ErrNoDiscs : 0},
        {"system_error_string", blNoDiscs ? QStringLiteral("盘仓中没有空白光盘") : QStringLiteral("无错误")},
        {"black_ink", m_iInk},
        {"yellow_ink", m_iInk},
        {"red_ink", m_iInk},
        {"blue_ink", m_iInk},
        {"drives", qjsonDrives}};
    return Compact({{"error_code", 0}, {"error_msg", ""}, {"devices", QJsonArray{qjsonDevice}}});
}

void CLS_PmySimService::WriteResult(const PmySimTask& _stTask, const QString& _qstrOutcome) const
{
    QStringList qlstLines{"TASK=" + _stTask.qstrId,
                          "JOB=" + _stTask.qstrJobId,
                          "SUBMITS=" + QString::number(m_qhashSubmits.value(_stTask.qstrJobId)),
                          "OUTCOME=" + _qstrOutcome,
                          "COPIES=" + QString::number(_stTask.iCopies),
                          "BURNED=" + QString::number(_stTask.iBurned),
                          "DISC_TYPE=" + _stTask.qmapConfig.value("disc_type"),
                          "CLOSE_DISC=" + _stTask.qmapConfig.value("close_disc"),
                          "LABEL=" + _stTask.qmapConfig.value("disc_label"),
                          "OUTPUT_MODE=" + _stTask.qmapConfig.value("disc_output_mode"),
                          "PRINT_FILE=" + _stTask.qstrPrintFile,
                          "FIELDS=" + QString::number(_stTask.qmapFields.size())};
    for (auto it = _stTask.qmapFields.cbegin(); it != _stTask.qmapFields.cend(); ++it)
        qlstLines << QStringLiteral("FIELD=%1\t%2").arg(it.key()).arg(it.value());
    QStringList qlstFiles;
    qint64 llBytes = 0;
    int iFiles = 0;
    for (const PmySimEntry& stEntry : _stTask.vecEntries) {
        if (stEntry.qstrType == QLatin1String("dir")) {
            qlstFiles << "DIR=" + stEntry.qstrDst;
            continue;
        }
        const qint64 llSize = SourceSize(stEntry.qstrSrc);
        llBytes += std::max<qint64>(llSize, 0);
        ++iFiles;
        qlstFiles << QStringLiteral("FILE=%1\t%2\t%3")
                         .arg(llSize < 0 ? QStringLiteral("missing") : QString::number(llSize), stEntry.qstrSrc,
                              stEntry.qstrDst);
    }
    qlstLines << "FILES=" + QString::number(iFiles) << "BYTES=" + QString::number(llBytes) << qlstFiles;
    QFile qfile(m_stOptions.qstrOut + '/' + _stTask.qstrId + ".result.txt");
    if (qfile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qfile.write((qlstLines.join('\n') + '\n').toUtf8());
}
