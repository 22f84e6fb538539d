// Broker tests' helper: the RabbitMQ node of the fixture "rabbitmq" and a plain
// rabbitmq-c client to check it. Test thread only.
#pragma once

#include <amqp.h>
#include <amqp_tcp_socket.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QUuid>

// A name of this run's own: the prefix and eight hex digits.
inline QByteArray UniqueName(const char* _szPrefix)
{
    return _szPrefix + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
}

// A port of 127.0.0.1 that nobody listens on.
inline quint16 ClosedPort()
{
    QTcpServer qserver;
    return qserver.listen(QHostAddress::LocalHost) ? qserver.serverPort() : 0;
}

// The node scripts/rabbitmq.sh started in BURN_RABBITMQ_DIR (set by CTest; the node
// forgets everything on each start), and a connection to it as guest, independent of
// the library under test, that checks the test's own exchange and durable queue.
class CLS_TestBroker
{
public:
    explicit CLS_TestBroker(const char* _szPrefix)
        : qbaExchange(UniqueName(_szPrefix)), qbaQueue(qbaExchange + ".q")
    {
    }
    ~CLS_TestBroker() { Disconnect(); }
    const QByteArray qbaExchange;
    const QByteArray qbaQueue;

    // 0 while no node runs (the fixture skips when rabbitmq-server is not installed).
    int Port() const
    {
        QFile qfile(qEnvironmentVariable("BURN_RABBITMQ_DIR", BURN_SOURCE_DIR "/build/rabbitmq") + "/port");
        return qfile.open(QIODevice::ReadOnly) ? qfile.readAll().trimmed().toInt() : 0;
    }
    // The broker application stops (every connection drops) and starts again on the same
    // port, or it closes every connection, as for an operator; this client connects again.
    bool StopApp() { return RunScript({"stop-app"}); }
    bool StartApp() { return RunScript({"start-app"}) && Connect(); }
    bool CloseConnections()
    {
        return RunScript({"ctl", "close_all_connections", "-p", "/", "test"}) && Connect();
    }

    bool Connect()
    {
        Disconnect();
        m_pState = amqp_new_connection();
        amqp_socket_t* pSocket = amqp_tcp_socket_new(m_pState);
        timeval tv{5, 0};
        amqp_set_rpc_timeout(m_pState, &tv);
        if (pSocket && amqp_socket_open_noblock(pSocket, "127.0.0.1", Port(), &tv) == AMQP_STATUS_OK &&
            amqp_login(m_pState, "/", 0, 131072, 0, AMQP_SASL_METHOD_PLAIN, "guest", "guest").reply_type ==
                AMQP_RESPONSE_NORMAL &&
            amqp_channel_open(m_pState, n_Channel))
            return true;
        Disconnect();
        return false;
    }
    // A direct exchange, and the test's queue bound to it under the key.
    bool Declare(const QByteArray& _qbaExchange, const QByteArray& _qbaKey)
    {
        const amqp_bytes_t direct = amqp_cstring_bytes("direct");
        return m_pState &&
               amqp_exchange_declare(m_pState, n_Channel, Bytes(_qbaExchange), direct, 0, 1, 0, 0,
                                     amqp_empty_table) &&
               amqp_queue_declare(m_pState, n_Channel, Bytes(qbaQueue), 0, 1, 0, 0, amqp_empty_table) &&
               amqp_queue_bind(m_pState, n_Channel, Bytes(qbaQueue), Bytes(_qbaExchange), Bytes(_qbaKey),
                               amqp_empty_table);
    }
    bool Purge() { return m_pState && amqp_queue_purge(m_pState, n_Channel, Bytes(qbaQueue)); }

    // The body of the next message of the test's queue or the one named, waiting until
    // the deadline; false when none came.
    bool Get(QByteArray& _qbaBody, int _iWaitMs = 5000, const QByteArray& _qbaQueue = {})
    {
        amqp_rpc_reply_t reply{};
        const auto fnAnswered = [&] {
            amqp_maybe_release_buffers(m_pState);
            reply = amqp_basic_get(m_pState, n_Channel, Bytes(_qbaQueue.isEmpty() ? qbaQueue : _qbaQueue), 1);
            return reply.reply_type != AMQP_RESPONSE_NORMAL || reply.reply.id == AMQP_BASIC_GET_OK_METHOD;
        };
        amqp_message_t message{};
        if (!m_pState || !QTest::qWaitFor(fnAnswered, _iWaitMs) || reply.reply_type != AMQP_RESPONSE_NORMAL ||
            amqp_read_message(m_pState, n_Channel, &message, 0).reply_type != AMQP_RESPONSE_NORMAL)
            return false;
        _qbaBody = QByteArray(static_cast<char*>(message.body.bytes), static_cast<int>(message.body.len));
        amqp_destroy_message(&message);
        return true;
    }
    // Everything in the test's queue now, in order.
    QByteArrayList Drain()
    {
        QByteArrayList qlistBodies;
        QByteArray qbaBody;
        while (Get(qbaBody, 0))
            qlistBodies << qbaBody;
        return qlistBodies;
    }

private:
    static const amqp_channel_t n_Channel = 1;

    static amqp_bytes_t Bytes(const QByteArray& _qba)
    {
        return amqp_bytes_t{static_cast<size_t>(_qba.size()), const_cast<char*>(_qba.constData())};
    }
    static bool RunScript(const QStringList& _qlistArgs)
    {
        QProcess qprocess;
        qprocess.start(QStringLiteral(BURN_SOURCE_DIR "/scripts/rabbitmq.sh"), _qlistArgs);
        return qprocess.waitForFinished(180000) && qprocess.exitStatus() == QProcess::NormalExit &&
               qprocess.exitCode() == 0;
    }
    void Disconnect()
    {
        if (m_pState) {
            amqp_connection_close(m_pState, AMQP_REPLY_SUCCESS);
            amqp_destroy_connection(m_pState);
        }
        m_pState = nullptr;
    }

    amqp_connection_state_t m_pState = nullptr;
};

// In initTestCase: the node (or a skip outside CI), the client connected to it, and the
// test's exchange with its queue bound to it under the key.
#define BURN_OPEN_BROKER(broker, key)                                                          \
    do {                                                                                       \
        if ((broker).Port() <= 0 && qEnvironmentVariable("CI") != QLatin1String("true"))       \
            QSKIP("no RabbitMQ node in BURN_RABBITMQ_DIR (scripts/rabbitmq.sh start)");        \
        QVERIFY2((broker).Port() > 0, "no RabbitMQ node in BURN_RABBITMQ_DIR");                \
        QVERIFY((broker).Connect() && (broker).Declare((broker).qbaExchange, key));            \
    } while (0)
