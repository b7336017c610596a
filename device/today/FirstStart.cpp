#include "FirstStart.h"

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
    std::wstring arguments = std::wstring(L"/noui /nodelete ") + kRomCab;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(kInstaller, arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
            &process)) {
        Report(std::wstring(L"no Today items were registered, and ") + kInstaller + L" cannot start (error " +
               std::to_wstring(GetLastError()) + L")");
        return;
    }
    CloseHandle(process.hThread);
    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, kInstallTimeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = 1;
    CloseHandle(process.hProcess);
    if (exitCode != 0) {
        Report(std::wstring(L"no Today items were registered, and ") + kRomCab + L" could not be installed");
        return;
    }
    for (const TodayItemEntry& entry : ReadTodayItems())
        Report(L"no Today items were registered; installed " + entry.name + L" (" + entry.dll + L") from " + kRomCab);
}
