// The devices wp_nwc.dll handed out, by handle: a stale handle is refused, and a call in
// flight keeps its device alive past destroy_dev. One per process; any thread.
//
// Handles are numbers never handed out twice, not addresses: a destroyed device's
// handle cannot come to name a newer device at the same address.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "CLS_NwcDevice.h"

class CLS_NwcDeviceList
{
public:
    static CLS_NwcDeviceList& Instance();
    ~CLS_NwcDeviceList();

    void* Add(const std::shared_ptr<CLS_NwcDevice>& _pDevice);
    // Null for a handle that is not (or no longer) a device.
    std::shared_ptr<CLS_NwcDevice> Find(void* _pHandle) const;
    // Takes the device out and closes it; false for an unknown handle.
    bool Destroy(void* _pHandle);

private:
    CLS_NwcDeviceList() = default;
    // Releases the devices closed from their own callbacks once those have returned.
    void ReleaseEnded();

    mutable std::mutex m_mtxDevices;
    std::map<void*, std::shared_ptr<CLS_NwcDevice>> m_mapDevices;
    std::uintptr_t m_uLastHandle = 0;
    std::vector<std::shared_ptr<CLS_NwcDevice>> m_vecEnding;  // closed inside a callback
};
