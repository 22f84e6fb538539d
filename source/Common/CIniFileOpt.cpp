#include "CIniFileOpt.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTextCodec>
#include <QtDebug>

#include <memory>

namespace
{
std::unique_ptr<QSettings> OpenIni(const std::string& _strFileName, const std::string& _strCodec)
{
    auto pSettings = std::make_unique<QSettings>(QString::fromStdString(_strFileName), QSettings::IniFormat);
    pSettings->setIniCodec(_strCodec.c_str());
    return pSettings;
}

// Writes pending changes now, so a failure can be reported by the call that caused it.
void SyncIni(QSettings& _qsettings)
{
    _qsettings.sync();
    if (_qsettings.status() != QSettings::NoError)
        qWarning("CIniFileOpt: cannot write [%s]", _qsettings.fileName().toUtf8().constData());
}

QString KeyPath(const std::string& _strSection, const std::string& _strKey)
{
    return QString::fromStdString(_strSection) + QLatin1Char('/') + QString::fromStdString(_strKey);
}

std::string ToUtf8(const std::wstring& _wstrText)
{
    return QString::fromStdWString(_wstrText).toStdString();
}

CIniFileOpt::KeyList ToKeyList(const QStringList& _qstrlstNames)
{
    CIniFileOpt::KeyList vecNames;
    vecNames.reserve(static_cast<size_t>(_qstrlstNames.size()));
    for (const QString& qstrName : _qstrlstNames)
        vecNames.push_back(qstrName.toStdString());
    return vecNames;
}

// The text after "=" of the key's last line in the section, as the file holds it.
QString RawValue(const std::string& _strFileName, const std::string& _strCodec, const std::string& _strSection,
                 const std::string& _strKey)
{
    QFile qfile(QString::fromStdString(_strFileName));
    QTextCodec* pCodec = QTextCodec::codecForName(_strCodec.c_str());
    if (!pCodec || !qfile.open(QIODevice::ReadOnly))
        return QString();
    const QString qstrSection = QString::fromStdString(_strSection);
    const QString qstrKey = QString::fromStdString(_strKey);
    QString qstrCurrentSection;
    QString qstrValue;
    for (const QString& qstrFileLine : pCodec->toUnicode(qfile.readAll()).split(QLatin1Char('\n'))) {
        const QString qstrLine = qstrFileLine.trimmed();
        const int iSplit = qstrLine.indexOf(QLatin1Char('='));
        if (qstrLine.startsWith(QLatin1Char('[')))
            qstrCurrentSection = qstrLine.mid(1, qstrLine.indexOf(QLatin1Char(']')) - 1).trimmed();
        else if (qstrCurrentSection == qstrSection && iSplit > 0 && qstrLine.left(iSplit).trimmed() == qstrKey)
            qstrValue = qstrLine.mid(iSplit + 1).trimmed();
    }
    return qstrValue;
}

// Qt reads an unquoted value with commas as a list and drops the blanks around its
// items, so the value is taken from the file as written; when that text is not what Qt
// split (quotes, escapes, comments), Qt's items are joined instead.
QString ListValueText(const std::string& _strFileName, const std::string& _strCodec, const std::string& _strSection,
                      const std::string& _strKey, const QStringList& _qstrlstItems)
{
    const QString qstrRaw = RawValue(_strFileName, _strCodec, _strSection, _strKey);
    QStringList qstrlstRawItems = qstrRaw.split(QLatin1Char(','));
    for (QString& qstrItem : qstrlstRawItems)
        qstrItem = qstrItem.trimmed();
    if (qstrlstRawItems != _qstrlstItems)
        return _qstrlstItems.join(QStringLiteral(", "));
    return qstrRaw;
}
}  // namespace

CIniFileOpt::CIniFileOpt(const std::string& _strFileName)
    : m_strFileName(_strFileName)
    , m_strCodec("UTF-8")
{
}

CIniFileOpt::~CIniFileOpt() = default;

std::wstring CIniFileOpt::ReadString(const std::wstring& _wstrSection, const std::wstring& _wstrKey,
                                     const std::wstring& _wstrDefault)
{
    const std::string strValue = ReadString(ToUtf8(_wstrSection), ToUtf8(_wstrKey), ToUtf8(_wstrDefault));
    return QString::fromStdString(strValue).toStdWString();
}

std::string CIniFileOpt::ReadString(const std::string& _strSection, const std::string& _strKey,
                                    const std::string& _strDefault)
{
    const QVariant qvarValue = OpenIni(m_strFileName, m_strCodec)->value(KeyPath(_strSection, _strKey));
    if (!qvarValue.isValid())
        return _strDefault;
    if (qvarValue.type() == QVariant::StringList)
        return ListValueText(m_strFileName, m_strCodec, _strSection, _strKey, qvarValue.toStringList()).toStdString();
    return qvarValue.toString().toStdString();
}

void CIniFileOpt::WriteString(const std::wstring& _wstrSection, const std::wstring& _wstrKey,
                              const std::wstring& _wstrValue)
{
    WriteString(ToUtf8(_wstrSection), ToUtf8(_wstrKey), ToUtf8(_wstrValue));
}

void CIniFileOpt::WriteString(const std::string& _strSection, const std::string& _strKey, const std::string& _strValue)
{
    std::unique_ptr<QSettings> pSettings = OpenIni(m_strFileName, m_strCodec);
    pSettings->setValue(KeyPath(_strSection, _strKey), QString::fromStdString(_strValue));
    SyncIni(*pSettings);
}

int CIniFileOpt::ReadInt(const std::wstring& _wstrSection, const std::wstring& _wstrKey, int _iDefault)
{
    return ReadInt(ToUtf8(_wstrSection), ToUtf8(_wstrKey), _iDefault);
}

int CIniFileOpt::ReadInt(const std::string& _strSection, const std::string& _strKey, int _iDefault)
{
    return QString::fromStdString(ReadString(_strSection, _strKey, std::to_string(_iDefault))).toInt(nullptr, 10);
}

void CIniFileOpt::WriteInt(const std::wstring& _wstrSection, const std::wstring& _wstrKey, int _iValue)
{
    WriteInt(ToUtf8(_wstrSection), ToUtf8(_wstrKey), _iValue);
}

void CIniFileOpt::WriteInt(const std::string& _strSection, const std::string& _strKey, int _iValue)
{
    WriteString(_strSection, _strKey, std::to_string(_iValue));
}

bool CIniFileOpt::ReadBool(const std::wstring& _wstrSection, const std::wstring& _wstrKey, bool _blDefault)
{
    return ReadBool(ToUtf8(_wstrSection), ToUtf8(_wstrKey), _blDefault);
}

bool CIniFileOpt::ReadBool(const std::string& _strSection, const std::string& _strKey, bool _blDefault)
{
    return ReadInt(_strSection, _strKey, _blDefault ? 1 : 0) == 1;
}

void CIniFileOpt::WriteBool(const std::wstring& _wstrSection, const std::wstring& _wstrKey, bool _blValue)
{
    WriteBool(ToUtf8(_wstrSection), ToUtf8(_wstrKey), _blValue);
}

void CIniFileOpt::WriteBool(const std::string& _strSection, const std::string& _strKey, bool _blValue)
{
    WriteString(_strSection, _strKey, _blValue ? "1" : "0");
}

CIniFileOpt::KeyList CIniFileOpt::GetKeys(const std::wstring& _wstrSection)
{
    return GetKeys(ToUtf8(_wstrSection));
}

CIniFileOpt::KeyList CIniFileOpt::GetKeys(const std::string& _strSection)
{
    std::unique_ptr<QSettings> pSettings = OpenIni(m_strFileName, m_strCodec);
    pSettings->beginGroup(QString::fromStdString(_strSection));
    return ToKeyList(pSettings->childKeys());
}

CIniFileOpt::KeyList CIniFileOpt::GetSections()
{
    return ToKeyList(OpenIni(m_strFileName, m_strCodec)->childGroups());
}

CIniFileOpt::KeyValueList CIniFileOpt::GetSectionValues(const std::wstring& _wstrSection)
{
    return GetSectionValues(ToUtf8(_wstrSection));
}

CIniFileOpt::KeyValueList CIniFileOpt::GetSectionValues(const std::string& _strSection)
{
    KeyValueList vecValues;
    for (const std::string& strKey : GetKeys(_strSection))
        vecValues.emplace_back(strKey, ReadString(_strSection, strKey, std::string()));
    return vecValues;
}

void CIniFileOpt::DeleteSection(const std::wstring& _wstrSection)
{
    DeleteSection(ToUtf8(_wstrSection));
}

// An empty name would address the whole file (or section) in Qt's settings path.
void CIniFileOpt::DeleteSection(const std::string& _strSection)
{
    if (_strSection.empty())
        return;
    std::unique_ptr<QSettings> pSettings = OpenIni(m_strFileName, m_strCodec);
    pSettings->remove(QString::fromStdString(_strSection));
    SyncIni(*pSettings);
}

void CIniFileOpt::DeleteKey(const std::wstring& _wstrSection, const std::wstring& _wstrKey)
{
    DeleteKey(ToUtf8(_wstrSection), ToUtf8(_wstrKey));
}

void CIniFileOpt::DeleteKey(const std::string& _strSection, const std::string& _strKey)
{
    if (_strSection.empty() || _strKey.empty())
        return;
    std::unique_ptr<QSettings> pSettings = OpenIni(m_strFileName, m_strCodec);
    pSettings->remove(KeyPath(_strSection, _strKey));
    SyncIni(*pSettings);
}

void CIniFileOpt::ClearFile()
{
    QFile qfile(QString::fromStdString(m_strFileName));
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qWarning("CIniFileOpt: cannot clear [%s]", m_strFileName.c_str());
}
