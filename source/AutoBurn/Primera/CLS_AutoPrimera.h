// Primera PTBurn backend (device kind 3): writes job request files into PTBurn's
// watched folder and reads a job's progress from the companion files beside them.
// Process-wide singleton; called from the bus's command threads and its status thread.
#pragma once

#include <string>

#include "CLS_AutoBase.h"
#include "Epson/PublisherFolders.h"

class CLS_AutoPrimera : public CLS_AutoBase
{
    Q_OBJECT

public:
    // _strOrderDir: PTBurn's watched job folder with a trailing "/".
    explicit CLS_AutoPrimera(const std::string& _strOrderDir = PrimeraJobDir());
    ~CLS_AutoPrimera() override;

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
    const std::string m_strOrderDir;  // set once; read by every thread
};
