#include "RegistryValues.h"

#include <cwchar>
#include <utility>

namespace {

// A value name is at most 16,383 characters.
constexpr DWORD kMaxValueName = 16384;
// A key name, 255.
constexpr DWORD kMaxKeyName = 256;

} // namespace

std::wstring ReadText(HKEY key, const std::wstring& name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return L"";
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return L"";
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

DWORD ReadNumber(HKEY key, const std::wstring& name, DWORD fallback)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return value;
}

std::vector<BYTE> ReadBytes(HKEY key, const std::wstring& name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> bytes(size);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS)
        return {};
    bytes.resize(size);
    return bytes;
}

std::vector<NamedValue> ValuesOf(HKEY key)
{
    std::vector<NamedValue> values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kMaxValueName];
        DWORD nameLength = kMaxValueName, type = 0, size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        NamedValue value{std::wstring(name, nameLength), type, std::vector<BYTE>(size)};
        nameLength = kMaxValueName;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, value.data.data(), &size) != ERROR_SUCCESS)
            continue;
        value.data.resize(size);
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<std::wstring> SubKeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kMaxKeyName];
        DWORD length = kMaxKeyName;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}
