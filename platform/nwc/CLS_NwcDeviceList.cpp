#include "CLS_NwcDeviceList.h"

CLS_NwcDeviceList& CLS_NwcDeviceList::Instance()
{
    static CLS_NwcDeviceList s_list;
    return s_list;
}

CLS_NwcDeviceList::~CLS_NwcDeviceList()
{
    // No thread of the library may outlive its code: close and wait for everything.
    std::map<void*, std::shared_ptr<CLS_NwcDevice>> mapDevices;
    std::vector<std::shared_ptr<CLS_NwcDevice>> vecEnding;
    {
        const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
        mapDevices.swap(m_mapDevices);
        vecEnding.swap(m_vecEnding);
    }
    for (auto& [pHandle, pDevice] : mapDevices) {
        if (!pDevice->Close())
            vecEnding.push_back(pDevice);
    }
    for (const auto& pDevice : vecEnding)
        pDevice->Dispatcher().Join();
}

void* CLS_NwcDeviceList::Add(const std::shared_ptr<CLS_NwcDevice>& _pDevice)
{
    ReleaseEnded();
    const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
    void* pHandle = reinterpret_cast<void*>(++m_uLastHandle);
    m_mapDevices[pHandle] = _pDevice;
    return pHandle;
}

std::shared_ptr<CLS_NwcDevice> CLS_NwcDeviceList::Find(void* _pHandle) const
{
    const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
    const auto it = m_mapDevices.find(_pHandle);
    return it == m_mapDevices.end() ? nullptr : it->second;
}

bool CLS_NwcDeviceList::Destroy(void* _pHandle)
{
    std::shared_ptr<CLS_NwcDevice> pDevice;
    {
        const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
        const auto it = m_mapDevices.find(_pHandle);
        if (it == m_mapDevices.end())
            return false;
        pDevice = it->second;
        m_mapDevices.erase(it);
    }
    ReleaseEnded();
    if (pDevice->Close())
        return true;
    const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
    m_vecEnding.push_back(pDevice);
    return true;
}

void CLS_NwcDeviceList::ReleaseEnded()
{
    std::vector<std::shared_ptr<CLS_NwcDevice>> vecEnded;
    {
        const std::lock_guard<std::mutex> lockDevices(m_mtxDevices);
        for (auto it = m_vecEnding.begin(); it != m_vecEnding.end();) {
            if (!(*it)->Dispatcher().Finished()) {
                ++it;
                continue;
            }
            vecEnded.push_back(*it);
            it = m_vecEnding.erase(it);
        }
    }
    for (const auto& pDevice : vecEnded)
        pDevice->Dispatcher().Join();
}
