#include "CLS_PmyBsSdk.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>
#include <map>

#include "CLS_NwcSocket.h"
#include "PmyBsErrorTexts.h"

namespace
{
// A task text longer than this is refused before it goes out (a service reads lines of
// up to n_NwcMaxLineBytes, request framing included).
constexpr int n_MaxTaskBytes = 8 * 1024 * 1024;
constexpr int n_TaskIdSize = 40;
constexpr int n_FieldCount = 40;
constexpr int n_OnlineTimeoutMs = 1000;


// Task options the service knows, and the range of the numeric ones (empty: any text).
struct ConfigRule
{
    bool blNumber;
    int iMin;
    int iMax;
};
const std::map<QString, ConfigRule> s_mapTaskConfig = {
    {QStringLiteral("disc_type"), {true, 1, 7}},        {QStringLiteral("close_disc"), {true, 0, 1}},
    {QStringLiteral("disc_label"), {false, 0, 0}},      {QStringLiteral("copy_count"), {true, 1, 999}},
    {QStringLiteral("disc_output_mode"), {true, 0, 2}}, {QStringLiteral("burn_speed"), {true, 0, 64}},
    {QStringLiteral("verify"), {true, 0, 1}},
};

QString Text(const char* _szText)
{
    return _szText ? QString::fromUtf8(_szText) : QString();
}

QString Compact(const QJsonObject& _qjsonObject)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObject).toJson(QJsonDocument::Compact));
}

// The 11006 protocol: *_piLen holds the buffer's size; on return the text's length, or,
// when it does not fit with its NUL, the size needed.
int CopyOut(const std::string& _strText, char* _szBuf, int* _piLen)
{
    if (!_piLen || *_piLen < 0)
        return n_PmyBs_InvalidParam;
    const int iNeeded = static_cast<int>(_strText.size()) + 1;
    if (!_szBuf || *_piLen < iNeeded) {
        *_piLen = iNeeded;
        return n_PmyBs_BufferTooSmall;
    }
    std::memcpy(_szBuf, _strText.c_str(), _strText.size() + 1);
    *_piLen = static_cast<int>(_strText.size());
    return n_PmyBs_Ok;
}

bool ValidConfig(const QString& _qstrKey, const QString& _qstrValue)
{
    const auto it = s_mapTaskConfig.find(_qstrKey);
    if (it == s_mapTaskConfig.end())
        return false;
    if (!it->second.blNumber)
        return true;
    bool blOk = false;
    const int iValue = _qstrValue.trimmed().toInt(&blOk);
    return blOk && iValue >= it->second.iMin && iValue <= it->second.iMax;
}

QJsonObject TaskJson(const PmyBsTask& _stTask)
{
    QJsonArray qjsonFiles;
    for (const PmyBsTask::Entry& stEntry : _stTask.vecEntries)
        qjsonFiles << QJsonObject{{"type", stEntry.qstrKind}, {"src", stEntry.qstrSrc}, {"dst", stEntry.qstrDst},
                                  {"flag", stEntry.iFlag}};
    QJsonObject qjsonFields;
    for (const auto& [iField, qstrValue] : _stTask.mapFields)
        qjsonFields.insert(QString::number(iField), qstrValue);
    QJsonArray qjsonConfig;
    for (const auto& [qstrKey, qstrValue] : _stTask.vecConfig)
        qjsonConfig << QJsonObject{{"key", qstrKey}, {"value", qstrValue}};
    return QJsonObject{{"job_id", _stTask.qstrJobId},    {"task_type", _stTask.iType},
                       {"files", qjsonFiles},            {"print_file", _stTask.qstrPrintFile},
                       {"merge_file", _stTask.qstrMergeFile}, {"print_flag", _stTask.iPrintFlag},
                       {"print_fields", qjsonFields},    {"config", qjsonConfig}};
}

PmyBsNotifyKind KindOfEvent(const QString& _qstrEvent)
{
    if (_qstrEvent == QLatin1String("TaskStatus"))
        return PmyBsNotifyKind::Task;
    if (_qstrEvent == QLatin1String("RobotStatus"))
        return PmyBsNotifyKind::Robot;
    if (_qstrEvent == QLatin1String("Dynamic"))
        return PmyBsNotifyKind::Dynamic;
    return PmyBsNotifyKind::Event;
}
}  // namespace

const char* PmyBsErrorString(int _iErrCode)
{
    if (_iErrCode == 0)
        return "成功";
    const char* szText = FindPmyBsErrorText(_iErrCode);
    return szText ? szText : "未知错误";
}

CLS_PmyBsSdk& CLS_PmyBsSdk::Instance()
{
    static CLS_PmyBsSdk s_sdk;
    return s_sdk;
}

CLS_PmyBsSdk::~CLS_PmyBsSdk()
{
    m_iInitCount = 0;
    Destroy();
}

CLS_PmyBsNotifier& CLS_PmyBsSdk::Notifier()
{
    const std::lock_guard<std::mutex> lock(m_mtx);
    if (!m_pNotifier)
        m_pNotifier = std::make_unique<CLS_PmyBsNotifier>();
    return *m_pNotifier;
}

int CLS_PmyBsSdk::Init()
{
    Notifier();
    const std::lock_guard<std::mutex> lock(m_mtx);
    ++m_iInitCount;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::Destroy()
{
    std::map<void*, std::shared_ptr<CLS_PmyBsConnection>> mapLogins;
    {
        const std::lock_guard<std::mutex> lock(m_mtx);
        // Every Init has its Destory; the last one ends the logins.
        if (m_iInitCount > 0 && --m_iInitCount > 0)
            return n_PmyBs_Ok;
        mapLogins.swap(m_mapLogins);
        m_mapTasks.clear();
    }
    // Closed outside the lock: their I/O threads may be posting through it.
    for (auto& [pLogin, pConnection] : mapLogins)
        pConnection->Close();
    for (PmyBsNotifyKind eKind : {PmyBsNotifyKind::Task, PmyBsNotifyKind::Robot, PmyBsNotifyKind::Dynamic,
                                  PmyBsNotifyKind::Event})
        Notifier().Set(eKind, nullptr, nullptr);
    return n_PmyBs_Ok;
}

void* CLS_PmyBsSdk::NextHandle()
{
    return reinterpret_cast<void*>(++m_uLastHandle);
}

int CLS_PmyBsSdk::Login(const char* _szIp, int _iPort, void** _ppLogin)
{
    if (!_szIp || !*_szIp || !_ppLogin || _iPort <= 0 || _iPort > 65535)
        return n_PmyBs_InvalidParam;
    CLS_PmyBsNotifier& notifier = Notifier();
    void* pLogin = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mtx);
        pLogin = NextHandle();
    }
    const std::string strHost = _szIp;
    auto pConnection = std::make_shared<CLS_PmyBsConnection>(
        strHost, _iPort,
        [&notifier, pLogin](const NwcEvent& _stEvent) {
            notifier.Post(KindOfEvent(_stEvent.qstrCmd), pLogin, _stEvent.qstrJson.toStdString());
        },
        [this, pLogin, strHost, _iPort](const char* _szState) { PostEvent(pLogin, _szState, strHost, _iPort); });
    const int iResult = pConnection->Open(m_iConnectTimeoutMs, m_iCallTimeoutMs);
    if (iResult != n_PmyBs_Ok) {
        pConnection->Close();
        return iResult;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mtx);
        m_mapLogins[pLogin] = pConnection;
    }
    *_ppLogin = pLogin;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::Logout(void* _pLogin)
{
    std::shared_ptr<CLS_PmyBsConnection> pConnection;
    {
        const std::lock_guard<std::mutex> lock(m_mtx);
        const auto it = m_mapLogins.find(_pLogin);
        if (it == m_mapLogins.end())
            return n_PmyBs_NotLoggedIn;
        pConnection = it->second;
        m_mapLogins.erase(it);
    }
    pConnection->Close();
    Notifier().Forget(_pLogin);
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::SetCallback(PmyBsNotifyKind _eKind, PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    Notifier().Set(_eKind, _pfnNotify, _pUser);
    return n_PmyBs_Ok;
}

void CLS_PmyBsSdk::PostEvent(void* _pLogin, const char* _szState, const std::string& _strHost, int _iPort)
{
    const QJsonObject qjsonEvent{{"event", _szState}, {"ip", QString::fromStdString(_strHost)}, {"port", _iPort}};
    Notifier().Post(PmyBsNotifyKind::Event, _pLogin, Compact(qjsonEvent).toStdString());
}

std::shared_ptr<CLS_PmyBsConnection> CLS_PmyBsSdk::FindLogin(void* _pLogin) const
{
    const std::lock_guard<std::mutex> lock(m_mtx);
    const auto it = m_mapLogins.find(_pLogin);
    return it != m_mapLogins.end() ? it->second : nullptr;
}

std::shared_ptr<PmyBsTask> CLS_PmyBsSdk::FindTask(void* _pTask) const
{
    const std::lock_guard<std::mutex> lock(m_mtx);
    const auto it = m_mapTasks.find(_pTask);
    return it != m_mapTasks.end() ? it->second : nullptr;
}

int CLS_PmyBsSdk::Request(void* _pLogin, const QString& _qstrClass, const QString& _qstrBody,
                          std::string& _strReply)
{
    const std::shared_ptr<CLS_PmyBsConnection> pConnection = FindLogin(_pLogin);
    if (!pConnection)
        return n_PmyBs_NotLoggedIn;
    const CLS_PmyBsConnection::CallResult stResult = pConnection->Call(_qstrClass, _qstrBody, m_iCallTimeoutMs);
    if (!stResult.blAnswered)
        return n_PmyBs_ConnectFailed;
    if (!stResult.blOk)
        return stResult.iErrId > 0 ? stResult.iErrId : n_PmyBs_Abnormal;
    _strReply = stResult.strReply;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::CreateTask(void* _pLogin, int _iType, const char* _szJobId, void** _ppTask)
{
    if (!_ppTask || !_szJobId || !*_szJobId)
        return n_PmyBs_InvalidParam;
    if (!FindLogin(_pLogin))
        return n_PmyBs_NotLoggedIn;
    // Only data discs are burned: type 1.
    if (_iType != 1)
        return n_PmyBs_UnsupportedTask;
    auto pTask = std::make_shared<PmyBsTask>();
    pTask->pLogin = _pLogin;
    pTask->iType = _iType;
    pTask->qstrJobId = Text(_szJobId);
    const std::lock_guard<std::mutex> lock(m_mtx);
    void* pHandle = NextHandle();
    m_mapTasks[pHandle] = pTask;
    *_ppTask = pHandle;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::OpenTask(void* _pLogin, const char* _szTaskId, void** _ppTask)
{
    if (!_ppTask || !_szTaskId || !*_szTaskId)
        return n_PmyBs_InvalidParam;
    std::string strReply;
    const QString qstrTaskId = Text(_szTaskId);
    const int iResult = Request(_pLogin, QStringLiteral("GetTaskStatus"), Compact({{"id", qstrTaskId}}), strReply);
    if (iResult != n_PmyBs_Ok)
        return iResult;
    auto pTask = std::make_shared<PmyBsTask>();
    pTask->pLogin = _pLogin;
    pTask->qstrTaskId = qstrTaskId;
    const QJsonArray qjsonTasks =
        QJsonDocument::fromJson(QByteArray::fromStdString(strReply)).object().value("tasks").toArray();
    pTask->qstrJobId = qjsonTasks.first().toObject().value("job_id").toString();
    const std::lock_guard<std::mutex> lock(m_mtx);
    void* pHandle = NextHandle();
    m_mapTasks[pHandle] = pTask;
    *_ppTask = pHandle;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::AddEntry(void* _pTask, const QString& _qstrKind, const char* _szSrc, const char* _szDst,
                           int _iFlag)
{
    const std::shared_ptr<PmyBsTask> pTask = FindTask(_pTask);
    const QString qstrSrc = Text(_szSrc);
    const QString qstrDst = Text(_szDst);
    if (!pTask || qstrDst.isEmpty() || (_qstrKind != QLatin1String("dir") && qstrSrc.isEmpty()))
        return n_PmyBs_InvalidParam;
    // The service reads the sources where they are, so they must be there now. A job's
    // file list may name a folder: it goes on the disc with everything below it.
    const QFileInfo qfileInfo(qstrSrc);
    const bool blFile = _qstrKind == QLatin1String("file");
    const bool blFolder = _qstrKind == QLatin1String("tree") || (blFile && qfileInfo.isDir());
    if (_qstrKind != QLatin1String("dir") && !qfileInfo.exists())
        return n_PmyBs_FileNotFound;
    if ((blFolder && !qfileInfo.isDir()) || (!blFolder && blFile && !qfileInfo.isReadable()))
        return n_PmyBs_FileOpenFailed;
    const std::lock_guard<std::mutex> lockTask(pTask->mtx);
    if (!pTask->qstrTaskId.isEmpty())
        return n_PmyBs_InvalidParam;
    pTask->vecEntries.push_back({blFolder ? QStringLiteral("tree") : _qstrKind, qstrSrc, qstrDst, _iFlag});
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::SetPrintFile(void* _pTask, const char* _szPrintFile, const char* _szMergeFile, int _iFlag)
{
    const std::shared_ptr<PmyBsTask> pTask = FindTask(_pTask);
    if (!pTask || !_szPrintFile)
        return n_PmyBs_InvalidParam;
    if (!QFileInfo(Text(_szPrintFile)).isFile())
        return n_PmyBs_FileNotFound;
    if (_szMergeFile && *_szMergeFile && !QFileInfo(Text(_szMergeFile)).isFile())
        return n_PmyBs_FileNotFound;
    const std::lock_guard<std::mutex> lockTask(pTask->mtx);
    pTask->qstrPrintFile = Text(_szPrintFile);
    pTask->qstrMergeFile = Text(_szMergeFile);
    pTask->iPrintFlag = _iFlag;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::SetPrintField(void* _pTask, int _iField, const char* _szValue)
{
    const std::shared_ptr<PmyBsTask> pTask = FindTask(_pTask);
    if (!pTask || !_szValue || _iField < 1 || _iField > n_FieldCount)
        return n_PmyBs_InvalidParam;
    const std::lock_guard<std::mutex> lockTask(pTask->mtx);
    pTask->mapFields[_iField] = Text(_szValue);
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::SetTaskConfig(void* _pTask, const char* _szKey, const char* _szValue)
{
    const std::shared_ptr<PmyBsTask> pTask = FindTask(_pTask);
    const QString qstrKey = Text(_szKey);
    const QString qstrValue = Text(_szValue);
    if (!pTask || !_szValue || !ValidConfig(qstrKey, qstrValue))
        return n_PmyBs_InvalidParam;
    const std::lock_guard<std::mutex> lockTask(pTask->mtx);
    for (auto& [qstrOldKey, qstrOldValue] : pTask->vecConfig) {
        if (qstrOldKey == qstrKey) {
            qstrOldValue = qstrValue;
            return n_PmyBs_Ok;
        }
    }
    pTask->vecConfig.emplace_back(qstrKey, qstrValue);
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::SubmitTask(void* _pTask, char* _szTaskId)
{
    const std::shared_ptr<PmyBsTask> pTask = FindTask(_pTask);
    if (!pTask || !_szTaskId)
        return n_PmyBs_InvalidParam;
    QString qstrTask;
    void* pLogin = nullptr;
    {
        const std::lock_guard<std::mutex> lockTask(pTask->mtx);
        // A submitted (or re-opened) task is the service's: submitting it again would burn
        // it twice.
        if (!pTask->qstrTaskId.isEmpty())
            return n_PmyBs_InvalidParam;
        const bool blHasData = std::any_of(pTask->vecEntries.cbegin(), pTask->vecEntries.cend(),
                                           [](const PmyBsTask::Entry& _stEntry) { return _stEntry.qstrKind != "dir"; });
        if (!blHasData)
            return n_PmyBs_NoFiles;
        qstrTask = Compact(TaskJson(*pTask));
        pLogin = pTask->pLogin;
    }
    const int iResult = Submit(pLogin, qstrTask, _szTaskId);
    if (iResult != n_PmyBs_Ok)
        return iResult;
    const std::lock_guard<std::mutex> lockTask(pTask->mtx);
    pTask->qstrTaskId = QString::fromUtf8(_szTaskId);
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::Submit(void* _pLogin, const QString& _qstrTask, char* _szTaskId)
{
    if (_qstrTask.toUtf8().size() > n_MaxTaskBytes)
        return n_PmyBs_TaskTooLong;
    std::string strReply;
    const int iResult = Request(_pLogin, QStringLiteral("SubmitTask"), _qstrTask, strReply);
    if (iResult != n_PmyBs_Ok)
        return iResult;
    const QByteArray qbaTaskId =
        QJsonDocument::fromJson(QByteArray::fromStdString(strReply)).object().value("task_id").toString().toUtf8();
    if (qbaTaskId.isEmpty() || qbaTaskId.size() >= n_TaskIdSize)
        return n_PmyBs_BadReply;
    std::memcpy(_szTaskId, qbaTaskId.constData(), static_cast<std::size_t>(qbaTaskId.size()) + 1);
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::CloseTask(void* _pTask)
{
    const std::lock_guard<std::mutex> lock(m_mtx);
    return m_mapTasks.erase(_pTask) > 0 ? n_PmyBs_Ok : n_PmyBs_InvalidParam;
}

int CLS_PmyBsSdk::SubmitJson(void* _pLogin, const char* _szTaskJson, char* _szTaskId)
{
    if (!_szTaskJson || !_szTaskId)
        return n_PmyBs_InvalidParam;
    const QJsonDocument qjsonTask = QJsonDocument::fromJson(QByteArray(_szTaskJson));
    if (!qjsonTask.isObject())
        return n_PmyBs_InvalidParam;
    return Submit(_pLogin, Compact(qjsonTask.object()), _szTaskId);
}

int CLS_PmyBsSdk::CancelTask(void* _pLogin, const char* _szTaskId)
{
    if (!_szTaskId || !*_szTaskId)
        return n_PmyBs_InvalidParam;
    std::string strReply;
    return Request(_pLogin, QStringLiteral("CancelTask"), Compact({{"id", Text(_szTaskId)}}), strReply);
}

int CLS_PmyBsSdk::GetTaskStatus(void* _pLogin, const char* _szTaskId, char* _szBuf, int* _piLen)
{
    if (!_szTaskId || !_piLen)
        return n_PmyBs_InvalidParam;
    std::string strReply;
    const int iResult =  // an empty id asks for every task of the service
        Request(_pLogin, QStringLiteral("GetTaskStatus"), Compact({{"id", Text(_szTaskId)}}), strReply);
    return iResult != n_PmyBs_Ok ? iResult : CopyOut(strReply, _szBuf, _piLen);
}

int CLS_PmyBsSdk::GetRobotStatus(void* _pLogin, char* _szBuf, int* _piLen)
{
    if (!_piLen)
        return n_PmyBs_InvalidParam;
    std::string strReply;
    const int iResult = Request(_pLogin, QStringLiteral("GetRobotStatus"), QString(), strReply);
    return iResult != n_PmyBs_Ok ? iResult : CopyOut(strReply, _szBuf, _piLen);
}

int CLS_PmyBsSdk::ExecuteRobotCmd(void* _pLogin, int _iRobot, int _iCmd)
{
    std::string strReply;
    return Request(_pLogin, QStringLiteral("RobotCmd"), Compact({{"robot", _iRobot}, {"cmd", _iCmd}}), strReply);
}

int CLS_PmyBsSdk::RestartService(void* _pLogin)
{
    std::string strReply;
    return Request(_pLogin, QStringLiteral("RestartService"), QString(), strReply);
}

int CLS_PmyBsSdk::SetConfig(const char* _szKey, const char* _szValue)
{
    const QString qstrKey = Text(_szKey);
    bool blOk = false;
    const int iValue = Text(_szValue).trimmed().toInt(&blOk);
    std::atomic<int>* pSetting = qstrKey == QLatin1String("call_timeout_ms")      ? &m_iCallTimeoutMs
                                 : qstrKey == QLatin1String("connect_timeout_ms") ? &m_iConnectTimeoutMs
                                                                                  : nullptr;
    if (!pSetting)
        return n_PmyBs_BadConfigKey;
    if (!blOk || iValue < 100 || iValue > 600000)
        return n_PmyBs_InvalidParam;
    *pSetting = iValue;
    return n_PmyBs_Ok;
}

int CLS_PmyBsSdk::GetConfig(const char* _szKey, char* _szBuf, int* _piLen)
{
    const QString qstrKey = Text(_szKey);
    if (qstrKey == QLatin1String("call_timeout_ms"))
        return CopyOut(std::to_string(m_iCallTimeoutMs), _szBuf, _piLen);
    if (qstrKey == QLatin1String("connect_timeout_ms"))
        return CopyOut(std::to_string(m_iConnectTimeoutMs), _szBuf, _piLen);
    return n_PmyBs_BadConfigKey;
}

bool CLS_PmyBsSdk::CheckOnline(const char* _szIp, int _iPort)
{
    if (!_szIp || !*_szIp || _iPort <= 0 || _iPort > 65535)
        return false;
    CLS_NwcSocket socket;
    return socket.Connect(_szIp, _iPort, n_OnlineTimeoutMs);
}
