// A burning-device double that tests install behind a device kind: it records every call
// and answers what the test set. Tests keep it alive to the process end, since bus
// threads may still call it; one mutex guards every member. Its polling pause is short.
#pragma once

#include <QList>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>

#include "CLS_AutoBase.h"

// One call the bus made: operation, job id and the other arguments as texts.
struct BackendCall
{
    QString qstrOp;
    QString qstrJobId;
    QStringList qlstArgs;
};

class CLS_TestBackend : public CLS_AutoBase
{
    Q_OBJECT

public:
    // A slow device takes that long for every call, once recorded.
    explicit CLS_TestBackend(int _iDelayMs = 0) : m_iDelayMs(_iDelayMs) {}

    // Result and texts of an operation, for one job or (empty job id) for every job. Unset operations
    // succeed; GetRobotStatus answers as the base does (not offered) and GetJobStatus -1 until set.
    void SetResult(const QString& _qstrOp, int _iRet, const QString& _qstrErrMsg = QString(),
                   const QString& _qstrErrCode = QString(), const QString& _qstrJobId = QString(),
                   const QString& _qstrErrLogs = QString())
    {
        QMutexLocker locker(&m_mutex);
        const Result stResult{_iRet, _qstrErrCode, _qstrErrMsg, _qstrErrLogs};
        m_qmapResults.insert(_qstrOp + QLatin1Char('|') + _qstrJobId, stResult);
    }
    void SetRobotStatus(int _iRet, const QString& _qstrStatus)
    {
        SetResult(QStringLiteral("GetRobotStatus"), _iRet);
        QMutexLocker locker(&m_mutex);
        m_qstrRobotStatus = _qstrStatus;
    }
    void SetJobStatus(const QString& _qstrJobId, int _iState, const QString& _qstrErrLogs = QString(),
                      const QString& _qstrErrMsg = QString(), const QString& _qstrErrCode = QString())
    {
        SetResult("GetJobStatus", _iState, _qstrErrMsg, _qstrErrCode, _qstrJobId, _qstrErrLogs);
    }

    // The calls of an operation (all for an empty one), of one job unless the id is null.
    QList<BackendCall> Calls(const QString& _qstrOp = QString(), const QString& _qstrJobId = QString()) const
    {
        QMutexLocker locker(&m_mutex);
        QList<BackendCall> qlstCalls;
        for (const BackendCall& stCall : m_qlstCalls) {
            if ((_qstrOp.isEmpty() || stCall.qstrOp == _qstrOp)
                && (_qstrJobId.isNull() || stCall.qstrJobId == _qstrJobId))
                qlstCalls << stCall;
        }
        return qlstCalls;
    }

    bool Init(BurnResultInfo*) override { return true; }
    int InquestBurn(std::string _strJobId, int _iCopies, int _iBurnType, std::string _strReqJson,
                    BurnResultInfo* _pResult) override
    {
        return Answer("InquestBurn", Text(_strJobId), {Text(_iCopies), Text(_iBurnType), Text(_strReqJson)}, _pResult);
    }
    int StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle, std::string _strCDCover,
                  int _iCopies, int _iBurnType, std::string _strCloseDisc, std::string _strReqJson,
                  BurnResultInfo* _pResult) override
    {
        return Answer("StartBurn", Text(_strJobId), {Text(_strCDType), Text(_strCDTitle), Text(_strCDCover),
                      Text(_iCopies), Text(_iBurnType), Text(_strCloseDisc), Text(_strReqJson)}, _pResult);
    }
    int CancelBurn(std::string _strJobId) override { return Answer("CancelBurn", Text(_strJobId), {}, nullptr); }
    int AddFile(std::string _strJobId, BurnFileTask& _stTask, BurnResultInfo* _pResult) override
    {
        QStringList qlstArgs{Text(_stTask.strJobId)};
        for (const auto& prFile : _stTask.vecFiles)
            qlstArgs << Text(prFile.first) + QLatin1Char('>') + Text(prFile.second);
        return Answer("AddFile", Text(_strJobId), qlstArgs, _pResult);
    }
    int DoBurn(std::string _strJobId, BurnResultInfo* _pResult) override
    {
        return Answer("DoBurn", Text(_strJobId), {}, _pResult);
    }
    int WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult) override
    {
        return Answer("WriteLabel", Text(_strJobId), {Text(_strReqJson)}, _pResult);
    }
    int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) override
    {
        return Answer("GetJobStatus", _qstrJobId, {}, _pResult, {-1, {}, {}, {}});
    }
    int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo* _pResult) override
    {
        QMutexLocker locker(&m_mutex);
        _qstrStatusMsg = m_qstrRobotStatus;
        locker.unlock();
        const Result stUnset{n_BurnRet_Unsupported, {}, QString::fromUtf8(g_szUnsupportedDevMsg), {}};
        return Answer("GetRobotStatus", QString(), {}, _pResult, stUnset);
    }
    int AdjustPrinter(std::string _strReq, BurnResultInfo* _pResult) override
    {
        return Answer("AdjustPrinter", QString(), {Text(_strReq)}, _pResult);
    }
    int ClearData(QString _qstrJobId) override { return Answer("ClearData", _qstrJobId, {}, nullptr); }
    bool UpdateJobInfo(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath) override
    {
        return Answer("UpdateJobInfo", _qstrJobId, {_qstrDiscLabel, _qstrPath}, nullptr) == 0;
    }
    int StatusPollPauseMs() const override { return 10000; }

private:
    struct Result
    {
        int iRet;
        QString qstrErrCode;
        QString qstrErrMsg;
        QString qstrErrLogs;
    };

    static QString Text(const std::string& _strText) { return QString::fromStdString(_strText); }
    static QString Text(int _iValue) { return QString::number(_iValue); }

    // Records the call, takes the delay; answers the job's result, else the operation's,
    // else the one given, with the texts only on failure.
    int Answer(const char* _szOp, const QString& _qstrJobId, const QStringList& _qlstArgs,
               BurnResultInfo* _pResult, const Result& _stUnset = {0, {}, {}, {}})
    {
        QMutexLocker locker(&m_mutex);
        m_qlstCalls << BackendCall{QLatin1String(_szOp), _qstrJobId, _qlstArgs};
        locker.unlock();
        QThread::msleep(static_cast<unsigned long>(m_iDelayMs));
        locker.relock();
        const QString qstrOpKey = QLatin1String(_szOp) + QLatin1Char('|');
        const Result stOpResult = m_qmapResults.value(qstrOpKey, _stUnset);
        const Result stResult = m_qmapResults.value(qstrOpKey + _qstrJobId, stOpResult);
        if (_pResult && stResult.iRet != 0) {
            _pResult->qstrErrCode = stResult.qstrErrCode;
            _pResult->qstrErrMsg = stResult.qstrErrMsg;
            _pResult->qstrErrLogs = stResult.qstrErrLogs;
        }
        return stResult.iRet;
    }

    mutable QMutex m_mutex;
    QList<BackendCall> m_qlstCalls;
    QMap<QString, Result> m_qmapResults;  // "operation|job id" -> result
    QString m_qstrRobotStatus;
    const int m_iDelayMs;
};
