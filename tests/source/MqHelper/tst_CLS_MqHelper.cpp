// CLS_MqHelper through the module's binding and our queue library against a real
// RabbitMQ node; the broker settings' texts and the password decryption.
#include <QtTest>

#include "BurnLibBinding.h"
#include "CLS_MqHelper.h"
#include "LogRecorder.h"
#include "MqPasswordCipher.h"
#include "TestBroker.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <QJsonDocument>
#include <QTcpServer>
#include <QUuid>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// "guest" encrypted (PKCS #1 v1.5) under a key pair that is not the module's.
const char s_szOtherKeyCipher[] =
    "CzM8tTv0u5fVamdYTqb7aQrGLNrahAF+MfnnmI2adT89nFHj1uv/kLxETZpkNrPqPWcK7q7KxHRm6tv4fQFrdswxgv3/orPRNvnsv7IM3gmZ"
    "jolc81qXga0Xybfjq9OGICvbHiQXGPSWs3xmLzgTAPTrDtnOlK1Elf7zufxLkvPTFnET/7mLY/M+psnOOc9RVusxWfySzLmO+Z2x3EoOH8+H"
    "4S1ZkjOjhESQXenokwAvzoW3YC62x8sck+v5LgQMO1AZE6uM5a+7UeOmOLcBJlJv4qAjlNHotdC4kcOpEggQeNOQ7zm3z42HpH9M9nMxnSoB"
    "tugUKs6RBWSJ/ZXpWg==";

const char s_szPublicKeyFile[] = BURN_SOURCE_DIR "/docs/mq-public-key.pem";

// Encrypts like the party that configures the broker: the shipped public key,
// PKCS #1 v1.5, Base64.
QString EncryptWithShippedKey(const QByteArray& _qbaPlain)
{
    QFile qfile(QString::fromUtf8(s_szPublicKeyFile));
    if (!qfile.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray qbaPem = qfile.readAll();
    std::unique_ptr<BIO, decltype(&BIO_free)> pBio(BIO_new_mem_buf(qbaPem.constData(), qbaPem.size()), &BIO_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pKey(PEM_read_bio_PUBKEY(pBio.get(), nullptr, nullptr, nullptr),
                                                             &EVP_PKEY_free);
    if (!pKey)
        return QString();
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> pCtx(EVP_PKEY_CTX_new(pKey.get(), nullptr),
                                                                     &EVP_PKEY_CTX_free);
    const auto* pIn = reinterpret_cast<const unsigned char*>(_qbaPlain.constData());
    size_t uOutLen = 0;
    if (EVP_PKEY_encrypt_init(pCtx.get()) <= 0 || EVP_PKEY_CTX_set_rsa_padding(pCtx.get(), RSA_PKCS1_PADDING) <= 0 ||
        EVP_PKEY_encrypt(pCtx.get(), nullptr, &uOutLen, pIn, static_cast<size_t>(_qbaPlain.size())) <= 0)
        return QString();
    QByteArray qbaCipher(static_cast<int>(uOutLen), '\0');
    if (EVP_PKEY_encrypt(pCtx.get(), reinterpret_cast<unsigned char*>(qbaCipher.data()), &uOutLen, pIn,
                         static_cast<size_t>(_qbaPlain.size())) <= 0)
        return QString();
    qbaCipher.resize(static_cast<int>(uOutLen));
    return QString::fromLatin1(qbaCipher.toBase64());
}

QJsonObject JsonObject(const QByteArray& _qbaText)
{
    return QJsonDocument::fromJson(_qbaText).object();
}

// A record the way the gateway builds one: the text copied into a NUL-terminated buffer.
struct MqRecord
{
    explicit MqRecord(const QByteArray& _qbaText)
        : qbaText(_qbaText)
    {
        msg.data = qbaText.data();
    }
    QByteArray qbaText;
    mq_msg_t msg{0, 0, 0, nullptr};
};

} // namespace

class tst_CLS_MqHelper : public QObject
{
    Q_OBJECT

private:
    CLS_TestBroker m_broker;
    CLS_TestAmqpClient m_client;
    QByteArray m_qbaExchange;
    QByteArray m_qbaQueue;
    const QByteArray m_qbaKey = "burn.robot";

    // The "MQ" object of a request pointing at the test node.
    QJsonObject Settings(const QString& _qstrPassword = QStringLiteral("guest"), int _iEncryption = 0) const
    {
        return QJsonObject{{"ip", "127.0.0.1"},
                           {"port", m_broker.Port()},
                           {"userName", "guest"},
                           {"passWord", _qstrPassword},
                           {"encryption", _iEncryption},
                           {"exchange", QString::fromUtf8(m_qbaExchange)},
                           {"routingKey", QString::fromUtf8(m_qbaKey)}};
    }
    void ConfigureFrom(CLS_MqHelper& _helper, const QJsonObject& _qjsonMq)
    {
        _helper.Configure(n_MqSrcType_Producer, MqBrokerUri(_qjsonMq), MqProducerCfg(_qjsonMq));
    }
    static void ExpectDebugLine(const char* _szLine) { QTest::ignoreMessage(QtDebugMsg, _szLine); }

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        BURN_ACQUIRE_BROKER(m_broker);
        QVERIFY(m_client.Connect(m_broker.Port()));
        m_qbaExchange = "burn.helper." + QUuid::createUuid().toByteArray(QUuid::WithoutBraces).left(8);
        m_qbaQueue = m_qbaExchange + ".q";
        QVERIFY(m_client.DeclareExchange(m_qbaExchange));
        QVERIFY(m_client.DeclareQueue(m_qbaQueue, m_qbaExchange, m_qbaKey));
        // The binding finds win32_mq.dll beside this program, the application directory.
        QVERIFY(CLS_MqHelper::Init());
        QVERIFY(CLS_MqHelper::Init());
    }
    void cleanupTestCase()
    {
        if (!m_client.Connected())
            return;
        m_client.DeleteQueue(m_qbaQueue);
        m_client.DeleteExchange(m_qbaExchange);
    }
    void init()
    {
        LogRecorder::clear();
        if (m_client.Connected())
            QVERIFY(m_client.Purge(m_qbaQueue));
    }

    // ---- the settings' texts -------------------------------------------------

    void brokerUri_data()
    {
        QTest::addColumn<QByteArray>("mq");
        QTest::addColumn<QByteArray>("uri");
        QTest::newRow("plain password, key order")
            << QByteArray("{\"routingKey\":\"k\",\"exchange\":\"e\",\"encryption\":0,\"passWord\":\"p@ss\\\"w\","
                          "\"userName\":\"burn\",\"port\":5672,\"ip\":\"10.0.0.5\"}")
            << QByteArray("{\"ip\":\"10.0.0.5\",\"is_reconnect\":1,\"password\":\"p@ss\\\"w\",\"port\":5672,"
                          "\"username\":\"burn\"}");
        QTest::newRow("port absent")
            << QByteArray(R"({"ip":"10.0.0.5","userName":"u","passWord":"p"})")
            << QByteArray(R"({"ip":"10.0.0.5","is_reconnect":1,"password":"p","port":0,"username":"u"})");
        QTest::newRow("port as text") << QByteArray(R"({"ip":"h","port":"5673"})")
                                      << QByteArray(R"({"ip":"h","is_reconnect":1,"password":"","port":5673,"username":""})");
        QTest::newRow("encryption other than 1 keeps the text")
            << QByteArray(R"({"ip":"h","passWord":"c2VjcmV0","encryption":2})")
            << QByteArray(R"({"ip":"h","is_reconnect":1,"password":"c2VjcmV0","port":0,"username":""})");
        QTest::newRow("encrypted garbage gives an empty password")
            << QByteArray(R"({"ip":"h","passWord":"c2VjcmV0","encryption":1})")
            << QByteArray(R"({"ip":"h","is_reconnect":1,"password":"","port":0,"username":""})");
        QTest::newRow("encrypted")
            << QJsonDocument(QJsonObject{{"ip", "h"}, {"passWord", EncryptWithShippedKey("s3cret")}, {"encryption", 1}})
                   .toJson(QJsonDocument::Compact)
            << QByteArray(R"({"ip":"h","is_reconnect":1,"password":"s3cret","port":0,"username":""})");
        QTest::newRow("UTF-8 written as is")
            << QString::fromUtf8(R"({"ip":"h","userName":"刻录","passWord":"密码"})").toUtf8()
            << QString::fromUtf8(R"({"ip":"h","is_reconnect":1,"password":"密码","port":0,"username":"刻录"})").toUtf8();
        QTest::newRow("empty object") << QByteArray("{}")
                                      << QByteArray(R"({"ip":"","is_reconnect":1,"password":"","port":0,"username":""})");
    }
    void brokerUri()
    {
        QFETCH(QByteArray, mq);
        QFETCH(QByteArray, uri);
        QCOMPARE(QByteArray::fromStdString(MqBrokerUri(JsonObject(mq))), uri);
    }

    void producerCfg_data()
    {
        QTest::addColumn<QByteArray>("mq");
        QTest::addColumn<QByteArray>("cfg");
        QTest::newRow("both") << QByteArray(R"({"ip":"h","routingKey":"burn.status","exchange":"kestrel"})")
                              << QByteArray(R"({"exchange_name":"kestrel","routing_key":"burn.status"})");
        QTest::newRow("absent") << QByteArray(R"({"ip":"h"})") << QByteArray(R"({"exchange_name":"","routing_key":""})");
    }
    void producerCfg()
    {
        QFETCH(QByteArray, mq);
        QFETCH(QByteArray, cfg);
        QCOMPARE(QByteArray::fromStdString(MqProducerCfg(JsonObject(mq))), cfg);
    }

    void settingsOfMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("ip");
        QTest::newRow("present") << R"({"cmd":"ApplyBurn","param":{"JobId":"J1","MQ":{"ip":"10.1.1.1","port":5672}}})"
                                 << "10.1.1.1";
        QTest::newRow("no MQ") << R"({"cmd":"ApplyBurn","param":{"JobId":"J1"}})" << "";
        QTest::newRow("MQ not an object") << R"({"param":{"MQ":"10.1.1.1"}})" << "";
        QTest::newRow("MQ at the top") << R"({"MQ":{"ip":"10.1.1.1"}})" << "";
        QTest::newRow("not JSON") << "MQ" << "";
    }
    void settingsOfMessage()
    {
        QFETCH(QString, message);
        QFETCH(QString, ip);
        QCOMPARE(MqSettingsOf(message).value("ip").toString(), ip);
    }

    // ---- password decryption ---------------------------------------------------

    // The command of docs/mq-password.md, run as written.
    void documentedCommandEncryptsForTheModule()
    {
        const QString qstrDoc = [] {
            QFile qfile(QStringLiteral(BURN_SOURCE_DIR "/docs/mq-password.md"));
            return qfile.open(QIODevice::ReadOnly) ? QString::fromUtf8(qfile.readAll()) : QString();
        }();
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^printf %s 'secret' \\|.*$"), QRegularExpression::MultilineOption).match(qstrDoc);
        QVERIFY2(match.hasMatch(), "docs/mq-password.md lost its command");
        QProcess qprocess;
        qprocess.setWorkingDirectory(QStringLiteral(BURN_SOURCE_DIR));
        qprocess.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), match.captured(0)});
        QVERIFY(qprocess.waitForFinished(30000));
        QCOMPARE(qprocess.exitCode(), 0);
        const QString qstrCipher = QString::fromLatin1(qprocess.readAllStandardOutput());
        QCOMPARE(MqDecryptPassword(qstrCipher), QStringLiteral("secret"));
    }

    void decryptsWhatTheShippedKeyEncrypts_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::newRow("ascii") << QByteArray("guest");
        QTest::newRow("one byte") << QByteArray("x");
        QTest::newRow("utf-8") << QString::fromUtf8("刻录密码").toUtf8();
        QTest::newRow("largest block") << QByteArray(245, 'p');
    }
    void decryptsWhatTheShippedKeyEncrypts()
    {
        QFETCH(QByteArray, plain);
        const QString qstrCipher = EncryptWithShippedKey(plain);
        QVERIFY(!qstrCipher.isEmpty());
        QCOMPARE(MqDecryptPassword(qstrCipher), QString::fromUtf8(plain));
        // As a Base64 tool wraps it.
        QString qstrWrapped = qstrCipher;
        for (int i = 76; i < qstrWrapped.size(); i += 77)
            qstrWrapped.insert(i, QLatin1Char('\n'));
        QCOMPARE(MqDecryptPassword(qstrWrapped), QString::fromUtf8(plain));
    }

    void undecryptableTextsGiveEmpty_data()
    {
        QTest::addColumn<QString>("cipher");
        const QString qstrGood = EncryptWithShippedKey("guest");
        QTest::newRow("empty") << QString();
        QTest::newRow("not Base64") << "not base64 at all!";
        QTest::newRow("plain password") << "guest";
        QTest::newRow("short block") << QString::fromLatin1(QByteArray(16, 'a').toBase64());
        QTest::newRow("other key") << QString::fromLatin1(s_szOtherKeyCipher);
        QTest::newRow("cut short") << qstrGood.left(qstrGood.size() - 4);
        QTest::newRow("two blocks") << QString::fromLatin1(QByteArray::fromBase64(qstrGood.toLatin1()).repeated(2).toBase64());
        QTest::newRow("damaged") << QString(qstrGood).replace(10, 4, QStringLiteral("AAAA"));
    }
    void undecryptableTextsGiveEmpty()
    {
        QFETCH(QString, cipher);
        QCOMPARE(MqDecryptPassword(cipher), QString());
    }

    // ---- the helper against the broker -----------------------------------------

    void failureLinesBeforeTheProducerExists()
    {
        CLS_MqHelper helper;
        MqRecord record("{\"cmd\":\"RobotStatus\"}");
        ExpectDebugLine("<<Brantwatch>>CLS_MqHelper::MqProducerSend m_iSrcType != 0\r\n");
        QVERIFY(!helper.MqProducerSend(&record.msg));

        ConfigureFrom(helper, Settings());
        ExpectDebugLine("<<Brantwatch>>CLS_MqHelper::MqProducerSend m_MqSrcFd == -1\r\n");
        QVERIFY(!helper.MqProducerSend(&record.msg));

        QVERIFY(helper.MqCreate());
        const char szNullRecord[] = "<<Brantwatch>>CLS_MqHelper::MqProducerSend _pMqMsg == NULL or _pMqMsg->data==nullptr \r\n";
        ExpectDebugLine(szNullRecord);
        QVERIFY(!helper.MqProducerSend(nullptr));
        mq_msg_t emptyRecord{0, 0, 5, nullptr};
        ExpectDebugLine(szNullRecord);
        QVERIFY(!helper.MqProducerSend(&emptyRecord));
        TestAmqpMessage got;
        QVERIFY(!m_client.Get(m_qbaQueue, got, 0));
    }

    void createdProducerPublishesToTheQueue()
    {
        CLS_MqHelper helper;
        ConfigureFrom(helper, Settings());
        QVERIFY(!helper.IsProducerReady());
        QVERIFY(helper.MqCreate());
        QVERIFY(helper.IsProducerReady());
        QVERIFY(helper.MqCreate());  // connected already: nothing new

        const QByteArray qbaText = QString::fromUtf8(R"({"cmd":"BurnTimeOutMsg","param":{"JobId":"任务1"}})").toUtf8();
        MqRecord record(qbaText);
        record.msg.iLen = 3;  // the helper measures the text itself
        QVERIFY(helper.MqProducerSend(&record.msg));
        QCOMPARE(record.msg.iLen, qbaText.size());
        TestAmqpMessage got;
        QVERIFY(m_client.Get(m_qbaQueue, got));
        QCOMPARE(got.qbaBody, qbaText);
        QCOMPARE(got.iDeliveryMode, 2);
        QVERIFY(!m_client.Get(m_qbaQueue, got, 0));
    }

    void encryptedPasswordConnects()
    {
        CLS_MqHelper helper;
        ConfigureFrom(helper, Settings(EncryptWithShippedKey("guest"), 1));
        QVERIFY(helper.MqCreate());
        MqRecord record("encrypted");
        QVERIFY(helper.MqProducerSend(&record.msg));
    }

    void failedCreationLeavesNoHandles_data()
    {
        QTest::addColumn<bool>("closedPort");
        QTest::addColumn<QByteArray>("producerCfg");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("broker down") << true << QByteArray("{}")
                                     << QByteArray("<<Brantwatch>>CLS_MqHelper::MqCreate mq_connection_create_ex failed!\r\n");
        QTest::newRow("bad producer configuration")
            << false << QByteArray("exchange") << QByteArray("<<Brantwatch>>CLS_MqHelper::MqCreate mq_producer_create m_MqSrcFd == -1\r\n");
    }
    void failedCreationLeavesNoHandles()
    {
        QFETCH(bool, closedPort);
        QFETCH(QByteArray, producerCfg);
        QFETCH(QByteArray, line);
        QJsonObject qjsonMq = Settings();
        if (closedPort) {
            QTcpServer qserver;  // a port with nobody behind it once closed
            QVERIFY(qserver.listen(QHostAddress::LocalHost));
            qjsonMq["port"] = qserver.serverPort();
            qserver.close();
        }
        CLS_MqHelper helper;
        helper.Configure(n_MqSrcType_Producer, MqBrokerUri(qjsonMq), producerCfg.toStdString());
        ExpectDebugLine(line.constData());
        QVERIFY(!helper.MqCreate());
        QVERIFY(!helper.IsProducerReady());
        ExpectDebugLine("<<Brantwatch>>CLS_MqHelper::MqProducerSend m_MqSrcFd == -1\r\n");
        MqRecord record("lost");
        QVERIFY(!helper.MqProducerSend(&record.msg));
    }

    // Without the producer role MqCreate only connects, and sends are refused.
    void connectionWithoutProducerRole()
    {
        CLS_MqHelper helper;
        helper.Configure(n_MqSrcType_None, MqBrokerUri(Settings()), MqProducerCfg(Settings()));
        QVERIFY(helper.MqCreate());
        QVERIFY(!helper.IsProducerReady());
        ExpectDebugLine("<<Brantwatch>>CLS_MqHelper::MqProducerSend m_iSrcType != 0\r\n");
        MqRecord record("refused");
        QVERIFY(!helper.MqProducerSend(&record.msg));
    }

    // Credentials the broker does not know yet fail every attempt, 30 s (scaled)
    // apart; once the broker has the user the next attempt connects. The stop
    // flag ends attempts that cannot succeed.
    void connectUntilReadyRetries()
    {
        const QString qstrUser = QStringLiteral("burn-") + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
        QJsonObject qjsonMq = Settings(EncryptWithShippedKey("late-pass"), 1);
        qjsonMq["userName"] = qstrUser;
        CLS_MqHelper helper;
        ConfigureFrom(helper, qjsonMq);
        std::atomic<bool> blStop{false};
        std::atomic<int> iResult{-1};
        std::thread thread([&] { iResult = helper.ConnectUntilReady(blStop) ? 1 : 0; });
        QTRY_VERIFY(LogRecorder::lines().count(QStringLiteral("3|CLS_MqHelper|SlotCreatMqProducer failed!")) >= 2);
        QCOMPARE(iResult.load(), -1);
        QVERIFY(m_broker.AddUser(qstrUser, QStringLiteral("late-pass")));
        QTRY_COMPARE_WITH_TIMEOUT(iResult.load(), 1, 15000);
        thread.join();
        QVERIFY(LogRecorder::lines().contains(QStringLiteral("2|CLS_MqHelper|SlotCreatMqProducer success!")));
        MqRecord record("as the new user");
        QVERIFY(helper.MqProducerSend(&record.msg));
        QVERIFY(m_broker.RemoveUser(qstrUser));

        LogRecorder::clear();
        CLS_MqHelper never;
        ConfigureFrom(never, Settings(QStringLiteral("wrong")));
        std::atomic<int> iNeverResult{-1};
        std::thread neverThread([&] { iNeverResult = never.ConnectUntilReady(blStop) ? 1 : 0; });
        QTRY_VERIFY(LogRecorder::lines().count(QStringLiteral("3|CLS_MqHelper|SlotCreatMqProducer failed!")) >= 2);
        blStop = true;
        QTRY_COMPARE(iNeverResult.load(), 0);
        neverThread.join();
    }

    // The broker URI asks for reconnection: a restart costs the sends made while
    // the broker is down, not the producer.
    void producerSurvivesBrokerRestart()
    {
        CLS_MqHelper helper;
        ConfigureFrom(helper, Settings());
        QVERIFY(helper.MqCreate());
        MqRecord before("before");
        QVERIFY(helper.MqProducerSend(&before.msg));

        QVERIFY(m_broker.StopApp());
        MqRecord during("during");
        ExpectDebugLine("<<Brantwatch>>CLS_MqHelper::MqProducerSend mq_producer_send failed\r\n");
        QVERIFY(!helper.MqProducerSend(&during.msg));
        QVERIFY(m_broker.StartApp());
        QVERIFY(m_client.Connect(m_broker.Port()));

        MqRecord after("after");
        QVERIFY(helper.MqProducerSend(&after.msg));
        QList<QByteArray> qlistBodies;
        for (const TestAmqpMessage& msg : m_client.Drain(m_qbaQueue))
            qlistBodies << msg.qbaBody;
        QCOMPARE(qlistBodies, (QList<QByteArray>{"before", "after"}));
    }

    // With the operating-system library bound the helper holds a real platform mutex.
    void withPlatformMutex()
    {
        const QByteArray qbaAppDir = QCoreApplication::applicationDirPath().toLocal8Bit();
        QVERIFY(libos_init(qbaAppDir.constData()));
        LogRecorder::install();  // the libos binding took over the module log
        CLS_MqHelper helper;
        ConfigureFrom(helper, Settings());
        QVERIFY(helper.MqCreate());
        MqRecord record("with mutex");
        QVERIFY(helper.MqProducerSend(&record.msg));
        TestAmqpMessage got;
        QVERIFY(m_client.Get(m_qbaQueue, got));
        QCOMPARE(got.qbaBody, QByteArray("with mutex"));
    }
};

QTEST_GUILESS_MAIN(tst_CLS_MqHelper)
#include "tst_CLS_MqHelper.moc"
