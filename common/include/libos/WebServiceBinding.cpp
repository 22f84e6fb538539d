// Binding of the HTTP client library win32_webservice_sdk.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

#define BURN_API_TABLE "WebServiceApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\WebServiceBinding"
#define BURN_BINDING_INIT webservice_init_lib
#define BURN_BINDING_LOAD load_webservice_lib
#define BURN_BINDING_FILE "/win32_webservice_sdk.dll"
#define BURN_BINDING_INIT_NULL_LINE "webservice_init_lib:path == nullptr\r\n"
#define BURN_BINDING_LOAD_NULL_LINE "load_webservice_lib:path == nullptr\r\n"
#include "BurnApiGenBinding.inc"
