// Entries of the Epson PP-100 API. The module re-exports them but binds no library for
// them, so every forwarder reports and returns -1. Compile-time table (row forms in
// BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD_UNBOUND(int, PP100_AddData, (long long _llJob, const char* _szSrcPath, const char* _szDstPath),
                 (_llJob, _szSrcPath, _szDstPath), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_CancelJob, (long long _llServer, const char* _szJobId), (_llServer, _szJobId), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_ConnectServer, (const char* _szHost, long long* _pllServer), (_szHost, _pllServer), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_CreateJob, (long long* _pllJob), (_pllJob), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_DeleteJob, (long long _llJob), (_llJob), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_Destroy, (void), (), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_DisConnectServer, (long long _llServer), (_llServer), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_EnumPublishers, (long long _llServer, char* _szBuf, int* _piLen), (_llServer, _szBuf, _piLen),
                 -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetDiscType, (long long _llJob, int* _piDiscType), (_llJob, _piDiscType), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetJobStatus, (long long _llServer, const char* _szJobId, char* _szBuf, int* _piLen),
                 (_llServer, _szJobId, _szBuf, _piLen), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetJobStatusEx,
                 (long long _llServer, const char* _szJobId, char* _szBuf, int* _piLen, int _iFlag),
                 (_llServer, _szJobId, _szBuf, _piLen, _iFlag), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetLabel, (long long _llJob, char* _szBuf, int* _piLen), (_llJob, _szBuf, _piLen), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetPublisherStatus,
                 (long long _llServer, const char* _szPublisher, char* _szBuf, int* _piLen),
                 (_llServer, _szPublisher, _szBuf, _piLen), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_GetReplaceFieldText, (long long _llJob, const char* _szField, char* _szBuf, int* _piLen),
                 (_llJob, _szField, _szBuf, _piLen), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_Initialize, (void), (), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetData, (long long _llJob, int _iIndex, const char* _szSrcPath, const char* _szDstPath),
                 (_llJob, _iIndex, _szSrcPath, _szDstPath), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetDiscType, (long long _llJob, int _iDiscType), (_llJob, _iDiscType), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetFormat, (long long _llJob, int _iFormat), (_llJob, _iFormat), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetLabel, (long long _llJob, const char* _szLabelFile), (_llJob, _szLabelFile), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetLabelArea, (long long _llJob, int _iOuter, int _iInner), (_llJob, _iOuter, _iInner), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetOutStacker, (long long _llJob, int _iStacker), (_llJob, _iStacker), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetPublisher, (long long _llJob, const char* _szPublisher), (_llJob, _szPublisher), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetReplaceFieldText, (long long _llJob, const char* _szField, const char* _szText),
                 (_llJob, _szField, _szText), -1, GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SetVolumeLabel, (long long _llJob, const char* _szLabel), (_llJob, _szLabel), -1,
                 GP_NULLPTR)
BURN_FWD_UNBOUND(int, PP100_SubmitJob, (long long _llServer, long long _llJob, char* _szJobId, int _iLen),
                 (_llServer, _llJob, _szJobId, _iLen), -1, GP_NULLPTR)

#include "BurnApiTableEnd.h"
