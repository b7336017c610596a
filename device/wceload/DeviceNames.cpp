#include "DeviceNames.h"

#include <devicefiles.h>

#include <windows.h>

#include <algorithm>

namespace {

const struct
{
    HKEY root;
    const wchar_t* name;
    const wchar_t* longName;
} kRoots[] = {{HKEY_LOCAL_MACHINE, L"HKLM", L"HKEY_LOCAL_MACHINE"}, {HKEY_CURRENT_USER, L"HKCU", L"HKEY_CURRENT_USER"},
    {HKEY_CLASSES_ROOT, L"HKCR", L"HKEY_CLASSES_ROOT"}, {HKEY_USERS, L"HKU", L"HKEY_USERS"}};

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

HKEY SplitKeyName(const std::wstring& key, std::wstring& rootName, std::wstring& path)
{
    const size_t slash = key.find(L'\\');
    const std::wstring root = key.substr(0, slash);
    path = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
    for (const auto& known : kRoots) {
        if (root == known.name || root == known.longName) {
            rootName = known.name;
            return known.root;
        }
    }
    rootName.clear();
    return nullptr;
}

std::wstring RootName(HKEY key)
{
    for (const auto& root : kRoots)
        if (key == root.root)
            return root.name;
    return std::wstring();
}
