// The host's plug-in interface. The host connects to these signals and to the slot
// by their signature text, so every declaration stays exactly as written here.
// Lives on the host thread.
#pragma once

#include <QObject>
#include <QString>

// A host enumeration; this module only declares it.
enum n_WgtPtzAdvance_Signal_Type
{
    n_WgtPtzAdvance_Signal_None = 0,
};

class CLS_ModuleBase : public QObject
{
    Q_OBJECT

public:
    explicit CLS_ModuleBase(QObject* _pParent = nullptr) : QObject(_pParent) {}
    ~CLS_ModuleBase() override = default;

Q_SIGNALS:
    void SignSendRequset(int _iCmd, QString _qstrModuleType, QString _qstrJsonData, bool _blReuse);
    void SignSendMsgWithWebSocket(int, QString);
    void SignMODSendMsgWithWebSocket(int, QString);
    void SignCloseWindow();
    void SignalPreset(int, int);
    void SignalPresetEx(QString);
    void SignalCruiseEx(QString);
    void SignalScanSchemeEx(QString);
    void SignalStartControl(int, int);
    void SignalStopControl(int);
    void SignalPtzAdvanceControl(n_WgtPtzAdvance_Signal_Type, int);
    void SignalLoginSuccess();

public:
    // Host hooks without meaning for a burn module.
    virtual int GetModuleWidgetCount() = 0;
    virtual void SetModuleSkin(QString _qstrSkin) = 0;
    virtual void SetModuleLanguage(QString _qstrLanguage) = 0;

public Q_SLOTS:
    virtual void DealModuleRequest(int _iCmd, QString _qstrModuleType, QString _qstrJsonData, bool _blReuse)
    {
        Q_UNUSED(_iCmd) Q_UNUSED(_qstrModuleType) Q_UNUSED(_qstrJsonData) Q_UNUSED(_blReuse)
    }

private:
    QString m_qstrModuleName;
    QString m_qstrModuleParam;
};
