#include "Installer.h"

#include "Cabinet.h"
#include "DeviceNames.h"
#include "DeviceStore.h"
#include "InstallRecord.h"
#include "Journal.h"
#include "OwnedHandle.h"
#include "RegistryKeys.h"
#include "SetupChanges.h"
#include "SetupDocument.h"
#include "SetupInstructions.h"
#include "SetupLibrary.h"
#include "TodayScreen.h"

#include <deviceinstaller.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr wchar_t kSetupLibraryFolder[] = DEVICE_INSTALLER_FOLDER;

Outcome Failed(const std::wstring& line)
{
    return Outcome{false, {line}};
}

std::wstring ErrorText(DWORD error)
{
    return L"error " + std::to_wstring(error);
}

// Every key the setup libraries or the installation may change, as it is
// now: undoing the change brings each back (the item switched off by a
// setup library included).
bool KeepKeys(Journal& journal, const std::vector<std::wstring>& keys)
{
    std::vector<std::wstring> kept;
    for (const std::wstring& key : keys) {
        if (Listed(kept, key))
            continue;
        kept.push_back(key);
        std::wstring rootName, path;
        const HKEY root = SplitKeyName(key, rootName, path);
        if (root && !journal.KeyChanged(root, rootName, path))
            return false;
    }
    return true;
}

std::vector<std::wstring> KeysOf(const InstallRecord& record)
{
    std::vector<std::wstring> keys;
    for (const RecordedValue& value : record.values)
        keys.push_back(value.key);
    return keys;
}

std::vector<std::wstring> KeysOf(const SetupDocument& document)
{
    std::vector<std::wstring> keys;
    for (const RegistryKey& key : document.keys)
        keys.push_back(key.rootName + L"\\" + key.path);
    return keys;
}

// What another installed application recorded is its own: a CAB that would
// write one of its files or registry values is refused before anything
// changes, as a Pocket PC's installer will not take over another's files.
bool ClaimsAnothers(const SetupDocument& document, std::wstring& line)
{
    for (const InstallRecord& record : OtherApplications(document.appName)) {
        const std::wstring& other = record.appName;
        std::vector<std::wstring> targets;
        for (const InstalledFile& file : document.files)
            targets.push_back(file.target);
        for (const Shortcut& shortcut : document.shortcuts)
            targets.push_back(shortcut.path);
        for (const std::wstring& target : targets) {
            if (Listed(record.files, target)) {
                line = target + L" is " + other + L"'s";
                return true;
            }
        }
        for (const RegistryKey& key : document.keys) {
            const std::wstring name = key.rootName + L"\\" + key.path;
            for (const RegistryValue& value : key.values) {
                for (const RecordedValue& recorded : record.values) {
                    if (SameName(recorded.key, name) && SameName(recorded.name, value.name)) {
                        line = L"the registry value " + name + L"\\" + value.name + L" is " + other + L"'s";
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

// What the document's files write into the store, a member written as often
// as it is named.
std::uint64_t BytesWritten(const SetupDocument& document, const StagingFolder& staging)
{
    std::uint64_t total = 0;
    for (const InstalledFile& file : document.files) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW((staging.Path() + L"\\" + file.source).c_str(), GetFileExInfoStandard, &data))
            total += (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }
    return total;
}

// Makes each missing folder of a device folder, outermost first, noting each.
bool MakeFolders(Journal& journal, const std::wstring& deviceFolder, std::vector<std::wstring>& made)
{
    const std::wstring store = StorePath(L"\\");
    std::vector<std::wstring> ignored;
    if (store.empty() || !::MakeFolders(L"\\", ignored))
        return false;
    for (size_t at = deviceFolder.find(L'\\', 1);; at = deviceFolder.find(L'\\', at + 1)) {
        const std::wstring folder = deviceFolder.substr(0, at);
        const std::wstring path = StorePath(folder);
        if (!IsFolder(path)) {
            if (!journal.FolderMade(folder) || !CreateDirectoryW(path.c_str(), nullptr))
                return false;
            made.push_back(folder);
        }
        if (at == std::wstring::npos)
            return true;
    }
}

// A shortcut file as Windows CE writes one: the count of what follows, a
// '#', and the target in quotes.
bool WriteShortcut(const std::wstring& path, const std::wstring& target)
{
    const std::wstring text = L"\"" + target + L"\"";
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string content(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, content.data(), bytes, nullptr, nullptr);
    content = std::to_string(content.size()) + "#" + content;
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

// Takes away what a record lists, each step noted: its files, its values,
// then the keys and folders it made that are empty, innermost first. False
// when something could not be taken away (what was is undone with the
// rest).
bool Remove(const InstallRecord& record, Journal& journal, std::vector<std::wstring>& lines)
{
    bool removed = true;
    for (const std::wstring& file : record.files) {
        const std::wstring path = StorePath(file);
        if (!FileExists(path))
            continue;
        if (!journal.FileWritten(file) || !DeleteFileW(path.c_str())) {
            lines.push_back(L"cannot remove " + file + L" (" + ErrorText(GetLastError()) + L")");
            removed = false;
        }
    }
    for (const RecordedValue& value : record.values) {
        std::wstring rootName, path;
        const HKEY root = SplitKeyName(value.key, rootName, path);
        UniqueKey key;
        if (root && RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS)
            RegDeleteValueW(key.Get(), value.name.c_str());
    }
    for (auto key = record.keys.rbegin(); key != record.keys.rend(); ++key) {
        std::wstring rootName, path;
        const HKEY root = SplitKeyName(*key, rootName, path);
        if (root && KeyIsEmpty(root, path) && journal.KeyRemoved(root, rootName, path))
            RegDeleteKeyW(root, path.c_str());
    }
    for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder) {
        const std::wstring path = StorePath(*folder);
        if (IsEmptyFolder(path) && journal.FolderRemoved(*folder))
            RemoveDirectoryW(path.c_str());
    }
    return removed;
}

// Writes the document's folders, files, shortcuts and registry entries,
// each step noted before it is taken and recorded once taken; counts what
// fails.
void Put(const SetupDocument& document, const StagingFolder& staging, Journal& journal, InstallRecord& record,
    FailedCounts& failed, std::vector<std::wstring>& lines)
{
    for (const std::wstring& folder : document.folders) {
        if (!MakeFolders(journal, folder, record.folders)) {
            ++failed.folders;
            lines.push_back(L"cannot make " + folder + L" (" + ErrorText(GetLastError()) + L")");
        }
    }
    for (const InstalledFile& file : document.files) {
        if (!journal.FileWritten(file.target) ||
            !CopyFileW((staging.Path() + L"\\" + file.source).c_str(), StorePath(file.target).c_str(), FALSE)) {
            ++failed.files;
            lines.push_back(L"cannot write " + file.target + L" (" + ErrorText(GetLastError()) + L")");
            continue;
        }
        record.files.push_back(file.target);
    }
    for (const Shortcut& shortcut : document.shortcuts) {
        const std::wstring folder = shortcut.path.substr(0, shortcut.path.find_last_of(L'\\'));
        if (!MakeFolders(journal, folder, record.folders) || !journal.FileWritten(shortcut.path) ||
            !WriteShortcut(StorePath(shortcut.path), shortcut.target)) {
            ++failed.shortcuts;
            lines.push_back(L"cannot write the shortcut " + shortcut.path);
            continue;
        }
        record.files.push_back(shortcut.path);
    }
    for (const RegistryKey& key : document.keys) {
        const std::wstring name = key.rootName + L"\\" + key.path;
        UniqueKey opened;
        const std::vector<std::wstring> missing = MissingKeys(key.root, key.path);
        const bool noted = std::all_of(missing.begin(), missing.end(),
            [&](const std::wstring& part) { return journal.KeyMade(key.root, key.rootName, part); });
        if (!noted || !journal.KeyChanged(key.root, key.rootName, key.path) ||
            RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, opened.Receive(), nullptr) !=
                ERROR_SUCCESS) {
            ++failed.keys;
            lines.push_back(L"cannot make the registry key " + name);
            continue;
        }
        for (const std::wstring& part : missing)
            record.keys.push_back(key.rootName + L"\\" + part);
        for (const RegistryValue& value : key.values) {
            if (RegSetValueExW(opened.Get(), value.name.c_str(), 0, value.type, value.data.data(),
                    static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
                ++failed.values;
                lines.push_back(L"cannot write the registry value " + name + L"\\" + value.name);
                continue;
            }
            record.values.push_back({name, value.name});
        }
    }
}

// A change that cannot be made whole is undone; the Today screen shows the
// device as it is again.
Outcome& Undone(Journal& journal, Outcome& outcome, const std::wstring& line)
{
    journal.Undo();
    TellTodayScreen();
    if (!line.empty())
        outcome.lines.push_back(line);
    return outcome;
}

bool AnyFailed(const FailedCounts& failed)
{
    return failed.folders || failed.files || failed.keys || failed.values || failed.shortcuts;
}

// The setup library kept for the removal of an application, in the store.
bool KeepSetupLibrary(Journal& journal, const std::wstring& source, InstallRecord& record)
{
    std::vector<std::wstring> made;
    record.setupDll = KeptSetupLibrary(record.appName);
    return MakeFolders(journal, kSetupLibraryFolder, made) && journal.FileWritten(record.setupDll) &&
           CopyFileW(source.c_str(), StorePath(record.setupDll).c_str(), FALSE);
}

// Takes away the installed copy of an application, as its own setup library
// asks: false with the line when it cancels or cannot be removed.
bool RemoveInstalled(const InstallRecord& record, Journal& journal, std::vector<std::wstring>& lines,
    const std::wstring& cancelled)
{
    SetupChanges changes(journal, record.appName);
    std::unique_ptr<SetupLibrary> library;
    if (!record.setupDll.empty()) {
        std::wstring error;
        library = SetupLibrary::Load(StorePath(record.setupDll), changes, error);
        // A setup library that is gone cannot keep its application.
        if (!library)
            lines.push_back(record.appName + L": " + error);
    }
    if (library && library->UninstallInit(record.installDir) == SetupAnswer::Cancel) {
        lines.push_back(cancelled);
        return false;
    }
    if (!Remove(record, journal, lines)) {
        lines.push_back(L"cannot remove " + record.appName + L"; nothing was removed");
        return false;
    }
    if (library)
        library->UninstallExit();
    library.reset();
    // The setup library the installer kept for it goes, whatever the record says.
    const std::wstring kept = KeptSetupLibrary(record.appName);
    if (FileExists(StorePath(kept)) && (!journal.FileWritten(kept) || !DeleteFileW(StorePath(kept).c_str()))) {
        lines.push_back(L"cannot remove " + kept);
        return false;
    }
    if (!journal.KeyChanged(HKEY_LOCAL_MACHINE, L"HKLM", RecordKey(record.appName)))
        return false;
    DeleteInstallRecord(record.appName);
    return true;
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
    SetupDocument document;
    if (!ReadSetupInstructions(cabPath, staging, document, error))
        return Failed(error);
    for (const InstalledFile& file : document.files)
        if (!staging.Holds(file.source))
            return Failed(cabPath + L" lacks " + file.source + L", which it extracts to " + file.target);
    if (!document.setupDll.empty() && !staging.Holds(document.setupDll))
        return Failed(cabPath + L" lacks its setup library " + document.setupDll);
    // The bound on what is unpacked holds for what is written too.
    if (BytesWritten(document, staging) > cabinet::kMaxUnpackedBytes)
        return Failed(cabPath + L" would write more than " + std::to_wstring(cabinet::kMaxUnpackedBytes >> 20) +
                      L" MB into the device; nothing was installed");

    Outcome outcome;
    InstallRecord previous;
    const bool previouslyInstalled = ReadInstallRecord(document.appName, previous, outcome.lines);
    if (previouslyInstalled && previous.noUninstall)
        return Failed(document.appName + L" is installed and may not be removed, so it cannot be replaced");
    std::wstring claimed;
    if (ClaimsAnothers(document, claimed))
        return Failed(cabPath + L" would take over what another application installed (" + claimed +
                      L"); nothing was installed");

    // One change of the device: undone whole, unless kept at the end.
    Journal journal(document.appName);
    std::vector<std::wstring> keys = KeysOf(document);
    if (previouslyInstalled)
        for (const std::wstring& key : KeysOf(previous))
            keys.push_back(key);
    if (!journal.Began() || !KeepKeys(journal, keys))
        return Failed(L"cannot keep a journal of the installation of " + document.appName + L"; nothing was installed");

    // An upgrade removes the installed copy first, as its setup library asks.
    if (previouslyInstalled &&
        !RemoveInstalled(previous, journal, outcome.lines,
            L"the installed " + document.appName + L"'s setup cancelled its removal; nothing was installed"))
        return Undone(journal, outcome, L"");

    SetupChanges changes(journal, document.appName);
    std::unique_ptr<SetupLibrary> library;
    if (!document.setupDll.empty()) {
        library = SetupLibrary::Load(staging.Path() + L"\\" + document.setupDll, changes, error);
        if (!library)
            return Undone(journal, outcome, document.appName + L": " + error + L"; the device is as it was");
    }
    if (library && library->InstallInit(true, previouslyInstalled, document.installDir) == SetupAnswer::Cancel) {
        library.reset();
        return Undone(journal, outcome,
            document.appName + L"'s setup cancelled the installation; the device is as it was");
    }

    InstallRecord record;
    record.appName = document.appName;
    record.installDir = document.installDir;
    record.noUninstall = document.noUninstall;
    FailedCounts failed;
    Put(document, staging, journal, record, failed, outcome.lines);
    const SetupAnswer answer = library ? library->InstallExit(document.installDir, failed) : SetupAnswer::Continue;
    library.reset();
    // Whatever the setup library says, a partial installation is none.
    if (answer == SetupAnswer::Undo || AnyFailed(failed))
        return Undone(journal, outcome, L"the installation of " + document.appName + L" failed; the device is as it was");
    if (!document.setupDll.empty() && !KeepSetupLibrary(journal, staging.Path() + L"\\" + document.setupDll, record))
        return Undone(journal, outcome,
            L"cannot keep the setup library for the removal of " + document.appName + L"; the device is as it was");
    if (!journal.KeyChanged(HKEY_LOCAL_MACHINE, L"HKLM", RecordKey(record.appName)) || !WriteInstallRecord(record))
        return Undone(journal, outcome,
            L"cannot record the installation of " + document.appName + L"; the device is as it was");
    journal.Keep();
    outcome.lines.push_back(std::wstring(previouslyInstalled ? L"upgraded " : L"installed ") + document.appName);
    outcome.done = true;
    return outcome;
}

Outcome Uninstall(const std::wstring& appName)
{
    Outcome outcome;
    InstallRecord record;
    if (!ReadInstallRecord(appName, record, outcome.lines))
        return Failed(appName + L" is not installed");
    if (record.noUninstall)
        return Failed(appName + L" may not be removed");
    Journal journal(appName);
    if (!journal.Began() || !KeepKeys(journal, KeysOf(record)))
        return Failed(L"cannot keep a journal of the removal of " + appName + L"; nothing was removed");
    if (!RemoveInstalled(record, journal, outcome.lines,
            appName + L"'s setup cancelled the removal; nothing was removed"))
        return Undone(journal, outcome, L"");
    journal.Keep();
    outcome.lines.push_back(L"removed " + appName);
    outcome.done = true;
    return outcome;
}
