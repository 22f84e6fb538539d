#include "BurnDefine.h"

namespace
{
struct JobStateText
{
    int iState;
    const char* szText;
};

const JobStateText s_arrJobStateText[] = {
    {n_BurnJobState_Unknown, "状态未知"},      {n_BurnJobState_Waiting, "等待刻录"},
    {n_BurnJobState_PreProcess, "刻录前预处理"}, {n_BurnJobState_Burning, "正在刻录"},
    {n_BurnJobState_Finished, "刻录完成"},     {n_BurnJobState_Error, "刻录出错"},
    {n_BurnJobState_Paused, "刻录暂停"},       {n_BurnJobState_DiscError, "光盘错误"},
    {n_BurnJobState_Cancelled, "刻录取消"},
};
const char s_szUnknownStateText[] = "刻录状态未知";
}  // namespace

QByteArray GetJobStatusText(int _iState)
{
    for (const JobStateText& stEntry : s_arrJobStateText) {
        if (stEntry.iState == _iState)
            return QByteArray(stEntry.szText);
    }
    return QByteArray(s_szUnknownStateText);
}

int GetBurnDevDefaultPort(int _iBurnDev)
{
    return BurnDevDefaultPort.value(_iBurnDev, 0);
}

bool IsFinalJobState(int _iState)
{
    return _iState == n_BurnJobState_Finished || _iState == n_BurnJobState_Error
        || _iState == 10 || _iState == n_BurnJobState_Cancelled;
}
