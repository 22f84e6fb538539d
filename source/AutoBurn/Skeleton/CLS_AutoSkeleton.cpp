#include "CLS_AutoSkeleton.h"

#include <QMutexLocker>

#include "BurnDefine.h"
#include "ModuleLog.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Skeleton\\CLS_AutoSkeleton";
}  // namespace

bool CLS_AutoSkeleton::Init(BurnResultInfo*)
{
    return true;
}

int CLS_AutoSkeleton::InquestBurn(std::string _strJobId, int, int, std::string, BurnResultInfo* _pResult)
{
    // A device announcement ("getRobotStatus") comes without a job.
    if (_strJobId.empty())
        return 0;
    if (!AdmitJobId("CLS_AutoSkeleton::InquestBurn", _strJobId)) {
        _pResult->qstrErrMsg = QStringLiteral("[Skeleton][任务ID非法]");
        return -1;
    }
    QMutexLocker locker(&m_mutexJobs);
    m_qmapJobState.insert(QString::fromStdString(_strJobId), n_BurnJobState_Waiting);
    return 0;
}

int CLS_AutoSkeleton::StartBurn(std::string _strJobId, std::string, std::string, std::string, int, int, std::string,
                                std::string, BurnResultInfo* _pResult)
{
    if (MakeJobWorkDir(_strJobId).empty() || JobState(QString::fromStdString(_strJobId)) < 0) {
        _pResult->qstrErrMsg = QStringLiteral("[Skeleton][未找到jobID]");
        return -1;
    }
    return 0;
}

int CLS_AutoSkeleton::CancelBurn(std::string _strJobId)
{
    return SetJobState(QString::fromStdString(_strJobId), n_BurnJobState_Cancelled) ? 0 : -1;
}

int CLS_AutoSkeleton::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    if (_stFileTask.vecFiles.empty()) {
        _pResult->qstrErrMsg = QStringLiteral("[Skeleton][没有文件]");
        return -2;
    }
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, job=%s, files=%d", "CLS_AutoSkeleton::AddFile", _strJobId.c_str(),
             static_cast<int>(_stFileTask.vecFiles.size()));
    return JobState(QString::fromStdString(_strJobId)) < 0 ? -1 : 0;
}

int CLS_AutoSkeleton::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    if (SetJobState(QString::fromStdString(_strJobId), n_BurnJobState_Burning))
        return 0;
    _pResult->qstrErrMsg = QStringLiteral("[Skeleton][未找到jobID]");
    return -1;
}

int CLS_AutoSkeleton::WriteLabel(std::string, std::string, BurnResultInfo*)
{
    return 0;
}

int CLS_AutoSkeleton::GetJobStatus(QString _qstrJobId, BurnResultInfo*)
{
    const int iState = JobState(_qstrJobId);
    return iState == n_BurnJobState_Burning ? n_BurnJobState_Finished : iState;
}

int CLS_AutoSkeleton::ClearData(QString _qstrJobId)
{
    QMutexLocker locker(&m_mutexJobs);
    m_qmapJobState.remove(_qstrJobId);
    return 0;
}

int CLS_AutoSkeleton::JobState(const QString& _qstrJobId) const
{
    QMutexLocker locker(&m_mutexJobs);
    return m_qmapJobState.value(_qstrJobId, n_BurnJobState_Unknown);
}

bool CLS_AutoSkeleton::SetJobState(const QString& _qstrJobId, int _iState)
{
    QMutexLocker locker(&m_mutexJobs);
    auto itJob = m_qmapJobState.find(_qstrJobId);
    if (itJob == m_qmapJobState.end())
        return false;
    *itJob = _iState;
    return true;
}
