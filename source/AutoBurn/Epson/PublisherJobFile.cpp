#include "PublisherJobFile.h"

#include <QFile>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

#include "BurnDefine.h"
#include "CLS_AutoBase.h"
#include "JobFolder.h"
#include "FileOpt/CLS_OperateFile.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
constexpr int n_HandOverAttempts = 3;
const char s_szLabelDisabled[] = "0";
const char* const s_arrLabelGroups[] = {"Upper", "Left", "Right", "Down"};
const char* const s_arrLabelSuffixes[] = {"One", "Two", "Three", "Four", "Five",
                                          "Six", "Seven", "Eight", "Nine", "Ten"};
}  // namespace

bool RefuseUnsafeJobId(const char* _szLogSource, const char* _szFun, const QString& _qstrJobId)
{
    if (IsSafeFolderName(_qstrJobId))
        return false;
    BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, "fun=%s refused job id [%s]", _szFun,
                _qstrJobId.toUtf8().constData());
    return true;
}

QByteArray ComposeJobFileLine(const QString& _qstrFormat, const QString& _qstrValue, JobFileEncoding _eEncoding)
{
    const QString qstrLine = _qstrFormat.arg(_qstrValue);
    return _eEncoding == JobFileEncoding::Utf8 ? qstrLine.toUtf8() : qstrLine.toLocal8Bit();
}

QByteArray ComposeJobFileLines(const std::vector<JobFileField>& _vecFields, JobFileEncoding _eEncoding)
{
    QByteArray qbaLines;
    for (const JobFileField& stField : _vecFields) {
        if (stField.blWritten)
            qbaLines += ComposeJobFileLine(QLatin1String(stField.szFormat), stField.qstrValue, _eEncoding);
    }
    return qbaLines;
}

bool AppendDataLines(const std::string& _strPath, BurnFileTask& _stFileTask, const QString& _qstrSeparator,
                     JobFileEncoding _eEncoding)
{
    QFile qfile(QString::fromStdString(_strPath));
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    for (const auto& pairFile : _stFileTask.vecFiles) {
        const QString qstrEntry =
            QString::fromStdString(pairFile.first) + _qstrSeparator + QString::fromStdString(pairFile.second);
        qfile.write(ComposeJobFileLine(QStringLiteral("DATA=%1\r\n"), ToBackslashes(qstrEntry), _eEncoding));
    }
    _stFileTask.vecFiles.clear();
    return true;
}

QString ToBackslashes(const QString& _qstrPath)
{
    QString qstrPath = _qstrPath;
    return qstrPath.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString MediaClassOf(const std::string& _strMediaName)
{
    return MediaClassMap.value(QString::fromStdString(_strMediaName), QStringLiteral("DVD"));
}

QString TextOrDefault(const std::string& _strText, const char* _szDefault)
{
    return _strText.empty() ? QString::fromUtf8(_szDefault) : QString::fromStdString(_strText);
}

QStringList LabelFieldNames(int _iPerGroup)
{
    const int iSuffixes = std::min<int>(_iPerGroup, std::size(s_arrLabelSuffixes));
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
