// A drive library for the local drive backend's tests: three drives, groups numbered
// from 1, every call recorded as a line; TestIoCtrlSend delivers a message through the
// registered callback from a thread of its own, as the real library does.
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BurnExport.h"

namespace
{
typedef void (*PFN_CallBack)(const char*, void*);
std::mutex s_mutex;
std::vector<std::string> s_vecCalls;
PFN_CallBack s_pfnCallBack = nullptr;
void* s_pUser = nullptr;
int s_iNextGroup = 1;

int Record(const std::string& _strCall)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_vecCalls.push_back(_strCall);
    return 0;
}
}  // namespace

BURN_EXPORT int Init(void) { return 0; }
BURN_EXPORT int GetCDRomList(std::vector<std::string>* _pvecCDRom)
{
    *_pvecCDRom = {"drive0", "drive1", "drive2"};
    return 0;
}
BURN_EXPORT int SetBurnGroup(std::vector<std::string> _vecCDRom)
{
    std::string strCall = "SetBurnGroup";
    for (const std::string& strDrive : _vecCDRom)
        strCall += " " + strDrive;
    Record(strCall);
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_iNextGroup++;
}
BURN_EXPORT int SetMediaCaption(std::string _strCaption, int _iGroupId)
{
    return Record("SetMediaCaption " + _strCaption + " " + std::to_string(_iGroupId));
}
BURN_EXPORT int AddFile(std::string _strSrcPath, std::string _strDstPath, int _iGroupId)
{
    return Record("AddFile " + _strSrcPath + ">" + _strDstPath + " " + std::to_string(_iGroupId));
}
BURN_EXPORT int EndBurn(int _iGroupId)
{
    return Record("EndBurn " + std::to_string(_iGroupId));
}
BURN_EXPORT void IOSetStatus(int _iStatus)
{
    Record("IOSetStatus " + std::to_string(_iStatus));
}
BURN_EXPORT int ForceCancel(int _iGroupId)
{
    return Record("ForceCancel " + std::to_string(_iGroupId));
}
BURN_EXPORT void SetBurnCallBack(PFN_CallBack _pfnCallBack, void* _pUser)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_pfnCallBack = _pfnCallBack;
    s_pUser = _pUser;
}

// Forgets the calls and numbers groups from 1 again.
BURN_EXPORT void TestIoCtrlReset()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_vecCalls.clear();
    s_iNextGroup = 1;
}
BURN_EXPORT void TestIoCtrlTakeCalls(std::vector<std::string>* _pvecCalls)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    _pvecCalls->swap(s_vecCalls);
    s_vecCalls.clear();
}
BURN_EXPORT void TestIoCtrlSend(const char* _szMsg)
{
    const std::string strMsg = _szMsg;
    std::thread([strMsg] {
        PFN_CallBack pfnCallBack = nullptr;
        void* pUser = nullptr;
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            pfnCallBack = s_pfnCallBack;
            pUser = s_pUser;
        }
        if (pfnCallBack)
            pfnCallBack(strMsg.c_str(), pUser);
    }).join();
}
