// The device's own screen key (its profile and orientation), changed by a
// test and put back as it was afterwards.
#pragma once

#include "OwnedHandle.h"
#include "RegistryValues.h"

#include <devicescreen.h>

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace devicescreenkey {

inline std::vector<BYTE> Text(const wchar_t* text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + (std::wcslen(text) + 1) * sizeof(wchar_t));
}

inline std::vector<BYTE> Number(DWORD value)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(bytes, bytes + sizeof value);
}

} // namespace devicescreenkey

class DeviceScreenKey
{
public:
    using Value = NamedValue;

    DeviceScreenKey() : kept_(Read()) {}
    ~DeviceScreenKey()
    {
        Clear();
        for (const Value& value : kept_)
            Write(value);
    }
    DeviceScreenKey(const DeviceScreenKey&) = delete;
    DeviceScreenKey& operator=(const DeviceScreenKey&) = delete;

    // The key deleted: the device has no screen of its own.
    static void Clear() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, DEVICE_SCREEN_KEY); }

    static void Write(const Value& value)
    {
        UniqueKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, DEVICE_SCREEN_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                key.Receive(), nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key.Get(), value.name.c_str(), 0, value.type, value.data.data(),
            static_cast<DWORD>(value.data.size()));
    }

private:
    static std::vector<Value> Read()
    {
        UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVICE_SCREEN_KEY, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return {};
        return ValuesOf(key.Get());
    }

    std::vector<Value> kept_;
};
