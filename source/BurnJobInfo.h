// The burn bus's two registry records: a registered job and a device address. Plain
// values owned by CLS_BurnBus's registries and copied out under their locks.
#pragma once

#include <QString>

// One registered burn job; a failed lookup yields the defaults below.
struct BurnJobInfo
{
    QString qstrJobId;     // registry key, compared exactly
    QString qstrMsgId;     // msgId of the accepted DoBurn; final status replies carry it
    int iBurnDev = -1;     // device kind ("BurnDev")
    int iBurnType = 0;     // "BurnType" of the ApplyBurn request
    int iCopyCount = 0;    // "CopyCount" of the ApplyBurn request
    int iStatus = -1;      // -1 until DoBurn succeeds (not polled), then the last polled state
};

// The address of the device of one kind, recorded once its backend accepted it.
struct BurnDevAddr
{
    QString qstrIp = QStringLiteral("127.0.0.1");
    int iPort = 0;
    int iBurnDev = -1;
};
