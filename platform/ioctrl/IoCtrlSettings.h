// The drive library's settings, read from the environment (see docs/settings.md).
// Parsers are free functions so tests can feed them texts.
#pragma once

#include <string>
#include <vector>

struct IoCtrlSettings
{
    std::vector<std::string> vecPseudoDrives;  // libburn addresses, "stdio:<file>"
    bool blScanDrives = true;                  // look for the machine's optical drives
    long long llPseudoDiscBytes = 23866LL << 20;  // what a pseudo-drive's disc holds (BD-R 25 GB)
    bool blVerify = true;                      // read every disc back after writing
};

// "stdio:/a.iso;/dev/sr1; stdio:/b.iso": addresses separated by ';', blanks trimmed,
// empty parts skipped.
std::vector<std::string> ParseDriveList(const std::string& _strText);

// A whole number of MiB above 0; anything else keeps the default.
long long ParseDiscMiB(const std::string& _strText, long long _llDefaultBytes);

// "0", "no", "off" and "false" turn a switch off; anything else (or unset) keeps it on.
bool ParseSwitch(const std::string& _strText);

IoCtrlSettings ReadIoCtrlSettings();

// The image file of a pseudo-drive address ("stdio:<file>"); empty for a real drive.
std::string PseudoDriveFile(const std::string& _strDrive);
