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

#include <functional>

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
    // Result and texts of an operation, for one job or (empty job id) for every job.
    // Unset operations succeed; GetRobotStatus keeps the base answer (not offered) and
    // GetJobStatus answers -1 until set.
    void SetResult(const QString& _qstrOp, int _iRet, const QString& _qstrErrMsg = QString(),
                   const QString& _qstrErrCode = QString(), const QString& _qstrJobId = QString())
    {
        QMutexLocker locker(&m_mutex);
        m_qmapResults.insert(_qstrOp + QLatin1Char('|') + _qstrJobId, {_iRet, _qstrErrCode, _qstrErrMsg, QString()});
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
        QMutexLocker locker(&m_mutex);
        m_qmapResults.insert("GetJobStatus|" + _qstrJobId, {_iState, _qstrErrCode, _qstrErrMsg, _qstrErrLogs});
    }
    // A slow device: every call takes _iDelayMs and is first shown to the observer.
    void SetCallHook(int _iDelayMs, std::function<void(const char*)> _fnObserver)
    {
        QMutexLocker locker(&m_mutex);
        m_iDelayMs = _iDelayMs;
        m_fnObserver = std::move(_fnObserver);
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
    int CallCount(const QString& _qstrOp, const QString& _qstrJobId = QString()) const
    {
        return Calls(_qstrOp, _qstrJobId).size();
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
        return Answer("StartBurn", Text(_strJobId),
                      {Text(_strCDType), Text(_strCDTitle), Text(_strCDCover), Text(_iCopies), Text(_iBurnType),
                       Text(_strCloseDisc), Text(_strReqJson)},
                      _pResult);
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
        Record("GetJobStatus", _qstrJobId, {});
        QMutexLocker locker(&m_mutex);
        const Result stResult = m_qmapResults.value("GetJobStatus|" + _qstrJobId, {-1, {}, {}, {}});
        _pResult->qstrErrCode = stResult.qstrErrCode;
        _pResult->qstrErrMsg = stResult.qstrErrMsg;
        _pResult->qstrErrLogs = stResult.qstrErrLogs;
        return stResult.iRet;
    }
    int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo* _pResult) override
    {
        QMutexLocker locker(&m_mutex);
        const bool blSet = m_qmapResults.contains(QStringLiteral("GetRobotStatus|"));
        _qstrStatusMsg = m_qstrRobotStatus;
        locker.unlock();
        const int iRet = Answer("GetRobotStatus", QString(), {}, _pResult);
        return blSet ? iRet : CLS_AutoBase::GetRobotStatus(_qstrStatusMsg, _pResult);
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

    void Record(const char* _szOp, const QString& _qstrJobId, const QStringList& _qlstArgs)
    {
        QMutexLocker locker(&m_mutex);
        m_qlstCalls << BackendCall{QLatin1String(_szOp), _qstrJobId, _qlstArgs};
        const std::function<void(const char*)> fnObserver = m_fnObserver;
        const int iDelayMs = m_iDelayMs;
        locker.unlock();
        if (fnObserver)
            fnObserver(_szOp);
        QThread::msleep(static_cast<unsigned long>(iDelayMs));
    }

    // Records the call; answers the job's result, else the operation's, else 0, with
    // the texts only on failure.
    int Answer(const char* _szOp, const QString& _qstrJobId, const QStringList& _qlstArgs, BurnResultInfo* _pResult)
    {
        Record(_szOp, _qstrJobId, _qlstArgs);
        QMutexLocker locker(&m_mutex);
        const QString qstrOpKey = QLatin1String(_szOp) + QLatin1Char('|');
        const Result stOpResult = m_qmapResults.value(qstrOpKey, {0, {}, {}, {}});
        const Result stResult = m_qmapResults.value(qstrOpKey + _qstrJobId, stOpResult);
        if (_pResult && stResult.iRet != 0) {
            _pResult->qstrErrCode = stResult.qstrErrCode;
            _pResult->qstrErrMsg = stResult.qstrErrMsg;
        }
        return stResult.iRet;
    }

    mutable QMutex m_mutex;
    QList<BackendCall> m_qlstCalls;
    QMap<QString, Result> m_qmapResults;  // "operation|job id" -> result
    QString m_qstrRobotStatus;
    int m_iDelayMs = 0;
    std::function<void(const char*)> m_fnObserver;
};
