// Binding of the local drive control library BurnSdkIOCTL.dll.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"
#include "CLS_LibLoader.h"

// The text and list arguments arrive by value; the call copies them into the entry's
// own parameters and the received objects are released when the forwarder returns,
// bound or not.
#define BURN_API_TABLE "IoCtrlApiTable.h"
#define BURN_BINDING_LOG_SOURCE "common\\include\\libos\\IoCtrlBinding"
#define BURN_BINDING_INIT burnsdkioctrl_init
#define BURN_BINDING_LOAD burnsdkioctrl_load_lib
#define BURN_BINDING_FILE "BurnSdkIOCTL.dll"
#define BURN_BINDING_INIT_NULL_LINE "burnsdkioctrl_init:path == NULL"
#define BURN_BINDING_LOAD_NULL_LINE nullptr
#include "BurnApiGenBinding.inc"
