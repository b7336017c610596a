// The device's own screen key (its profile and orientation), changed by a
// test and put back as it was afterwards.
#pragma once

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
    struct Value
    {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };

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
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, DEVICE_SCREEN_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
            static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }

private:
    static std::vector<Value> Read()
    {
        std::vector<Value> values;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVICE_SCREEN_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return values;
        for (DWORD i = 0;; ++i) {
            wchar_t name[64];
            DWORD length = 64, type = 0;
            std::vector<BYTE> data(256);
            DWORD size = static_cast<DWORD>(data.size());
            if (RegEnumValueW(key, i, name, &length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
                break;
            data.resize(size);
            values.push_back({name, type, data});
        }
        RegCloseKey(key);
        return values;
    }

    std::vector<Value> kept_;
};
