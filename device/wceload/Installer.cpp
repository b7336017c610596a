#include "Installer.h"

#include "Cabinet.h"
#include "DeviceStore.h"
#include "InstallRecord.h"
#include "SetupDocument.h"
#include "SetupLibrary.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace {

// Where a Pocket PC keeps the setup libraries of what it has installed.
constexpr wchar_t kSetupLibraryFolder[] = L"\\Windows\\AppMgr";

Outcome Failed(const std::wstring& line)
{
    return Outcome{false, {line}};
}

std::wstring ErrorText(DWORD error)
{
    return L"error " + std::to_wstring(error);
}

HKEY RootOf(const std::wstring& key, std::wstring& path)
{
    const size_t slash = key.find(L'\\');
    path = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
    const std::wstring root = key.substr(0, slash);
    return root == L"HKLM" ? HKEY_LOCAL_MACHINE : root == L"HKCU" ? HKEY_CURRENT_USER : nullptr;
}

bool KeyIsEmpty(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    const bool read = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                          nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read && subkeys == 0 && values == 0;
}

template <typename T>
bool Contains(const std::vector<T>& list, const T& entry)
{
    return std::find(list.begin(), list.end(), entry) != list.end();
}

// Takes away what a record lists, but what keep lists too (an upgrade's
// new installation); what cannot be taken away is told in lines.
void Remove(const InstallRecord& record, const InstallRecord& keep, std::vector<std::wstring>& lines)
{
    for (const std::wstring& file : record.files) {
        if (Contains(keep.files, file))
            continue;
        if (!DeleteFileW(StorePath(file).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            lines.push_back(L"cannot remove " + file + L" (" + ErrorText(GetLastError()) + L")");
    }
    for (const RecordedValue& value : record.values) {
        if (Contains(keep.values, value))
            continue;
        std::wstring path;
        const HKEY root = RootOf(value.key, path);
        HKEY key = nullptr;
        if (root && RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, value.name.c_str());
            RegCloseKey(key);
        }
    }
    // The keys it made, innermost first, each when nothing is left in it.
    for (auto key = record.keys.rbegin(); key != record.keys.rend(); ++key) {
        std::wstring path;
        const HKEY root = RootOf(*key, path);
        if (root && !Contains(keep.keys, *key) && KeyIsEmpty(root, path))
            RegDeleteKeyW(root, path.c_str());
    }
    for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder)
        if (!Contains(keep.folders, *folder))
            RemoveDirectoryW(StorePath(*folder).c_str());
}

// Writes the document's files, folders and registry entries, recording each
// as it is made; counts what fails.
void Put(const SetupDocument& document, const StagingFolder& staging, InstallRecord& record, FailedCounts& failed,
    std::vector<std::wstring>& lines)
{
    for (const std::wstring& folder : document.folders) {
        if (!MakeFolders(folder, record.folders)) {
            ++failed.folders;
            lines.push_back(L"cannot make " + folder + L" (" + ErrorText(GetLastError()) + L")");
        }
    }
    for (const InstalledFile& file : document.files) {
        if (!CopyFileW((staging.Path() + L"\\" + file.source).c_str(), StorePath(file.target).c_str(), FALSE)) {
            ++failed.files;
            lines.push_back(L"cannot write " + file.target + L" (" + ErrorText(GetLastError()) + L")");
            continue;
        }
        record.files.push_back(file.target);
    }
    for (const RegistryKey& key : document.keys) {
        const std::wstring name = key.rootName + L"\\" + key.path;
        HKEY opened = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, &disposition) !=
            ERROR_SUCCESS) {
            ++failed.keys;
            lines.push_back(L"cannot make the registry key " + name);
            continue;
        }
        if (disposition == REG_CREATED_NEW_KEY)
            record.keys.push_back(name);
        for (const RegistryValue& value : key.values) {
            if (RegSetValueExW(opened, value.name.c_str(), 0, value.type, value.data.data(),
                    static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
                ++failed.values;
                lines.push_back(L"cannot write the registry value " + name + L"\\" + value.name);
                continue;
            }
            record.values.push_back({name, value.name});
        }
        RegCloseKey(opened);
    }
}

bool AnyFailed(const FailedCounts& failed)
{
    return failed.folders || failed.files || failed.keys || failed.values || failed.shortcuts;
}

// An upgrade keeps what the installation it replaces made and still holds.
void Inherit(const InstallRecord& previous, InstallRecord& record)
{
    for (const std::wstring& folder : previous.folders)
        if (!Contains(record.folders, folder))
            record.folders.insert(record.folders.begin(), folder);
    for (const std::wstring& key : previous.keys)
        if (!Contains(record.keys, key))
            record.keys.insert(record.keys.begin(), key);
}

} // namespace

Outcome InstallCab(const std::wstring& cabPath)
{
    // Everything is checked before anything is changed.
    const StagingFolder staging;
    if (!staging.Made())
        return Failed(L"cannot make a folder to unpack " + cabPath + L" into");
    std::wstring error;
    if (!UnpackCabinet(cabPath, staging.Path(), error))
        return Failed(error);
    if (!staging.Holds(L"_setup.xml"))
        return Failed(cabPath + L" has no _setup.xml");
    SetupDocument document;
    if (!ReadSetupDocument(staging.Path() + L"\\_setup.xml", document, error))
        return Failed(cabPath + L": " + error);
    for (const InstalledFile& file : document.files)
        if (!staging.Holds(file.source))
            return Failed(cabPath + L" lacks " + file.source + L", which _setup.xml extracts to " + file.target);
    if (!document.setupDll.empty() && !staging.Holds(document.setupDll))
        return Failed(cabPath + L" lacks its setup library " + document.setupDll);

    InstallRecord previous;
    const bool previouslyInstalled = ReadInstallRecord(document.appName, previous);
    std::unique_ptr<SetupLibrary> library;
    if (!document.setupDll.empty()) {
        library = SetupLibrary::Load(staging.Path() + L"\\" + document.setupDll, error);
        if (!library)
            return Failed(document.appName + L": " + error + L"; nothing was installed");
    }
    if (library && library->InstallInit(true, previouslyInstalled, document.installDir) == SetupAnswer::Cancel)
        return Failed(document.appName + L"'s setup cancelled the installation; nothing was installed");

    Outcome outcome;
    InstallRecord record;
    record.appName = document.appName;
    record.installDir = document.installDir;
    FailedCounts failed;
    Put(document, staging, record, failed, outcome.lines);
    const SetupAnswer answer =
        library ? library->InstallExit(document.installDir, failed) : SetupAnswer::Continue;
    if (answer == SetupAnswer::Undo || AnyFailed(failed)) {
        // Whatever the setup library says, a partial installation is none.
        library.reset();
        if (previouslyInstalled)
            Inherit(previous, record);
        Remove(record, InstallRecord(), outcome.lines);
        if (previouslyInstalled) {
            Remove(previous, InstallRecord(), outcome.lines);
            DeleteInstallRecord(previous.appName);
            DeleteFileW(StorePath(previous.setupDll).c_str());
        }
        outcome.lines.push_back(L"the installation of " + document.appName + L" failed; it was removed");
        return outcome;
    }

    if (previouslyInstalled) {
        Inherit(previous, record);
        Remove(previous, record, outcome.lines);
    }
    library.reset();
    if (!document.setupDll.empty()) {
        std::vector<std::wstring> made;
        record.setupDll = std::wstring(kSetupLibraryFolder) + L"\\" + document.appName + L".dll";
        if (!MakeFolders(kSetupLibraryFolder, made) ||
            !CopyFileW((staging.Path() + L"\\" + document.setupDll).c_str(), StorePath(record.setupDll).c_str(), FALSE))
            outcome.lines.push_back(L"cannot keep the setup library for the removal of " + document.appName);
    }
    if (!WriteInstallRecord(record))
        outcome.lines.push_back(L"cannot record the installation of " + document.appName);
    outcome.lines.push_back(std::wstring(previouslyInstalled ? L"upgraded " : L"installed ") + document.appName);
    outcome.done = true;
    return outcome;
}

Outcome Uninstall(const std::wstring& appName)
{
    InstallRecord record;
    if (!ReadInstallRecord(appName, record))
        return Failed(appName + L" is not installed");
    Outcome outcome;
    std::unique_ptr<SetupLibrary> library;
    if (!record.setupDll.empty()) {
        std::wstring error;
        library = SetupLibrary::Load(StorePath(record.setupDll), error);
        // A setup library that is gone cannot keep its application.
        if (!library)
            outcome.lines.push_back(appName + L": " + error);
    }
    if (library && library->UninstallInit(record.installDir) == SetupAnswer::Cancel)
        return Failed(appName + L"'s setup cancelled the removal; nothing was removed");
    const size_t told = outcome.lines.size();
    Remove(record, InstallRecord(), outcome.lines);
    if (library)
        library->UninstallExit();
    library.reset();
    if (!record.setupDll.empty())
        DeleteFileW(StorePath(record.setupDll).c_str());
    DeleteInstallRecord(appName);
    outcome.done = outcome.lines.size() == told;
    outcome.lines.push_back(L"removed " + appName);
    return outcome;
}
