// Entries of alivemsg.dll, the notification service the local drive backend starts
// before it shows operator dialogs. Any thread; one service per process.
#pragma once

#include "BurnExport.h"

// Starts the service: 0 (also when it runs already).
BURN_EXPORT int alivemsg_startup(void);
// 1 while the service runs, else 0.
BURN_EXPORT int alivemsg_is_startup(void);
// Stops the service and frees every handle: 0.
BURN_EXPORT int alivemsg_cleanup(void);
// A notification handle; null while the service is not running.
BURN_EXPORT void* alivemsg_create(void);
// 0, or -1 for a handle this service did not give.
BURN_EXPORT int alivemsg_destroy(void* _pAliveMsg);
BURN_EXPORT int alivemsg_set_parent(void* _pAliveMsg, void* _pParentWnd);
// Runs a method with a JSON object as parameter. Known methods: "InitData" (display
// settings, kept) and "SetSkin" ({"path": style sheet, "titlebk": colour}, kept; the
// answer tells whether the file exists). Every call that gets this far answers with a
// JSON text in *_ppResult, to be released with alivemsg_free_ptr: {"code":0,...} and
// result 0 on success; {"code":<negative>,"msg":...} and result -1 for an unknown
// handle, an unknown method or a parameter that is not a JSON object.
BURN_EXPORT int alivemsg_call_method(void* _pAliveMsg, const char* _szMethod, const char* _szParamJson,
                                     char** _ppResult);
// Releases a text of alivemsg_call_method: 0, or -1 for a null text.
BURN_EXPORT int alivemsg_free_ptr(void* _pAliveMsg, char* _szResult);
