#include "CLS_AutoOda.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QReadLocker>
#include <QSet>
#include <QStorageInfo>
#include <QThread>
#include <QWriteLocker>

#include <algorithm>
#include <atomic>
#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "BurnDefine.h"
#include "BurnLibBinding.h"
#include "BurnTiming.h"
#include "CommonFun.h"
#include "FileOpt/FileCopy.h"
#include "JobFolder.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "source\\AutoBurn\\Oda\\CLS_AutoOda";
constexpr int n_OdaDefaultPort = 8080;
constexpr int n_OdaHttpTimeout = 3600;
constexpr int n_PoolListAttempts = 60;
constexpr int n_PoolListAttemptMs = 1000;
constexpr unsigned n_DiscLabelSequences = 999;

// Shared by every archive kind: two labels never repeat within a second.
std::atomic<unsigned> s_uDiscLabelSeq{0};

QByteArray Utf8(const QString& _qstrText)
{
    return _qstrText.toUtf8();
}

unsigned LastSystemError()
{
#ifdef Q_OS_WIN
    return GetLastError();
#else
    return static_cast<unsigned>(errno);
#endif
}

// The request's pairs with each source folder replaced by the files below it, their
// destinations under the pair's destination.
std::vector<std::pair<QString, QString>> ExpandFolders(const BurnFileTask& _stFileTask)
{
    std::vector<std::pair<QString, QString>> vecFiles;
    for (const auto& file : _stFileTask.vecFiles) {
        const QString qstrSrc = QString::fromStdString(file.first);
        // Destinations come from Windows clients too: a backslash separates folders.
        const QString qstrDst = QString::fromStdString(file.second).replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (!QFileInfo(qstrSrc).isDir()) {
            vecFiles.emplace_back(qstrSrc, qstrDst);
            continue;
        }
        QDirIterator qdirIt(qstrSrc, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (qdirIt.hasNext()) {
            const QString qstrFile = qdirIt.next();
            vecFiles.emplace_back(qstrFile, qstrDst + QLatin1Char('/') + QDir(qstrSrc).relativeFilePath(qstrFile));
        }
    }
    return vecFiles;
}

QString CopyFailureText(const FileCopyError& _stError, const QString& _qstrSrc, const QString& _qstrDst)
{
    const QFileInfo qfiSrc(_qstrSrc);
    return QStringLiteral("QFileDevice::error=%1;QFileDevice::errorString=%2;DstPath=%3;DstPathBytesAvailable=%4;"
                          "SrcFileSize=%5")
               .arg(_stError.iFileError)
               .arg(_stError.qstrText, _qstrDst)
               .arg(QStorageInfo(QFileInfo(_qstrDst).absolutePath()).bytesAvailable())
               .arg(qfiSrc.size())
           + QStringLiteral("GetLastError=%1").arg(LastSystemError())
           + QStringLiteral("scrPath=%1; IsExit=%2; permissions=%3")
                 .arg(_qstrSrc)
                 .arg(qfiSrc.exists())
                 .arg(static_cast<int>(qfiSrc.permissions()));
}
}  // namespace

CLS_AutoOda::CLS_AutoOda(int _iDevType)
    : m_pJobLock(std::make_unique<QReadWriteLock>())
    , m_pTaskLock(std::make_unique<QReadWriteLock>())
    , m_iDevType(_iDevType)
{
    // Every request goes through the HTTP client library beside the host.
    if (!webservice_init_lib((m_strAppPath + "/").c_str()))
        BURN_LOG(n_BurnLogLevel_Error, "CLS_AutoOda: webservice_init_lib failed, dir=%s", m_strAppPath.c_str());
}

CLS_AutoOda::~CLS_AutoOda() = default;

bool CLS_AutoOda::Init(BurnResultInfo*)
{
    return true;
}

int CLS_AutoOda::InquestBurn(std::string _strJobId, int _iCopies, int, std::string _strReqJson,
                             BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Info, "CLS_AutoOda::InquestBurn job=%s, copies=%d", _strJobId.c_str(), _iCopies);
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    TakeServerIp(qjsonReq.value(QStringLiteral("serverIP")).toString());
    // A device announcement comes without a job.
    if (_strJobId.empty())
        return 0;
    if (!AdmitJobId("CLS_AutoOda::InquestBurn", _strJobId)) {
        _pResult->qstrErrMsg = QStringLiteral("[Oda][任务ID非法]");
        return -1;
    }
    const OdaJobInfo stJob = MakeJobInfo(QString::fromStdString(_strJobId), qjsonReq);
    {
        // A job refused before and asked for again starts from a fresh record.
        QWriteLocker locker(m_pJobLock.get());
        RemoveJobInfo(stJob.qstrJobId);
        m_listJobInfo.append(stJob);
    }
    if (!AskForPools(stJob.qstrJobId, _pResult)) {
        _pResult->qstrErrMsg = QStringLiteral("HM获取设备信息或者查询卷池信息失败--%1").arg(_pResult->qstrErrMsg);
        return 1;
    }
    const std::optional<OdaJobInfo> stChosen = FindJobInfo(stJob.qstrJobId);
    if (!stChosen || !stChosen->stPoolCodeInfo) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s,_strJobID=%s  GetPoolCodeInfoByJobId failed.", "InquestBurn",
                 _strJobId.c_str());
        _pResult->qstrErrMsg = QStringLiteral("[Oda]卷池(%1)不存在").arg(stJob.qstrWantedPool);
        return -1;
    }
    return 0;
}

void CLS_AutoOda::TakeServerIp(const QString& _qstrServerIp)
{
    if (!IsValidIP(_qstrServerIp))
        return;
    QWriteLocker locker(m_pJobLock.get());
    m_strServerIP = _qstrServerIp.toStdString();
    BURN_LOG(n_BurnLogLevel_Info, "CLS_AutoOda::InquestBurn serverIP=%s", m_strServerIP.c_str());
}

OdaJobInfo CLS_AutoOda::MakeJobInfo(const QString& _qstrJobId, const QJsonObject& _qjsonReq) const
{
    OdaJobInfo stJob;
    stJob.qstrJobId = _qstrJobId;
    stJob.qstrDevName = _qjsonReq.value(QStringLiteral("DevName")).toString();
    if (stJob.qstrDevName.isEmpty())
        stJob.qstrDevName = m_iDevType == n_BurnDev_Oda ? QStringLiteral("ODA") : QStringLiteral("HMS");
    stJob.qstrWantedPool = _qjsonReq.value(QStringLiteral("poolCode")).toString();
    // A port may come as a number or as its text.
    bool blPort = false;
    stJob.iPort = _qjsonReq.value(QStringLiteral("DevPort")).toVariant().toInt(&blPort);
    if (!blPort || stJob.iPort <= 0)
        stJob.iPort = n_OdaDefaultPort;
    return stJob;
}

bool CLS_AutoOda::AskForPools(const QString& _qstrJobId, BurnResultInfo* _pResult)
{
    for (int iAttempt = 1; iAttempt <= n_PoolListAttempts; ++iAttempt) {
        QElapsedTimer qtimerAttempt;
        qtimerAttempt.start();
        if (GetODAQueryPoolInfo(_qstrJobId, _pResult))
            return true;
        const qint64 llRest = ScaledMs(n_PoolListAttemptMs) - qtimerAttempt.elapsed();
        if (iAttempt < n_PoolListAttempts && llRest > 0)
            QThread::msleep(static_cast<unsigned long>(llRest));
    }
    return false;
}

bool CLS_AutoOda::GetODAQueryPoolInfo(const QString& _qstrJobId, BurnResultInfo* _pResult)
{
    const std::optional<OdaJobInfo> stJob = FindJobInfo(_qstrJobId);
    if (!stJob)
        return false;
    const QString qstrReply = CallService(stJob->iPort, g_szOdaQueryPoolPath, QString());
    BURN_LOG(n_BurnLogLevel_Info, "[CLS_AutoOda::GetODAQueryPoolInfo] strWebserviceRet = %s",
             Utf8(qstrReply).constData());
    const OdaPoolChoice stChoice = ChooseOdaPool(qstrReply, stJob->qstrWantedPool);
    _pResult->qstrErrCode = stChoice.stHead.qstrErrCode;
    _pResult->qstrErrMsg = stChoice.stHead.qstrMsg.isEmpty() ? QStringLiteral("查询卷池信息失败") : stChoice.stHead.qstrMsg;
    if (qstrReply.isEmpty() || !stChoice.stHead.blOk) {
        BURN_LOG(n_BurnLogLevel_Error, "查询卷池信息失败 ");
        return false;
    }
    if (stChoice.blMatched)
        EditJobInfo(_qstrJobId, [&](OdaJobInfo& _stJob) { _stJob.stPoolCodeInfo = stChoice.stPool; });
    return true;
}

int CLS_AutoOda::StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                           std::string _strCDCover, int _iCopies, int _iBurnType, std::string _strCloseDisc,
                           std::string _strReqJson, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Info,
             "CLS_AutoOda::StartBurn job=%s, type=%s, title=%s, cover=%s, copies=%d, burnType=%d, close=%s, req=%s",
             _strJobId.c_str(), _strCDType.c_str(), _strCDTitle.c_str(), _strCDCover.c_str(), _iCopies, _iBurnType,
             _strCloseDisc.c_str(), _strReqJson.c_str());
    const QString qstrJobId = QString::fromStdString(_strJobId);
    const int iSequence = static_cast<int>((s_uDiscLabelSeq.fetch_add(1) + 1) % n_DiscLabelSequences);
    const QString qstrLabel =
        MakeOdaDiscLabel(QString::fromStdString(_strCDTitle), QDateTime::currentDateTime(), iSequence, qstrJobId);
    const bool blKnown = EditJobInfo(qstrJobId, [&](OdaJobInfo& _stJob) {
        _stJob.stBurnParam.m_strDiscLabel = qstrLabel.toStdString();
        _stJob.stBurnParam.m_strLabList.clear();
        _stJob.stBurnParam.m_strImgModCode = _strCDCover;
        _stJob.stBurnParam.m_iBurnNum = _iCopies;
    });
    if (!blKnown) {
        _pResult->qstrErrMsg = QStringLiteral("[Oda][StartBurn]未找到job(%1)").arg(qstrJobId);
        return -1;
    }
    BURN_LOG(n_BurnLogLevel_Info, "m_strDiscLabel=%s, m_strModel=%s", Utf8(qstrLabel).constData(),
             _strCDCover.c_str());
    SaveJobInfo(qstrJobId, QStringLiteral("DiscLabel"), qstrLabel);
    return 0;
}

int CLS_AutoOda::CancelBurn(std::string)
{
    return 0;
}

int CLS_AutoOda::AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult)
{
    const QString qstrJobId = QString::fromStdString(_strJobId);
    const std::optional<OdaJobInfo> stJob = FindJobInfo(qstrJobId);
    if (!stJob || !stJob->stPoolCodeInfo) {
        _pResult->qstrErrMsg = QStringLiteral("未找到job(%1)对应的卷池").arg(qstrJobId);
        BURN_LOG(n_BurnLogLevel_Error, "can not find job=[%s]", _strJobId.c_str());
        return -1;
    }
    for (const auto& file : _stFileTask.vecFiles) {
        if (IsSafeRelativePath(QString::fromStdString(file.second)))
            continue;
        _pResult->qstrErrMsg = QStringLiteral("[Oda][AddFile]目标路径越出任务目录:%1").arg(QString::fromStdString(file.second));
        BURN_LOG(n_BurnLogLevel_Error, "CLS_AutoOda::AddFile refused: job=%s, dst=%s", _strJobId.c_str(),
                 file.second.c_str());
        return -1;
    }
    const QString qstrJobDir =
        QString::fromStdString(stJob->stPoolCodeInfo->m_strVolPath) + QLatin1Char('/') + qstrJobId;
    QSet<QString> qsetKnownDirs;  // asked once per folder, not once per file
    for (const auto& file : ExpandFolders(_stFileTask)) {
        const QString qstrDst = qstrJobDir + QLatin1Char('/') + file.second;
        const QString qstrDir = GetFileDir(qstrDst);
        if (!qsetKnownDirs.contains(qstrDir) && !QDir(qstrDir).exists()
            && MkdirPath(qstrJobId, qstrDir, _pResult) != 0) {
            BURN_LOG(n_BurnLogLevel_Error, "[ODA]创建文件夹[%s]失败, _qstrErrCode=[%s]", Utf8(qstrDir).constData(),
                     Utf8(_pResult->qstrErrCode).constData());
            RemoveDirRecursive(qstrJobDir);
            return -1;
        }
        qsetKnownDirs.insert(qstrDir);
        if (!CopyIntoPool(file.first, qstrDst, _pResult)) {
            RemoveDirRecursive(qstrJobDir);
            return -1;
        }
    }
    return 0;
}

bool CLS_AutoOda::CopyIntoPool(const QString& _qstrSrc, const QString& _qstrDst,
                               BurnResultInfo* _pResult)
{
    // An earlier copy is replaced; one that cannot be removed makes the copy fail below.
    QFile::remove(_qstrDst);
    BURN_LOG(n_BurnLogLevel_Info, "src=%s;dst=%s file not exists!", Utf8(_qstrSrc).constData(),
             Utf8(_qstrDst).constData());
    FileCopyError stError;
    bool blCopied = CopyFileContents(_qstrSrc, _qstrDst, &stError);
    const QString qstrDir = GetFileDir(_qstrDst);
    if (!blCopied && !QDir(qstrDir).exists()) {
        BURN_LOG(n_BurnLogLevel_Error, "WAIN! no path=%s", Utf8(qstrDir).constData());
        const bool blMade = QDir().mkpath(qstrDir);
        BURN_LOG(n_BurnLogLevel_Error, "WAIN! try mkpath=%s, ret(true:0,false:1)=%d", Utf8(qstrDir).constData(),
                 blMade ? 0 : 1);
        blCopied = CopyFileContents(_qstrSrc, _qstrDst, &stError);
    }
    if (blCopied)
        return true;
    _pResult->qstrErrMsg = CopyFailureText(stError, _qstrSrc, _qstrDst);
    BURN_LOG(n_BurnLogLevel_Error, "copy fail .errMsg=%s; src=%s ;strDst=%s;", Utf8(_pResult->qstrErrMsg).constData(),
             Utf8(_qstrSrc).constData(), Utf8(_qstrDst).constData());
    return false;
}

int CLS_AutoOda::MkdirPath(const QString& _qstrJobId, const QString& _qstrDir, BurnResultInfo* _pResult)
{
    BURN_LOG(n_BurnLogLevel_Info, "[CLS_AutoOda::MkdirPath] strPath = %s", Utf8(_qstrDir).constData());
    const std::optional<OdaJobInfo> stJob = FindJobInfo(_qstrJobId);
    const QString qstrBody = OdaMkdirBody(_qstrDir);
    const QString qstrReply = stJob ? CallService(stJob->iPort, g_szOdaMkdirPath, qstrBody) : QString();
    BURN_LOG(n_BurnLogLevel_Info, "MkdirPath=%s,strParam=%s", Utf8(qstrReply).constData(), Utf8(qstrBody).constData());
    if (qstrReply.isEmpty()) {
        BURN_LOG(n_BurnLogLevel_Error, "result is null MkdirPath=%s,strParam=%s", Utf8(qstrReply).constData(),
                 Utf8(qstrBody).constData());
        return -1;
    }
    const OdaReplyHead stHead = ReadOdaReplyHead(QStringToJsonObject(qstrReply));
    if (stHead.blOk)
        return 0;
    _pResult->qstrErrCode = stHead.qstrErrCode;
    _pResult->qstrErrMsg = stHead.qstrMsg.isEmpty() ? QStringLiteral("接口mkdir失败") : stHead.qstrMsg;
    return -1;
}

int CLS_AutoOda::WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo*)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    if (qjsonReq.value(QStringLiteral("enable")).toString() == QLatin1String("0")) {
        BURN_LOG(n_BurnLogLevel_Info, "\"0\" == strEnable");
        return 0;
    }
    const QString qstrLabList = MakeOdaLabelList(qjsonReq.value(QStringLiteral("LabelInfo")).toObject());
    BURN_LOG(n_BurnLogLevel_Info, "[CLS_AutoOda::WriteLabel]全自动刻录---光盘封面文件：(%s)\r\n",
             Utf8(qstrLabList).constData());
    EditJobInfo(QString::fromStdString(_strJobId),
                [&](OdaJobInfo& _stJob) { _stJob.stBurnParam.m_strLabList = qstrLabList.toStdString(); });
    return 0;
}

int CLS_AutoOda::DoBurn(std::string _strJobId, BurnResultInfo* _pResult)
{
    const QString qstrJobId = QString::fromStdString(_strJobId);
    const std::optional<OdaJobInfo> stJob = FindJobInfo(qstrJobId);
    if (!stJob || !stJob->stPoolCodeInfo) {
        _pResult->qstrErrMsg = QStringLiteral("[Oda][DoBurn]未找到job(%1)对应的卷池").arg(qstrJobId);
        BURN_LOG(n_BurnLogLevel_Error, "GetPoolCodeInfoByJobId not find.");
        return -1;
    }
    if (stJob->stPoolCodeInfo->m_strPoolCodeName.empty()) {
        _pResult->qstrErrMsg = QStringLiteral("[Oda][DoBurn]job(%1)对应的卷池为空").arg(qstrJobId);
        BURN_LOG(n_BurnLogLevel_Error, "stPoolCodeInfo.m_strPoolCodeName.length() <= 0");
        return -1;
    }
    const OdaBurnParam& stParam = stJob->stBurnParam;
    const QString qstrPoolPath =
        QLatin1Char('/') + QString::fromStdString(stJob->stPoolCodeInfo->m_strPoolCodeName) + QLatin1Char('/')
        + qstrJobId;
    SaveJobInfo(qstrJobId, QStringLiteral("PoolPath"), qstrPoolPath);
    EditJobInfo(qstrJobId, [&](OdaJobInfo& _stJob) { _stJob.stBurnParam.m_strPoolPath = qstrPoolPath.toStdString(); });
    const QString qstrLabel = QString::fromStdString(stParam.m_strDiscLabel);
    const QString qstrBody = OdaTaskBody(QString::fromStdString(stParam.m_strImgModCode), qstrPoolPath, qstrLabel,
                                         stParam.m_iBurnNum, QString::fromStdString(stParam.m_strLabList));
    const QString qstrReply = CallService(stJob->iPort, g_szOdaCreateTaskPath, qstrBody);
    BURN_LOG(n_BurnLogLevel_Info, "任务Id _strDiscLabel=%s,状态=%s,_strParam=%s", Utf8(qstrLabel).constData(),
             Utf8(qstrReply).constData(), Utf8(qstrBody).constData());
    if (qstrReply.isEmpty())
        BURN_LOG(n_BurnLogLevel_Error, "taskId result is null _strDiscLabel=%s,状态=%s,_strParam=%s",
                 Utf8(qstrLabel).constData(), Utf8(qstrReply).constData(), Utf8(qstrBody).constData());
    const OdaReplyHead stHead = ReadOdaReplyHead(QStringToJsonObject(qstrReply));
    if (stHead.blOk) {
        QWriteLocker locker(m_pTaskLock.get());
        m_listTaskJob.append({stParam.m_strDiscLabel, qstrJobId});
        BURN_LOG(n_BurnLogLevel_Info, "发布任务成功,刻录机状态绑定[JobId]:[%s]|[DiscLabel][%s]", _strJobId.c_str(),
                 stParam.m_strDiscLabel.c_str());
        return 0;
    }
    _pResult->qstrErrCode = stHead.qstrErrCode;
    _pResult->qstrErrMsg = QStringLiteral("[Oda][DoBurn]HM发布任务失败：%1").arg(stHead.qstrMsg);
    BURN_LOG(n_BurnLogLevel_Error, "%s", Utf8(_pResult->qstrErrMsg).constData());
    return 1;
}

int CLS_AutoOda::GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult)
{
    const std::optional<OdaJobInfo> stJob = FindJobInfo(_qstrJobId);
    return stJob ? GetBurnPrintTaskStatus(_qstrJobId, *stJob, _pResult) : n_BurnJobState_Unknown;
}

int CLS_AutoOda::GetBurnPrintTaskStatus(const QString& _qstrJobId, const OdaJobInfo& _stJob,
                                        BurnResultInfo* _pResult)
{
    const std::string& strLabel = _stJob.stBurnParam.m_strDiscLabel;
    BURN_LOG(n_BurnLogLevel_Info, "GetBurnPrintTaskStatus  job[%s]-discLabel[%s]", Utf8(_qstrJobId).constData(),
             strLabel.c_str());
    const QString qstrLabel = QString::fromStdString(strLabel);
    const QString qstrReply =
        CallService(_stJob.iPort, g_szOdaTaskStatePath, OrderedJsonText({{QStringLiteral("discLabel"), qstrLabel}}));
    if (qstrReply.isEmpty()) {
        BURN_LOG(n_BurnLogLevel_Error, "GetBurnPrintTaskStatus strWebserviceRet == ");
        return n_BurnJobState_Unknown;
    }
    const OdaTaskState stState = ReadOdaTaskState(qstrReply);
    if (!stState.blRead) {
        BURN_LOG(n_BurnLogLevel_Error, "qstrMsg=%s, qjsonOdc is not Object", Utf8(qstrReply).constData());
        return n_BurnJobState_Unknown;
    }
    if (!stState.stHead.blOk) {
        BURN_LOG(n_BurnLogLevel_Error, "GetBurnPrintTaskStatus strCode.compare(0) != 0");
        return n_BurnJobState_Unknown;
    }
    BURN_LOG(n_BurnLogLevel_Info, "GetBurnPrintTaskStatus  iStatus=%d, strStatus=%s, strMsg=%s", stState.iState,
             Utf8(stState.qstrState).constData(), Utf8(stState.stHead.qstrMsg).constData());
    switch (stState.iState) {
    case n_BurnPrintState_Abnormal:
        ForgetTask(qstrLabel);
        // The final reply carries the service's reason.
        _pResult->qstrErrCode = stState.stHead.qstrErrCode;
        _pResult->qstrErrMsg = stState.stHead.qstrMsg;
        BURN_LOG(n_BurnLogLevel_Error, "task abnormal job=%s, discLabel=%s, msg=%s", Utf8(_qstrJobId).constData(),
                 strLabel.c_str(), Utf8(stState.stHead.qstrMsg).constData());
        return n_BurnJobState_Error;
    case n_BurnPrintState_Finished:
        ForgetTask(qstrLabel);
        BURN_LOG(n_BurnLogLevel_Info, "task finished job=%s, discLabel=%s", Utf8(_qstrJobId).constData(),
                 strLabel.c_str());
        return n_BurnJobState_Finished;
    case n_BurnPrintState_OfflineWait: {
        const QString qstrMsg = OdaOfflineStatusMessage(stState, JobOfDiscLabel(stState.qstrDiscLabel));
        BURN_LOG(n_BurnLogLevel_Error, "task waits offline: %s", Utf8(qstrMsg).constData());
        emit signalSendMQToBurnBus(qstrMsg);
        return n_BurnJobState_Burning;
    }
    default:
        return n_BurnJobState_Burning;
    }
}

int CLS_AutoOda::ClearData(QString _qstrJobId)
{
    {
        QWriteLocker locker(m_pJobLock.get());
        RemoveJobInfo(_qstrJobId);
    }
    // A task of a job the bus dropped is no longer asked for.
    QWriteLocker locker(m_pTaskLock.get());
    m_listTaskJob.erase(std::remove_if(m_listTaskJob.begin(), m_listTaskJob.end(),
                                       [&](const OdaTaskJob& _stTask) { return _stTask.qstrJobId == _qstrJobId; }),
                        m_listTaskJob.end());
    return 0;
}

QString CLS_AutoOda::GetDiscPlace(QString _qstrJobId)
{
    const std::optional<OdaJobInfo> stJob = FindJobInfo(_qstrJobId);
    if (!stJob) {
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, line=%d, GetBurnParamByJobId no find jobid[%s] ", "GetDiscPlace",
                 __LINE__, Utf8(_qstrJobId).constData());
        return QStringLiteral("[]");
    }
    const QString qstrBody =
        OrderedJsonText({{QStringLiteral("path"), QString::fromStdString(stJob->stBurnParam.m_strPoolPath)}});
    const QString qstrReply = CallService(stJob->iPort, g_szOdaDiscPath, qstrBody);
    BURN_LOG(n_BurnLogLevel_Info, "fun=%s, line=%d, GetDiscPlace=%s,strParam=%s", "GetDiscPlace", __LINE__,
             Utf8(qstrReply).constData(), Utf8(qstrBody).constData());
    if (qstrReply.isEmpty())
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, get disc place error ret is null qstrParam=%s, url=%s", "GetDiscPlace",
                 Utf8(qstrBody).constData(), g_szOdaDiscPath);
    else if (!ReadOdaReplyHead(QStringToJsonObject(qstrReply)).blOk)
        BURN_LOG(n_BurnLogLevel_Error, "fun=%s, get discplace fail strWebserviceRet=%s, url=%s, qstrParam=%s",
                 "GetDiscPlace", Utf8(qstrReply).constData(), g_szOdaDiscPath, Utf8(qstrBody).constData());
    return ReadOdaDiscs(qstrReply);
}

bool CLS_AutoOda::FindJob(QString _qstrJobId, QString _qstrDiscLabel)
{
    const std::optional<OdaJobInfo> stJob = FindJobInfo(_qstrJobId);
    if (!stJob) {
        BURN_LOG(n_BurnLogLevel_Error, "FindJob not find BurnParam job=%s", Utf8(_qstrJobId).constData());
        return false;
    }
    BURN_LOG(n_BurnLogLevel_Info, "FindJob job=%s, discLabel=%s", Utf8(_qstrJobId).constData(),
             Utf8(_qstrDiscLabel).constData());
    const QString qstrBody = OrderedJsonText({{QStringLiteral("discLabel"), _qstrDiscLabel}});
    const QString qstrReply = CallService(stJob->iPort, g_szOdaTaskStatePath, qstrBody);
    if (qstrReply.isEmpty()) {
        BURN_LOG(n_BurnLogLevel_Error, "FindJob strWebserviceRet == ");
        return false;
    }
    const bool blKnown = OdaTaskKnown(qstrReply);
    BURN_LOG(n_BurnLogLevel_Info, "FindJob  known=%d, reply=%s", blKnown ? 1 : 0, Utf8(qstrReply).constData());
    return blKnown;
}

bool CLS_AutoOda::UpdateJobInfo(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath)
{
    const bool blKnown = EditJobInfo(_qstrJobId, [&](OdaJobInfo& _stJob) {
        _stJob.stBurnParam.m_strDiscLabel = _qstrDiscLabel.toStdString();
        _stJob.stBurnParam.m_strPoolPath = _qstrPath.toStdString();
    });
    if (blKnown)
        BURN_LOG(n_BurnLogLevel_Info, " UpdateJobInfo--DiscLabel[%s]--path[%s]", Utf8(_qstrDiscLabel).constData(),
                 Utf8(_qstrPath).constData());
    return blKnown;
}

QString CLS_AutoOda::CallService(int _iPort, const char* _szPath, const QString& _qstrBody)
{
    QString qstrServerIp;
    {
        QReadLocker locker(m_pJobLock.get());
        qstrServerIp = QString::fromStdString(m_strServerIP);
    }
    QMutexLocker locker(&m_mutex);
    return Public__Webservice_Common(qstrServerIp, _iPort, QLatin1String(_szPath), _qstrBody, n_OdaHttpTimeout);
}

void CLS_AutoOda::ForgetTask(const QString& _qstrDiscLabel)
{
    const std::string strLabel = _qstrDiscLabel.toStdString();
    QWriteLocker locker(m_pTaskLock.get());
    m_listTaskJob.erase(std::remove_if(m_listTaskJob.begin(), m_listTaskJob.end(),
                                       [&](const OdaTaskJob& _stTask) { return _stTask.strDiscLabel == strLabel; }),
                        m_listTaskJob.end());
}

QString CLS_AutoOda::JobOfDiscLabel(const QString& _qstrDiscLabel) const
{
    const std::string strLabel = _qstrDiscLabel.toStdString();
    QReadLocker locker(m_pTaskLock.get());
    for (const OdaTaskJob& stTask : m_listTaskJob) {
        if (stTask.strDiscLabel == strLabel)
            return stTask.qstrJobId;
    }
    return QString();
}

std::optional<OdaJobInfo> CLS_AutoOda::FindJobInfo(const QString& _qstrJobId) const
{
    QReadLocker locker(m_pJobLock.get());
    for (const OdaJobInfo& stJob : m_listJobInfo) {
        if (stJob.qstrJobId == _qstrJobId)
            return stJob;
    }
    return std::nullopt;
}

void CLS_AutoOda::RemoveJobInfo(const QString& _qstrJobId)
{
    m_listJobInfo.erase(std::remove_if(m_listJobInfo.begin(), m_listJobInfo.end(),
                                       [&](const OdaJobInfo& _stJob) { return _stJob.qstrJobId == _qstrJobId; }),
                        m_listJobInfo.end());
}

template <class Change>
bool CLS_AutoOda::EditJobInfo(const QString& _qstrJobId, Change _change)
{
    QWriteLocker locker(m_pJobLock.get());
    for (OdaJobInfo& stJob : m_listJobInfo) {
        if (stJob.qstrJobId == _qstrJobId) {
            _change(stJob);
            return true;
        }
    }
    return false;
}
