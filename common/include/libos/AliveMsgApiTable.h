// Entries of the desktop notification library alivemsg.dll, in lookup order.
// Compile-time table (row forms in BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD(int, alivemsg_startup, (void), (), -1, DY_NULL)
BURN_FWD(int, alivemsg_is_startup, (void), (), -1, DY_NULL)
BURN_FWD(int, alivemsg_cleanup, (void), (), -1, DY_NULL)
BURN_FWD(void*, alivemsg_create, (void), (), 0, DY_NULL)
BURN_FWD(int, alivemsg_destroy, (void* _pAliveMsg), (_pAliveMsg), -1, DY_NULL)
BURN_FWD(int, alivemsg_set_parent, (void* _pAliveMsg, void* _pParentWnd), (_pAliveMsg, _pParentWnd), -1, DY_NULL)
BURN_FWD(int, alivemsg_call_method, (void* _pAliveMsg, const char* _szMethod, const char* _szParamJson, char** _ppResult),
         (_pAliveMsg, _szMethod, _szParamJson, _ppResult), -1, DY_NULL)
BURN_FWD(int, alivemsg_free_ptr, (void* _pAliveMsg, char* _szResult), (_pAliveMsg, _szResult), -1, DY_NULL)

#include "BurnApiTableEnd.h"
