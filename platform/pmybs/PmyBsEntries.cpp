// The exported C entries of PMYBurnSvcSdk.dll (the table in PmyBsApiTable.h), over the
// SDK's state. Every entry may be called from any thread; callbacks run on the library's.
#include "CLS_PmyBsSdk.h"
#include "PmyBsApi.h"

namespace
{
CLS_PmyBsSdk& Sdk()
{
    return CLS_PmyBsSdk::Instance();
}
}  // namespace

#pragma GCC visibility push(default)
extern "C" {

int PMYBS_Init(void)
{
    return Sdk().Init();
}

// The misspelling is the entry's name the module looks up.
int PMYBS_Destory(void)
{
    return Sdk().Destroy();
}

int PMYBS_Login(const char* _szIp, int _iPort, void** _ppLogin)
{
    return Sdk().Login(_szIp, _iPort, _ppLogin);
}

int PMYBS_Logout(void* _pLogin)
{
    return Sdk().Logout(_pLogin);
}

const char* PMYBS_GetErrorString(int _iErrCode)
{
    return PmyBsErrorString(_iErrCode);
}

int PMYBS_ExecuteRobotCmd(void* _pLogin, int _iRobot, int _iCmd)
{
    return Sdk().ExecuteRobotCmd(_pLogin, _iRobot, _iCmd);
}

int PMYBS_CreateTask(void* _pLogin, int _iTaskType, const char* _szJobId, void** _ppTask)
{
    return Sdk().CreateTask(_pLogin, _iTaskType, _szJobId, _ppTask);
}

int PMYBS_OpenTask(void* _pLogin, const char* _szTaskId, void** _ppTask)
{
    return Sdk().OpenTask(_pLogin, _szTaskId, _ppTask);
}

int PMYBS_AddFileEx(void* _pTask, const char* _szSrcPath, const char* _szDstPath, int _iFlag)
{
    return Sdk().AddEntry(_pTask, QStringLiteral("file"), _szSrcPath, _szDstPath, _iFlag);
}

int PMYBS_AddFile(void* _pTask, const char* _szSrcPath, const char* _szDstPath)
{
    return Sdk().AddEntry(_pTask, QStringLiteral("file"), _szSrcPath, _szDstPath, 0);
}

int PMYBS_AddTree(void* _pTask, const char* _szSrcDir, const char* _szDstDir)
{
    return Sdk().AddEntry(_pTask, QStringLiteral("tree"), _szSrcDir, _szDstDir, 0);
}

int PMYBS_AddDirectory(void* _pTask, const char* _szDstDir)
{
    return Sdk().AddEntry(_pTask, QStringLiteral("dir"), nullptr, _szDstDir, 0);
}

int PMYBS_SetPrintFile(void* _pTask, const char* _szPrintFile, int _iFlag)
{
    return Sdk().SetPrintFile(_pTask, _szPrintFile, nullptr, _iFlag);
}

int PMYBS_SetPrintFile2(void* _pTask, const char* _szPrintFile, const char* _szMergeFile, int _iFlag)
{
    return Sdk().SetPrintFile(_pTask, _szPrintFile, _szMergeFile, _iFlag);
}

int PMYBS_SetPrintField(void* _pTask, int _iField, const char* _szValue)
{
    return Sdk().SetPrintField(_pTask, _iField, _szValue);
}

int PMYBS_SetTaskConfig(void* _pTask, const char* _szKey, const char* _szValue)
{
    return Sdk().SetTaskConfig(_pTask, _szKey, _szValue);
}

int PMYBS_SubmitTask(void* _pTask, char* _szTaskId)
{
    return Sdk().SubmitTask(_pTask, _szTaskId);
}

int PMYBS_CloseTask(void* _pTask)
{
    return Sdk().CloseTask(_pTask);
}

int PMYBS_CreateTaskByJson(void* _pLogin, const char* _szTaskJson, char* _szTaskId)
{
    return Sdk().SubmitJson(_pLogin, _szTaskJson, _szTaskId);
}

// The misspelling is the entry's name the module looks up.
int PMYBS_CancleTaskById(void* _pLogin, const char* _szTaskId)
{
    return Sdk().CancelTask(_pLogin, _szTaskId);
}

int PMYBS_GetTaskStatus(void* _pLogin, const char* _szTaskId, char* _szBuf, int* _piLen)
{
    return Sdk().GetTaskStatus(_pLogin, _szTaskId, _szBuf, _piLen);
}

int PMYBS_SetTaskStatusCallback(PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    return Sdk().SetCallback(PmyBsNotifyKind::Task, _pfnNotify, _pUser);
}

int PMYBS_GetRobotStatus(void* _pLogin, char* _szBuf, int* _piLen)
{
    return Sdk().GetRobotStatus(_pLogin, _szBuf, _piLen);
}

int PMYBS_SetRobotStatusCallback(PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    return Sdk().SetCallback(PmyBsNotifyKind::Robot, _pfnNotify, _pUser);
}

int PMYBS_SetConfig(const char* _szKey, const char* _szValue)
{
    return Sdk().SetConfig(_szKey, _szValue);
}

int PMYBS_GetConfig(const char* _szKey, char* _szBuf, int* _piLen)
{
    return Sdk().GetConfig(_szKey, _szBuf, _piLen);
}

int PMYBS_ReStartService(void* _pLogin)
{
    return Sdk().RestartService(_pLogin);
}

bool PMYBS_CheckSvcIsOnline(const char* _szIp, int _iPort)
{
    return Sdk().CheckOnline(_szIp, _iPort);
}

int PMYBS_SetDynamicCallback(PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    return Sdk().SetCallback(PmyBsNotifyKind::Dynamic, _pfnNotify, _pUser);
}

int PMYBS_SetEventCallback(PFN_PmybsNotify _pfnNotify, void* _pUser)
{
    return Sdk().SetCallback(PmyBsNotifyKind::Event, _pfnNotify, _pUser);
}
}
#pragma GCC visibility pop
