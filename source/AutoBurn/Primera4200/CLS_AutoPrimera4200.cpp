#include "CLS_AutoPrimera4200.h"

#include <QJsonDocument>
#include <QMutexLocker>
#include <QReadLocker>
#include <QWriteLocker>

#include <vector>

#include "BurnDefine.h"
#include "BurnLibBinding.h"
#include "CommonFun.h"
#include "JobFolder.h"
#include "ModuleLog.h"
#include "PmyService.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Primera4200\\CLS_AutoPrimera4200";
constexpr int n_StatusBufferSize = 2048;
constexpr int n_TaskTypeData = 1;
constexpr int n_RobotCmdCalibrate = 1;
constexpr int n_DefaultPort = 6000;

QByteArray Utf8(const QString& _qstrText)
{
    return _qstrText.toUtf8();
}

// An SDK failure as the client sees it: the code, and the code with its text.
void ReportSdkError(int _iCode, BurnResultInfo* _pResult)
{
    _pResult->qstrErrCode = QString::number(_iCode);
    _pResult->qstrErrMsg = QString::number(_iCode) + ":" + PmyErrorText(_iCode);
}

// A status text by the SDK's buffer protocol: 11006 says how long the buffer must be. The
// text may grow between two calls (tasks move on), so the buffer grows a few times.
template <class Ask>
QString AskBuffer(const char* _szWhat, Ask _ask, int* _piRet)
{
    constexpr int n_Attempts = 5;
    std::vector<char> vecBuf(n_StatusBufferSize, '\0');
    int iLen = n_StatusBufferSize;
    *_piRet = _ask(vecBuf.data(), &iLen);
    for (int iAttempt = 1; iAttempt < n_Attempts && *_piRet == n_PmyErr_BufferTooSmall && iLen > 0; ++iAttempt) {
        BURN_LOG(n_BurnLogLevel_Info, "%s", _szWhat);
        vecBuf.assign(static_cast<size_t>(iLen) * 2 + 1, '\0');
        iLen = static_cast<int>(vecBuf.size());
        *_piRet = _ask(vecBuf.data(), &iLen);
    }
    return *_piRet == 0 ? QString::fromUtf8(vecBuf.data()) : QString();
}

// The three SDK callbacks: texts of the backend's current login, raised on the SDK's thread.
CLS_AutoPrimera4200* Receiver(void* _pLogin, const char* _szJson, void* _pUser)
{
    if (!_szJson) {
        BURN_LOG(n_BurnLogLevel_Error, "cpBuffer = [null]");
        return nullptr;
    }
    auto* pBackend = static_cast<CLS_AutoPrimera4200*>(_pUser);
    return pBackend && _pLogin == pBackend->LoginHandle() ? pBackend : nullptr;
}

void OnTaskStatus(void* _pLogin, const char* _szJson, int, void* _pUser)
{
    if (CLS_AutoPrimera4200* pBackend = Receiver(_pLogin, _szJson, _pUser))
        emit pBackend->SigUpdateTaskStatus(QString::fromUtf8(_szJson));
}

void OnRobotStatus(void* _pLogin, const char* _szJson, int, void* _pUser)
{
    if (CLS_AutoPrimera4200* pBackend = Receiver(_pLogin, _szJson, _pUser))
        emit pBackend->SigUpdateRobotStatus(QString::fromUtf8(_szJson));
}

void OnDynamic(void* _pLogin, const char* _szJson, int, void* _pUser)
{
    if (CLS_AutoPrimera4200* pBackend = Receiver(_pLogin, _szJson, _pUser))
        emit pBackend->SigUpdateDynamicStatus(QString::fromUtf8(_szJson));
}
}  // namespace

CLS_AutoPrimera4200::CLS_AutoPrimera4200()
    : m_pTaskLock(std::make_unique<QReadWriteLock>(QReadWriteLock::Recursive))
{
    // The slots run on the SDK's callback thread: the records and robot fields are locked.
    connect(this, &CLS_AutoPrimera4200::SigUpdateTaskStatus, this, &CLS_AutoPrimera4200::SlotUpdateTaskStatus,
            Qt::DirectConnection);
    connect(this, &CLS_AutoPrimera4200::SigUpdateRobotStatus, this, &CLS_AutoPrimera4200::SlotUpdataRobotStatus,
            static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::UniqueConnection));
    connect(this, &CLS_AutoPrimera4200::SigUpdateDynamicStatus, this, &CLS_AutoPrimera4200::SlotUpdateDynamicStatus,
            static_cast<Qt::ConnectionType>(Qt::DirectConnection | Qt::UniqueConnection));
    if (!PMY4200_init_lib(m_strAppPath.c_str()))
        BURN_LOG(n_BurnLogLevel_Error, "PMY4200_init_lib failed.");
    const int iRet = PMYBS_Init();
    if (iRet != 0)
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_Init failed. errcode = [%d]", iRet);
}

CLS_AutoPrimera4200::~CLS_AutoPrimera4200()
{
    PMYBS_Logout(m_pLoginHandle.exchange(nullptr));
    PMYBS_Logout(m_pAdjustHandle.exchange(nullptr));
    PMYBS_Destory();
}

bool CLS_AutoPrimera4200::Init(BurnResultInfo* _pResult)
{
    QString qstrIp;
    int iPort = 0;
    {
        QMutexLocker locker(&m_mutexAddress);
        qstrIp = m_qstrServerIP;
        iPort = m_iServerPort;
    }
    void* pLogin = nullptr;
    int iRet = PMYBS_Login(Utf8(qstrIp).constData(), iPort, &pLogin);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_Login failed. errcode = [%d]", iRet);
        ReportSdkError(iRet, _pResult);
        return false;
    }
    // Every log-in replaces the one whose callbacks count.
    m_pLoginHandle.store(pLogin);
    const std::pair<const char*, int (*)(PFN_PmybsNotify, void*)> arrSteps[] = {
        {"PMYBS_SetTaskStatusCallback failed. errcode = [%d]", &PMYBS_SetTaskStatusCallback},
        {"PMYBS_SetRobotStatusCallback failed. errcode = [%d]", &PMYBS_SetRobotStatusCallback},
        {"PMYBS_SetDynamicCallback failed. errcode = [%d]", &PMYBS_SetDynamicCallback}};
    const PFN_PmybsNotify arrCallbacks[] = {&OnTaskStatus, &OnRobotStatus, &OnDynamic};
    for (size_t i = 0; i < 3; ++i) {
        iRet = arrSteps[i].second(arrCallbacks[i], this);
        if (iRet != 0) {
            BURN_LOG(n_BurnLogLevel_Error, arrSteps[i].first, iRet);
            ReportSdkError(iRet, _pResult);
            return false;
        }
    }
    return true;
}

int CLS_AutoPrimera4200::InquestBurn(std::string, int, int, std::string _strReqJson, BurnResultInfo* _pResult)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    const QString qstrIp = qjsonReq.value("serverIP").toString(QStringLiteral("127.0.0.1"));
    const int iPort = qjsonReq.value("DevPort").toInt(n_DefaultPort);
    {
        QMutexLocker locker(&m_mutexAddress);
        m_qstrServerIP = qstrIp;
        m_iServerPort = iPort;
    }
    if (!Init(_pResult))
        return 1;
    _pResult->qstrDevIp = qstrIp;
    _pResult->iDevPort = iPort;
    return 0;
}

int CLS_AutoPrimera4200::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                                   std::string _strCDCover, int _iCopies, int, std::string _strCloseDisc,
                                   std::string, BurnResultInfo* _pResult)
{
    const QString qstrJobId = QString::fromStdString(_strJobId);
    if (FindRecord(qstrJobId)) {
        BURN_LOG(n_BurnLogLevel_Error, "m_qmapJobTaskInfo.contains[%s]", _strJobId.c_str());
        return -1;
    }
    void* pTask = nullptr;
    const int iRet = PMYBS_CreateTask(m_pLoginHandle.load(), n_TaskTypeData, _strJobId.c_str(), &pTask);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_CreateTask failed. errcode=[%d]", iRet);
        ReportSdkError(iRet, _pResult);
        return 1;
    }
    auto pJob = std::make_shared<PMYJobTaskInfo>();
    pJob->m_qstrJobId = qstrJobId;
    pJob->m_pTask = pTask;
    pJob->m_iDiscType = MediaCodeMap.value(QString::fromStdString(_strCDType), 2);
    pJob->m_bCloseDisc = _strCloseDisc == "YES";
    pJob->m_qstrDiscLabel = QString::fromStdString(_strCDTitle);
    pJob->m_iCopyCount = _iCopies;
    pJob->m_qstrPrintFile = QString::fromStdString(m_strAppPath + "/BurnServerFile/CDCover/" + _strCDCover + ".PTF");
    QWriteLocker locker(m_pTaskLock.get());
    m_qmapJobTaskInfo.append(pJob);
    return 0;
}

int CLS_AutoPrimera4200::CancelBurn(std::string _strJobId)
{
    const std::optional<PMYJobTaskInfo> stJob = FindRecord(QString::fromStdString(_strJobId));
    if (!stJob) {
        BURN_LOG(n_BurnLogLevel_Error, "can not find job=[%s]", _strJobId.c_str());
        return -1;
    }
    return PMYBS_CancleTaskById(m_pLoginHandle.load(), Utf8(stJob->m_qstrTaskId).constData()) == 0 ? 0 : -1;
}

int CLS_AutoPrimera4200::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    const std::optional<PMYJobTaskInfo> stJob = FindRecord(QString::fromStdString(_strJobId));
    if (!stJob) {
        BURN_LOG(n_BurnLogLevel_Error, "can not find job=[%s]", _strJobId.c_str());
        _pResult->qstrErrMsg = QStringLiteral("[Primera4200][未找到jobID]:") + QString::fromStdString(_strJobId);
        return -1;
    }
    if (!stJob->m_pTask)
        return 0;
    auto& vecFiles = _stFileTask.vecFiles;
    while (!vecFiles.empty()) {
        const auto& stFile = vecFiles.front();
        const int iRet = PMYBS_AddFile(stJob->m_pTask, stFile.first.c_str(), stFile.second.c_str());
        if (iRet != 0) {
            BURN_LOG(n_BurnLogLevel_Error, "PMYBS_AddFile failed.errcode=[%d] srcfile=[%s] dstfile=[%s]", iRet,
                     stFile.first.c_str(), stFile.second.c_str());
            ReportSdkError(iRet, _pResult);
            return 1;
        }
        vecFiles.erase(vecFiles.begin());
    }
    return 0;
}

int CLS_AutoPrimera4200::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult)
{
    const QString qstrJobId = QString::fromStdString(_strJobId);
    if (!FindRecord(qstrJobId)) {
        BURN_LOG(n_BurnLogLevel_Error, "[Primera4200][WriteLabel]can not find job=[%s]", _strJobId.c_str());
        _pResult->qstrErrMsg = QStringLiteral("[Primera4200][WriteLabel not find jobid]") + qstrJobId;
        return -1;
    }
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    if (qjsonReq.value("enable").toString() == "0")
        return 0;
    const PmyLabelFields stFields = ReadPmyLabelFields(qjsonReq.value("LabelInfo").toObject());
    QWriteLocker locker(m_pTaskLock.get());
    for (const auto& pJob : m_qmapJobTaskInfo) {
        if (pJob->m_qstrJobId != qstrJobId)
            continue;
        pJob->m_listUp = stFields.qlstUp;
        pJob->m_listLeft = stFields.qlstLeft;
        pJob->m_listRight = stFields.qlstRight;
        pJob->m_listDown = stFields.qlstDown;
        break;
    }
    return 0;
}

int CLS_AutoPrimera4200::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    const QString qstrJobId = QString::fromStdString(_strJobId);
    const std::optional<PMYJobTaskInfo> stJob = FindRecord(qstrJobId);
    if (!stJob) {
        BURN_LOG(n_BurnLogLevel_Error, "can not find job=[%s]", _strJobId.c_str());
        _pResult->qstrErrMsg = QStringLiteral("[Primera4200][DoBurn can not find job]") + qstrJobId;
        return -1;
    }
    if (ConfigureTask(*stJob, _pResult) != 0)
        return 1;
    std::optional<QString> optTaskId = SubmittedTask(qstrJobId, _pResult);
    if (!optTaskId)
        return 1;
    QString qstrTaskId = *optTaskId;
    if (qstrTaskId.isEmpty() && (qstrTaskId = SubmitTask(*stJob, _pResult)).isEmpty())
        return 1;
    // Recovery at the next start re-attaches the job by this id (the store's working
    // parameter of its DoBurn); the job folder keeps a copy for people.
    SaveJobInfo(qstrJobId, QStringLiteral("TaskId"), qstrTaskId);
    SaveWorkParam(qstrJobId, QStringLiteral("DoBurn"), qstrTaskId);
    QWriteLocker locker(m_pTaskLock.get());
    for (const auto& pJob : m_qmapJobTaskInfo) {
        if (pJob->m_qstrJobId == qstrJobId) {
            pJob->m_qstrTaskId = qstrTaskId;
            break;
        }
    }
    return 0;
}

// A crash between the service taking the task and its id being recorded would burn the job
// twice when its DoBurn is replayed, so the job folder marks a submission under way and a
// replayed one takes over the task the service already holds for the job.
std::optional<QString> CLS_AutoPrimera4200::SubmittedTask(const QString& _qstrJobId, BurnResultInfo* _pResult)
{
    void* pLogin = m_pLoginHandle.load();
    if (ReadJobInfoFile(_qstrJobId, QStringLiteral("TaskSubmit")).isEmpty() || !pLogin)
        return QString();
    int iRet = 0;
    const QString qstrMsg = AskBuffer(
        "DoBurn PMYBS_GetTaskStatus!", [&](char* _szBuf, int* _piLen) {
            return PMYBS_GetTaskStatus(pLogin, "", _szBuf, _piLen);
        }, &iRet);
    const PmyTaskReply stReply = ReadPmyTaskStatus(qstrMsg);
    // Not knowing whether the service holds the job, submitting could burn it twice.
    if (iRet != 0 || !stReply.blValid || stReply.iErrorCode != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "DoBurn job=[%s] earlier submission unknown: err[%d]",
                 Utf8(_qstrJobId).constData(), iRet);
        ReportSdkError(iRet != 0 ? iRet : stReply.iErrorCode, _pResult);
        return std::nullopt;
    }
    QString qstrTaskId;
    for (const PmyTaskStatus& stTask : stReply.vecTasks) {
        if (stTask.qstrJobId == _qstrJobId)
            qstrTaskId = stTask.qstrId;
    }
    BURN_LOG(n_BurnLogLevel_Info, "DoBurn job=[%s] submitted before: task[%s]", Utf8(_qstrJobId).constData(),
             Utf8(qstrTaskId).constData());
    return qstrTaskId;
}

QString CLS_AutoPrimera4200::SubmitTask(const PMYJobTaskInfo& _stJob, BurnResultInfo* _pResult)
{
    SaveJobInfo(_stJob.m_qstrJobId, QStringLiteral("TaskSubmit"), QStringLiteral("submitting"));
    char szTaskId[n_PmybsTaskIdSize] = {};
    const int iRet = PMYBS_SubmitTask(_stJob.m_pTask, szTaskId);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_SubmitTask failed. job=[%s]  errcode=[%d]",
                 Utf8(_stJob.m_qstrJobId).constData(), iRet);
        ReportSdkError(iRet, _pResult);
        return QString();
    }
    szTaskId[n_PmybsTaskIdSize - 1] = '\0';
    return QString::fromUtf8(szTaskId);
}

int CLS_AutoPrimera4200::ConfigureTask(const PMYJobTaskInfo& _stJob, BurnResultInfo* _pResult)
{
    void* pTask = _stJob.m_pTask;
    if (!_stJob.m_qstrPrintFile.isEmpty())
        PMYBS_SetPrintFile(pTask, Utf8(_stJob.m_qstrPrintFile).constData(), 0);
    const std::pair<const QStringList*, int> arrAreas[] = {
        {&_stJob.m_listUp, 1}, {&_stJob.m_listLeft, 11}, {&_stJob.m_listRight, 21}, {&_stJob.m_listDown, 31}};
    for (const auto& stArea : arrAreas) {
        for (int i = 0; i < stArea.first->size(); ++i)
            PMYBS_SetPrintField(pTask, stArea.second + i, Utf8(stArea.first->at(i)).constData());
    }
    const std::pair<const char*, QString> arrOptions[] = {
        {"disc_type", QString::number(_stJob.m_iDiscType)},
        {"close_disc", _stJob.m_bCloseDisc ? "1" : "0"},
        {"disc_label", _stJob.m_qstrDiscLabel},
        {"copy_count", QString::number(_stJob.m_iCopyCount)}};
    const char* const arrLogs[] = {"PMYBS_SetTaskConfig PMYBS_SDK_TASK_CFG_DISC_TYPE failed. errcode=[%d]",
                                   "PMYBS_SetTaskConfig PMYBS_SDK_TASK_CFG_CLOSE_DISC failed. errcode=[%d]",
                                   "PMYBS_SetTaskConfig PMYBS_SDK_TASK_CFG_DISC_LABEL failed. errcode=[%d]",
                                   "PMYBS_SetTaskConfig PMYBS_SDK_TASK_CFG_COPY_COUNT failed. errcode=[%d]"};
    for (size_t i = 0; i < 4; ++i) {
        const int iRet = PMYBS_SetTaskConfig(pTask, arrOptions[i].first, Utf8(arrOptions[i].second).constData());
        if (iRet != 0) {
            BURN_LOG(n_BurnLogLevel_Error, arrLogs[i], iRet);
            ReportSdkError(iRet, _pResult);
            return iRet;
        }
    }
    SetOutputMode(pTask, _stJob.m_iOutputMode);
    return 0;
}

void CLS_AutoPrimera4200::SetOutputMode(void* _pTask, int _iMode)
{
    const int iRet = PMYBS_SetTaskConfig(_pTask, "disc_output_mode", QByteArray::number(_iMode).constData());
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "%s%d", "输出模式设置失败，当前输出模式:", m_iOutputMode.load());
        return;
    }
    m_iOutputMode.store(_iMode);
    BURN_LOG(n_BurnLogLevel_Info, "%s%d", "输出模式设置成功，当前输出模式:", _iMode);
}

int CLS_AutoPrimera4200::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    const std::optional<PMYJobTaskInfo> stJob = FindRecord(_qstrJobId);
    if (!stJob)
        return -1;
    _pResult->qstrErrMsg = stJob->m_qstrStatusMsg;
    return stJob->m_iStatus;
}

int CLS_AutoPrimera4200::ClearData(QString _qstrJobId)
{
    std::shared_ptr<PMYJobTaskInfo> pRemoved;
    {
        QWriteLocker locker(m_pTaskLock.get());
        for (int i = 0; i < m_qmapJobTaskInfo.size(); ++i) {
            if (m_qmapJobTaskInfo.at(i)->m_qstrJobId == _qstrJobId) {
                pRemoved = m_qmapJobTaskInfo.takeAt(i);
                break;
            }
        }
    }
    // The task handle is freed outside the lock: the SDK is never called under it.
    if (pRemoved && pRemoved->m_pTask)
        PMYBS_CloseTask(pRemoved->m_pTask);
    return 0;
}

int CLS_AutoPrimera4200::GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo*)
{
    QMutexLocker locker(&m_mutexRobot);
    _qstrStatusMsg = PmyRobotStatusMessage(m_jsonRobotStatus, m_jsonDynamic);
    m_jsonDynamic = QJsonArray();
    return 0;
}

int CLS_AutoPrimera4200::LoginForAdjust(const std::string& _strReq, BurnResultInfo* _pResult)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strReq);
    const QByteArray qbaIp = Utf8(qjsonReq.value("devIP").toString(QStringLiteral("127.0.0.1")));
    const int iPort = qjsonReq.value("devPort").toInt(n_DefaultPort);
    // A calibration logs in anew; the login of the one before is let go.
    PMYBS_Logout(m_pAdjustHandle.exchange(nullptr));
    void* pLogin = nullptr;
    const int iRet = PMYBS_Login(qbaIp.constData(), iPort, &pLogin);
    m_pAdjustHandle.store(pLogin);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_Login failed. errcode = [%d]", iRet);
        _pResult->qstrErrMsg = QStringLiteral("PMYBS_Login failed.");
        return -9;
    }
    if (!pLogin) {
        BURN_LOG(n_BurnLogLevel_Error, "pLoginHandle == nullptr");
        _pResult->qstrErrMsg = QStringLiteral("pLoginHandle == nullptr.");
        return -9;
    }
    return 0;
}

int CLS_AutoPrimera4200::AdjustPrinter(std::string _strReq, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Info, "AdjustPrinter start!");
    if (LoginForAdjust(_strReq, _pResult) != 0)
        return -9;
    void* pLogin = m_pAdjustHandle.load();
    int iRet = 0;
    const QString qstrRobot = AskBuffer(
        "AdjustPrinter PMYBS_GetRobotStatus!",
        [pLogin](char* _szBuf, int* _piLen) { return PMYBS_GetRobotStatus(pLogin, _szBuf, _piLen); }, &iRet);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, PMYBS_GetRobotStatus failed. errcode = [%d]", __FUNCTION__, iRet);
        ReportSdkError(iRet, _pResult);
        return -9;
    }
    const QString qstrRefusal = PmyCalibrationRefusal(qstrRobot);
    if (!qstrRefusal.isEmpty()) {
        _pResult->qstrErrMsg = qstrRefusal;
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrErrMsg = %s", __FUNCTION__, Utf8(qstrRefusal).constData());
        return -9;
    }
    iRet = PMYBS_ExecuteRobotCmd(pLogin, 0, n_RobotCmdCalibrate);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "PMYBS_ExecuteRobotCmd failed. errcode = [%d]", iRet);
        _pResult->qstrErrMsg = QStringLiteral("PMYBS_ExecuteRobotCmd[JZDYJ] failed.");
        return -9;
    }
    BURN_LOG(n_BurnLogLevel_Info, "AdjustPrinter finish!");
    return 0;
}

bool CLS_AutoPrimera4200::FindJob(QString _qstrJobId, QString _qstrTaskId)
{
    void* pLogin = m_pLoginHandle.load();
    const QByteArray qbaTaskId = Utf8(_qstrTaskId);
    if (!pLogin) {
        BURN_LOG(n_BurnLogLevel_Error, "CLS_AutoPrimera4200::FindJob nullptr == m_pLoginHandle, job[%s], task[%s]",
                 Utf8(_qstrJobId).constData(), qbaTaskId.constData());
        return false;
    }
    int iRet = 0;
    const QString qstrMsg = AskBuffer(
        "FindJob PMYBS_GetTaskStatus!",
        [&](char* _szBuf, int* _piLen) { return PMYBS_GetTaskStatus(pLogin, qbaTaskId.constData(), _szBuf, _piLen); },
        &iRet);
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "FindJob PMYBS_GetTaskStatus err[%d]!", iRet);
        return false;
    }
    BURN_LOG(n_BurnLogLevel_Info, "FindJob PMYBS_GetTaskStatus msg[%s]!", Utf8(qstrMsg).constData());
    const PmyTaskReply stReply = ReadPmyTaskStatus(qstrMsg);
    if (!stReply.blValid || stReply.iErrorCode != 0)
        return false;
    if (stReply.vecTasks.empty()) {
        BURN_LOG(n_BurnLogLevel_Error, "FindJob PMYBS_GetTaskStatus tasks is empty [id=%s]!", qbaTaskId.constData());
        return false;
    }
    const PmyTaskStatus& stTask = stReply.vecTasks.front();
    const int iStatus = PmyTaskState(stTask.iStatusCode);
    SetJobStatusByTaskId(_qstrTaskId, iStatus, stTask.qstrStatusText);
    BURN_LOG(n_BurnLogLevel_Info, "CLS_AutoPrimera4200::FindJob iStatus_code[%d] msg[%s] iStatus[%d]",
             stTask.iStatusCode, Utf8(stTask.qstrStatusText).constData(), iStatus);
    return true;
}

bool CLS_AutoPrimera4200::UpdateJobInfo(QString _qstrJobId, QString _qstrTaskId, QString)
{
    {
        QWriteLocker locker(m_pTaskLock.get());
        for (const auto& pJob : m_qmapJobTaskInfo) {
            if (pJob->m_qstrJobId == _qstrJobId) {
                BURN_LOG(n_BurnLogLevel_Error, "CLS_AutoPrimera4200::UpdateJobInfo _qstrJobId[%s] is exsit !!!",
                         Utf8(_qstrJobId).constData());
                return false;
            }
        }
        auto pJob = std::make_shared<PMYJobTaskInfo>();
        pJob->m_qstrJobId = _qstrJobId;
        pJob->m_qstrTaskId = _qstrTaskId;
        m_qmapJobTaskInfo.append(pJob);
    }
    // Recovery runs before any ApplyBurn: the service's callbacks need a login, and the
    // task's state so far is asked once.
    BurnResultInfo stResult;
    if (m_pLoginHandle.load() || Init(&stResult))
        FindJob(_qstrJobId, _qstrTaskId);
    return true;
}

void CLS_AutoPrimera4200::SlotUpdateTaskStatus(QString _qstrMsg)
{
    BURN_LOG(n_BurnLogLevel_Info, "CLS_AutoPrimera4200::SlotUpdateTaskStatus msg=%s", Utf8(_qstrMsg).constData());
    const PmyTaskReply stReply = ReadPmyTaskStatus(_qstrMsg);
    if (!stReply.blValid) {
        BURN_LOG(n_BurnLogLevel_Error, "invalid response. err: %s", Utf8(stReply.qstrParseError).constData());
        return;
    }
    if (stReply.iErrorCode != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "query fail. err: %d %s", stReply.iErrorCode,
                 Utf8(stReply.qstrErrorMsg).constData());
        return;
    }
    for (const PmyTaskStatus& stTask : stReply.vecTasks) {
        if (HasTask(stTask.qstrId))
            SetJobStatusByTaskId(stTask.qstrId, PmyTaskState(stTask.iStatusCode), stTask.qstrStatusText);
    }
}

void CLS_AutoPrimera4200::SlotUpdataRobotStatus(QString _qstrMsg)
{
    BURN_LOG(n_BurnLogLevel_Info, "[SlotUpdataRobotStatus:刻录机返回参数][%s]", Utf8(_qstrMsg).constData());
    const std::optional<QJsonObject> qjsonStatus = ReadPmyRobotStatus(_qstrMsg, GetLocalIPv4List());
    if (!qjsonStatus) {
        BURN_LOG(n_BurnLogLevel_Error, "[pmy4200]设备返回参数为空");
        return;
    }
    QMutexLocker locker(&m_mutexRobot);
    m_jsonRobotStatus = *qjsonStatus;
}

void CLS_AutoPrimera4200::SlotUpdateDynamicStatus(QString _qstrMsg)
{
    const std::optional<QJsonObject> qjsonDynamic = ReadPmyDynamic(_qstrMsg);
    if (!qjsonDynamic)
        return;
    QMutexLocker locker(&m_mutexRobot);
    m_jsonDynamic.append(*qjsonDynamic);
}

std::optional<PMYJobTaskInfo> CLS_AutoPrimera4200::FindRecord(const QString& _qstrJobId) const
{
    QReadLocker locker(m_pTaskLock.get());
    for (const auto& pJob : m_qmapJobTaskInfo) {
        if (pJob->m_qstrJobId == _qstrJobId)
            return *pJob;
    }
    return std::nullopt;
}

bool CLS_AutoPrimera4200::HasTask(const QString& _qstrTaskId) const
{
    QReadLocker locker(m_pTaskLock.get());
    for (const auto& pJob : m_qmapJobTaskInfo) {
        if (!pJob->m_qstrTaskId.isEmpty() && pJob->m_qstrTaskId == _qstrTaskId)
            return true;
    }
    return false;
}

void CLS_AutoPrimera4200::SetJobStatusByTaskId(const QString& _qstrTaskId, int _iStatus, const QString& _qstrMsg)
{
    QWriteLocker locker(m_pTaskLock.get());
    for (const auto& pJob : m_qmapJobTaskInfo) {
        if (pJob->m_qstrTaskId == _qstrTaskId) {
            pJob->m_iStatus = _iStatus;
            pJob->m_qstrStatusMsg = _qstrMsg;
            return;
        }
    }
}
