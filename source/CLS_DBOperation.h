// The SQLite job store of the acknowledged protocol ("burnmodule.db" in the current
// directory; a file there that is no store of ours is renamed "burnmodule.db.damaged-<time>"
// and a new store takes its place). A stack object of its caller, used on the thread that created it; each
// object opens its own connection and releases it when it goes away.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "BurnMsgInfo.h"

class QSqlQuery;

// The column GetJobItemParam returns.
enum DBJobItemColumn
{
    n_DBJobItemColumn_ReqParam = 0,       // the stored command parameters
    n_DBJobItemColumn_BurnTempParam = 1,  // the backend's working parameters
};

class CLS_DBOperation
{
public:
    // Opens a connection named _qstrName + "_" + time + "_" + UUID; creates the tables
    // the first time this process meets the store file.
    explicit CLS_DBOperation(const QString& _qstrName);
    ~CLS_DBOperation();
    CLS_DBOperation(const CLS_DBOperation&) = delete;
    CLS_DBOperation& operator=(const CLS_DBOperation&) = delete;

    // An inbound message: the job row of a new job and, unless _blMsgExist, the message's
    // cmd_table and job_item_table rows; all or nothing: false when none was kept.
    bool InsertMsgInfo(const BurnMsgInfo& _stMsgInfo, bool _blMsgExist);
    // An outgoing reply: its job_item_table row and, for a final one, the job state.
    void InsertResponse(const BurnMsgInfo& _stMsgInfo);
    void UpdateBurnTempParam(const BurnMsgInfo& _stMsgInfo);
    // A delivery report (iAck 1 delivered, 0 timed out).
    void UpdateAckReceive(const BurnMsgInfo& _stMsgInfo);

    bool IsJobExist(const QString& _qstrJobId);
    bool IsMsgExist(const QString& _qstrJobId, const QString& _qstrMsgId);
    // req_param of the first cmd_table row of the command; empty if none.
    QString GetCmdReqParam(const QString& _qstrJobId, const QString& _qstrCmd);
    // The column (DBJobItemColumn) of the last job_item_table row of the command.
    QString GetJobItemParam(const QString& _qstrJobId, const QString& _qstrCmd, int _iSelector);
    QString GetAddFileParam(const QString& _qstrJobId, int _iSelector);
    QString GetApplyBurnParam(const QString& _qstrJobId, int _iSelector);
    QString GetDoBurnParam(const QString& _qstrJobId, int _iSelector);
    QString GetStartBurnParam(const QString& _qstrJobId, int _iSelector);
    QString GetWriteLabelParam(const QString& _qstrJobId, int _iSelector);

    // Job ids with job_state -1, in store order.
    QStringList GetUnfinishedJobs();
    // Unconfirmed replies of jobs whose final delivery is not settled: finished jobs whose
    // end no client confirmed, and jobs still running (a reply recorded just before a crash
    // went out to nobody, and the job's later end does not make it delivered).
    QStringList GetUnackedResponses();
    // Deletes finished, confirmed jobs created before the UTC date _iDays ago.
    void DeleteExpiredJobs(int _iDays);

private:
    bool RunQuery(QSqlQuery& _qsqlQuery, const QString& _qstrSql, const QVariantList& _qvarlstValues,
                  const char* _szErrFmt);
    bool RunStatement(const QString& _qstrSql, const QVariantList& _qvarlstValues, const char* _szErrFmt);
    QStringList SelectColumn(const QString& _qstrSql, const QVariantList& _qvarlstValues, const char* _szColumn,
                             const char* _szErrFmt);
    bool HasRow(const QString& _qstrSql, const QVariantList& _qvarlstValues, const char* _szErrFmt);

    bool BeginWrite();
    bool EndWrite(bool _blCommit, const char* _szFun);

    bool InsertJobRowIfNew(const BurnMsgInfo& _stMsgInfo);
    bool InsertCmdRows(const BurnMsgInfo& _stMsgInfo);
    bool RecordAck(const BurnMsgInfo& _stMsgInfo);
    bool IsJobFinished(const QString& _qstrJobId);
    QStringList SelectDeletableJobs(int _iDays);
    void DeleteJob(const QString& _qstrJobId);

    QString m_qstrConnName;
    QSqlDatabase m_qsqlDb;
};
