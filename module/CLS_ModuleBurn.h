// The plug-in object the host creates: it owns the message gateway and hands it
// every request. Lives on the host thread.
#pragma once

#include "CLS_ModuleBase.h"

class CLS_BurnPresenter;

// Request codes of DealModuleRequest.
enum BurnModuleRequest
{
    n_BurnModuleRequest_Msg = 17,
    n_BurnModuleRequest_Logout = 35,
    n_BurnModuleRequest_AckTimeout = 70,
    n_BurnModuleRequest_AckReceived = 71,
};

class CLS_ModuleBurn : public CLS_ModuleBase
{
    Q_OBJECT

public:
    explicit CLS_ModuleBurn(const QString& _qstrCreateText);
    ~CLS_ModuleBurn() override;

    int GetModuleWidgetCount() override { return 0; }
    void SetModuleSkin(QString) override {}
    void SetModuleLanguage(QString) override {}

    bool HasGateway() const { return m_pBurnPresenter != nullptr; }

public Q_SLOTS:
    void DealModuleRequest(int _iCmd, QString _qstrModuleType, QString _qstrJsonData, bool _blReuse) override;

private:
    void InitPresenter(const QString& _qstrCreateText);

    CLS_BurnPresenter* m_pBurnPresenter = nullptr;
};
