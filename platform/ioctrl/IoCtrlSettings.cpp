#include "IoCtrlSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace
{
const char s_szStdioPrefix[] = "stdio:";

std::string Trimmed(const std::string& _strText)
{
    const auto isBlank = [](unsigned char _c) { return std::isspace(_c) != 0; };
    const auto itBegin = std::find_if_not(_strText.begin(), _strText.end(), isBlank);
    const auto itEnd = std::find_if_not(_strText.rbegin(), _strText.rend(), isBlank).base();
    return itBegin < itEnd ? std::string(itBegin, itEnd) : std::string();
}

std::string Env(const char* _szName)
{
    const char* szValue = std::getenv(_szName);
    return szValue ? szValue : "";
}
}  // namespace

std::vector<std::string> ParseDriveList(const std::string& _strText)
{
    std::vector<std::string> vecDrives;
    size_t uStart = 0;
    while (uStart <= _strText.size()) {
        size_t uEnd = _strText.find(';', uStart);
        if (uEnd == std::string::npos)
            uEnd = _strText.size();
        const std::string strDrive = Trimmed(_strText.substr(uStart, uEnd - uStart));
        if (!strDrive.empty())
            vecDrives.push_back(strDrive);
        uStart = uEnd + 1;
    }
    return vecDrives;
}

long long ParseDiscMiB(const std::string& _strText, long long _llDefaultBytes)
{
    const std::string strValue = Trimmed(_strText);
    if (strValue.empty() || !std::all_of(strValue.begin(), strValue.end(), ::isdigit) || strValue.size() > 9)
        return _llDefaultBytes;
    const long long llMiB = std::atoll(strValue.c_str());
    return llMiB > 0 ? llMiB << 20 : _llDefaultBytes;
}

bool ParseSwitch(const std::string& _strText)
{
    std::string strValue = Trimmed(_strText);
    std::transform(strValue.begin(), strValue.end(), strValue.begin(), ::tolower);
    return strValue != "0" && strValue != "no" && strValue != "off" && strValue != "false";
}

IoCtrlSettings ReadIoCtrlSettings()
{
    IoCtrlSettings stSettings;
    stSettings.vecPseudoDrives = ParseDriveList(Env("BURNMODULE_LOCAL_DRIVES"));
    stSettings.blScanDrives = ParseSwitch(Env("BURNMODULE_SCAN_DRIVES"));
    stSettings.llPseudoDiscBytes = ParseDiscMiB(Env("BURNMODULE_PSEUDO_DISC_MIB"), stSettings.llPseudoDiscBytes);
    stSettings.blVerify = ParseSwitch(Env("BURNMODULE_VERIFY_BURN"));
    return stSettings;
}

std::string PseudoDriveFile(const std::string& _strDrive)
{
    const size_t uPrefix = sizeof(s_szStdioPrefix) - 1;
    return _strDrive.compare(0, uPrefix, s_szStdioPrefix) == 0 ? _strDrive.substr(uPrefix) : std::string();
}
