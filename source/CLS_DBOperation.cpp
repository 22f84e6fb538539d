#include "CLS_DBOperation.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtDebug>

#include "ModuleLog.h"

static const char s_szLogSource[] = "source\\CLS_DBOperation";

namespace
{
const QString s_qstrDbFile = QStringLiteral("burnmodule.db");
const QString s_qstrDriver = QStringLiteral("QSQLITE");
// Concurrent writers wait for each other instead of failing with "database is locked".
const QString s_qstrConnectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
const QString s_qstrKeeperPrefix = QStringLiteral("BurnModuleStoreKeeper_");
const QString s_qstrStatusReply = QStringLiteral("BurnStatusReply");
const int n_StateRunning = -1;
const int n_AckNone = -1;
const int n_AckDelivered = 1;
const int n_StateError = 4;

const char s_szErrSelectJob[] = "Error: Fail to SELECT job_table. err=[%s]";
const char s_szErrSelectCmd[] = "Error: Fail to SELECT cmd_table. err=[%s]";
const char s_szErrSelectItem[] = "Error: Fail to SELECT job_item_table. err=[%s]";
const char s_szErrInsertJob[] = "Error: Fail to INSERT INTO job_table. err=[%s]";
const char s_szErrInsertCmd[] = "Error: Fail to INSERT INTO cmd_table. err=[%s]";
const char s_szErrInsertItem[] = "Error: Fail to INSERT INTO job_item_table. err=[%s]";
const char s_szErrInsertTimeout[] = "Error: Fail to INSERT INTO msg_timeout_table. err=[%s]";
const char s_szErrUpdateJob[] = "Error: Fail to update job_table. err=[%s]";
const char s_szErrUpdateItem[] = "Error: Fail to update job_item_table. err=[%s]";

// The tables in the column order the positional inserts fill, and indexes that keep
// every lookup by job id, state or age independent of the number of jobs stored.
// Readers that return several rows, or the first or last one, ask for rowid order:
// an index scan would otherwise hand them out in key order instead of store order.
const char* const s_aszSchema[] = {
    "CREATE TABLE IF NOT EXISTS job_table(jobid TEXT, job_state INTEGER, job_create_time TEXT, "
    "job_finished_ack_receive INTEGER)",
    "CREATE TABLE IF NOT EXISTS cmd_table(jobid TEXT, cmd TEXT, req_param TEXT, msgid TEXT)",
    "CREATE TABLE IF NOT EXISTS job_item_table(jobid TEXT, burn_cmd TEXT, req_param TEXT, responnse TEXT, "
    "ack_receive INTEGER, burn_temp_param TEXT)",
    "CREATE TABLE IF NOT EXISTS msg_timeout_table(jobid TEXT, responnse TEXT)",
    "CREATE INDEX IF NOT EXISTS idx_job_table_jobid ON job_table(jobid)",
    "CREATE INDEX IF NOT EXISTS idx_job_table_state ON job_table(job_state)",
    "CREATE INDEX IF NOT EXISTS idx_job_table_finished_ack ON job_table(job_finished_ack_receive, job_state)",
    "CREATE INDEX IF NOT EXISTS idx_job_table_create_time ON job_table(job_create_time)",
    "CREATE INDEX IF NOT EXISTS idx_cmd_table_jobid ON cmd_table(jobid, msgid)",
    "CREATE INDEX IF NOT EXISTS idx_job_item_table_jobid ON job_item_table(jobid, burn_cmd)",
    "CREATE INDEX IF NOT EXISTS idx_msg_timeout_table_jobid ON msg_timeout_table(jobid)",
};

// Store files (absolute paths) whose tables this process has put in place; each of
// them has an idle keeper connection open until the process ends.
QMutex s_mutexStores;
QSet<QString> s_qsetReadyStores;

// Write transactions of this process take turns here. SQLite's busy handler polls with
// growing sleeps, so under slow disks a writer could be overtaken again and again until
// its busy timeout ran out; waiters on a mutex are woken in turn instead.
QMutex s_mutexWrite;

QString ErrorText(const QSqlError& _qsqlError)
{
    return _qsqlError.databaseText().isEmpty() ? _qsqlError.text() : _qsqlError.databaseText();
}

// Texts are bound as texts: a null QString would be stored as NULL.
QVariant Text(const QString& _qstrValue)
{
    return _qstrValue.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(_qstrValue);
}

bool ExecSchemaStep(QSqlDatabase& _qsqlDb, const QString& _qstrPath, const char* _szSql)
{
    QSqlQuery qsqlQuery(_qsqlDb);
    if (qsqlQuery.exec(QString::fromLatin1(_szSql)))
        return true;
    BURN_LOG(n_BurnLogLevel_Error, "Error: Fail to prepare the store [%s] with [%s]. err=[%s]",
             _qstrPath.toUtf8().constData(), _szSql, ErrorText(qsqlQuery.lastError()).toUtf8().constData());
    return false;
}

// WAL is a property of the file; the tables and indexes go in as one transaction.
bool CreateSchema(QSqlDatabase& _qsqlDb, const QString& _qstrPath)
{
    if (!ExecSchemaStep(_qsqlDb, _qstrPath, "PRAGMA journal_mode=WAL"))
        return false;
    if (!ExecSchemaStep(_qsqlDb, _qstrPath, "BEGIN IMMEDIATE"))
        return false;
    for (const char* szSql : s_aszSchema) {
        if (!ExecSchemaStep(_qsqlDb, _qstrPath, szSql)) {
            ExecSchemaStep(_qsqlDb, _qstrPath, "ROLLBACK");
            return false;
        }
    }
    return ExecSchemaStep(_qsqlDb, _qstrPath, "COMMIT");
}

// The columns of each table the store holds, in the order the positional inserts fill.
const QHash<QString, QStringList>& StoreColumns()
{
    static const QHash<QString, QStringList> s_qhashColumns = {
        {QStringLiteral("job_table"),
         {QStringLiteral("jobid"), QStringLiteral("job_state"), QStringLiteral("job_create_time"),
          QStringLiteral("job_finished_ack_receive")}},
        {QStringLiteral("cmd_table"),
         {QStringLiteral("jobid"), QStringLiteral("cmd"), QStringLiteral("req_param"), QStringLiteral("msgid")}},
        {QStringLiteral("job_item_table"),
         {QStringLiteral("jobid"), QStringLiteral("burn_cmd"), QStringLiteral("req_param"),
          QStringLiteral("responnse"), QStringLiteral("ack_receive"), QStringLiteral("burn_temp_param")}},
        {QStringLiteral("msg_timeout_table"), {QStringLiteral("jobid"), QStringLiteral("responnse")}},
    };
    return s_qhashColumns;
}

// What the process finds in a store file it meets for the first time.
enum StoreCheck
{
    n_StoreCheck_Ours,     // empty, or only tables of ours (some may still be missing)
    n_StoreCheck_Foreign,  // no database at all, or another program's tables
    n_StoreCheck_Failed,   // could not be read now (a lock, the disk); tried again later
};

QStringList SelectNames(QSqlDatabase& _qsqlDb, const QString& _qstrSql, const QString& _qstrBind,
                        QSqlError& _qsqlError)
{
    QStringList qstrlstNames;
    QSqlQuery qsqlQuery(_qsqlDb);
    if (!qsqlQuery.prepare(_qstrSql)) {
        _qsqlError = qsqlQuery.lastError();
        return qstrlstNames;
    }
    if (!_qstrBind.isNull())
        qsqlQuery.addBindValue(_qstrBind);
    if (!qsqlQuery.exec())
        _qsqlError = qsqlQuery.lastError();
    while (qsqlQuery.next())
        qstrlstNames << qsqlQuery.value(0).toString();
    return qstrlstNames;
}

// SQLITE_NOTADB (26): the file has no database header, so no statement can ever use it.
bool IsNotDatabase(const QSqlError& _qsqlError)
{
    return _qsqlError.nativeErrorCode() == QLatin1String("26") ||
           ErrorText(_qsqlError).contains(QLatin1String("file is not a database"));
}

StoreCheck CheckStore(QSqlDatabase& _qsqlDb, const QString& _qstrPath)
{
    QSqlError qsqlError;
    const QStringList qstrlstTables = SelectNames(
        _qsqlDb, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'"),
        QString(), qsqlError);
    if (qsqlError.isValid()) {
        BURN_LOG(n_BurnLogLevel_Error, "Error: Fail to read the store [%s]. err=[%s]", _qstrPath.toUtf8().constData(),
                 ErrorText(qsqlError).toUtf8().constData());
        return IsNotDatabase(qsqlError) ? n_StoreCheck_Foreign : n_StoreCheck_Failed;
    }
    for (const QString& qstrTable : qstrlstTables) {
        const QStringList qstrlstColumns =
            SelectNames(_qsqlDb, QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"), qstrTable,
                        qsqlError);
        if (qsqlError.isValid())
            return n_StoreCheck_Failed;
        if (StoreColumns().value(qstrTable) != qstrlstColumns) {
            BURN_LOG(n_BurnLogLevel_Error, "Error: The store [%s] holds a table [%s] that is not the module's.",
                     _qstrPath.toUtf8().constData(), qstrTable.toUtf8().constData());
            return n_StoreCheck_Foreign;
        }
    }
    return n_StoreCheck_Ours;
}

// Opens the process's idle connection to the store and puts the tables in place. While
// it stays open, closing a per-use connection never checkpoints and deletes the WAL files.
StoreCheck OpenKeeperOnce(const QString& _qstrPath)
{
    const QString qstrName = s_qstrKeeperPrefix + _qstrPath;
    StoreCheck eCheck = n_StoreCheck_Failed;
    {
        QSqlDatabase qsqlDb = QSqlDatabase::addDatabase(s_qstrDriver, qstrName);
        qsqlDb.setDatabaseName(_qstrPath);
        qsqlDb.setConnectOptions(s_qstrConnectOptions);
        if (qsqlDb.open())
            eCheck = CheckStore(qsqlDb, _qstrPath);
        else
            BURN_LOG(n_BurnLogLevel_Error, "Error: Failed to connect database [%s]. err=[%s]",
                     _qstrPath.toUtf8().constData(), ErrorText(qsqlDb.lastError()).toUtf8().constData());
        if (eCheck == n_StoreCheck_Ours && !CreateSchema(qsqlDb, _qstrPath))
            eCheck = n_StoreCheck_Failed;
        if (eCheck != n_StoreCheck_Ours)
            qsqlDb.close();
    }
    if (eCheck != n_StoreCheck_Ours)
        QSqlDatabase::removeDatabase(qstrName);
    return eCheck;
}

// The unusable file is kept for whoever wants to look at it, with its journal files: a
// journal left beside the new store would be played into it.
bool SetAsideStore(const QString& _qstrPath)
{
    const QString qstrStamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString qstrAside = _qstrPath + QStringLiteral(".damaged-") + qstrStamp;
    for (int i = 2; QFile::exists(qstrAside); ++i)
        qstrAside = _qstrPath + QStringLiteral(".damaged-%1-%2").arg(qstrStamp).arg(i);
    for (const char* szSuffix : {"", "-wal", "-shm"}) {
        const QString qstrFrom = _qstrPath + QLatin1String(szSuffix);
        if (QFile::exists(qstrFrom) && !QFile::rename(qstrFrom, qstrAside + QLatin1String(szSuffix))) {
            BURN_LOG(n_BurnLogLevel_Error, "Error: The store [%s] cannot be used and cannot be set aside as [%s].",
                     qstrFrom.toUtf8().constData(), (qstrAside + QLatin1String(szSuffix)).toUtf8().constData());
            return false;
        }
    }
    BURN_LOG(n_BurnLogLevel_Error, "Error: The store [%s] is not a job store of this module; set aside as [%s], "
             "a new empty store is created in its place.", _qstrPath.toUtf8().constData(),
             qstrAside.toUtf8().constData());
    return true;
}

// A file that can never be our store is set aside once and replaced by a new one; a
// failure of another kind leaves the file as it is, for the next object to try again.
bool OpenKeeper(const QString& _qstrPath)
{
    const StoreCheck eCheck = OpenKeeperOnce(_qstrPath);
    if (eCheck != n_StoreCheck_Foreign)
        return eCheck == n_StoreCheck_Ours;
    return SetAsideStore(_qstrPath) && OpenKeeperOnce(_qstrPath) == n_StoreCheck_Ours;
}

// Once per process and store file; a failure is tried again by the next object, and a
// store file removed while the process runs is set up again. The registry owns the
// keeper, so removing its entry closes it. Threads opening the store at once wait here,
// so an unusable file is set aside by one of them only.
void PrepareStore()
{
    const QFileInfo qfiStore(s_qstrDbFile);
    const QString qstrPath = qfiStore.absoluteFilePath();
    QMutexLocker locker(&s_mutexStores);
    const bool blKnown = s_qsetReadyStores.contains(qstrPath);
    if (blKnown && qfiStore.exists())
        return;
    if (blKnown) {
        s_qsetReadyStores.remove(qstrPath);
        QSqlDatabase::removeDatabase(s_qstrKeeperPrefix + qstrPath);
    }
    if (OpenKeeper(qstrPath))
        s_qsetReadyStores.insert(qstrPath);
}

QString MakeConnectionName(const QString& _qstrName)
{
    return _qstrName + QLatin1Char('_') +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmsszzz")) + QLatin1Char('_') +
           QUuid::createUuid().toString();
}
}  // namespace

CLS_DBOperation::CLS_DBOperation(const QString& _qstrName)
    : m_qstrConnName(MakeConnectionName(_qstrName))
{
    qInfo("DB connect name = [%s]", m_qstrConnName.toUtf8().constData());
    PrepareStore();
    m_qsqlDb = QSqlDatabase::addDatabase(s_qstrDriver, m_qstrConnName);
    m_qsqlDb.setDatabaseName(s_qstrDbFile);
    m_qsqlDb.setConnectOptions(s_qstrConnectOptions);
    if (!m_qsqlDb.open()) {
        BURN_LOG(n_BurnLogLevel_Error, "Error: Failed to connect database. err=[%s]",
                 m_qsqlDb.lastError().nativeErrorCode().toUtf8().constData());
        return;
    }
    RunStatement(QStringLiteral("PRAGMA synchronous=FULL"), {}, "Error: Fail to set synchronous. err=[%s]");
}

// The handle goes before the registry entry, so Qt finds the connection unused.
CLS_DBOperation::~CLS_DBOperation()
{
    qInfo("~CLS_DBOperation ~CLS_DBOperation ~CLS_DBOperation");
    m_qsqlDb.close();
    m_qsqlDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_qstrConnName);
}

bool CLS_DBOperation::InsertMsgInfo(const BurnMsgInfo& _stMsgInfo, bool _blMsgExist)
{
    if (!BeginWrite())
        return false;
    const bool blOk = InsertJobRowIfNew(_stMsgInfo) && (_blMsgExist || InsertCmdRows(_stMsgInfo));
    return EndWrite(blOk, "CLS_DBOperation::InsertMsgInfo");
}

void CLS_DBOperation::InsertResponse(const BurnMsgInfo& _stMsgInfo)
{
    if (!BeginWrite())
        return;
    bool blOk = true;
    if (_stMsgInfo.qstrCmd == s_qstrStatusReply || _stMsgInfo.iJobState == n_StateError)
        blOk = RunStatement(QStringLiteral("UPDATE job_table SET job_state=? WHERE jobid=? "),
                            {_stMsgInfo.iJobState, Text(_stMsgInfo.qstrJobId)}, s_szErrUpdateJob);
    blOk = blOk && RunStatement(QStringLiteral("INSERT INTO job_item_table VALUES(:jobid,:burn_cmd,:req_param,"
                                               ":responnse,:ack_receive,:burn_temp_param)"),
                                {Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrCmd), Text(QString()),
                                 Text(_stMsgInfo.qstrResponse), _stMsgInfo.iAck, Text(_stMsgInfo.qstrBurnTempParam)},
                                s_szErrInsertItem);
    EndWrite(blOk, "CLS_DBOperation::InsertResponse");
}

void CLS_DBOperation::UpdateBurnTempParam(const BurnMsgInfo& _stMsgInfo)
{
    RunStatement(QStringLiteral("UPDATE job_item_table SET burn_temp_param=? WHERE jobid=? AND burn_cmd=?"),
                 {Text(_stMsgInfo.qstrBurnTempParam), Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrCmd)},
                 s_szErrUpdateItem);
}

void CLS_DBOperation::UpdateAckReceive(const BurnMsgInfo& _stMsgInfo)
{
    if (!BeginWrite())
        return;
    EndWrite(RecordAck(_stMsgInfo), "CLS_DBOperation::UpdateAckReceive");
}

bool CLS_DBOperation::IsJobExist(const QString& _qstrJobId)
{
    const bool blExist =
        HasRow(QStringLiteral("SELECT * FROM job_table WHERE jobid=?"), {Text(_qstrJobId)}, s_szErrSelectJob);
    BURN_LOG(n_BurnLogLevel_Error,
             blExist ? "[jobid][%s][job_table] Record already exists." : "[jobid][%s][job_table] Record not exists.",
             _qstrJobId.toUtf8().constData());
    return blExist;
}

bool CLS_DBOperation::IsMsgExist(const QString& _qstrJobId, const QString& _qstrMsgId)
{
    const bool blExist = HasRow(QStringLiteral("SELECT * FROM cmd_table WHERE jobid=? AND msgid=?"),
                                {Text(_qstrJobId), Text(_qstrMsgId)}, s_szErrSelectCmd);
    BURN_LOG(n_BurnLogLevel_Error,
             blExist ? "[jobid][%s][msgid][%s][cmd_table] Record already exists."
                     : "[jobid][%s][msgid][%s][cmd_table] Record not exists.",
             _qstrJobId.toUtf8().constData(), _qstrMsgId.toUtf8().constData());
    return blExist;
}

QString CLS_DBOperation::GetCmdReqParam(const QString& _qstrJobId, const QString& _qstrCmd)
{
    QSqlQuery qsqlQuery(m_qsqlDb);
    if (RunQuery(qsqlQuery, QStringLiteral("SELECT * FROM cmd_table WHERE jobid=? AND cmd=? ORDER BY rowid"),
                 {Text(_qstrJobId), Text(_qstrCmd)}, s_szErrSelectCmd) &&
        qsqlQuery.next())
        return qsqlQuery.value(QStringLiteral("req_param")).toString();
    BURN_LOG(n_BurnLogLevel_Error, "[JobId][%s][cmd_table] Record not exists", _qstrJobId.toUtf8().constData());
    return QString();
}

QString CLS_DBOperation::GetJobItemParam(const QString& _qstrJobId, const QString& _qstrCmd, int _iSelector)
{
    const char* szColumn = _iSelector == n_DBJobItemColumn_BurnTempParam ? "burn_temp_param" : "req_param";
    const QStringList qstrlstValues =
        SelectColumn(QStringLiteral("SELECT * FROM job_item_table WHERE jobid=? AND burn_cmd=? ORDER BY rowid"),
                     {Text(_qstrJobId), Text(_qstrCmd)}, szColumn, s_szErrSelectItem);
    return qstrlstValues.isEmpty() ? QString() : qstrlstValues.last();
}

QString CLS_DBOperation::GetAddFileParam(const QString& _qstrJobId, int _iSelector)
{
    return GetJobItemParam(_qstrJobId, QStringLiteral("AddFile"), _iSelector);
}

QString CLS_DBOperation::GetApplyBurnParam(const QString& _qstrJobId, int _iSelector)
{
    return GetJobItemParam(_qstrJobId, QStringLiteral("ApplyBurn"), _iSelector);
}

QString CLS_DBOperation::GetDoBurnParam(const QString& _qstrJobId, int _iSelector)
{
    return GetJobItemParam(_qstrJobId, QStringLiteral("DoBurn"), _iSelector);
}

QString CLS_DBOperation::GetStartBurnParam(const QString& _qstrJobId, int _iSelector)
{
    return GetJobItemParam(_qstrJobId, QStringLiteral("StartBurn"), _iSelector);
}

QString CLS_DBOperation::GetWriteLabelParam(const QString& _qstrJobId, int _iSelector)
{
    return GetJobItemParam(_qstrJobId, QStringLiteral("WriteLabel"), _iSelector);
}

QStringList CLS_DBOperation::GetUnfinishedJobs()
{
    return SelectColumn(QStringLiteral("SELECT * FROM job_table WHERE job_state=? ORDER BY rowid"), {n_StateRunning},
                        "jobid", s_szErrSelectJob);
}

QStringList CLS_DBOperation::GetUnackedResponses()
{
    const QStringList qstrlstJobIds = SelectColumn(
        QStringLiteral("SELECT * FROM job_table WHERE job_finished_ack_receive=? ORDER BY rowid;"), {n_AckNone},
        "jobid", s_szErrSelectJob);
    QStringList qstrlstResponses;
    for (const QString& qstrJobId : qstrlstJobIds)
        qstrlstResponses += SelectColumn(
            QStringLiteral("SELECT * FROM job_item_table WHERE jobid=? AND ack_receive=? ORDER BY rowid"),
            {Text(qstrJobId), n_AckNone}, "responnse", s_szErrSelectJob);
    return qstrlstResponses;
}

void CLS_DBOperation::DeleteExpiredJobs(int _iDays)
{
    for (const QString& qstrJobId : SelectDeletableJobs(_iDays))
        DeleteJob(qstrJobId);
}

bool CLS_DBOperation::RunQuery(QSqlQuery& _qsqlQuery, const QString& _qstrSql, const QVariantList& _qvarlstValues,
                               const char* _szErrFmt)
{
    _qsqlQuery.setForwardOnly(true);
    bool blOk = _qsqlQuery.prepare(_qstrSql);
    for (int i = 0; blOk && i < _qvarlstValues.size(); ++i)
        _qsqlQuery.bindValue(i, _qvarlstValues.at(i));
    blOk = blOk && _qsqlQuery.exec();
    if (!blOk)
        BURN_LOG(n_BurnLogLevel_Error, _szErrFmt, ErrorText(_qsqlQuery.lastError()).toUtf8().constData());
    return blOk;
}

bool CLS_DBOperation::RunStatement(const QString& _qstrSql, const QVariantList& _qvarlstValues, const char* _szErrFmt)
{
    QSqlQuery qsqlQuery(m_qsqlDb);
    return RunQuery(qsqlQuery, _qstrSql, _qvarlstValues, _szErrFmt);
}

QStringList CLS_DBOperation::SelectColumn(const QString& _qstrSql, const QVariantList& _qvarlstValues,
                                          const char* _szColumn, const char* _szErrFmt)
{
    QStringList qstrlstValues;
    QSqlQuery qsqlQuery(m_qsqlDb);
    if (!RunQuery(qsqlQuery, _qstrSql, _qvarlstValues, _szErrFmt))
        return qstrlstValues;
    const QString qstrColumn = QString::fromLatin1(_szColumn);
    while (qsqlQuery.next())
        qstrlstValues << qsqlQuery.value(qstrColumn).toString();
    return qstrlstValues;
}

bool CLS_DBOperation::HasRow(const QString& _qstrSql, const QVariantList& _qvarlstValues, const char* _szErrFmt)
{
    QSqlQuery qsqlQuery(m_qsqlDb);
    return RunQuery(qsqlQuery, _qstrSql, _qvarlstValues, _szErrFmt) && qsqlQuery.next();
}

// IMMEDIATE takes the write lock at once (other processes wait up to the busy timeout),
// so a read inside the transaction can never be overtaken by another writer. Every
// successful BeginWrite is closed by one EndWrite, which releases the turn.
bool CLS_DBOperation::BeginWrite()
{
    s_mutexWrite.lock();
    if (RunStatement(QStringLiteral("BEGIN IMMEDIATE"), {}, "Error: Fail to BEGIN a transaction. err=[%s]"))
        return true;
    s_mutexWrite.unlock();
    return false;
}

bool CLS_DBOperation::EndWrite(bool _blCommit, const char* _szFun)
{
    const bool blCommitted =
        _blCommit && RunStatement(QStringLiteral("COMMIT"), {}, "Error: Fail to COMMIT. err=[%s]");
    // A COMMIT that failed on a full or failing disk has rolled back already; that ROLLBACK
    // finds no transaction is no failure worth a line.
    if (!blCommitted) {
        QSqlQuery qsqlQuery(m_qsqlDb);
        if (!qsqlQuery.exec(QStringLiteral("ROLLBACK"))
            && !ErrorText(qsqlQuery.lastError()).contains(QLatin1String("no transaction is active")))
            BURN_LOG(n_BurnLogLevel_Error, "Error: Fail to ROLLBACK. err=[%s]",
                     ErrorText(qsqlQuery.lastError()).toUtf8().constData());
        BURN_LOG(n_BurnLogLevel_Error, "Error: fun=%s rolled back, none of its rows were kept.", _szFun);
    }
    s_mutexWrite.unlock();
    return blCommitted;
}

bool CLS_DBOperation::InsertJobRowIfNew(const BurnMsgInfo& _stMsgInfo)
{
    if (IsJobExist(_stMsgInfo.qstrJobId)) {
        BURN_LOG(n_BurnLogLevel_Error, "[jobid][%s][job_table] Record already exists.",
                 _stMsgInfo.qstrJobId.toUtf8().constData());
        return true;
    }
    const QString qstrCreateTime = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // The final delivery is unsettled until a report comes, whatever "ret" the first request
    // carried: a job started as settled would never have its replies resent nor be kept.
    return RunStatement(QStringLiteral("INSERT INTO job_table VALUES(:jobid,:job_state,:job_create_time,"
                                       ":job_finished_ack_receive)"),
                        {Text(_stMsgInfo.qstrJobId), _stMsgInfo.iJobState, qstrCreateTime, n_AckNone},
                        s_szErrInsertJob);
}

bool CLS_DBOperation::InsertCmdRows(const BurnMsgInfo& _stMsgInfo)
{
    return RunStatement(QStringLiteral("INSERT INTO cmd_table VALUES(:jobid,:cmd,:req_param,:msgid)"),
                        {Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrCmd), Text(_stMsgInfo.qstrHead),
                         Text(_stMsgInfo.qstrMsgId)},
                        s_szErrInsertCmd) &&
           RunStatement(QStringLiteral("INSERT INTO job_item_table VALUES(:jobid,:burn_cmd,:req_param,:responnse,"
                                       ":ack_receive,:burn_temp_param)"),
                        {Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrCmd), Text(_stMsgInfo.qstrCmdParam),
                         Text(QString()), 1, Text(_stMsgInfo.qstrBurnTempParam)},
                        s_szErrInsertItem);
}

// The reply's own row always; the job's final delivery only for a status reply or a
// reply of a job that has left state -1; a timed-out final delivery is also listed.
bool CLS_DBOperation::RecordAck(const BurnMsgInfo& _stMsgInfo)
{
    if (!RunStatement(QStringLiteral("UPDATE job_item_table SET ack_receive=? WHERE jobid=? AND burn_cmd=?"),
                      {_stMsgInfo.iAck, Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrCmd)}, s_szErrUpdateItem))
        return false;
    if (_stMsgInfo.qstrCmd != s_qstrStatusReply && !IsJobFinished(_stMsgInfo.qstrJobId))
        return true;
    if (!RunStatement(QStringLiteral("UPDATE job_table SET job_finished_ack_receive=? WHERE jobid=?"),
                      {_stMsgInfo.iAck, Text(_stMsgInfo.qstrJobId)}, s_szErrUpdateJob))
        return false;
    if (_stMsgInfo.iAck == n_AckDelivered)
        return true;
    return RunStatement(QStringLiteral("INSERT INTO msg_timeout_table VALUES(:jobid,:responnse)"),
                        {Text(_stMsgInfo.qstrJobId), Text(_stMsgInfo.qstrMsg)}, s_szErrInsertTimeout);
}

bool CLS_DBOperation::IsJobFinished(const QString& _qstrJobId)
{
    QSqlQuery qsqlQuery(m_qsqlDb);
    return RunQuery(qsqlQuery, QStringLiteral("SELECT * FROM job_table WHERE jobid=?"), {Text(_qstrJobId)},
                    s_szErrUpdateJob) &&
           qsqlQuery.next() && qsqlQuery.value(QStringLiteral("job_state")).toInt() != n_StateRunning;
}

// Expired rows compare the stored local time as text with SQLite's UTC date, so a job
// created on the cut-off day itself stays. Missing or non-numeric states read as 0.
QStringList CLS_DBOperation::SelectDeletableJobs(int _iDays)
{
    QStringList qstrlstJobIds;
    QSqlQuery qsqlQuery(m_qsqlDb);
    if (!RunQuery(qsqlQuery, QStringLiteral("SELECT * FROM job_table WHERE job_create_time < date('now', ?)"),
                  {QStringLiteral("-%1 days").arg(_iDays)}, s_szErrSelectJob))
        return qstrlstJobIds;
    while (qsqlQuery.next()) {
        if (qsqlQuery.value(QStringLiteral("job_state")).toInt() != n_StateRunning &&
            qsqlQuery.value(QStringLiteral("job_finished_ack_receive")).toInt() != n_AckNone)
            qstrlstJobIds << qsqlQuery.value(QStringLiteral("jobid")).toString();
    }
    return qstrlstJobIds;
}

// The four deletes of one job share a transaction; a failing one is logged and the
// others still run and are kept.
void CLS_DBOperation::DeleteJob(const QString& _qstrJobId)
{
    if (!BeginWrite())
        return;
    const QVariantList qvarlstJobId = {Text(_qstrJobId)};
    RunStatement(QStringLiteral("DELETE FROM msg_timeout_table WHERE jobid = ?"), qvarlstJobId,
                 "Error: Fail to DELETE msg_timeout_table. err=[%s]");
    RunStatement(QStringLiteral("DELETE FROM job_item_table WHERE jobid = ?"), qvarlstJobId,
                 "Error: Fail to DELETE job_item_table. err=[%s]");
    RunStatement(QStringLiteral("DELETE FROM cmd_table WHERE jobid = ?"), qvarlstJobId,
                 "Error: Fail to DELETE cmd_table. err=[%s]");
    RunStatement(QStringLiteral("DELETE FROM job_table WHERE jobid = ?"), qvarlstJobId,
                 "Error: Fail to DELETE job_table. err=[%s]");
    EndWrite(true, "CLS_DBOperation::DeleteExpiredJobs");
    BURN_LOG(n_BurnLogLevel_Info, "DELETE [JobId][%s]", _qstrJobId.toUtf8().constData());
}
