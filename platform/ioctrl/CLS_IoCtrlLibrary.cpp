#include "CLS_IoCtrlLibrary.h"

#include "BurnGroupRun.h"

#include <chrono>
#include <thread>

namespace
{
// A JSON string literal of a UTF-8 text.
std::string JsonString(const std::string& _strText)
{
    static const char s_szHex[] = "0123456789abcdef";
    std::string strJson = "\"";
    for (const char c : _strText) {
        const unsigned char uc = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            strJson += '\\';
            strJson += c;
        } else if (uc < 0x20) {
            strJson += "\\u00";
            strJson += s_szHex[uc >> 4];
            strJson += s_szHex[uc & 0xf];
        } else {
            strJson += c;
        }
    }
    return strJson + "\"";
}

std::vector<std::string> ScanDrives()
{
    std::vector<std::string> vecDrives;
    burn::burn_drive_info* pInfos = nullptr;
    unsigned int uCount = 0;
    // The scan runs on a thread of libburn and writes into these variables until it
    // reports an end, so it is asked again until then.
    int iScan = 0;
    while ((iScan = burn::burn_drive_scan(&pInfos, &uCount)) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (iScan < 0)
        return vecDrives;
    for (unsigned int uDrive = 0; uDrive < uCount; ++uDrive) {
        char szAddress[BURN_DRIVE_ADR_LEN] = {};
        if (burn::burn_drive_get_adr(&pInfos[uDrive], szAddress) > 0)
            vecDrives.push_back(szAddress);
    }
    burn::burn_drive_info_free(pInfos);
    return vecDrives;
}
}  // namespace

CLS_IoCtrlLibrary& CLS_IoCtrlLibrary::Instance()
{
    static CLS_IoCtrlLibrary s_library;
    return s_library;
}

CLS_IoCtrlLibrary::~CLS_IoCtrlLibrary()
{
    JoinAll();
}

int CLS_IoCtrlLibrary::Init()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blReady)
        return 0;
    if (!burn::burn_initialize() || !InitIsoLibrary())
        return -1;
    burn::burn_msgs_set_severities(const_cast<char*>("NEVER"), const_cast<char*>("NEVER"),
                                   const_cast<char*>("BurnSdkIOCTL"));
    m_stSettings = ReadIoCtrlSettings();
    // Scanning takes the bus for seconds on some machines: once, at start.
    if (m_stSettings.blScanDrives)
        m_vecScannedDrives = ScanDrives();
    m_blReady = true;
    return 0;
}

int CLS_IoCtrlLibrary::UnInit()
{
    JoinAll();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapGroups.clear();
    return 0;
}

void CLS_IoCtrlLibrary::JoinAll()
{
    std::vector<std::shared_ptr<BurnGroup>> vecGroups;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& prGroup : m_mapGroups) {
            prGroup.second->blCancel = true;
            vecGroups.push_back(prGroup.second);
        }
    }
    m_cvOperator.notify_all();
    for (const std::shared_ptr<BurnGroup>& pGroup : vecGroups) {
        if (pGroup->thread.joinable())
            pGroup->thread.join();
    }
}

int CLS_IoCtrlLibrary::DriveList(std::vector<std::string>* _pvecDrives)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_blReady || !_pvecDrives)
        return -1;
    *_pvecDrives = m_vecScannedDrives;
    _pvecDrives->insert(_pvecDrives->end(), m_stSettings.vecPseudoDrives.begin(), m_stSettings.vecPseudoDrives.end());
    return 0;
}

int CLS_IoCtrlLibrary::NewGroup(const std::vector<std::string>& _vecDrives)
{
    if (_vecDrives.empty() || _vecDrives.front().empty())
        return -1;
    auto pGroup = std::make_shared<BurnGroup>();
    pGroup->strDrive = _vecDrives.front();
    std::lock_guard<std::mutex> lock(m_mutex);
    pGroup->iId = m_iNextGroupId++;
    m_mapGroups.emplace(pGroup->iId, pGroup);
    return pGroup->iId;
}

std::shared_ptr<BurnGroup> CLS_IoCtrlLibrary::Find(int _iGroupId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_mapGroups.find(_iGroupId);
    return it == m_mapGroups.end() ? nullptr : it->second;
}

int CLS_IoCtrlLibrary::RemoveGroup(int _iGroupId)
{
    std::shared_ptr<BurnGroup> pGroup = Find(_iGroupId);
    if (!pGroup || (pGroup->blStarted && !pGroup->blDone))
        return -1;
    if (pGroup->thread.joinable())
        pGroup->thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapGroups.erase(_iGroupId);
    return 0;
}

// Finished groups are forgotten when the next one starts, so a long-running host
// keeps neither their threads nor their file lists.
void CLS_IoCtrlLibrary::ReapFinished()
{
    std::vector<std::shared_ptr<BurnGroup>> vecDone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_mapGroups.begin(); it != m_mapGroups.end();) {
            if (!it->second->blDone) {
                ++it;
                continue;
            }
            vecDone.push_back(it->second);
            it = m_mapGroups.erase(it);
        }
    }
    for (const std::shared_ptr<BurnGroup>& pGroup : vecDone)
        pGroup->thread.join();
}

// Changes a group before its burn starts; -1 for an unknown or started group.
template <typename Edit>
int CLS_IoCtrlLibrary::EditGroup(int _iGroupId, Edit _fnEdit)
{
    std::shared_ptr<BurnGroup> pGroup = Find(_iGroupId);
    if (!pGroup || pGroup->blStarted)
        return -1;
    _fnEdit(*pGroup);
    return 0;
}

int CLS_IoCtrlLibrary::SetCaption(int _iGroupId, const std::string& _strCaption)
{
    return EditGroup(_iGroupId, [&](BurnGroup& _stGroup) { _stGroup.strCaption = _strCaption; });
}

int CLS_IoCtrlLibrary::AddFile(int _iGroupId, const std::string& _strSource, const std::string& _strTarget)
{
    return EditGroup(_iGroupId, [&](BurnGroup& _stGroup) { _stGroup.vecEntries.push_back({_strSource, _strTarget}); });
}

int CLS_IoCtrlLibrary::SetCloseDisc(int _iGroupId, bool _blClose)
{
    return EditGroup(_iGroupId, [&](BurnGroup& _stGroup) { _stGroup.blCloseDisc = _blClose; });
}

int CLS_IoCtrlLibrary::SetSpeed(int _iGroupId, int _iSpeedKBs)
{
    return EditGroup(_iGroupId, [&](BurnGroup& _stGroup) { _stGroup.iSpeedKBs = _iSpeedKBs; });
}

int CLS_IoCtrlLibrary::MediaSpace(int _iGroupId, long long* _pllTotal, long long* _pllFree)
{
    std::shared_ptr<BurnGroup> pGroup = Find(_iGroupId);
    if (!pGroup || !_pllTotal || !_pllFree)
        return -1;
    return DiscSpace(*this, *pGroup, *_pllTotal, *_pllFree) ? 0 : -1;
}

int CLS_IoCtrlLibrary::Start(int _iGroupId)
{
    ReapFinished();
    std::shared_ptr<BurnGroup> pGroup = Find(_iGroupId);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!pGroup || pGroup->blStarted)
        return -1;
    pGroup->blStarted = true;
    pGroup->thread = std::thread([this, pGroup] {
        RunBurnGroup(*this, *pGroup);
        pGroup->blDone = true;
    });
    return 0;
}

int CLS_IoCtrlLibrary::Cancel(int _iGroupId)
{
    std::shared_ptr<BurnGroup> pGroup = Find(_iGroupId);
    if (!pGroup)
        return -1;
    pGroup->blCancel = true;
    if (burn::burn_drive* pDrive = pGroup->pDrive.load())
        burn::burn_drive_cancel(pDrive);
    m_cvOperator.notify_all();
    return 0;
}

void CLS_IoCtrlLibrary::SetCallBack(PFN_IoCtrlCallBack _pfnCallBack, void* _pUser)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pfnCallBack = _pfnCallBack;
    m_pCallBackUser = _pUser;
}

void CLS_IoCtrlLibrary::OperatorConfirmed()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_uOperatorSignals;
    }
    m_cvOperator.notify_all();
}

bool CLS_IoCtrlLibrary::WaitForOperator(const BurnGroup& _stGroup)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const unsigned uSeen = m_uOperatorSignals;
    m_cvOperator.wait(lock, [&] { return m_uOperatorSignals != uSeen || _stGroup.blCancel; });
    return !_stGroup.blCancel;
}

bool CLS_IoCtrlLibrary::HoldDrive(const std::string& _strDrive)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_setHeldDrives.insert(_strDrive).second;
}

void CLS_IoCtrlLibrary::ReleaseDrive(const std::string& _strDrive)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_setHeldDrives.erase(_strDrive);
}

void CLS_IoCtrlLibrary::Report(const BurnGroup& _stGroup, int _iCode, int _iErrType, const std::string& _strMsg)
{
    PFN_IoCtrlCallBack pfnCallBack = nullptr;
    void* pUser = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pfnCallBack = m_pfnCallBack;
        pUser = m_pCallBackUser;
    }
    if (!pfnCallBack)
        return;
    const std::string strMsg = "{\"type\":\"BurnState\",\"code\":" + std::to_string(_iCode)
                               + ",\"groupID\":" + std::to_string(_stGroup.iId)
                               + ",\"burnDriver\":" + JsonString(_stGroup.strDrive) + ",\"strVal\":{\"errType\":"
                               + std::to_string(_iErrType) + ",\"errMsg\":" + JsonString(_strMsg) + "}}";
    pfnCallBack(strMsg.c_str(), pUser);
}
