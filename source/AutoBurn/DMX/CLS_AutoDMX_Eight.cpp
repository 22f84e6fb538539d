#include "CLS_AutoDMX_Eight.h"

int CLS_AutoDMX_Eight::ShareAddFile(const QString& _qstrJobId, const BurnFileTask& _stFileTask, BurnResultInfo*)
{
    EditJob(_qstrJobId, [&](DMXJobParam& _stJob) {
        for (const auto& file : _stFileTask.vecFiles)
            _stJob.vecBurnFiles.emplace_back(file.first, DmxDiscPath(file.second).toStdString());
    });
    return 0;
}
