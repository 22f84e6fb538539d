// What the file benchmarks share: a tree of mixed files, timing a program, and the
// throughput counters with the ratio against a baseline run in the same process.
#pragma once

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

// About 1 GiB: 4,000 small files (4 to 64 KiB) in 40 folders and four of 220 MiB.
// Returns the bytes written.
inline qint64 WriteMixedTree(const QString& _qstrTree)
{
    constexpr int n_SmallFiles = 4000;
    constexpr int n_LargeFiles = 4;
    constexpr qint64 n_LargeBytes = 220LL << 20;
    qint64 llBytes = 0;
    QByteArray qbaChunk(1 << 20, '\0');
    for (char& c : qbaChunk)
        c = char(QRandomGenerator::global()->generate());
    for (int iFile = 0; iFile < n_SmallFiles; ++iFile) {
        const QString qstrPath = QStringLiteral("%1/d%2/f%3.bin").arg(_qstrTree).arg(iFile % 40).arg(iFile);
        QDir().mkpath(QFileInfo(qstrPath).path());
        QFile qfile(qstrPath);
        const int iSize = 4096 + iFile * 7919 % 61440;
        qfile.open(QIODevice::WriteOnly);
        llBytes += qfile.write(qbaChunk.constData() + iFile % 1000, iSize);
    }
    for (int iFile = 0; iFile < n_LargeFiles; ++iFile) {
        QFile qfile(QStringLiteral("%1/large%2.mp4").arg(_qstrTree).arg(iFile));
        qfile.open(QIODevice::WriteOnly);
        for (qint64 llDone = 0; llDone < n_LargeBytes; llDone += qbaChunk.size())
            llBytes += qfile.write(qbaChunk);
    }
    return llBytes;
}

// Writes back what earlier runs left dirty, so that each timed copy starts from a
// quiet disk and is not charged for another's write-back.
inline void SettleDisk()
{
    QProcess::execute(QStringLiteral("sync"), {});
}

// Seconds the program ran, or -1 when it failed.
inline double RunProgram(const QString& _qstrProgram, const QStringList& _qlstArgs)
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

// The times are sums over the iterations; "ratio" is our throughput over the baseline's.
inline void ReportRatio(benchmark::State& _state, qint64 _llBytes, const char* _szOurs, double _dOurs,
                        const char* _szBase, double _dBase)
{
    const double dMiB = _llBytes / double(1 << 20) * double(_state.iterations());
    _state.counters[_szOurs] = dMiB / _dOurs;
    _state.counters[_szBase] = dMiB / _dBase;
    _state.counters["ratio"] = _dBase / _dOurs;
    _state.counters["MiB"] = _llBytes / double(1 << 20);
}
