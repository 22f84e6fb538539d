// BurnSdkIOCTL.dll: every entry hands over to the library's one state object.
#include "BurnSdkIOCTL.h"

#include "CLS_IoCtrlLibrary.h"

namespace
{
CLS_IoCtrlLibrary& Library()
{
    return CLS_IoCtrlLibrary::Instance();
}
}  // namespace

int Init(void) { return Library().Init(); }
int UnInit(void) { return Library().UnInit(); }
int GetCDRomList(std::vector<std::string>* _pvecCDRom) { return Library().DriveList(_pvecCDRom); }
int SetBurnGroup(std::vector<std::string> _vecCDRom) { return Library().NewGroup(_vecCDRom); }
int RemoveGroup(int _iGroupId) { return Library().RemoveGroup(_iGroupId); }
int SetMediaCaption(std::string _strCaption, int _iGroupId) { return Library().SetCaption(_iGroupId, _strCaption); }
int GetMediaSpace(int _iGroupId, long long* _pllTotal, long long* _pllFree)
{
    return Library().MediaSpace(_iGroupId, _pllTotal, _pllFree);
}
int AddFile(std::string _strSrcPath, std::string _strDstPath, int _iGroupId)
{
    return Library().AddFile(_iGroupId, _strSrcPath, _strDstPath);
}
int EndBurn(int _iGroupId) { return Library().Start(_iGroupId); }
// Trays are the drive's business: the pseudo-drives have none, real drives open on
// release when a burn asks for it.
int OpenDoor(int) { return 0; }
int CloseDoor(int) { return 0; }
int SetCloseDisk(int _iGroupId, int _iCloseDisk) { return Library().SetCloseDisc(_iGroupId, _iCloseDisk != 0); }
void SetBurnCallBack(PFN_IoCtrlCallBack _pfnCallBack, void* _pUser) { Library().SetCallBack(_pfnCallBack, _pUser); }
void IOSetStatus(int _iStatus)
{
    if (_iStatus == 1)
        Library().OperatorConfirmed();
}
int SetBurnSpeed(int _iGroupId, int _iSpeed) { return Library().SetSpeed(_iGroupId, _iSpeed); }
int ForceCancel(int _iGroupId) { return Library().Cancel(_iGroupId); }
