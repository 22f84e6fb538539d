// A configurable burning-device double that the bus tests install behind a device kind; kept
// alive by the test to the process end, called from every bus thread (mutex-guarded).
#pragma once

#include <QList>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>

#include <atomic>
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
    // Operations without a configured result succeed; GetRobotStatus, AdjustPrinter and
    // GetDiscPlace keep the base behaviour until configured.
    void SetResult(const QString& _qstrOp, int _iRet, const QString& _qstrErrMsg = QString(),
                   const QString& _qstrErrCode = QString(), const QString& _qstrJobId = QString())
    {
        QMutexLocker locker(&m_mutex);
        m_qmapResults.insert(_qstrOp + QLatin1Char('|') + _qstrJobId, Result{_iRet, _qstrErrCode, _qstrErrMsg});
    }
    void SetRobotStatus(int _iRet, const QString& _qstrStatusMsg)
    {
        SetResult(QStringLiteral("GetRobotStatus"), _iRet);
        QMutexLocker locker(&m_mutex);
        m_qstrRobotStatus = _qstrStatusMsg;
    }
    // What GetJobStatus answers for the job (-1 until set) and the texts of the poll.
    void SetJobStatus(const QString& _qstrJobId, int _iState, const QString& _qstrErrLogs = QString())
    {
        QMutexLocker locker(&m_mutex);
        m_qmapJobStatus.insert(_qstrJobId, _iState);
        m_qmapErrLogs.insert(_qstrJobId, _qstrErrLogs);
    }
    void SetDiscPlace(const QString& _qstrJobId, const QString& _qstrPlace)
    {
        QMutexLocker locker(&m_mutex);
        m_qmapDiscPlace.insert(_qstrJobId, _qstrPlace);
    }
    // Called with the operation's name at every call, on the calling thread.
    void SetCallObserver(std::function<void(const char*)> _fnObserver)
    {
        QMutexLocker locker(&m_mutex);
        m_fnObserver = std::move(_fnObserver);
    }
    // A slow device: every operation takes this long.
    void SetCallDelayMs(int _iDelayMs)
    {
        QMutexLocker locker(&m_mutex);
        m_iDelayMs = _iDelayMs;
    }

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

    bool Init(BurnResultInfo*) override
    {
        return true;
    }
    int InquestBurn(std::string _strJobId, int _iCopies, int _iBurnType, std::string _strReqJson,
                    BurnResultInfo* _pResult) override
    {
        return Answer("InquestBurn", _strJobId,
                      {QString::number(_iCopies), QString::number(_iBurnType), Text(_strReqJson)}, _pResult);
    }
    int StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle, std::string _strCDCover,
                  int _iCopies, int _iBurnType, std::string _strCloseDisc, std::string _strReqJson,
                  BurnResultInfo* _pResult) override
    {
        return Answer("StartBurn", _strJobId,
                      {Text(_strCDType), Text(_strCDTitle), Text(_strCDCover), QString::number(_iCopies),
                       QString::number(_iBurnType), Text(_strCloseDisc), Text(_strReqJson)},
                      _pResult);
    }
    int CancelBurn(std::string _strJobId) override
    {
        return Answer("CancelBurn", _strJobId, {}, nullptr);
    }
    int AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult) override
    {
        QStringList qlstFiles{Text(_stFileTask.strJobId)};
        for (const auto& prFile : _stFileTask.vecFiles)
            qlstFiles << Text(prFile.first) + QLatin1Char('>') + Text(prFile.second);
        return Answer("AddFile", _strJobId, qlstFiles, _pResult);
    }
    int DoBurn(std::string _strJobId, BurnResultInfo* _pResult) override
    {
        return Answer("DoBurn", _strJobId, {}, _pResult);
    }
    int WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult) override
    {
        return Answer("WriteLabel", _strJobId, {Text(_strReqJson)}, _pResult);
    }
    int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) override
    {
        Record("GetJobStatus", _qstrJobId, {});
        QMutexLocker locker(&m_mutex);
        const Result stResult = m_qmapResults.value(QStringLiteral("GetJobStatus|") + _qstrJobId);
        _pResult->qstrErrCode = stResult.qstrErrCode;
        _pResult->qstrErrMsg = stResult.qstrErrMsg;
        _pResult->qstrErrLogs = m_qmapErrLogs.value(_qstrJobId);
        return m_qmapJobStatus.value(_qstrJobId, -1);
    }
    int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo* _pResult) override
    {
        Record("GetRobotStatus", QString(), {});
        if (!IsConfigured("GetRobotStatus"))
            return CLS_AutoBase::GetRobotStatus(_qstrStatusMsg, _pResult);
        {
            QMutexLocker locker(&m_mutex);
            _qstrStatusMsg = m_qstrRobotStatus;
        }
        return Lookup(QStringLiteral("GetRobotStatus"), QString(), _pResult);
    }
    int AdjustPrinter(std::string _strReq, BurnResultInfo* _pResult) override
    {
        Record("AdjustPrinter", QString(), {Text(_strReq)});
        if (!IsConfigured("AdjustPrinter"))
            return CLS_AutoBase::AdjustPrinter(_strReq, _pResult);
        return Lookup(QStringLiteral("AdjustPrinter"), QString(), _pResult);
    }
    int ClearData(QString _qstrJobId) override
    {
        Record("ClearData", _qstrJobId, {});
        return 0;
    }
    QString GetDiscPlace(QString _qstrJobId) override
    {
        Record("GetDiscPlace", _qstrJobId, {});
        QMutexLocker locker(&m_mutex);
        if (!m_qmapDiscPlace.contains(_qstrJobId))
            return CLS_AutoBase::GetDiscPlace(_qstrJobId);
        return m_qmapDiscPlace.value(_qstrJobId);
    }
    int StatusPollPauseMs() const override { return m_iPollPauseMs.load(); }
    void SetStatusPollPauseMs(int _iPauseMs) { m_iPollPauseMs = _iPauseMs; }
    bool UpdateJobInfo(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath) override
    {
        Record("UpdateJobInfo", _qstrJobId, {_qstrDiscLabel, _qstrPath});
        return true;
    }

private:
    struct Result
    {
        int iRet = 0;
        QString qstrErrCode;
        QString qstrErrMsg;
    };

    static QString Text(const std::string& _strText)
    {
        return QString::fromUtf8(_strText.c_str());
    }

    void Record(const char* _szOp, const QString& _qstrJobId, const QStringList& _qlstArgs)
    {
        int iDelayMs = 0;
        std::function<void(const char*)> fnObserver;
        {
            QMutexLocker locker(&m_mutex);
            m_qlstCalls << BackendCall{QLatin1String(_szOp), _qstrJobId, _qlstArgs};
            iDelayMs = m_iDelayMs;
            fnObserver = m_fnObserver;
        }
        if (fnObserver)
            fnObserver(_szOp);
        if (iDelayMs > 0)
            QThread::msleep(static_cast<unsigned long>(iDelayMs));
    }

    bool IsConfigured(const char* _szOp) const
    {
        QMutexLocker locker(&m_mutex);
        return m_qmapResults.contains(QLatin1String(_szOp) + QLatin1Char('|'));
    }

    int Answer(const char* _szOp, const std::string& _strJobId, const QStringList& _qlstArgs,
               BurnResultInfo* _pResult)
    {
        Record(_szOp, Text(_strJobId), _qlstArgs);
        return Lookup(QLatin1String(_szOp), Text(_strJobId), _pResult);
    }

    // The job's configured result, else the operation's, else 0; texts only on failure.
    int Lookup(const QString& _qstrOp, const QString& _qstrJobId, BurnResultInfo* _pResult) const
    {
        QMutexLocker locker(&m_mutex);
        const QString qstrJobKey = _qstrOp + QLatin1Char('|') + _qstrJobId;
        const QString qstrOpKey = _qstrOp + QLatin1Char('|');
        const Result stResult = m_qmapResults.value(m_qmapResults.contains(qstrJobKey) ? qstrJobKey : qstrOpKey);
        if (_pResult && stResult.iRet != 0) {
            _pResult->qstrErrCode = stResult.qstrErrCode;
            _pResult->qstrErrMsg = stResult.qstrErrMsg;
        }
        return stResult.iRet;
    }

    mutable QMutex m_mutex;
    QList<BackendCall> m_qlstCalls;
    std::atomic<int> m_iPollPauseMs{CLS_AutoBase::StatusPollPauseMs()};
    QMap<QString, Result> m_qmapResults;
    QMap<QString, int> m_qmapJobStatus;
    QMap<QString, QString> m_qmapErrLogs;
    QMap<QString, QString> m_qmapDiscPlace;
    QString m_qstrRobotStatus;
    int m_iDelayMs = 0;
    std::function<void(const char*)> m_fnObserver;
};
