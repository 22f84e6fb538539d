// CLS_MqHelper and the gateway's queue publishing over it, through the module's binding
// and our queue library against a real RabbitMQ node: the broker settings' texts taken
// from a message, the password decryption of what docs/mq-password.md tells to encrypt,
// the refusals, and the gateway connecting, retrying and publishing.
#include <QtTest>

#include "BurnLibBinding.h"
#include "CLS_BurnPresenter.h"
#include "CLS_MqHelper.h"
#include "CLS_TestBackend.h"
#include "LogRecorder.h"
#include "MqPasswordCipher.h"
#include "TestBroker.h"

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
    qstrCommand.replace("'secret'", "'" + QString::fromUtf8(_qbaPlain) + "'");
    qprocess.start("/bin/sh", {"-c", qstrCommand});
    const bool blOk = !qstrCommand.isEmpty() && qprocess.waitForFinished(30000) && qprocess.exitCode() == 0;
    return blOk ? QString::fromLatin1(qprocess.readAllStandardOutput()) : QString();
}

const QString s_qstrFailed = "3|CLS_MqHelper|SlotCreatMqProducer failed!";
}  // namespace

class tst_CLS_MqHelper : public QObject
{
    Q_OBJECT

    CLS_TestBroker m_broker{"burn.helper."};
    QTemporaryDir m_qtmpDir;

    // A message's "MQ" object for the test's node and exchange, routing key "burn.robot".
    QJsonObject MqJson(const QString& _qstrUser = "guest", const QString& _qstrPassword = "guest") const
    {
        return {{"ip", "127.0.0.1"},       {"port", m_broker.Port()},
                {"userName", _qstrUser},   {"passWord", _qstrPassword},
                {"routingKey", "burn.robot"}, {"exchange", QString(m_broker.qbaExchange)}};
    }
    // An ApplyBurn for kind 11 with the queue settings, if any; a time stamp: acknowledged.
    QString ApplyBurn(const QString& _qstrJobId, const QJsonObject& _qjsonMq, const QString& _qstrStamp = "")
    {
        const QJsonObject qjsonParam{{"JobId", _qstrJobId}, {"BurnDev", 11}};
        QJsonObject qjsonModule{{"cmd", "ApplyBurn"}, {"param", qjsonParam}};
        if (!_qjsonMq.isEmpty())
            qjsonModule.insert("MQ", _qjsonMq);
        QJsonObject qjsonMsg{{"sender", "s"}, {"msgId", _qstrJobId + "-1"}, {"param", qjsonModule}};
        if (!_qstrStamp.isEmpty())
            qjsonMsg.insert("timestamp", _qstrStamp);
        return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
    }
    // Reads the queue until the body comes, letting the gateway's queued slots run.
    bool WaitForMessage(const QByteArray& _qbaBody)
    {
        QByteArray qbaBody;
        return QTest::qWaitFor([&] { return m_broker.Get(qbaBody, 100) && qbaBody == _qbaBody; }, 20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        BURN_OPEN_BROKER(m_broker, "burn.robot");
        // The binding finds the libraries beside this program; with libos bound the helper
        // holds a platform mutex.
        QVERIFY(CLS_MqHelper::Init() && CLS_MqHelper::Init());
        QVERIFY(libos_init(QCoreApplication::applicationDirPath().toLocal8Bit().constData()));
        LogRecorder::install();  // after libos: its binding took over the module log
        QVERIFY(QDir::setCurrent(m_qtmpDir.path()));
    }
    void init()
    {
        LogRecorder::clear();
        QVERIFY(m_broker.Purge());
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
            << "{\"ip\":\"10.0.0.5\",\"is_reconnect\":1,\"password\":\"p@ss\\\"w\","
               "\"port\":5672,\"username\":\"burn\"}"
            << R"({"exchange_name":"e","routing_key":"k"})";
        QTest::newRow("port as text, UTF-8, no encryption")
            << message(R"({"ip":"h","port":"5673","userName":"刻录","passWord":"密码"})")
            << R"({"ip":"h","is_reconnect":1,"password":"密码","port":5673,"username":"刻录"})" << qstrEmptyCfg;
        QTest::newRow("MQ not an object") << message(R"("10.1.1.1")") << qstrEmptyUri << qstrEmptyCfg;
        QTest::newRow("MQ at the top") << R"({"MQ":{"ip":"10.1.1.1"}})" << qstrEmptyUri << qstrEmptyCfg;
        QTest::newRow("not JSON") << "MQ" << qstrEmptyUri << qstrEmptyCfg;
    }
    // The broker URI and producer configuration built from a message's "param" -> "MQ".
    void settingsTexts()
    {
        QFETCH(QString, message);
        QFETCH(QString, uri);
        QFETCH(QString, cfg);
        QCOMPARE(QString::fromStdString(MqBrokerUri(MqSettingsOf(message))), uri);
        QCOMPARE(QString::fromStdString(MqProducerCfg(MqSettingsOf(message))), cfg);
    }

    void plainPassword_data()
    {
        QTest::addColumn<QString>("cipher");
        QTest::addColumn<QJsonValue>("encryption");
        QTest::addColumn<QString>("plain");
        const QString qstrGood = EncryptAsDocumented("guest");
        const QJsonValue qjsonOne(1);
        QTest::newRow("encryption 1") << qstrGood << qjsonOne << "guest";
        QTest::newRow("encryption \"1\"") << qstrGood << QJsonValue("1") << "guest";
        QTest::newRow("encryption 2 keeps the text") << qstrGood << QJsonValue(2) << qstrGood;
        QTest::newRow("no encryption keeps the text") << qstrGood << QJsonValue(QJsonValue::Undefined)
                                                      << qstrGood;
        QTest::newRow("wrapped as a Base64 tool wraps it")
            << QString(qstrGood).insert(76, '\n').insert(153, '\n') << qjsonOne << "guest";
        QTest::newRow("utf-8") << EncryptAsDocumented("刻录密码") << qjsonOne << "刻录密码";
        QTest::newRow("largest block")
            << EncryptAsDocumented(QByteArray(245, 'p')) << qjsonOne << QString(245, 'p');
        QTest::newRow("empty") << QString() << qjsonOne << "";
        QTest::newRow("not Base64") << "not base64 at all!" << qjsonOne << "";
        QTest::newRow("short block") << QString(QByteArray(16, 'a').toBase64()) << qjsonOne << "";
        const QByteArray qbaBlock = QByteArray::fromBase64(qstrGood.toLatin1());
        QTest::newRow("two blocks") << QString(qbaBlock.repeated(2).toBase64()) << qjsonOne << "";
        QTest::newRow("damaged") << QString(qstrGood).replace(10, 4, "AAAA") << qjsonOne << "";
    }
    // "passWord" as the helper connects with it: decrypted when "encryption" is 1.
    void plainPassword()
    {
        QFETCH(QString, cipher);
        QFETCH(QJsonValue, encryption);
        QFETCH(QString, plain);
        QCOMPARE(MqPlainPassword(QJsonObject{{"passWord", cipher}, {"encryption", encryption}}), plain);
    }

    void sendRefused_data()
    {
        QTest::addColumn<int>("srcType");
        QTest::addColumn<QByteArray>("producerCfg");
        QTest::addColumn<QByteArray>("createLine");  // empty: MqCreate succeeds, again too
        QTest::addColumn<QByteArray>("sendLine");
        const int iProducer = n_MqSrcType_Producer;
        const QByteArray qbaCfg = MqProducerCfg(MqJson()).c_str();
        const QByteArray qbaNoProducer = "m_MqSrcFd == -1";
        QTest::newRow("no producer role: connects only")
            << int(n_MqSrcType_None) << qbaCfg << QByteArray() << QByteArray("m_iSrcType != 0");
        QTest::newRow("bad producer configuration")
            << iProducer << QByteArray("exchange") << "mq_producer_create " + qbaNoProducer << qbaNoProducer;
        const QByteArray qbaNoText = "_pMqMsg == NULL or _pMqMsg->data==nullptr ";
        QTest::newRow("record without text") << iProducer << qbaCfg << QByteArray() << qbaNoText;
        QTest::newRow("missing exchange") << iProducer << QByteArray(R"({"exchange_name":"none"})")
                                          << QByteArray() << QByteArray("mq_producer_send failed");
    }
    // MqCreate and MqProducerSend fail with their lines (a broker that refuses the
    // connection: gatewayPublishes).
    void sendRefused()
    {
        QFETCH(int, srcType);
        QFETCH(QByteArray, producerCfg);
        QFETCH(QByteArray, createLine);
        QFETCH(QByteArray, sendLine);
        CLS_MqHelper helper;
        helper.Configure(srcType, MqBrokerUri(MqJson()), producerCfg.toStdString());
        const QByteArray qbaLineHead = "<<Brantwatch>>CLS_MqHelper::";
        if (!createLine.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, (qbaLineHead + "MqCreate " + createLine + "\r\n").constData());
        QCOMPARE(helper.MqCreate(), createLine.isEmpty());
        if (createLine.isEmpty())
            QVERIFY(helper.MqCreate());  // connected already
        QTest::ignoreMessage(QtDebugMsg, (qbaLineHead + "MqProducerSend " + sendLine + "\r\n").constData());
        QByteArray qbaText = "lost";
        mq_msg_t stMsg{0, 0, 0, sendLine.startsWith("_pMqMsg") ? nullptr : qbaText.data()};
        QVERIFY(!helper.MqProducerSend(&stMsg));
    }

    // The gateway takes the settings once, from the first text that carries them, and
    // retries connecting 30 s (scaled) apart until the broker is back; robot status and
    // delivery-timeout notices then reach the queue, also after the broker restarted
    // mid-run. Destroyed while retrying, it stops.
    void gatewayPublishes()
    {
        auto* pBackend = new CLS_TestBackend;  // kept to the end: bus threads may still call it
        CLS_AutoBase::InstallInstance(11, pBackend);
        {
            CLS_BurnPresenter presenter{ApplyBurn("W", MqJson("guest", "wrong"))};
            QTRY_VERIFY(LogRecorder::lines().count(s_qstrFailed) >= 2);
        }
        QJsonObject qjsonMq = MqJson("guest", EncryptAsDocumented("guest"));
        qjsonMq["encryption"] = 1;
        QJsonObject qjsonElsewhere = MqJson();
        qjsonElsewhere["routingKey"] = "elsewhere";
        CLS_BurnPresenter presenter{QString()};
        QTest::ignoreMessage(QtInfoMsg, "mq ip = null");
        presenter.DealWebSoketMsg(ApplyBurn("Q0", {}));
        LogRecorder::clear();
        QVERIFY(m_broker.StopApp());
        presenter.DealWebSoketMsg(ApplyBurn("Q1", qjsonMq));
        QTest::ignoreMessage(QtInfoMsg, "m_pMqProducer != nullptr");
        presenter.DealWebSoketMsg(ApplyBurn("Q2", qjsonElsewhere));
        QTRY_VERIFY(LogRecorder::lines().count(s_qstrFailed) >= 2);
        QVERIFY(m_broker.StartApp());
        QTRY_VERIFY_WITH_TIMEOUT(LogRecorder::contains("2|CLS_MqHelper|SlotCreatMqProducer success!"), 15000);

        // The device answers robot status once it is registered; it reaches the queue.
        pBackend->SetRobotStatus(0, R"({"cmd":"BurnRobotStatus","ink":42})");
        presenter.DealWebSoketMsg(ApplyBurn("Q3", {}));
        QVERIFY(WaitForMessage(R"({"cmd":"BurnRobotStatus","ink":42})"));
        pBackend->SetRobotStatus(-6, QString());
        QTRY_VERIFY(LogRecorder::contains(R"(pmsgMq={"cmd":"BurnRobotStatus")"));

        // A reply whose delivery timed out is announced on the queue.
        QSignalSpy spySend(&presenter, &CLS_BurnPresenter::signalModSendMsg);
        presenter.DealWebSoketMsg(ApplyBurn("Q4", {}, "1700000000000"));
        QVERIFY(spySend.wait(20000));
        m_broker.Purge();
        const QByteArray qbaNotice = R"({"cmd":"BurnTimeOutMsg","param":{"JobId":"Q4","cmd":"ApplyBurnReply"}})";
        presenter.DealWebSoketMsgAck(70, spySend.at(0).at(1).toString());
        QVERIFY(WaitForMessage(qbaNotice));

        // The broker stops mid-run and returns: the notice while it is down fails with a log
        // line, the gateway's connection comes back by itself, and the consumer gets the
        // notice after it once, and nothing else.
        QVERIFY(m_broker.StopApp());
        presenter.DealWebSoketMsgAck(70, spySend.at(0).at(1).toString());
        QVERIFY(LogRecorder::contains("SlotSendMQToWeb, mq_producer_send failed"));
        QVERIFY(m_broker.StartApp());
        presenter.DealWebSoketMsgAck(70, spySend.at(0).at(1).toString());
        QVERIFY(WaitForMessage(qbaNotice));
        QCOMPARE(m_broker.Drain(), QByteArrayList());
    }
};

QTEST_GUILESS_MAIN(tst_CLS_MqHelper)
#include "tst_CLS_MqHelper.moc"
