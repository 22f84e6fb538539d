// A stand-in for one closed library, generated from the entry table named by
// BURN_TEST_TABLE: every entry records its name and arguments (a printf-style entry its
// fixed arguments and the formatted text) and returns BurnTestResult's value. Entries
// run on the caller's thread; those of BURN_FWD_UNBOUND rows too, although the binding
// must not look them up.
#include <cstdarg>
#include <cstdio>

#include "BurnLibBinding.h"
#include "BurnTestRecorder.h"

#define BURN_TEST_DEFINE_VA(ret, name, params, fixedArgs, fmtParam)                                  \
    BURN_TEST_LIB_ENTRY ret name params                                                              \
    {                                                                                                \
        char szText[16384];                                                                          \
        va_list vaArgs;                                                                              \
        va_start(vaArgs, fmtParam);                                                                  \
        std::vsnprintf(szText, sizeof(szText), fmtParam, vaArgs);                                    \
        va_end(vaArgs);                                                                              \
        const auto tupArgs = std::tuple_cat(std::make_tuple fixedArgs, std::tuple<const char*>(szText)); \
        BurnTestRecord(BurnTestDescribeCall(#name, tupArgs));                                        \
        return BurnTestResult<ret>();                                                                \
    }

#define BURN_FWD(ret, name, params, args, fail, form) BURN_TEST_DEFINE(ret, name, params, args)
#define BURN_FWD_VA(ret, name, params, fixedArgs, fmtParam, fmtIndex, fail, form) \
    BURN_TEST_DEFINE_VA(ret, name, params, fixedArgs, fmtParam)
#define BURN_FWD_AS(ret, entry, name, params, args, fail, form) BURN_TEST_DEFINE(ret, entry, params, args)
#define BURN_FWD_UNBOUND(ret, name, params, args, fail, form) BURN_TEST_DEFINE(ret, name, params, args)
#define BURN_ENTRY(ret, name, params, args) BURN_TEST_DEFINE(ret, name, params, args)
#define BURN_ENTRY_VA(ret, name, params, fixedArgs, fmtParam) \
    BURN_TEST_DEFINE_VA(ret, name, params, fixedArgs, fmtParam)
#include BURN_TEST_TABLE
