#include "FirstStart.h"

#include "InstallerJournal.h"
#include "OwnedHandle.h"
#include "Report.h"
#include "TodayItems.h"

#include <devicefiles.h>

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kInstaller[] = L"\\Windows\\wceload.exe";
constexpr wchar_t kRomCab[] = L"\\Windows\\Mesolune.cab";
// Long enough for a setup library that waits for a module to be let go.
constexpr DWORD kInstallTimeoutMs = 60000;

// Runs the device's installer with arguments and waits for it; false when
// it cannot start. Its exit code, or -1 when it did not end in time.
bool RunInstaller(const std::wstring& arguments, DWORD& exitCode)
{
    std::wstring commandLine = arguments;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(kInstaller, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
            &process))
        return false;
    const UniqueHandle thread(process.hThread), installer(process.hProcess);
    if (WaitForSingleObject(installer.Get(), kInstallTimeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(installer.Get(), &exitCode))
        exitCode = static_cast<DWORD>(-1);
    return true;
}

bool RomHolds(const wchar_t* devicePath)
{
    wchar_t path[MAX_PATH];
    return DeviceFilePath(devicePath, path, MAX_PATH) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

void InstallRomItems()
{
    if (!ReadTodayItems().empty() || !RomHolds(kRomCab))
        return;
    // The ROM's CAB stays where it is.
    DWORD exitCode = 0;
    if (!RunInstaller(std::wstring(L"/noui /nodelete ") + kRomCab, exitCode)) {
        Report(std::wstring(L"no Today items were registered, and ") + kInstaller + L" cannot start (error " +
               std::to_wstring(GetLastError()) + L")");
        return;
    }
    if (exitCode != 0) {
        Report(std::wstring(L"no Today items were registered, and ") + kRomCab + L" could not be installed");
        return;
    }
    for (const TodayItemEntry& entry : ReadTodayItems())
        Report(L"no Today items were registered; installed " + entry.name + L" (" + entry.dll + L") from " + kRomCab);
}

void UndoUnfinishedInstallation()
{
    UniqueKey journal;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallerJournalKey, 0, KEY_READ, journal.Receive()) != ERROR_SUCCESS)
        return;
    DWORD exitCode = 0;
    if (!RunInstaller(L"/recover", exitCode) || exitCode != 0)
        Report(L"a change an installer left unfinished could not be undone");
}
