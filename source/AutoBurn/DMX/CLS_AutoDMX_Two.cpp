#include "CLS_AutoDMX_Two.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QReadLocker>
#include <QWriteLocker>

#include "BurnDefine.h"
#include "BurnLibBinding.h"
#include "BurnTiming.h"
#include "FileOpt/FileCopy.h"
#include "JobFolder.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\DMX\\CLS_AutoDMX_Two";
constexpr int n_ShortTimeoutMs = 10000;
constexpr int n_StartTimeoutMs = 180000;
constexpr int n_TaskTimeoutMs = 600000;
constexpr int n_ServiceStartWaitMs = 30000;
constexpr int n_StatusPeriodMs = 60000;
const char s_szCoverDir[] = "/BurnServerFile/CDCover/";

QByteArray Utf8(const QString& _qstrText)
{
    return _qstrText.toUtf8();
}

// The share arrives with "\" separators; outside Windows the module reaches the same
// folder with "/".
QString LocalPath(QString _qstrPath)
{
#ifdef Q_OS_WIN
    return _qstrPath;
#else
    return _qstrPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
}

}  // namespace

CLS_AutoDMX_Two::CLS_AutoDMX_Two(int _iDevType)
    : m_qmapMediaCode(DMXMediaCodeMap)
    , m_iDevType(_iDevType)
    , m_pJobLock(std::make_unique<QReadWriteLock>())
    , m_pStatusLock(std::make_unique<QReadWriteLock>())
    , m_pThread(std::make_unique<QThread>())
{
    m_stDevStatus.iDevType = _iDevType;
    // Events come on the library's thread; they are handled on the backend's own.
    connect(this, &CLS_AutoDMX_Two::SignalEventChange, this, &CLS_AutoDMX_Two::slotEventChange,
            Qt::QueuedConnection);
    m_pThread->setObjectName(QStringLiteral("DMX%1").arg(_iDevType));
    m_pThread->start();
    moveToThread(m_pThread.get());
    QMetaObject::invokeMethod(this, [this] {
        m_pTimer = new QTimer(this);
        connect(m_pTimer, &QTimer::timeout, this, &CLS_AutoDMX_Two::slotQueryDevStatus);
        m_pTimer->start(ScaledMs(n_StatusPeriodMs));
    });
}

CLS_AutoDMX_Two::~CLS_AutoDMX_Two()
{
    Disconnect();
    // The timer belongs to the backend's thread and is stopped there.
    QMetaObject::invokeMethod(this, [this] { delete m_pTimer; }, Qt::BlockingQueuedConnection);
    m_pThread->quit();
    m_pThread->wait();
}

bool CLS_AutoDMX_Two::Init(BurnResultInfo* _pResult)
{
    QMutexLocker locker(&m_mutex);
    // A robot that went away is set up anew when the next job comes.
    if (m_bInit && DMX_isConn(m_pDevice)) {
        BURN_LOG(n_BurnLogLevel_Info, "[DMX]设备已初始化");
        return true;
    }
    m_bInit = false;
    if (!Connect(_pResult))
        return false;
    if (!StartDMXTaskService()) {
        _pResult->qstrErrMsg += QStringLiteral("设备初始化失败:系统异常,请联系管理员");
        BURN_LOG(n_BurnLogLevel_Error, "%s", Utf8(_pResult->qstrErrMsg).constData());
        return false;
    }
    PrepareShare();
    m_bInit = true;
    BURN_LOG(n_BurnLogLevel_Info, "[DMX]设备初始化成功");
    return true;
}

bool CLS_AutoDMX_Two::Connect(BurnResultInfo* _pResult)
{
    const auto fail = [&](const QString& _qstrMsg) {
        _pResult->qstrErrMsg += _qstrMsg;
        BURN_LOG(n_BurnLogLevel_Error, "%s", Utf8(_qstrMsg).constData());
        return false;
    };
    if (!dmx_init(m_strAppPath.c_str()))
        return fail(QStringLiteral("设备初始化失败,请联系管理员"));
    Disconnect();
    m_pDevice = DMX_getDev(Utf8(m_qstrIp).constData(), m_iPort, 0);
    if (m_pDevice)
        m_pchangeEvent = DMX_setChangeEventCall(m_pDevice, &CLS_AutoDMX_Two::DMXChangeEventCallBack, this);
    if (!m_pDevice || !m_pchangeEvent) {
        BURN_LOG(n_BurnLogLevel_Error, !m_pDevice ? "m_pDevice == nullptr" : "m_pchangeEvent == nullptr");
        return fail(QStringLiteral("设备初始化失败:未找到设备,请联系管理员"));
    }
    if (!DMX_isConn(m_pDevice))
        return fail(QStringLiteral("设备初始化失败:设备未连接,请联系管理员"));
    return true;
}

void CLS_AutoDMX_Two::Disconnect()
{
    void* pDevice = m_pDevice.exchange(nullptr);
    if (m_pchangeEvent)
        DMX_destroyChangeEventCall(pDevice, m_pchangeEvent);
    m_pchangeEvent = nullptr;
    if (pDevice)
        DMX_destroyDev(pDevice);
}

void CLS_AutoDMX_Two::PrepareShare()
{
    // The share is asked for first: no lock is held while the robot answers.
    if (!GetShareDir())
        return;
    QMutexLocker locker(&m_shareMutex);
    const QString qstrServerDir = LocalPath(m_qstrShareDir + QStringLiteral("\\BurnServer"));
    if (QFileInfo::exists(qstrServerDir))
        QDir(qstrServerDir).removeRecursively();
}

int CLS_AutoDMX_Two::InquestBurn(std::string _strJobId, int _iCopies, int, std::string _strReqJson,
                                 BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Info, "CLS_AutoDMX::InquestBurn job=%s, copies=%d", _strJobId.c_str(), _iCopies);
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    const QString qstrIp = qjsonReq.value(QStringLiteral("serverIP")).toString(QStringLiteral("127.0.0.1"));
    const int iPort = qjsonReq.value(QStringLiteral("DevPort")).toVariant().toInt() > 0
                          ? qjsonReq.value(QStringLiteral("DevPort")).toVariant().toInt()
                          : 1882;
    {
        QMutexLocker locker(&m_mutex);
        // Another robot: set up anew.
        if (qstrIp != m_qstrIp || iPort != m_iPort)
            m_bInit = false;
        m_qstrIp = qstrIp;
        m_iPort = iPort;
    }
    _pResult->qstrDevIp = qstrIp;
    _pResult->iDevPort = iPort;
    if (!Init(_pResult))
        return 1;
    if (_strJobId.empty())
        return 0;
    if (!AdmitJobId("CLS_AutoDMX::InquestBurn", _strJobId)) {
        _pResult->qstrErrMsg = QStringLiteral("[DMX][任务ID非法]");
        return -1;
    }
    const QString qstrJobId = QString::fromStdString(_strJobId);
    const QString qstrCode = qjsonReq.value(QStringLiteral("poolCode")).toString();
    QWriteLocker locker(m_pJobLock.get());
    DMXJobParam& stJob = m_qmapJobs[qstrJobId];
    stJob.qstrGuid = qstrJobId;
    stJob.qstrCode = qstrCode;
    return 0;
}

int CLS_AutoDMX_Two::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                               std::string _strCDCover, int _iCopies, int, std::string _strCloseDisc, std::string,
                               BurnResultInfo* _pResult)
{
    const QString qstrMedia = QString::fromStdString(_strCDType);
    if (!m_qmapMediaCode.contains(qstrMedia)) {
        _pResult->qstrErrMsg += QStringLiteral("光盘类型不支持: ") + qstrMedia;
        BURN_LOG(n_BurnLogLevel_Error, "%s", Utf8(QStringLiteral("光盘类型不支持:%1").arg(qstrMedia)).constData());
        return -8;
    }
    const bool blKnown = EditJob(QString::fromStdString(_strJobId), [&](DMXJobParam& _stJob) {
        _stJob.qstrLabel = QString::fromStdString(_strCDTitle);
        _stJob.qstrCover = QString::fromStdString(_strCDCover);
        _stJob.iBurnCount = _iCopies;
        _stJob.iCdType = m_qmapMediaCode.value(qstrMedia);
        _stJob.blCloseWholeCd = _strCloseDisc != "NO";
    });
    if (blKnown)
        return 0;
    _pResult->qstrErrMsg = QStringLiteral("[DMX]未找到jobID");
    return -1;
}

int CLS_AutoDMX_Two::CancelBurn(std::string _strJobId)
{
    return ClearData(QString::fromStdString(_strJobId));
}

int CLS_AutoDMX_Two::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    if (_stFileTask.vecFiles.empty()) {
        _pResult->qstrErrMsg = QStringLiteral("[DMX][没有文件]");
        BURN_LOG(n_BurnLogLevel_Error, "[DMX][没有文件]");
        return -2;
    }
    const QString qstrJobId = QString::fromStdString(_strJobId);
    DMXJobParam stJob;
    if (!FindJobParam(qstrJobId, stJob)) {
        _pResult->qstrErrMsg = QStringLiteral("[DMX]未找到jobID");
        return -1;
    }
    for (const auto& file : _stFileTask.vecFiles) {
        if (IsSafeRelativePath(QString::fromStdString(file.second)))
            continue;
        _pResult->qstrErrMsg = QStringLiteral("[DMX][AddFile]目标路径越出任务目录:%1").arg(QString::fromStdString(file.second));
        return -1;
    }
    return ShareAddFile(qstrJobId, _stFileTask, _pResult);
}

int CLS_AutoDMX_Two::ShareAddFile(const QString& _qstrJobId, const BurnFileTask& _stFileTask,
                                  BurnResultInfo* _pResult)
{
    if (!GetShareDir()) {
        _pResult->qstrErrMsg = QStringLiteral("获取共享目录失败");
        return -2;
    }
    std::vector<std::pair<std::string, std::string>> vecBurnFiles;
    for (const auto& file : _stFileTask.vecFiles) {
        const QString qstrTarget = ShareJobDir(_qstrJobId) + DmxDiscPath(file.second);
        const QString qstrDir = QFileInfo(qstrTarget).path();
        FileCopyError stError;
        if (!QDir().mkpath(qstrDir)) {
            BURN_LOG(n_BurnLogLevel_Error, "Failed to create destination directory:%s", Utf8(qstrDir).constData());
            _pResult->qstrErrMsg = QStringLiteral("[DMX]创建共享目录失败:%1").arg(qstrDir);
            return -1;
        }
        QFile::remove(qstrTarget);
        if (!CopyFileContents(QString::fromStdString(file.first), qstrTarget, &stError)) {
            BURN_LOG(n_BurnLogLevel_Error, "Failed to copy:%s to %s", file.first.c_str(), Utf8(qstrTarget).constData());
            _pResult->qstrErrMsg = QStringLiteral("[DMX]复制文件到共享目录失败:%1:%2")
                                       .arg(QString::fromStdString(file.first), stError.qstrText);
            return -1;
        }
        vecBurnFiles.emplace_back(qstrTarget.toStdString(), DmxDiscPath(file.second).toStdString());
    }
    EditJob(_qstrJobId, [&](DMXJobParam& _stJob) {
        _stJob.vecBurnFiles.insert(_stJob.vecBurnFiles.end(), vecBurnFiles.begin(), vecBurnFiles.end());
    });
    return 0;
}

bool CLS_AutoDMX_Two::GetShareDir()
{
    {
        QMutexLocker locker(&m_shareMutex);
        if (!m_qstrShareDir.isEmpty())
            return true;
    }
    QString qstrReply;
    const int iRet = Send("get", "shares", QString(), n_ShortTimeoutMs, qstrReply);
    if (iRet != 1) {
        BURN_LOG(n_BurnLogLevel_Error, "[shares]rrRet=%d strBuff=%s", iRet, Utf8(qstrReply).constData());
        return false;
    }
    const DmxShare stShare = ReadDmxShares(qstrReply);
    for (const QString& qstrKey : stShare.qlstMissingKeys)
        BURN_LOG(n_BurnLogLevel_Error, "[%s] Parameter not found", Utf8(qstrKey).constData());
    if (!stShare.blFound)
        return false;
    QMutexLocker locker(&m_shareMutex);
    m_qstrShareDir = stShare.qstrDir;
    m_qstrShareUser = stShare.qstrUser;
    m_qstrSharePass = stShare.qstrPass;
    return true;
}

int CLS_AutoDMX_Two::GetDMXServiceStatus()
{
    QString qstrReply;
    const int iRet = Send("get", "SysStatus", QString(), n_ShortTimeoutMs, qstrReply);
    if (iRet != 1) {
        BURN_LOG(n_BurnLogLevel_Error, "DMX_sendMsgRet fail, rrRet = %d", iRet);
        return 1;
    }
    QString qstrMissingKey;
    const int iState = DmxServiceState(qstrReply, &qstrMissingKey);
    static const char* const s_arrTexts[] = {"DMX任务服务正常", "", "", "设备状态异常", "DMX任务服务未启动",
                                             "DMX任务服务启动中"};
    if (iState == 2)
        BURN_LOG(n_BurnLogLevel_Error, "[%s] Parameter not found", Utf8(qstrMissingKey).constData());
    else
        BURN_LOG(n_BurnLogLevel_Info, "%s", s_arrTexts[iState]);
    return iState;
}

bool CLS_AutoDMX_Two::StartDMXTaskService()
{
    const int iState = GetDMXServiceStatus();
    if (iState != 4 && iState != 5)
        return iState == 0;
    if (iState == 4) {
        QString qstrReply;
        Send("task", "Start", QString(), n_StartTimeoutMs, qstrReply);
    }
    QThread::msleep(static_cast<unsigned long>(ScaledMs(n_ServiceStartWaitMs)));
    return GetDMXServiceStatus() == 0;
}

int CLS_AutoDMX_Two::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    if (qjsonReq.value(QStringLiteral("enable")).toString() == QLatin1String("0"))
        return 0;
    const QString qstrValues = JsonObjectToString(qjsonReq.value(QStringLiteral("LabelInfo")).toObject());
    EditJob(QString::fromStdString(_strJobId), [&](DMXJobParam& _stJob) {
        _stJob.qstrLabelValues = qstrValues;
        _stJob.blPrint = true;
    });
    return 0;
}

int CLS_AutoDMX_Two::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    if (!IsConnected()) {
        _pResult->qstrErrMsg += QStringLiteral("设备未连接,请联系管理员");
        return -8;
    }
    const QString qstrJobId = QString::fromStdString(_strJobId);
    QString qstrTask;
    if (!GetAddTaskParam(qstrJobId, qstrTask, _pResult))
        return 1;
    return SubmitTask(qstrJobId, qstrTask, _pResult);
}

int CLS_AutoDMX_Two::SubmitTask(const QString& _qstrJobId, const QString& _qstrTask, BurnResultInfo* _pResult)
{
    QString qstrReply;
    int iErrId = 0;
    const int iRet = Send("task", "AddTask", _qstrTask, n_TaskTimeoutMs, qstrReply,
                          AddTaskReportsErrId() ? &iErrId : nullptr);
    if (iRet == 1) {
        BURN_LOG(n_BurnLogLevel_Info, "%s", Utf8(QStringLiteral("[DMX][jobID][%1]任务下发成功").arg(_qstrJobId)).constData());
        return 0;
    }
    if (AcceptRefusedTask(_qstrJobId, iErrId))
        return 0;
    BURN_LOG(n_BurnLogLevel_Error, "[DMX]任务下发失败:rrRet=%d buf=%s", iRet, Utf8(qstrReply).constData());
    _pResult->qstrErrMsg += QStringLiteral("[DMX]任务下发失败") + qstrReply;
    _pResult->qstrErrCode = QString::number(iRet);
    return 1;
}

bool CLS_AutoDMX_Two::GetAddTaskParam(const QString& _qstrJobId, QString& _qstrTask, BurnResultInfo* _pResult)
{
    DMXJobParam stJob;
    if (!FindJobParam(_qstrJobId, stJob)) {
        _pResult->qstrErrMsg = QStringLiteral("未找到参数JobID:[%1]").arg(_qstrJobId);
        return false;
    }
    QJsonObject qjsonPrint;
    const bool blPrint = stJob.blPrint && !stJob.qstrCover.isEmpty();
    if (blPrint && !GetPrintParam(stJob.qstrCover, stJob.qstrLabelValues, qjsonPrint, _pResult))
        return false;
    _qstrTask = DmxTaskText(stJob, blPrint ? &qjsonPrint : nullptr);
    BURN_LOG(n_BurnLogLevel_Info, "[DMX] doBurn qstrData=%s", Utf8(_qstrTask).constData());
    return true;
}

bool CLS_AutoDMX_Two::GetPrintParam(const QString& _qstrCover, const QString& _qstrLabelValues,
                                    QJsonObject& _qjsonPrint, BurnResultInfo* _pResult)
{
    const QString qstrFile = QString::fromStdString(m_strAppPath) + s_szCoverDir + _qstrCover + QStringLiteral(".pt");
    // A cover name that is not a plain file name finds no template.
    if (!IsSafeFolderName(_qstrCover) || !QFileInfo::exists(qstrFile)) {
        _pResult->qstrErrMsg = QStringLiteral("封面文件不存在:%1").arg(qstrFile);
        return false;
    }
    QFile qfile(qstrFile);
    if (!qfile.open(QIODevice::ReadOnly)) {
        BURN_LOG(n_BurnLogLevel_Error, "File open failed!");
        return false;
    }
    QString qstrReply;
    const int iRet = Send("set", "PrintTemplate", QString::fromUtf8(qfile.readAll()), n_TaskTimeoutMs, qstrReply);
    if (iRet != 1) {
        BURN_LOG(n_BurnLogLevel_Error, "[SetPrintTemplate]rrRet=%d strBuff=%s", iRet, Utf8(qstrReply).constData());
        _pResult->qstrErrMsg = QStringLiteral("封面模板设置失败:%1").arg(qstrReply);
        return false;
    }
    _qjsonPrint = QJsonObject{{QStringLiteral("id"), QStringToJsonObject(qstrReply).value(QStringLiteral("id"))},
                              {QStringLiteral("values"), QStringToJsonObject(_qstrLabelValues)}};
    return true;
}

int CLS_AutoDMX_Two::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    DMXJobParam stJob;
    // A job the robot never had is not reported.
    if (!FindJobParam(_qstrJobId, stJob))
        return n_BurnJobState_Unknown;
    if (!IsConnected()) {
        _pResult->qstrErrMsg += QStringLiteral("设备未连接,请联系管理员");
        return n_BurnJobState_Error;
    }
    _pResult->qstrErrCode = QString::number(stJob.iTaskStatus);
    _pResult->qstrErrMsg += stJob.qstrStatusMsg;
    _pResult->qstrErrLogs += stJob.qstrLogs;
    return MapDmxTaskStatus(stJob.iTaskStatus, MissDiscIsWaiting());
}

int CLS_AutoDMX_Two::GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo*)
{
    DMXDevStatus stStatus;
    {
        QReadLocker locker(m_pStatusLock.get());
        stStatus = m_stDevStatus;
    }
    _qstrStatusMsg = DmxRobotStatusText(stStatus);
    return 0;
}

int CLS_AutoDMX_Two::ClearData(QString _qstrJobId)
{
    ForgetShareCopy(_qstrJobId);
    QWriteLocker locker(m_pJobLock.get());
    m_qmapJobs.remove(_qstrJobId);
    return 0;
}

void CLS_AutoDMX_Two::ForgetShareCopy(const QString& _qstrGuid)
{
    const QString qstrJobDir = ShareJobDir(_qstrGuid);
    if (!qstrJobDir.isEmpty() && IsSafeFolderName(_qstrGuid))
        QDir(qstrJobDir).removeRecursively();
}

QString CLS_AutoDMX_Two::ShareJobDir(const QString& _qstrGuid) const
{
    QMutexLocker locker(&m_shareMutex);
    if (m_qstrShareDir.isEmpty())
        return QString();
    return LocalPath(m_qstrShareDir + QStringLiteral("\\BurnServer\\") + _qstrGuid);
}

void CLS_AutoDMX_Two::DMXChangeEventCallBack(const char* _szCmd, const char* _szJson, void* _pContext)
{
    if (!_pContext) {
        BURN_LOG(n_BurnLogLevel_Error, "context == nullptr");
        return;
    }
    BURN_LOG(n_BurnLogLevel_Info, "cmd=%s json=%s", _szCmd ? _szCmd : "", _szJson ? _szJson : "");
    emit static_cast<CLS_AutoDMX_Two*>(_pContext)->SignalEventChange(QString::fromUtf8(_szCmd),
                                                                     QString::fromUtf8(_szJson));
}

void CLS_AutoDMX_Two::slotEventChange(QString _qstrCmd, QString _qstrJson)
{
    const QJsonObject qjsonEvent = QStringToJsonObject(_qstrJson);
    if (_qstrCmd == QLatin1String("TaskStatus"))
        OnTaskStatus(qjsonEvent.value(QStringLiteral("guid")).toString(),
                     qjsonEvent.value(QStringLiteral("status")).toInt());
    else if (_qstrCmd == QLatin1String("SysLog"))
        OnSysLog(_qstrJson);
}

void CLS_AutoDMX_Two::OnTaskStatus(const QString& _qstrGuid, int _iStatus)
{
    if (IsDmxErrorStatus(_iStatus))
        ForgetShareCopy(_qstrGuid);
    SetTaskStatus(_qstrGuid, _iStatus);
}

void CLS_AutoDMX_Two::OnSysLog(const QString& _qstrJson)
{
    const QJsonObject qjsonLog = QStringToJsonObject(_qstrJson);
    if (qjsonLog.value(QStringLiteral("slSeverity")).toInt() < 2)
        return;
    // The robot's own words become the job's message as well as its log.
    EditJob(qjsonLog.value(QStringLiteral("slLinkGuid")).toString(), [&](DMXJobParam& _stJob) {
        _stJob.qstrLogs += _qstrJson;
        _stJob.qstrStatusMsg = qjsonLog.value(QStringLiteral("slMsg")).toString();
    });
}

void CLS_AutoDMX_Two::SetTaskStatus(const QString& _qstrGuid, int _iStatus)
{
    EditJob(_qstrGuid, [&](DMXJobParam& _stJob) { _stJob.iTaskStatus = _iStatus; });
}

void CLS_AutoDMX_Two::slotQueryDevStatus()
{
    if (!IsConnected()) {
        BURN_LOG(n_BurnLogLevel_Error, "设备未连接");
        return;
    }
    DMXDevStatus stStatus;
    stStatus.iDevType = m_iDevType;
    QString qstrReply;
    if (Send("get", "Printer", QString(), n_ShortTimeoutMs, qstrReply) == 1)
        ReadDmxInks(qstrReply, stStatus);
    const bool blDiscsKnown = ReadDiscStock(stStatus.iEmptyDiscCount);
    stStatus.iErrorCode = DmxErrorCode(stStatus, blDiscsKnown);
    QWriteLocker locker(m_pStatusLock.get());
    m_stDevStatus = stStatus;
}

bool CLS_AutoDMX_Two::ReadDiscStock(int& _iCount)
{
    QString qstrReply;
    if (Send("get", "DepotInfos", DmxDepotFilter(), n_ShortTimeoutMs, qstrReply) != 1)
        return false;
    int iUnreadable = 0;
    _iCount = ReadDmxDepotDiscs(qstrReply, &iUnreadable);
    for (int i = 0; i < iUnreadable; ++i)
        BURN_LOG(n_BurnLogLevel_Error, "[slErrorId] Parameter not found");
    return true;
}

bool CLS_AutoDMX_Two::IsConnected() const
{
    return m_bInit && DMX_isConn(m_pDevice);
}

int CLS_AutoDMX_Two::Send(const char* _szMethod, const char* _szClass, const QString& _qstrBody, int _iTimeoutMs,
                          QString& _qstrReply, int* _piErrId)
{
    std::string strReply;
    const QByteArray qbaBody = Utf8(_qstrBody);
    const int iRet = _piErrId ? DMX_sendMsgErrRet(m_pDevice, _szMethod, _szClass, "", qbaBody.constData(),
                                                  _iTimeoutMs, strReply, _piErrId)
                              : DMX_sendMsgRet(m_pDevice, _szMethod, _szClass, "", qbaBody.constData(), _iTimeoutMs,
                                               strReply);
    _qstrReply = QString::fromStdString(strReply);
    return iRet;
}

bool CLS_AutoDMX_Two::FindJobParam(const QString& _qstrJobId, DMXJobParam& _stJob) const
{
    QReadLocker locker(m_pJobLock.get());
    auto itJob = m_qmapJobs.constFind(_qstrJobId);
    if (itJob == m_qmapJobs.constEnd())
        return false;
    _stJob = *itJob;
    return true;
}
