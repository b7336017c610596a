#include "DeviceNames.h"

#include <devicefiles.h>

#include <windows.h>

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsPlainName(const std::wstring& name)
{
    return DeviceIsPlainName(name.c_str()) && name.find(L'\0') == std::wstring::npos;
}

bool IsDevicePath(const std::wstring& path)
{
    return DeviceIsDevicePath(path.c_str()) && path.find(L'\0') == std::wstring::npos;
}
