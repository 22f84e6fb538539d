// The drive library writing a disc image of about 1 GiB of mixed files (thousands of
// small ones, a few large ones) to an image-file drive, against xorriso writing the
// same tree (`xorriso -as mkisofs -R -J -o`), alternating in one run; and its read-back
// check against md5sum of the same files. Ratios are reported as counters.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "BurnSdkIOCTL.h"
#include "IsoImage.h"

namespace
{
constexpr int n_SmallFiles = 4000;
constexpr int n_LargeFiles = 4;
constexpr qint64 n_LargeBytes = 220LL << 20;

struct BenchState
{
    QTemporaryDir qtmpDir;
    QString qstrTree;
    qint64 llBytes = 0;
    QLibrary qlib;
    std::mutex mutex;
    std::condition_variable cvDone;
    int iLastCode = 0;
    bool blDone = false;
};

BenchState& State()
{
    static BenchState s_state;
    return s_state;
}

void OnMessage(const char* _szMsg, void*)
{
    BenchState& st = State();
    std::lock_guard<std::mutex> lock(st.mutex);
    st.iLastCode = QByteArray(_szMsg).contains("\"code\":1,") ? 1 : 0;
    st.blDone = true;
    st.cvDone.notify_all();
}

void WriteTree()
{
    BenchState& st = State();
    st.qstrTree = st.qtmpDir.filePath("tree");
    QByteArray qbaChunk(1 << 20, '\0');
    for (char& c : qbaChunk)
        c = char(QRandomGenerator::global()->generate());
    for (int iFile = 0; iFile < n_SmallFiles; ++iFile) {
        const QString qstrPath = QStringLiteral("%1/d%2/f%3.bin").arg(st.qstrTree).arg(iFile % 40).arg(iFile);
        QDir().mkpath(QFileInfo(qstrPath).path());
        QFile qfile(qstrPath);
        const int iSize = 4096 + iFile * 7919 % 61440;
        qfile.open(QIODevice::WriteOnly);
        st.llBytes += qfile.write(qbaChunk.constData() + iFile % 1000, iSize);
    }
    for (int iFile = 0; iFile < n_LargeFiles; ++iFile) {
        QFile qfile(QStringLiteral("%1/large%2.mp4").arg(st.qstrTree).arg(iFile));
        qfile.open(QIODevice::WriteOnly);
        for (qint64 llDone = 0; llDone < n_LargeBytes; llDone += qbaChunk.size())
            st.llBytes += qfile.write(qbaChunk);
    }
}

void SetUp()
{
    BenchState& st = State();
    if (!st.qstrTree.isEmpty())
        return;
    qputenv("BURNMODULE_SCAN_DRIVES", "0");
    qputenv("BURNMODULE_VERIFY_BURN", "0");
    WriteTree();
    st.qlib.setFileName(QCoreApplication::applicationDirPath() + "/BurnSdkIOCTL.dll");
    st.qlib.load();
    reinterpret_cast<int (*)()>(st.qlib.resolve("Init"))();
    reinterpret_cast<void (*)(PFN_IoCtrlCallBack, void*)>(st.qlib.resolve("SetBurnCallBack"))(&OnMessage, nullptr);
}

// One burn of the tree into the image file; seconds, or -1 when it failed.
double OurBurn(const QString& _qstrImage)
{
    BenchState& st = State();
    QFile::remove(_qstrImage);
    QElapsedTimer qtimer;
    qtimer.start();
    const int iGroup = reinterpret_cast<int (*)(std::vector<std::string>)>(st.qlib.resolve("SetBurnGroup"))(
        {("stdio:" + _qstrImage).toStdString()});
    reinterpret_cast<int (*)(std::string, std::string, int)>(st.qlib.resolve("AddFile"))(
        st.qstrTree.toStdString(), "/", iGroup);
    std::unique_lock<std::mutex> lock(st.mutex);
    st.blDone = false;
    reinterpret_cast<int (*)(int)>(st.qlib.resolve("EndBurn"))(iGroup);
    st.cvDone.wait(lock, [&] { return st.blDone; });
    return st.iLastCode == 1 ? qtimer.nsecsElapsed() / 1e9 : -1;
}

double RunProgram(const QString& _qstrProgram, const QStringList& _qlstArgs)
{
    QElapsedTimer qtimer;
    qtimer.start();
    QProcess qproc;
    qproc.setStandardOutputFile(QProcess::nullDevice());
    qproc.setStandardErrorFile(QProcess::nullDevice());
    qproc.start(_qstrProgram, _qlstArgs);
    qproc.waitForFinished(-1);
    return qproc.exitCode() == 0 ? qtimer.nsecsElapsed() / 1e9 : -1;
}

void ReportRatio(benchmark::State& _state, const char* _szOurs, double _dOurs, const char* _szBase, double _dBase)
{
    // The times are sums over the iterations.
    const double dMiB = State().llBytes / double(1 << 20) * double(_state.iterations());
    _state.counters[_szOurs] = dMiB / _dOurs;
    _state.counters[_szBase] = dMiB / _dBase;
    _state.counters["ratio"] = _dBase / _dOurs;  // our throughput over the baseline's
    _state.counters["MiB"] = State().llBytes / double(1 << 20);
}

// Image build and write, ours and xorriso's, in turns.
void BM_ImageWrite(benchmark::State& _state)
{
    SetUp();
    const QString qstrOurs = State().qtmpDir.filePath("ours.iso");
    const QString qstrTheirs = State().qtmpDir.filePath("xorriso.iso");
    double dOurs = 0;
    double dTheirs = 0;
    for (auto _ : _state) {
        dOurs += OurBurn(qstrOurs);
        QFile::remove(qstrTheirs);
        dTheirs += RunProgram("xorriso", {"-as", "mkisofs", "-R", "-J", "-o", qstrTheirs, State().qstrTree});
    }
    ReportRatio(_state, "ours_MiBps", dOurs, "xorriso_MiBps", dTheirs);
}

// The read-back check of the written image against md5sum over the same files.
void BM_Verify(benchmark::State& _state)
{
    SetUp();
    const QString qstrImage = State().qtmpDir.filePath("ours.iso");
    if (!QFile::exists(qstrImage))
        OurBurn(qstrImage);
    // What the burn recorded for each file, taken here outside the timing.
    std::map<std::string, std::string> mapMd5s;
    QStringList qlstPaths;
    QDirIterator it(State().qstrTree, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        qlstPaths << it.next();
        QFile qfile(qlstPaths.last());
        qfile.open(QIODevice::ReadOnly);
        QCryptographicHash qhash(QCryptographicHash::Md5);
        qhash.addData(&qfile);
        mapMd5s[qlstPaths.last().mid(State().qstrTree.size()).toStdString()] = qhash.result().toHex().toStdString();
    }
    InitIsoLibrary();
    double dOurs = 0;
    double dTheirs = 0;
    for (auto _ : _state) {
        QElapsedTimer qtimer;
        qtimer.start();
        IsoDataSource* pSource = nullptr;
        iso_data_source_new_from_file(qstrImage.toUtf8().constData(), &pSource);
        QFile qfileImage(qstrImage);
        qfileImage.open(QIODevice::ReadOnly);
        const DiscReader fnRead = [&](long long _llOffset, char* _pBuffer, size_t _uSize) {
            return qfileImage.seek(_llOffset) && qfileImage.read(_pBuffer, qint64(_uSize)) == qint64(_uSize);
        };
        if (!VerifyImage(pSource, fnRead, mapMd5s).empty())
            _state.SkipWithError("the image differs from its sources");
        iso_data_source_unref(pSource);
        dOurs += qtimer.nsecsElapsed() / 1e9;
        dTheirs += RunProgram("md5sum", qlstPaths);
    }
    ReportRatio(_state, "ours_MiBps", dOurs, "md5sum_MiBps", dTheirs);
}

BENCHMARK(BM_ImageWrite)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Verify)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
