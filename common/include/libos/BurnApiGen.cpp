#include "BurnApiGen.h"

#include <QtGlobal>

#include <cstdio>

void BurnReportUnbound(const char* _szLine)
{
    qDebug("%s", _szLine);
}

std::string BurnFormatV(const char* _szFmt, va_list _vaArgs)
{
    va_list vaCopy;
    va_copy(vaCopy, _vaArgs);
    const int iLength = std::vsnprintf(nullptr, 0, _szFmt, vaCopy);
    va_end(vaCopy);
    if (iLength <= 0)
        return std::string();
    std::string strText(static_cast<std::size_t>(iLength), '\0');
    std::vsnprintf(&strText[0], strText.size() + 1, _szFmt, _vaArgs);
    return strText;
}
