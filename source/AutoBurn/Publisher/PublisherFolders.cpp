#include "PublisherFolders.h"

#include <QDir>
#include <QtGlobal>

const char g_szPublisherRootVar[] = "BURNMODULE_PUBLISHER_ROOT";

namespace
{
QString UnderRoot(const QString& _qstrRoot, const char* _szSubDir)
{
    QString qstrRoot = QDir::cleanPath(_qstrRoot);
    if (qstrRoot.endsWith(QLatin1Char('/')))
        qstrRoot.chop(1);  // the file-system root itself
    return qstrRoot + QLatin1String(_szSubDir);
}
}  // namespace

QString EpsonOrderDirUnder(const QString& _qstrRoot)
{
    return UnderRoot(_qstrRoot, "/EPSON/TDBridge/Orders/");
}

QString PrimeraJobDirUnder(const QString& _qstrRoot)
{
    return UnderRoot(_qstrRoot, "/PTBurnJobs/");
}

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

QString PublisherRoot()
{
    const QString qstrRoot = qEnvironmentVariable(g_szPublisherRootVar);
    if (!qstrRoot.isEmpty())
        return QDir::cleanPath(QDir(qstrRoot).absolutePath());
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/BurnPublisher"));
}

std::string EpsonOrderDir()
{
    return EpsonOrderDirUnder(PublisherRoot()).toStdString();
}

std::string PrimeraJobDir()
{
    return PrimeraJobDirUnder(PublisherRoot()).toStdString();
}

#endif
