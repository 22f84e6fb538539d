// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so the simulator
// stops cleanly. Owned by main; main thread.
#pragma once

#include <QObject>

class QSocketNotifier;

class CLS_PubSimSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CLS_PubSimSignalWatcher(QObject* _pParent = nullptr);
    ~CLS_PubSimSignalWatcher() override;

Q_SIGNALS:
    void signalStopRequested();

private Q_SLOTS:
    void SlotSignalArrived();

private:
    static void OnSignal(int _iSignal);

    QSocketNotifier* m_pNotifier = nullptr;
};
