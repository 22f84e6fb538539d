// The archive backend's AddFile copying about 1 GiB of mixed files (thousands of small
// ones, a few large ones) into a pool folder on the same file system, against `cp -r`
// of the same tree, in turns in one run; and the copy methods side by side (QFile::copy,
// sendfile, a read/write loop, and the automatic choice) against the same baseline.
// The pool is served by odasim. Ratios are reported as counters.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "FileOpt/FileCopy.h"
#include "Oda/CLS_AutoOda.h"

namespace
{
struct BenchState
{
    QTemporaryDir qtmpDir;
    QString qstrTree;
    QString qstrPool;
    qint64 llBytes = 0;
    QProcess qprocSim;
    std::unique_ptr<CLS_AutoOda> pBackend;
};

BenchState& State()
{
    static BenchState s_state;
    return s_state;
}

// odasim on any free port; its port, or 0.
int StartSimulator()
{
    BenchState& st = State();
    st.qprocSim.start(QCoreApplication::applicationDirPath() + "/odasim",
                      {"--port", "0", "--pool", "P1=" + st.qstrPool});
    QByteArray qbaOut;
    const QRegularExpression qregReady("ready url=http://127.0.0.1:(\\d+) ");
    while (st.qprocSim.waitForReadyRead(10000)) {
        qbaOut += st.qprocSim.readAllStandardOutput();
        if (qregReady.match(qbaOut).hasMatch())
            return qregReady.match(qbaOut).captured(1).toInt();
    }
    return 0;
}

bool SetUp()
{
    BenchState& st = State();
    if (st.pBackend)
        return true;
    st.qstrTree = st.qtmpDir.filePath("tree");
    st.qstrPool = st.qtmpDir.filePath("pool");
    st.llBytes = WriteMixedTree(st.qstrTree);
    const int iPort = StartSimulator();
    st.pBackend = std::make_unique<CLS_AutoOda>(4);
    BurnResultInfo stResult;
    const std::string strReq = QStringLiteral(R"({"DevPort":%1,"poolCode":"P1"})").arg(iPort).toStdString();
    return iPort > 0 && st.pBackend->InquestBurn("BENCH_1", 1, 1, strReq, &stResult) == 0;
}

// One AddFile of the tree; seconds, or -1 when it failed.
double OurAddFile()
{
    BurnFileTask stTask{"BENCH_1", {{State().qstrTree.toStdString(), "/tree"}}};
    BurnResultInfo stResult;
    QElapsedTimer qtimer;
    qtimer.start();
    const int iRet = State().pBackend->AddFile("BENCH_1", stTask, &stResult);
    return iRet == 0 ? qtimer.nsecsElapsed() / 1e9 : -1;
}

// Every file of the tree copied with one method into a fresh folder; seconds or -1.
double CopyTree(FileCopyMethod _eMethod, const QString& _qstrDst)
{
    QElapsedTimer qtimer;
    qtimer.start();
    QDirIterator qdirIt(State().qstrTree, QDir::Files, QDirIterator::Subdirectories);
    while (qdirIt.hasNext()) {
        const QString qstrSrc = qdirIt.next();
        const QString qstrTarget = _qstrDst + qstrSrc.mid(State().qstrTree.size());
        QDir().mkpath(QFileInfo(qstrTarget).path());
        FileCopyError stError;
        if (!CopyFileContents(qstrSrc, qstrTarget, &stError, _eMethod))
            return -1;
    }
    return qtimer.nsecsElapsed() / 1e9;
}

double CpTree(const QString& _qstrDst)
{
    const double dSeconds = RunProgram("cp", {"-r", State().qstrTree, _qstrDst});
    QDir(_qstrDst).removeRecursively();
    return dSeconds;
}

void BM_AddFile(benchmark::State& _state)
{
    if (!SetUp())
        return _state.SkipWithError("the archive simulator did not serve the pool");
    const QString qstrJobDir = State().qstrPool + "/BENCH_1";
    double dOurs = 0;
    double dCp = 0;
    for (auto _ : _state) {
        SettleDisk();
        dOurs += OurAddFile();
        QDir(qstrJobDir).removeRecursively();
        SettleDisk();
        dCp += CpTree(State().qstrPool + "/cp");
    }
    ReportRatio(_state, State().llBytes, "addfile_MiBps", dOurs, "cp_MiBps", dCp);
}

void BM_CopyMethod(benchmark::State& _state)
{
    if (!SetUp())
        return _state.SkipWithError("the archive simulator did not serve the pool");
    const auto eMethod = static_cast<FileCopyMethod>(_state.range(0));
    const QString qstrDst = State().qstrPool + "/method";
    double dOurs = 0;
    double dCp = 0;
    for (auto _ : _state) {
        SettleDisk();
        dOurs += CopyTree(eMethod, qstrDst);
        QDir(qstrDst).removeRecursively();
        SettleDisk();
        dCp += CpTree(State().qstrPool + "/cp");
    }
    ReportRatio(_state, State().llBytes, "method_MiBps", dOurs, "cp_MiBps", dCp);
}

BENCHMARK(BM_AddFile)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyMethod)
    ->ArgName("method")  // 0 automatic, 1 QFile::copy, 2 sendfile, 3 read/write
    ->DenseRange(0, 3)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    State().qprocSim.kill();
    State().qprocSim.waitForFinished();
    State().pBackend.reset();
    return 0;
}
