#include "CLS_AutoPrimera.h"

#include <QFile>

#include "FileOpt/CLS_OperateFile.h"
#include "BurnDefine.h"
#include "ModuleLog.h"
#include "Epson/PublisherJobFile.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Primera\\CLS_AutoPrimera";
const char s_szDefaultCloseDisc[] = "YES";
const char s_szOrderExt[] = ".jrq";
const char s_szLabelExt[] = ".dat";
const char s_szCoverDir[] = "/BurnServerFile/CDCover/";
const char s_szCoverExt[] = ".std";
const char s_szFileSeparator[] = ">\\";
constexpr int n_PrimeraLabelFieldsPerGroup = 4;

const QStringList& PrimeraLabelFields()
{
    static const QStringList s_qstrlstFields = LabelFieldNames(n_PrimeraLabelFieldsPerGroup);
    return s_qstrlstFields;
}

// Only the order of the lines tells the fields apart.
QByteArray ComposeMergeFieldFile(const QStringList& _qstrlstValues)
{
    QByteArray qbaContent;
    for (const QString& qstrValue : _qstrlstValues)
        qbaContent += ComposeJobFileLine(QStringLiteral("MergeField=%1\r\n"), qstrValue, JobFileEncoding::Local8Bit);
    return qbaContent;
}
}  // namespace

CLS_AutoPrimera::CLS_AutoPrimera(const std::string& _strOrderDir)
    : m_strOrderDir(_strOrderDir)
{
}

CLS_AutoPrimera::~CLS_AutoPrimera() = default;

bool CLS_AutoPrimera::Init(BurnResultInfo*)
{
    return true;
}

int CLS_AutoPrimera::InquestBurn(std::string, int, int, std::string, BurnResultInfo*)
{
    return 0;
}

int CLS_AutoPrimera::CancelBurn(std::string)
{
    return 0;
}

int CLS_AutoPrimera::ClearData(QString)
{
    return 0;
}

int CLS_AutoPrimera::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                               std::string _strCDCover, int _iCopies, int, std::string _strCloseDisc, std::string,
                               BurnResultInfo* _pResult)
{
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strPath = strWorkDir + _strJobId + s_szOrderExt;
    QFile qfile(QString::fromStdString(strPath));
    if (strWorkDir.empty() || !qfile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s create jrq[%s] failed.", "CLS_AutoPrimera::StartBurn",
                 strPath.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("创建JRQ文件失败");
        return 1;
    }
    const QString qstrCopies = QString::number(_iCopies);
    const QString qstrCover = QString::fromStdString(_strCDCover);
    const std::vector<JobFileField> vecFields = {
        {"JobID=%1\r\n", !_strJobId.empty(), QString::fromStdString(_strJobId)},
        {"Copies=%1\r\n", qstrCopies != QLatin1String("-1"), qstrCopies},
        {"DiskType=%1\r\n", true, MediaClassOf(_strCDType)},
        {"DataImageType=%1\r\n", true, QStringLiteral("UDF")},
        {"VolumeName=%1\r\n", !_strCDTitle.empty(), QString::fromStdString(_strCDTitle)},
        {"PrintLabel=%1\r\n", !qstrCover.isEmpty(),
         ToBackslashes(QString::fromStdString(m_strAppPath) + QLatin1String(s_szCoverDir) + qstrCover
                       + QLatin1String(s_szCoverExt))},
        {"MergeFieldPath=%1\r\n", !qstrCover.isEmpty(),
         ToBackslashes(QString::fromStdString(strWorkDir + _strJobId + s_szLabelExt))},
        {"ClientID=%1\r\n", true, QStringLiteral("Unknown")},
        {"Importance=%1\r\n", true, QStringLiteral("0")},
        {"BurnSpeed=%1\r\n", true, QStringLiteral("0")},
        {"VerifyDisc=%1\r\n", true, QStringLiteral("NO")},
        {"CloseDisc=%1\r\n", true, TextOrDefault(_strCloseDisc, s_szDefaultCloseDisc)},
    };
    qfile.write(ComposeJobFileLines(vecFields, JobFileEncoding::Utf8));
    qfile.close();
    return 0;
}

int CLS_AutoPrimera::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    if (_stFileTask.vecFiles.empty()) {
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("[Primera][没有文件]");
        return -2;
    }
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strPath = strWorkDir + _strJobId + s_szOrderExt;
    if (strWorkDir.empty()
        || !AppendDataLines(strPath, _stFileTask, QLatin1String(s_szFileSeparator), JobFileEncoding::Utf8)) {
        BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, jobid=%s, open fail", "CLS_AutoPrimera::AddFile", _strJobId.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("[Primera][打开文件失败][%1][%2]")
                                       .arg(QString::fromStdString(_strJobId), QString::fromStdString(strPath));
        return -1;
    }
    return 0;
}

int CLS_AutoPrimera::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    static const char s_szFun[] = "CLS_AutoPrimera::DoBurn";
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strJrq = strWorkDir + _strJobId + s_szOrderExt;
    const std::string strMonitorFile = m_strOrderDir + _strJobId + s_szOrderExt;
    if (!strWorkDir.empty() && HandOverJobFile(s_szLogSource, s_szFun, _strJobId, strJrq, strMonitorFile))
        return 0;
    if (_pResult)
        _pResult->qstrErrMsg = QStringLiteral("[Primera][copy file fail]") + QString::fromStdString(_strJobId);
    BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, jobid=%s, blCopyRet==false copy file fail strJRQ=%s, strMonitorFile=%s",
             s_szFun, _strJobId.c_str(), strJrq.c_str(), strMonitorFile.c_str());
    return -1;
}

int CLS_AutoPrimera::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    if (strWorkDir.empty())
        return 0;
    const std::string strPath = strWorkDir + _strJobId + s_szLabelExt;
    const std::optional<QStringList> optValues = LabelFieldValues(_strReqJson, PrimeraLabelFields());
    if (!optValues)
        return 0;
    BURN_LOG(n_BurnLogLevel_Info, "[CLS_AutoPrimera::WriteLabel]全自动刻录---光盘封面文件：(%s)\r\n", strPath.c_str());
    RewriteJobFile(strPath, ComposeMergeFieldFile(*optValues));
    return 0;
}

int CLS_AutoPrimera::GetJobStatus(QString _qstrJobId, BurnResultInfo*)
{
    if (RefuseUnsafeJobId(s_szLogSource, "CLS_AutoPrimera::GetJobStatus", _qstrJobId))
        return n_BurnJobState_Unknown;
    return CLS_OperateFile::GetJobFileState(m_strOrderDir + _qstrJobId.toStdString() + s_szOrderExt);
}
