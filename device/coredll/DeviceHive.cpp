#include "DeviceHive.h"

#include <deviceregistry.h>

namespace {

const wchar_t* RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER)
        return L"HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT)
        return L"HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS)
        return L"HKEY_USERS";
    return nullptr;
}

} // namespace

namespace coredll {

std::wstring DeviceName()
{
    wchar_t name[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(DEVICE_NAME_VARIABLE, name, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(name, length) : std::wstring();
}

DeviceKey::DeviceKey(HKEY root) : key_(root)
{
    if (!DeviceIsPredefinedKey(root))
        return;
    const std::wstring device = DeviceName();
    if (device.empty())
        return;
    // A root the device does not have names nothing: no call reaches the
    // desktop's own.
    const wchar_t* rootName = RootName(root);
    if (!rootName) {
        key_ = nullptr;
        mapped_ = true;
        return;
    }
    const std::wstring path = std::wstring(DEVICE_HIVES_KEY) + L"\\" + device + L"\\" + rootName;
    // The device's key is the user's own: made on first use, whole access.
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        key = nullptr;
    key_ = key;
    mapped_ = true;
}

DeviceKey::~DeviceKey()
{
    if (mapped_ && key_)
        RegCloseKey(key_);
}

HKEY DeviceKey::Release()
{
    mapped_ = false;
    return key_;
}

} // namespace coredll
