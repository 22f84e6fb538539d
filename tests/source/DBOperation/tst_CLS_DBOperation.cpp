// The job store: what each operation records and returns, the recovery lists and the
// clean-up, hostile ids, concurrent writers, partial, removed and damaged store files.
// Every test runs in a fresh temporary folder, where "burnmodule.db" is created.
#include <QtTest>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>
#include <thread>

#include "CLS_DBOperation.h"
#include "LogRecorder.h"
#include "TestFiles.h"

namespace
{
using Rows = QList<QVariantList>;
using Reader = QString (CLS_DBOperation::*)(const QString&, int);

// Runs one statement on a connection of the test's own, outside the module: the rows it
// answers (none for a write), or one row with the error when it fails.
Rows Sql(const QString& _qstrSql, const QVariantList& _qvarlstValues = {})
{
    Rows rows;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase("QSQLITE", "inspect");
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
    QSqlDatabase::removeDatabase("inspect");
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

BurnMsgInfo Request(const QString& _qstrJobId, const QString& _qstrMsgId, const QString& _qstrCmd,
                    const QString& _qstrParam = QString(), const QString& _qstrTemp = QString())
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrMsgId = _qstrMsgId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.qstrHead = QStringLiteral(R"({"cmdtype":"req","msgId":"%1"})").arg(_qstrMsgId);
    stMsgInfo.qstrCmdParam = _qstrParam;
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
    BurnMsgInfo stMsgInfo = Request(_qstrJobId, QString(), _qstrCmd);
    stMsgInfo.iJobState = _iStatus;
    stMsgInfo.qstrResponse = _qstrResponse;
    CLS_DBOperation(QStringLiteral("BurnModule")).InsertResponse(stMsgInfo);
}

// A delivery report: ack 1 delivered, 0 timed out.
void Report(const QString& _qstrJobId, const QString& _qstrCmd, int _iAck, const QString& _qstrText)
{
    BurnMsgInfo stMsgInfo = Request(_qstrJobId, QString(), _qstrCmd);
    stMsgInfo.iAck = _iAck;
    stMsgInfo.qstrMsg = _qstrText;
    CLS_DBOperation(QStringLiteral("BurnModule")).UpdateAckReceive(stMsgInfo);
}

QStringList ErrorLines()
{
    return LogRecorder::lines().filter(QStringLiteral("Error:"));
}
}  // namespace
Q_DECLARE_METATYPE(Reader)

class tst_CLS_DBOperation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        LogRecorder::install();
        // Every object writes two Qt info lines; thousands of them would bury the report.
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    }
    void init()
    {
        m_pTmpDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
        LogRecorder::clear();
    }
    // No store errors unless a test cleared those it expected; only the stores' keepers stay open.
    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        m_pTmpDir.reset();
        QVERIFY2(ErrorLines().isEmpty(), qPrintable(ErrorLines().mid(0, 5).join('\n')));
        for (const QString& qstrName : QSqlDatabase::connectionNames())
            QVERIFY2(qstrName.startsWith(QLatin1String("BurnModuleStoreKeeper_")), qPrintable(qstrName));
    }

    void receiptAndReaders_data()
    {
        QTest::addColumn<QString>("cmd");
        QTest::addColumn<Reader>("reader");
        QTest::newRow("AddFile") << "AddFile" << &CLS_DBOperation::GetAddFileParam;
        QTest::newRow("ApplyBurn") << "ApplyBurn" << &CLS_DBOperation::GetApplyBurnParam;
        QTest::newRow("DoBurn") << "DoBurn" << &CLS_DBOperation::GetDoBurnParam;
        QTest::newRow("StartBurn") << "StartBurn" << &CLS_DBOperation::GetStartBurnParam;
        QTest::newRow("WriteLabel") << "WriteLabel" << &CLS_DBOperation::GetWriteLabelParam;
    }
    // Each message is recorded once (its id within its job). A command's readers give the column
    // of its last row (the request's head: its first), empty for an unknown job; the working
    // parameters replace those of every row.
    void receiptAndReaders()
    {
        QFETCH(QString, cmd);
        QFETCH(Reader, reader);
        const BurnMsgInfo stFirst = Request("J1", "m9", cmd, "param-1", "temp-1");
        QVERIFY(!Receive(stFirst));
        const QString qstrCreated = Sql("SELECT job_create_time FROM job_table").value(0).value(0).toString();
        const QDateTime qdtCreated = QDateTime::fromString(qstrCreated, "yyyy-MM-dd HH:mm:ss");
        QVERIFY(qAbs(qdtCreated.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(Sql("SELECT * FROM cmd_table"), Rows({{"J1", cmd, stFirst.qstrHead, "m9"}}));
        QCOMPARE(Sql("SELECT * FROM job_item_table"), Rows({{"J1", cmd, "param-1", "", 1, "temp-1"}}));

        // Message ids sort against the order of arrival, so key order cannot pass for it.
        QVERIFY(Receive(Request("J1", "m9", cmd)));
        QVERIFY(!Receive(Request("J1", "m5", "Other", "other", "other")));
        QVERIFY(!Receive(Request("J1", "m1", cmd, "param-2", "temp-2")));
        QVERIFY(!Receive(Request("J2", "m9", cmd, "param-3", "temp-3")));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 3, 3, 0}));
        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE((dbOperation.*reader)("J1", n_DBJobItemColumn_ReqParam), "param-2");
        QCOMPARE((dbOperation.*reader)("J1", n_DBJobItemColumn_BurnTempParam), "temp-2");
        QCOMPARE(dbOperation.GetCmdReqParam("J1", cmd), Request("J1", "m9", cmd).qstrHead);
        QCOMPARE(dbOperation.GetCmdReqParam("J9", cmd), QString());

        dbOperation.UpdateBurnTempParam(Request("J1", "", cmd, "", "task-7"));
        QCOMPARE((dbOperation.*reader)("J1", n_DBJobItemColumn_ReqParam), "param-2");
        QCOMPARE(Sql("SELECT burn_temp_param FROM job_item_table WHERE jobid='J1' AND burn_cmd=?", {cmd}),
                 Rows({{"task-7"}, {"task-7"}}));
        QCOMPARE((dbOperation.*reader)("J2", n_DBJobItemColumn_BurnTempParam), "temp-3");
        QCOMPARE(dbOperation.GetJobItemParam("J1", "Other", n_DBJobItemColumn_BurnTempParam), "other");
    }

    void recoveryLists_data()
    {
        QTest::addColumn<QString>("id");  // of one finished job and its messages
        QTest::newRow("plain id") << "F2";
        QTest::newRow("double quote") << "a\"b";
        QTest::newRow("always true in single quotes") << "x' OR '1'='1";
        QTest::newRow("statement after a quote") << "j\"; DROP TABLE job_table; --";
        QTest::newRow("delete after a parenthesis") << "'); DELETE FROM cmd_table; --";
        QTest::newRow("argument markers") << "%1 %2";
    }
    // A status reply or any reply with status 4 sets the job's state; a delivery report marks
    // the reply's rows, and the job's final delivery for a status reply or an ended job. The
    // recovery lists, the clean-up. A hostile job or message id touches its own rows only.
    void recoveryLists()
    {
        QFETCH(QString, id);
        for (const QString& qstrJobId : {QString("F1"), QString("R"), id, QString("C")}) {
            QVERIFY(!Receive(Request(qstrJobId, qstrJobId, "ApplyBurn", qstrJobId + "-p")));
            QVERIFY(Receive(Request(qstrJobId, qstrJobId, "ApplyBurn", qstrJobId + "-p")));
            SendReply(qstrJobId, "ApplyBurnReply", 0, qstrJobId + "-a");
            SendReply(qstrJobId, "StartBurnReply", 0, qstrJobId + "-s");
        }
        Receive(Request("B", "B-m1", "ApplyBurn"));
        Receive(Request("D", "D-m1", "ApplyBurn"));
        SendReply("D", "BurnStatusReply", 3, "final");
        Report("D", "BurnStatusReply", 0, "timed out");
        Report(id, "ApplyBurnReply", 0, "timed out while running");
        SendReply("R", "DoBurnReply", 3, "R-d");
        SendReply("F1", "DoBurnReply", 4, "F1-final");
        SendReply(id, "BurnStatusReply", 3, id + "-final");
        SendReply("C", "BurnStatusReply", 3, "C-final");
        Report("C", "BurnStatusReply", 1, "delivered");
        QCOMPARE(Sql("SELECT jobid, job_state, job_finished_ack_receive FROM job_table ORDER BY rowid"),
                 Rows({{"F1", 4, -1}, {"R", -1, -1}, {id, 3, -1}, {"C", 3, 1}, {"B", -1, -1}, {"D", 3, 0}}));

        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE(dbOperation.GetUnfinishedJobs(), QStringList({"R", "B"}));
        const QStringList qstrlstUnacked = {"F1-a", "F1-s", "F1-final", "R-a", "R-s", "R-d", id + "-s", id + "-final"};
        QCOMPARE(dbOperation.GetUnackedResponses(), qstrlstUnacked);
        QVERIFY(!dbOperation.IsMsgExist(id, "R"));
        QCOMPARE(dbOperation.GetApplyBurnParam(id, n_DBJobItemColumn_ReqParam), id + "-p");
        QCOMPARE(dbOperation.GetCmdReqParam(id, "ApplyBurn"), Request(id, id, "x").qstrHead);

        // A timed-out final delivery is listed. Ended jobs whose final delivery was confirmed or
        // timed out go, all their rows, once created before the UTC date 7 days ago (D stays).
        Report(id, "BurnStatusReply", 0, "timed out");
        QCOMPARE(Sql("SELECT * FROM msg_timeout_table"), Rows({{"D", "timed out"}, {id, "timed out"}}));
        const QDate qdateCutOff = Sql("SELECT date('now', '-7 days')").value(0).value(0).toDate();
        const QString qstrOld = qdateCutOff.addDays(-1).toString(Qt::ISODate) + " 23:59:59";
        QCOMPARE(Sql("UPDATE job_table SET job_create_time=?", {qstrOld}), Rows());
        const QString qstrCutOff = qdateCutOff.toString(Qt::ISODate) + " 00:00:00";
        QCOMPARE(Sql("UPDATE job_table SET job_create_time=? WHERE jobid='D'", {qstrCutOff}), Rows());
        dbOperation.DeleteExpiredJobs(7);
        QCOMPARE(Sql("SELECT jobid FROM job_table ORDER BY rowid"), Rows({{"F1"}, {"R"}, {"B"}, {"D"}}));
        QCOMPARE(Sql("SELECT (SELECT COUNT(*) FROM cmd_table), (SELECT COUNT(*) FROM job_item_table), "
                     "(SELECT COUNT(*) FROM msg_timeout_table)"), Rows({{4, 11, 1}}));
        QVERIFY(LogRecorder::contains("DELETE [JobId][C]"));
    }

    // Threads that each record messages and replies of the same jobs: no error, no lost
    // row, and jobs met first by several threads at once have one row each.
    void concurrentWriters()
    {
        const int iThreads = 8;
        const int iMessages = 200;
        const int iJobs = 10;
        std::vector<std::thread> vecThreads;
        for (int iThread = 0; iThread < iThreads; ++iThread) {
            vecThreads.emplace_back([iThread] {
                for (int i = 0; i < iMessages; ++i) {
                    const QString qstrJobId = QStringLiteral("job-%1").arg(i % iJobs);
                    const QString qstrTag = QStringLiteral("t%1-%2").arg(iThread).arg(i);
                    Receive(Request(qstrJobId, "m-" + qstrTag, "StartBurn"));
                    SendReply(qstrJobId, "StartBurnReply", 0, "r-" + qstrTag);
                }
            });
        }
        for (std::thread& thread : vecThreads)
            thread.join();
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT jobid) FROM job_table"), Rows({{iJobs, iJobs}}));
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT msgid) FROM cmd_table"),
                 Rows({{iThreads * iMessages, iThreads * iMessages}}));
        QCOMPARE(Sql("SELECT COUNT(*), COUNT(DISTINCT responnse) FROM job_item_table"),
                 Rows({{2 * iThreads * iMessages, iThreads * iMessages + 1}}));
    }

    // A store file with some tables already (older data kept) gets the missing ones and
    // write-ahead logging. A message whose rows cannot all be written leaves none. A store
    // file removed while the process runs is set up again.
    void storeFileSetUp()
    {
        Sql("CREATE TABLE job_table(jobid TEXT, job_state INTEGER, job_create_time TEXT, "
            "job_finished_ack_receive INTEGER)");
        Sql("CREATE TABLE cmd_table(jobid TEXT, cmd TEXT, req_param TEXT, msgid TEXT CHECK(msgid <> 'no'))");
        Sql("INSERT INTO job_table VALUES('kept', -1, '2020-01-01 00:00:00', -1)");
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"kept"}));
        Receive(Request("J1", "J1-m1", "ApplyBurn"));
        SendReply("J1", "BurnStatusReply", 3, "final");
        Report("J1", "BurnStatusReply", 0, "timed out");
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 2, 1}));
        QCOMPARE(Sql("PRAGMA journal_mode"), Rows({{"wal"}}));
        QCOMPARE(ErrorLines(), QStringList());

        QVERIFY(!CLS_DBOperation("BurnModule").InsertMsgInfo(Request("J2", "no", "ApplyBurn"), false));
        QCOMPARE(TableCounts("J2"), QList<int>({0, 0, 0, 0}));
        QVERIFY(!ErrorLines().filter("Error: Fail to INSERT INTO cmd_table.").isEmpty());
        QVERIFY(!ErrorLines().filter("rolled back, none of its rows were kept").isEmpty());

        LogRecorder::clear();
        for (const char* szFile : {"burnmodule.db", "burnmodule.db-wal", "burnmodule.db-shm"})
            QFile::remove(szFile);
        QVERIFY(!Receive(Request("J3", "m1", "ApplyBurn")));
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"J3"}));
    }

    // A file that is no store of ours (no database, another program's tables, a table of
    // ours with other columns) is set aside unchanged under a dated name, once, while four
    // threads open the store at once; the new store records every message.
    void damagedStoreFile_data()
    {
        QTest::addColumn<QString>("qstrSql");
        QTest::newRow("garbage") << QString();
        QTest::newRow("other program") << "CREATE TABLE users(name TEXT)";
        QTest::newRow("other columns") << "CREATE TABLE job_table(id INTEGER)";
    }
    void damagedStoreFile()
    {
        QFETCH(QString, qstrSql);
        QVERIFY(qstrSql.isEmpty() ? WriteTestFile("burnmodule.db", QByteArray(8192, 'Z')) : Sql(qstrSql).isEmpty());
        const QByteArray qbaBefore = ReadTestFile("burnmodule.db");
        std::vector<std::thread> vecThreads;
        for (int i = 0; i < 4; ++i)
            vecThreads.emplace_back([i] { Receive(Request(QString("J%1").arg(i), "m1", "ApplyBurn")); });
        for (std::thread& thread : vecThreads)
            thread.join();
        const QStringList qlstAside = QDir().entryList({"burnmodule.db.damaged-*"});
        QCOMPARE(qlstAside.size(), 1);
        QCOMPARE(ReadTestFile(qlstAside.first()), qbaBefore);
        QCOMPARE(Sql("SELECT COUNT(*) FROM cmd_table"), Rows({{4}}));
        const QStringList qlstLines = ErrorLines().filter("set aside as");
        QCOMPARE(qlstLines.size(), 1);
        QVERIFY2(qlstLines.first().contains(QDir().absoluteFilePath(qlstAside.first())), qPrintable(qlstLines.first()));
        LogRecorder::clear();
    }

private:
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CLS_DBOperation)
#include "tst_CLS_DBOperation.moc"
