#include "CLS_BurnPresenter.h"

// The gateway's routing, acknowledged protocol and queue publishing plug in here;
// until then every inbound message is dropped.
CLS_BurnPresenter::CLS_BurnPresenter(const QString& _qstrCreateText, QObject* _pParent)
    : QObject(_pParent)
{
    Q_UNUSED(_qstrCreateText)
}

CLS_BurnPresenter::~CLS_BurnPresenter() = default;

void CLS_BurnPresenter::DealWebSoketMsg(QString) {}

void CLS_BurnPresenter::DealWebSoketLogout(QString) {}

void CLS_BurnPresenter::DealWebSoketMsgAck(int, QString) {}

void CLS_BurnPresenter::RecoverJobFromDB() {}
