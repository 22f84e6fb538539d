#include "CLS_AutoBase.h"

#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

#include "BurnBackendRegistry.h"
#include "BurnDefine.h"
#include "JobFolder.h"
#include "ModuleLog.h"

const char* const g_szUnsupportedDevMsg = "设备类型错误，没有满足需求的刻录机";

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\CLS_AutoBase";

constexpr int n_StatusPollPauseMs = 60000;

QMutex s_mutexInstances;
std::atomic<CLS_AutoBase::WorkParamWriter> s_pfnWorkParamWriter{nullptr};
QMap<int, CLS_AutoBase*> s_qmapInstances;
}  // namespace

CLS_AutoBase::CLS_AutoBase()
{
    m_strTempPath = (QDir::tempPath() + QStringLiteral("/BurnFileTemp/")).toStdString();
    m_strAppPath = QCoreApplication::applicationDirPath().toStdString();
    QDir().mkdir(QString::fromStdString(m_strTempPath));
}

CLS_AutoBase::~CLS_AutoBase() = default;

int CLS_AutoBase::GetRobotStatus(QString&, BurnResultInfo* _pResult)
{
    if (_pResult)
        _pResult->qstrErrMsg = QString::fromUtf8(g_szUnsupportedDevMsg);
    return n_BurnRet_Unsupported;
}

int CLS_AutoBase::AdjustPrinter(std::string, BurnResultInfo* _pResult)
{
    if (_pResult)
        _pResult->qstrErrMsg = QString::fromUtf8(g_szUnsupportedDevMsg);
    return n_BurnRet_Unsupported;
}

QString CLS_AutoBase::GetDiscPlace(QString)
{
    return QStringLiteral("[]");
}

bool CLS_AutoBase::FindJob(QString, QString)
{
    return false;
}

bool CLS_AutoBase::UpdateJobInfo(QString, QString, QString)
{
    return false;
}

int CLS_AutoBase::StatusPollPauseMs() const
{
    return n_StatusPollPauseMs;
}

CLS_AutoBase* CLS_AutoBase::GetInstance(int _iBurnDev)
{
    QMutexLocker locker(&s_mutexInstances);
    auto itInstance = s_qmapInstances.constFind(_iBurnDev);
    if (itInstance != s_qmapInstances.constEnd())
        return itInstance.value();
    const BurnBackendCreator pfnCreate = FindBackendCreator(_iBurnDev);
    if (!pfnCreate)
        return nullptr;
    CLS_AutoBase* pBackend = pfnCreate(_iBurnDev);
    s_qmapInstances.insert(_iBurnDev, pBackend);
    return pBackend;
}

CLS_AutoBase* CLS_AutoBase::InstallInstance(int _iBurnDev, CLS_AutoBase* _pBackend)
{
    QMutexLocker locker(&s_mutexInstances);
    CLS_AutoBase* pPrevious = s_qmapInstances.value(_iBurnDev, nullptr);
    if (_pBackend)
        s_qmapInstances.insert(_iBurnDev, _pBackend);
    else
        s_qmapInstances.remove(_iBurnDev);
    return pPrevious;
}

void CLS_AutoBase::SaveJobInfo(QString _qstrJobId, QString _qstrFileName, QString _qstrContent)
{
    WriteJobInfoFile(s_szLogSource, _qstrJobId, _qstrFileName, _qstrContent);
}

void CLS_AutoBase::InstallWorkParamWriter(WorkParamWriter _pfnWriter)
{
    s_pfnWorkParamWriter.store(_pfnWriter);
}

void CLS_AutoBase::SaveWorkParam(const QString& _qstrJobId, const QString& _qstrCmd, const QString& _qstrParam)
{
    const WorkParamWriter pfnWriter = s_pfnWorkParamWriter.load();
    if (pfnWriter)
        pfnWriter(_qstrJobId, _qstrCmd, _qstrParam);
    else
        BURN_LOG(n_BurnLogLevel_Error, "SaveWorkParam dropped: job=%s cmd=%s", _qstrJobId.toUtf8().constData(),
                 _qstrCmd.toUtf8().constData());
}

std::string CLS_AutoBase::MakeJobWorkDir(const std::string& _strJobId)
{
    if (!AdmitJobId("CLS_AutoBase::MakeJobWorkDir", _strJobId))
        return std::string();
    const std::string strWorkDir = m_strTempPath + _strJobId + "/";
    QDir().mkdir(QString::fromStdString(strWorkDir));
    return strWorkDir;
}

bool CLS_AutoBase::AdmitJobId(const char* _szFun, const std::string& _strJobId)
{
    if (IsSafeFolderName(QString::fromStdString(_strJobId)))
        return true;
    BURN_LOG(n_BurnLogLevel_Error, "fun=%s refused job id [%s]", _szFun, _strJobId.c_str());
    return false;
}
