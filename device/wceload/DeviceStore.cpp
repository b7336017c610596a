#include "DeviceStore.h"

#include "OwnedHandle.h"

#include <devicefiles.h>

#include <windows.h>

namespace {

// Each entry of a folder but "." and "..", until visit answers false.
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit)
{
    WIN32_FIND_DATAW found;
    const UniqueSearch search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." && !visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
            return;
    } while (FindNextFileW(search.Get(), &found));
}

} // namespace

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEmptyFolder(const std::wstring& path)
{
    if (!IsFolder(path))
        return false;
    bool empty = true;
    ForEachEntry(path, [&](const std::wstring&, bool) { return empty = false; });
    return empty;
}

namespace {

// Makes each missing folder of a desktop path.
bool MakeDesktopFolders(const std::wstring& path)
{
    for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
        const std::wstring folder = path.substr(0, at);
        if (!IsFolder(folder) && !CreateDirectoryW(folder.c_str(), nullptr))
            return false;
        if (at == std::wstring::npos)
            return true;
    }
}

} // namespace

std::wstring StorePath(const std::wstring& devicePath)
{
    wchar_t path[MAX_PATH];
    return DeviceStorePath(devicePath.c_str(), path, MAX_PATH) ? path : std::wstring();
}

bool MakeFolders(const std::wstring& deviceFolder, std::vector<std::wstring>& made)
{
    const std::wstring store = StorePath(L"\\");
    if (store.empty() || !MakeDesktopFolders(store.substr(0, store.size() - 1)))
        return false;
    for (size_t at = deviceFolder.find(L'\\', 1);; at = deviceFolder.find(L'\\', at + 1)) {
        const std::wstring folder = deviceFolder.substr(0, at);
        const std::wstring path = StorePath(folder);
        if (!IsFolder(path)) {
            if (!CreateDirectoryW(path.c_str(), nullptr))
                return false;
            made.push_back(folder);
        }
        if (at == std::wstring::npos)
            return true;
    }
}

StagingFolder::StagingFolder()
{
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    path_ = std::wstring(temporary) + L"wceload-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    made_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

void RemoveFolderAndFiles(const std::wstring& folder)
{
    ForEachEntry(folder, [&](const std::wstring& name, bool isFolder) {
        if (!isFolder)
            DeleteFileW((folder + L"\\" + name).c_str());
        return true;
    });
    RemoveDirectoryW(folder.c_str());
}

StagingFolder::~StagingFolder()
{
    if (made_)
        RemoveFolderAndFiles(path_);
}

bool StagingFolder::Holds(const std::wstring& name) const
{
    const DWORD attributes = GetFileAttributesW((path_ + L"\\" + name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> StagingFolder::Members() const
{
    std::vector<std::wstring> members;
    ForEachEntry(path_, [&](const std::wstring& name, bool isFolder) {
        if (!isFolder)
            members.push_back(name);
        return true;
    });
    return members;
}

bool ReadWholeFile(const std::wstring& path, unsigned long limit, std::string& bytes, bool& tooLarge)
{
    tooLarge = false;
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    // One byte past the limit tells a file that is too large.
    bytes.assign(limit + 1, '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return false;
    if (read > limit) {
        tooLarge = true;
        return false;
    }
    bytes.resize(read);
    return true;
}
