// How the binding tests' stand-in libraries record the calls they receive, and the
// argument values and results both sides derive from names and positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

// Takes one call description: defined by the test program, which exports it to the
// stand-ins it loads. The caller's thread.
void BurnTestRecord(const std::string& _strCall);

// One value as a call description shows it: texts quoted, other pointers as addresses.
template <typename T>
std::string BurnTestDescribe(const T& _value)
{
    if constexpr (std::is_same_v<T, const char*>) {
        return _value ? "\"" + std::string(_value) + "\"" : "null";
    } else if constexpr (std::is_same_v<T, std::string>) {
        return "\"" + _value + "\"";
    } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
        std::string strList;
        for (const std::string& strItem : _value)
            strList += (strList.empty() ? "" : ", ") + BurnTestDescribe(strItem);
        return "[" + strList + "]";
    } else if constexpr (std::is_same_v<T, bool>) {
        return _value ? "true" : "false";
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(_value);
    } else {
        static_assert(std::is_pointer_v<T>, "a pointer, a number or a standard text");
        return "@" + std::to_string(reinterpret_cast<std::uintptr_t>(_value));
    }
}

// "name(arg, arg, ...)".
template <typename... T>
std::string BurnTestDescribeCall(const char* _szName, const std::tuple<T...>& _tupArgs)
{
    std::string strArgs;
    std::apply([&strArgs](const auto&... _args) { ((strArgs += ", " + BurnTestDescribe(_args)), ...); },
               _tupArgs);
    return std::string(_szName) + "(" + (strArgs.empty() ? strArgs : strArgs.substr(2)) + ")";
}

// What every stand-in entry returns: never a failure value of the forwarders (a bool is
// false, the opposite of the one forwarder's true).
template <typename R>
R BurnTestResult()
{
    if constexpr (std::is_void_v<R>)
        return;
    else if constexpr (std::is_same_v<R, bool>)
        return false;
    else if constexpr (std::is_integral_v<R>)
        return static_cast<R>(sizeof(R) == 8 ? 7LL << 33 : 4242);
    else
        return reinterpret_cast<R>(static_cast<std::uintptr_t>(0x5a5a50));
}

// The value a test passes as argument number _nIndex of type T: distinct per position.
// Pointers other than texts are made-up addresses the stand-ins never dereference.
template <typename T>
T BurnTestArg(std::size_t _nIndex)
{
    static const char* const s_arrTexts[] = {"text 0", "text 1", "text 2", "text 3", "text 4",
                                             "text 5", "text 6", "text 7", "text 8", "text 9"};
    if constexpr (std::is_same_v<T, const char*>)
        return s_arrTexts[_nIndex % 10];
    else if constexpr (std::is_same_v<T, std::string>)
        return "string " + std::to_string(_nIndex) + " \xE5\x85\x89\xE7\x9B\x98";
    else if constexpr (std::is_same_v<T, std::vector<std::string>>)
        return {"drive " + std::to_string(_nIndex), "drive " + std::to_string(_nIndex + 1)};
    else if constexpr (std::is_integral_v<T> && sizeof(T) == 8)
        return static_cast<T>(7000000000LL + static_cast<long long>(_nIndex));
    else if constexpr (std::is_integral_v<T>)
        return static_cast<T>(1000 + 37 * _nIndex);
    else
        return reinterpret_cast<T>(static_cast<std::uintptr_t>(0x10000 + 0x100 * (_nIndex + 1)));
}

// A stand-in entry, and one that records its name and arguments and returns BurnTestResult.
#define BURN_TEST_LIB_ENTRY extern "C" __attribute__((visibility("default")))
#define BURN_TEST_DEFINE(ret, name, params, args)                          \
    BURN_TEST_LIB_ENTRY ret name params                                    \
    {                                                                      \
        BurnTestRecord(BurnTestDescribeCall(#name, std::make_tuple args)); \
        return BurnTestResult<ret>();                                      \
    }
