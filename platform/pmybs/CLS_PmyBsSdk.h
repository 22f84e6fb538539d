// The state of PMYBurnSvcSdk.dll: logins and tasks by handle, the settings, the callback
// thread, and every operation of the exported entries. One per process; any thread.
//
// Handles are numbers never handed out twice, so a stale handle is refused, not followed.
#pragma once

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CLS_PmyBsConnection.h"
#include "CLS_PmyBsNotifier.h"

// A task being put together before its submission, or a submitted one re-opened by id.
struct PmyBsTask
{
    struct Entry
    {
        QString qstrKind;  // "file", "tree", "dir"
        QString qstrSrc;
        QString qstrDst;
        int iFlag = 0;
    };

    std::mutex mtx;
    void* pLogin = nullptr;
    int iType = 1;
    QString qstrJobId;
    QString qstrTaskId;  // set once submitted or opened
    std::vector<Entry> vecEntries;
    QString qstrPrintFile;
    QString qstrMergeFile;
    int iPrintFlag = 0;
    std::map<int, QString> mapFields;
    std::vector<std::pair<QString, QString>> vecConfig;  // in the order set, a key once
};

class CLS_PmyBsSdk
{
public:
    static CLS_PmyBsSdk& Instance();
    ~CLS_PmyBsSdk();

    int Init();
    int Destroy();
    int Login(const char* _szIp, int _iPort, void** _ppLogin);
    int Logout(void* _pLogin);
    int SetCallback(PmyBsNotifyKind _eKind, PFN_PmybsNotify _pfnNotify, void* _pUser);

    int CreateTask(void* _pLogin, int _iType, const char* _szJobId, void** _ppTask);
    int OpenTask(void* _pLogin, const char* _szTaskId, void** _ppTask);
    int AddEntry(void* _pTask, const QString& _qstrKind, const char* _szSrc, const char* _szDst, int _iFlag);
    int SetPrintFile(void* _pTask, const char* _szPrintFile, const char* _szMergeFile, int _iFlag);
    int SetPrintField(void* _pTask, int _iField, const char* _szValue);
    int SetTaskConfig(void* _pTask, const char* _szKey, const char* _szValue);
    int SubmitTask(void* _pTask, char* _szTaskId);
    int CloseTask(void* _pTask);
    int SubmitJson(void* _pLogin, const char* _szTaskJson, char* _szTaskId);

    int CancelTask(void* _pLogin, const char* _szTaskId);
    int GetTaskStatus(void* _pLogin, const char* _szTaskId, char* _szBuf, int* _piLen);
    int GetRobotStatus(void* _pLogin, char* _szBuf, int* _piLen);
    int ExecuteRobotCmd(void* _pLogin, int _iRobot, int _iCmd);
    int RestartService(void* _pLogin);

    int SetConfig(const char* _szKey, const char* _szValue);
    int GetConfig(const char* _szKey, char* _szBuf, int* _piLen);
    bool CheckOnline(const char* _szIp, int _iPort);

private:
    struct LoginEntry
    {
        std::shared_ptr<CLS_PmyBsConnection> pConnection;
    };

    CLS_PmyBsSdk() = default;
    CLS_PmyBsNotifier& Notifier();
    std::shared_ptr<CLS_PmyBsConnection> FindLogin(void* _pLogin) const;
    std::shared_ptr<PmyBsTask> FindTask(void* _pTask) const;
    void* NextHandle();
    // The service's answer to one request: 0 with its reply text, or an error code.
    int Request(void* _pLogin, const QString& _qstrClass, const QString& _qstrBody, std::string& _strReply);
    // Submits a task text and writes the service's task id into the 40-byte buffer.
    int Submit(void* _pLogin, const QString& _qstrTask, char* _szTaskId);
    void PostEvent(void* _pLogin, const char* _szState, const std::string& _strHost, int _iPort);

    mutable std::mutex m_mtx;
    std::map<void*, std::shared_ptr<CLS_PmyBsConnection>> m_mapLogins;
    std::map<void*, std::shared_ptr<PmyBsTask>> m_mapTasks;
    std::unique_ptr<CLS_PmyBsNotifier> m_pNotifier;  // under m_mtx; made on first need
    int m_iInitCount = 0;
    std::uintptr_t m_uLastHandle = 0;
    std::atomic<int> m_iCallTimeoutMs{10000};
    std::atomic<int> m_iConnectTimeoutMs{3000};
};

// The text of an SDK error code; "未知错误" for a code outside the table.
const char* PmyBsErrorString(int _iErrCode);
