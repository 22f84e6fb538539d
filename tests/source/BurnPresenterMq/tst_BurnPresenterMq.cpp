// The gateway's queue publishing against a real RabbitMQ node: settings taken once
// from the first message that carries them, robot status and delivery-timeout
// notices reaching the queue.
#include <QtTest>

#include <QJsonDocument>
#include <QUuid>

#include "CLS_BurnPresenter.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"
#include "TestBroker.h"

namespace
{
constexpr int n_Kind = 11;
constexpr int n_WaitMs = 20000;

QString Text(const QJsonObject& _qjsonObj)
{
    return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
}

QString ApplyBurn(const QString& _qstrJobId, const QJsonObject& _qjsonMq, const QString& _qstrTimestamp = QString())
{
    QJsonObject qjsonModule{{"cmd", "ApplyBurn"},
                            {"ret", 0},
                            {"param", QJsonObject{{"JobId", _qstrJobId}, {"BurnDev", n_Kind}, {"CopyCount", 1}}}};
    if (!_qjsonMq.isEmpty())
        qjsonModule.insert(QStringLiteral("MQ"), _qjsonMq);
    QJsonObject qjsonMsg{{"token", "t"}, {"platform", "p"}, {"sender", "s"}, {"msgId", _qstrJobId + "-1"},
                         {"cmdtype", "request"}, {"param", qjsonModule}};
    if (!_qstrTimestamp.isEmpty())
        qjsonMsg.insert(QStringLiteral("timestamp"), _qstrTimestamp);
    return Text(qjsonMsg);
}
}  // namespace

class tst_BurnPresenterMq : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        BURN_ACQUIRE_BROKER(m_broker);
        QVERIFY(m_client.Connect(m_broker.Port()));
        m_qbaExchange = "burn.gateway." + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
        m_qbaQueue = m_qbaExchange + ".q";
        QVERIFY(m_client.DeclareExchange(m_qbaExchange));
        QVERIFY(m_client.DeclareQueue(m_qbaQueue, m_qbaExchange, "robot"));
        QVERIFY(m_qtmpDir.isValid());
        QVERIFY(QDir::setCurrent(m_qtmpDir.path()));
        m_pBackend = new CLS_TestBackend;  // kept to the end: bus threads may still call it
        CLS_AutoBase::InstallInstance(n_Kind, m_pBackend);
    }

    void cleanupTestCase()
    {
        if (!m_client.Connected())
            return;
        m_client.DeleteQueue(m_qbaQueue);
        m_client.DeleteExchange(m_qbaExchange);
    }

    void publishesOnce()
    {
        CLS_BurnPresenter presenter{QString()};
        QTest::ignoreMessage(QtInfoMsg, "mq ip = null");
        presenter.DealWebSoketMsg(ApplyBurn(QStringLiteral("Q0"), {}));

        const QJsonObject qjsonMq{{"ip", "127.0.0.1"},         {"port", m_broker.Port()}, {"userName", "guest"},
                                  {"passWord", "guest"},      {"encryption", 0},         {"exchange", QString(m_qbaExchange)},
                                  {"routingKey", "robot"}};
        presenter.DealWebSoketMsg(ApplyBurn(QStringLiteral("Q1"), qjsonMq));
        QJsonObject qjsonOther = qjsonMq;
        qjsonOther.insert(QStringLiteral("routingKey"), QStringLiteral("elsewhere"));
        QTest::ignoreMessage(QtInfoMsg, "m_pMqProducer != nullptr");
        presenter.DealWebSoketMsg(ApplyBurn(QStringLiteral("Q2"), qjsonOther));

        // The device answers robot status once it is registered; it reaches the queue.
        m_pBackend->SetRobotStatus(0, QStringLiteral("{\"cmd\":\"BurnRobotStatus\",\"ink\":42}"));
        presenter.DealWebSoketMsg(ApplyBurn(QStringLiteral("Q3"), qjsonMq));
        QVERIFY(WaitForMessage("{\"cmd\":\"BurnRobotStatus\",\"ink\":42}"));
        m_pBackend->SetRobotStatus(-6, QString());
        QTRY_VERIFY(LogRecorder::contains(QStringLiteral("pmsgMq={\"cmd\":\"BurnRobotStatus\"")));

        // A reply whose delivery timed out is announced on the queue.
        QSignalSpy spySend(&presenter, &CLS_BurnPresenter::signalModSendMsg);
        presenter.DealWebSoketMsg(ApplyBurn(QStringLiteral("Q4"), qjsonMq, QStringLiteral("1700000000000")));
        QVERIFY(spySend.wait(n_WaitMs));
        m_client.Purge(m_qbaQueue);
        presenter.DealWebSoketMsgAck(70, spySend.at(0).at(1).toString());
        QVERIFY(WaitForMessage("{\"cmd\":\"BurnTimeOutMsg\",\"param\":{\"JobId\":\"Q4\",\"cmd\":\"ApplyBurnReply\"}}"));
    }

private:
    // Reads the queue, letting the gateway's queued slots run in between.
    bool WaitForMessage(const QByteArray& _qbaBody)
    {
        QDeadlineTimer deadline(n_WaitMs);
        TestAmqpMessage stMsg;
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents();
            if (m_client.Get(m_qbaQueue, stMsg, 100) && stMsg.qbaBody == _qbaBody)
                return true;
        }
        return false;
    }

    CLS_TestBroker m_broker;
    CLS_TestAmqpClient m_client;
    QByteArray m_qbaExchange;
    QByteArray m_qbaQueue;
    QTemporaryDir m_qtmpDir;
    CLS_TestBackend* m_pBackend = nullptr;
};

QTEST_GUILESS_MAIN(tst_BurnPresenterMq)
#include "tst_BurnPresenterMq.moc"
