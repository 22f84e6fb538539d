// Reads and writes one INI file (UTF-8) through Qt's INI settings; every call opens
// and closes the file afresh. A value object of its user, used by one thread at a time.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CIniFileOpt
{
public:
    using KeyList = std::vector<std::string>;
    using KeyValueList = std::vector<std::pair<std::string, std::string>>;

    explicit CIniFileOpt(const std::string& _strFileName);
    virtual ~CIniFileOpt();

    // Wide variants convert their arguments to UTF-8 and call the narrow ones.
    // The value as written, also one with commas; the default when the key is absent.
    virtual std::wstring ReadString(const std::wstring& _wstrSection, const std::wstring& _wstrKey,
                                    const std::wstring& _wstrDefault);
    virtual std::string ReadString(const std::string& _strSection, const std::string& _strKey,
                                   const std::string& _strDefault);
    virtual void WriteString(const std::wstring& _wstrSection, const std::wstring& _wstrKey,
                             const std::wstring& _wstrValue);
    virtual void WriteString(const std::string& _strSection, const std::string& _strKey, const std::string& _strValue);
    // A decimal integer; text that is not one reads as 0.
    virtual int ReadInt(const std::wstring& _wstrSection, const std::wstring& _wstrKey, int _iDefault);
    virtual int ReadInt(const std::string& _strSection, const std::string& _strKey, int _iDefault);
    virtual void WriteInt(const std::wstring& _wstrSection, const std::wstring& _wstrKey, int _iValue);
    virtual void WriteInt(const std::string& _strSection, const std::string& _strKey, int _iValue);
    // True exactly when the value reads as the integer 1 ("true" is false).
    virtual bool ReadBool(const std::wstring& _wstrSection, const std::wstring& _wstrKey, bool _blDefault);
    virtual bool ReadBool(const std::string& _strSection, const std::string& _strKey, bool _blDefault);
    // Stores "1" or "0".
    virtual void WriteBool(const std::wstring& _wstrSection, const std::wstring& _wstrKey, bool _blValue);
    virtual void WriteBool(const std::string& _strSection, const std::string& _strKey, bool _blValue);
    virtual KeyList GetKeys(const std::wstring& _wstrSection);
    virtual KeyList GetKeys(const std::string& _strSection);
    virtual KeyList GetSections();
    // (key, value) in the order of GetKeys.
    virtual KeyValueList GetSectionValues(const std::wstring& _wstrSection);
    virtual KeyValueList GetSectionValues(const std::string& _strSection);
    virtual void DeleteSection(const std::wstring& _wstrSection);
    virtual void DeleteSection(const std::string& _strSection);
    virtual void DeleteKey(const std::wstring& _wstrSection, const std::wstring& _wstrKey);
    virtual void DeleteKey(const std::string& _strSection, const std::string& _strKey);
    // Truncates the file to zero length, creating it when missing.
    virtual void ClearFile();

protected:
    std::string m_strFileName;
    std::string m_strCodec;
};
