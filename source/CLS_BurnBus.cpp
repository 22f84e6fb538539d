#include "CLS_BurnBus.h"

#include <QHash>

#include <QCoreApplication>
#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMutexLocker>
#include <QReadWriteLock>
#include <QThread>

#include <climits>
#include <cmath>
#include <system_error>
#include <thread>

#include "BurnDefine.h"
#include "BurnMessageFormat.h"
#include "BurnTiming.h"
#include "CLS_AutoBase.h"
#include "FileOpt/CLS_OperateFile.h"
#include "JobFolder.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

static const char s_szLogSource[] = "CLS_BurnBus";

namespace
{
// Production pauses in milliseconds; every one goes through ScaledMs.
constexpr int n_WorkerIdleMs = 3000;
constexpr int n_WorkerGapMs = 1000;
constexpr int n_BurnStatusPauseMs = 60000;
constexpr int n_RobotStatusPauseMs = 10000;
constexpr int n_RobotStatusGapMs = 100;
// Upper bound of the wait for the bus threads at the end of the process (not a pause).
constexpr int n_StopWaitMs = 10000;

// Job state of the status reply sent last; none yet.
constexpr int n_NoStateReported = INT_MIN;
// Status that accompanies a reply that carries no job state.
constexpr int n_NoReplyStatus = -1;

QBasicMutex s_mutexInstance;
std::atomic<CLS_BurnBus*> s_pBurnBus{nullptr};

// Lenient readers: a missing member or one of another type gives the default.
QString ReadText(const QJsonObject& _qjsonObj, const char* _szKey, const QString& _qstrDefault = QString())
{
    const QJsonValue qjsonValue = _qjsonObj.value(QLatin1String(_szKey));
    return qjsonValue.isString() ? qjsonValue.toString() : _qstrDefault;
}

// A whole number within int range; anything else gives the default.
int ReadInt(const QJsonObject& _qjsonObj, const char* _szKey, int _iDefault)
{
    const QJsonValue qjsonValue = _qjsonObj.value(QLatin1String(_szKey));
    if (!qjsonValue.isDouble())
        return _iDefault;
    const double dValue = qjsonValue.toDouble();
    if (dValue != std::floor(dValue) || dValue < INT_MIN || dValue > INT_MAX)
        return _iDefault;
    return static_cast<int>(dValue);
}

std::string ToUtf8(const QString& _qstrText)
{
    return _qstrText.toUtf8().toStdString();
}

void LogFailure(const char* _szWhat, int _iRet, const BurnResultInfo& _stResult)
{
    BURN_LOG(n_BurnLogLevel_Error, "[%s][%d][%s][%s]", _szWhat, _iRet, _stResult.qstrErrCode.toUtf8().constData(),
             _stResult.qstrErrMsg.toLocal8Bit().constData());
}

// A job id that cannot name a folder entry is refused before any backend sees it.
bool RefuseUnsafeJobId(const char* _szFun, const QString& _qstrJobId, BurnResultInfo* _pResult)
{
    if (IsSafeFolderName(_qstrJobId))
        return false;
    _pResult->qstrErrMsg = QStringLiteral("[任务ID非法]") + _qstrJobId;
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, refused job id [%s]", _szFun, _qstrJobId.toUtf8().constData());
    return true;
}

// The request fields the bus and the backends read, by the JSON type they must have. A
// field of another type is refused rather than read as empty or 0: "BurnDev": "2" would
// otherwise start a job on the machine's own drives, "CDType": 7 a disc of no type.
enum FieldType
{
    n_FieldType_Text,
    n_FieldType_Number,
    n_FieldType_List,
};

struct RequestField
{
    const char* szKey;
    FieldType eType;
};

// The key of the first field of the request whose JSON type is not the one it must have;
// empty when every field present fits.
QString MistypedField(const QJsonObject& _qjsonReq)
{
    static const RequestField s_arrFields[] = {
        {"JobId", n_FieldType_Text},      {"CDType", n_FieldType_Text},       {"CDTitle", n_FieldType_Text},
        {"CDCover", n_FieldType_Text},    {"CloseDisc", n_FieldType_Text},    {"serverIP", n_FieldType_Text},
        {"eventId", n_FieldType_Text},    {"devIP", n_FieldType_Text},        {"subCmd", n_FieldType_Text},
        {"BurnDev", n_FieldType_Number},  {"BurnType", n_FieldType_Number},   {"CopyCount", n_FieldType_Number},
        {"DevPort", n_FieldType_Number},  {"burnDev", n_FieldType_Number},    {"devPort", n_FieldType_Number},
        {"FileList", n_FieldType_List},
    };
    for (const RequestField& stField : s_arrFields) {
        const QJsonValue qjsonValue = _qjsonReq.value(QLatin1String(stField.szKey));
        const bool blFits = qjsonValue.isUndefined() || (stField.eType == n_FieldType_Text && qjsonValue.isString())
                            || (stField.eType == n_FieldType_Number && qjsonValue.isDouble())
                            || (stField.eType == n_FieldType_List && qjsonValue.isArray());
        if (!blFits)
            return QLatin1String(stField.szKey);
    }
    return QString();
}

bool RefuseMistypedField(const char* _szFun, const QJsonObject& _qjsonReq, BurnResultInfo* _pResult)
{
    const QString qstrKey = MistypedField(_qjsonReq);
    if (qstrKey.isEmpty())
        return false;
    _pResult->qstrErrMsg = QStringLiteral("[参数类型错误]") + qstrKey;
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, refused field [%s] of a wrong type", _szFun, qstrKey.toUtf8().constData());
    return true;
}

bool TakeFirstMessage(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, std::string& _strMsg)
{
    QMutexLocker locker(_pmutexMsg);
    if (_plistMsg->empty())
        return false;
    _strMsg = std::move(_plistMsg->front());
    _plistMsg->pop_front();
    return true;
}

void PushMessage(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, std::string _strMsg)
{
    QMutexLocker locker(_pmutexMsg);
    _plistMsg->push_back(std::move(_strMsg));
}

BurnFileTask ReadFileTask(const QString& _qstrJobId, const QJsonArray& _qjsonFileList)
{
    BurnFileTask stTask;
    stTask.strJobId = ToUtf8(_qstrJobId);
    for (const QJsonValue& qjsonValue : _qjsonFileList) {
        const QJsonObject qjsonFile = qjsonValue.toObject();
        const QString qstrSrcFile = ReadText(qjsonFile, "srcFile");
        stTask.vecFiles.emplace_back(ToUtf8(qstrSrcFile), ToUtf8(ReadText(qjsonFile, "DesFile")));
        if (ReadInt(qjsonFile, "HideFile", 0) == 1)
            CLS_OperateFile::HideFile(qstrSrcFile);
    }
    return stTask;
}

// Copies the members that are present ("values copied as they are").
void CopyMember(const QJsonObject& _qjsonFrom, const char* _szFrom, QJsonObject& _qjsonTo, const char* _szTo)
{
    const QJsonValue qjsonValue = _qjsonFrom.value(QLatin1String(_szFrom));
    if (!qjsonValue.isUndefined())
        _qjsonTo.insert(QLatin1String(_szTo), qjsonValue);
}

// Qt keeps the state of contended read-write locks in a process-wide list that it makes on
// the first contention and ends in an exit handler. Made before the bus registers its own
// handler, it ends after that handler has stopped the bus threads that may contend.
void MakeLockStateListNow()
{
    QReadWriteLock qrwlock;
    QReadLocker locker(&qrwlock);
    static_cast<void>(qrwlock.tryLockForWrite(1));
}
}  // namespace

// ---------------------------------------------------------------------------------
// Instance, threads, end of process

CLS_BurnBus* CLS_BurnBus::GetInstance()
{
    CLS_BurnBus* pBurnBus = s_pBurnBus.load(std::memory_order_acquire);
    if (pBurnBus)
        return pBurnBus;
    QMutexLocker locker(&s_mutexInstance);
    pBurnBus = s_pBurnBus.load(std::memory_order_acquire);
    if (pBurnBus)
        return pBurnBus;
    pBurnBus = new CLS_BurnBus;
    if (QCoreApplication* pApp = QCoreApplication::instance())
        pBurnBus->moveToThread(pApp->thread());
    s_pBurnBus.store(pBurnBus, std::memory_order_release);
    MakeLockStateListNow();
    qAddPostRoutine(&CLS_BurnBus::StopAtExit);
    std::atexit(&CLS_BurnBus::StopAtExit);
    return pBurnBus;
}

CLS_BurnBus::CLS_BurnBus()
{
    m_pthreadApplyBurn =
        StartWorker(&m_listApplyBurnMsg, &m_mutexApplyBurn, &CLS_BurnBus::InquestBurnEx, "InquestBurnEx");
    if (!StartCountedThread([this] { GetRobotStatusThread(); }))
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, robot status thread not started", "CLS_BurnBus::CLS_BurnBus");
    m_pthreadAddFile = StartWorker(&m_listAddFileMsg, &m_mutexAddFile, &CLS_BurnBus::AddFileEx, "AddFileEx");
    if (!StartCountedThread([this] { GetBurnStatusThread(); }))
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, job status thread not started", "CLS_BurnBus::CLS_BurnBus");
}

void CLS_BurnBus::StopAtExit()
{
    qRemovePostRoutine(&CLS_BurnBus::StopAtExit);
    CLS_BurnBus* pBurnBus = s_pBurnBus.load(std::memory_order_acquire);
    if (pBurnBus)
        pBurnBus->Stop();
}

void CLS_BurnBus::Stop()
{
    {
        QMutexLocker locker(&m_mutexThreads);
        if (m_blStopping)
            return;
        m_blStopping = true;
    }
    {
        QMutexLocker locker(&m_mutexPause);
        m_bStopWorker = true;
        m_bStopRobotStatus = true;
        m_bStopBurnStatus = true;
        m_condPause.wakeAll();
    }
    const QDeadlineTimer qdeadline(n_StopWaitMs);
    const bool blEnded =
        m_pthreadApplyBurn->wait(qdeadline) && m_pthreadAddFile->wait(qdeadline) && WaitForThreads(qdeadline);
    if (!blEnded)
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, bus threads still running after %d ms", "CLS_BurnBus::Stop",
                 n_StopWaitMs);
}

QThread* CLS_BurnBus::StartWorker(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, Handler _pfnHandler,
                                  const char* _szHandlerName)
{
    QThread* pThread = QThread::create(
        [this, _plistMsg, _pmutexMsg, _pfnHandler, _szHandlerName] {
            WorkerLoop(_plistMsg, _pmutexMsg, _pfnHandler, _szHandlerName);
        });
    pThread->start(QThread::InheritPriority);
    return pThread;
}

bool CLS_BurnBus::StartCountedThread(std::function<void()> _fnRun)
{
    {
        QMutexLocker locker(&m_mutexThreads);
        if (m_blStopping)
            return false;
        ++m_iRunningThreads;
    }
    try {
        std::thread([this, fnRun = std::move(_fnRun)]() mutable {
            fnRun();
            fnRun = nullptr;
            LeaveCountedThread();
        }).detach();
        return true;
    } catch (const std::system_error& stError) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, %s", "CLS_BurnBus::StartCountedThread", stError.what());
        LeaveCountedThread();
        return false;
    }
}

void CLS_BurnBus::LeaveCountedThread()
{
    QMutexLocker locker(&m_mutexThreads);
    if (--m_iRunningThreads == 0)
        m_condThreads.wakeAll();
}

bool CLS_BurnBus::StartCommandThread(const char* _szCommand, std::function<void()> _fnRun)
{
    if (StartCountedThread(std::move(_fnRun)))
        return true;
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, command thread not started", _szCommand);
    return false;
}

bool CLS_BurnBus::WaitForThreads(QDeadlineTimer _qdeadline)
{
    QMutexLocker locker(&m_mutexThreads);
    while (m_iRunningThreads > 0) {
        if (!m_condThreads.wait(&m_mutexThreads, _qdeadline))
            return m_iRunningThreads == 0;
    }
    return true;
}

void CLS_BurnBus::Pause(int _iProductionMs, const std::atomic<bool>& _bStop)
{
    const QDeadlineTimer qdeadline(ScaledMs(_iProductionMs));
    QMutexLocker locker(&m_mutexPause);
    while (!_bStop.load() && !qdeadline.hasExpired())
        m_condPause.wait(&m_mutexPause, qdeadline);
}

void CLS_BurnBus::WorkerLoop(std::list<std::string>* _plistMsg, QMutex* _pmutexMsg, Handler _pfnHandler,
                             const char* _szHandlerName)
{
    while (!m_bStopWorker) {
        std::string strMsg;
        if (!TakeFirstMessage(_plistMsg, _pmutexMsg, strMsg)) {
            Pause(n_WorkerIdleMs, m_bStopWorker);
            continue;
        }
        RunCommand(_pfnHandler, _szHandlerName, strMsg);
        Pause(n_WorkerGapMs, m_bStopWorker);
    }
}

void CLS_BurnBus::RunCommand(Handler _pfnHandler, const char* _szHandlerName, const std::string& _strMsg)
{
    BurnResultInfo stResult;
    const int iRet = (this->*_pfnHandler)(_strMsg, true, &stResult);
    if (iRet == 0)
        return;
    const QByteArray qbaWhat = QByteArray(_szHandlerName) + " Fail";
    LogFailure(qbaWhat.constData(), iRet, stResult);
}

// ---------------------------------------------------------------------------------
// Entry points

int CLS_BurnBus::ApplyBurn(std::string _strMsg)
{
    const int iBurnDev = ReadInt(StringToJsonObject(_strMsg), "BurnDev", 0);
    if (!CLS_AutoBase::GetInstance(iBurnDev))
        BURN_LOG(n_BurnLogLevel_Error, "BurnDev=%d----isnull", iBurnDev);
    PushMessage(&m_listApplyBurnMsg, &m_mutexApplyBurn, std::move(_strMsg));
    return 0;
}

int CLS_BurnBus::AddFile(std::string _strMsg)
{
    PushMessage(&m_listAddFileMsg, &m_mutexAddFile, std::move(_strMsg));
    return 0;
}

bool CLS_BurnBus::StartBurn(std::string _strMsg)
{
    return StartCommandThread("CLS_BurnBus::StartBurn", [this, strMsg = std::move(_strMsg)] {
        RunCommand(&CLS_BurnBus::StartBurnEx, "StartBurnEx", strMsg);
    });
}

int CLS_BurnBus::WriteLabel(std::string _strMsg)
{
    const bool blStarted = StartCommandThread("CLS_BurnBus::WriteLabel", [this, strMsg = std::move(_strMsg)] {
        RunCommand(&CLS_BurnBus::WriteLabelEx, "WriteLabelEx", strMsg);
    });
    return blStarted ? 0 : -1;
}

int CLS_BurnBus::DoBurn(std::string _strMsg)
{
    const bool blStarted = StartCommandThread("CLS_BurnBus::DoBurn", [this, strMsg = std::move(_strMsg)] {
        RunCommand(&CLS_BurnBus::DoBurnEx, "DoBurnEx", strMsg);
    });
    return blStarted ? 0 : -1;
}

int CLS_BurnBus::BurnDir(std::string _strMsg)
{
    const bool blStarted = StartCommandThread("CLS_BurnBus::BurnDir", [this, strMsg = std::move(_strMsg)] {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", "CLS_BurnBus::BurnDirThread", strMsg.c_str());
        BurnResultInfo stResult;
        BurnDirSteps(strMsg, &stResult);
    });
    return blStarted ? 0 : -1;
}

int CLS_BurnBus::BurnDevCtrl(std::string _strMsg)
{
    const QJsonArray qjsonEntries = StringToJsonObject(_strMsg).value(QStringLiteral("burnDevInfo")).toArray();
    for (const QJsonValue& qjsonEntry : qjsonEntries) {
        const QJsonObject qjsonObj = qjsonEntry.toObject();
        if (!qjsonObj.contains(QStringLiteral("burnDev")))
            continue;
        const int iBurnDev = ReadInt(qjsonObj, "burnDev", -1);
        if (!CLS_AutoBase::GetInstance(iBurnDev))
            BURN_LOG(n_BurnLogLevel_Error, "BurnDev=%d----isnull", iBurnDev);
    }
    const bool blStarted = StartCommandThread("CLS_BurnBus::BurnDevCtrl",
                                              [this, strMsg = std::move(_strMsg)] { BurnDevCtrlThread(strMsg); });
    return blStarted ? 0 : -1;
}

// ---------------------------------------------------------------------------------
// Command handlers

int CLS_BurnBus::InquestBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", "CLS_BurnBus::InquestBurnEx", _strMsg.c_str());
    BurnResultInfo stLocal;
    BurnResultInfo* pResult = _pResult ? _pResult : &stLocal;
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    QJsonArray qjsonDelJobId;
    const int iRet = RegisterJob(qjsonReq, _strMsg, pResult, qjsonDelJobId);
    if (iRet != 0)
        LogFailure("ApplyBurnEx fail", iRet, *pResult);
    if (_blSendReply)
        EmitCommandReply("ApplyBurnReply", qjsonReq, iRet, *pResult, &qjsonDelJobId);
    return iRet;
}

int CLS_BurnBus::RegisterJob(const QJsonObject& _qjsonReq, const std::string& _strMsg, BurnResultInfo* _pResult,
                             QJsonArray& _qjsonDelJobId)
{
    BurnJobInfo stJob;
    stJob.qstrJobId = ReadText(_qjsonReq, "JobId");
    stJob.iBurnDev = ReadInt(_qjsonReq, "BurnDev", 0);
    stJob.iBurnType = ReadInt(_qjsonReq, "BurnType", 0);
    stJob.iCopyCount = ReadInt(_qjsonReq, "CopyCount", 0);
    if (RefuseMistypedField("CLS_BurnBus::InquestBurnEx", _qjsonReq, _pResult)
        || RefuseUnsafeJobId("CLS_BurnBus::InquestBurnEx", stJob.qstrJobId, _pResult))
        return n_BurnBusResult_BadRequest;
    BurnJobInfo stKnown;
    if (m_registry.FindJob(stJob.qstrJobId, stKnown))
        return n_BurnBusResult_JobExists;
    BURN_LOG(n_BurnLogLevel_Error, "InquestBurn iBurnDev=%d", stJob.iBurnDev);
    CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(stJob.iBurnDev);
    if (!pBackend)
        return n_BurnBusResult_NoBackend;

    QString qstrRobotStatus;
    const int iRobotRet = pBackend->GetRobotStatus(qstrRobotStatus, _pResult);
    BurnDevAddr stDevAddr{ReadText(_qjsonReq, "serverIP", QStringLiteral("127.0.0.1")),
                          ReadInt(_qjsonReq, "DevPort", 0), stJob.iBurnDev};
    if (iRobotRet == 0)
        UpdateDevAddr(stDevAddr, _qjsonDelJobId);
    const int iInquestRet =
        pBackend->InquestBurn(ToUtf8(stJob.qstrJobId), stJob.iCopyCount, stJob.iBurnType, _strMsg, _pResult);
    connect(pBackend, &CLS_AutoBase::signalSendMQToBurnBus, this, &CLS_BurnBus::signalSendMQToPresenter,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    if (iRobotRet == 0 && iInquestRet == 0)
        m_registry.InsertBurnDev(stJob.iBurnDev, stDevAddr);
    if (iInquestRet != 0)
        return iInquestRet;
    m_registry.AppendJobIfMissing(stJob);
    return n_BurnBusResult_Ok;
}

int CLS_BurnBus::StartBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", "CLS_BurnBus::StartBurnEx", _strMsg.c_str());
    BurnResultInfo stLocal;
    BurnResultInfo* pResult = _pResult ? _pResult : &stLocal;
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    const QString qstrJobId = ReadText(qjsonReq, "JobId");
    const bool blMistyped = RefuseMistypedField("CLS_BurnBus::StartBurnEx", qjsonReq, pResult);
    int iRet = blMistyped ? n_BurnBusResult_BadRequest : n_BurnBusResult_NoJob;
    BurnJobInfo stJob;
    CLS_AutoBase* pBackend = blMistyped ? nullptr : JobBackend(qstrJobId, &stJob);
    if (pBackend) {
        iRet = pBackend->StartBurn(ToUtf8(qstrJobId), ToUtf8(ReadText(qjsonReq, "CDType")),
                                   ToUtf8(ReadText(qjsonReq, "CDTitle")), ToUtf8(ReadText(qjsonReq, "CDCover")),
                                   stJob.iCopyCount, stJob.iBurnType,
                                   ToUtf8(ReadText(qjsonReq, "CloseDisc", QStringLiteral("YES"))), _strMsg, pResult);
    }
    if (pBackend && iRet != 0) {
        pBackend->ClearData(qstrJobId);
        m_registry.RemoveJob(qstrJobId);
        LogFailure("StartBurnEx fail", iRet, *pResult);
    }
    if (_blSendReply)
        EmitCommandReply("StartBurnReply", qjsonReq, iRet, *pResult);
    return iRet;
}

// The backend of a registered job (its record copied out when asked); null otherwise.
CLS_AutoBase* CLS_BurnBus::JobBackend(const QString& _qstrJobId, BurnJobInfo* _pJob) const
{
    BurnJobInfo stJob;
    if (!m_registry.FindJob(_qstrJobId, stJob))
        return nullptr;
    if (_pJob)
        *_pJob = stJob;
    return CLS_AutoBase::GetInstance(stJob.iBurnDev);
}

// The shape every command on a registered job shares: log, parse, find the job's
// backend, run the command on it, reply. Without a registered job the result is -5
// and _szMissingMsg (when given) plus the job id goes into "errMsg".
int CLS_BurnBus::RunJobCommand(const char* _szFun, const char* _szReplyCmd, const std::string& _strMsg,
                               bool _blSendReply, BurnResultInfo* _pResult, const char* _szMissingMsg,
                               const JobCommand& _fnCommand)
{
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", _szFun, _strMsg.c_str());
    BurnResultInfo stLocal;
    BurnResultInfo* pResult = _pResult ? _pResult : &stLocal;
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    const QString qstrJobId = ReadText(qjsonReq, "JobId");
    int iRet = n_BurnBusResult_NoJob;
    if (RefuseMistypedField(_szFun, qjsonReq, pResult))
        iRet = n_BurnBusResult_BadRequest;
    else if (CLS_AutoBase* pBackend = JobBackend(qstrJobId))
        iRet = _fnCommand(pBackend, qstrJobId, qjsonReq, pResult);
    else if (_szMissingMsg)
        pResult->qstrErrMsg = QString::fromUtf8(_szMissingMsg) + qstrJobId;
    if (_blSendReply)
        EmitCommandReply(_szReplyCmd, qjsonReq, iRet, *pResult);
    return iRet;
}

// The file list is read (and sources hidden on request) before the job is looked up.
int CLS_BurnBus::AddFileEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", "CLS_BurnBus::AddFileEx", _strMsg.c_str());
    BurnResultInfo stLocal;
    BurnResultInfo* pResult = _pResult ? _pResult : &stLocal;
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    const QString qstrJobId = ReadText(qjsonReq, "JobId");
    const bool blMistyped = RefuseMistypedField("CLS_BurnBus::AddFileEx", qjsonReq, pResult);
    BurnFileTask stTask = ReadFileTask(qstrJobId, qjsonReq.value(QStringLiteral("FileList")).toArray());
    int iRet = blMistyped ? n_BurnBusResult_BadRequest : n_BurnBusResult_NoJob;
    if (CLS_AutoBase* pBackend = blMistyped ? nullptr : JobBackend(qstrJobId))
        iRet = pBackend->AddFile(ToUtf8(qstrJobId), stTask, pResult);
    if (_blSendReply)
        EmitCommandReply("AddFileReply", qjsonReq, iRet, *pResult);
    return iRet;
}

int CLS_BurnBus::WriteLabelEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult)
{
    return RunJobCommand("CLS_BurnBus::WriteLabelEx", "WriteLabelReply", _strMsg, _blSendReply, _pResult, nullptr,
                         [&_strMsg](CLS_AutoBase* _pBackend, const QString& _qstrJobId, const QJsonObject&,
                                    BurnResultInfo* _pRes) {
                             return _pBackend->WriteLabel(ToUtf8(_qstrJobId), _strMsg, _pRes);
                         });
}

int CLS_BurnBus::DoBurnEx(std::string _strMsg, bool _blSendReply, BurnResultInfo* _pResult)
{
    return RunJobCommand("CLS_BurnBus::DoBurnEx", "DoBurnReply", _strMsg, _blSendReply, _pResult, "[任务不存在]",
                         [this](CLS_AutoBase* _pBackend, const QString& _qstrJobId, const QJsonObject& _qjsonReq,
                                BurnResultInfo* _pRes) {
                             const int iRet = _pBackend->DoBurn(ToUtf8(_qstrJobId), _pRes);
                             if (iRet == 0)
                                 m_registry.SetJobStarted(_qstrJobId, ReadText(_qjsonReq, "msgId"));
                             return iRet;
                         });
}

void CLS_BurnBus::EmitCommandReply(const char* _szCmd, const QJsonObject& _qjsonReq, int _iRet,
                                   const BurnResultInfo& _stResult, const QJsonArray* _pqjsonDelJobId)
{
    const QString qstrJobId = ReadText(_qjsonReq, "JobId");
    const QString qstrReply = BuildCommandReply(_szCmd, qstrJobId, _iRet, _stResult.qstrErrCode,
                                                _stResult.qstrErrMsg, _pqjsonDelJobId);
    const int iStatus = _iRet == 0 ? n_NoReplyStatus : n_BurnJobState_Error;
    emit signalSendMsgToPresenter(qstrJobId, qstrReply, iStatus, ReadText(_qjsonReq, "msgId"));
}

// The five steps with one result record; only the step that ends the sequence replies.
int CLS_BurnBus::BurnDirSteps(const std::string& _strMsg, BurnResultInfo* _pResult)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    if (RefuseMistypedField("CLS_BurnBus::BurnDir", qjsonReq, _pResult)
        || RefuseUnsafeJobId("CLS_BurnBus::BurnDir", ReadText(qjsonReq, "JobId"), _pResult)) {
        BurnDirReply(_strMsg, n_BurnBusResult_BadRequest, *_pResult);
        return n_BurnBusResult_BadRequest;
    }
    struct BurnDirStep
    {
        const char* szKey;
        Handler pfnHandler;
        const char* szFailure;
    };
    static const BurnDirStep s_arrSteps[] = {
        {"ApplyBurn", &CLS_BurnBus::InquestBurnEx, "ApplyBurn Fail"},
        {"StartBurn", &CLS_BurnBus::StartBurnEx, "StartBurnEx Fail"},
        {"AddFile", &CLS_BurnBus::AddFileEx, "AddFileEx Fail"},
        {"WriteLabel", &CLS_BurnBus::WriteLabelEx, "WriteLabelEx Fail"},
    };
    for (const BurnDirStep& stStep : s_arrSteps) {
        const std::string strStepMsg = ToUtf8(ReadText(qjsonReq, stStep.szKey));
        const int iRet = (this->*stStep.pfnHandler)(strStepMsg, false, _pResult);
        if (iRet != 0) {
            BurnDirReply(strStepMsg, iRet, *_pResult);
            LogFailure(stStep.szFailure, iRet, *_pResult);
            return iRet;
        }
    }
    const int iRet = DoBurnEx(_strMsg, false, _pResult);
    if (iRet != 0)
        LogFailure("DoBurnEx Fail", iRet, *_pResult);
    BurnDirReply(_strMsg, iRet, *_pResult);
    return iRet;
}

void CLS_BurnBus::BurnDirReply(const std::string& _strMsg, int _iRet, const BurnResultInfo& _stResult)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    const QString qstrJobId = ReadText(qjsonReq, "JobId");
    const int iStatus = _iRet == 0 ? n_BurnJobState_Finished : n_BurnJobState_Error;
    const QString qstrReply =
        BuildCommandReply("BurnDirReply", qstrJobId, _iRet, _stResult.qstrErrCode, _stResult.qstrErrMsg);
    emit signalSendMsgToPresenter(qstrJobId, qstrReply, iStatus, ReadText(qjsonReq, "msgId"));
}

// ---------------------------------------------------------------------------------
// Job status polling

void CLS_BurnBus::GetBurnStatusThread()
{
    int iLastReported = n_NoStateReported;
    while (!m_bStopBurnStatus) {
        int iPauseMs = n_BurnStatusPauseMs;
        for (const BurnJobInfo& stJob : m_registry.CopyJobs()) {
            if (m_bStopBurnStatus)
                return;
            if (stJob.iStatus == n_BurnJobState_Unknown)
                continue;
            CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(stJob.iBurnDev);
            if (!pBackend)
                continue;
            PollJob(pBackend, stJob, iLastReported);
            iPauseMs = pBackend->StatusPollPauseMs();
        }
        Pause(iPauseMs, m_bStopBurnStatus);
    }
}

void CLS_BurnBus::PollJob(CLS_AutoBase* _pBackend, const BurnJobInfo& _stJob, int& _iLastReported)
{
    BurnResultInfo stResult;
    const int iState = _pBackend->GetJobStatus(_stJob.qstrJobId, &stResult);
    qDebug() << "GetBurnStatusThread iJobStutas" << iState << "qstrJobID=" << _stJob.qstrJobId;
    if (iState == n_BurnJobState_Unknown || iState == _stJob.iStatus)
        return;
    // A job dropped since the copy (address change, failed StartBurn) is not reported.
    if (!m_registry.UpdateJobStatus(_stJob.qstrJobId, iState))
        return;
    if (IsFinalJobState(iState)) {
        ReportFinalState(_pBackend, _stJob, iState, stResult);
        _iLastReported = iState;
        return;
    }
    if (iState == n_BurnJobState_DiscError && _iLastReported != n_BurnJobState_DiscError) {
        ReportDiscError(_stJob, stResult);
        _iLastReported = n_BurnJobState_DiscError;
    }
}

void CLS_BurnBus::ReportFinalState(CLS_AutoBase* _pBackend, const BurnJobInfo& _stJob, int _iState,
                                   const BurnResultInfo& _stResult)
{
    const QString qstrReply = BuildStatusReply(_stJob.qstrJobId, _iState, _pBackend->GetDiscPlace(_stJob.qstrJobId),
                                               _stResult.qstrErrCode, _stResult.qstrErrMsg, &_stResult.qstrErrLogs);
    emit signalSendMsgToPresenter(_stJob.qstrJobId, qstrReply, _iState, _stJob.qstrMsgId);
    _pBackend->ClearData(_stJob.qstrJobId);
    m_registry.RemoveJob(_stJob.qstrJobId);
}

void CLS_BurnBus::ReportDiscError(const BurnJobInfo& _stJob, const BurnResultInfo& _stResult)
{
    const QString qstrReply = BuildStatusReply(_stJob.qstrJobId, n_BurnJobState_DiscError, QString(),
                                               _stResult.qstrErrCode, _stResult.qstrErrMsg, nullptr);
    emit signalSendMsgToPresenter(_stJob.qstrJobId, qstrReply, n_BurnJobState_DiscError, _stJob.qstrMsgId);
}

// ---------------------------------------------------------------------------------
// Robot status and device control

void CLS_BurnBus::GetRobotStatusThread()
{
    while (!m_bStopRobotStatus) {
        for (const int iBurnDev : m_registry.CopyDevKinds()) {
            if (m_bStopRobotStatus)
                return;
            PublishRobotStatus(iBurnDev);
        }
        Pause(n_RobotStatusPauseMs, m_bStopRobotStatus);
    }
}

void CLS_BurnBus::PublishRobotStatus(int _iBurnDev)
{
    CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(_iBurnDev);
    if (!pBackend)
        return;
    QString qstrStatus;
    BurnResultInfo stResult;
    if (pBackend->GetRobotStatus(qstrStatus, &stResult) != 0 || qstrStatus.isEmpty())
        return;
    emit signalSendMQToPresenter(qstrStatus);
    Pause(n_RobotStatusGapMs, m_bStopRobotStatus);
}

void CLS_BurnBus::BurnDevCtrlThread(const std::string& _strMsg)
{
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s, _qstrMsg=%s", "CLS_BurnBus::BurnDevCtrlThread", _strMsg.c_str());
    const QJsonObject qjsonReq = StringToJsonObject(_strMsg);
    const QString qstrEventId = ReadText(qjsonReq, "eventId");
    const QJsonArray qjsonEntries = qjsonReq.value(QStringLiteral("burnDevInfo")).toArray();
    QJsonArray qjsonReplyList;
    int iRet = n_BurnBusResult_BadRequest;
    if (!qstrEventId.isEmpty() && !qjsonEntries.isEmpty())
        iRet = RunDevCtrlEntries(qjsonEntries, qjsonReplyList);
    emit signalSendBurnDevCtrlToPresenter(qstrEventId, BuildDevCtrlReply(qstrEventId, iRet, qjsonReplyList),
                                          n_NoReplyStatus);
}

int CLS_BurnBus::RunDevCtrlEntries(const QJsonArray& _qjsonEntries, QJsonArray& _qjsonReplyList)
{
    int iRet = 0;
    for (const QJsonValue& qjsonValue : _qjsonEntries) {
        const QJsonObject qjsonEntry = qjsonValue.toObject();
        if (!qjsonEntry.contains(QStringLiteral("burnDev"))) {
            BURN_LOG(n_BurnLogLevel_Info, "fun=%s, burnDev no exist", "CLS_BurnBus::BurnDevCtrlThread");
            iRet = -1;
            continue;
        }
        BurnResultInfo stResult;
        QJsonArray qjsonDelJobId;
        const int iEntryRet = RunDevCtrlEntry(qjsonEntry, &stResult, qjsonDelJobId);
        if (iEntryRet != 0)
            iRet = -1;
        _qjsonReplyList.append(DevCtrlReplyItem(qjsonEntry, qjsonDelJobId, iEntryRet, stResult.qstrErrMsg));
    }
    return iRet;
}

int CLS_BurnBus::RunDevCtrlEntry(const QJsonObject& _qjsonEntry, BurnResultInfo* _pResult,
                                 QJsonArray& _qjsonDelJobId)
{
    const QString qstrMistyped = MistypedField(_qjsonEntry);
    if (!qstrMistyped.isEmpty()) {
        _pResult->qstrErrMsg = QStringLiteral("参数错误:") + qstrMistyped;
        return n_BurnBusResult_BadRequest;
    }
    CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(ReadInt(_qjsonEntry, "burnDev", -1));
    if (!pBackend)
        return n_BurnBusResult_NoBackend;
    const QString qstrSubCmd = ReadText(_qjsonEntry, "subCmd");
    if (qstrSubCmd == QLatin1String("adjustPrinter"))
        return pBackend->AdjustPrinter(ToUtf8(JsonObjectToString(_qjsonEntry)), _pResult);
    if (qstrSubCmd == QLatin1String("getRobotStatus"))
        return AnnounceDevice(pBackend, _qjsonEntry, _pResult, _qjsonDelJobId);
    _pResult->qstrErrMsg = QStringLiteral("参数错误:subCmd");
    return n_BurnBusResult_BadRequest;
}

int CLS_BurnBus::AnnounceDevice(CLS_AutoBase* _pBackend, const QJsonObject& _qjsonEntry, BurnResultInfo* _pResult,
                                QJsonArray& _qjsonDelJobId)
{
    QString qstrStatus;
    const int iRobotRet = _pBackend->GetRobotStatus(qstrStatus, _pResult);
    if (iRobotRet != 0)
        return iRobotRet;
    const int iBurnDev = ReadInt(_qjsonEntry, "burnDev", -1);
    BurnDevAddr stDevAddr{ReadText(_qjsonEntry, "devIP", QStringLiteral("127.0.0.1")),
                          ReadInt(_qjsonEntry, "devPort", 0), iBurnDev};
    if (!UpdateDevAddr(stDevAddr, _qjsonDelJobId)) {
        _pResult->qstrErrMsg += QStringLiteral("任务已存在");
        return n_BurnBusResult_JobExists;
    }
    QJsonObject qjsonInquest;
    CopyMember(_qjsonEntry, "burnDev", qjsonInquest, "BurnDev");
    CopyMember(_qjsonEntry, "devIP", qjsonInquest, "serverIP");
    CopyMember(_qjsonEntry, "devPort", qjsonInquest, "DevPort");
    const int iRet = _pBackend->InquestBurn(std::string(), 0, 0, ToUtf8(JsonObjectToString(qjsonInquest)), _pResult);
    if (iRet == 0)
        m_registry.InsertBurnDev(iBurnDev, stDevAddr);
    return iRet;
}

// ---------------------------------------------------------------------------------
// Job recovery and device addresses

void CLS_BurnBus::UpdateJobInfoByJobId(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath)
{
    CLS_AutoBase* pBackend = JobBackend(_qstrJobId);
    if (!pBackend) {
        BURN_LOG(n_BurnLogLevel_Info, "UpdateJobInfoByJobId no find job=%s", _qstrJobId.toUtf8().constData());
        return;
    }
    pBackend->UpdateJobInfo(_qstrJobId, _qstrDiscLabel, _qstrPath);
}

void CLS_BurnBus::SetWorkParamWriter(WorkParamWriter _pfnWriter)
{
    CLS_AutoBase::InstallWorkParamWriter(_pfnWriter);
}

int CLS_BurnBus::ReplayCommand(const QString& _qstrCmd, const std::string& _strMsg, QString& _qstrErrCode,
                               QString& _qstrErrMsg)
{
    using Handler = int (CLS_BurnBus::*)(std::string, bool, BurnResultInfo*);
    static const QHash<QString, Handler> s_qhashHandlers{
        {QStringLiteral("ApplyBurn"), &CLS_BurnBus::InquestBurnEx},
        {QStringLiteral("StartBurn"), &CLS_BurnBus::StartBurnEx},
        {QStringLiteral("AddFile"), &CLS_BurnBus::AddFileEx},
        {QStringLiteral("WriteLabel"), &CLS_BurnBus::WriteLabelEx},
        {QStringLiteral("DoBurn"), &CLS_BurnBus::DoBurnEx},
    };
    const Handler pfnHandler = s_qhashHandlers.value(_qstrCmd, nullptr);
    if (!pfnHandler)
        return n_BurnBusResult_BadRequest;
    BurnResultInfo stResult;
    const int iRet = (this->*pfnHandler)(_strMsg, true, &stResult);
    _qstrErrCode = stResult.qstrErrCode;
    _qstrErrMsg = stResult.qstrErrMsg;
    return iRet;
}

void CLS_BurnBus::SetJobBurning(QString _qstrJobId)
{
    m_registry.UpdateJobStatus(_qstrJobId, n_BurnJobState_Burning);
}

// Completes the port from the default table; on a new address drops the device's jobs
// (ClearData without any bus lock held) and lists them. The map is written later, by
// InsertBurnDev, once the backend has accepted the address.
bool CLS_BurnBus::UpdateDevAddr(BurnDevAddr& _stDevAddr, QJsonArray& _qjsonDelJobId)
{
    if (_stDevAddr.iPort == 0 && BurnDevDefaultPort.contains(_stDevAddr.iBurnDev))
        _stDevAddr.iPort = GetBurnDevDefaultPort(_stDevAddr.iBurnDev);
    if (m_registry.IsKnownDevAddr(_stDevAddr))
        return false;
    const QStringList qlstJobIds = m_registry.TakeJobsOfDevice(_stDevAddr.iBurnDev);
    CLS_AutoBase* pBackend = CLS_AutoBase::GetInstance(_stDevAddr.iBurnDev);
    for (const QString& qstrJobId : qlstJobIds) {
        if (pBackend)
            pBackend->ClearData(qstrJobId);
        _qjsonDelJobId.append(qstrJobId);
    }
    return true;
}

bool CLS_BurnBus::FindJobInList(const QString& _qstrJobId, BurnJobInfo& _stJob) const
{
    return m_registry.FindJob(_qstrJobId, _stJob);
}
