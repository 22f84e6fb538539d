// What the generated forwarders share: the Qt debug lines of unbound entries and the
// formatting of printf-style calls. Used by the binding sources only; any thread.
#pragma once

#include <cstdarg>
#include <string>
#include <tuple>

#include "BurnExport.h"

// The Qt debug line a forwarder writes when its entry is not bound, by form.
#define BURN_LINE_PLAIN_NULL(name) #name " == NULL\r\n"
#define BURN_LINE_DY_NULL(name) "dy_" #name " == NULL\r\n"
#define BURN_LINE_DY_NULLPTR(name) "dy_" #name " == nullptr\r\n"
#define BURN_LINE_DY_NULLPTR_TIGHT(name) "dy_" #name "== nullptr\r\n"
#define BURN_LINE_GP_NULLPTR(name) "g_p" #name " == nullptr"
#define BURN_LINE_DY_IOCTRL_NULLPTR(name) "dy_IOCtrl" #name " == nullptr\r\n"

// Writes the line to Qt's debug log as it is.
void BurnReportUnbound(const char* _szLine);

// printf-style formatting into a string of any length.
std::string BurnFormatV(const char* _szFmt, va_list _vaArgs);

// A forwarder: calls the bound entry with exactly its own arguments and returns the
// entry's result; unbound, it writes its line and returns the failure value.
#define BURN_GEN_FORWARDER(ret, name, params, args, fail, form) \
    BURN_EXPORT ret name params                                 \
    {                                                           \
        const auto pfnEntry = s_pfn_##name;                     \
        if (!pfnEntry) {                                        \
            BurnReportUnbound(BURN_LINE_##form(name));          \
            return fail;                                        \
        }                                                       \
        return pfnEntry args;                                   \
    }

// A printf-style forwarder. A C variadic argument list cannot be handed on to another
// variadic function, so the forwarder formats the text itself and calls the entry with
// its fixed arguments, the format "%s" and that text: the library writes exactly what
// the caller asked for.
#define BURN_GEN_FORWARDER_VA(ret, name, params, fixedArgs, fmtParam, fail, form)                       \
    BURN_EXPORT ret name params                                                                          \
    {                                                                                                    \
        const auto pfnEntry = s_pfn_##name;                                                              \
        if (!pfnEntry) {                                                                                 \
            BurnReportUnbound(BURN_LINE_##form(name));                                                   \
            return fail;                                                                                 \
        }                                                                                                \
        va_list vaArgs;                                                                                  \
        va_start(vaArgs, fmtParam);                                                                      \
        const std::string strText = BurnFormatV(fmtParam, vaArgs);                                       \
        va_end(vaArgs);                                                                                  \
        return std::apply(pfnEntry,                                                                      \
                          std::tuple_cat(std::make_tuple fixedArgs, std::make_tuple("%s", strText.c_str()))); \
    }
