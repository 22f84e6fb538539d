// The Epson PP-100 forwarders. Nothing binds this family: its pointers stay null, so
// every forwarder reports and returns -1.
#include "BurnApiGen.h"
#include "BurnLibBinding.h"

namespace
{
#define BURN_API_TABLE "Pp100ApiTable.h"
#include "BurnApiGenPointers.inc"
}  // namespace

#include "BurnApiGenForwarders.inc"
#undef BURN_API_TABLE
