// What the generated forwarders share: the Qt debug lines of unbound entries and the
// formatting of printf-style calls. Used by the binding sources only; any thread.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
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

// Row checks, at compile time: a row's argument list must name its parameters in
// order. The stand-in test libraries are generated from the same rows, so a swapped
// argument would cancel out there; only this check catches it.
namespace burn_api_gen
{
constexpr bool IsNameChar(char _c)
{
    return _c == '_' || (_c >= 'a' && _c <= 'z') || (_c >= 'A' && _c <= 'Z') || (_c >= '0' && _c <= '9');
}

// The name a declaration ends with ("char* _szPath" -> "_szPath"); empty for "void" and "...".
constexpr std::string_view DeclaredName(std::string_view _svDecl)
{
    std::size_t nEnd = _svDecl.size();
    while (nEnd > 0 && !IsNameChar(_svDecl[nEnd - 1]))
        --nEnd;
    std::size_t nBegin = nEnd;
    while (nBegin > 0 && IsNameChar(_svDecl[nBegin - 1]))
        --nBegin;
    const std::string_view svName = _svDecl.substr(nBegin, nEnd - nBegin);
    return svName == "void" ? std::string_view() : svName;
}

// Walks the top-level items of a parenthesised list: "(a, f(b, c), d)" -> a, f(b, c), d.
class CLS_ListCursor
{
public:
    constexpr explicit CLS_ListCursor(std::string_view _svList)
        : m_svRest(_svList.size() >= 2 ? _svList.substr(1, _svList.size() - 2) : std::string_view())
    {
    }
    // The next item's declared name, skipping items without one; false at the end.
    constexpr bool NextName(std::string_view& _svName)
    {
        while (!m_svRest.empty()) {
            _svName = DeclaredName(NextItem());
            if (!_svName.empty())
                return true;
        }
        return false;
    }

private:
    constexpr std::string_view NextItem()
    {
        int iDepth = 0;
        std::size_t i = 0;
        for (; i < m_svRest.size(); ++i) {
            const char c = m_svRest[i];
            if (c == '(' || c == '<')
                ++iDepth;
            else if (c == ')' || c == '>')
                --iDepth;
            else if (c == ',' && iDepth == 0)
                break;
        }
        const std::string_view svItem = m_svRest.substr(0, i);
        m_svRest = i < m_svRest.size() ? m_svRest.substr(i + 1) : std::string_view();
        return svItem;
    }

    std::string_view m_svRest;
};

// True when the arguments, followed by _svLast if given, name the parameters in order.
constexpr bool ArgsNameParams(std::string_view _svParams, std::string_view _svArgs, std::string_view _svLast = {})
{
    CLS_ListCursor cursorParams(_svParams);
    CLS_ListCursor cursorArgs(_svArgs);
    std::string_view svParam;
    std::string_view svArg;
    while (cursorParams.NextName(svParam)) {
        if (cursorArgs.NextName(svArg)) {
            if (svArg != svParam)
                return false;
        } else if (svParam == _svLast) {
            _svLast = std::string_view();
        } else {
            return false;
        }
    }
    return !cursorArgs.NextName(svArg) && _svLast.empty();
}

constexpr int CountNames(std::string_view _svList)
{
    CLS_ListCursor cursor(_svList);
    std::string_view svName;
    int iCount = 0;
    while (cursor.NextName(svName))
        ++iCount;
    return iCount;
}
}  // namespace burn_api_gen

#define BURN_GEN_CHECK_ARGS(name, params, args)                                   \
    static_assert(burn_api_gen::ArgsNameParams(#params, #args),                 \
                  "the arguments of " #name " must name its parameters in order");
#define BURN_GEN_CHECK_ARGS_VA(name, params, fixedArgs, fmtParam)                              \
    static_assert(burn_api_gen::ArgsNameParams(#params, #fixedArgs, #fmtParam),              \
                  "the fixed arguments and format of " #name " must name its parameters in order");

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
