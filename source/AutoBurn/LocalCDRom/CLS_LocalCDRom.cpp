#include "CLS_LocalCDRom.h"

#include <QApplication>
#include <QJsonObject>
#include <QThread>

#include "BurnDefine.h"
#include "BurnLibBinding.h"
#include "BurnTiming.h"
#include "CLS_MessageBox.h"
#include "LocalCDRomTexts.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\LocalCDRom\\CLS_LocalCDRom";
constexpr int n_ProcessJobPeriodMs = 3000;
constexpr int n_OnlineHeartPeriodMs = 1000;
constexpr int n_IconWarning = 2;

QString Text(const std::string& _strText)
{
    return QString::fromStdString(_strText);
}

// Every backend refuses ids that cannot name a folder and steps of jobs it never saw.
void Refuse(BurnResultInfo* _pResult, const char* _szWhy)
{
    if (_pResult)
        _pResult->qstrErrMsg = QStringLiteral("[LocalCDRom]") + QString::fromUtf8(_szWhy);
}

bool IsFinal(int _iStatus)
{
    return _iStatus == n_BurnJobState_Finished || _iStatus == n_BurnJobState_Error;
}
}  // namespace

CLS_LocalCDRom::CLS_LocalCDRom()
{
    // Closing an operator dialog must never end the host.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_pJobLock = std::make_unique<QReadWriteLock>(QReadWriteLock::Recursive);
    connect(this, &CLS_LocalCDRom::SigIoctrlCB, this, &CLS_LocalCDRom::SlotIoctrlCB, Qt::QueuedConnection);
    // The timers and the dialogs need the event loop of the application's thread; the
    // bus builds backends on its worker threads.
    QCoreApplication* pApp = QCoreApplication::instance();
    if (!pApp || QThread::currentThread() == pApp->thread()) {
        BurnResultInfo stResult;
        Init(&stResult);
        return;
    }
    moveToThread(pApp->thread());
    QMetaObject::invokeMethod(
        this,
        [this] {
            BurnResultInfo stResult;
            Init(&stResult);
        },
        Qt::QueuedConnection);
}

// The library is never stopped, but it must not call back into a backend that is gone.
CLS_LocalCDRom::~CLS_LocalCDRom()
{
    if (m_pTmrProcessJob)
        IOCtrlSetBurnCallBack(nullptr, nullptr);
    if (m_hAliveMsg)
        alivemsg_destroy(m_hAliveMsg);
}

bool CLS_LocalCDRom::Init(BurnResultInfo*)
{
    const char szFun[] = "CLS_LocalCDRom::Init";
    m_strWorkDir = m_strAppPath + "/";
    if (!burnsdkioctrl_init(m_strWorkDir.c_str())) {
        BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, burnsdkioctrl_init blRet=%d， m_strWorkDir=%s", szFun, 0,
                 m_strWorkDir.c_str());
        return false;
    }
    const int iRet = IOCtrlInit();
    if (iRet != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, IOCtrlInit iRet=%d", szFun, iRet);
        return false;
    }
    IOCtrlSetBurnCallBack(&CLS_LocalCDRom::IOCtrlCallBackFunc, this);
    StartTimers();
    return StartNotificationService();
}

void CLS_LocalCDRom::StartTimers()
{
    m_pTmrOnlineHeart = new QTimer(this);
    connect(m_pTmrOnlineHeart, &QTimer::timeout, this, &CLS_LocalCDRom::SlotTmrOnlineHeart);
    m_pTmrOnlineHeart->start(ScaledMs(n_OnlineHeartPeriodMs));
    m_pTmrProcessJob = new QTimer(this);
    connect(m_pTmrProcessJob, &QTimer::timeout, this, &CLS_LocalCDRom::SlotTmrProcessJob);
    m_pTmrProcessJob->start(ScaledMs(n_ProcessJobPeriodMs));
}

bool CLS_LocalCDRom::StartNotificationService()
{
    if (alivemsg_init_lib(m_strWorkDir.c_str()) == 0)
        BURN_LOG(n_BurnLogLevel_Error, "!alivemsg_init_lib--%s", m_strWorkDir.c_str());
    alivemsg_startup();
    if (alivemsg_is_startup() != 1 && alivemsg_startup() != 0) {
        BURN_LOG(n_BurnLogLevel_Error, "alivemsg_startup != 0!");
        return false;
    }
    m_hAliveMsg = alivemsg_create();
    const QJsonObject qjsonDisplay{{"showAction", 5}, {"hideAction", 5}, {"displayPosition", 4},
                                   {"capacity", 1},   {"duration", 0}};
    CallNotificationMethod("InitData", JsonObjectToString(qjsonDisplay));
    const QJsonObject qjsonSkin{{"path", Text(m_strWorkDir) + "MessageServerFile/skin/skinTwo/default.qss"},
                                {"titlebk", "2452397"}};
    CallNotificationMethod("SetSkin", JsonObjectToString(qjsonSkin));
    CLS_MessageBox::SetSkinName(QStringLiteral("skinTwo"));
    return true;
}

void CLS_LocalCDRom::CallNotificationMethod(const char* _szMethod, const QString& _qstrParam)
{
    char* pcTemp = nullptr;
    alivemsg_call_method(m_hAliveMsg, _szMethod, _qstrParam.toLocal8Bit().constData(), &pcTemp);
    if (!pcTemp)
        return;
    BURN_LOG(n_BurnLogLevel_Info, "pcTemp[%s]", pcTemp);
    alivemsg_free_ptr(m_hAliveMsg, pcTemp);
}

void CLS_LocalCDRom::IOCtrlCallBackFunc(const char* _szMsg, void* _pContext)
{
    if (_pContext)
        emit static_cast<CLS_LocalCDRom*>(_pContext)->SigIoctrlCB(QString::fromUtf8(_szMsg));
}

int CLS_LocalCDRom::InquestBurn(std::string, int, int, std::string, BurnResultInfo*)
{
    return 0;
}

int CLS_LocalCDRom::StartBurn(std::string _strJobId, std::string, std::string _strCDTitle, std::string, int, int,
                              std::string, std::string, BurnResultInfo* _pResult)
{
    if (_strJobId.empty()) {
        BURN_LOG(n_BurnLogLevel_Error, "_strJobID.length() <= 0");
        Refuse(_pResult, "[任务ID非法]");
        return -1;
    }
    if (!AdmitJobId("CLS_LocalCDRom::StartBurn", _strJobId)) {
        Refuse(_pResult, "[任务ID非法]");
        return -1;
    }
    auto pJob = std::make_unique<LocalBurnJob>();
    pJob->m_qstrJobId = Text(_strJobId);
    pJob->m_qstrTitle = Text(_strCDTitle);
    InsertJob(std::move(pJob));
    return 0;
}

int CLS_LocalCDRom::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    QWriteLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_qstrJobId != Text(_strJobId))
            continue;
        for (const auto& prFile : _stFileTask.vecFiles)
            pJob->m_vecFiles.emplace_back(Text(prFile.first), Text(prFile.second));
        return 0;
    }
    Refuse(_pResult, "[未找到jobID]");
    return -1;
}

int CLS_LocalCDRom::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    // Nothing to start: the job timer picks a job up as soon as it has files.
    if (!HasJob(Text(_strJobId))) {
        Refuse(_pResult, "[未找到jobID]");
        return -1;
    }
    return 0;
}

int CLS_LocalCDRom::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    BURN_LOG(n_BurnLogLevel_Info, "file=%s, FUN=%s, _strJobIDt=%s, _sReplaceFile=%s", s_szLogSource,
             "CLS_LocalCDRom::WriteLabel", _strJobId.c_str(), _strReqJson.c_str());
    return 0;
}

int CLS_LocalCDRom::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    QReadLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_qstrJobId != _qstrJobId)
            continue;
        if (_pResult)
            _pResult->qstrErrMsg = pJob->m_qstrMsg;
        return pJob->m_iStatus;
    }
    return -1;
}

int CLS_LocalCDRom::ClearData(QString _qstrJobId)
{
    QWriteLocker locker(m_pJobLock.get());
    for (auto it = m_listJob.begin(); it != m_listJob.end(); ++it) {
        if ((*it)->m_qstrJobId != _qstrJobId)
            continue;
        if (!IsFinal((*it)->m_iStatus) && m_atUnFinishedCount > 0) {
            --m_atUnFinishedCount;
            BURN_LOG(n_BurnLogLevel_Info, "%s %d %s%d", "CLS_LocalCDRom::ClearData", 580, "m_atUnFinishedCount = ",
                     m_atUnFinishedCount.load());
        }
        m_listJob.erase(it);
        break;
    }
    return 0;
}

int CLS_LocalCDRom::CancelBurn(std::string _strJobId)
{
    if (!_strJobId.empty())
        IOCtrForceCancel(GetGroupIdByJobId(Text(_strJobId)));
    return 0;
}

void CLS_LocalCDRom::InsertJob(std::unique_ptr<LocalBurnJob> _pJob)
{
    QWriteLocker locker(m_pJobLock.get());
    m_listJob.push_back(std::move(_pJob));
    ++m_atUnFinishedCount;
    BURN_LOG(n_BurnLogLevel_Info, "%s %d %s%d", "CLS_LocalCDRom::InsertJob", 611, "m_atUnFinishedCount = ",
             m_atUnFinishedCount.load());
}

void CLS_LocalCDRom::AddJobStatusByJobId(const QString& _qstrJobId, int _iStatus, const QString& _qstrMsg)
{
    QWriteLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        BURN_LOG(n_BurnLogLevel_Info, "job=%s, want=%s, status=%d, count=%d", qPrintable(pJob->m_qstrJobId),
                 qPrintable(_qstrJobId), _iStatus, m_atUnFinishedCount.load());
        if (pJob->m_qstrJobId != _qstrJobId)
            continue;
        pJob->m_iStatus = _iStatus;
        pJob->m_qstrMsg = _qstrMsg;
        if (IsFinal(_iStatus) && m_atUnFinishedCount > 0) {
            --m_atUnFinishedCount;
            BURN_LOG(n_BurnLogLevel_Info, "%s %d %s%d", "CLS_LocalCDRom::AddJobStatusByJobId", 660,
                     "m_atUnFinishedCount = ", m_atUnFinishedCount.load());
        }
        return;
    }
}

void CLS_LocalCDRom::ChangeAllJobStatus(const QString& _qstrMsg)
{
    QWriteLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        pJob->m_iStatus = n_BurnJobState_Error;
        pJob->m_qstrMsg = _qstrMsg;
    }
    BURN_LOG(n_BurnLogLevel_Info, "ChagneAllJobStatus: cur task count m_atUnFinishedCount=%d",
             m_atUnFinishedCount.load());
    m_atUnFinishedCount = 0;
}

QString CLS_LocalCDRom::GetJobIdByGroupId(int _iGroupId)
{
    QReadLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_iGroupId == _iGroupId)
            return pJob->m_qstrJobId;
    }
    return QString();
}

bool CLS_LocalCDRom::HasJob(const QString& _qstrJobId)
{
    QReadLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_qstrJobId == _qstrJobId)
            return true;
    }
    return false;
}

int CLS_LocalCDRom::GetGroupIdByJobId(const QString& _qstrJobId)
{
    QReadLocker locker(m_pJobLock.get());
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_qstrJobId == _qstrJobId)
            return pJob->m_iGroupId;
    }
    return -1;
}

void CLS_LocalCDRom::SlotTmrProcessJob()
{
    BURN_LOG(n_BurnLogLevel_Info, "%s %d %s", "CLS_LocalCDRom::SlotTmrProcessJob", 170, "ENTRY");
    QWriteLocker locker(m_pJobLock.get());
    if (m_listJob.empty()) {
        BURN_LOG(n_BurnLogLevel_Info, "任务队列空闲");
        return;
    }
    if (m_atBurning) {
        BURN_LOG(n_BurnLogLevel_Info, "光驱正在执行刻录...待定刻录的数量：%d", int(m_listJob.size()));
        return;
    }
    m_vecCDRom.clear();
    IOCtrlGetCDRomList(&m_vecCDRom);
    if (m_vecCDRom.empty()) {
        BURN_LOG(n_BurnLogLevel_Info, "无可用光驱");
        return;
    }
    LocalBurnJob* pJob = FirstWaitingJob();
    if (!pJob)
        return;
    if (pJob->m_vecFiles.empty()) {
        BURN_LOG(n_BurnLogLevel_Info, "job=%s尚未添加刻录文件！！！", qPrintable(pJob->m_qstrJobId));
        return;
    }
    HandToLibrary(*pJob);
}

LocalBurnJob* CLS_LocalCDRom::FirstWaitingJob()
{
    for (const std::unique_ptr<LocalBurnJob>& pJob : m_listJob) {
        if (pJob->m_iStatus == n_BurnJobState_PreProcess)
            return pJob.get();
    }
    return nullptr;
}

// Only the first drive is used: one job at a time on one drive.
void CLS_LocalCDRom::HandToLibrary(LocalBurnJob& _stJob)
{
    BURN_LOG(n_BurnLogLevel_Info, "job=%sstart", qPrintable(_stJob.m_qstrJobId));
    m_atBurning = true;
    _stJob.m_iGroupId = IOCtrlSetBurnGroup(std::vector<std::string>{m_vecCDRom.front()});
    IOCtrlSetMediaCaption(_stJob.m_qstrTitle.toUtf8().toStdString(), _stJob.m_iGroupId);
    for (const auto& prFile : _stJob.m_vecFiles)
        IOCtrlAddFile(prFile.first.toLocal8Bit().toStdString(), prFile.second.toLocal8Bit().toStdString(),
                      _stJob.m_iGroupId);
    IOCtrlEndBurn(_stJob.m_iGroupId);
}

void CLS_LocalCDRom::SlotIoctrlCB(QString _qstrParam)
{
    BURN_LOG(n_BurnLogLevel_Info, "fun:%s,thread id：%d", "CLS_LocalCDRom::SlotIoctrlCB",
             int(reinterpret_cast<quintptr>(QThread::currentThreadId())));
    BURN_LOG(n_BurnLogLevel_Info, "ParseIOCtrlMsg = [%s]", qPrintable(_qstrParam));
    const IoCtrlMessage stMsg = ParseIoCtrlMessage(_qstrParam);
    const QString qstrJobId = GetJobIdByGroupId(stMsg.iGroupId);
    if (qstrJobId.isEmpty()) {
        BURN_LOG(n_BurnLogLevel_Info, "qstrJobId.length() <= 0");
        return;
    }
    if (stMsg.qstrType != QLatin1String("BurnState"))
        return;
    m_iBurnState = stMsg.iCode;
    if (stMsg.iCode == 1) {
        AddJobStatusByJobId(qstrJobId, n_BurnJobState_Finished, stMsg.qstrErrMsg);
        return;
    }
    if (stMsg.iCode == 6) {
        m_iErrType = stMsg.iErrType;
        return;
    }
    const QString qstrMsg = stMsg.iCode == 7 ? QStringLiteral("源文件不可读") : QStringLiteral("未知错误");
    AddJobStatusByJobId(qstrJobId, n_BurnJobState_Error, qstrMsg);
    ChangeAllJobStatus(qstrMsg);
}

void CLS_LocalCDRom::SlotTmrOnlineHeart()
{
    if (!m_hAliveMsg || (m_iErrType == -1 && m_iBurnState == -1))
        return;
    const int iBurnState = m_iBurnState;
    const LocalCDRomNotice stNotice = LocalCDRomNoticeFor(iBurnState, m_iErrType, m_atUnFinishedCount);
    if (!stNotice.qstrLogLine.isEmpty())
        BURN_LOG(n_BurnLogLevel_Error, "%s", stNotice.qstrLogLine.toUtf8().constData());
    BURN_LOG(n_BurnLogLevel_Info, "fun:%s,thread id：%d", "CLS_LocalCDRom::SlotTmrOnlineHeart",
             int(reinterpret_cast<quintptr>(QThread::currentThreadId())));
    BURN_LOG(n_BurnLogLevel_Info, "%s", stNotice.qstrOperator.toUtf8().constData());
    ShowOperatorDialog(stNotice.qstrOperator);
    IOSetStatus(1);
    if (iBurnState == 1 || iBurnState == 7)
        m_atBurning = false;
    m_iErrType = -1;
    m_iBurnState = -1;
}

void CLS_LocalCDRom::ShowOperatorDialog(const QString& _qstrText)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        BURN_LOG(n_BurnLogLevel_Error, "no widgets application: the operator dialog is skipped: %s",
                 _qstrText.toUtf8().constData());
        return;
    }
    // The dialog's own event loop would fire this timer again: one dialog at a time.
    m_pTmrOnlineHeart->stop();
    CLS_MessageBox::Show(n_IconWarning, nullptr, QStringLiteral("提示"), _qstrText, {QStringLiteral("确定")},
                         OperatorTimeoutSec(), QStringLiteral("default"));
    m_pTmrOnlineHeart->start();
}

int CLS_LocalCDRom::OperatorTimeoutSec()
{
    bool blOk = false;
    const int iSec = qEnvironmentVariableIntValue("BURNMODULE_OPERATOR_TIMEOUT", &blOk);
    return blOk && iSec > 0 ? iSec : 0;
}
