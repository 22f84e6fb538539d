#include "LogText.h"

#include <cstdio>
#include <cstring>

namespace {

// Start of the UTF-8 character that holds byte _uPos, so a cut never splits one.
std::size_t CharBoundary(const std::string& _strText, std::size_t _uPos)
{
    while (_uPos > 0 && (static_cast<unsigned char>(_strText[_uPos]) & 0xC0) == 0x80)
        --_uPos;
    return _uPos;
}

void TrimLineEnd(std::string& _strText)
{
    while (!_strText.empty() && (_strText.back() == '\n' || _strText.back() == '\r'))
        _strText.pop_back();
}

// _strText holds at least _uMax + 1 bytes of a text of _uFull bytes.
void CutWithMarker(std::string& _strText, std::size_t _uMax, std::size_t _uFull)
{
    _strText.resize(CharBoundary(_strText, _uMax));
    _strText += " ...[cut, " + std::to_string(_uFull) + " bytes in all]";
}

} // namespace

std::string FormatLogText(std::size_t _uMax, const char* _szFmt, va_list _vaArgs)
{
    if (!_szFmt)
        return std::string();
    va_list vaCopy;
    va_copy(vaCopy, _vaArgs);
    char szSmall[512];
    const int iFull = std::vsnprintf(szSmall, sizeof(szSmall), _szFmt, vaCopy);
    va_end(vaCopy);
    if (iFull < 0)
        return std::string();
    const std::size_t uFull = static_cast<std::size_t>(iFull);
    std::string strText;
    if (uFull < sizeof(szSmall)) {
        strText.assign(szSmall, uFull);
    } else {
        // One byte past the limit tells the cut where a character starts.
        const std::size_t uKeep = uFull > _uMax ? _uMax + 1 : uFull;
        strText.resize(uKeep + 1);
        std::vsnprintf(&strText[0], strText.size(), _szFmt, _vaArgs);
        strText.resize(uKeep);
    }
    if (uFull > _uMax)
        CutWithMarker(strText, _uMax, uFull);
    else
        TrimLineEnd(strText);
    return strText;
}

std::string CopyLogText(std::size_t _uMax, const char* _szText)
{
    if (!_szText)
        return std::string();
    const std::size_t uFull = std::strlen(_szText);
    if (uFull <= _uMax) {
        std::string strText(_szText, uFull);
        TrimLineEnd(strText);
        return strText;
    }
    std::string strText(_szText, _uMax + 1);
    CutWithMarker(strText, _uMax, uFull);
    return strText;
}
