// Entries of the local drive control library BurnSdkIOCTL.dll, in lookup order: the
// library's short names, re-exported under longer ones. Texts and lists are standard
// C++ objects passed by value (the library is built with the same compiler).
// Compile-time table (row forms in BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD_AS(int, Init, IOCtrlInit, (void), (), -1, DY_NULLPTR)
BURN_FWD_AS(int, UnInit, IOCtrlUnInit, (void), (), -1, DY_NULLPTR)
// Fills the list with the drives' names.
BURN_FWD_AS(int, GetCDRomList, IOCtrlGetCDRomList, (std::vector<std::string> * _pvecCDRom), (_pvecCDRom), -1,
            DY_NULLPTR)
// Makes a burn group of the drives; returns the group number.
BURN_FWD_AS(int, SetBurnGroup, IOCtrlSetBurnGroup, (std::vector<std::string> _vecCDRom), (_vecCDRom), -1, DY_NULLPTR)
BURN_FWD_AS(int, RemoveGroup, IOCtrlRemoveGroup, (int _iGroupId), (_iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, SetMediaCaption, IOCtrlSetMediaCaption, (std::string _strCaption, int _iGroupId),
            (_strCaption, _iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, GetMediaSpace, IOCtrlGetMediaSpace, (int _iGroupId, long long* _pllTotal, long long* _pllFree),
            (_iGroupId, _pllTotal, _pllFree), -1, DY_NULLPTR)
BURN_FWD_AS(int, AddFile, IOCtrlAddFile, (std::string _strSrcPath, std::string _strDstPath, int _iGroupId),
            (_strSrcPath, _strDstPath, _iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, EndBurn, IOCtrlEndBurn, (int _iGroupId), (_iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, OpenDoor, IOCtrlOpenDoor, (int _iGroupId), (_iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, CloseDoor, IOCtrlCloseDoor, (int _iGroupId), (_iGroupId), -1, DY_NULLPTR)
BURN_FWD_AS(int, SetCloseDisk, IOCtrlSetCloseDisk, (int _iGroupId, int _iCloseDisk), (_iGroupId, _iCloseDisk), -1,
            DY_NULLPTR)
// The library's messages arrive on its own thread.
BURN_FWD_AS(void, SetBurnCallBack, IOCtrlSetBurnCallBack, (PFN_IOCtrlBurnCallBack _pfnCallBack, void* _pUser),
            (_pfnCallBack, _pUser), BURN_NO_RESULT, DY_NULLPTR)
// 1: the operator confirmed, the burn goes on.
BURN_FWD_AS(void, IOSetStatus, IOSetStatus, (int _iStatus), (_iStatus), BURN_NO_RESULT, DY_IOCTRL_NULLPTR)
BURN_FWD_AS(int, SetBurnSpeed, IOCtrSetBurnSpeed, (int _iGroupId, int _iSpeed), (_iGroupId, _iSpeed), -1, DY_NULLPTR)
BURN_FWD_AS(int, ForceCancel, IOCtrForceCancel, (int _iGroupId), (_iGroupId), -1, DY_NULLPTR)

#include "BurnApiTableEnd.h"
