// Process creation as on Windows CE. The program is named by its device path
// ("\Windows\ctlpnl.exe"), and is one of the device's ROM, never a file of
// its store; the command line holds only the arguments; the desktop wants a
// path of its own and a writable command line that starts with the program
// name.
#include "DeviceFiles.h"
#include "Failures.h"

namespace {

// Wine reports a child that died before it had started (which a busy
// machine brings about now and then) as an internal error; a device's
// process creation does not fail so, and starts it again.
constexpr int kStarts = 5;

} // namespace

extern "C" BOOL WINAPI CeCreateProcessW(LPCWSTR imageName, LPCWSTR arguments, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation)
{
    CE_FALLIBLE("CreateProcessW", FALSE);
    if (!imageName || !*imageName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A program of the ROM only: a store file of its name is data.
    const std::wstring program = coredll::RomProgram(imageName);
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::wstring commandLine = L"\"" + program + L"\"";
    if (arguments && *arguments)
        commandLine += L" " + std::wstring(arguments);

    STARTUPINFOW defaultStartup = {};
    defaultStartup.cb = sizeof defaultStartup;
    PROCESS_INFORMATION unwanted = {};
    BOOL created = FALSE;
    for (int start = 0; start < kStarts && !created; ++start) {
        std::wstring writable = commandLine;
        created = CreateProcessW(program.c_str(), writable.data(), processAttributes, threadAttributes,
            inheritHandles, creationFlags, environment, currentDirectory, startupInfo ? startupInfo : &defaultStartup,
            processInformation ? processInformation : &unwanted);
        if (!created && GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    if (created && !processInformation) {
        CloseHandle(unwanted.hThread);
        CloseHandle(unwanted.hProcess);
    }
    return created;
}
