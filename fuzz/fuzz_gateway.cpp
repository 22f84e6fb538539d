// Fuzzes the gateway's inbound entries as the host calls them: a module message in the
// direct or the acknowledged protocol, a delivery report (70, 71) and a client logout,
// chosen by the first input byte; a do-nothing device behind every kind.
#include <QJsonDocument>
#include <QJsonObject>
#include <QReadWriteLock>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "CLS_BurnPresenter.h"
#include "CLS_FuzzBackend.h"
#include "FuzzSupport.h"

namespace
{
CLS_BurnPresenter* s_pPresenter = nullptr;
qint64 s_llTimestamp = 1700000000000;

// The rest of the input as the module message of a client envelope, so most inputs get
// past the envelope; a rest that is no JSON object goes as it is.
QString InEnvelope(const QByteArray& _qbaRest, bool _blTimestamp)
{
    const QJsonDocument qjsonDoc = QJsonDocument::fromJson(_qbaRest);
    if (!qjsonDoc.isObject())
        return QString::fromUtf8(_qbaRest);
    QJsonObject qjsonMsg{{"token", "tok"}, {"platform", "web"}, {"sender", "client-1"},
                         {"msgId", QString::number(s_llTimestamp)}, {"cmdtype", "req"},
                         {"param", qjsonDoc.object()}};
    // A new timestamp each time: a repeated one is only answered again, never run.
    if (_blTimestamp)
        qjsonMsg.insert("timestamp", QString::number(++s_llTimestamp));
    return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* _piArgc, char*** _pppArgv)
{
    FuzzSupport::Start(_piArgc, _pppArgv);
    FuzzSupport::EnterScratchFolder();
    // Kept to the process end, as the bus threads may call them at any time; held here
    // too, as the registry's table ends before the leak check at exit.
    static CLS_FuzzBackend* s_arrBackends[18];
    for (int iKind = -1; iKind <= 16; ++iKind) {
        s_arrBackends[iKind + 1] = new CLS_FuzzBackend;
        CLS_AutoBase::InstallInstance(iKind, s_arrBackends[iKind + 1]);
    }
    // Qt's driver loader, connection registry, driver and the free list of contended
    // read-write locks end in exit handlers made on their first use: used once here,
    // before the handler below, they end after it.
    {
        QReadWriteLock qrwlock;
        QReadLocker locker(&qrwlock);
        static_cast<void>(qrwlock.tryLockForWrite(1));
    }
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz-warm-up"));
        qsqlDb.setDatabaseName(QStringLiteral(":memory:"));
        if (qsqlDb.open())
            QSqlQuery(QStringLiteral("SELECT 1"), qsqlDb).exec();
        qsqlDb.close();
        qsqlDb = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz-warm-up"));
    s_pPresenter = new CLS_BurnPresenter(QString());
    // libFuzzer ends with exit(): the gateway and the application end first, as the host
    // ends them (DeleteModule, then its application), so no bus thread outlives the
    // Qt objects it uses. Registered last, this handler runs first.
    std::atexit([] {
        delete s_pPresenter;
        FuzzSupport::EndApplication();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _pData, size_t _uSize)
{
    if (_uSize == 0)
        return 0;
    const QByteArray qbaRest = FuzzSupport::Bytes(_pData + 1, _uSize - 1);
    if (FuzzSupport::RepeatsKey(qbaRest))
        return 0;
    switch (_pData[0] % 6) {
    case 0:
        s_pPresenter->DealWebSoketMsg(QString::fromUtf8(qbaRest));
        break;
    case 1:
        s_pPresenter->DealWebSoketMsg(InEnvelope(qbaRest, false));
        break;
    case 2:
        s_pPresenter->DealWebSoketMsg(InEnvelope(qbaRest, true));
        break;
    case 3:
        s_pPresenter->DealWebSoketMsgAck(70, QString::fromUtf8(qbaRest));
        break;
    case 4:
        s_pPresenter->DealWebSoketMsgAck(71, QString::fromUtf8(qbaRest));
        break;
    default:
        s_pPresenter->DealWebSoketLogout(QString::fromUtf8(qbaRest));
        break;
    }
    // What the bus's threads queued for the host thread (replies, timers) runs here.
    QCoreApplication::processEvents();
    return 0;
}
