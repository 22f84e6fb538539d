// Connecting and publishing through the bound queue library, and the broker
// settings' texts built from a module message's "MQ" object.
#include "CLS_MqHelper.h"

#include "BurnLibBinding.h"
#include "BurnTiming.h"
#include "ModuleLog.h"
#include "MqPasswordCipher.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QJsonDocument>

#include <chrono>
#include <cstring>
#include <thread>

static const char s_szLogSource[] = "CLS_MqHelper";

namespace {

const int n_MqTypeRabbitMq = 1;
const char s_szRabbitMqLib[] = "win32_rabbitmq.dll";
const int n_RetryPauseMs = 30000;
const int n_StopPollMs = 50;

// Holds the platform mutex for a scope; does nothing without one.
class CLS_PlatformLock
{
public:
    explicit CLS_PlatformLock(void* _pMutex)
        : m_pMutex(_pMutex)
    {
        if (m_pMutex)
            os_mutex_lock(m_pMutex);
    }
    ~CLS_PlatformLock()
    {
        if (m_pMutex)
            os_mutex_unlock(m_pMutex);
    }
    CLS_PlatformLock(const CLS_PlatformLock&) = delete;
    CLS_PlatformLock& operator=(const CLS_PlatformLock&) = delete;

private:
    void* m_pMutex;
};

// Integers may come as numbers or numeric texts; anything else gives the default.
int LenientInt(const QJsonValue& _qjsonValue, int _iDefault)
{
    if (_qjsonValue.isDouble())
        return _qjsonValue.toInt(_iDefault);
    bool blOk = false;
    const int iValue = _qjsonValue.toString().toInt(&blOk);
    return blOk ? iValue : _iDefault;
}

std::string CompactUtf8(const QJsonObject& _qjsonObj)
{
    return QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact).toStdString();
}

// Sleeps up to _iMs, returning early once _blStop is set.
void PauseUnlessStopped(int _iMs, const std::atomic<bool>& _blStop)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(_iMs);
    while (!_blStop.load() && std::chrono::steady_clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(n_StopPollMs)));
    }
}

} // namespace

CLS_MqHelper::CLS_MqHelper()
    : m_pMutex(os_mutex_create())
{
}

CLS_MqHelper::~CLS_MqHelper()
{
    const long long llProducer = m_MqSrcFd.exchange(-1);
    if (llProducer != -1)
        mq_producer_destroy(llProducer);
    DropMq();
    if (m_pMutex)
        os_mutex_destroy(m_pMutex);
}

bool CLS_MqHelper::Init()
{
    QString qstrAppDir = QCoreApplication::applicationDirPath();
    if (qstrAppDir.isEmpty())
        qstrAppDir = QDir::currentPath();
    const QByteArray qbaAppDir = QDir(qstrAppDir).absolutePath().toLocal8Bit();
    if (!mq_init(qbaAppDir.constData())) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::Init LoadLib failed!\r\n";
        return false;
    }
    if (!mq_set_lib(n_MqTypeRabbitMq, s_szRabbitMqLib)) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::Init mq_set_lib" << s_szRabbitMqLib << "failed!\r\n";
        return false;
    }
    return true;
}

void CLS_MqHelper::Configure(int _iSrcType, const std::string& _strBrokerUri, const std::string& _strProducerCfg)
{
    CLS_PlatformLock lock(m_pMutex);
    m_strBrokerUri = _strBrokerUri;
    m_strProducerCfg = _strProducerCfg;
    m_iSrcType.store(_iSrcType);
}

bool CLS_MqHelper::MqCreate()
{
    if (m_MqFd.load() != -1 && (m_iSrcType.load() != n_MqSrcType_Producer || m_MqSrcFd.load() != -1))
        return true;
    std::string strBrokerUri;
    std::string strProducerCfg;
    {
        CLS_PlatformLock lock(m_pMutex);
        strBrokerUri = m_strBrokerUri;
        strProducerCfg = m_strProducerCfg;
    }
    m_MqFd.store(mq_create_mq(n_MqTypeRabbitMq));
    if (m_MqFd.load() == -1) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqCreate m_MqFd == -1\r\n";
        return false;
    }
    if (!mq_connection_create_ex(m_MqFd.load(), strBrokerUri.c_str())) {
        DropMq();
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqCreate mq_connection_create_ex failed!\r\n";
        return false;
    }
    if (m_iSrcType.load() != n_MqSrcType_Producer)
        return true;
    return CreateProducer(strProducerCfg);
}

bool CLS_MqHelper::CreateProducer(const std::string& _strProducerCfg)
{
    const long long llProducer = mq_producer_create(m_MqFd.load(), _strProducerCfg.c_str());
    if (llProducer == -1) {
        DropMq();
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqCreate mq_producer_create m_MqSrcFd == -1\r\n";
        return false;
    }
    m_MqSrcFd.store(llProducer);
    return true;
}

void CLS_MqHelper::DropMq()
{
    const long long llMq = m_MqFd.exchange(-1);
    if (llMq != -1)
        mq_destroy_mq(llMq);
}

bool CLS_MqHelper::MqProducerSend(mq_msg_t* _pMqMsg)
{
    if (m_iSrcType.load() != n_MqSrcType_Producer) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_iSrcType != 0\r\n";
        return false;
    }
    const long long llProducer = m_MqSrcFd.load();
    if (llProducer == -1) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqProducerSend m_MqSrcFd == -1\r\n";
        return false;
    }
    if (!_pMqMsg || !_pMqMsg->data) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqProducerSend _pMqMsg == NULL or _pMqMsg->data==nullptr \r\n";
        return false;
    }
    _pMqMsg->iLen = static_cast<int>(std::strlen(_pMqMsg->data));
    if (!mq_producer_send(llProducer, _pMqMsg, this)) {
        qDebug() << "<<Brantwatch>>CLS_MqHelper::MqProducerSend mq_producer_send failed\r\n";
        return false;
    }
    return true;
}

bool CLS_MqHelper::ConnectUntilReady(const std::atomic<bool>& _blStop)
{
    while (!_blStop.load()) {
        if (MqCreate()) {
            BURN_LOG(n_BurnLogLevel_Notice, "SlotCreatMqProducer success!");
            return true;
        }
        BURN_LOG(n_BurnLogLevel_Error, "SlotCreatMqProducer failed!");
        PauseUnlessStopped(ScaledMs(n_RetryPauseMs), _blStop);
    }
    return false;
}

QJsonObject MqSettingsOf(const QString& _qstrMessage)
{
    const QJsonObject qjsonMsg = QJsonDocument::fromJson(_qstrMessage.toUtf8()).object();
    return qjsonMsg.value(QStringLiteral("param")).toObject().value(QStringLiteral("MQ")).toObject();
}

QString MqPlainPassword(const QJsonObject& _qjsonMq)
{
    const QString qstrPassword = _qjsonMq.value(QStringLiteral("passWord")).toString();
    if (LenientInt(_qjsonMq.value(QStringLiteral("encryption")), -1) == 1)
        return MqDecryptPassword(qstrPassword);
    return qstrPassword;
}

std::string MqBrokerUri(const QJsonObject& _qjsonMq)
{
    QJsonObject qjsonUri;
    qjsonUri.insert(QStringLiteral("ip"), _qjsonMq.value(QStringLiteral("ip")).toString());
    qjsonUri.insert(QStringLiteral("is_reconnect"), 1);
    qjsonUri.insert(QStringLiteral("password"), MqPlainPassword(_qjsonMq));
    qjsonUri.insert(QStringLiteral("port"), LenientInt(_qjsonMq.value(QStringLiteral("port")), 0));
    qjsonUri.insert(QStringLiteral("username"), _qjsonMq.value(QStringLiteral("userName")).toString());
    return CompactUtf8(qjsonUri);  // QJsonObject keeps its keys sorted: the required order
}

std::string MqProducerCfg(const QJsonObject& _qjsonMq)
{
    QJsonObject qjsonCfg;
    qjsonCfg.insert(QStringLiteral("exchange_name"), _qjsonMq.value(QStringLiteral("exchange")).toString());
    qjsonCfg.insert(QStringLiteral("routing_key"), _qjsonMq.value(QStringLiteral("routingKey")).toString());
    return CompactUtf8(qjsonCfg);
}
