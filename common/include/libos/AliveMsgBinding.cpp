// Binding of the desktop notification library alivemsg.dll; its loaders are exported too.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

#define BURN_API_TABLE "AliveMsgApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\AliveMsgBinding"
#define BURN_BINDING_INIT alivemsg_init_lib
#define BURN_BINDING_LOAD alivemsg_load_lib
#define BURN_BINDING_FILE "alivemsg.dll"
#define BURN_BINDING_INIT_NULL_LINE "alivemsg_load_lib:path == NULL"
#define BURN_BINDING_LOAD_NULL_LINE "alivemsg_load_lib:path == NULL"
#define BURN_BINDING_FAIL_PREFIX "alivemsg_lib failed. err="
#define BURN_BINDING_FAIL_NAMES_PATH true
#define BURN_BINDING_EXPORT_LOADERS
#include "BurnApiGenBinding.inc"
