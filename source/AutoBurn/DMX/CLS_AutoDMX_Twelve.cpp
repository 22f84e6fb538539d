#include "CLS_AutoDMX_Twelve.h"

#include "ModuleLog.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\DMX\\CLS_AutoDMX_Twelve";
constexpr int n_ShortTimeoutMs = 10000;
constexpr int n_TaskTimeoutMs = 600000;
constexpr int n_EditTimeoutMs = 60000;
constexpr int n_GoRunTimeoutMs = 30000;
constexpr int n_MissDiscResubmit = 1;
constexpr int n_MissDiscRestart = 2;

QByteArray Utf8(const QString& _qstrText)
{
    return _qstrText.toUtf8();
}
}  // namespace

QStringList CLS_AutoDMX_Twelve::MissDiscQueue() const
{
    QMutexLocker locker(&m_mutexMissDisc);
    return m_qlstMissDisc;
}

void CLS_AutoDMX_Twelve::OnTaskStatus(const QString& _qstrGuid, int _iStatus)
{
    if (IsDmxErrorStatus(_iStatus) && IsMissDisc(_qstrGuid)) {
        SetMissDiscJobType(_qstrGuid, n_MissDiscRestart);
        SetTaskStatus(_qstrGuid, n_DmxTaskStatus_MissDisc);
        return;
    }
    SetTaskStatus(_qstrGuid, _iStatus);
}

bool CLS_AutoDMX_Twelve::AcceptRefusedTask(const QString& _qstrJobId, int _iErrId)
{
    if (_iErrId != n_DmxErrId_NoDiscForTask)
        return false;
    // Waiting for discs: the job reports state 14 until it is reburned.
    SetMissDiscJobType(_qstrJobId, n_MissDiscResubmit);
    SetTaskStatus(_qstrJobId, n_DmxTaskStatus_MissDisc);
    BURN_LOG(n_BurnLogLevel_Error, "miss disc");
    return true;
}

bool CLS_AutoDMX_Twelve::ReadDiscStock(int& _iCount)
{
    QString qstrReply;
    if (Send("get", "CdItemCount", QString(), n_ShortTimeoutMs, qstrReply) != 1)
        return false;
    // The count comes as decimal text, with or without JSON quotes.
    QString qstrCount = qstrReply.trimmed();
    if (qstrCount.startsWith(QLatin1Char('"')) && qstrCount.endsWith(QLatin1Char('"')))
        qstrCount = qstrCount.mid(1, qstrCount.size() - 2);
    _iCount = qstrCount.toInt();
    CheckMissDiscQueue(_iCount);
    return true;
}

bool CLS_AutoDMX_Twelve::IsMissDisc(const QString& _qstrJobId)
{
    const QString qstrFilter = DmxLogFilter(_qstrJobId);
    BURN_LOG(n_BurnLogLevel_Info, "IsMissDisc strJson=%s", Utf8(qstrFilter).constData());
    QString qstrReply;
    const int iRet = Send("get", "TaskSysLogs", qstrFilter, n_ShortTimeoutMs, qstrReply);
    if (iRet != 1) {
        BURN_LOG(n_BurnLogLevel_Error, "[TaskSysLogs]rrRet=%d strBuff=%s", iRet, Utf8(qstrReply).constData());
        return false;
    }
    int iUnreadable = 0;
    const bool blMissDisc = HasMissDiscError(qstrReply, &iUnreadable);
    for (int i = 0; i < iUnreadable; ++i)
        BURN_LOG(n_BurnLogLevel_Error, "[slErrorId] Parameter not found");
    return blMissDisc;
}

void CLS_AutoDMX_Twelve::SetMissDiscJobType(const QString& _qstrJobId, int _iType)
{
    BURN_LOG(n_BurnLogLevel_Info, "SetMissDiscJobType job=%s type=%d", Utf8(_qstrJobId).constData(), _iType);
    EditJob(_qstrJobId, [&](DMXJobParam& _stJob) { _stJob.iMissDiscType = _iType; });
    InsertMissDiscJob(_qstrJobId);
}

void CLS_AutoDMX_Twelve::InsertMissDiscJob(const QString& _qstrJobId)
{
    QMutexLocker locker(&m_mutexMissDisc);
    if (m_qlstMissDisc.contains(_qstrJobId)) {
        BURN_LOG(n_BurnLogLevel_Info, "_qstrJobId is find");
        return;
    }
    m_qlstMissDisc << _qstrJobId;
}

bool CLS_AutoDMX_Twelve::IsNeedReBurn(const QString& _qstrJobId)
{
    EditJob(_qstrJobId, [&](DMXJobParam& _stJob) {
        ++_stJob.m_iReBurnCount;
        BURN_LOG(n_BurnLogLevel_Info, "it->m_iReBurnCount =%d", _stJob.m_iReBurnCount);
    });
    return true;
}

void CLS_AutoDMX_Twelve::CheckMissDiscQueue(int _iCdCount)
{
    BURN_LOG(n_BurnLogLevel_Info, "_nCDCount =%d", _iCdCount);
    QString qstrJobId;
    {
        QMutexLocker locker(&m_mutexMissDisc);
        if (_iCdCount <= 0 || m_qlstMissDisc.isEmpty())
            return;
        qstrJobId = m_qlstMissDisc.takeFirst();
    }
    ReBurn(qstrJobId);
}

void CLS_AutoDMX_Twelve::ReBurn(const QString& _qstrJobId)
{
    DMXJobParam stJob;
    if (!FindJobParam(_qstrJobId, stJob))
        return;
    BURN_LOG(n_BurnLogLevel_Info, "ReBurn jobid:%s type:%d", Utf8(_qstrJobId).constData(), stJob.iMissDiscType);
    if (stJob.iMissDiscType == n_MissDiscResubmit)
        ResubmitTask(_qstrJobId);
    else
        RestartTask(_qstrJobId);
}

void CLS_AutoDMX_Twelve::ResubmitTask(const QString& _qstrJobId)
{
    BurnResultInfo stResult;
    QString qstrTask;
    if (!GetAddTaskParam(_qstrJobId, qstrTask, &stResult))
        return;
    QString qstrReply;
    int iErrId = 0;
    const int iRet = Send("task", "AddTask", qstrTask, n_TaskTimeoutMs, qstrReply, &iErrId);
    if (iRet == 1) {
        SetTaskStatus(_qstrJobId, 0);
        return;
    }
    BURN_LOG(n_BurnLogLevel_Error, "[DMX]任务下发失败:rrRet=%d buf=%s errId:%d", iRet, Utf8(qstrReply).constData(),
             iErrId);
    if (iErrId == n_DmxErrId_NoDiscForTask && IsNeedReBurn(_qstrJobId)) {
        SetMissDiscJobType(_qstrJobId, n_MissDiscResubmit);
        SetTaskStatus(_qstrJobId, n_DmxTaskStatus_MissDisc);
        BURN_LOG(n_BurnLogLevel_Error, "miss disc");
    }
}

void CLS_AutoDMX_Twelve::RestartTask(const QString& _qstrJobId)
{
    QString qstrReply;
    int iRet = Send("task", "EditTask", DmxRestartRange(_qstrJobId), n_EditTimeoutMs, qstrReply);
    if (iRet != 1) {
        BURN_LOG(n_BurnLogLevel_Error, "[EditTask]rrRet=%d strBuff=%s", iRet, Utf8(qstrReply).constData());
        if (IsNeedReBurn(_qstrJobId))
            SetMissDiscJobType(_qstrJobId, n_MissDiscResubmit);
    }
    iRet = Send("task", "GoRunTask", _qstrJobId, n_GoRunTimeoutMs, qstrReply);
    if (iRet == 1) {
        SetTaskStatus(_qstrJobId, 0);
        return;
    }
    BURN_LOG(n_BurnLogLevel_Error, "[GoRunTask]rrRet=%d strBuff=%s", iRet, Utf8(qstrReply).constData());
    if (IsNeedReBurn(_qstrJobId)) {
        SetMissDiscJobType(_qstrJobId, n_MissDiscRestart);
        return;
    }
    BURN_LOG(n_BurnLogLevel_Error, "reburn failed");
    SetTaskStatus(_qstrJobId, n_DmxTaskStatus_ReburnFailed);
}
