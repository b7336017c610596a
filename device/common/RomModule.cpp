#include "RomModule.h"

#include "OwnedHandle.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The folder of the device's programs and libraries, where its core library lies.
std::wstring RomFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"coredll.dll"), path, MAX_PATH);
    const std::wstring library(path, length < MAX_PATH ? length : 0);
    return library.substr(0, library.find_last_of(L'\\') + 1);
}

// A file's bytes, read whole; false when it cannot be read.
bool ReadBytes(const std::wstring& path, std::vector<char>& bytes)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// The ROM's library whose bytes are these; empty when there is none.
std::wstring RomTwin(const std::vector<char>& bytes)
{
    const std::wstring folder = RomFolder();
    if (folder.empty())
        return std::wstring();
    WIN32_FIND_DATAW found;
    const UniqueSearch search(FindFirstFileW((folder + L"*.dll").c_str(), &found));
    if (!search)
        return std::wstring();
    std::wstring twin;
    do {
        const ULONGLONG size = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        std::vector<char> rom;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && size == bytes.size() &&
            ReadBytes(folder + found.cFileName, rom) && rom == bytes)
            twin = folder + found.cFileName;
    } while (twin.empty() && FindNextFileW(search.Get(), &found));
    return twin;
}

} // namespace

HMODULE LoadRomModule(const std::wstring& path, std::wstring& error)
{
    std::vector<char> bytes;
    if (!ReadBytes(path, bytes)) {
        error = L"cannot read " + path;
        return nullptr;
    }
    const std::wstring rom = RomTwin(bytes);
    if (rom.empty()) {
        error = path + L" is built for the desktop's processor and is no library of the device's own build, "
                       L"so it does not run";
        return nullptr;
    }
    const HMODULE module = LoadLibraryW(rom.c_str());
    if (!module)
        error = L"cannot load " + rom + L" (error " + std::to_wstring(GetLastError()) + L")";
    return module;
}
