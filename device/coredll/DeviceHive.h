// The device's two registry roots as keys of the desktop user's registry.
#pragma once

#include <windows.h>

#include <string>

namespace coredll {

// The device the process runs in; empty outside a device.
std::wstring DeviceName();

// The key a call on root reaches: inside a device, a key of the device's
// hive for each of Windows CE's four roots, and none (null, which every
// registry function refuses) for any other predefined root; a key a program
// opened, or any key outside a device, is itself. Opened for the one call and closed with the object, so that a
// device reset meanwhile (its key deleted) starts afresh.
class DeviceKey
{
public:
    explicit DeviceKey(HKEY root);
    ~DeviceKey();
    DeviceKey(const DeviceKey&) = delete;
    DeviceKey& operator=(const DeviceKey&) = delete;

    HKEY get() const { return key_; }
    // Whether the key is one of the device's (then it is closed with the object).
    bool Mapped() const { return mapped_; }
    // Takes the key away from the object: the caller closes it.
    HKEY Release();

private:
    HKEY key_;
    bool mapped_ = false;
};

} // namespace coredll
