// The message gateway between the host and the burn bus: parses inbound messages,
// keeps reply routes and turns bus replies into outgoing messages. Owned by the
// plug-in object; its entry points run on the host thread.
#pragma once

#include <QObject>
#include <QString>

class CLS_BurnPresenter : public QObject
{
    Q_OBJECT

public:
    explicit CLS_BurnPresenter(const QString& _qstrCreateText, QObject* _pParent = nullptr);
    ~CLS_BurnPresenter() override;

    void DealWebSoketMsg(QString _qstrMsg);
    void DealWebSoketLogout(QString _qstrMsg);
    void DealWebSoketMsgAck(int _iCmd, QString _qstrMsg);
    void RecoverJobFromDB();

Q_SIGNALS:
    void signalSendMsg(int _iCmd, QString _qstrMsg);
    void signalModSendMsg(int _iCmd, QString _qstrMsg);
};
