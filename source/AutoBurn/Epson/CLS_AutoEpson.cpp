#include "CLS_AutoEpson.h"

#include <QFile>

#include "BurnDefine.h"
#include "CIniFileOpt.h"
#include "ModuleLog.h"
#include "Publisher/PublisherJobFile.h"

const char g_szEpsonUnknownPublisher[] = "JDF0200";

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Epson\\CLS_AutoEpson";
const char s_szStatusFileName[] = "TDBStatus.txt";
const char s_szPublisherSection[] = "PUBLISHER1";
const char s_szPublisherKey[] = "NAME";
const char s_szErrorKey[] = "ERROR";
const char s_szPublisherPrefix[] = "PUBLISHER";
const char s_szErrorExt[] = ".err";
constexpr qint64 n_MaxOrderRead = 1024;
}  // namespace

CLS_AutoEpson::CLS_AutoEpson(const std::string& _strOrderDir)
    : CLS_AutoPublisher(EpsonPublisher(), _strOrderDir)
    , m_strStatusFile(_strOrderDir + s_szStatusFileName)
    , m_strPublisher(ReadPublisherName())
{
}

CLS_AutoEpson::~CLS_AutoEpson() = default;

int CLS_AutoEpson::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    const int iState = CLS_AutoPublisher::GetJobStatus(_qstrJobId, _pResult);
    if (iState != n_BurnJobState_Error)
        return iState;
    const std::string strJobId = _qstrJobId.toStdString();
    const std::string strErrPath = m_strOrderDir + strJobId + s_szErrorExt;
    if (!QFile::exists(QString::fromStdString(strErrPath)) || !QFile::exists(QString::fromStdString(m_strStatusFile)))
        return n_BurnJobState_Error;
    const std::string strCode = CIniFileOpt(m_strStatusFile).ReadString(strJobId, s_szErrorKey, std::string());
    if (_pResult)
        _pResult->qstrErrCode = QString::fromStdString(strCode);
    if (strCode != g_szEpsonUnknownPublisher)
        return n_BurnJobState_Error;
    RefreshPublisher();
    return ResubmitOrder(strErrPath, WatchedOrderPath("GetJobStatus", strJobId));
}

std::string CLS_AutoEpson::PublisherName() const
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
        QStringLiteral("PUBLISHER=%1\r\n"), QString::fromStdString(PublisherName()), JobFileEncoding::Local8Bit);
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
