// Binding of the Primera burn service SDK PMYBurnSvcSdk.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

#define BURN_API_TABLE "PmyBsApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\PmyBsBinding"
#define BURN_BINDING_INIT PMY4200_init_lib
#define BURN_BINDING_LOAD PMY4200_load_lib
#define BURN_BINDING_FILE "/PMYBurnSvcSdk.dll"
#define BURN_BINDING_INIT_NULL_LINE "PMY4200_init_lib:path == nullptr\r\n"
#define BURN_BINDING_LOAD_NULL_LINE "PMY4200_load_lib:path == nullptr\r\n"
#include "BurnApiGenBinding.inc"
