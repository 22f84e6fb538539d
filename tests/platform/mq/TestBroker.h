// Broker tests' helpers: the RabbitMQ node (the fixture's, or a private one from
// scripts/rabbitmq.sh) and a plain rabbitmq-c client to check it. Test thread only.
#pragma once

#include <amqp.h>
#include <amqp_tcp_socket.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

// The node the tests talk to.
class CLS_TestBroker
{
public:
    ~CLS_TestBroker()
    {
        if (m_pOwnDir)
            RunScript({QStringLiteral("stop")});
    }

    // Empty when the node is ready; otherwise why not, starting with "skip: " when
    // rabbitmq-server is not installed and this is not CI.
    QString Acquire()
    {
        m_qstrDir = qEnvironmentVariable("BURN_RABBITMQ_DIR");
        if (!m_qstrDir.isEmpty() && ReadPort())
            return QString();
        const QString qstrBin = qEnvironmentVariable("RABBITMQ_BIN_DIR", QStringLiteral("/usr/lib/rabbitmq/bin"));
        if (!QFileInfo(qstrBin + QStringLiteral("/rabbitmq-server")).isExecutable()) {
            const QString qstrWhy = QStringLiteral("rabbitmq-server not installed (apt-get install rabbitmq-server)");
            return qEnvironmentVariable("CI") == QLatin1String("true") ? qstrWhy : "skip: " + qstrWhy;
        }
        // No node of the fixture (a run outside CTest): a private one for this program.
        m_pOwnDir.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/burn-rabbitmq-XXXXXX")));
        m_qstrDir = m_pOwnDir->path();
        QString qstrOut;
        if (RunScript({QStringLiteral("start")}, &qstrOut) && ReadPort())
            return QString();
        return QStringLiteral("scripts/rabbitmq.sh start failed: ") + qstrOut;
    }

    int Port() const { return m_iPort; }

    // The broker application stops (every connection drops) and starts again on
    // the same port; persistent messages in durable queues survive.
    bool StopApp() { return RunScript({QStringLiteral("stop-app")}); }
    bool StartApp() { return RunScript({QStringLiteral("start-app")}); }
    // A broker user with every right on the vhost "/"; removed with RemoveUser.
    bool AddUser(const QString& _qstrUser, const QString& _qstrPassword)
    {
        return RunScript({"ctl", "add_user", _qstrUser, _qstrPassword}) &&
               RunScript({"ctl", "set_permissions", "-p", "/", _qstrUser, ".*", ".*", ".*"});
    }
    bool RemoveUser(const QString& _qstrUser) { return RunScript({"ctl", "delete_user", _qstrUser}); }

private:
    bool ReadPort()
    {
        QFile qfile(m_qstrDir + QStringLiteral("/port"));
        if (!qfile.open(QIODevice::ReadOnly))
            return false;
        m_iPort = QString::fromUtf8(qfile.readAll()).trimmed().toInt();
        QTcpSocket qsocket;
        qsocket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_iPort));
        return m_iPort > 0 && qsocket.waitForConnected(3000);
    }

    bool RunScript(const QStringList& _qlistArgs, QString* _pqstrOut = nullptr)
    {
        QProcess qprocess;
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert(QStringLiteral("BURN_RABBITMQ_DIR"), m_qstrDir);
        qprocess.setProcessEnvironment(qenv);
        qprocess.setProcessChannelMode(QProcess::MergedChannels);
        qprocess.start(QStringLiteral(BURN_SOURCE_DIR "/scripts/rabbitmq.sh"), _qlistArgs);
        const bool blOk = qprocess.waitForFinished(180000) && qprocess.exitStatus() == QProcess::NormalExit &&
                          qprocess.exitCode() == 0;
        if (_pqstrOut)
            *_pqstrOut = QString::fromUtf8(qprocess.readAll());
        return blOk;
    }

    QString m_qstrDir;
    std::unique_ptr<QTemporaryDir> m_pOwnDir;  // the private node's folder
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

// A direct rabbitmq-c connection with one channel, independent of the library under test.
class CLS_TestAmqpClient
{
public:
    ~CLS_TestAmqpClient() { Disconnect(); }

    bool Connect(int _iPort, const char* _szUser = "guest", const char* _szPassword = "guest")
    {
        Disconnect();
        m_pState = amqp_new_connection();
        amqp_socket_t* pSocket = amqp_tcp_socket_new(m_pState);
        timeval tv{5, 0};
        if (!pSocket || amqp_socket_open_noblock(pSocket, "127.0.0.1", _iPort, &tv) != AMQP_STATUS_OK) {
            Disconnect();
            return false;
        }
        amqp_set_rpc_timeout(m_pState, &tv);
        if (amqp_login(m_pState, "/", 0, 131072, 0, AMQP_SASL_METHOD_PLAIN, _szUser, _szPassword).reply_type !=
                AMQP_RESPONSE_NORMAL ||
            !amqp_channel_open(m_pState, n_Channel)) {
            Disconnect();
            return false;
        }
        return true;
    }
    bool Connected() const { return m_pState != nullptr; }

    // Each true when the broker agreed.
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
        for (;;) {
            amqp_maybe_release_buffers(m_pState);
            const amqp_rpc_reply_t reply = amqp_basic_get(m_pState, n_Channel, Bytes(_qbaQueue), 1);
            if (reply.reply_type != AMQP_RESPONSE_NORMAL)
                return false;
            if (reply.reply.id == AMQP_BASIC_GET_OK_METHOD)
                return ReadMessage(_msg);
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
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
    bool ReadMessage(TestAmqpMessage& _msg)
    {
        amqp_message_t message{};
        if (amqp_read_message(m_pState, n_Channel, &message, 0).reply_type != AMQP_RESPONSE_NORMAL)
            return false;
        _msg.qbaBody = QByteArray(static_cast<const char*>(message.body.bytes), static_cast<int>(message.body.len));
        _msg.iDeliveryMode =
            (message.properties._flags & AMQP_BASIC_DELIVERY_MODE_FLAG) ? message.properties.delivery_mode : 0;
        amqp_destroy_message(&message);
        return true;
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
