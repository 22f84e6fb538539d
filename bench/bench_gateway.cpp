// Messages per second through the plug-in's DealModuleRequest: the direct protocol
// (a request acknowledged at once, its command run on a test-double backend) against
// the acknowledged protocol (each message recorded in the job store file and
// receipted). Both run in the same process; the ratio is reported as a counter.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <atomic>

#include "CLS_ModuleBurn.h"
#include "CLS_TestBackend.h"

namespace
{
constexpr int n_Kind = 9;
constexpr int n_EventsEvery = 64;

QString Message(const QString& _qstrCmd, const QString& _qstrJobId, qint64 _llMsgId, bool _blTimestamped)
{
    QJsonObject qjsonMsg{{"token", "tk"}, {"platform", "bench"}, {"sender", "client"},
                         {"msgId", QString::number(_llMsgId)}, {"cmdtype", "request"},
                         {"param", QJsonObject{{"cmd", _qstrCmd}, {"ret", 0},
                                               {"param", QJsonObject{{"JobId", _qstrJobId}, {"BurnDev", n_Kind},
                                                                     {"LabelInfo", QJsonObject{{"UpperOne", "x"}}}}}}}};
    if (_blTimestamped)
        qjsonMsg.insert(QStringLiteral("timestamp"), QString::number(1733400000000LL + _llMsgId));
    return QString::fromUtf8(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact));
}

// One plug-in object, a registered job on the test double, and a count of what
// reached the host.
struct GatewayRig
{
    GatewayRig()
    {
        QDir::setCurrent(qtmpDir.path());
        CLS_AutoBase::InstallInstance(n_Kind, pBackend);
        pModule = new CLS_ModuleBurn(QString());
        QObject::connect(pModule, &CLS_ModuleBase::SignSendMsgWithWebSocket, [this](int, QString) { ++iOut; });
        Deliver(Message(QStringLiteral("ApplyBurn"), QStringLiteral("BENCH"), 0, false));
        while (pBackend->Calls(QStringLiteral("InquestBurn")).isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    void Deliver(const QString& _qstrMsg)
    {
        pModule->DealModuleRequest(17, QStringLiteral("BurnModule"), _qstrMsg, false);
    }

    QTemporaryDir qtmpDir;
    CLS_TestBackend* pBackend = new CLS_TestBackend;  // bus threads may call it to the end
    CLS_ModuleBurn* pModule = nullptr;
    std::atomic<long long> iOut{0};
};

GatewayRig& Rig()
{
    static GatewayRig* s_pRig = new GatewayRig;
    return *s_pRig;
}

double s_dDirectPerSecond = 0;

void Run(benchmark::State& _state, bool _blTimestamped)
{
    GatewayRig& rig = Rig();
    static qint64 s_llMsgId = 1;
    for (auto _ : _state) {
        rig.Deliver(Message(QStringLiteral("WriteLabel"), QStringLiteral("BENCH"), ++s_llMsgId, _blTimestamped));
        if (s_llMsgId % n_EventsEvery == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    _state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(_state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DirectProtocol(benchmark::State& _state)
{
    Run(_state, false);
    s_dDirectPerSecond = _state.counters["msgs_per_s"];
}

void BM_AcknowledgedProtocol(benchmark::State& _state)
{
    Run(_state, true);
    if (s_dDirectPerSecond > 0)
        _state.counters["ratio_to_direct"] = _state.counters["msgs_per_s"] / s_dDirectPerSecond;
}
}  // namespace

BENCHMARK(BM_DirectProtocol)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_AcknowledgedProtocol)->MinTime(3.0)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("BURNMODULE_TIME_SCALE", "0.01");
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false");
    QCoreApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
