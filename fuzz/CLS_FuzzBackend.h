// A device that does nothing and answers at once, put behind every device kind by the
// gateway fuzzer: every step succeeds and every job is finished at its first status
// pass, so jobs end and no table grows over millions of inputs. Stateless.
#pragma once

#include "BurnDefine.h"
#include "CLS_AutoBase.h"

class CLS_FuzzBackend : public CLS_AutoBase
{
    Q_OBJECT

public:
    bool Init(BurnResultInfo*) override { return true; }
    int InquestBurn(std::string, int, int, std::string, BurnResultInfo*) override { return 0; }
    int StartBurn(std::string, std::string, std::string, std::string, int, int, std::string, std::string,
                  BurnResultInfo*) override
    {
        return 0;
    }
    int CancelBurn(std::string) override { return 0; }
    int AddFile(std::string, BurnFileTask& _stTask, BurnResultInfo*) override
    {
        return _stTask.vecFiles.empty() ? -2 : 0;
    }
    int DoBurn(std::string, BurnResultInfo*) override { return 0; }
    int WriteLabel(std::string, std::string, BurnResultInfo*) override { return 0; }
    int GetJobStatus(QString, BurnResultInfo*) override { return n_BurnJobState_Finished; }
    int GetRobotStatus(QString& _qstrStatusMsg, BurnResultInfo*) override
    {
        _qstrStatusMsg = QStringLiteral("{\"cmd\":\"BurnRobotStatus\",\"param\":{}}");
        return 0;
    }
    int AdjustPrinter(std::string, BurnResultInfo*) override { return 0; }
    int ClearData(QString) override { return 0; }
    bool UpdateJobInfo(QString, QString, QString) override { return true; }
    int StatusPollPauseMs() const override { return 10; }
};
