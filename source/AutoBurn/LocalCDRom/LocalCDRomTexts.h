// The operator texts and log lines of the local drive backend, chosen from the last
// burn-state code and disc error type. Text in, values out.
#pragma once

#include <QString>

struct LocalCDRomNotice
{
    QString qstrLogLine;   // error-level log line; empty: none
    QString qstrOperator;  // the dialog's text
};

// The notice for a burn-state code (1 burned, 6 disc error, 7 unreadable source, other
// failures); _iUnfinished jobs still waiting turn the code-1 text into the pending one.
LocalCDRomNotice LocalCDRomNoticeFor(int _iBurnState, int _iErrType, int _iUnfinished);

// The library's burn-state message: {"type","code","groupID","burnDriver","strVal":
// {"errType","errMsg"}}; missing keys give the defaults.
struct IoCtrlMessage
{
    QString qstrType;
    int iCode = -1;
    int iGroupId = -1;
    int iErrType = -1;
    QString qstrErrMsg;
};
IoCtrlMessage ParseIoCtrlMessage(const QString& _qstrMsg);
