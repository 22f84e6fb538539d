#include "CLS_BurnHost.h"

#include <QCoreApplication>

namespace
{
const char s_szModuleType[] = "BurnModule";

QString ModuleFilePath()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/BurnModule.dll");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libBurnModule.so");
#endif
}
}  // namespace

CLS_BurnHost::CLS_BurnHost(QObject* _pParent) : QObject(_pParent) {}

CLS_BurnHost::~CLS_BurnHost()
{
    Stop();
}

bool CLS_BurnHost::Start(const QString& _qstrCreateText, QString& _qstrError)
{
    m_qlibModule.setFileName(ModuleFilePath());
    if (!m_qlibModule.load()) {
        _qstrError = QStringLiteral("cannot load %1: %2").arg(ModuleFilePath(), m_qlibModule.errorString());
        return false;
    }
    if (!ResolveEntries(_qstrError))
        return false;
    m_pfnInit();
    m_pModule = m_pfnCreateModule(_qstrCreateText);
    if (!m_pModule) {
        _qstrError = QStringLiteral("CreateModule returned no object");
        return false;
    }
    return ConnectModule(_qstrError);
}

bool CLS_BurnHost::ResolveEntries(QString& _qstrError)
{
    m_pfnInit = reinterpret_cast<PFN_Init>(m_qlibModule.resolve("Init"));
    m_pfnCreateModule = reinterpret_cast<PFN_CreateModule>(m_qlibModule.resolve("CreateModule"));
    m_pfnDeleteModule = reinterpret_cast<PFN_DeleteModule>(m_qlibModule.resolve("DeleteModule"));
    if (m_pfnInit && m_pfnCreateModule && m_pfnDeleteModule)
        return true;
    _qstrError = QStringLiteral("the module lacks Init, CreateModule or DeleteModule");
    return false;
}

// A host knows the plug-in only through its meta-object, so it connects by text.
bool CLS_BurnHost::ConnectModule(QString& _qstrError)
{
    const bool blOk =
        connect(m_pModule, SIGNAL(SignSendMsgWithWebSocket(int, QString)), this, SLOT(SlotModuleMsg(int, QString)))
        && connect(m_pModule, SIGNAL(SignMODSendMsgWithWebSocket(int, QString)), this,
                   SLOT(SlotModuleModMsg(int, QString)))
        && connect(this, SIGNAL(SignRequest(int, QString, QString, bool)), m_pModule,
                   SLOT(DealModuleRequest(int, QString, QString, bool)));
    if (!blOk)
        _qstrError = QStringLiteral("the module does not offer the expected signals and slot");
    return blOk;
}

void CLS_BurnHost::Stop()
{
    if (!m_pModule)
        return;
    QObject* pModule = m_pModule;
    m_pModule = nullptr;
    disconnect(pModule, nullptr, this, nullptr);
    m_pfnDeleteModule(pModule);
}

void CLS_BurnHost::Deliver(int _iCode, const QString& _qstrJsonData)
{
    if (m_pModule)
        emit SignRequest(_iCode, QString::fromLatin1(s_szModuleType), _qstrJsonData, false);
}

void CLS_BurnHost::SlotModuleMsg(int _iCode, QString _qstrData)
{
    emit signalOutgoing(QStringLiteral("SignSendMsgWithWebSocket"), _iCode, _qstrData);
}

void CLS_BurnHost::SlotModuleModMsg(int _iCode, QString _qstrData)
{
    emit signalOutgoing(QStringLiteral("SignMODSendMsgWithWebSocket"), _iCode, _qstrData);
}
