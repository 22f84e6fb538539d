// The gateway's queue publishing against a real RabbitMQ node: the settings are taken
// once, from the first message that carries them; robot status and delivery-timeout
// notices reach the queue.
#include <QtTest>

#include <QJsonDocument>
#include <QUuid>

#include "CLS_BurnPresenter.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"
#include "TestBroker.h"

class tst_BurnPresenterMq : public QObject
{
    Q_OBJECT

    CLS_TestBroker m_broker;
    CLS_TestAmqpClient m_client;
    QByteArray m_qbaExchange = "burn.gateway." + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
    QByteArray m_qbaQueue = m_qbaExchange + ".q";
    QTemporaryDir m_qtmpDir;

    // An ApplyBurn for kind 11 with queue settings (none for an empty routing key); a time
    // stamp selects the acknowledged protocol.
    QString ApplyBurn(const QString& _qstrJobId, const QString& _qstrRoutingKey, const QString& _qstrTimestamp = "")
    {
        QJsonObject qjsonModule{{"cmd", "ApplyBurn"}, {"param", QJsonObject{{"JobId", _qstrJobId}, {"BurnDev", 11}}}};
        if (!_qstrRoutingKey.isEmpty())
            qjsonModule.insert("MQ", QJsonObject{{"ip", "127.0.0.1"}, {"port", m_broker.Port()}, {"userName", "guest"},
                                                 {"passWord", "guest"}, {"exchange", QString(m_qbaExchange)},
                                                 {"routingKey", _qstrRoutingKey}});
        QJsonObject qjsonMsg{{"sender", "s"}, {"msgId", _qstrJobId + "-1"}, {"param", qjsonModule}};
        if (!_qstrTimestamp.isEmpty())
            qjsonMsg.insert("timestamp", _qstrTimestamp);
        return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
    }
    // Reads the queue, letting the gateway's queued slots run in between.
    bool WaitForMessage(const QByteArray& _qbaBody)
    {
        TestAmqpMessage stMsg;
        return QTest::qWaitFor([&] { return m_client.Get(m_qbaQueue, stMsg, 100) && stMsg.qbaBody == _qbaBody; },
                               20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        BURN_ACQUIRE_BROKER(m_broker);
        QVERIFY(m_client.Connect(m_broker.Port()));
        QVERIFY(m_client.DeclareExchange(m_qbaExchange) && m_client.DeclareQueue(m_qbaQueue, m_qbaExchange, "robot"));
        QVERIFY(QDir::setCurrent(m_qtmpDir.path()));
    }
    void cleanupTestCase()
    {
        if (m_client.Connected() && m_client.DeleteQueue(m_qbaQueue))
            m_client.DeleteExchange(m_qbaExchange);
    }

    void publishesOnce()
    {
        auto* pBackend = new CLS_TestBackend;  // kept to the end: bus threads may still call it
        CLS_AutoBase::InstallInstance(11, pBackend);
        CLS_BurnPresenter presenter{QString()};
        QTest::ignoreMessage(QtInfoMsg, "mq ip = null");
        presenter.DealWebSoketMsg(ApplyBurn("Q0", ""));
        presenter.DealWebSoketMsg(ApplyBurn("Q1", "robot"));
        QTest::ignoreMessage(QtInfoMsg, "m_pMqProducer != nullptr");
        presenter.DealWebSoketMsg(ApplyBurn("Q2", "elsewhere"));

        // The device answers robot status once it is registered; it reaches the queue.
        pBackend->SetRobotStatus(0, "{\"cmd\":\"BurnRobotStatus\",\"ink\":42}");
        presenter.DealWebSoketMsg(ApplyBurn("Q3", "robot"));
        QVERIFY(WaitForMessage("{\"cmd\":\"BurnRobotStatus\",\"ink\":42}"));
        pBackend->SetRobotStatus(-6, QString());
        QTRY_VERIFY(LogRecorder::contains("pmsgMq={\"cmd\":\"BurnRobotStatus\""));

        // A reply whose delivery timed out is announced on the queue.
        QSignalSpy spySend(&presenter, &CLS_BurnPresenter::signalModSendMsg);
        presenter.DealWebSoketMsg(ApplyBurn("Q4", "robot", "1700000000000"));
        QVERIFY(spySend.wait(20000));
        m_client.Purge(m_qbaQueue);
        presenter.DealWebSoketMsgAck(70, spySend.at(0).at(1).toString());
        QVERIFY(WaitForMessage("{\"cmd\":\"BurnTimeOutMsg\",\"param\":{\"JobId\":\"Q4\",\"cmd\":\"ApplyBurnReply\"}}"));
    }
};

QTEST_GUILESS_MAIN(tst_BurnPresenterMq)
#include "tst_BurnPresenterMq.moc"
