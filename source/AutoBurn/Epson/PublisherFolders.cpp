#include "PublisherFolders.h"

#include <QDir>
#include <QtGlobal>

const char g_szPublisherRootVar[] = "BURNMODULE_PUBLISHER_ROOT";

#ifdef Q_OS_WIN

QString PublisherRoot()
{
    return QString();
}

std::string EpsonOrderDir()
{
    return "C:/EPSON/TDBridge/Orders/";
}

std::string PrimeraJobDir()
{
    return "C:/PTBurnJobs/";
}

#else

namespace
{
std::string UnderRoot(const char* _szSubDir)
{
    QString qstrRoot = PublisherRoot();
    if (qstrRoot.endsWith(QLatin1Char('/')))
        qstrRoot.chop(1);  // the file-system root itself
    return (qstrRoot + QLatin1String(_szSubDir)).toStdString();
}
}  // namespace

QString PublisherRoot()
{
    const QString qstrRoot = qEnvironmentVariable(g_szPublisherRootVar);
    if (!qstrRoot.isEmpty())
        return QDir::cleanPath(QDir(qstrRoot).absolutePath());
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/BurnPublisher"));
}

std::string EpsonOrderDir()
{
    return UnderRoot("/EPSON/TDBridge/Orders/");
}

std::string PrimeraJobDir()
{
    return UnderRoot("/PTBurnJobs/");
}

#endif
