#include "InstallRecord.h"

#include "DeviceNames.h"
#include "OwnedHandle.h"
#include "RegistryValues.h"
#include "SetupDocument.h"

#include <deviceinstaller.h>

#include <windows.h>

#include <utility>

namespace {

constexpr wchar_t kAppsKey[] = DEVICE_INSTALLER_RECORDS_KEY L"\\";
constexpr wchar_t kSetupLibraryFolder[] = DEVICE_INSTALLER_FOLDER L"\\";

std::vector<std::wstring> ReadList(HKEY key, const wchar_t* name)
{
    std::vector<std::wstring> list;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
        return list;
    std::wstring strings(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(strings.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(strings.data()), &size) != ERROR_SUCCESS)
        return list;
    for (size_t at = 0; at < strings.size() && strings[at];) {
        const size_t end = strings.find(L'\0', at);
        list.push_back(strings.substr(at, end - at));
        at = end + 1;
    }
    return list;
}

bool WriteText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteList(HKEY key, const wchar_t* name, const std::vector<std::wstring>& list)
{
    std::wstring strings;
    for (const std::wstring& entry : list)
        strings += entry + L'\0';
    strings += L'\0';
    return RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(strings.data()),
               static_cast<DWORD>(strings.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// A value's key and name in one string, which neither can confuse: the
// key's length, a colon, the key, the name (which may be empty).
std::wstring Joined(const RecordedValue& value)
{
    return std::to_wstring(value.key.size()) + L":" + value.key + value.name;
}

bool Split(const std::wstring& joined, RecordedValue& value)
{
    const size_t colon = joined.find(L':');
    if (colon == std::wstring::npos || colon == 0)
        return false;
    const size_t length = std::wcstoul(joined.substr(0, colon).c_str(), nullptr, 10);
    if (length > joined.size() - colon - 1)
        return false;
    value.key = joined.substr(colon + 1, length);
    value.name = joined.substr(colon + 1 + length);
    return true;
}

// A registry key a record may name: of a root the device has, not the
// installer's own.
bool IsRecordableKey(const std::wstring& name)
{
    const size_t slash = name.find(L'\\');
    if (slash == std::wstring::npos)
        return false;
    const std::wstring root = name.substr(0, slash), path = name.substr(slash + 1);
    if (root != L"HKLM" && root != L"HKCU")
        return false;
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\' || path.find(L"\\\\") != std::wstring::npos)
        return false;
    return !IsInstallersKey(root == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, path);
}

// Keeps the entries that pass, tells of the others.
template <typename T, typename Good, typename Name>
std::vector<T> Kept(const std::wstring& appName, const std::vector<T>& entries, Good good, Name name,
    std::vector<std::wstring>& refused)
{
    std::vector<T> kept;
    for (const T& entry : entries) {
        if (good(entry))
            kept.push_back(entry);
        else
            refused.push_back(L"the record of " + appName + L" names what is not the device's: " + name(entry) +
                              L"; it is left alone");
    }
    return kept;
}

} // namespace

std::wstring RecordKey(const std::wstring& appName)
{
    return kAppsKey + appName;
}

std::wstring KeptSetupLibrary(const std::wstring& appName)
{
    return kSetupLibraryFolder + appName + L".dll";
}

bool ReadInstallRecord(const std::wstring& appName, InstallRecord& record, std::vector<std::wstring>& refused)
{
    if (!IsPlainName(appName))
        return false;
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RecordKey(appName).c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    record.appName = appName;
    record.installDir = ReadText(key.Get(), L"InstlDir");
    record.setupDll = ReadText(key.Get(), L"SetupDll");
    record.noUninstall = ReadNumber(key.Get(), L"NoUninstall", 0) != 0;
    const auto self = [](const std::wstring& text) { return text; };
    record.files = Kept(appName, ReadList(key.Get(), L"Files"), IsDevicePath, self, refused);
    record.folders = Kept(appName, ReadList(key.Get(), L"Folders"), IsDevicePath, self, refused);
    record.keys = Kept(appName, ReadList(key.Get(), L"Keys"), IsRecordableKey, self, refused);
    std::vector<RecordedValue> values;
    for (const std::wstring& joined : ReadList(key.Get(), L"Values")) {
        RecordedValue value;
        if (Split(joined, value))
            values.push_back(value);
        else
            refused.push_back(L"the record of " + appName + L" names a value it cannot read: " + joined);
    }
    record.values = Kept(appName, values, [](const RecordedValue& v) { return IsRecordableKey(v.key); },
        [](const RecordedValue& v) { return v.key + L"\\" + v.name; }, refused);
    if (!record.installDir.empty() && !IsDevicePath(record.installDir)) {
        refused.push_back(L"the record of " + appName + L" names what is not the device's: " + record.installDir +
                          L"; it is left alone");
        record.installDir.clear();
    }
    // The one setup library the installer keeps for it, or none.
    if (!record.setupDll.empty() && !SameName(record.setupDll, KeptSetupLibrary(appName))) {
        refused.push_back(L"the record of " + appName + L" names a setup library the installer did not keep: " +
                          record.setupDll + L"; it is not run");
        record.setupDll.clear();
    }
    return true;
}

bool WriteInstallRecord(const InstallRecord& record)
{
    UniqueKey opened;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, RecordKey(record.appName).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
            opened.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    const HKEY key = opened.Get();
    const DWORD installed = 1;
    const DWORD noUninstall = record.noUninstall ? 1 : 0;
    std::vector<std::wstring> values;
    for (const RecordedValue& value : record.values)
        values.push_back(Joined(value));
    const bool written =
        RegSetValueExW(key, L"Instl", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installed), sizeof installed) ==
            ERROR_SUCCESS &&
        WriteText(key, L"InstlDir", record.installDir) && WriteText(key, L"SetupDll", record.setupDll) &&
        RegSetValueExW(key, L"NoUninstall", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&noUninstall),
            sizeof noUninstall) == ERROR_SUCCESS &&
        WriteList(key, L"Files", record.files) && WriteList(key, L"Folders", record.folders) &&
        WriteList(key, L"Keys", record.keys) && WriteList(key, L"Values", values);
    return written;
}

void DeleteInstallRecord(const std::wstring& appName)
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, RecordKey(appName).c_str());
}

std::vector<std::wstring> InstalledApplications()
{
    UniqueKey apps;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVICE_INSTALLER_RECORDS_KEY, 0, KEY_READ, apps.Receive()) != ERROR_SUCCESS)
        return {};
    return SubKeyNames(apps.Get());
}

std::vector<InstallRecord> OtherApplications(const std::wstring& appName)
{
    std::vector<InstallRecord> records;
    for (const std::wstring& other : InstalledApplications()) {
        InstallRecord record;
        std::vector<std::wstring> ignored;
        if (!SameName(other, appName) && ReadInstallRecord(other, record, ignored))
            records.push_back(std::move(record));
    }
    return records;
}
