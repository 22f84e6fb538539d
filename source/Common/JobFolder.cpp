#include "JobFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ModuleLog.h"

namespace
{
const QString s_qstrJobRoot = QStringLiteral("./BurnJob/");
const QString s_qstrStatusReply = QStringLiteral("BurnStatusReply");

bool RefuseUnsafe(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName)
{
    if (IsSafeFolderName(_qstrJobId) && IsSafeFolderName(_qstrFileName))
        return false;
    BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo refused: job id [%s] file [%s]",
                _qstrJobId.toUtf8().constData(), _qstrFileName.toUtf8().constData());
    return true;
}

void WriteFile(const char* _szLogSource, int _iDoneLevel, const QString& _qstrJobId, const QString& _qstrFileName,
               const QString& _qstrContent)
{
    if (RefuseUnsafe(_szLogSource, _qstrJobId, _qstrFileName))
        return;
    const QString qstrDir = GetJobInfoDir(_qstrJobId);
    if (!QDir().mkpath(qstrDir)) {
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo--mkpath Failed:[%s]",
                    qstrDir.toUtf8().constData());
        return;
    }
    const QString qstrFilePath = qstrDir + QLatin1Char('/') + _qstrFileName;
    QFile qfile(qstrFilePath);
    const QByteArray qbaContent = _qstrContent.toUtf8();
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Truncate) || qfile.write(qbaContent) != qbaContent.size() ||
        !qfile.flush()) {
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo Failed:[%s]", qstrFilePath.toUtf8().constData());
        return;
    }
    qfile.close();
    BURN_LOG_AS(_szLogSource, _iDoneLevel, " SaveJobInfo Success:[%s]", qstrFilePath.toUtf8().constData());
}

// A job folder that is a symbolic link loses only the link, never what it points to.
void RemoveDir(const char* _szLogSource, int _iDoneLevel, const QString& _qstrJobId)
{
    if (!IsSafeFolderName(_qstrJobId)) {
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo refused: job id [%s]",
                    _qstrJobId.toUtf8().constData());
        return;
    }
    BURN_LOG_AS(_szLogSource, _iDoneLevel, " SaveJobInfo--BurnStatusReply remove job info [%s]",
                _qstrJobId.toUtf8().constData());
    const QString qstrDir = GetJobInfoDir(_qstrJobId);
    const bool blRemoved =
        QFileInfo(qstrDir).isSymLink() ? QFile::remove(qstrDir) : QDir(qstrDir).removeRecursively();
    if (!blRemoved)
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo--BurnStatusReply remove Failed:[%s]",
                    qstrDir.toUtf8().constData());
}
}  // namespace

bool IsSafeFolderName(const QString& _qstrName)
{
    if (_qstrName.isEmpty() || _qstrName == QLatin1String(".") || _qstrName == QLatin1String(".."))
        return false;
    for (const QChar qch : _qstrName) {
        if (qch == QLatin1Char('/') || qch == QLatin1Char('\\') || qch.category() == QChar::Other_Control)
            return false;
#ifdef Q_OS_WIN
        if (qch == QLatin1Char(':'))
            return false;
#endif
    }
    return true;
}

bool IsSafeRelativePath(const QString& _qstrPath)
{
    QString qstrPath = _qstrPath;
    qstrPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (qstrPath.isEmpty() || qstrPath.startsWith(QLatin1String("//")))
        return false;
    if (qstrPath.size() >= 2 && qstrPath.at(0).isLetter() && qstrPath.at(1) == QLatin1Char(':'))
        return false;
    for (const QString& qstrPart : qstrPath.split(QLatin1Char('/'))) {
        if (qstrPart == QLatin1String(".."))
            return false;
        for (const QChar qch : qstrPart) {
            if (qch.category() == QChar::Other_Control)
                return false;
        }
    }
    return true;
}

QString GetJobInfoDir(const QString& _qstrJobId)
{
    return s_qstrJobRoot + _qstrJobId;
}

void WriteJobInfoFile(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName,
                      const QString& _qstrContent)
{
    WriteFile(_szLogSource, n_BurnLogLevel_Info, _qstrJobId, _qstrFileName, _qstrContent);
}

QString ReadJobInfoFile(const QString& _qstrJobId, const QString& _qstrFileName)
{
    if (!IsSafeFolderName(_qstrJobId) || !IsSafeFolderName(_qstrFileName))
        return QString();
    QFile qfile(GetJobInfoDir(_qstrJobId) + QLatin1Char('/') + _qstrFileName);
    return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
}

void RemoveJobInfoDir(const char* _szLogSource, const QString& _qstrJobId)
{
    RemoveDir(_szLogSource, n_BurnLogLevel_Info, _qstrJobId);
}

// The gateway logs every line of its job files at the error level.
void SaveGatewayJobInfo(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName,
                        const QString& _qstrContent)
{
    if (_qstrFileName == s_qstrStatusReply)
        RemoveDir(_szLogSource, n_BurnLogLevel_Error, _qstrJobId);
    else
        WriteFile(_szLogSource, n_BurnLogLevel_Error, _qstrJobId, _qstrFileName, _qstrContent);
}
