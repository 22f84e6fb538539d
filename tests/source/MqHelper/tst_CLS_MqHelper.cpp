// CLS_MqHelper through the module's binding and our queue library against a real RabbitMQ
// node; the broker settings' texts taken from a message, and the password decryption of
// what docs/mq-password.md tells to encrypt.
#include <QtTest>

#include "BurnLibBinding.h"
#include "CLS_MqHelper.h"
#include "LogRecorder.h"
#include "MqPasswordCipher.h"
#include "TestBroker.h"

#include <QJsonDocument>
#include <QTcpServer>
#include <QUuid>

#include <atomic>
#include <thread>

namespace
{
// Encrypts the way docs/mq-password.md tells: its command, run as written with the
// password put in; empty when that fails.
QString EncryptAsDocumented(const QByteArray& _qbaPlain)
{
    QFile qfile(QStringLiteral(BURN_SOURCE_DIR "/docs/mq-password.md"));
    const QString qstrDoc = qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
    const QRegularExpression qregCommand("^printf %s 'secret' \\|.*$", QRegularExpression::MultilineOption);
    QString qstrCommand = qregCommand.match(qstrDoc).captured(0);
    QProcess qprocess;
    qprocess.setWorkingDirectory(QStringLiteral(BURN_SOURCE_DIR));
    qprocess.start("/bin/sh", {"-c", qstrCommand.replace("'secret'", "'" + QString::fromUtf8(_qbaPlain) + "'")});
    const bool blOk = !qstrCommand.isEmpty() && qprocess.waitForFinished(30000) && qprocess.exitCode() == 0;
    return blOk ? QString::fromLatin1(qprocess.readAllStandardOutput()) : QString();
}

// A record the way the gateway builds one: the text copied into a NUL-terminated buffer.
struct MqRecord
{
    explicit MqRecord(const QByteArray& _qbaText) : qbaText(_qbaText) { msg.data = qbaText.data(); }
    QByteArray qbaText;
    mq_msg_t msg{0, 0, 0, nullptr};
};
}  // namespace

class tst_CLS_MqHelper : public QObject
{
    Q_OBJECT

    CLS_TestBroker m_broker;
    CLS_TestAmqpClient m_client;
    QByteArray m_qbaExchange = "burn.helper." + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
    QByteArray m_qbaQueue = m_qbaExchange + ".q";

    // A helper configured as the gateway does, from the "MQ" object of a message.
    void Configure(CLS_MqHelper& _helper, const QString& _qstrPassword = "guest", int _iEncryption = 0,
                   const QString& _qstrUser = "guest")
    {
        const QJsonObject qjsonMq{{"ip", "127.0.0.1"},         {"port", m_broker.Port()},  {"userName", _qstrUser},
                                  {"passWord", _qstrPassword}, {"encryption", _iEncryption},
                                  {"exchange", QString(m_qbaExchange)}, {"routingKey", "burn.robot"}};
        _helper.Configure(n_MqSrcType_Producer, MqBrokerUri(qjsonMq), MqProducerCfg(qjsonMq));
    }
    QList<QByteArray> Drain()
    {
        QList<QByteArray> qlstBodies;
        for (const TestAmqpMessage& stMsg : m_client.Drain(m_qbaQueue))
            qlstBodies << stMsg.qbaBody;
        return qlstBodies;
    }

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        BURN_ACQUIRE_BROKER(m_broker);
        QVERIFY(m_client.Connect(m_broker.Port()));
        QVERIFY(m_client.DeclareExchange(m_qbaExchange));
        QVERIFY(m_client.DeclareQueue(m_qbaQueue, m_qbaExchange, "burn.robot"));
        // The binding finds win32_mq.dll beside this program, the application directory.
        QVERIFY(CLS_MqHelper::Init() && CLS_MqHelper::Init());
    }
    void cleanupTestCase()
    {
        if (m_client.Connected() && m_client.DeleteQueue(m_qbaQueue))
            m_client.DeleteExchange(m_qbaExchange);
    }
    void init()
    {
        LogRecorder::clear();
        QVERIFY(!m_client.Connected() || m_client.Purge(m_qbaQueue));
    }

    void settingsTexts_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("uri");  // compact, keys in order
        QTest::addColumn<QString>("cfg");
        const auto message = [](const QString& _qstrMq) {
            return R"({"cmd":"ApplyBurn","param":{"JobId":"J","MQ":)" + _qstrMq + "}}";
        };
        const QString qstrEmptyUri = R"({"ip":"","is_reconnect":1,"password":"","port":0,"username":""})";
        const QString qstrEmptyCfg = R"({"exchange_name":"","routing_key":""})";
        QTest::newRow("all members")
            << message("{\"routingKey\":\"k\",\"exchange\":\"e\",\"encryption\":0,\"passWord\":\"p@ss\\\"w\","
                       "\"userName\":\"burn\",\"port\":5672,\"ip\":\"10.0.0.5\"}")
            << "{\"ip\":\"10.0.0.5\",\"is_reconnect\":1,\"password\":\"p@ss\\\"w\",\"port\":5672,\"username\":\"burn\"}"
            << R"({"exchange_name":"e","routing_key":"k"})";
        QTest::newRow("port as text, UTF-8")
            << message(R"({"ip":"h","port":"5673","userName":"刻录","passWord":"密码"})")
            << R"({"ip":"h","is_reconnect":1,"password":"密码","port":5673,"username":"刻录"})" << qstrEmptyCfg;
        QTest::newRow("encryption other than 1 keeps the text")
            << message(R"({"ip":"h","passWord":"c2VjcmV0","encryption":2})")
            << R"({"ip":"h","is_reconnect":1,"password":"c2VjcmV0","port":0,"username":""})" << qstrEmptyCfg;
        QTest::newRow("undecryptable password is empty")
            << message(R"({"ip":"h","passWord":"c2VjcmV0","encryption":"1"})")
            << R"({"ip":"h","is_reconnect":1,"password":"","port":0,"username":""})" << qstrEmptyCfg;
        QTest::newRow("encrypted password")
            << message(QString(R"({"ip":"h","passWord":"%1","encryption":1})").arg(EncryptAsDocumented("s3cret")))
            << R"({"ip":"h","is_reconnect":1,"password":"s3cret","port":0,"username":""})" << qstrEmptyCfg;
        QTest::newRow("no MQ") << R"({"param":{"JobId":"J"}})" << qstrEmptyUri << qstrEmptyCfg;
        QTest::newRow("MQ not an object") << message(R"("10.1.1.1")") << qstrEmptyUri << qstrEmptyCfg;
        QTest::newRow("MQ at the top") << R"({"MQ":{"ip":"10.1.1.1"}})" << qstrEmptyUri << qstrEmptyCfg;
        QTest::newRow("not JSON") << "MQ" << qstrEmptyUri << qstrEmptyCfg;
    }
    // The broker URI and producer configuration the gateway builds from a message's
    // "param" -> "MQ".
    void settingsTexts()
    {
        QFETCH(QString, message);
        QFETCH(QString, uri);
        QFETCH(QString, cfg);
        QCOMPARE(QString::fromStdString(MqBrokerUri(MqSettingsOf(message))), uri);
        QCOMPARE(QString::fromStdString(MqProducerCfg(MqSettingsOf(message))), cfg);
    }

    void passwordDecryption_data()
    {
        QTest::addColumn<QString>("cipher");
        QTest::addColumn<QString>("plain");
        const QString qstrGood = EncryptAsDocumented("guest");
        QTest::newRow("ascii") << qstrGood << "guest";
        QTest::newRow("wrapped as a Base64 tool wraps it")
            << QString(qstrGood).insert(76, '\n').insert(153, '\n') << "guest";
        QTest::newRow("utf-8") << EncryptAsDocumented("刻录密码") << "刻录密码";
        QTest::newRow("largest block") << EncryptAsDocumented(QByteArray(245, 'p')) << QString(245, 'p');
        QTest::newRow("empty") << QString() << "";
        QTest::newRow("not Base64") << "not base64 at all!" << "";
        QTest::newRow("short block") << QString(QByteArray(16, 'a').toBase64()) << "";
        QTest::newRow("cut short") << qstrGood.left(qstrGood.size() - 4) << "";
        const QByteArray qbaBlock = QByteArray::fromBase64(qstrGood.toLatin1());
        QTest::newRow("two blocks") << QString(qbaBlock.repeated(2).toBase64()) << "";
        QTest::newRow("damaged") << QString(qstrGood).replace(10, 4, "AAAA") << "";
        // "guest" encrypted (PKCS #1 v1.5) under a key pair that is not the module's.
        QTest::newRow("other key")
            << "CzM8tTv0u5fVamdYTqb7aQrGLNrahAF+MfnnmI2adT89nFHj1uv/kLxETZpkNrPqPWcK7q7KxHRm6tv4fQFrdswxgv3/orPR"
               "Nvnsv7IM3gmZjolc81qXga0Xybfjq9OGICvbHiQXGPSWs3xmLzgTAPTrDtnOlK1Elf7zufxLkvPTFnET/7mLY/M+psnOOc9R"
               "VusxWfySzLmO+Z2x3EoOH8+H4S1ZkjOjhESQXenokwAvzoW3YC62x8sck+v5LgQMO1AZE6uM5a+7UeOmOLcBJlJv4qAjlNHo"
               "tdC4kcOpEggQeNOQ7zm3z42HpH9M9nMxnSoBtugUKs6RBWSJ/ZXpWg=="
            << "";
    }
    void passwordDecryption()
    {
        QFETCH(QString, cipher);
        QFETCH(QString, plain);
        QCOMPARE(MqDecryptPassword(cipher), plain);
    }

    // Sends are refused, with their lines, until a producer exists and for an empty record.
    void sendRefusedWithoutProducer()
    {
        CLS_MqHelper helper;
        MqRecord record("{\"cmd\":\"RobotStatus\"}");
        QTest::ignoreMessage(QtDebugMsg, "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_iSrcType != 0\r\n");
        QVERIFY(!helper.MqProducerSend(&record.msg));
        Configure(helper);
        QTest::ignoreMessage(QtDebugMsg, "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_MqSrcFd == -1\r\n");
        QVERIFY(!helper.MqProducerSend(&record.msg));
        QVERIFY(!helper.IsProducerReady() && helper.MqCreate() && helper.IsProducerReady());
        mq_msg_t stEmpty{0, 0, 5, nullptr};
        for (mq_msg_t* pRecord : {static_cast<mq_msg_t*>(nullptr), &stEmpty}) {
            QTest::ignoreMessage(QtDebugMsg, "<<Brantwatch>>CLS_MqHelper::MqProducerSend "
                                             "_pMqMsg == NULL or _pMqMsg->data==nullptr \r\n");
            QVERIFY(!helper.MqProducerSend(pRecord));
        }
        QCOMPARE(Drain(), QList<QByteArray>());
    }

    // Records reach the queue persistent, their length measured by the helper; a second
    // MqCreate keeps the connection. With the operating-system library bound the helper
    // holds a real platform mutex.
    void producerPublishes_data()
    {
        QTest::addColumn<bool>("platformMutex");
        QTest::newRow("without libos") << false;
        QTest::newRow("with the platform mutex") << true;
    }
    void producerPublishes()
    {
        QFETCH(bool, platformMutex);
        if (platformMutex) {
            QVERIFY(libos_init(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
            LogRecorder::install();  // the libos binding took over the module log
        }
        CLS_MqHelper helper;
        Configure(helper, EncryptAsDocumented("guest"), 1);
        QVERIFY(helper.MqCreate() && helper.MqCreate());
        const QByteArray qbaText = QString(R"({"cmd":"BurnTimeOutMsg","param":{"JobId":"任务1"}})").toUtf8();
        MqRecord record(qbaText);
        record.msg.iLen = 3;
        QVERIFY(helper.MqProducerSend(&record.msg));
        QCOMPARE(record.msg.iLen, qbaText.size());
        TestAmqpMessage stGot;
        QVERIFY(m_client.Get(m_qbaQueue, stGot));
        QCOMPARE(stGot.qbaBody, qbaText);
        QCOMPARE(stGot.iDeliveryMode, 2);
        QCOMPARE(Drain(), QList<QByteArray>());
    }

    void failedCreationLeavesNoHandles_data()
    {
        QTest::addColumn<int>("srcType");
        QTest::addColumn<bool>("closedPort");
        QTest::addColumn<QByteArray>("producerCfg");
        QTest::addColumn<QByteArray>("line");  // empty: MqCreate succeeds
        QTest::newRow("broker down") << int(n_MqSrcType_Producer) << true << QByteArray("{}")
            << QByteArray("<<Brantwatch>>CLS_MqHelper::MqCreate mq_connection_create_ex failed!\r\n");
        QTest::newRow("bad producer configuration") << int(n_MqSrcType_Producer) << false << QByteArray("exchange")
            << QByteArray("<<Brantwatch>>CLS_MqHelper::MqCreate mq_producer_create m_MqSrcFd == -1\r\n");
        QTest::newRow("no producer role: connects only")
            << int(n_MqSrcType_None) << false << QByteArray("{}") << QByteArray();
    }
    // No producer, so sends are refused.
    void failedCreationLeavesNoHandles()
    {
        QFETCH(int, srcType);
        QFETCH(bool, closedPort);
        QFETCH(QByteArray, producerCfg);
        QFETCH(QByteArray, line);
        QTcpServer qserver;  // a port with nobody behind it once closed
        QVERIFY(qserver.listen(QHostAddress::LocalHost));
        qserver.close();
        const QJsonObject qjsonMq{{"ip", "127.0.0.1"}, {"port", closedPort ? qserver.serverPort() : m_broker.Port()},
                                  {"userName", "guest"}, {"passWord", "guest"}};
        CLS_MqHelper helper;
        helper.Configure(srcType, MqBrokerUri(qjsonMq), producerCfg.toStdString());
        if (!line.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, line.constData());
        QCOMPARE(helper.MqCreate(), line.isEmpty());
        QVERIFY(!helper.IsProducerReady());
        const char* szRefusal = srcType == n_MqSrcType_None
                                    ? "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_iSrcType != 0\r\n"
                                    : "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_MqSrcFd == -1\r\n";
        QTest::ignoreMessage(QtDebugMsg, szRefusal);
        MqRecord record("lost");
        QVERIFY(!helper.MqProducerSend(&record.msg));
    }

    // Credentials the broker does not know yet fail every attempt, 30 s (scaled) apart;
    // once the broker has the user the next attempt connects. The stop flag ends
    // attempts that cannot succeed.
    void connectUntilReadyRetries()
    {
        const QString qstrUser = "burn-" + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
        CLS_MqHelper helper;
        CLS_MqHelper never;
        Configure(helper, "late-pass", 0, qstrUser);
        Configure(never, "wrong");
        std::atomic<bool> blStop{false};
        std::atomic<int> iResult{-1};
        std::atomic<int> iNeverResult{-1};
        std::thread thread([&] { iResult = helper.ConnectUntilReady(blStop); });
        std::thread neverThread([&] { iNeverResult = never.ConnectUntilReady(blStop); });
        QTRY_VERIFY(LogRecorder::lines().count("3|CLS_MqHelper|SlotCreatMqProducer failed!") >= 4);
        QCOMPARE(iResult.load(), -1);
        QVERIFY(m_broker.AddUser(qstrUser, "late-pass"));
        QTRY_COMPARE_WITH_TIMEOUT(iResult.load(), 1, 15000);
        QVERIFY(LogRecorder::lines().contains("2|CLS_MqHelper|SlotCreatMqProducer success!"));
        MqRecord record("as the new user");
        QVERIFY(helper.MqProducerSend(&record.msg));
        QVERIFY(m_broker.RemoveUser(qstrUser));
        QCOMPARE(iNeverResult.load(), -1);
        blStop = true;
        QTRY_COMPARE(iNeverResult.load(), 0);
        thread.join();
        neverThread.join();
    }

    // The broker URI asks for reconnection: a restart costs the sends made while the
    // broker is down, not the producer.
    void producerSurvivesBrokerRestart()
    {
        CLS_MqHelper helper;
        Configure(helper);
        QVERIFY(helper.MqCreate());
        MqRecord before("before");
        QVERIFY(helper.MqProducerSend(&before.msg));
        QVERIFY(m_broker.StopApp());
        MqRecord during("during");
        QTest::ignoreMessage(QtDebugMsg, "<<Brantwatch>>CLS_MqHelper::MqProducerSend mq_producer_send failed\r\n");
        QVERIFY(!helper.MqProducerSend(&during.msg));
        QVERIFY(m_broker.StartApp() && m_client.Connect(m_broker.Port()));
        MqRecord after("after");
        QVERIFY(helper.MqProducerSend(&after.msg));
        QCOMPARE(Drain(), (QList<QByteArray>{"before", "after"}));
    }
};

QTEST_GUILESS_MAIN(tst_CLS_MqHelper)
#include "tst_CLS_MqHelper.moc"
