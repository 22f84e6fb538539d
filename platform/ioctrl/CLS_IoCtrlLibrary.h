// The drive library's state behind its entries: drives, burn groups, the callback and
// the operator's signal. One per process (Instance); every member is safe from any
// thread. A group burns on a thread of its own (CLS_BurnGroup).
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BurnSdkIOCTL.h"
#include "IoCtrlSettings.h"
#include "IsoImage.h"

// Burn-state codes of the callback messages (see BurnSdkIOCTL.h).
enum IoCtrlBurnCode
{
    n_IoCtrlCode_Written = 1,
    n_IoCtrlCode_WriteFailed = 2,
    n_IoCtrlCode_TooLarge = 3,
    n_IoCtrlCode_DriveHeld = 4,
    n_IoCtrlCode_Cancelled = 5,
    n_IoCtrlCode_DiscError = 6,
    n_IoCtrlCode_SourceUnreadable = 7,
};

// errType of a disc error.
enum IoCtrlDiscError
{
    n_DiscError_NoUsableDisc = 0,
    n_DiscError_WrongFormat = 1,
    n_DiscError_ReadOnly = 2,
    n_DiscError_TooManyTracks = 3,
    n_DiscError_InvalidDrive = 4,
    n_DiscError_NoDisc = 5,
    n_DiscError_NotBlank = 6,
};

struct BurnGroup
{
    int iId = 0;
    std::string strDrive;
    std::string strCaption;
    std::vector<BurnFileEntry> vecEntries;
    bool blCloseDisc = true;
    int iSpeedKBs = 0;
    bool blStarted = false;
    std::atomic<bool> blDone{false};  // its thread has finished
    std::atomic<bool> blCancel{false};
    std::atomic<burn::burn_drive*> pDrive{nullptr};  // while grabbed
    std::thread thread;
};

class CLS_IoCtrlLibrary
{
public:
    static CLS_IoCtrlLibrary& Instance();
    ~CLS_IoCtrlLibrary();

    int Init();
    int UnInit();
    int DriveList(std::vector<std::string>* _pvecDrives);
    int NewGroup(const std::vector<std::string>& _vecDrives);
    int RemoveGroup(int _iGroupId);
    int SetCaption(int _iGroupId, const std::string& _strCaption);
    int AddFile(int _iGroupId, const std::string& _strSource, const std::string& _strTarget);
    int SetCloseDisc(int _iGroupId, bool _blClose);
    int SetSpeed(int _iGroupId, int _iSpeedKBs);
    int MediaSpace(int _iGroupId, long long* _pllTotal, long long* _pllFree);
    int Start(int _iGroupId);
    int Cancel(int _iGroupId);
    void SetCallBack(PFN_IoCtrlCallBack _pfnCallBack, void* _pUser);
    void OperatorConfirmed();

    // For the group threads.
    const IoCtrlSettings& Settings() const { return m_stSettings; }
    void Report(const BurnGroup& _stGroup, int _iCode, int _iErrType, const std::string& _strMsg);
    // Waits for the operator's signal; false when the group was cancelled meanwhile.
    bool WaitForOperator(const BurnGroup& _stGroup);
    // Reserves the drive for the group: false while another group holds it.
    bool HoldDrive(const std::string& _strDrive);
    void ReleaseDrive(const std::string& _strDrive);

private:
    CLS_IoCtrlLibrary() = default;
    std::shared_ptr<BurnGroup> Find(int _iGroupId);
    template <typename Edit>
    int EditGroup(int _iGroupId, Edit _fnEdit);
    void JoinAll();
    void ReapFinished();

    std::mutex m_mutex;
    std::condition_variable m_cvOperator;
    unsigned m_uOperatorSignals = 0;  // counts IOSetStatus(1)
    bool m_blReady = false;
    IoCtrlSettings m_stSettings;
    std::vector<std::string> m_vecScannedDrives;
    std::map<int, std::shared_ptr<BurnGroup>> m_mapGroups;
    std::set<std::string> m_setHeldDrives;
    int m_iNextGroupId = 1;
    PFN_IoCtrlCallBack m_pfnCallBack = nullptr;
    void* m_pCallBackUser = nullptr;
};
