// Fuzzes the gateway's inbound entries as the host calls them: a module message in the
// direct or the acknowledged protocol, a delivery report (70, 71) and a client logout,
// chosen by the first input byte; a do-nothing device behind every kind.
#include <QJsonDocument>
#include <QJsonObject>

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
void SetUp()
{
    // Kept to the process end, as the bus threads may call them at any time; held here
    // too, as the registry's table ends before the leak check at exit.
    static CLS_FuzzBackend* s_arrBackends[18];
    for (int iKind = -1; iKind <= 16; ++iKind) {
        s_arrBackends[iKind + 1] = new CLS_FuzzBackend;
        CLS_AutoBase::InstallInstance(iKind, s_arrBackends[iKind + 1]);
    }
    // Never deleted: libFuzzer ends with exit(), as a host may, and the module stops its
    // threads by itself then.
    s_pPresenter = new CLS_BurnPresenter(QString());
}

void Run(uint8_t _uChoice, const QByteArray& _qbaRest)
{
    const QString qstrRest = QString::fromUtf8(_qbaRest);
    switch (_uChoice % 6) {
    case 0:
        s_pPresenter->DealWebSoketMsg(qstrRest);
        break;
    case 1:
        s_pPresenter->DealWebSoketMsg(InEnvelope(_qbaRest, false));
        break;
    case 2:
        s_pPresenter->DealWebSoketMsg(InEnvelope(_qbaRest, true));
        break;
    case 3:
        s_pPresenter->DealWebSoketMsgAck(70, qstrRest);
        break;
    case 4:
        s_pPresenter->DealWebSoketMsgAck(71, qstrRest);
        break;
    default:
        s_pPresenter->DealWebSoketLogout(qstrRest);
        break;
    }
    // What the bus's threads queued for the host thread (replies, timers) runs here.
    QCoreApplication::processEvents();
}
}  // namespace

const FuzzSupport::Target FuzzSupport::c_stTarget{true, true, &SetUp, &Run};
