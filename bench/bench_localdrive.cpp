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
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "BenchSupport.h"
#include "BurnSdkIOCTL.h"
#include "IsoImage.h"

namespace
{
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

void SetUp()
{
    BenchState& st = State();
    if (!st.qstrTree.isEmpty())
        return;
    qputenv("BURNMODULE_SCAN_DRIVES", "0");
    qputenv("BURNMODULE_VERIFY_BURN", "0");
    st.qstrTree = st.qtmpDir.filePath("tree");
    st.llBytes = WriteMixedTree(st.qstrTree);
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
    ReportRatio(_state, State().llBytes, "ours_MiBps", dOurs, "xorriso_MiBps", dTheirs);
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
    ReportRatio(_state, State().llBytes, "ours_MiBps", dOurs, "md5sum_MiBps", dTheirs);
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
