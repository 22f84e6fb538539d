// Entries of the DMX robot network library wp_nwc.dll (types in DmxNwcApi.h), in lookup
// order; none is re-exported. Compile-time table (row forms in BurnApiTableBegin.h);
// no include guard.
#include "BurnApiTableBegin.h"

BURN_ENTRY(int, scan_devs, (int _iTimeoutMs, char** _ppReply, int* _piReplyLen), (_iTimeoutMs, _ppReply, _piReplyLen))
BURN_ENTRY(void*, get_dev, (const char* _szIp, int _iPort, int _iFlag), (_szIp, _iPort, _iFlag))
BURN_ENTRY(int, is_conn, (void* _pDev), (_pDev))
BURN_ENTRY(int, destroy_dev, (void* _pDev), (_pDev))
BURN_ENTRY(void*, set_change_event_call, (void* _pDev, PFN_DmxChangeEvent _pfnEvent, void* _pUser),
           (_pDev, _pfnEvent, _pUser))
BURN_ENTRY(int, destroy_change_event_call, (void* _pDev, void* _pSubscription), (_pDev, _pSubscription))
BURN_ENTRY(int, destroy_change_event_call_all, (void* _pDev), (_pDev))
BURN_ENTRY(void*, set_msg_call, (void* _pDev, PFN_DmxMsg _pfnMsg, void* _pUser), (_pDev, _pfnMsg, _pUser))
BURN_ENTRY(int, destroy_msg_call, (void* _pDev, void* _pSubscription), (_pDev, _pSubscription))
BURN_ENTRY(int, destroy_msg_call_all, (void* _pDev), (_pDev))
BURN_ENTRY(int, send_str, (void* _pDev, const char* _szMsg, int _iLen), (_pDev, _szMsg, _iLen))
BURN_ENTRY(void, free_str, (char** _ppStr), (_ppStr))
BURN_ENTRY(unsigned char, send_msg_ret_new_ex,
           (void* _pDev, const char* _szMethod, const char* _szClass, const char* _szMsgId, const char* _szBody,
            int _iTimeoutMs, char** _ppReply, int* _piReplyLen),
           (_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs, _ppReply, _piReplyLen))
BURN_ENTRY(unsigned char, send_msg_ret_err_new_ex,
           (void* _pDev, const char* _szMethod, const char* _szClass, const char* _szMsgId, const char* _szBody,
            int _iTimeoutMs, char** _ppReply, int* _piReplyLen, int* _piErrId),
           (_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs, _ppReply, _piReplyLen, _piErrId))
BURN_ENTRY(unsigned char, send_msg_ret_new_paging_ex,
           (void* _pDev, const char* _szMethod, const char* _szClass, const char* _szMsgId, const char* _szBody,
            int _iTimeoutMs, int _iPage, int _iPageSize, char** _ppReply, int* _piReplyLen),
           (_pDev, _szMethod, _szClass, _szMsgId, _szBody, _iTimeoutMs, _iPage, _iPageSize, _ppReply, _piReplyLen))

#include "BurnApiTableEnd.h"
