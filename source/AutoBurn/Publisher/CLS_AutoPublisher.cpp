#include "CLS_AutoPublisher.h"

#include <QDir>
#include <QFile>

#include "BurnDefine.h"
#include "FileOpt/CLS_OperateFile.h"
#include "ModuleLog.h"
#include "PublisherJobFile.h"

namespace
{
const char s_szCoverDir[] = "/BurnServerFile/CDCover/";

// ".jdf" -> "jdf" or "JDF", as the file kind is named in texts.
QByteArray ExtName(const char* _szExt, bool _blUpper)
{
    const QByteArray qbaName = QByteArray(_szExt).mid(1);
    return _blUpper ? qbaName.toUpper() : qbaName;
}
}  // namespace

CLS_AutoPublisher::CLS_AutoPublisher(const PublisherVendor& _stVendor, const std::string& _strOrderDir)
    : m_stVendor(_stVendor)
    , m_strOrderDir(_strOrderDir)
{
}

CLS_AutoPublisher::~CLS_AutoPublisher() = default;

bool CLS_AutoPublisher::Init(BurnResultInfo*)
{
    return true;
}

int CLS_AutoPublisher::InquestBurn(std::string, int, int, std::string, BurnResultInfo*)
{
    return 0;
}

int CLS_AutoPublisher::CancelBurn(std::string)
{
    return 0;
}

int CLS_AutoPublisher::ClearData(QString _qstrJobId)
{
    std::lock_guard<std::mutex> lock(m_mutexHandedOver);
    m_setHandedOver.erase(_qstrJobId.toStdString());
    return 0;
}

bool CLS_AutoPublisher::IsHandedOver(const std::string& _strJobId) const
{
    std::lock_guard<std::mutex> lock(m_mutexHandedOver);
    return m_setHandedOver.count(_strJobId) > 0;
}

std::string CLS_AutoPublisher::PublisherName() const
{
    return std::string();
}

std::string CLS_AutoPublisher::WatchedOrderPath(const char* _szFunction, const std::string& _strJobId) const
{
    if (!AdmitJobId(FunName(_szFunction).constData(), _strJobId))
        return std::string();
    return m_strOrderDir + _strJobId + m_stVendor.szOrderExt;
}

QByteArray CLS_AutoPublisher::FunName(const char* _szFunction) const
{
    return QByteArray(m_stVendor.szClassName) + "::" + _szFunction;
}

std::string CLS_AutoPublisher::WorkFilePath(const std::string& _strJobId, const char* _szExt)
{
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    return strWorkDir.empty() ? std::string() : strWorkDir + _strJobId + _szExt;
}

QString CLS_AutoPublisher::BrandText(const char* _szText) const
{
    return QLatin1Char('[') + QLatin1String(m_stVendor.szBrand) + QLatin1Char(']') + QString::fromUtf8(_szText);
}

int CLS_AutoPublisher::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                                 std::string _strCDCover, int _iCopies, int, std::string _strCloseDisc, std::string,
                                 BurnResultInfo* _pResult)
{
    const std::string strPath = WorkFilePath(_strJobId, m_stVendor.szOrderExt);
    QFile qfile(QString::fromStdString(strPath));
    if (strPath.empty() || !qfile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QByteArray qbaFormat = "fun=%s create " + ExtName(m_stVendor.szOrderExt, false) + "[%s] failed.";
        BURN_LOG_AS(m_stVendor.szLogSource, n_BurnLogLevel_Error, qbaFormat.constData(),
                    FunName("StartBurn").constData(), strPath.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("创建%1文件失败").arg(QString(ExtName(m_stVendor.szOrderExt, true)));
        return 1;
    }
    PublisherOrderValues stValues;
    stValues.qstrJobId = QString::fromStdString(_strJobId);
    stValues.iCopies = _iCopies;
    stValues.qstrMediaName = QString::fromStdString(_strCDType);
    stValues.qstrTitle = QString::fromStdString(_strCDTitle);
    if (!_strCDCover.empty())
        stValues.qstrCoverFile = QString::fromStdString(m_strAppPath + s_szCoverDir + _strCDCover + m_stVendor.szCoverExt);
    stValues.qstrLabelFile = QString::fromStdString(WorkFilePath(_strJobId, m_stVendor.szLabelExt));
    stValues.qstrPublisher = QString::fromStdString(PublisherName());
    stValues.qstrCloseDisc = QString::fromStdString(_strCloseDisc);
    qfile.write(ComposeOrderFile(m_stVendor, stValues));
    return 0;
}

int CLS_AutoPublisher::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    if (_stFileTask.vecFiles.empty()) {
        if (_pResult)
            _pResult->qstrErrMsg = BrandText("[没有文件]");
        return -2;
    }
    const std::string strPath = WorkFilePath(_strJobId, m_stVendor.szOrderExt);
    if (strPath.empty() || !AppendJobFile(strPath, ComposeDataLines(m_stVendor, _stFileTask))) {
        BURN_LOG_AS(m_stVendor.szLogSource, n_BurnLogLevel_Error, m_stVendor.szOpenFailLog,
                    FunName("AddFile").constData(), _strJobId.c_str(), strPath.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = BrandText("[打开文件失败][%1][%2]")
                                       .arg(QString::fromStdString(_strJobId), QString::fromStdString(strPath));
        return -1;
    }
    _stFileTask.vecFiles.clear();
    return 0;
}

int CLS_AutoPublisher::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    const QByteArray qbaFun = FunName("DoBurn");
    const std::string strOrder = WorkFilePath(_strJobId, m_stVendor.szOrderExt);
    const std::string strMonitorFile = WatchedOrderPath("DoBurn", _strJobId);
    if (!strOrder.empty()
        && HandOverJobFile(m_stVendor.szLogSource, qbaFun.constData(), _strJobId, strOrder, strMonitorFile)) {
        std::lock_guard<std::mutex> lock(m_mutexHandedOver);
        m_setHandedOver.insert(_strJobId);
        return 0;
    }
    if (_pResult)
        _pResult->qstrErrMsg = BrandText("[copy file fail]") + QString::fromStdString(_strJobId);
    const QByteArray qbaFormat = "FUN=%s, jobid=%s, blCopyRet==false copy file fail str"
        + ExtName(m_stVendor.szOrderExt, true) + "=%s, strMonitorFile=%s";
    BURN_LOG_AS(m_stVendor.szLogSource, n_BurnLogLevel_Error, qbaFormat.constData(), qbaFun.constData(),
                _strJobId.c_str(), strOrder.c_str(), strMonitorFile.c_str());
    return -1;
}

int CLS_AutoPublisher::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    const std::string strPath = WorkFilePath(_strJobId, m_stVendor.szLabelExt);
    if (strPath.empty())
        return 0;
    const std::optional<QStringList> optValues = LabelFieldValues(_strReqJson, LabelFieldNames(m_stVendor));
    if (!optValues)
        return 0;
    BURN_LOG_AS(m_stVendor.szLogSource, n_BurnLogLevel_Info, "[%s]全自动刻录---光盘封面文件：(%s)\r\n",
                FunName("WriteLabel").constData(), strPath.c_str());
    RewriteJobFile(strPath, ComposeLabelFile(m_stVendor, *optValues));
    return 0;
}

// A job handed over keeps one of its files in the watched folder until it ends. With the
// folder gone (removed while the job ran) nothing would ever tell its end, and the job
// would be polled for good: it ends in error instead. A job never handed over stays unknown.
int CLS_AutoPublisher::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    const std::string strOrderPath = WatchedOrderPath("GetJobStatus", _qstrJobId.toStdString());
    const int iState = CLS_OperateFile::GetJobFileState(strOrderPath);
    const QString qstrOrderDir = QString::fromStdString(m_strOrderDir);
    if (iState != n_BurnJobState_Unknown || strOrderPath.empty() || QDir(qstrOrderDir).exists()
        || !IsHandedOver(_qstrJobId.toStdString()))
        return iState;
    BURN_LOG_AS(m_stVendor.szLogSource, n_BurnLogLevel_Error, "fun=%s, jobid=%s, the watched folder [%s] is gone",
                FunName("GetJobStatus").constData(), _qstrJobId.toUtf8().constData(), m_strOrderDir.c_str());
    if (_pResult)
        _pResult->qstrErrMsg = BrandText("[刻录文件夹不存在]") + qstrOrderDir;
    return n_BurnJobState_Error;
}
