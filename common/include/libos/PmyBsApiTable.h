// Entries of the Primera burn service SDK PMYBurnSvcSdk.dll, in lookup order. Results
// are 0 or an SDK error code (11000 and up); login and task handles are opaque
// pointers; texts are UTF-8. Compile-time table (row forms in BurnApiTableBegin.h);
// no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD(int, PMYBS_Init, (void), (), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_Destory, (void), (), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_Login, (const char* _szIp, int _iPort, void** _ppLogin), (_szIp, _iPort, _ppLogin), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_Logout, (void* _pLogin), (_pLogin), -1, DY_NULLPTR)
BURN_FWD(const char*, PMYBS_GetErrorString, (int _iErrCode), (_iErrCode), 0, DY_NULLPTR)
BURN_FWD(int, PMYBS_ExecuteRobotCmd, (void* _pLogin, int _iRobot, int _iCmd), (_pLogin, _iRobot, _iCmd), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_CreateTask, (void* _pLogin, int _iTaskType, const char* _szJobId, void** _ppTask),
         (_pLogin, _iTaskType, _szJobId, _ppTask), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_OpenTask, (void* _pLogin, const char* _szTaskId, void** _ppTask), (_pLogin, _szTaskId, _ppTask), -1,
         DY_NULLPTR)
BURN_FWD(int, PMYBS_AddFileEx, (void* _pTask, const char* _szSrcPath, const char* _szDstPath, int _iFlag),
         (_pTask, _szSrcPath, _szDstPath, _iFlag), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_AddFile, (void* _pTask, const char* _szSrcPath, const char* _szDstPath),
         (_pTask, _szSrcPath, _szDstPath), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_AddTree, (void* _pTask, const char* _szSrcDir, const char* _szDstDir), (_pTask, _szSrcDir, _szDstDir),
         -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_AddDirectory, (void* _pTask, const char* _szDstDir), (_pTask, _szDstDir), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetPrintFile, (void* _pTask, const char* _szPrintFile, int _iFlag), (_pTask, _szPrintFile, _iFlag),
         -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetPrintFile2, (void* _pTask, const char* _szPrintFile, const char* _szMergeFile, int _iFlag),
         (_pTask, _szPrintFile, _szMergeFile, _iFlag), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetPrintField, (void* _pTask, int _iField, const char* _szValue), (_pTask, _iField, _szValue), -1,
         DY_NULLPTR)
BURN_FWD(int, PMYBS_SetTaskConfig, (void* _pTask, const char* _szKey, const char* _szValue), (_pTask, _szKey, _szValue),
         -1, DY_NULLPTR)
// _szTaskId receives the service's task ID: a buffer of n_PmybsTaskIdSize bytes.
BURN_FWD(int, PMYBS_SubmitTask, (void* _pTask, char* _szTaskId), (_pTask, _szTaskId), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_CloseTask, (void* _pTask), (_pTask), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_CreateTaskByJson, (void* _pLogin, const char* _szTaskJson, char* _szTaskId),
         (_pLogin, _szTaskJson, _szTaskId), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_CancleTaskById, (void* _pLogin, const char* _szTaskId), (_pLogin, _szTaskId), -1, DY_NULLPTR)
// *_piLen: the buffer's size on entry, the reply's length on return (11006 when too small).
BURN_FWD(int, PMYBS_GetTaskStatus, (void* _pLogin, const char* _szTaskId, char* _szBuf, int* _piLen),
         (_pLogin, _szTaskId, _szBuf, _piLen), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetTaskStatusCallback, (PFN_PmybsNotify _pfnNotify, void* _pUser), (_pfnNotify, _pUser), -1,
         DY_NULLPTR)
BURN_FWD(int, PMYBS_GetRobotStatus, (void* _pLogin, char* _szBuf, int* _piLen), (_pLogin, _szBuf, _piLen), -1,
         DY_NULLPTR)
BURN_FWD(int, PMYBS_SetRobotStatusCallback, (PFN_PmybsNotify _pfnNotify, void* _pUser), (_pfnNotify, _pUser), -1,
         DY_NULLPTR)
BURN_FWD(int, PMYBS_SetConfig, (const char* _szKey, const char* _szValue), (_szKey, _szValue), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_GetConfig, (const char* _szKey, char* _szBuf, int* _piLen), (_szKey, _szBuf, _piLen), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_ReStartService, (void* _pLogin), (_pLogin), -1, DY_NULLPTR)
// True when the service answers; also true when the SDK is not bound.
BURN_FWD(bool, PMYBS_CheckSvcIsOnline, (const char* _szIp, int _iPort), (_szIp, _iPort), true, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetDynamicCallback, (PFN_PmybsNotify _pfnNotify, void* _pUser), (_pfnNotify, _pUser), -1, DY_NULLPTR)
BURN_FWD(int, PMYBS_SetEventCallback, (PFN_PmybsNotify _pfnNotify, void* _pUser), (_pfnNotify, _pUser), -1, DY_NULLPTR)

#include "BurnApiTableEnd.h"
