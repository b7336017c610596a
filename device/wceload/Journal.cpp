#include "Journal.h"

#include "DeviceNames.h"
#include "DeviceStore.h"
#include "InstallerJournal.h"
#include "OwnedHandle.h"
#include "RegistryValues.h"

#include <deviceinstaller.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

constexpr const wchar_t* kJournalKey = kInstallerJournalKey;
constexpr wchar_t kUndoFolder[] = DEVICE_INSTALLER_FOLDER L"\\Undo";
constexpr wchar_t kSeparator = L'\t';

std::wstring Numbered(const wchar_t* prefix, unsigned n)
{
    wchar_t name[32];
    swprintf(name, 32, L"%ls%04u", prefix, n);
    return name;
}

std::vector<std::wstring> Fields(const std::wstring& step)
{
    std::vector<std::wstring> fields;
    for (size_t at = 0;;) {
        const size_t end = step.find(kSeparator, at);
        fields.push_back(step.substr(at, end == std::wstring::npos ? end : end - at));
        if (end == std::wstring::npos)
            return fields;
        at = end + 1;
    }
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A key's values as bytes: for each, its name's length and name, its type,
// its data's length and data.
void Put(std::vector<BYTE>& bytes, const void* data, size_t size)
{
    const auto* from = static_cast<const BYTE*>(data);
    bytes.insert(bytes.end(), from, from + size);
}

std::vector<BYTE> Snapshot(HKEY key)
{
    std::vector<BYTE> bytes;
    for (const NamedValue& value : ValuesOf(key)) {
        const std::uint32_t fields[] = {static_cast<std::uint32_t>(value.name.size()), value.type,
            static_cast<std::uint32_t>(value.data.size())};
        Put(bytes, &fields[0], 4);
        Put(bytes, value.name.data(), value.name.size() * sizeof(wchar_t));
        Put(bytes, &fields[1], 8);
        Put(bytes, value.data.data(), value.data.size());
    }
    return bytes;
}

void Restore(HKEY key, const std::vector<BYTE>& bytes)
{
    // What is there now goes; what was there comes back.
    for (;;) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        if (RegEnumValueW(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            RegDeleteValueW(key, name) != ERROR_SUCCESS)
            break;
    }
    for (size_t at = 0; at + 4 <= bytes.size();) {
        std::uint32_t nameLength = 0, type = 0, size = 0;
        std::memcpy(&nameLength, bytes.data() + at, 4);
        const size_t nameAt = at + 4;
        if (nameLength > 16383 || bytes.size() - nameAt < nameLength * sizeof(wchar_t) + 8)
            return;
        const std::wstring name(reinterpret_cast<const wchar_t*>(bytes.data() + nameAt), nameLength);
        at = nameAt + nameLength * sizeof(wchar_t);
        std::memcpy(&type, bytes.data() + at, 4);
        std::memcpy(&size, bytes.data() + at + 4, 4);
        at += 8;
        if (bytes.size() - at < size)
            return;
        RegSetValueExW(key, name.c_str(), 0, type, bytes.data() + at, size);
        at += size;
    }
}

// Undoes one step the journal noted.
void UndoStep(const std::vector<std::wstring>& step, const std::vector<BYTE>& data)
{
    const std::wstring& kind = step[0];
    const HKEY root = step.size() > 1 ? RootNamed(step[1]) : nullptr;
    if (kind == L"file" && step.size() == 3) {
        const std::wstring path = StorePath(step[1]);
        if (path.empty())
            return;
        if (step[2].empty())
            DeleteFileW(path.c_str());
        else
            CopyFileW(StorePath(step[2]).c_str(), path.c_str(), FALSE);
    } else if (kind == L"folder-made" && step.size() == 2) {
        RemoveDirectoryW(StorePath(step[1]).c_str());
    } else if (kind == L"folder-removed" && step.size() == 2) {
        CreateDirectoryW(StorePath(step[1]).c_str(), nullptr);
    } else if (kind == L"key-made" && step.size() == 3 && root) {
        RegDeleteKeyW(root, step[2].c_str());
    } else if (kind == L"key-removed" && step.size() == 3 && root) {
        UniqueKey key;
        RegCreateKeyExW(root, step[2].c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr);
    } else if (kind == L"key-changed" && step.size() == 4 && root) {
        UniqueKey key;
        const bool existed = step[3] == L"1";
        if (existed &&
            RegCreateKeyExW(root, step[2].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) ==
                ERROR_SUCCESS) {
            Restore(key.Get(), data);
        } else if (!existed && RegOpenKeyExW(root, step[2].c_str(), 0, KEY_ALL_ACCESS, key.Receive()) == ERROR_SUCCESS) {
            Restore(key.Get(), {});
            key.Reset();
            RegDeleteKeyW(root, step[2].c_str());
        }
    }
}

} // namespace

Journal::Journal(const std::wstring& appName)
{
    // A change left unfinished is undone before another begins.
    std::wstring pending;
    UndoPending(pending);
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
            nullptr) != ERROR_SUCCESS)
        return;
    began_ = RegSetValueExW(key.Get(), L"App", 0, REG_SZ, reinterpret_cast<const BYTE*>(appName.c_str()),
                 static_cast<DWORD>((appName.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
             RegFlushKey(key.Get()) == ERROR_SUCCESS;
    key.Reset();
    std::vector<std::wstring> made;
    began_ = began_ && MakeFolders(kUndoFolder, made);
}

Journal::~Journal()
{
    if (began_ && !done_)
        Undo();
}

bool Journal::Note(const std::wstring& step, const std::vector<BYTE>& data)
{
    if (!began_ || done_)
        return false;
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, 0, KEY_ALL_ACCESS, key.Receive()) != ERROR_SUCCESS)
        return false;
    const unsigned n = steps_ + 1;
    const std::wstring stepName = Numbered(L"Step", n);
    const bool written =
        RegSetValueExW(key.Get(), Numbered(L"Data", n).c_str(), 0, REG_BINARY, data.data(),
            static_cast<DWORD>(data.size())) == ERROR_SUCCESS &&
        RegSetValueExW(key.Get(), stepName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(step.c_str()),
            static_cast<DWORD>((step.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
        RegFlushKey(key.Get()) == ERROR_SUCCESS;
    if (written)
        steps_ = n;
    return written;
}

bool Journal::FileWritten(const std::wstring& devicePath)
{
    const std::wstring path = StorePath(devicePath);
    if (path.empty())
        return false;
    std::wstring copy;
    if (Exists(path)) {
        copy = std::wstring(kUndoFolder) + L"\\" + Numbered(L"", steps_ + 1);
        if (!CopyFileW(path.c_str(), StorePath(copy).c_str(), FALSE))
            return false;
    }
    return Note(L"file" + std::wstring(1, kSeparator) + devicePath + kSeparator + copy);
}

bool Journal::FolderMade(const std::wstring& deviceFolder)
{
    return Note(L"folder-made" + std::wstring(1, kSeparator) + deviceFolder);
}

bool Journal::FolderRemoved(const std::wstring& deviceFolder)
{
    return Note(L"folder-removed" + std::wstring(1, kSeparator) + deviceFolder);
}

bool Journal::KeyMade(HKEY, const std::wstring& rootName, const std::wstring& path)
{
    return Note(L"key-made" + std::wstring(1, kSeparator) + rootName + kSeparator + path);
}

bool Journal::KeyRemoved(HKEY, const std::wstring& rootName, const std::wstring& path)
{
    return Note(L"key-removed" + std::wstring(1, kSeparator) + rootName + kSeparator + path);
}

bool Journal::KeyChanged(HKEY root, const std::wstring& rootName, const std::wstring& path)
{
    UniqueKey key;
    const bool existed = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
    const std::vector<BYTE> values = existed ? Snapshot(key.Get()) : std::vector<BYTE>();
    return Note(L"key-changed" + std::wstring(1, kSeparator) + rootName + kSeparator + path + kSeparator +
                    (existed ? L"1" : L"0"),
        values);
}

void Journal::Keep()
{
    if (!began_ || done_)
        return;
    done_ = true;
    Forget();
}

void Journal::Undo()
{
    if (!began_ || done_)
        return;
    done_ = true;
    UndoSteps();
    Forget();
}

bool Journal::Pending(std::wstring* appName)
{
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    if (appName)
        *appName = ReadText(key.Get(), L"App");
    return true;
}

bool Journal::UndoPending(std::wstring& appName)
{
    if (!Pending(&appName))
        return false;
    UndoSteps();
    Forget();
    return true;
}

void Journal::UndoSteps()
{
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kJournalKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return;
    unsigned last = 0;
    while (!ReadText(key.Get(), Numbered(L"Step", last + 1)).empty())
        ++last;
    for (unsigned n = last; n >= 1; --n)
        UndoStep(Fields(ReadText(key.Get(), Numbered(L"Step", n))), ReadBytes(key.Get(), Numbered(L"Data", n)));
}

void Journal::Forget()
{
    RemoveFolderAndFiles(StorePath(kUndoFolder));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kJournalKey);
}
