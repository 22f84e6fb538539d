// The module's four exported entries, called by the host on its thread.
#include <QCoreApplication>
#include <QDebug>
#include <QString>

#include "BurnDefine.h"
#include "BurnExport.h"
#include "BurnLibBinding.h"
#include "CLS_ModuleBurn.h"
#include "ModuleLog.h"
#include "PublicCommonFun.h"

namespace
{
const char s_szLogSource[] = "module\\BurnModuleEntry";
constexpr int n_PathBufferSize = 260;
constexpr int n_OsThreadCount = 128;
constexpr int n_OsTimerCount = 10;
}  // namespace

BURN_EXPORT int Init()
{
    const QByteArray qbaAppDir = QCoreApplication::applicationDirPath().toLocal8Bit();
    char szAppDir[n_PathBufferSize] = {0};
    snprintf(szAppDir, sizeof(szAppDir), "%s", qbaAppDir.constData());
    if (!libos_init(szAppDir)) {
        qDebug() << "!libos_init--" << szAppDir;
        return 0;
    }

    std::string strLogDir;
    if (!GetLogDir(strLogDir))
        strLogDir = qbaAppDir.toStdString();
    log_set_path(strLogDir.c_str());
    log_manage_startup();
    log_start(1, 1);
    os_startup(n_OsThreadCount, n_OsTimerCount);
    qInfo("BurnModule fun=%s, Compile date=%s， time=%s", "Init", __DATE__, __TIME__);
    BURN_LOG(n_BurnLogLevel_Info, "BurnModule fun=%s, Compile date=%s， time=%s", "Init", __DATE__, __TIME__);
    return 0;
}

BURN_EXPORT CLS_ModuleBurn* CreateModule(QString _qstrCreateText)
{
    return new CLS_ModuleBurn(_qstrCreateText);
}

BURN_EXPORT int DeleteModule(CLS_ModuleBurn* _pModule)
{
    delete _pModule;
    return 0;
}

BURN_EXPORT int Release()
{
    return 0;
}
