#include "BurnGroupRun.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>

namespace fs = std::filesystem;

namespace
{
constexpr auto n_PollPause = std::chrono::milliseconds(50);
constexpr off_t n_BlockSize = 2048;

struct BurnOutcome
{
    int iCode = n_IoCtrlCode_Written;
    int iErrType = -1;
    std::string strMsg;
};

BurnOutcome Failure(int _iCode, const std::string& _strMsg, int _iErrType = -1)
{
    return BurnOutcome{_iCode, _iErrType, _strMsg};
}

// A grabbed libburn drive, released (and forgotten by the group) when it goes.
class CLS_GrabbedDrive
{
public:
    CLS_GrabbedDrive(BurnGroup& _stGroup) : m_stGroup(_stGroup)
    {
        std::string strAddress = _stGroup.strDrive;
        if (burn::burn_drive_scan_and_grab(&m_pInfo, strAddress.data(), 1) > 0)
            m_stGroup.pDrive = m_pInfo->drive;
    }
    ~CLS_GrabbedDrive()
    {
        if (!m_pInfo)
            return;
        m_stGroup.pDrive = nullptr;
        burn::burn_drive_release(m_pInfo->drive, 0);
        burn::burn_drive_info_free(m_pInfo);
    }
    burn::burn_drive* Drive() const { return m_stGroup.pDrive.load(); }

private:
    BurnGroup& m_stGroup;
    burn::burn_drive_info* m_pInfo = nullptr;
};

int RealDiscError(burn::burn_drive* _pDrive)
{
    switch (burn::burn_disc_get_status(_pDrive)) {
    case burn::BURN_DISC_BLANK:
        return -1;
    case burn::BURN_DISC_EMPTY:
        return n_DiscError_NoDisc;
    case burn::BURN_DISC_APPENDABLE:
    case burn::BURN_DISC_FULL:
        return n_DiscError_NotBlank;
    case burn::BURN_DISC_UNSUITABLE:
        return n_DiscError_WrongFormat;
    default:
        return n_DiscError_NoUsableDisc;
    }
}

const char* DiscErrorText(int _iErrType)
{
    static const char* const s_arrTexts[] = {"no usable disc", "wrong disc format",    "the disc is read-only",
                                             "too many tracks", "invalid drive",       "no disc",
                                             "the disc is not blank"};
    return _iErrType >= 0 && _iErrType < 7 ? s_arrTexts[_iErrType] : "disc error";
}

// Waits for a blank disc in the drive: each bad disc is reported and the operator's
// confirmation awaited. Returns the grabbed drive, or null when cancelled.
std::unique_ptr<CLS_GrabbedDrive> GrabBlankDisc(CLS_IoCtrlLibrary& _library, BurnGroup& _stGroup)
{
    const std::string strImage = PseudoDriveFile(_stGroup.strDrive);
    while (!_stGroup.blCancel) {
        int iErrType = strImage.empty() ? -1 : PseudoDiscError(strImage);
        std::unique_ptr<CLS_GrabbedDrive> pDrive;
        if (iErrType < 0) {
            pDrive = std::make_unique<CLS_GrabbedDrive>(_stGroup);
            iErrType = !pDrive->Drive() ? n_DiscError_InvalidDrive
                                        : (strImage.empty() ? RealDiscError(pDrive->Drive()) : -1);
        }
        if (iErrType < 0)
            return pDrive;
        pDrive.reset();
        _library.Report(_stGroup, n_IoCtrlCode_DiscError, iErrType, DiscErrorText(iErrType));
        if (!_library.WaitForOperator(_stGroup))
            break;
    }
    return nullptr;
}

// Writes the image stream as one data track; false with a message on failure.
bool WriteTrack(BurnGroup& _stGroup, burn::burn_drive* _pDrive, burn::burn_source* _pImage, std::string& _strError)
{
    burn::burn_disc* pDisc = burn::burn_disc_create();
    burn::burn_session* pSession = burn::burn_session_create();
    burn::burn_track* pTrack = burn::burn_track_create();
    burn::burn_disc_add_session(pDisc, pSession, BURN_POS_END);
    burn::burn_track_define_data(pTrack, 0, 0, 0, BURN_MODE1);
    // libisofs buffers the image in a ring of its own; another fifo in between cut the
    // write speed to a fifth.
    burn::burn_track_set_source(pTrack, _pImage);
    burn::burn_session_add_track(pSession, pTrack, BURN_POS_END);

    burn::burn_write_opts* pOpts = burn::burn_write_opts_new(_pDrive);
    burn::burn_write_opts_set_perform_opc(pOpts, 0);
    burn::burn_write_opts_set_multi(pOpts, _stGroup.blCloseDisc ? 0 : 1);
    burn::burn_write_opts_set_underrun_proof(pOpts, 1);
    // An image file is synced once, at the end: syncing every 16 MB (libburn's default
    // for files) cost two thirds of the write speed.
    burn::burn_write_opts_set_stdio_fsync(pOpts, 1);
    char szReasons[BURN_REASONS_LEN] = {};
    bool blOk = burn::burn_write_opts_auto_write_type(pOpts, pDisc, szReasons, 0) != burn::BURN_WRITE_NONE;
    if (!blOk)
        _strError = std::string("the disc cannot take this track: ") + szReasons;
    if (blOk) {
        burn::burn_drive_set_speed(_pDrive, 0, _stGroup.iSpeedKBs);
        burn::burn_disc_write(pOpts, pDisc);
        while (burn::burn_drive_get_status(_pDrive, nullptr) != burn::BURN_DRIVE_IDLE)
            std::this_thread::sleep_for(n_PollPause);
        blOk = burn::burn_drive_wrote_well(_pDrive) != 0;
        if (!blOk)
            _strError = "writing failed";
    }
    burn::burn_write_opts_free(pOpts);
    burn::burn_track_free(pTrack);
    burn::burn_session_free(pSession);
    burn::burn_disc_free(pDisc);
    return blOk;
}

// A libisofs data source that reads the disc in the grabbed drive through libburn.
IsoDataSource* NewDriveSource(burn::burn_drive* _pDrive)
{
    auto* pSource = static_cast<IsoDataSource*>(std::calloc(1, sizeof(IsoDataSource)));
    pSource->refcount = 1;
    pSource->data = _pDrive;
    pSource->open = [](IsoDataSource*) { return 1; };
    pSource->close = [](IsoDataSource*) { return 1; };
    pSource->free_data = [](IsoDataSource*) {};
    pSource->read_block = [](IsoDataSource* _pSource, uint32_t _uLba, uint8_t* _pBuffer) -> int {
        off_t llCount = 0;
        const int iRet = burn::burn_read_data(static_cast<burn::burn_drive*>(_pSource->data),
                                              off_t(_uLba) * n_BlockSize, reinterpret_cast<char*>(_pBuffer),
                                              n_BlockSize, &llCount, 2);
        return iRet > 0 && llCount == n_BlockSize ? 1 : int(ISO_DATA_SOURCE_FAILURE);
    };
    return pSource;
}

std::string VerifyDisc(BurnGroup& _stGroup, const std::map<std::string, std::string>& _mapMd5s)
{
    CLS_GrabbedDrive drive(_stGroup);  // grabbed again: the drive sees the disc as written
    if (!drive.Drive())
        return "cannot read the disc back";
    IsoDataSource* pSource = NewDriveSource(drive.Drive());
    burn::burn_drive* pDrive = drive.Drive();
    const DiscReader fnRead = [pDrive](long long _llOffset, char* _pBuffer, size_t _uSize) {
        off_t llCount = 0;
        return burn::burn_read_data(pDrive, _llOffset, _pBuffer, off_t(_uSize), &llCount, 2) > 0
               && llCount == off_t(_uSize);
    };
    const std::string strMismatch = VerifyImage(pSource, fnRead, _mapMd5s);
    iso_data_source_unref(pSource);
    return strMismatch;
}

BurnOutcome Burn(CLS_IoCtrlLibrary& _library, BurnGroup& _stGroup)
{
    CLS_IsoImageStream image;
    std::string strError;
    std::future<std::map<std::string, std::string>> futMd5s;
    if (!image.Create(_stGroup.strCaption, _stGroup.vecEntries, strError))
        return Failure(n_IoCtrlCode_WriteFailed, strError);
    {
        std::unique_ptr<CLS_GrabbedDrive> pDrive = GrabBlankDisc(_library, _stGroup);
        if (!pDrive)
            return Failure(n_IoCtrlCode_Cancelled, "cancelled");
        long long llTotal = 0;
        long long llFree = 0;
        if (DiscSpace(_library, _stGroup, llTotal, llFree) && image.Size() > llFree)
            return Failure(n_IoCtrlCode_TooLarge, "the content (" + std::to_string(image.Size())
                                                      + " bytes) is larger than the free space of the disc ("
                                                      + std::to_string(llFree) + " bytes)");
        // The sources are hashed for the read-back check on another thread while the
        // disc is written: they are in the page cache then, and the cores are shared.
        if (_library.Settings().blVerify)
            futMd5s = std::async(std::launch::async, SourceMd5s, _stGroup.vecEntries);
        if (!WriteTrack(_stGroup, pDrive->Drive(), image.Source(), strError))
            return Failure(_stGroup.blCancel ? n_IoCtrlCode_Cancelled : n_IoCtrlCode_WriteFailed,
                           _stGroup.blCancel ? "cancelled" : strError);
    }
    if (_library.Settings().blVerify) {
        const std::string strMismatch = VerifyDisc(_stGroup, futMd5s.get());
        if (!strMismatch.empty())
            return Failure(n_IoCtrlCode_WriteFailed, "verification failed: " + strMismatch);
    }
    return BurnOutcome{};
}
}  // namespace

int PseudoDiscError(const std::string& _strImageFile)
{
    std::error_code ec;
    const fs::path pathImage(_strImageFile);
    const fs::path pathFolder = pathImage.has_parent_path() ? pathImage.parent_path() : fs::path(".");
    if (!fs::is_directory(pathFolder, ec))
        return n_DiscError_InvalidDrive;
    const bool blExists = fs::exists(pathImage, ec);
    if (blExists && !fs::is_regular_file(pathImage, ec))
        return n_DiscError_WrongFormat;
    // Write permission bits count even for a superuser: they are how an image file or
    // its folder is marked write-protected.
    const fs::path pathWritten = blExists ? pathImage : pathFolder;
    const fs::perms perms = fs::status(pathWritten, ec).permissions();
    const bool blWritable = (perms & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write))
                            != fs::perms::none;
    if (!blWritable || access(pathWritten.c_str(), W_OK) != 0)
        return n_DiscError_ReadOnly;
    return blExists && fs::file_size(pathImage, ec) > 0 ? n_DiscError_NotBlank : -1;
}

bool DiscSpace(CLS_IoCtrlLibrary& _library, const BurnGroup& _stGroup, long long& _llTotal, long long& _llFree)
{
    const std::string strImage = PseudoDriveFile(_stGroup.strDrive);
    if (strImage.empty()) {
        burn::burn_drive* pDrive = _stGroup.pDrive.load();
        if (!pDrive)
            return false;
        _llFree = burn::burn_disc_available_space(pDrive, nullptr);
        _llTotal = _llFree;
        return true;
    }
    // A pseudo-drive's disc holds the configured capacity, or what its file system
    // has left when that is less.
    _llTotal = _library.Settings().llPseudoDiscBytes;
    struct statvfs stFs = {};
    const fs::path pathFolder = fs::path(strImage).has_parent_path() ? fs::path(strImage).parent_path() : ".";
    const long long llFsFree =
        statvfs(pathFolder.c_str(), &stFs) == 0 ? (long long)stFs.f_bavail * (long long)stFs.f_frsize : _llTotal;
    _llFree = std::min(_llTotal, llFsFree);
    return true;
}

void RunBurnGroup(CLS_IoCtrlLibrary& _library, BurnGroup& _stGroup)
{
    const std::string strUnreadable = FirstUnreadableSource(_stGroup.vecEntries);
    if (!strUnreadable.empty()) {
        _library.Report(_stGroup, n_IoCtrlCode_SourceUnreadable, -1, "source file cannot be read: " + strUnreadable);
        return;
    }
    if (!_library.HoldDrive(_stGroup.strDrive)) {
        _library.Report(_stGroup, n_IoCtrlCode_DriveHeld, -1, "the drive is held by another burn: " + _stGroup.strDrive);
        return;
    }
    const BurnOutcome stOutcome = Burn(_library, _stGroup);
    const std::string strImage = PseudoDriveFile(_stGroup.strDrive);
    if (stOutcome.iCode == n_IoCtrlCode_Cancelled && !strImage.empty()) {
        std::error_code ec;
        fs::remove(strImage, ec);  // a partial image is no disc
    }
    _library.ReleaseDrive(_stGroup.strDrive);
    _library.Report(_stGroup, stOutcome.iCode, stOutcome.iErrType, stOutcome.strMsg);
}
