// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so the host can
// stop cleanly (DeleteModule) instead of dying inside the module.
#pragma once

#include <QObject>

class QSocketNotifier;

class CLS_SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CLS_SignalWatcher(QObject* _pParent = nullptr);
    ~CLS_SignalWatcher() override;

Q_SIGNALS:
    void signalStopRequested();

private Q_SLOTS:
    void SlotSignalArrived();

private:
    static void OnSignal(int _iSignal);

    QSocketNotifier* m_pNotifier = nullptr;
};
