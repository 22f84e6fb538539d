#include "CommonFun.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>
#include <cstdio>

#include "BurnLibBinding.h"
#include "ModuleLog.h"

namespace
{
const char s_szLogSource[] = "source\\Common\\CommonFun";
constexpr int n_UrlBufferSize = 1000;
constexpr int n_MinHttpTimeout = 60;
constexpr int n_HttpSubmitFlag = 1;
}  // namespace

QString Public__Webservice_Common(const QString& _qstrHost, int _iPort, const QString& _qstrPath,
                                  const QString& _qstrParam, int _iTimeout)
{
    char szUrl[n_UrlBufferSize] = {0};
    snprintf(szUrl, sizeof(szUrl), "http://%s:%d%s", _qstrHost.toUtf8().constData(), _iPort,
             _qstrPath.toUtf8().constData());
    const QByteArray qbaBody = _qstrParam.toUtf8();
    char* pReply = nullptr;
    const int iRet = webservice_sdk_submit(szUrl, std::max(_iTimeout, n_MinHttpTimeout), qbaBody.constData(),
                                           n_HttpSubmitFlag, &pReply);
    if (pReply == nullptr || pReply[0] == '\0' || iRet < 0) {
        BURN_LOG(n_BurnLogLevel_Error, "Public__Webservice_Common  url=%s", szUrl);
        BURN_LOG(n_BurnLogLevel_Error, "NULL == ret_buf || web_ret < 0");
        if (pReply)
            webservice_sdk_release(&pReply);
        return QString();
    }
    BURN_LOG(n_BurnLogLevel_Error, "Public__Webservice  ret_buf=%s, qstrParam=%s", pReply, qbaBody.constData());
    const QString qstrReply = QString::fromUtf8(pReply);
    webservice_sdk_release(&pReply);
    return qstrReply;
}

QJsonArray GetLocalIPv4List()
{
    QJsonArray qjsonAddrs;
    const QHostInfo qhostInfo = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress& qhostAddr : qhostInfo.addresses()) {
        if (qhostAddr.protocol() != QAbstractSocket::IPv4Protocol || qhostAddr.isNull())
            continue;
        const QString qstrAddr = qhostAddr.toString();
        if (!qstrAddr.contains(QLatin1String("127.0.")))
            qjsonAddrs.append(qstrAddr);
    }
    return qjsonAddrs;
}

QString GetFileDir(const QString& _qstrFilePath)
{
    return QFileInfo(_qstrFilePath).path() + QLatin1Char('/');
}

void RemoveDirRecursive(const QString& _qstrDir)
{
    QDir qdir(_qstrDir);
    if (qdir.exists())
        qdir.removeRecursively();
}
