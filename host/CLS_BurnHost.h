// Stands in for the video-management host: loads the plug-in from this program's
// folder, starts it, hands it requests and relays its two outgoing signals.
// Owned by main(); lives on the main thread.
#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>

// The longest request a client may send, on either relay: far above any real job (a
// job's file list is a few hundred kilobytes), low enough that no client can make the
// host hold gigabytes.
constexpr int n_MaxRequestBytes = 64 * 1024 * 1024;

class CLS_BurnHost : public QObject
{
    Q_OBJECT

public:
    explicit CLS_BurnHost(QObject* _pParent = nullptr);
    ~CLS_BurnHost() override;

    // Loads the module, calls Init and CreateModule and connects by signature text.
    bool Start(const QString& _qstrCreateText, QString& _qstrError);
    // DeleteModule; safe to call twice.
    void Stop();

    // Hands one request to the module (DealModuleRequest, synchronously).
    void Deliver(int _iCode, const QString& _qstrJsonData);

Q_SIGNALS:
    // Every outgoing message, with the name of the module signal that carried it.
    void signalOutgoing(QString _qstrSignal, int _iCode, QString _qstrData);
    // Connected by signature text to the module's DealModuleRequest slot.
    void SignRequest(int _iCmd, QString _qstrModuleType, QString _qstrJsonData, bool _blReuse);

private Q_SLOTS:
    void SlotModuleMsg(int _iCode, QString _qstrData);
    void SlotModuleModMsg(int _iCode, QString _qstrData);

private:
    using PFN_Init = int (*)();
    using PFN_CreateModule = QObject* (*)(QString);
    using PFN_DeleteModule = int (*)(QObject*);

    bool ResolveEntries(QString& _qstrError);
    bool ConnectModule(QString& _qstrError);

    QLibrary m_qlibModule;
    PFN_Init m_pfnInit = nullptr;
    PFN_CreateModule m_pfnCreateModule = nullptr;
    PFN_DeleteModule m_pfnDeleteModule = nullptr;
    QObject* m_pModule = nullptr;
};
