// Run-time bindings of the closed libraries: loaders, re-exported forwarders, DMX wrappers.
// Loaders run on the host thread while binding; forwarders and wrappers on any thread.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "BurnExport.h"
#include "DmxNwcApi.h"
#include "ModuleLog.h"
#include "MqTypes.h"

// ---- Callback types of the libraries' entries -------------------------------------

// libos networking: a connection event, received bytes, an accepted client, a datagram.
typedef void (*PFN_OsNetEvent)(void* _pConn, void* _pUser);
typedef int (*PFN_OsNetRead)(void* _pConn, const char* _szData, int _iLen, void* _pUser);
typedef void (*PFN_OsTcpAccept)(void* _pServer, void* _pClient, void* _pUser);
typedef void (*PFN_OsUdpRead)(void* _pConn, const char* _szFromIp, int _iFromPort, const char* _szData, int _iLen,
                              void* _pUser);
// libos threads, timers, posted functions, list element release.
typedef void* (*PFN_OsThreadProc)(void* _pArg);
typedef void (*PFN_OsTimerProc)(void* _pUser);
typedef void (*PFN_OsPostFunc)(void* _pArg);
typedef void (*PFN_AdtFree)(void* _pData);
// Primera SDK notifications (task status, robot status, dynamic information, events):
// the login handle they concern, a JSON text of _iLen bytes, the registered pointer.
typedef void (*PFN_PmybsNotify)(void* _pLogin, const char* _szJson, int _iLen, void* _pUser);
// Drive control messages: a narrow text, the registered context.
typedef void (*PFN_IOCtrlBurnCallBack)(const char* _szMsg, void* _pUser);

// Size of the buffer PMYBS_SubmitTask writes the task ID into.
constexpr int n_PmybsTaskIdSize = 40;

// ---- Loaders ----------------------------------------------------------------------
// The init function takes a directory and appends the library's file name; the load
// function takes the full path. Non-zero: bound (also when it was bound before, without
// touching the file system); 0: not bound, and the reason is in the module log.

extern "C" {
int libos_init(const char* _szDir);            // + "/win32_libos.dll"
int load_libos_lib(const char* _szPath);
int mq_init(const char* _szDir);               // + "/win32_mq.dll"
int mq_load_lib(const char* _szPath);
int webservice_init_lib(const char* _szDir);   // + "/win32_webservice_sdk.dll"
int load_webservice_lib(const char* _szPath);
int dmx_init(const char* _szDir);              // + "/BurnModuleFile/DMX/wp_nwc.dll"
int DMX_loadDll(const char* _szPath);
int PMY4200_init_lib(const char* _szDir);      // + "/PMYBurnSvcSdk.dll"
int PMY4200_load_lib(const char* _szPath);
int burnsdkioctrl_init(const char* _szDir);    // + "BurnSdkIOCTL.dll" (the directory ends in "/")
int burnsdkioctrl_load_lib(const char* _szPath);
}
BURN_EXPORT int alivemsg_init_lib(const char* _szDir);  // + "alivemsg.dll" (the directory ends in "/")
BURN_EXPORT int alivemsg_load_lib(const char* _szPath);

// ---- Forwarders -------------------------------------------------------------------
// Each calls its library entry with exactly its own arguments and returns the entry's
// result. When the entry is not bound it writes one line to Qt's debug log and returns
// the failure value of its table row. Signatures: the tables.

#define BURN_API_TABLE "LibOsApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "MqApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "AliveMsgApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "WebServiceApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "Pp100ApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "PmyBsApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE
#define BURN_API_TABLE "IoCtrlApiTable.h"
#include "BurnApiGenDecls.inc"
#undef BURN_API_TABLE

// ---- DMX wrappers (not exported) --------------------------------------------------
// When an entry is not bound they log and return 0 (false, a null handle).

// Result of the send wrappers when the entries are not bound or the device is not connected.
constexpr int n_DmxNotSent = 33;

void* DMX_getDev(const char* _szIp, int _iPort, int _iFlag);
bool DMX_isConn(void* _pDev);
int DMX_destroyDev(void* _pDev);
void* DMX_setChangeEventCall(void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser);
int DMX_destroyChangeEventCall(void* _pDev, void* _pSubscription);

// Sends a message under a fresh message ID (a braced UUID, which replaces _szUnused)
// and copies the reply into _strReply (empty when there is none). Returns the
// library's result (1: success) or n_DmxNotSent.
int DMX_sendMsgRet(void* _pDev, const char* _szMethod, const char* _szClass, const char* _szUnused,
                   const char* _szBody, int _iTimeoutMs, std::string& _strReply);
// The same, also returning the robot's error ID in *_piErrId.
int DMX_sendMsgErrRet(void* _pDev, const char* _szMethod, const char* _szClass, const char* _szUnused,
                      const char* _szBody, int _iTimeoutMs, std::string& _strReply, int* _piErrId);

// ---- The module's own logging entry -----------------------------------------------
// Set by the libos loader beside g_pfnModuleLogDebugEx (ModuleLog.h); only that one is called.
typedef void (*PFN_LogMsg)(int _iLevel, const char* _szFmt, ...);
typedef void (*PFN_LogDebugPuts)(int _iLevel, const char* _szFile, int _iLine, const char* _szText);
extern std::atomic<PFN_LogMsg> g_pfnModuleLogMsg;
extern std::atomic<PFN_LogDebugPuts> g_pfnModuleLogDebugPuts;
