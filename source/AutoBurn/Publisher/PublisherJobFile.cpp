#include "PublisherJobFile.h"

#include <QFile>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

#include "BurnDefine.h"
#include "CLS_AutoBase.h"
#include "FileOpt/CLS_OperateFile.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
constexpr int n_HandOverAttempts = 3;
const char s_szLabelDisabled[] = "0";
const char s_szDefaultMediaClass[] = "DVD";
const char* const s_arrLabelGroups[] = {"Upper", "Left", "Right", "Down"};
const char* const s_arrLabelSuffixes[] = {"One", "Two", "Three", "Four", "Five",
                                          "Six", "Seven", "Eight", "Nine", "Ten"};

QString TextOrDefault(const QString& _qstrText, const char* _szDefault)
{
    return _qstrText.isEmpty() ? QString::fromUtf8(_szDefault) : _qstrText;
}

// The line's value; nothing when the line is left out.
std::optional<QString> OrderFieldValue(const PublisherField& _stField, const PublisherOrderValues& _stValues)
{
    const bool blHasCover = !_stValues.qstrCoverFile.isEmpty();
    switch (_stField.eValue) {
    case PublisherValue::JobId:
        return _stValues.qstrJobId.isEmpty() ? std::nullopt : std::optional<QString>(_stValues.qstrJobId);
    case PublisherValue::Copies:
        return _stValues.iCopies == -1 ? std::nullopt : std::optional<QString>(QString::number(_stValues.iCopies));
    case PublisherValue::MediaClass:
        return MediaClassMap.value(_stValues.qstrMediaName, QLatin1String(s_szDefaultMediaClass));
    case PublisherValue::Title:
        return _stValues.qstrTitle.isEmpty() ? std::nullopt : std::optional<QString>(_stValues.qstrTitle);
    case PublisherValue::CoverFile:
        return blHasCover ? std::optional<QString>(ToBackslashes(_stValues.qstrCoverFile)) : std::nullopt;
    case PublisherValue::LabelFile:
        return blHasCover ? std::optional<QString>(ToBackslashes(_stValues.qstrLabelFile)) : std::nullopt;
    case PublisherValue::Publisher:
        return TextOrDefault(_stValues.qstrPublisher, _stField.szText);
    case PublisherValue::CloseDisc:
        return TextOrDefault(_stValues.qstrCloseDisc, _stField.szText);
    case PublisherValue::Fixed:
        break;
    }
    return QString::fromUtf8(_stField.szText);
}
}  // namespace

QByteArray ComposeJobFileLine(const QString& _qstrFormat, const QString& _qstrValue, JobFileEncoding _eEncoding)
{
    const QString qstrLine = _qstrFormat.arg(_qstrValue);
    return _eEncoding == JobFileEncoding::Utf8 ? qstrLine.toUtf8() : qstrLine.toLocal8Bit();
}

QByteArray ComposeOrderFile(const PublisherVendor& _stVendor, const PublisherOrderValues& _stValues)
{
    QByteArray qbaLines;
    for (const PublisherField& stField : _stVendor.vecOrderFields) {
        if (const std::optional<QString> optValue = OrderFieldValue(stField, _stValues))
            qbaLines += ComposeJobFileLine(QLatin1String(stField.szKey) + QStringLiteral("=%1\r\n"), *optValue,
                                           _stVendor.eEncoding);
    }
    return qbaLines;
}

QByteArray ComposeDataLines(const PublisherVendor& _stVendor, const BurnFileTask& _stFileTask)
{
    QByteArray qbaLines;
    for (const auto& pairFile : _stFileTask.vecFiles) {
        const QString qstrEntry = QString::fromStdString(pairFile.first) + QString::fromUtf8(_stVendor.szFileSeparator)
            + QString::fromStdString(pairFile.second);
        qbaLines += ComposeJobFileLine(QStringLiteral("DATA=%1\r\n"), ToBackslashes(qstrEntry), _stVendor.eEncoding);
    }
    return qbaLines;
}

QStringList LabelFieldNames(const PublisherVendor& _stVendor)
{
    const int iSuffixes = std::min<int>(_stVendor.iLabelFieldsPerGroup, std::size(s_arrLabelSuffixes));
    QStringList qstrlstNames;
    for (const char* szGroup : s_arrLabelGroups) {
        for (int iSuffix = 0; iSuffix < iSuffixes; ++iSuffix)
            qstrlstNames << QLatin1String(szGroup) + QLatin1String(s_arrLabelSuffixes[iSuffix]);
    }
    return qstrlstNames;
}

std::optional<QStringList> LabelFieldValues(const std::string& _strReqJson, const QStringList& _qstrlstFields)
{
    const QJsonObject qjsonReq = StringToJsonObject(_strReqJson);
    if (qjsonReq.value(QStringLiteral("enable")).toString() == QLatin1String(s_szLabelDisabled))
        return std::nullopt;
    const QJsonObject qjsonLabel = qjsonReq.value(QStringLiteral("LabelInfo")).toObject();
    QStringList qstrlstValues;
    for (const QString& qstrField : _qstrlstFields)
        qstrlstValues << qjsonLabel.value(qstrField).toString();
    return qstrlstValues;
}

QByteArray ComposeLabelFile(const PublisherVendor& _stVendor, const QStringList& _qstrlstValues)
{
    const QStringList qstrlstFields = LabelFieldNames(_stVendor);
    QByteArray qbaContent;
    for (int iField = 0; iField < qstrlstFields.size(); ++iField) {
        const QString qstrKey = _stVendor.szLabelKey ? QLatin1String(_stVendor.szLabelKey) : qstrlstFields[iField];
        qbaContent += ComposeJobFileLine(qstrKey + QStringLiteral("=%1\r\n"), _qstrlstValues.value(iField),
                                         JobFileEncoding::Local8Bit);
    }
    return qbaContent;
}

QString ToBackslashes(const QString& _qstrPath)
{
    QString qstrPath = _qstrPath;
    return qstrPath.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

bool AppendJobFile(const std::string& _strPath, const QByteArray& _qbaContent)
{
    QFile qfile(QString::fromStdString(_strPath));
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    qfile.write(_qbaContent);
    return true;
}

bool RewriteJobFile(const std::string& _strPath, const QByteArray& _qbaContent)
{
    const QString qstrPath = QString::fromStdString(_strPath);
    QFile::remove(qstrPath);
    QFile qfile(qstrPath);
    if (!qfile.open(QIODevice::ReadWrite))
        return false;
    qfile.write(_qbaContent);
    return true;
}

bool HandOverJobFile(const char* _szLogSource, const char* _szFun, const std::string& _strJobId,
                     const std::string& _strSrcPath, const std::string& _strDesPath)
{
    for (int iAttempt = 0; iAttempt < n_HandOverAttempts; ++iAttempt) {
        if (CLS_OperateFile::CopyFile(_strSrcPath, _strDesPath))
            return true;
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, "FUN=%s, jobid=%s, copy file fail", _szFun,
                    _strJobId.c_str());
    }
    return false;
}
