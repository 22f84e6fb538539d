// The job store: what each operation records and returns, the clean-up rules, the
// recovery lists, concurrent writers, hostile ids and missing, removed or damaged store
// files. Every test runs in a fresh temporary folder, where "burnmodule.db" is created.
#include <QtTest>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>

#include "CLS_DBOperation.h"
#include "LogRecorder.h"

namespace
{
using Rows = QList<QVariantList>;
using Reader = QString (CLS_DBOperation::*)(const QString&, int);

// Runs one statement on a connection of the test's own, outside the module: the rows it
// answers (none for a write), or one row with the error when it fails.
Rows Sql(const QString& _qstrSql, const QVariantList& _qvarlstValues = {})
{
    static QAtomicInt s_iNext;
    const QString qstrName = QStringLiteral("inspect_%1").arg(s_iNext.fetchAndAddRelaxed(1));
    Rows rows;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), qstrName);
        qsqlDb.setDatabaseName(QStringLiteral("burnmodule.db"));
        qsqlDb.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery qsqlQuery(qsqlDb);
        bool blOk = qsqlDb.open() && qsqlQuery.prepare(_qstrSql);
        for (int i = 0; blOk && i < _qvarlstValues.size(); ++i)
            qsqlQuery.bindValue(i, _qvarlstValues.at(i));
        if (!blOk || !qsqlQuery.exec())
            rows << QVariantList{QStringLiteral("failed: ") + qsqlQuery.lastError().text()};
        while (qsqlQuery.next()) {
            QVariantList qvarlstRow;
            for (int i = 0; i < qsqlQuery.record().count(); ++i)
                qvarlstRow << qsqlQuery.value(i);
            rows << qvarlstRow;
        }
    }
    QSqlDatabase::removeDatabase(qstrName);
    return rows;
}

// Rows of the job in job_table, cmd_table, job_item_table and msg_timeout_table.
QList<int> TableCounts(const QString& _qstrJobId)
{
    QList<int> lstCounts;
    for (const char* szTable : {"job_table", "cmd_table", "job_item_table", "msg_timeout_table"})
        lstCounts << Sql(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE jobid=?").arg(szTable), {_qstrJobId})
                         .value(0).value(0).toInt();
    return lstCounts;
}

Rows AllRows()
{
    return Sql("SELECT * FROM job_table") + Sql("SELECT * FROM cmd_table") + Sql("SELECT * FROM job_item_table")
        + Sql("SELECT * FROM msg_timeout_table");
}

BurnMsgInfo Request(const QString& _qstrJobId, const QString& _qstrMsgId, const QString& _qstrCmd,
                    const QString& _qstrParam = QString(), const QString& _qstrTemp = QString())
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrMsgId = _qstrMsgId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.qstrHead = QStringLiteral(R"({"cmdtype":"req","msgId":"%1"})").arg(_qstrMsgId);
    stMsgInfo.qstrCmdParam = _qstrParam.isNull() ? QStringLiteral(R"({"JobId":"%1"})").arg(_qstrJobId) : _qstrParam;
    stMsgInfo.qstrBurnTempParam = _qstrTemp;
    return stMsgInfo;
}

// The gateway's receipt path, on a fresh object: whether the message was known.
bool Receive(const BurnMsgInfo& _stMsgInfo)
{
    CLS_DBOperation dbOperation(QStringLiteral("BurnModule"));
    const bool blExists = dbOperation.IsMsgExist(_stMsgInfo.qstrJobId, _stMsgInfo.qstrMsgId);
    dbOperation.InsertMsgInfo(_stMsgInfo, blExists);
    return blExists;
}

void SendReply(const QString& _qstrJobId, const QString& _qstrCmd, int _iStatus, const QString& _qstrResponse)
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.iJobState = _iStatus;
    stMsgInfo.qstrResponse = _qstrResponse;
    CLS_DBOperation(QStringLiteral("BurnModule")).InsertResponse(stMsgInfo);
}

// A delivery report: ack 1 delivered, 0 timed out.
void Report(const QString& _qstrJobId, const QString& _qstrCmd, int _iAck, const QString& _qstrText)
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrMsg = _qstrText;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.iAck = _iAck;
    CLS_DBOperation(QStringLiteral("BurnModule")).UpdateAckReceive(stMsgInfo);
}

// A job with rows in all four tables: a request and a final reply that timed out.
void RecordTimedOutJob(const QString& _qstrJobId)
{
    Receive(Request(_qstrJobId, _qstrJobId + "-m1", "ApplyBurn"));
    SendReply(_qstrJobId, "BurnStatusReply", 3, "final");
    Report(_qstrJobId, "BurnStatusReply", 0, "timed out");
}

QStringList ErrorLines()
{
    return LogRecorder::lines().filter(QStringLiteral("Error:"));
}
}  // namespace

// Fails the test with the first error lines of the store, if it logged any.
#define VERIFY_NO_STORE_ERRORS() QVERIFY2(ErrorLines().isEmpty(), qPrintable(ErrorLines().mid(0, 5).join('\n')))

class tst_CLS_DBOperation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        m_qstrStartDir = QDir::currentPath();
        // Every object writes two Qt info lines; thousands of them would bury the report.
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    }
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
        LogRecorder::clear();
    }
    void cleanup()
    {
        QDir::setCurrent(m_qstrStartDir);
        m_pTmpDir.reset();
    }

    void receipt_recordsEachMessageOnce()
    {
        BurnMsgInfo stFirst = Request("J1", "m1", "ApplyBurn", R"({"JobId":"J1","msgId":"m1"})", "whole");
        stFirst.iAck = 0;
        QVERIFY(!Receive(stFirst));
        QCOMPARE(Sql("SELECT jobid, job_state, job_finished_ack_receive FROM job_table"), Rows({{"J1", -1, 0}}));
        const QDateTime qdtCreated =
            QDateTime::fromString(Sql("SELECT job_create_time FROM job_table").value(0).value(0).toString(),
                                  "yyyy-MM-dd HH:mm:ss");
        QVERIFY(qAbs(qdtCreated.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(Sql("SELECT * FROM cmd_table"),
                 Rows({{"J1", "ApplyBurn", R"({"cmdtype":"req","msgId":"m1"})", "m1"}}));
        QCOMPARE(Sql("SELECT * FROM job_item_table"),
                 Rows({{"J1", "ApplyBurn", R"({"JobId":"J1","msgId":"m1"})", "", 1, "whole"}}));

        // A repeated delivery is known and adds nothing; a new message of a known job
        // adds its rows but no job row; the same message id in another job is new.
        QVERIFY(Receive(Request("J1", "m1", "ApplyBurn")));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 1, 0}));
        QVERIFY(!Receive(Request("J1", "m2", "StartBurn")));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 2, 2, 0}));
        QVERIFY(!Receive(Request("J2", "m1", "ApplyBurn")));
        QCOMPARE(TableCounts("J2"), QList<int>({1, 1, 1, 0}));

        // With the exists flag set only a new job's row is written.
        CLS_DBOperation dbOperation("BurnModule");
        dbOperation.InsertMsgInfo(Request("J3", "m9", "StartBurn"), true);
        dbOperation.InsertMsgInfo(Request("J1", "m9", "StartBurn"), true);
        QCOMPARE(TableCounts("J3"), QList<int>({1, 0, 0, 0}));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 2, 2, 0}));
        QVERIFY(dbOperation.IsJobExist("J3"));
        QVERIFY(!dbOperation.IsJobExist("J4"));
        VERIFY_NO_STORE_ERRORS();
    }

    void lastRowWins_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<int>("selector");
        for (const char* szCmd : {"AddFile", "ApplyBurn", "DoBurn", "StartBurn", "WriteLabel"}) {
            QTest::addRow("%s command parameters", szCmd) << szCmd << int(n_DBJobItemColumn_ReqParam);
            QTest::addRow("%s working parameters", szCmd) << szCmd << int(n_DBJobItemColumn_BurnTempParam);
        }
    }
    // A command's readers give the column of its last row (the request's head: its first),
    // empty for an unknown job; the working parameters replace those of every row.
    void lastRowWins()
    {
        QFETCH(QString, cmd);
        QFETCH(int, selector);
        const QMap<QString, Reader> qmapReaders = {
            {"AddFile", &CLS_DBOperation::GetAddFileParam},     {"ApplyBurn", &CLS_DBOperation::GetApplyBurnParam},
            {"DoBurn", &CLS_DBOperation::GetDoBurnParam},       {"StartBurn", &CLS_DBOperation::GetStartBurnParam},
            {"WriteLabel", &CLS_DBOperation::GetWriteLabelParam},
        };
        const Reader pfnRead = qmapReaders.value(cmd);
        const bool blTemp = selector == n_DBJobItemColumn_BurnTempParam;
        // Message ids sort against the order of arrival, so key order cannot pass for it.
        Receive(Request("J1", "m9", cmd, "param-1", "temp-1"));
        Receive(Request("J1", "m5", "Other", "other", "other"));
        Receive(Request("J1", "m1", cmd, "param-2", "temp-2"));
        Receive(Request("J2", "m0", cmd, "param-3", "temp-3"));

        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE((dbOperation.*pfnRead)("J1", selector), blTemp ? "temp-2" : "param-2");
        QCOMPARE(dbOperation.GetJobItemParam("J1", cmd, selector), blTemp ? "temp-2" : "param-2");
        QCOMPARE(dbOperation.GetCmdReqParam("J1", cmd), Request("J1", "m9", cmd).qstrHead);
        QCOMPARE((dbOperation.*pfnRead)("J9", selector), QString());
        QCOMPARE(dbOperation.GetCmdReqParam("J9", cmd), QString());

        BurnMsgInfo stTemp = Request("J1", "", cmd, "", "task-7");
        dbOperation.UpdateBurnTempParam(stTemp);
        QCOMPARE((dbOperation.*pfnRead)("J1", selector), blTemp ? "task-7" : "param-2");
        QCOMPARE(Sql("SELECT burn_temp_param FROM job_item_table WHERE jobid='J1' AND burn_cmd=?", {cmd}),
                 Rows({{"task-7"}, {"task-7"}}));
        QCOMPARE((dbOperation.*pfnRead)("J2", selector), blTemp ? "temp-3" : "param-3");
        QCOMPARE(dbOperation.GetJobItemParam("J1", "Other", n_DBJobItemColumn_BurnTempParam), "other");
        VERIFY_NO_STORE_ERRORS();
    }

    void replyRecordsJobState_data()
    {
        QTest::addColumn<QString>("replyCmd");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("jobState");
        QTest::newRow("progress reply") << "StartBurnReply" << 0 << -1;
        QTest::newRow("reply with status 3 that is no status reply") << "DoBurnReply" << 3 << -1;
        QTest::newRow("any reply with status 4") << "DoBurnReply" << 4 << 4;
        QTest::newRow("status reply finished") << "BurnStatusReply" << 3 << 3;
        QTest::newRow("status reply disc error") << "BurnStatusReply" << 11 << 11;
    }
    // A reply gets its own row; a status reply or a failure (4) sets the job's state.
    void replyRecordsJobState()
    {
        QFETCH(QString, replyCmd);
        QFETCH(int, status);
        QFETCH(int, jobState);
        Receive(Request("J1", "m1", "ApplyBurn"));
        Receive(Request("J2", "m2", "ApplyBurn"));
        SendReply("J1", replyCmd, status, "sent-text");
        QCOMPARE(Sql("SELECT jobid, job_state FROM job_table"), Rows({{"J1", jobState}, {"J2", -1}}));
        QCOMPARE(Sql("SELECT * FROM job_item_table WHERE burn_cmd=?", {replyCmd}),
                 Rows({{"J1", replyCmd, "", "sent-text", -1, ""}}));
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs().contains("J1"), jobState == -1);
        VERIFY_NO_STORE_ERRORS();
    }

    void deliveryReport_data()
    {
        QTest::addColumn<bool>("finished");
        QTest::addColumn<QString>("replyCmd");
        QTest::addColumn<int>("ack");
        QTest::addColumn<int>("jobAck");
        QTest::addColumn<int>("timeoutRows");
        QTest::newRow("running job, delivered") << false << "DoBurnReply" << 1 << -1 << 0;
        QTest::newRow("running job, timed out") << false << "DoBurnReply" << 0 << -1 << 0;
        QTest::newRow("running job, status reply delivered") << false << "BurnStatusReply" << 1 << 1 << 0;
        QTest::newRow("running job, status reply timed out") << false << "BurnStatusReply" << 0 << 0 << 1;
        QTest::newRow("finished job, delivered") << true << "DoBurnReply" << 1 << 1 << 0;
        QTest::newRow("finished job, timed out") << true << "DoBurnReply" << 0 << 0 << 1;
    }
    // The reply's rows of the job take the report; the job's final delivery only for a
    // status reply or a finished job, and a timed-out final delivery is listed.
    void deliveryReport()
    {
        QFETCH(bool, finished);
        QFETCH(QString, replyCmd);
        QFETCH(int, ack);
        QFETCH(int, jobAck);
        QFETCH(int, timeoutRows);
        for (const char* szJobId : {"J1", "J2"}) {
            Receive(Request(szJobId, QStringLiteral("m-") + szJobId, "ApplyBurn"));
            SendReply(szJobId, replyCmd, 0, "sent");
            QCOMPARE(Sql("UPDATE job_table SET job_state=? WHERE jobid=?", {finished ? 3 : -1, szJobId}), Rows());
        }
        Report("J1", replyCmd, ack, "report-text");

        QCOMPARE(Sql("SELECT ack_receive FROM job_item_table WHERE burn_cmd=? ORDER BY jobid", {replyCmd}),
                 Rows({{ack}, {-1}}));
        QCOMPARE(Sql("SELECT ack_receive FROM job_item_table WHERE burn_cmd='ApplyBurn'"), Rows({{1}, {1}}));
        QCOMPARE(Sql("SELECT jobid, job_state, job_finished_ack_receive FROM job_table"),
                 Rows({{"J1", finished ? 3 : -1, jobAck}, {"J2", finished ? 3 : -1, -1}}));
        QCOMPARE(Sql("SELECT * FROM msg_timeout_table"), timeoutRows ? Rows({{"J1", "report-text"}}) : Rows());
        VERIFY_NO_STORE_ERRORS();
    }

    // Unfinished jobs, in store order; the unconfirmed replies of finished jobs whose final
    // delivery is unconfirmed, job by job in store order.
    void recoveryLists()
    {
        for (const char* szJobId : {"F1", "R", "F2", "C"}) {
            const QString qstrJobId = QString::fromLatin1(szJobId);
            Receive(Request(qstrJobId, qstrJobId + "-m1", "ApplyBurn"));
            SendReply(qstrJobId, "ApplyBurnReply", 0, qstrJobId + "-a");
            SendReply(qstrJobId, "StartBurnReply", 0, qstrJobId + "-s");
        }
        Receive(Request("B", "B-m1", "ApplyBurn"));
        for (const char* szJobId : {"F2", "F1", "C"})
            SendReply(szJobId, "BurnStatusReply", 3, QString::fromLatin1(szJobId) + "-final");
        Report("F2", "ApplyBurnReply", 1, "delivered before the end");
        QCOMPARE(Sql("UPDATE job_table SET job_finished_ack_receive=-1 WHERE jobid='F2'"), Rows());
        Report("C", "BurnStatusReply", 1, "delivered");

        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE(dbOperation.GetUnfinishedJobs(), QStringList({"R", "B"}));
        QCOMPARE(dbOperation.GetUnackedResponses(), QStringList({"F1-a", "F1-s", "F1-final", "F2-s", "F2-final"}));
        VERIFY_NO_STORE_ERRORS();
    }

    void expiredJobs_data()
    {
        QTest::addColumn<int>("daysBeforeCutOff");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QVariant>("state");
        QTest::addColumn<QVariant>("finalAck");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("old, finished, delivered") << 30 << "12:00:00" << QVariant(3) << QVariant(1) << true;
        QTest::newRow("old, failed, timed out") << 30 << "12:00:00" << QVariant(4) << QVariant(0) << true;
        QTest::newRow("day before the cut-off") << 1 << "23:59:59" << QVariant(3) << QVariant(1) << true;
        QTest::newRow("on the cut-off day") << 0 << "00:00:00" << QVariant(3) << QVariant(1) << false;
        QTest::newRow("old, still running") << 400 << "12:00:00" << QVariant(-1) << QVariant(1) << false;
        QTest::newRow("old, final delivery unconfirmed") << 30 << "12:00:00" << QVariant(3) << QVariant(-1) << false;
        QTest::newRow("old, state missing reads 0") << 30 << "12:00:00" << QVariant() << QVariant(1) << true;
        QTest::newRow("old, state not a number reads 0") << 30 << "12:00:00" << QVariant("done") << QVariant(1) << true;
        QTest::newRow("old, final delivery missing reads 0") << 30 << "12:00:00" << QVariant(3) << QVariant() << true;
    }
    // Finished, confirmed jobs created before the UTC date 7 days ago go with all their rows.
    void expiredJobs()
    {
        QFETCH(int, daysBeforeCutOff);
        QFETCH(QString, time);
        QFETCH(QVariant, state);
        QFETCH(QVariant, finalAck);
        QFETCH(bool, deleted);
        RecordTimedOutJob("old");
        RecordTimedOutJob("fresh");
        const QDate qdateCutOff = Sql("SELECT date('now', '-7 days')").value(0).value(0).toDate();
        const QString qstrCreated = qdateCutOff.addDays(-daysBeforeCutOff).toString(Qt::ISODate) + " " + time;
        const QString qstrUpdate =
            "UPDATE job_table SET job_create_time=?, job_state=?, job_finished_ack_receive=? WHERE jobid='old'";
        QCOMPARE(Sql(qstrUpdate, {qstrCreated, state, finalAck}), Rows());
        QCOMPARE(TableCounts("old"), QList<int>({1, 1, 2, 1}));

        CLS_DBOperation("BurnModule").DeleteExpiredJobs(7);
        QCOMPARE(TableCounts("old"), deleted ? QList<int>({0, 0, 0, 0}) : QList<int>({1, 1, 2, 1}));
        QCOMPARE(TableCounts("fresh"), QList<int>({1, 1, 2, 1}));
        QCOMPARE(LogRecorder::contains("DELETE [JobId][old]"), deleted);
        VERIFY_NO_STORE_ERRORS();
    }

    void hostileIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("double quote") << "a\"b";
        QTest::newRow("always true in single quotes") << "x' OR '1'='1";
        QTest::newRow("statement after a quote") << "j\"; DROP TABLE job_table; --";
        QTest::newRow("delete after a parenthesis") << "'); DELETE FROM cmd_table; --";
        QTest::newRow("argument markers") << "%1 %2";
    }
    // Ids are values, never statement text: every operation on a hostile job and message
    // id touches its own rows only.
    void hostileIds()
    {
        QFETCH(QString, id);
        RecordTimedOutJob("bystander");
        Receive(Request("runner", "runner-m1", "ApplyBurn"));
        SendReply("bystander", "StartBurnReply", 0, "bystander-s");
        QCOMPARE(Sql("UPDATE job_table SET job_finished_ack_receive=-1 WHERE jobid='bystander'"), Rows());
        const Rows rowsBefore = AllRows();

        QVERIFY(!Receive(Request(id, id, "ApplyBurn", "hostile-param")));
        QVERIFY(Receive(Request(id, id, "ApplyBurn", "hostile-param")));
        {
            CLS_DBOperation dbOperation("BurnModule");
            QVERIFY(dbOperation.IsJobExist(id));
            QVERIFY(!dbOperation.IsMsgExist(id, "runner-m1"));
            QCOMPARE(dbOperation.GetApplyBurnParam(id, n_DBJobItemColumn_ReqParam), "hostile-param");
            QCOMPARE(dbOperation.GetCmdReqParam(id, "ApplyBurn"), Request(id, id, "x").qstrHead);
            QCOMPARE(dbOperation.GetUnfinishedJobs(), QStringList({"runner", id}));
        }
        SendReply(id, "BurnStatusReply", 4, "hostile-final");
        Report(id, "BurnStatusReply", 0, "hostile report");
        QCOMPARE(TableCounts(id), QList<int>({1, 1, 2, 1}));
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnackedResponses(), QStringList({"bystander-s"}));

        QCOMPARE(Sql("UPDATE job_table SET job_create_time='2000-01-01 00:00:00' WHERE jobid=?", {id}), Rows());
        CLS_DBOperation("BurnModule").DeleteExpiredJobs(7);
        QCOMPARE(AllRows(), rowsBefore);
        VERIFY_NO_STORE_ERRORS();
    }

    // Threads that each record messages and replies of the same jobs: no error, no lost
    // row, and jobs met first by several threads at once have one row each.
    void concurrentWriters()
    {
        const int iThreads = 8;
        const int iMessages = 200;
        const int iJobs = 10;
        std::vector<std::unique_ptr<QThread>> vecThreads;
        for (int iThread = 0; iThread < iThreads; ++iThread) {
            vecThreads.emplace_back(QThread::create([iThread] {
                for (int i = 0; i < iMessages; ++i) {
                    const QString qstrJobId = QStringLiteral("job-%1").arg(i % iJobs);
                    Receive(Request(qstrJobId, QStringLiteral("t%1-m%2").arg(iThread).arg(i), "StartBurn"));
                    SendReply(qstrJobId, "StartBurnReply", 0, QStringLiteral("t%1-r%2").arg(iThread).arg(i));
                }
            }));
            vecThreads.back()->start();
        }
        for (const std::unique_ptr<QThread>& pThread : vecThreads)
            QVERIFY(pThread->wait(240000));

        VERIFY_NO_STORE_ERRORS();
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT jobid) FROM job_table"), Rows({{iJobs, iJobs}}));
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT msgid) FROM cmd_table"),
                 Rows({{iThreads * iMessages, iThreads * iMessages}}));
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT responnse) FROM job_item_table"),
                 Rows({{2 * iThreads * iMessages, iThreads * iMessages + 1}}));
    }

    // Another process holds the write lock: the writer waits for it instead of failing.
    void writerWaitsForAnotherConnection()
    {
        Receive(Request("J0", "m0", "ApplyBurn"));
        {
            QSqlDatabase qsqlHolder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            qsqlHolder.setDatabaseName(QStringLiteral("burnmodule.db"));
            QVERIFY(qsqlHolder.open());
            QSqlQuery qsqlQuery(qsqlHolder);
            QVERIFY(qsqlQuery.exec("BEGIN IMMEDIATE"));
            QVERIFY(qsqlQuery.exec("INSERT INTO msg_timeout_table VALUES('holder', 'held')"));
            std::unique_ptr<QThread> pWriter(QThread::create([] { Receive(Request("J1", "m1", "ApplyBurn")); }));
            pWriter->start();
            QTRY_VERIFY(LogRecorder::contains("[jobid][J1][msgid][m1][cmd_table] Record not exists."));
            QVERIFY(!pWriter->wait(100));
            QVERIFY(qsqlQuery.exec("COMMIT"));
            QVERIFY(pWriter->wait(30000));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 1, 0}));
        QCOMPARE(TableCounts("holder"), QList<int>({0, 0, 0, 1}));
        VERIFY_NO_STORE_ERRORS();
    }

    // A store file with some tables already (older data kept) gets the missing ones and
    // write-ahead logging. A message whose rows cannot all be written leaves none. A store
    // file removed while the process runs is set up again.
    void storeFileSetUp()
    {
        QCOMPARE(Sql("CREATE TABLE job_table(jobid TEXT, job_state INTEGER, job_create_time TEXT, "
                     "job_finished_ack_receive INTEGER)"),
                 Rows());
        QCOMPARE(Sql("CREATE TABLE cmd_table(jobid TEXT, cmd TEXT, req_param TEXT, msgid TEXT CHECK(msgid <> 'no'))"),
                 Rows());
        QCOMPARE(Sql("INSERT INTO job_table VALUES('kept', -1, '2020-01-01 00:00:00', -1)"), Rows());
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"kept"}));
        RecordTimedOutJob("J1");
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 2, 1}));
        QCOMPARE(Sql("PRAGMA journal_mode"), Rows({{"wal"}}));
        VERIFY_NO_STORE_ERRORS();

        Receive(Request("J2", "no", "ApplyBurn"));
        QCOMPARE(TableCounts("J2"), QList<int>({0, 0, 0, 0}));
        QVERIFY(!ErrorLines().filter("Error: Fail to INSERT INTO cmd_table.").isEmpty());
        QVERIFY(!ErrorLines().filter("rolled back, none of its rows were kept").isEmpty());

        LogRecorder::clear();
        for (const char* szFile : {"burnmodule.db", "burnmodule.db-wal", "burnmodule.db-shm"})
            QFile::remove(szFile);
        QVERIFY(!Receive(Request("J3", "m1", "ApplyBurn")));
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"J3"}));
        VERIFY_NO_STORE_ERRORS();
    }

    void damagedStoreFile()
    {
        QByteArray qbaGarbage;
        for (int i = 0; i < 8192; ++i)
            qbaGarbage.append(char((i * 37 + 11) % 251));
        QFile qfile("burnmodule.db");
        QVERIFY(qfile.open(QIODevice::WriteOnly) && qfile.write(qbaGarbage) == qbaGarbage.size());
        qfile.close();
        {
            CLS_DBOperation dbOperation("BurnModule");
            QVERIFY(!dbOperation.IsMsgExist("J1", "m1"));
            dbOperation.InsertMsgInfo(Request("J1", "m1", "ApplyBurn"), false);
            dbOperation.InsertResponse(Request("J1", "m1", "BurnStatusReply"));
            dbOperation.UpdateAckReceive(Request("J1", "m1", "BurnStatusReply"));
            dbOperation.UpdateBurnTempParam(Request("J1", "m1", "DoBurn"));
            QVERIFY(!dbOperation.IsJobExist("J1"));
            QCOMPARE(dbOperation.GetCmdReqParam("J1", "ApplyBurn"), QString());
            QCOMPARE(dbOperation.GetApplyBurnParam("J1", n_DBJobItemColumn_ReqParam), QString());
            QVERIFY(dbOperation.GetUnfinishedJobs().isEmpty());
            QVERIFY(dbOperation.GetUnackedResponses().isEmpty());
            dbOperation.DeleteExpiredJobs(7);
        }
        QVERIFY(qfile.open(QIODevice::ReadOnly));
        QCOMPARE(qfile.readAll(), qbaGarbage);
        for (const char* szLine : {"Fail to prepare the store",
                                   "Error: Fail to SELECT job_table. err=[file is not a database]",
                                   "Error: Fail to SELECT cmd_table. err=[file is not a database]"})
            QVERIFY2(!ErrorLines().filter(szLine).isEmpty(), szLine);
    }

    // Each object has its own connection ("<name>_<time>_<UUID>"), gone with the object.
    void connectionsAreReleased()
    {
        CLS_DBOperation("BurnModule").IsJobExist("J1");
        const QStringList qstrlstBefore = QSqlDatabase::connectionNames();
        {
            CLS_DBOperation dbFirst("BurnModule");
            CLS_DBOperation dbSecond("BurnModule");
            const QRegularExpression qregName("^BurnModule_\\d{17}_\\{[-0-9a-f]{36}\\}$");
            for (const QString& qstrName : QSqlDatabase::connectionNames())
                QVERIFY2(qstrlstBefore.contains(qstrName) || qregName.match(qstrName).hasMatch(), qPrintable(qstrName));
            QCOMPARE(QSqlDatabase::connectionNames().size(), qstrlstBefore.size() + 2);
        }
        QCOMPARE(QSqlDatabase::connectionNames(), qstrlstBefore);
    }

private:
    QString m_qstrStartDir;
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CLS_DBOperation)
#include "tst_CLS_DBOperation.moc"
