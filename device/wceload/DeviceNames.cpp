#include "DeviceNames.h"

#include <devicefiles.h>

#include <windows.h>

#include <algorithm>

namespace {

const struct
{
    HKEY root;
    const wchar_t* name;
} kRoots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CURRENT_USER, L"HKCU"}, {HKEY_CLASSES_ROOT, L"HKCR"},
    {HKEY_USERS, L"HKU"}};

} // namespace

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool Listed(const std::vector<std::wstring>& list, const std::wstring& entry)
{
    return std::any_of(list.begin(), list.end(), [&](const std::wstring& e) { return SameName(e, entry); });
}

bool IsPlainName(const std::wstring& name)
{
    return DeviceIsPlainName(name.c_str()) && name.find(L'\0') == std::wstring::npos;
}

bool IsDevicePath(const std::wstring& path)
{
    return DeviceIsDevicePath(path.c_str()) && path.find(L'\0') == std::wstring::npos;
}

HKEY RootNamed(const std::wstring& name)
{
    for (const auto& root : kRoots)
        if (name == root.name)
            return root.root;
    return nullptr;
}

std::wstring RootName(HKEY key)
{
    for (const auto& root : kRoots)
        if (key == root.root)
            return root.name;
    return std::wstring();
}
