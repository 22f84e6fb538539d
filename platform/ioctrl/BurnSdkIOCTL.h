// Entries of BurnSdkIOCTL.dll, the local drive library: burn groups of files onto one
// drive each. Drives are the machine's optical drives (as libburn finds them) and the
// pseudo-drives of BURNMODULE_LOCAL_DRIVES (image files). A group burns on a thread of
// the library, which reports through the callback; any thread may call the entries.
//
// Callback messages (JSON): {"type":"BurnState","code":<c>,"groupID":<g>,
// "burnDriver":<drive>,"strVal":{"errType":<t>,"errMsg":<text>}}, with code
//   1  written (and verified, unless BURNMODULE_VERIFY_BURN=0)
//   6  the disc cannot be used (errType: 0 no usable disc, 1 wrong format, 2 read-only,
//      3 too many tracks, 4 invalid drive, 5 no disc, 6 not blank); the group waits
//      for IOSetStatus(1) and tries the same burn on the changed disc
//   7  a source file cannot be read (found before anything is written)
//   2  writing failed, or the read-back differs from a source (errMsg names the file)
//   3  the content is larger than the free space of the disc (nothing written)
//   4  the drive is held by another group
//   5  cancelled by ForceCancel (a pseudo-drive's partial image is removed)
#pragma once

#include <string>
#include <vector>

#include "BurnExport.h"

typedef void (*PFN_IoCtrlCallBack)(const char* _szMsg, void* _pUser);

// 0 once the library is ready (also on a second call).
BURN_EXPORT int Init(void);
// Cancels and waits for every group; 0.
BURN_EXPORT int UnInit(void);
// Replaces the list with the drive addresses; 0, -1 before Init or for a null list.
BURN_EXPORT int GetCDRomList(std::vector<std::string>* _pvecCDRom);
// A new group on the first drive of the list: its number (from 1), -1 for an empty list.
BURN_EXPORT int SetBurnGroup(std::vector<std::string> _vecCDRom);
// Forgets a group that is not burning: 0, else -1.
BURN_EXPORT int RemoveGroup(int _iGroupId);
// The disc's volume id (UTF-8): 0, -1 for an unknown group.
BURN_EXPORT int SetMediaCaption(std::string _strCaption, int _iGroupId);
// Capacity and free space of the group's disc in bytes: 0, or -1 when unknown.
BURN_EXPORT int GetMediaSpace(int _iGroupId, long long* _pllTotal, long long* _pllFree);
// A file or folder (source path in the local code page) at a path of the disc: 0, -1
// for an unknown group or one already burning.
BURN_EXPORT int AddFile(std::string _strSrcPath, std::string _strDstPath, int _iGroupId);
// Starts the burn of the group on its thread: 0, -1 for an unknown or started group.
BURN_EXPORT int EndBurn(int _iGroupId);
BURN_EXPORT int OpenDoor(int _iGroupId);
BURN_EXPORT int CloseDoor(int _iGroupId);
// 1 (default): the disc is closed after the burn; 0: it stays appendable.
BURN_EXPORT int SetCloseDisk(int _iGroupId, int _iCloseDisk);
BURN_EXPORT void SetBurnCallBack(PFN_IoCtrlCallBack _pfnCallBack, void* _pUser);
// 1: the operator changed the disc; every group waiting on a disc tries again.
BURN_EXPORT void IOSetStatus(int _iStatus);
// Write speed in kB/s (0: the drive's best): 0, -1 for an unknown group.
BURN_EXPORT int SetBurnSpeed(int _iGroupId, int _iSpeed);
// Stops the group's burn: 0, -1 for an unknown group.
BURN_EXPORT int ForceCancel(int _iGroupId);
