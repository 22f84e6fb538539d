#include "CLS_ModuleBurn.h"

#include "CLS_BurnPresenter.h"

CLS_ModuleBurn::CLS_ModuleBurn(const QString& _qstrCreateText)
{
    InitPresenter(_qstrCreateText);
}

CLS_ModuleBurn::~CLS_ModuleBurn()
{
    delete m_pBurnPresenter;
}

void CLS_ModuleBurn::InitPresenter(const QString& _qstrCreateText)
{
    // A failed gateway must not take the host down: the object then drops requests.
    try {
        m_pBurnPresenter = new CLS_BurnPresenter(_qstrCreateText);
        connect(m_pBurnPresenter, &CLS_BurnPresenter::signalSendMsg, this,
                &CLS_ModuleBase::SignSendMsgWithWebSocket, Qt::QueuedConnection);
        connect(m_pBurnPresenter, &CLS_BurnPresenter::signalModSendMsg, this,
                &CLS_ModuleBase::SignMODSendMsgWithWebSocket, Qt::QueuedConnection);
        m_pBurnPresenter->RecoverJobFromDB();
    } catch (...) {
    }
}

void CLS_ModuleBurn::DealModuleRequest(int _iCmd, QString _qstrModuleType, QString _qstrJsonData, bool _blReuse)
{
    Q_UNUSED(_qstrModuleType) Q_UNUSED(_blReuse)
    if (!m_pBurnPresenter)
        return;
    switch (_iCmd) {
    case n_BurnModuleRequest_Msg:
        m_pBurnPresenter->DealWebSoketMsg(_qstrJsonData);
        break;
    case n_BurnModuleRequest_Logout:
        m_pBurnPresenter->DealWebSoketLogout(_qstrJsonData);
        break;
    case n_BurnModuleRequest_AckTimeout:
    case n_BurnModuleRequest_AckReceived:
        m_pBurnPresenter->DealWebSoketMsgAck(_iCmd, _qstrJsonData);
        break;
    default:
        break;
    }
}
