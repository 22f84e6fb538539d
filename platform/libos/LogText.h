// Builds the text of one log line from a printf format or a plain text, bounded
// in size. Stateless; callable from any thread.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// Longest message text kept in one line; longer texts are cut and marked.
constexpr std::size_t n_LogText_MaxBytes = 64 * 1024;

// Formats _szFmt with _vaArgs, cut to _uMax bytes plus the cut marker.
std::string FormatLogText(std::size_t _uMax, const char* _szFmt, va_list _vaArgs);

// Copies _szText, cut to _uMax bytes plus the cut marker.
std::string CopyLogText(std::size_t _uMax, const char* _szText);
