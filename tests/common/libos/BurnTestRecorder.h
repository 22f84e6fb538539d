// Records the calls the binding tests' stand-in libraries receive, and the argument
// values and results both sides derive from names and positions. Any thread.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

// Appends one call description; thread-safe.
void BurnTestRecord(const std::string& _strCall);
// The calls recorded since the last take, oldest first.
std::vector<std::string> BurnTestTakeRecords();

// One value as a call description shows it: texts quoted, other pointers as addresses.
template <typename T>
std::string BurnTestDescribe(const T& _value)
{
    if constexpr (std::is_same_v<T, const char*>) {
        return _value ? "\"" + std::string(_value) + "\"" : "null";
    } else if constexpr (std::is_same_v<T, std::string>) {
        return "\"" + _value + "\"";
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        std::string strList = "[";
        for (std::size_t i = 0; i < _value.size(); ++i)
            strList += (i ? ", \"" : "\"") + _value[i] + "\"";
        return strList + "]";
    } else if constexpr (std::is_same_v<T, bool>) {
        return _value ? "true" : "false";
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(_value);
    } else {
        static_assert(std::is_pointer_v<T>, "a pointer, a number or a standard text");
        char szAddress[32];
        std::snprintf(szAddress, sizeof(szAddress), "@%llx",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(_value)));
        return szAddress;
    }
}

// "name(arg, arg, ...)".
template <typename... T>
std::string BurnTestDescribeCall(const char* _szName, const std::tuple<T...>& _tupArgs)
{
    std::string strCall = std::string(_szName) + "(";
    std::apply(
        [&strCall](const auto&... _args) {
            std::size_t nIndex = 0;
            ((strCall += (nIndex++ ? ", " : "") + BurnTestDescribe(_args)), ...);
        },
        _tupArgs);
    return strCall + ")";
}

template <typename... T>
void BurnTestRecordCall(const char* _szName, const std::tuple<T...>& _tupArgs)
{
    BurnTestRecord(BurnTestDescribeCall(_szName, _tupArgs));
}

inline std::string BurnTestFormatV(const char* _szFmt, va_list _vaArgs)
{
    va_list vaCopy;
    va_copy(vaCopy, _vaArgs);
    const int iLength = std::vsnprintf(nullptr, 0, _szFmt, vaCopy);
    va_end(vaCopy);
    std::string strText(iLength > 0 ? static_cast<std::size_t>(iLength) : 0, '\0');
    if (iLength > 0)
        std::vsnprintf(&strText[0], strText.size() + 1, _szFmt, _vaArgs);
    return strText;
}

constexpr std::uint32_t BurnTestHash(const char* _szText)
{
    std::uint32_t uHash = 2166136261u;
    for (; *_szText; ++_szText)
        uHash = (uHash ^ static_cast<unsigned char>(*_szText)) * 16777619u;
    return uHash;
}

// What the stand-in entry `_szEntry` returns: distinct per entry and never a failure
// value of the forwarders (a bool is false, the opposite of the one forwarder's true).
template <typename R>
R BurnTestResult(const char* _szEntry)
{
    const std::uint32_t uHash = BurnTestHash(_szEntry);
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_same_v<R, bool>) {
        return false;
    } else if constexpr (std::is_integral_v<R> && sizeof(R) == 8) {
        return static_cast<R>((1LL << 35) + uHash);
    } else if constexpr (std::is_integral_v<R>) {
        return static_cast<R>(100 + uHash % 50000);
    } else {
        return reinterpret_cast<R>(static_cast<std::uintptr_t>(0x500000 + (uHash % 4096) * 16));
    }
}

// The value a test passes as argument number _nIndex of type T: distinct per position.
// Pointers other than texts are made-up addresses the stand-ins never dereference.
template <typename T>
T BurnTestArg(std::size_t _nIndex)
{
    if constexpr (std::is_same_v<T, const char*>) {
        static const char* const s_arrTexts[] = {"text 0", "text 1", "text 2", "text 3", "text 4", "text 5",
                                                 "text 6", "text 7", "text 8", "text 9", "text 10", "text 11"};
        return s_arrTexts[_nIndex % (sizeof(s_arrTexts) / sizeof(s_arrTexts[0]))];
    } else if constexpr (std::is_same_v<T, std::string>) {
        return "string " + std::to_string(_nIndex) + " \xE5\x85\x89\xE7\x9B\x98";
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        return {"drive " + std::to_string(_nIndex), "drive " + std::to_string(_nIndex + 1)};
    } else if constexpr (std::is_same_v<T, bool>) {
        return _nIndex % 2 == 0;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) == 8) {
        return static_cast<T>(7000000000LL + static_cast<long long>(_nIndex));
    } else if constexpr (std::is_integral_v<T>) {
        return static_cast<T>(1000 + 37 * _nIndex);
    } else {
        static_assert(std::is_pointer_v<T>, "a pointer, a number or a standard text");
        return reinterpret_cast<T>(static_cast<std::uintptr_t>(0x10000 + 0x100 * (_nIndex + 1)));
    }
}
