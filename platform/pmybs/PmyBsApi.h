// C interface of the Primera burn service SDK PMYBurnSvcSdk.dll, as our replacement
// exports it (the rows of PmyBsApiTable.h). Callbacks run on the library's own thread.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// The login handle a message concerns, a NUL-terminated JSON text of _iLen bytes, the
// pointer given with the callback.
typedef void (*PFN_PmybsNotify)(void* _pLogin, const char* _szJson, int _iLen, void* _pUser);

#define BURN_FWD(ret, name, params, args, fail, form) ret name params;
#include "PmyBsApiTable.h"

#ifdef __cplusplus
}
#endif

// Error codes of the SDK; 0 is success.
enum PmyBsError
{
    n_PmyBs_Ok = 0,
    n_PmyBs_ConnectFailed = 11000,
    n_PmyBs_NotifyInitFailed = 11001,
    n_PmyBs_Abnormal = 11002,
    n_PmyBs_InvalidParam = 11003,
    n_PmyBs_BadReply = 11004,
    n_PmyBs_BadConfigKey = 11005,
    n_PmyBs_BufferTooSmall = 11006,
    n_PmyBs_UnsupportedTask = 11007,
    n_PmyBs_TaskNotFound = 11008,
    n_PmyBs_FileNotFound = 11009,
    n_PmyBs_FileOpenFailed = 11010,
    n_PmyBs_LoggedIn = 11011,
    n_PmyBs_NotLoggedIn = 11012,
    n_PmyBs_TransferInitFailed = 11013,
    n_PmyBs_NoFiles = 11014,
    n_PmyBs_TaskTooLong = 11015,
    n_PmyBs_CloseFailed = 11016,
};
