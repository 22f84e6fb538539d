// C interface of the DMX robot network library wp_nwc.dll, shared by the module's
// binding and by a replacement library. Callbacks run on the library's own threads.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Device and subscription handles are opaque pointers (null: none).
//
// A message to the robot's task service (send_msg_ret_*): a method ("get", "set",
// "task"), a class name, a message ID (a braced UUID), a JSON body (may be empty) and a
// timeout. The result is 1 on success; the reply is a NUL-terminated text of
// *_piReplyLen bytes allocated by the library (null when there is none), handed back
// with free_str(&reply), which sets the pointer to null. The _err form also returns
// the robot's error ID.

// An event pushed by the robot: a command name and its JSON text.
typedef void (*PFN_DmxChangeEvent)(const char* _szCmd, const char* _szJson, void* _pUser);
// A raw message pushed by the robot.
typedef void (*PFN_DmxMsg)(const char* _szMsg, int _iLen, void* _pUser);

#define BURN_ENTRY(ret, name, params, args) ret name params;
#include "DmxNwcApiTable.h"

#ifdef __cplusplus
}
#endif
