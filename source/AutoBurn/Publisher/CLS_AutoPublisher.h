// A disc publisher fed job files through a watched folder (Epson PP-100, Primera
// PTBurn): the order file is written in the job's work folder, handed over on DoBurn,
// and the job's progress read from the companion files the publisher leaves beside it.
// What differs between publishers is the vendor description. Process-wide singleton per
// kind; called from the bus's command threads and its status thread.
#pragma once

#include <mutex>
#include <set>
#include <string>

#include "CLS_AutoBase.h"
#include "PublisherVendor.h"

class CLS_AutoPublisher : public CLS_AutoBase
{
    Q_OBJECT

public:
    // _strOrderDir: the publisher's watched folder, with a trailing "/".
    CLS_AutoPublisher(const PublisherVendor& _stVendor, const std::string& _strOrderDir);
    ~CLS_AutoPublisher() override;

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

protected:
    // The publisher named in new orders; empty: the vendor's default.
    virtual std::string PublisherName() const;
    // The job's order file in the watched folder; empty for a refused job id (logged
    // under the named function).
    std::string WatchedOrderPath(const char* _szFunction, const std::string& _strJobId) const;
    // "<class name>::<function>", as log lines name the backend's functions.
    QByteArray FunName(const char* _szFunction) const;

    const PublisherVendor& m_stVendor;
    const std::string m_strOrderDir;  // set once; read by every thread

private:
    // The job's work file "<work folder><job id><ext>"; empty when there is no folder.
    std::string WorkFilePath(const std::string& _strJobId, const char* _szExt);
    QString BrandText(const char* _szText) const;
    bool IsHandedOver(const std::string& _strJobId) const;

    mutable std::mutex m_mutexHandedOver;
    std::set<std::string> m_setHandedOver;  // jobs whose order DoBurn put in the watched folder, until ClearData
};
