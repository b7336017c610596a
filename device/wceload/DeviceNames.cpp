#include "DeviceNames.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace {

// Names the desktop's file system takes for its devices, with or without
// an extension.
constexpr const wchar_t* kReserved[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
constexpr const wchar_t* kNumbered[] = {L"COM", L"LPT"};

bool IsReserved(const std::wstring& name)
{
    const std::wstring stem = name.substr(0, name.find(L'.'));
    for (const wchar_t* reserved : kReserved)
        if (SameName(stem, reserved))
            return true;
    for (const wchar_t* numbered : kNumbered)
        if (stem.size() == 4 && SameName(stem.substr(0, 3), numbered) && stem[3] >= L'0' && stem[3] <= L'9')
            return true;
    return false;
}

} // namespace

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsPlainName(const std::wstring& name)
{
    if (name.empty() || name.size() > MAX_PATH || name == L"." || name == L".." || name.back() == L'.' ||
        name.back() == L' ')
        return false;
    for (wchar_t c : name)
        if (c < 0x20 || c == 0x7F || std::wcschr(L"\\/:*?\"<>|", c))
            return false;
    return !IsReserved(name);
}

bool IsDevicePath(const std::wstring& path)
{
    if (path.size() < 2 || path[0] != L'\\' || path.size() >= MAX_PATH)
        return false;
    for (size_t at = 1; at <= path.size();) {
        const size_t end = std::min(path.find(L'\\', at), path.size());
        if (!IsPlainName(path.substr(at, end - at)))
            return false;
        at = end + 1;
    }
    return true;
}
