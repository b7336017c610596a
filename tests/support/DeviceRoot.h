// A root of the device's registry (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
// as the device's programs see it) for the desktop's registry functions that
// the device library does not have, such as RegGetValueW and RegDeleteTreeW.
#pragma once

#include <deviceregistry.h>

#include <windows.h>

#include <string>

class DeviceRoot
{
public:
    explicit DeviceRoot(HKEY root) : root_(root), key_(DeviceRegistryRoot(root)) {}
    ~DeviceRoot()
    {
        if (key_ && key_ != root_)
            RegCloseKey(key_);
    }
    DeviceRoot(const DeviceRoot&) = delete;
    DeviceRoot& operator=(const DeviceRoot&) = delete;

    operator HKEY() const { return key_; }

private:
    HKEY root_;
    HKEY key_;
};

// A REG_DWORD of the device's registry; 0 when it is missing.
inline DWORD DeviceNumber(HKEY root, const std::wstring& key, const std::wstring& name)
{
    DWORD value = 0, size = sizeof value;
    RegGetValueW(DeviceRoot(root), key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}
