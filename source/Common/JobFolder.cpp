#include "JobFolder.h"

#include <QDir>
#include <QFile>

#include "ModuleLog.h"

namespace
{
const QString s_qstrJobRoot = QStringLiteral("./BurnJob/");

bool RefuseUnsafe(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName)
{
    if (IsSafeFolderName(_qstrJobId) && IsSafeFolderName(_qstrFileName))
        return false;
    BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo refused: job id [%s] file [%s]",
                _qstrJobId.toUtf8().constData(), _qstrFileName.toUtf8().constData());
    return true;
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

QString GetJobInfoDir(const QString& _qstrJobId)
{
    return s_qstrJobRoot + _qstrJobId;
}

void WriteJobInfoFile(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName,
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
    if (!qfile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo Failed:[%s]",
                    qstrFilePath.toUtf8().constData());
        return;
    }
    qfile.write(_qstrContent.toUtf8());
    qfile.flush();
    qfile.close();
    BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Info, " SaveJobInfo Success:[%s]", qstrFilePath.toUtf8().constData());
}

void RemoveJobInfoDir(const char* _szLogSource, const QString& _qstrJobId)
{
    if (!IsSafeFolderName(_qstrJobId)) {
        BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Error, " SaveJobInfo refused: job id [%s]",
                    _qstrJobId.toUtf8().constData());
        return;
    }
    QDir(GetJobInfoDir(_qstrJobId)).removeRecursively();
    BURN_LOG_AS(_szLogSource, n_BurnLogLevel_Info, " SaveJobInfo--BurnStatusReply remove job info [%s]",
                _qstrJobId.toUtf8().constData());
}
