// The job store: what each operation records and returns, the clean-up rules,
// concurrent writers, hostile ids and damaged store files.
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

// Runs one statement on a connection of the test's own, outside the module.
bool Sql(const QString& _qstrSql, const QVariantList& _qvarlstValues = {}, Rows* _pRows = nullptr)
{
    static QAtomicInt s_iNext;
    const QString qstrName = QStringLiteral("inspect_%1").arg(s_iNext.fetchAndAddRelaxed(1));
    bool blOk = false;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), qstrName);
        qsqlDb.setDatabaseName(QStringLiteral("burnmodule.db"));
        qsqlDb.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery qsqlQuery(qsqlDb);
        blOk = qsqlDb.open() && qsqlQuery.prepare(_qstrSql);
        for (int i = 0; blOk && i < _qvarlstValues.size(); ++i)
            qsqlQuery.bindValue(i, _qvarlstValues.at(i));
        blOk = blOk && qsqlQuery.exec();
        if (!blOk)
            qWarning() << _qstrSql << qsqlQuery.lastError().text();
        while (blOk && _pRows && qsqlQuery.next()) {
            QVariantList qvarlstRow;
            for (int i = 0; i < qsqlQuery.record().count(); ++i)
                qvarlstRow << qsqlQuery.value(i);
            *_pRows << qvarlstRow;
        }
    }
    QSqlDatabase::removeDatabase(qstrName);
    return blOk;
}

Rows Select(const QString& _qstrSql, const QVariantList& _qvarlstValues = {})
{
    Rows rows;
    if (!Sql(_qstrSql, _qvarlstValues, &rows))
        rows << QVariantList{QStringLiteral("statement failed")};
    return rows;
}

// Rows of a table for one job, or of the whole table; -1 when the query fails.
int Count(const QString& _qstrTable, const QVariant& _qvarJobId = QVariant())
{
    const QString qstrWhere = _qvarJobId.isValid() ? QStringLiteral(" WHERE jobid=?") : QString();
    Rows rows;
    if (!Sql(QStringLiteral("SELECT COUNT(*) FROM ") + _qstrTable + qstrWhere,
             _qvarJobId.isValid() ? QVariantList{_qvarJobId} : QVariantList{}, &rows))
        return -1;
    return rows.value(0).value(0).toInt();
}

QVariant JobColumn(const QString& _qstrJobId, const QString& _qstrColumn)
{
    return Select(QStringLiteral("SELECT ") + _qstrColumn + QStringLiteral(" FROM job_table WHERE jobid=?"),
                  {_qstrJobId})
        .value(0)
        .value(0);
}

BurnMsgInfo Request(const QString& _qstrJobId, const QString& _qstrMsgId, const QString& _qstrCmd,
                    const QString& _qstrParam = QString(), const QString& _qstrTemp = QString(), int _iRet = -1)
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrMsgId = _qstrMsgId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.qstrHead = QStringLiteral(R"({"cmdtype":"req","msgId":"%1"})").arg(_qstrMsgId);
    stMsgInfo.qstrCmdParam = _qstrParam.isNull() ? QStringLiteral(R"({"JobId":"%1"})").arg(_qstrJobId) : _qstrParam;
    stMsgInfo.qstrBurnTempParam = _qstrTemp;
    stMsgInfo.iAck = _iRet;
    return stMsgInfo;
}

// The gateway's receipt path: existence check and record on a fresh object.
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

void Report(const QString& _qstrJobId, const QString& _qstrCmd, int _iAck, const QString& _qstrText)
{
    BurnMsgInfo stMsgInfo;
    stMsgInfo.qstrMsg = _qstrText;
    stMsgInfo.qstrJobId = _qstrJobId;
    stMsgInfo.qstrCmd = _qstrCmd;
    stMsgInfo.iAck = _iAck;
    CLS_DBOperation(QStringLiteral("BurnModule")).UpdateAckReceive(stMsgInfo);
}

QStringList ErrorLines()
{
    return LogRecorder::lines().filter(QStringLiteral("Error:"));
}

// The first error lines, so that a failure shows what went wrong.
QString FirstErrorLines()
{
    return ErrorLines().mid(0, 5).join(QLatin1Char('\n'));
}

// A job with rows in all four tables: a request, a final reply that timed out.
void RecordTimedOutJob(const QString& _qstrJobId)
{
    Receive(Request(_qstrJobId, _qstrJobId + QStringLiteral("-m1"), QStringLiteral("ApplyBurn")));
    SendReply(_qstrJobId, QStringLiteral("BurnStatusReply"), 3, QStringLiteral("final"));
    Report(_qstrJobId, QStringLiteral("BurnStatusReply"), 0, QStringLiteral("timed out"));
}

QList<int> TableCounts(const QString& _qstrJobId)
{
    QList<int> lstCounts;
    for (const char* szTable : {"job_table", "cmd_table", "job_item_table", "msg_timeout_table"})
        lstCounts << Count(QString::fromLatin1(szTable), _qstrJobId);
    return lstCounts;
}

QString CutOffDate(int _iDays)
{
    return Select(QStringLiteral("SELECT date('now', ?)"), {QStringLiteral("-%1 days").arg(_iDays)})
        .value(0)
        .value(0)
        .toString();
}
}  // namespace

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
        QVERIFY(m_pTmpDir->isValid());
        QVERIFY(QDir::setCurrent(m_pTmpDir->path()));
        LogRecorder::clear();
    }
    void cleanup()
    {
        QDir::setCurrent(m_qstrStartDir);
        m_pTmpDir.reset();
    }

    void receiptRecordsEachMessageOnce()
    {
        QVERIFY(!Receive(Request("J1", "m1", "ApplyBurn", R"({"JobId":"J1","msgId":"m1"})", "whole", 0)));
        QCOMPARE(Select("SELECT jobid, job_state, job_finished_ack_receive FROM job_table"),
                 Rows({{"J1", -1, 0}}));
        const QDateTime qdtCreated =
            QDateTime::fromString(JobColumn("J1", "job_create_time").toString(), "yyyy-MM-dd HH:mm:ss");
        QVERIFY(qAbs(qdtCreated.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(Select("SELECT * FROM cmd_table"),
                 Rows({{"J1", "ApplyBurn", R"({"cmdtype":"req","msgId":"m1"})", "m1"}}));
        QCOMPARE(Select("SELECT * FROM job_item_table"),
                 Rows({{"J1", "ApplyBurn", R"({"JobId":"J1","msgId":"m1"})", "", 1, "whole"}}));

        // A repeated delivery is known and adds nothing.
        QVERIFY(Receive(Request("J1", "m1", "ApplyBurn")));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 1, 0}));

        // A new message of a known job adds its rows but no second job row.
        QVERIFY(!Receive(Request("J1", "m2", "StartBurn")));
        QCOMPARE(TableCounts("J1"), QList<int>({1, 2, 2, 0}));

        // The same message id in another job is another message.
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
        QVERIFY(LogRecorder::contains("[jobid][J4][job_table] Record not exists."));
        QVERIFY(LogRecorder::contains("[jobid][J1][msgid][m1][cmd_table] Record already exists."));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
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

        // The backend's working parameters replace those of every row of the command.
        BurnMsgInfo stTemp;
        stTemp.qstrJobId = "J1";
        stTemp.qstrCmd = cmd;
        stTemp.qstrBurnTempParam = "task-7";
        dbOperation.UpdateBurnTempParam(stTemp);
        QCOMPARE((dbOperation.*pfnRead)("J1", selector), blTemp ? "task-7" : "param-2");
        QCOMPARE((dbOperation.*pfnRead)("J2", selector), blTemp ? "temp-3" : "param-3");
        QCOMPARE(dbOperation.GetJobItemParam("J1", "Other", n_DBJobItemColumn_BurnTempParam), "other");
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void missingCommandReadsEmpty()
    {
        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE(dbOperation.GetCmdReqParam("J1", "DoBurn"), QString());
        QVERIFY(LogRecorder::contains("[JobId][J1][cmd_table] Record not exists"));
        QVERIFY(dbOperation.GetUnfinishedJobs().isEmpty());
        QVERIFY(dbOperation.GetUnackedResponses().isEmpty());
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
    void replyRecordsJobState()
    {
        QFETCH(QString, replyCmd);
        QFETCH(int, status);
        QFETCH(int, jobState);
        Receive(Request("J1", "m1", "ApplyBurn"));
        Receive(Request("J2", "m2", "ApplyBurn"));
        SendReply("J1", replyCmd, status, "sent-text");
        QCOMPARE(JobColumn("J1", "job_state").toInt(), jobState);
        QCOMPARE(JobColumn("J2", "job_state").toInt(), -1);
        QCOMPARE(Select("SELECT * FROM job_item_table WHERE burn_cmd=?", {replyCmd}),
                 Rows({{"J1", replyCmd, "", "sent-text", -1, ""}}));
        CLS_DBOperation dbOperation("BurnModule");
        QCOMPARE(dbOperation.GetUnfinishedJobs().contains("J1"), jobState == -1);
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
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
            QVERIFY(Sql("UPDATE job_table SET job_state=? WHERE jobid=?", {finished ? 3 : -1, szJobId}));
        }
        const Rows rowsJobsBefore = Select("SELECT * FROM job_table WHERE jobid='J1'");
        Report("J1", replyCmd, ack, "report-text");

        QCOMPARE(Select("SELECT ack_receive FROM job_item_table WHERE burn_cmd=? ORDER BY jobid", {replyCmd}),
                 Rows({{ack}, {-1}}));
        QCOMPARE(Select("SELECT ack_receive FROM job_item_table WHERE burn_cmd='ApplyBurn'"), Rows({{1}, {1}}));
        QCOMPARE(JobColumn("J1", "job_finished_ack_receive").toInt(), jobAck);
        QCOMPARE(JobColumn("J2", "job_finished_ack_receive").toInt(), -1);
        if (jobAck == -1)
            QCOMPARE(Select("SELECT * FROM job_table WHERE jobid='J1'"), rowsJobsBefore);
        QCOMPARE(Count("msg_timeout_table"), timeoutRows);
        if (timeoutRows)
            QCOMPARE(Select("SELECT * FROM msg_timeout_table"), Rows({{"J1", "report-text"}}));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void unackedRepliesOfFinishedJobs()
    {
        // Finished, final delivery unconfirmed: its unconfirmed replies, in order.
        for (const char* szJobId : {"F1", "F2"}) {
            const QString qstrJobId = QString::fromLatin1(szJobId);
            Receive(Request(qstrJobId, qstrJobId + "-m1", "ApplyBurn"));
            SendReply(qstrJobId, "ApplyBurnReply", 0, qstrJobId + "-a");
            SendReply(qstrJobId, "StartBurnReply", 0, qstrJobId + "-s");
            SendReply(qstrJobId, "BurnStatusReply", 3, qstrJobId + "-final");
        }
        Report("F2", "ApplyBurnReply", 1, "delivered before the end");
        QVERIFY(Sql("UPDATE job_table SET job_finished_ack_receive=-1 WHERE jobid='F2'"));
        // Running: nothing resent.
        Receive(Request("R", "R-m1", "ApplyBurn"));
        SendReply("R", "ApplyBurnReply", 0, "R-a");
        // Finished and confirmed: nothing resent, even with another reply unconfirmed.
        Receive(Request("C", "C-m1", "ApplyBurn"));
        SendReply("C", "ApplyBurnReply", 0, "C-a");
        SendReply("C", "BurnStatusReply", 3, "C-final");
        Report("C", "BurnStatusReply", 1, "delivered");

        const QStringList qstrlstResent = CLS_DBOperation("BurnModule").GetUnackedResponses();
        QStringList qstrlstSorted = qstrlstResent;
        qstrlstSorted.sort();
        QCOMPARE(qstrlstSorted, QStringList({"F1-a", "F1-final", "F1-s", "F2-final", "F2-s"}));
        QCOMPARE(qstrlstResent.filter("F1"), QStringList({"F1-a", "F1-s", "F1-final"}));
        QCOMPARE(qstrlstResent.filter("F2"), QStringList({"F2-s", "F2-final"}));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void unfinishedJobsInStoreOrder()
    {
        for (const char* szJobId : {"B", "A", "D", "C"})
            Receive(Request(szJobId, QStringLiteral("m-") + szJobId, "ApplyBurn"));
        SendReply("D", "BurnStatusReply", 3, "final");
        SendReply("A", "DoBurnReply", 4, "failed");
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"B", "C"}));
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
        QTest::newRow("old, state not a number reads 0") << 30 << "12:00:00" << QVariant("done") << QVariant(1)
                                                         << true;
        QTest::newRow("old, final delivery missing reads 0") << 30 << "12:00:00" << QVariant(3) << QVariant() << true;
    }
    void expiredJobs()
    {
        QFETCH(int, daysBeforeCutOff);
        QFETCH(QString, time);
        QFETCH(QVariant, state);
        QFETCH(QVariant, finalAck);
        QFETCH(bool, deleted);
        RecordTimedOutJob("old");
        RecordTimedOutJob("fresh");
        const QString qstrCreated =
            QDate::fromString(CutOffDate(7), Qt::ISODate).addDays(-daysBeforeCutOff).toString(Qt::ISODate) + " " + time;
        QVERIFY(Sql("UPDATE job_table SET job_create_time=?, job_state=?, job_finished_ack_receive=? WHERE jobid='old'",
                    {qstrCreated, state, finalAck}));
        const QList<int> lstFreshBefore = TableCounts("fresh");
        QCOMPARE(TableCounts("old"), QList<int>({1, 1, 2, 1}));

        CLS_DBOperation("BurnModule").DeleteExpiredJobs(7);
        QCOMPARE(TableCounts("old"), deleted ? QList<int>({0, 0, 0, 0}) : QList<int>({1, 1, 2, 1}));
        QCOMPARE(TableCounts("fresh"), lstFreshBefore);
        QCOMPARE(LogRecorder::contains("DELETE [JobId][old]"), deleted);
        QVERIFY(!LogRecorder::contains("DELETE [JobId][fresh]"));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void hostileIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("double quote") << "a\"b";
        QTest::newRow("single quote") << "x' OR '1'='1";
        QTest::newRow("always true in double quotes") << "\" OR \"\"=\"";
        QTest::newRow("statement after a quote") << "j\"; DROP TABLE job_table; --";
        QTest::newRow("delete after a parenthesis") << "'); DELETE FROM cmd_table; --";
        QTest::newRow("argument markers") << "%1 %2";
    }
    void hostileIds()
    {
        QFETCH(QString, id);
        RecordTimedOutJob("bystander");
        Receive(Request("runner", "runner-m1", "ApplyBurn"));
        SendReply("runner", "ApplyBurnReply", 0, "runner-a");
        SendReply("bystander", "StartBurnReply", 0, "bystander-s");
        QVERIFY(Sql("UPDATE job_table SET job_finished_ack_receive=-1 WHERE jobid='bystander'"));
        const Rows rowsBefore = Select("SELECT * FROM job_item_table") + Select("SELECT * FROM job_table") +
                                Select("SELECT * FROM cmd_table") + Select("SELECT * FROM msg_timeout_table");

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
        SendReply(id, "ApplyBurnReply", 0, "hostile-a");
        Report(id, "ApplyBurnReply", 0, "hostile report");
        SendReply(id, "BurnStatusReply", 4, "hostile-final");
        Report(id, "BurnStatusReply", 0, "hostile final report");
        QCOMPARE(TableCounts(id), QList<int>({1, 1, 3, 1}));
        QCOMPARE(Select("SELECT * FROM job_item_table WHERE jobid<>?", {id}) +
                     Select("SELECT * FROM job_table WHERE jobid<>?", {id}) +
                     Select("SELECT * FROM cmd_table WHERE jobid<>?", {id}) +
                     Select("SELECT * FROM msg_timeout_table WHERE jobid<>?", {id}),
                 rowsBefore);
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnackedResponses(), QStringList({"bystander-s"}));

        QVERIFY(Sql("UPDATE job_table SET job_create_time='2000-01-01 00:00:00' WHERE jobid=?", {id}));
        CLS_DBOperation("BurnModule").DeleteExpiredJobs(7);
        QCOMPARE(TableCounts(id), QList<int>({0, 0, 0, 0}));
        QCOMPARE(Select("SELECT * FROM job_item_table") + Select("SELECT * FROM job_table") +
                     Select("SELECT * FROM cmd_table") + Select("SELECT * FROM msg_timeout_table"),
                 rowsBefore);
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void concurrentWriters()
    {
        const int iThreads = 8;
        const int iMessages = 200;
        const int iJobs = 10;
        QList<QThread*> lstThreads;
        for (int iThread = 0; iThread < iThreads; ++iThread) {
            lstThreads << QThread::create([iThread] {
                for (int i = 0; i < iMessages; ++i) {
                    const QString qstrJobId = QStringLiteral("job-%1").arg(i % iJobs);
                    Receive(Request(qstrJobId, QStringLiteral("t%1-m%2").arg(iThread).arg(i), "StartBurn"));
                    SendReply(qstrJobId, "StartBurnReply", 0, QStringLiteral("t%1-r%2").arg(iThread).arg(i));
                }
            });
        }
        for (QThread* pThread : lstThreads)
            pThread->start();
        for (QThread* pThread : lstThreads)
            QVERIFY(pThread->wait(240000));
        qDeleteAll(lstThreads);

        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
        // Jobs met first by several threads at once still have one row each.
        QCOMPARE(Select("SELECT COUNT(*), COUNT(DISTINCT jobid) FROM job_table"), Rows({{iJobs, iJobs}}));
        QCOMPARE(Select("SELECT COUNT(DISTINCT msgid) FROM cmd_table"), Rows({{iThreads * iMessages}}));
        QCOMPARE(Count("cmd_table"), iThreads * iMessages);
        QCOMPARE(Select("SELECT COUNT(DISTINCT req_param), COUNT(DISTINCT responnse) FROM job_item_table"),
                 Rows({{iJobs + 1, iThreads * iMessages + 1}}));
        QCOMPARE(Count("job_item_table"), 2 * iThreads * iMessages);
    }

    // Another process holds the write lock: the writer waits for it instead of failing.
    void writerWaitsForAnotherConnection()
    {
        Receive(Request("J0", "m0", "ApplyBurn"));
        const QString qstrName = QStringLiteral("holder");
        {
            QSqlDatabase qsqlHolder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), qstrName);
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
        QSqlDatabase::removeDatabase(qstrName);
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 1, 0}));
        QCOMPARE(Count("msg_timeout_table", "holder"), 1);
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void missingTablesAreCreated()
    {
        QVERIFY(Sql("CREATE TABLE job_table(jobid TEXT, job_state INTEGER, job_create_time TEXT, "
                    "job_finished_ack_receive INTEGER)"));
        QVERIFY(Sql("INSERT INTO job_table VALUES('kept', -1, '2020-01-01 00:00:00', -1)"));
        QVERIFY(Sql("CREATE TABLE unrelated(x)"));
        {
            CLS_DBOperation dbOperation("BurnModule");
            QCOMPARE(dbOperation.GetUnfinishedJobs(), QStringList({"kept"}));
        }
        QVERIFY(!Receive(Request("J1", "m1", "ApplyBurn", "p")));
        SendReply("J1", "BurnStatusReply", 3, "final");
        Report("J1", "BurnStatusReply", 0, "late");
        QCOMPARE(TableCounts("J1"), QList<int>({1, 1, 2, 1}));

        const QMap<QString, QStringList> qmapColumns = {
            {"job_table", {"jobid", "job_state", "job_create_time", "job_finished_ack_receive"}},
            {"cmd_table", {"jobid", "cmd", "req_param", "msgid"}},
            {"job_item_table", {"jobid", "burn_cmd", "req_param", "responnse", "ack_receive", "burn_temp_param"}},
            {"msg_timeout_table", {"jobid", "responnse"}},
        };
        for (auto it = qmapColumns.cbegin(); it != qmapColumns.cend(); ++it) {
            QStringList qstrlstNames;
            for (const QVariantList& qvarlstRow : Select("SELECT name FROM pragma_table_info(?)", {it.key()}))
                qstrlstNames << qvarlstRow.value(0).toString();
            QCOMPARE(qstrlstNames, it.value());
        }
        QCOMPARE(Select("PRAGMA journal_mode"), Rows({{"wal"}}));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void removedStoreIsSetUpAgain()
    {
        QVERIFY(!Receive(Request("J1", "m1", "ApplyBurn")));
        for (const char* szFile : {"burnmodule.db", "burnmodule.db-wal", "burnmodule.db-shm"})
            QFile::remove(szFile);
        QVERIFY(!QFileInfo::exists("burnmodule.db"));
        QVERIFY(!Receive(Request("J2", "m1", "ApplyBurn")));
        QCOMPARE(CLS_DBOperation("BurnModule").GetUnfinishedJobs(), QStringList({"J2"}));
        QVERIFY2(FirstErrorLines().isEmpty(), qPrintable(FirstErrorLines()));
    }

    void lookupsUseIndexes_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("job by id") << "SELECT * FROM job_table WHERE jobid=?";
        QTest::newRow("unfinished jobs") << "SELECT * FROM job_table WHERE job_state=? ORDER BY rowid";
        QTest::newRow("unconfirmed finished jobs")
            << "SELECT * FROM job_table WHERE job_state<>? AND job_finished_ack_receive=? ORDER BY rowid;";
        QTest::newRow("expired jobs") << "SELECT * FROM job_table WHERE job_create_time < date('now', ?)";
        QTest::newRow("message by id") << "SELECT * FROM cmd_table WHERE jobid=? AND msgid=?";
        QTest::newRow("request of a job") << "SELECT * FROM cmd_table WHERE jobid=? AND cmd=? ORDER BY rowid";
        QTest::newRow("command of a job")
            << "SELECT * FROM job_item_table WHERE jobid=? AND burn_cmd=? ORDER BY rowid";
        QTest::newRow("replies of a job")
            << "SELECT * FROM job_item_table WHERE jobid=? AND ack_receive=? ORDER BY rowid";
        QTest::newRow("replies of a job to update")
            << "UPDATE job_item_table SET ack_receive=? WHERE jobid=? AND burn_cmd=?";
        QTest::newRow("timeouts of a job") << "DELETE FROM msg_timeout_table WHERE jobid = ?";
    }
    void lookupsUseIndexes()
    {
        QFETCH(QString, statement);
        CLS_DBOperation dbOperation("BurnModule");
        Rows rowsPlan;
        const QVariantList qvarlstValues = QVariantList({-1, -1, -1}).mid(0, statement.count(QLatin1Char('?')));
        QVERIFY(Sql("EXPLAIN QUERY PLAN " + statement, qvarlstValues, &rowsPlan));
        QVERIFY(!rowsPlan.isEmpty());
        bool blSearched = false;
        for (const QVariantList& qvarlstStep : rowsPlan) {
            const QString qstrStep = qvarlstStep.last().toString();
            QVERIFY2(!qstrStep.startsWith("SCAN"), qPrintable(qstrStep));
            blSearched = blSearched || qstrStep.contains(QRegularExpression("^SEARCH .* USING (COVERING )?INDEX"));
        }
        QVERIFY(blSearched);
    }

    void damagedStoreFile()
    {
        QByteArray qbaGarbage;
        for (int i = 0; i < 8192; ++i)
            qbaGarbage.append(char((i * 37 + 11) % 251));
        QFile qfile("burnmodule.db");
        QVERIFY(qfile.open(QIODevice::WriteOnly));
        qfile.write(qbaGarbage);
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
        const QStringList qstrlstErrors = ErrorLines();
        QVERIFY(!qstrlstErrors.filter("Fail to prepare the store").isEmpty());
        QVERIFY(!qstrlstErrors.filter("Error: Fail to SELECT job_table. err=[file is not a database]").isEmpty());
        QVERIFY(!qstrlstErrors.filter("Error: Fail to SELECT cmd_table. err=[file is not a database]").isEmpty());
    }

    void connectionsAreReleased()
    {
        CLS_DBOperation("BurnModule").IsJobExist("J1");
        const QStringList qstrlstBefore = QSqlDatabase::connectionNames();
        QStringList qstrlstOpen;
        {
            CLS_DBOperation dbFirst("BurnModule");
            CLS_DBOperation dbSecond("BurnModule");
            CLS_DBOperation dbThird("Other");
            dbFirst.IsJobExist("J1");
            dbSecond.GetUnfinishedJobs();
            for (const QString& qstrName : QSqlDatabase::connectionNames())
                if (!qstrlstBefore.contains(qstrName))
                    qstrlstOpen << qstrName;
        }
        QCOMPARE(qstrlstOpen.size(), 3);
        const QRegularExpression qregName(
            "^(BurnModule|Other)_\\d{17}_\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$");
        for (const QString& qstrName : qstrlstOpen)
            QVERIFY2(qregName.match(qstrName).hasMatch(), qPrintable(qstrName));
        QCOMPARE(QSqlDatabase::connectionNames(), qstrlstBefore);
    }

private:
    QString m_qstrStartDir;
    std::unique_ptr<QTemporaryDir> m_pTmpDir;
};

QTEST_GUILESS_MAIN(tst_CLS_DBOperation)
#include "tst_CLS_DBOperation.moc"
