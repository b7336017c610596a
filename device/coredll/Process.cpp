// Process creation as on Windows CE. The program is named by its device path
// ("\Windows\ctlpnl.exe") and the command line holds only the arguments; the
// desktop wants a path of its own and a writable command line that starts
// with the program name.
#include "DeviceFiles.h"
#include "Failures.h"

extern "C" BOOL WINAPI CeCreateProcessW(LPCWSTR imageName, LPCWSTR arguments, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation)
{
    CE_FALLIBLE("CreateProcessW", FALSE);
    if (!imageName || !*imageName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring program = coredll::DesktopPath(imageName);
    std::wstring commandLine = L"\"" + program + L"\"";
    if (arguments && *arguments)
        commandLine += L" " + std::wstring(arguments);

    STARTUPINFOW defaultStartup = {};
    defaultStartup.cb = sizeof defaultStartup;
    PROCESS_INFORMATION unwanted = {};
    const BOOL created = CreateProcessW(program.c_str(), commandLine.data(), processAttributes, threadAttributes,
        inheritHandles, creationFlags, environment, currentDirectory, startupInfo ? startupInfo : &defaultStartup,
        processInformation ? processInformation : &unwanted);
    if (created && !processInformation) {
        CloseHandle(unwanted.hThread);
        CloseHandle(unwanted.hProcess);
    }
    return created;
}
