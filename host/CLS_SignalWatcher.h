// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so a program (the
// host, the simulator) stops cleanly instead of dying mid-work. Owned by main.
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
