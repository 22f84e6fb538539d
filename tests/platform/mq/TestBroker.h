// Broker tests' helpers: the RabbitMQ node of the fixture "rabbitmq" and a plain
// rabbitmq-c client to check it. Test thread only.
#pragma once

#include <amqp.h>
#include <amqp_tcp_socket.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QThread>

// The node the tests talk to: the one scripts/rabbitmq.sh started in BURN_RABBITMQ_DIR
// (set by CTest; outside it the script's default folder).
class CLS_TestBroker
{
public:
    // Empty when the node is ready; otherwise why not, starting with "skip: " outside
    // CI (the fixture skips when rabbitmq-server is not installed).
    QString Acquire()
    {
        QFile qfile(Dir() + QStringLiteral("/port"));
        m_iPort = qfile.open(QIODevice::ReadOnly) ? qfile.readAll().trimmed().toInt() : 0;
        if (m_iPort > 0)
            return QString();
        const QString qstrWhy = "no RabbitMQ node in " + Dir() + " (scripts/rabbitmq.sh start)";
        return qEnvironmentVariable("CI") == QLatin1String("true") ? qstrWhy : "skip: " + qstrWhy;
    }

    int Port() const { return m_iPort; }

    // The broker application stops (every connection drops) and starts again on
    // the same port; persistent messages in durable queues survive.
    bool StopApp() { return RunScript({"stop-app"}); }
    bool StartApp() { return RunScript({"start-app"}); }
    // A broker user with every right on the vhost "/"; removed with RemoveUser.
    bool AddUser(const QString& _qstrUser, const QString& _qstrPassword)
    {
        return RunScript({"ctl", "add_user", _qstrUser, _qstrPassword}) &&
               RunScript({"ctl", "set_permissions", "-p", "/", _qstrUser, ".*", ".*", ".*"});
    }
    bool RemoveUser(const QString& _qstrUser) { return RunScript({"ctl", "delete_user", _qstrUser}); }

private:
    static QString Dir() { return qEnvironmentVariable("BURN_RABBITMQ_DIR", BURN_SOURCE_DIR "/build/rabbitmq"); }

    static bool RunScript(const QStringList& _qlistArgs)
    {
        QProcess qprocess;
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("BURN_RABBITMQ_DIR"), Dir());
        qprocess.setProcessEnvironment(qenv);
        qprocess.start(QStringLiteral(BURN_SOURCE_DIR "/scripts/rabbitmq.sh"), _qlistArgs);
        return qprocess.waitForFinished(180000) && qprocess.exitStatus() == QProcess::NormalExit &&
               qprocess.exitCode() == 0;
    }

    int m_iPort = 0;
};

// In a test function: the node, or a skip (not installed, outside CI), or a failure.
#define BURN_ACQUIRE_BROKER(broker)                             \
    do {                                                        \
        const QString qstrWhy__ = (broker).Acquire();           \
        if (qstrWhy__.startsWith(QLatin1String("skip: ")))      \
            QSKIP(qPrintable(qstrWhy__));                       \
        QVERIFY2(qstrWhy__.isEmpty(), qPrintable(qstrWhy__));   \
    } while (0)

// One message read back from a queue.
struct TestAmqpMessage
{
    QByteArray qbaBody;
    int iDeliveryMode = 0;  // 2: persistent
};

// A direct rabbitmq-c connection as guest with one channel, independent of the library
// under test. Each call but Get and Drain is true when the broker agreed.
class CLS_TestAmqpClient
{
public:
    ~CLS_TestAmqpClient() { Disconnect(); }

    bool Connect(int _iPort)
    {
        Disconnect();
        m_pState = amqp_new_connection();
        amqp_socket_t* pSocket = amqp_tcp_socket_new(m_pState);
        timeval tv{5, 0};
        amqp_set_rpc_timeout(m_pState, &tv);
        if (pSocket && amqp_socket_open_noblock(pSocket, "127.0.0.1", _iPort, &tv) == AMQP_STATUS_OK &&
            amqp_login(m_pState, "/", 0, 131072, 0, AMQP_SASL_METHOD_PLAIN, "guest", "guest").reply_type ==
                AMQP_RESPONSE_NORMAL &&
            amqp_channel_open(m_pState, n_Channel))
            return true;
        Disconnect();
        return false;
    }
    bool Connected() const { return m_pState != nullptr; }

    bool DeclareExchange(const QByteArray& _qbaName)
    {
        return amqp_exchange_declare(m_pState, n_Channel, Bytes(_qbaName), amqp_cstring_bytes("direct"), 0, 1, 0, 0,
                                     amqp_empty_table);
    }
    bool DeleteExchange(const QByteArray& _qbaName)
    {
        return amqp_exchange_delete(m_pState, n_Channel, Bytes(_qbaName), 0);
    }
    // A durable queue, bound to the exchange under the routing key when one is named.
    bool DeclareQueue(const QByteArray& _qbaQueue, const QByteArray& _qbaExchange = {}, const QByteArray& _qbaKey = {})
    {
        if (!amqp_queue_declare(m_pState, n_Channel, Bytes(_qbaQueue), 0, 1, 0, 0, amqp_empty_table))
            return false;
        return _qbaExchange.isEmpty() || amqp_queue_bind(m_pState, n_Channel, Bytes(_qbaQueue), Bytes(_qbaExchange),
                                                         Bytes(_qbaKey), amqp_empty_table);
    }
    bool DeleteQueue(const QByteArray& _qbaQueue)
    {
        return amqp_queue_delete(m_pState, n_Channel, Bytes(_qbaQueue), 0, 0);
    }
    bool Purge(const QByteArray& _qbaQueue) { return amqp_queue_purge(m_pState, n_Channel, Bytes(_qbaQueue)); }

    // The next message of the queue, polling until the deadline; false when none came.
    bool Get(const QByteArray& _qbaQueue, TestAmqpMessage& _msg, int _iWaitMs = 5000)
    {
        QDeadlineTimer deadline(_iWaitMs);
        amqp_rpc_reply_t reply;
        for (;;) {
            amqp_maybe_release_buffers(m_pState);
            reply = amqp_basic_get(m_pState, n_Channel, Bytes(_qbaQueue), 1);
            if (reply.reply_type != AMQP_RESPONSE_NORMAL || reply.reply.id == AMQP_BASIC_GET_OK_METHOD ||
                deadline.hasExpired())
                break;
            QThread::msleep(20);
        }
        amqp_message_t message{};
        if (reply.reply_type != AMQP_RESPONSE_NORMAL || reply.reply.id != AMQP_BASIC_GET_OK_METHOD ||
            amqp_read_message(m_pState, n_Channel, &message, 0).reply_type != AMQP_RESPONSE_NORMAL)
            return false;
        _msg.qbaBody = QByteArray(static_cast<const char*>(message.body.bytes), static_cast<int>(message.body.len));
        const bool blMode = message.properties._flags & AMQP_BASIC_DELIVERY_MODE_FLAG;
        _msg.iDeliveryMode = blMode ? message.properties.delivery_mode : 0;
        amqp_destroy_message(&message);
        return true;
    }
    // Everything in the queue now, in order.
    QList<TestAmqpMessage> Drain(const QByteArray& _qbaQueue)
    {
        QList<TestAmqpMessage> qlistMsgs;
        TestAmqpMessage msg;
        while (Get(_qbaQueue, msg, 0))
            qlistMsgs << msg;
        return qlistMsgs;
    }

private:
    static const amqp_channel_t n_Channel = 1;

    static amqp_bytes_t Bytes(const QByteArray& _qba)
    {
        return amqp_bytes_t{static_cast<size_t>(_qba.size()), const_cast<char*>(_qba.constData())};
    }
    void Disconnect()
    {
        if (!m_pState)
            return;
        amqp_connection_close(m_pState, AMQP_REPLY_SUCCESS);
        amqp_destroy_connection(m_pState);
        m_pState = nullptr;
    }

    amqp_connection_state_t m_pState = nullptr;
};
