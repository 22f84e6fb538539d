// The abstract burning device. One object per device kind, created on first use by
// GetInstance from the backend registry and shared by every bus thread for the life of
// the process, so each backend guards its own job tables. README.md beside this file
// is the contract a backend keeps.
#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <utility>
#include <vector>

// What a backend operation reports besides its result code.
struct BurnResultInfo
{
    int iRet = -1;
    QString qstrErrCode;
    QString qstrErrMsg;
    QString qstrErrLogs;
    QString qstrDevIp = QStringLiteral("127.0.0.1");
    int iDevPort = 0;
};

// The files of one AddFile request: (source path, destination path) in request order.
struct BurnFileTask
{
    std::string strJobId;
    std::vector<std::pair<std::string, std::string>> vecFiles;
};

// Result and text of an operation the device does not offer.
constexpr int n_BurnRet_Unsupported = -6;
extern const char* const g_szUnsupportedDevMsg;

class CLS_AutoBase : public QObject
{
    Q_OBJECT

public:
    CLS_AutoBase();
    ~CLS_AutoBase() override;

    virtual bool Init(BurnResultInfo* _pResult) = 0;
    virtual int InquestBurn(std::string _strJobId, int _iCopies, int _iBurnType, std::string _strReqJson,
                            BurnResultInfo* _pResult) = 0;
    virtual int StartBurn(std::string _strJobId, std::string _strCDType, std::string _strCDTitle,
                          std::string _strCDCover, int _iCopies, int _iBurnType, std::string _strCloseDisc,
                          std::string _strReqJson, BurnResultInfo* _pResult) = 0;
    virtual int CancelBurn(std::string _strJobId) = 0;
    virtual int AddFile(std::string _strJobId, BurnFileTask& _stFileTask, BurnResultInfo* _pResult) = 0;
    virtual int DoBurn(std::string _strJobId, BurnResultInfo* _pResult) = 0;
    virtual int WriteLabel(std::string _strJobId, std::string _strReqJson, BurnResultInfo* _pResult) = 0;
    virtual int GetJobStatus(QString _qstrJobId, BurnResultInfo* _pResult) = 0;
    virtual int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo* _pResult);
    virtual int AdjustPrinter(std::string _strReq, BurnResultInfo* _pResult);
    virtual int ClearData(QString _qstrJobId) = 0;
    virtual QString GetDiscPlace(QString _qstrJobId);
    virtual bool FindJob(QString _qstrJobId, QString _qstrDiscLabel);
    virtual bool UpdateJobInfo(QString _qstrJobId, QString _qstrDiscLabel, QString _qstrPath);

    // The pause of the job-status thread after a pass whose last job ran on this
    // backend, in production milliseconds (the bus applies the time scale).
    virtual int StatusPollPauseMs() const;

    // The one backend of a device kind, created on first use; null for kinds without one.
    static CLS_AutoBase* GetInstance(int _iBurnDev);
    // Puts an object of the caller's behind a kind (tests); returns the one it replaces.
    static CLS_AutoBase* InstallInstance(int _iBurnDev, CLS_AutoBase* _pBackend);

    // Stores a file of the job under "./BurnJob/<job id>/"; failures are only logged.
    static void SaveJobInfo(QString _qstrJobId, QString _qstrFileName, QString _qstrContent);

    // What a device keeps of a job's step (a service's task id), recorded by the job
    // store for recovery at the next start. The gateway installs the writer; without
    // one the text is dropped. Backends never reach the store themselves.
    using WorkParamWriter = void (*)(const QString& _qstrJobId, const QString& _qstrCmd, const QString& _qstrParam);
    static void InstallWorkParamWriter(WorkParamWriter _pfnWriter);
    static void SaveWorkParam(const QString& _qstrJobId, const QString& _qstrCmd, const QString& _qstrParam);

Q_SIGNALS:
    void signalSendMQToBurnBus(QString _qstrMsg);

protected:
    // The job's work folder under the temporary path, created when missing; empty for
    // a job id that cannot name a folder (the bus admits no such job; this is the last
    // guard before a path is built).
    std::string MakeJobWorkDir(const std::string& _strJobId);
    // Whether a job id may name a file or folder; every path a backend builds from a
    // job id asks first. A refusal is logged under the caller's function name.
    static bool AdmitJobId(const char* _szFun, const std::string& _strJobId);

    std::string m_strTempPath;  // system temporary folder + "/BurnFileTemp/"
    std::string m_strAppPath;   // folder of the host executable
};
