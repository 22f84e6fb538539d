// Epson PP-100 backend (device kind 2): writes TDBridge order files into its watched
// folder and reads a job's progress from TDBridge's companion and status files.
// Process-wide singleton; called from the bus's command threads and its status thread.
#pragma once

#include <QByteArray>

#include <mutex>
#include <string>

#include "CLS_AutoBase.h"
#include "PublisherFolders.h"

class CLS_AutoEpson : public CLS_AutoBase
{
    Q_OBJECT

public:
    // _strOrderDir: TDBridge's watched order folder with a trailing "/"; the status
    // file "TDBStatus.txt" lies in it.
    explicit CLS_AutoEpson(const std::string& _strOrderDir = EpsonOrderDir());
    ~CLS_AutoEpson() override;

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

private:
    std::string Publisher() const;
    // Re-reads the publisher name from the status file.
    void RefreshPublisher();
    std::string ReadPublisherName() const;
    // Rewrites the failed order with the current publisher and puts it back as the
    // order: 0 when it is waiting again, 4 when it cannot be resubmitted.
    int ResubmitOrder(const std::string& _strErrPath, const std::string& _strOrderPath);

    std::string m_strOrderDir;
    std::string m_strStatusFile;
    std::string m_strPublisher;  // written by the status thread, read by StartBurn
    mutable std::mutex m_mutexPublisher;
};

// Vendor error code of an order naming a publisher TDBridge does not know.
extern const char g_szEpsonUnknownPublisher[];  // "JDF0200"

// The line of a failed order as it is resubmitted: a line beginning with "PUBLISHER"
// becomes the given publisher line, any other line stays as it is.
QByteArray ResubmittedOrderLine(const QByteArray& _qbaLine, const QByteArray& _qbaPublisherLine);
