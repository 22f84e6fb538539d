// An optical disc archive (kinds 4, 5 and 8) driven through its REST service: a job's
// files are copied into a volume pool's storage folder, a burn-and-print task is
// published for them and polled by disc label. Process-wide singleton per kind; called
// from the bus's worker, command and status threads, one HTTP call at a time.
#pragma once

#include <QList>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>

#include <memory>
#include <optional>
#include <string>

#include "CLS_AutoBase.h"
#include "OdaService.h"

struct OdaBurnParam
{
    std::string m_strDiscLabel;
    std::string m_strLabList;
    std::string m_strImgModCode;  // the job's cover name; empty: burn only
    int m_iBurnNum = 0;
    std::string m_strPoolPath;    // the task's file path on the service
};

struct OdaJobInfo
{
    QString qstrJobId;
    QString qstrDevName;
    QString qstrWantedPool;
    int iPort = 0;
    std::optional<OdaPoolCodeInfo> stPoolCodeInfo;
    OdaBurnParam stBurnParam;
};

struct OdaTaskJob
{
    std::string strDiscLabel;
    QString qstrJobId;
};

class CLS_AutoOda : public CLS_AutoBase
{
    Q_OBJECT

public:
    explicit CLS_AutoOda(int _iDevType);
    ~CLS_AutoOda() override;

    bool Init(BurnResultInfo* _pResult) override;
    int InquestBurn(std::string _strJobId, int _iCopies, int _iBurnType, std::string _strReqJson,
                    BurnResultInfo* _pResult) override;
    int StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle, std::string _strCDCover,
                  int _iCopies, int _iBurnType, std::string _strCloseDisc, std::string _strReqJson,
                  BurnResultInfo* _pResult) override;
    int CancelBurn(std::string _strJobId) override;
    int AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult) override;
    int DoBurn(std::string _strJobId, BurnResultInfo* _pResult) override;
    int WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult) override;
    int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) override;
    int ClearData(QString _qstrJobId) override;
    QString GetDiscPlace(QString _qstrJobId) override;
    bool FindJob(QString _qstrJobId, QString _qstrDiscLabel) override;
    bool UpdateJobInfo(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath) override;

private:
    // A valid "serverIP" becomes the address of every later request.
    void TakeServerIp(const QString& _qstrServerIp);
    OdaJobInfo MakeJobInfo(const QString& _qstrJobId, const QJsonObject& _qjsonReq) const;
    // The pool list, asked for up to 60 times one (scaled) second apart.
    bool AskForPools(const QString& _qstrJobId, BurnResultInfo* _pResult);
    // One request to the service at the job's port; the reply, empty on any failure.
    QString CallService(int _iPort, const char* _szPath, const QString& _qstrBody);
    bool GetODAQueryPoolInfo(const QString& _qstrJobId, BurnResultInfo* _pResult);
    int MkdirPath(const QString& _qstrJobId, const QString& _qstrDir, BurnResultInfo* _pResult);
    int GetBurnPrintTaskStatus(const QString& _qstrJobId, const OdaJobInfo& _stJob, BurnResultInfo* _pResult);
    // Copies one file into the pool; false with the result's message set.
    bool CopyIntoPool(const QString& _qstrSrc, const QString& _qstrDst, BurnResultInfo* _pResult);
    void ForgetTask(const QString& _qstrDiscLabel);
    QString JobOfDiscLabel(const QString& _qstrDiscLabel) const;
    // A copy of the job's record; empty when the job is not registered.
    std::optional<OdaJobInfo> FindJobInfo(const QString& _qstrJobId) const;
    // Changes the job's record under the write lock; false when it is not registered.
    template <class Change>
    bool EditJobInfo(const QString& _qstrJobId, Change _change);
    // Under the caller's write lock.
    void RemoveJobInfo(const QString& _qstrJobId);

    QList<OdaJobInfo> m_listJobInfo;
    QList<OdaTaskJob> m_listTaskJob;
    std::unique_ptr<QReadWriteLock> m_pJobLock;   // m_listJobInfo and m_strServerIP
    std::unique_ptr<QReadWriteLock> m_pTaskLock;  // m_listTaskJob
    const int m_iDevType;
    std::string m_strServerIP = "127.0.0.1";
    // Serialises the HTTP calls: the service is asked one thing at a time.
    QMutex m_mutex;
};
