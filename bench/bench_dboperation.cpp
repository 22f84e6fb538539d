// Costs of the job store: the gateway's receipt path against the same statements on one
// raw SQLite connection, and the restart and clean-up queries on a store of 1,000 and
// of 100,000 jobs. Ratios are computed in the same run and reported as counters.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "CLS_DBOperation.h"

namespace
{
using Clock = std::chrono::steady_clock;

const int n_UnackedJobs = 50;      // finished jobs whose final delivery is unconfirmed
const int n_UnackedPerJob = 2;     // unconfirmed replies each: 100 in every store
const int n_RunningJobs = 20;      // unfinished jobs with an unconfirmed reply each, in every store
const int n_ExpiredPerRound = 100;  // jobs the clean-up finds expired in each round
const char* const s_aszCmds[] = {"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};

std::string Head(const std::string& _strMsgId)
{
    return R"({"token":"tk-0001","platform":"web","sender":"client-7","msgId":")" + _strMsgId +
           R"(","cmdtype":"req","timestamp":"1733400000000"})";
}

std::string Param(const std::string& _strJobId, const std::string& _strMsgId)
{
    return R"({"JobId":")" + _strJobId + R"(","BurnDev":7,"Copies":1,"CDType":"DVD 4.7GB","msgId":")" + _strMsgId +
           R"("})";
}

// One raw SQLite connection with prepared statements kept for its whole life.
class CLS_RawStore
{
public:
    explicit CLS_RawStore(const std::string& _strPath)
    {
        if (sqlite3_open(_strPath.c_str(), &m_pDb) != SQLITE_OK)
            std::fprintf(stderr, "open %s: %s\n", _strPath.c_str(), sqlite3_errmsg(m_pDb));
        sqlite3_busy_timeout(m_pDb, 10000);
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
    }
    ~CLS_RawStore()
    {
        for (auto& itStmt : m_mapStmts)
            sqlite3_finalize(itStmt.second);
        sqlite3_close(m_pDb);
    }
    CLS_RawStore(const CLS_RawStore&) = delete;
    CLS_RawStore& operator=(const CLS_RawStore&) = delete;

    bool Exec(const char* _szSql)
    {
        char* szErr = nullptr;
        if (sqlite3_exec(m_pDb, _szSql, nullptr, nullptr, &szErr) == SQLITE_OK)
            return true;
        std::fprintf(stderr, "%s: %s\n", _szSql, szErr ? szErr : "?");
        sqlite3_free(szErr);
        return false;
    }

    // Binds texts and integers in order, steps once; true when a row came back.
    template <typename... Values>
    bool Step(const char* _szSql, const Values&... _values)
    {
        sqlite3_stmt* pStmt = Statement(_szSql);
        int iIndex = 0;
        (Bind(pStmt, ++iIndex, _values), ...);
        const int iRc = sqlite3_step(pStmt);
        if (iRc != SQLITE_ROW && iRc != SQLITE_DONE)
            std::fprintf(stderr, "%s: %s\n", _szSql, sqlite3_errmsg(m_pDb));
        sqlite3_reset(pStmt);
        sqlite3_clear_bindings(pStmt);
        return iRc == SQLITE_ROW;
    }

    long long Count(const char* _szSql)
    {
        sqlite3_stmt* pStmt = Statement(_szSql);
        const long long llCount = sqlite3_step(pStmt) == SQLITE_ROW ? sqlite3_column_int64(pStmt, 0) : -1;
        sqlite3_reset(pStmt);
        return llCount;
    }

    void InsertJob(const std::string& _strJobId, int _iState, const std::string& _strCreated, int _iFinalAck,
                   int _iUnackedReplies, bool _blTimedOut)
    {
        Step("INSERT INTO job_table VALUES(?,?,?,?)", _strJobId, _iState, _strCreated, _iFinalAck);
        for (int i = 0; i < 2; ++i) {
            const std::string strMsgId = _strJobId + "-m" + std::to_string(i);
            Step("INSERT INTO cmd_table VALUES(?,?,?,?)", _strJobId, std::string(s_aszCmds[i]), Head(strMsgId),
                 strMsgId);
            Step("INSERT INTO job_item_table VALUES(?,?,?,?,?,?)", _strJobId, std::string(s_aszCmds[i]),
                 Param(_strJobId, strMsgId), std::string(), 1, std::string());
            Step("INSERT INTO job_item_table VALUES(?,?,?,?,?,?)", _strJobId, std::string(s_aszCmds[i]) + "Reply",
                 std::string(), "send:" + strMsgId, i < _iUnackedReplies ? -1 : 1, std::string());
        }
        if (_blTimedOut)
            Step("INSERT INTO msg_timeout_table VALUES(?,?)", _strJobId, std::string("timed out"));
    }

private:
    sqlite3_stmt* Statement(const char* _szSql)
    {
        sqlite3_stmt*& pStmt = m_mapStmts[_szSql];
        if (!pStmt && sqlite3_prepare_v3(m_pDb, _szSql, -1, SQLITE_PREPARE_PERSISTENT, &pStmt, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "%s: %s\n", _szSql, sqlite3_errmsg(m_pDb));
        return pStmt;
    }
    static void Bind(sqlite3_stmt* _pStmt, int _iIndex, const std::string& _strValue)
    {
        sqlite3_bind_text(_pStmt, _iIndex, _strValue.c_str(), static_cast<int>(_strValue.size()), SQLITE_TRANSIENT);
    }
    static void Bind(sqlite3_stmt* _pStmt, int _iIndex, int _iValue) { sqlite3_bind_int(_pStmt, _iIndex, _iValue); }

    sqlite3* m_pDb = nullptr;
    std::map<std::string, sqlite3_stmt*> m_mapStmts;
};

// A store in a folder of its own; the module finds it as "burnmodule.db" in the current
// directory, so every benchmark enters its folder first.
struct StoreDir
{
    QTemporaryDir qtmpDir;
    std::unique_ptr<CLS_RawStore> pRaw;

    StoreDir()
    {
        Enter();
        CLS_DBOperation dbOperation("BurnModule");  // tables and indexes as the module makes them
        pRaw = std::make_unique<CLS_RawStore>(qtmpDir.filePath("burnmodule.db").toStdString());
    }
    void Enter() const { QDir::setCurrent(qtmpDir.path()); }
};

std::map<int, std::unique_ptr<StoreDir>> s_mapStores;
std::map<std::string, double> s_mapSecondsPerOp;

std::string Now()
{
    return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

// Finished, confirmed jobs fill the store; the same unconfirmed and running jobs sit in
// every size. Built in one raw transaction.
StoreDir& SizedStore(int _iJobs)
{
    std::unique_ptr<StoreDir>& pStore = s_mapStores[_iJobs];
    if (pStore)
        return *pStore;
    pStore = std::make_unique<StoreDir>();
    CLS_RawStore& rawStore = *pStore->pRaw;
    const std::string strNow = Now();
    rawStore.Exec("BEGIN");
    for (int i = 0; i < _iJobs; ++i)
        rawStore.InsertJob("done-" + std::to_string(i), 3, strNow, 1, 0, false);
    for (int i = 0; i < n_UnackedJobs; ++i)
        rawStore.InsertJob("unacked-" + std::to_string(i), 3, strNow, -1, n_UnackedPerJob, false);
    for (int i = 0; i < n_RunningJobs; ++i)
        rawStore.InsertJob("running-" + std::to_string(i), -1, strNow, -1, 1, false);
    rawStore.Exec("COMMIT");
    rawStore.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return *pStore;
}

// Reports seconds per operation and, once the reference has run, the ratio to it.
void ReportRatio(benchmark::State& _state, const std::string& _strName, const std::string& _strReference,
                 const char* _szCounter, double _dSeconds)
{
    const double dPerOp = _dSeconds / static_cast<double>(_state.iterations());
    s_mapSecondsPerOp[_strName] = dPerOp;
    const auto itReference = s_mapSecondsPerOp.find(_strReference);
    if (!_strReference.empty() && itReference != s_mapSecondsPerOp.end())
        _state.counters[_szCounter] = dPerOp / itReference->second;
}

BurnMsgInfo Message(long long _llSeq)
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrJobId = QStringLiteral("job-%1").arg(_llSeq / 5);
    stMsgInfo.qstrMsgId = QStringLiteral("m-%1").arg(_llSeq);
    stMsgInfo.qstrCmd = QString::fromLatin1(s_aszCmds[_llSeq % 5]);
    stMsgInfo.qstrHead = QString::fromStdString(Head(stMsgInfo.qstrMsgId.toStdString()));
    stMsgInfo.qstrCmdParam =
        QString::fromStdString(Param(stMsgInfo.qstrJobId.toStdString(), stMsgInfo.qstrMsgId.toStdString()));
    return stMsgInfo;
}

// The same statements as the module's receipt path, prepared once on one connection,
// one transaction per message.
void ReceiveRaw(CLS_RawStore& _rawStore, const BurnMsgInfo& _stMsgInfo)
{
    const std::string strJobId = _stMsgInfo.qstrJobId.toStdString();
    const std::string strMsgId = _stMsgInfo.qstrMsgId.toStdString();
    const std::string strCmd = _stMsgInfo.qstrCmd.toStdString();
    const bool blExists = _rawStore.Step("SELECT * FROM cmd_table WHERE jobid=? AND msgid=?", strJobId, strMsgId);
    _rawStore.Exec("BEGIN IMMEDIATE");
    if (!_rawStore.Step("SELECT * FROM job_table WHERE jobid=?", strJobId))
        _rawStore.Step("INSERT INTO job_table VALUES(?,?,?,?)", strJobId, -1, Now(), -1);
    if (!blExists) {
        _rawStore.Step("INSERT INTO cmd_table VALUES(?,?,?,?)", strJobId, strCmd, _stMsgInfo.qstrHead.toStdString(),
                       strMsgId);
        _rawStore.Step("INSERT INTO job_item_table VALUES(?,?,?,?,?,?)", strJobId, strCmd,
                       _stMsgInfo.qstrCmdParam.toStdString(), std::string(), 1, std::string());
    }
    _rawStore.Exec("COMMIT");
}

// The gateway's receipt: a fresh object per message, IsMsgExist then InsertMsgInfo.
void ReceiveModule(const BurnMsgInfo& _stMsgInfo)
{
    CLS_DBOperation dbOperation(QStringLiteral("BurnModule"));
    const bool blExists = dbOperation.IsMsgExist(_stMsgInfo.qstrJobId, _stMsgInfo.qstrMsgId);
    dbOperation.InsertMsgInfo(_stMsgInfo, blExists);
}

void BM_ReceiptRawSqlite(benchmark::State& _state)
{
    static StoreDir s_store;
    CLS_RawStore& rawStore = *s_store.pRaw;
    static long long s_llSeq = 0;
    const auto tpStart = Clock::now();
    for (auto _ : _state)
        ReceiveRaw(rawStore, Message(s_llSeq++));
    ReportRatio(_state, "receipt_raw", "", "", std::chrono::duration<double>(Clock::now() - tpStart).count());
    _state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(_state.iterations()),
                                                       benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiptRawSqlite)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();

void BM_ReceiptModule(benchmark::State& _state)
{
    static StoreDir s_store;
    s_store.Enter();
    static long long s_llSeq = 0;
    const auto tpStart = Clock::now();
    for (auto _ : _state)
        ReceiveModule(Message(s_llSeq++));
    ReportRatio(_state, "receipt_module", "receipt_raw", "vs_raw",
                std::chrono::duration<double>(Clock::now() - tpStart).count());
    _state.counters["msgs_per_s"] = benchmark::Counter(static_cast<double>(_state.iterations()),
                                                       benchmark::Counter::kIsRate);
    if (s_store.pRaw->Count("SELECT COUNT(*) FROM cmd_table") != s_llSeq)
        _state.SkipWithError("not every message was recorded");
}
BENCHMARK(BM_ReceiptModule)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();

// Both paths in turn, each on its own store, so that changes in the disk's latency over
// the run weigh on both alike: one iteration is one message through each.
void BM_ReceiptRatio(benchmark::State& _state)
{
    static StoreDir s_storeRaw;
    static StoreDir s_storeModule;
    s_storeModule.Enter();
    static long long s_llSeq = 0;
    double dRawSeconds = 0;
    double dModuleSeconds = 0;
    for (auto _ : _state) {
        const BurnMsgInfo stMsgInfo = Message(s_llSeq++);
        const auto tpStart = Clock::now();
        ReceiveRaw(*s_storeRaw.pRaw, stMsgInfo);
        const auto tpMiddle = Clock::now();
        ReceiveModule(stMsgInfo);
        dRawSeconds += std::chrono::duration<double>(tpMiddle - tpStart).count();
        dModuleSeconds += std::chrono::duration<double>(Clock::now() - tpMiddle).count();
    }
    const double dIterations = static_cast<double>(_state.iterations());
    _state.counters["raw_us"] = dRawSeconds / dIterations * 1e6;
    _state.counters["module_us"] = dModuleSeconds / dIterations * 1e6;
    _state.counters["module_msgs_per_s"] = dIterations / dModuleSeconds;
    _state.counters["vs_raw"] = dModuleSeconds / dRawSeconds;
}
BENCHMARK(BM_ReceiptRatio)->Unit(benchmark::kMicrosecond)->MinTime(5.0)->UseRealTime();

// Restart: the unconfirmed replies of finished and running jobs, on a fresh object.
void BM_GetUnackedResponses(benchmark::State& _state)
{
    const int iJobs = static_cast<int>(_state.range(0));
    SizedStore(iJobs).Enter();
    const auto tpStart = Clock::now();
    for (auto _ : _state) {
        CLS_DBOperation dbOperation(QStringLiteral("BurnModule"));
        const QStringList qstrlstReplies = dbOperation.GetUnackedResponses();
        if (qstrlstReplies.size() != n_UnackedJobs * n_UnackedPerJob + n_RunningJobs) {
            _state.SkipWithError("wrong number of unconfirmed replies");
            break;
        }
    }
    const std::chrono::duration<double> durElapsed = Clock::now() - tpStart;
    ReportRatio(_state, "unacked_" + std::to_string(iJobs), iJobs == 1000 ? "" : "unacked_1000", "vs_1000_jobs",
                durElapsed.count());
}
BENCHMARK(BM_GetUnackedResponses)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();

// Clean-up: each round plants 100 expired, finished, confirmed jobs (untimed) and
// deletes them with a fresh object.
void BM_DeleteExpiredJobs(benchmark::State& _state)
{
    const int iJobs = static_cast<int>(_state.range(0));
    StoreDir& store = SizedStore(iJobs);
    store.Enter();
    static long long s_llRound = 0;
    double dSeconds = 0;
    for (auto _ : _state) {
        _state.PauseTiming();
        store.pRaw->Exec("BEGIN");
        for (int i = 0; i < n_ExpiredPerRound; ++i)
            store.pRaw->InsertJob("old-" + std::to_string(s_llRound) + "-" + std::to_string(i), 3,
                                  "2000-01-01 12:00:00", 1, 0, true);
        store.pRaw->Exec("COMMIT");
        ++s_llRound;
        _state.ResumeTiming();
        const auto tpStart = Clock::now();
        CLS_DBOperation(QStringLiteral("BurnModule")).DeleteExpiredJobs(7);
        dSeconds += std::chrono::duration<double>(Clock::now() - tpStart).count();
        _state.PauseTiming();
        const bool blLeft = store.pRaw->Count("SELECT COUNT(*) FROM job_table WHERE job_create_time < '2001'") != 0;
        _state.ResumeTiming();
        if (blLeft) {
            _state.SkipWithError("expired jobs were left");
            break;
        }
    }
    ReportRatio(_state, "expired_" + std::to_string(iJobs), iJobs == 1000 ? "" : "expired_1000", "vs_1000_jobs",
                dSeconds);
}
BENCHMARK(BM_DeleteExpiredJobs)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();
}  // namespace

int main(int _iArgc, char** _ppArgv)
{
    QCoreApplication qapp(_iArgc, _ppArgv);
    // Every object writes two Qt info lines; the host routes them, the benchmark drops them.
    QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    const QString qstrStartDir = QDir::currentPath();
    benchmark::Initialize(&_iArgc, _ppArgv);
    if (benchmark::ReportUnrecognizedArguments(_iArgc, _ppArgv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir::setCurrent(qstrStartDir);
    s_mapStores.clear();
    return 0;
}
