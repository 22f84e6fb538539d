#include "CLS_AutoEpson.h"

#include <QFile>

#include "BurnDefine.h"
#include "CIniFileOpt.h"
#include "FileOpt/CLS_OperateFile.h"
#include "ModuleLog.h"
#include "PublisherJobFile.h"

const char g_szEpsonUnknownPublisher[] = "JDF0200";

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Epson\\CLS_AutoEpson";
const char s_szStatusFileName[] = "TDBStatus.txt";
const char s_szPublisherSection[] = "PUBLISHER1";
const char s_szPublisherKey[] = "NAME";
const char s_szErrorKey[] = "ERROR";
const char s_szPublisherPrefix[] = "PUBLISHER";
const char s_szDefaultPublisher[] = "PP-100II 1";
const char s_szDefaultCloseDisc[] = "YES";
const char s_szOrderExt[] = ".jdf";
const char s_szErrorExt[] = ".err";
const char s_szLabelExt[] = ".data";
const char s_szCoverDir[] = "/BurnServerFile/CDCover/";
const char s_szCoverExt[] = ".tdd";
constexpr int n_EpsonLabelFieldsPerGroup = 10;
constexpr qint64 n_MaxOrderRead = 1024;

const QStringList& EpsonLabelFields()
{
    static const QStringList s_qstrlstFields = LabelFieldNames(n_EpsonLabelFieldsPerGroup);
    return s_qstrlstFields;
}

QByteArray ComposeEpsonLabelFile(const QStringList& _qstrlstValues)
{
    QByteArray qbaContent;
    const QStringList& qstrlstFields = EpsonLabelFields();
    for (int iField = 0; iField < qstrlstFields.size(); ++iField)
        qbaContent += ComposeJobFileLine(qstrlstFields[iField] + QStringLiteral("=%1\r\n"),
                                         _qstrlstValues.value(iField), JobFileEncoding::Local8Bit);
    return qbaContent;
}
}  // namespace

CLS_AutoEpson::CLS_AutoEpson(const std::string& _strOrderDir)
    : m_strOrderDir(_strOrderDir)
    , m_strStatusFile(_strOrderDir + s_szStatusFileName)
    , m_strPublisher(ReadPublisherName())
{
}

CLS_AutoEpson::~CLS_AutoEpson() = default;

bool CLS_AutoEpson::Init(BurnResultInfo*)
{
    return true;
}

int CLS_AutoEpson::InquestBurn(std::string, int, int, std::string, BurnResultInfo*)
{
    return 0;
}

int CLS_AutoEpson::CancelBurn(std::string)
{
    return 0;
}

int CLS_AutoEpson::ClearData(QString)
{
    return 0;
}

int CLS_AutoEpson::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                             std::string _strCDCover, int _iCopies, int, std::string _strCloseDisc, std::string,
                             BurnResultInfo* _pResult)
{
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strPath = strWorkDir + _strJobId + s_szOrderExt;
    QFile qfile(QString::fromStdString(strPath));
    if (strWorkDir.empty() || !qfile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s create jdf[%s] failed.", "CLS_AutoEpson::StartBurn", strPath.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("创建JDF文件失败");
        return 1;
    }
    const QString qstrCopies = QString::number(_iCopies);
    const QString qstrCover = QString::fromStdString(_strCDCover);
    const std::vector<JobFileField> vecFields = {
        {"JOB_ID=%1\r\n", !_strJobId.empty(), QString::fromStdString(_strJobId)},
        {"COPIES=%1\r\n", qstrCopies != QLatin1String("-1"), qstrCopies},
        {"OUT_STACKER=%1\r\n", true, QStringLiteral("3")},
        {"DISC_TYPE=%1\r\n", true, MediaClassOf(_strCDType)},
        {"FORMAT=%1\r\n", true, QStringLiteral("UDF102")},
        {"VOLUME_LABEL=%1\r\n", !_strCDTitle.empty(), QString::fromStdString(_strCDTitle)},
        {"LABEL=%1\r\n", !qstrCover.isEmpty(),
         ToBackslashes(QString::fromStdString(m_strAppPath) + QLatin1String(s_szCoverDir) + qstrCover
                       + QLatin1String(s_szCoverExt))},
        {"REPLACE_FIELD=%1\r\n", !qstrCover.isEmpty(),
         ToBackslashes(QString::fromStdString(strWorkDir + _strJobId + s_szLabelExt))},
        {"PUBLISHER=%1\r\n", true, TextOrDefault(Publisher(), s_szDefaultPublisher)},
        {"CLOSE_DISC=%1\r\n", true, TextOrDefault(_strCloseDisc, s_szDefaultCloseDisc)},
    };
    qfile.write(ComposeJobFileLines(vecFields, JobFileEncoding::Local8Bit));
    qfile.close();
    return 0;
}

int CLS_AutoEpson::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    if (_stFileTask.vecFiles.empty()) {
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("[Epson][没有文件]");
        return -2;
    }
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strPath = strWorkDir + _strJobId + s_szOrderExt;
    if (strWorkDir.empty()
        || !AppendDataLines(strPath, _stFileTask, QStringLiteral("\t"), JobFileEncoding::Local8Bit)) {
        BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, jobid=%s, [open fail][%s]", "CLS_AutoEpson::AddFile",
                 _strJobId.c_str(), strPath.c_str());
        if (_pResult)
            _pResult->qstrErrMsg = QStringLiteral("[Epson][打开文件失败][%1][%2]")
                                       .arg(QString::fromStdString(_strJobId), QString::fromStdString(strPath));
        return -1;
    }
    return 0;
}

int CLS_AutoEpson::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    static const char s_szFun[] = "CLS_AutoEpson::DoBurn";
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    const std::string strJdf = strWorkDir + _strJobId + s_szOrderExt;
    const std::string strMonitorFile = m_strOrderDir + _strJobId + s_szOrderExt;
    if (!strWorkDir.empty() && HandOverJobFile(s_szLogSource, s_szFun, _strJobId, strJdf, strMonitorFile))
        return 0;
    if (_pResult)
        _pResult->qstrErrMsg = QStringLiteral("[Epson][copy file fail]") + QString::fromStdString(_strJobId);
    BURN_LOG(n_BurnLogLevel_Error, "FUN=%s, jobid=%s, blCopyRet==false copy file fail strJDF=%s, strMonitorFile=%s",
             s_szFun, _strJobId.c_str(), strJdf.c_str(), strMonitorFile.c_str());
    return -1;
}

int CLS_AutoEpson::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    const std::string strWorkDir = MakeJobWorkDir(_strJobId);
    if (strWorkDir.empty())
        return 0;
    const std::string strPath = strWorkDir + _strJobId + s_szLabelExt;
    const std::optional<QStringList> optValues = LabelFieldValues(_strReqJson, EpsonLabelFields());
    if (!optValues)
        return 0;
    BURN_LOG(n_BurnLogLevel_Info, "[CLS_AutoEpson::WriteLabel]全自动刻录---光盘封面文件：(%s)\r\n", strPath.c_str());
    RewriteJobFile(strPath, ComposeEpsonLabelFile(*optValues));
    return 0;
}

int CLS_AutoEpson::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    if (RefuseUnsafeJobId(s_szLogSource, "CLS_AutoEpson::GetJobStatus", _qstrJobId))
        return n_BurnJobState_Unknown;
    const std::string strJobId = _qstrJobId.toStdString();
    const std::string strOrderPath = m_strOrderDir + strJobId + s_szOrderExt;
    const int iState = CLS_OperateFile::GetJobFileState(strOrderPath);
    if (iState != n_BurnJobState_Error)
        return iState;
    const std::string strErrPath = m_strOrderDir + strJobId + s_szErrorExt;
    if (!QFile::exists(QString::fromStdString(strErrPath)) || !QFile::exists(QString::fromStdString(m_strStatusFile)))
        return n_BurnJobState_Error;
    const std::string strCode = CIniFileOpt(m_strStatusFile).ReadString(strJobId, s_szErrorKey, std::string());
    if (_pResult)
        _pResult->qstrErrCode = QString::fromStdString(strCode);
    if (strCode != g_szEpsonUnknownPublisher)
        return n_BurnJobState_Error;
    RefreshPublisher();
    return ResubmitOrder(strErrPath, strOrderPath);
}

std::string CLS_AutoEpson::Publisher() const
{
    std::lock_guard<std::mutex> lock(m_mutexPublisher);
    return m_strPublisher;
}

void CLS_AutoEpson::RefreshPublisher()
{
    const std::string strPublisher = ReadPublisherName();
    {
        std::lock_guard<std::mutex> lock(m_mutexPublisher);
        m_strPublisher = strPublisher;
    }
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s,  m_strPublisher=%s", "CLS_AutoEpson::GetJobStatus", strPublisher.c_str());
}

std::string CLS_AutoEpson::ReadPublisherName() const
{
    return CIniFileOpt(m_strStatusFile).ReadString(s_szPublisherSection, s_szPublisherKey, std::string());
}

int CLS_AutoEpson::ResubmitOrder(const std::string& _strErrPath, const std::string& _strOrderPath)
{
    static const char s_szFun[] = "CLS_AutoEpson::GetJobStatus";
    const QString qstrErrPath = QString::fromStdString(_strErrPath);
    const QString qstrTempPath = qstrErrPath + QStringLiteral("jdf");
    QFile qfileTemp(qstrTempPath);
    QFile qfileErr(qstrErrPath);
    if (!qfileTemp.open(QIODevice::WriteOnly) || !qfileErr.open(QIODevice::ReadOnly)) {
        qfileTemp.remove();
        return n_BurnJobState_Error;
    }
    const QByteArray qbaPublisherLine = ComposeJobFileLine(
        QStringLiteral("PUBLISHER=%1\r\n"), QString::fromStdString(Publisher()), JobFileEncoding::Local8Bit);
    int iLines = 0;
    for (QByteArray qbaLine = qfileErr.readLine(n_MaxOrderRead); !qbaLine.isEmpty();
         qbaLine = qfileErr.readLine(n_MaxOrderRead), ++iLines) {
        BURN_LOG(n_BurnLogLevel_Info, "fun=%s,  qbaLine=%s", s_szFun, qbaLine.constData());
        qfileTemp.write(ResubmittedOrderLine(qbaLine, qbaPublisherLine));
    }
    qfileTemp.close();
    qfileErr.close();
    if (iLines == 0) {
        qfileTemp.remove();
        return n_BurnJobState_Error;
    }
    QFile::remove(qstrErrPath);
    if (!QFile::rename(qstrTempPath, QString::fromStdString(_strOrderPath)))
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, rename [%s] failed", s_szFun, qstrTempPath.toUtf8().constData());
    return n_BurnJobState_Waiting;
}

QByteArray ResubmittedOrderLine(const QByteArray& _qbaLine, const QByteArray& _qbaPublisherLine)
{
    return _qbaLine.startsWith(s_szPublisherPrefix) ? _qbaPublisherLine : _qbaLine;
}
