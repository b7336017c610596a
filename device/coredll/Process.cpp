// Process creation as on Windows CE. The program is named by its device path
// ("\Windows\ctlpnl.exe") and the command line holds only the arguments; the
// desktop wants a path of its own and a writable command line that starts
// with the program name.
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kWindowsFolder[] = L"\\windows\\";

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ThisLibraryFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisLibraryFolder), &self);
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    return Folder(std::wstring(path, length));
}

bool Exists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() >= length && CompareStringOrdinal(text.c_str(), static_cast<int>(length), prefix,
                                        static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// The desktop path of a program the device names. The device's Windows
// folder is the folder of its programs (where this library lies), then the
// prefix's own Windows folder; other device paths lie on drive C.
std::wstring DesktopProgramPath(const std::wstring& devicePath)
{
    std::wstring name;
    if (StartsWithNoCase(devicePath, kWindowsFolder))
        name = devicePath.substr(wcslen(kWindowsFolder));
    else if (devicePath.find(L'\\') == std::wstring::npos)
        name = devicePath;
    else if (devicePath[0] == L'\\')
        return L"C:" + devicePath;
    else
        return devicePath;

    const std::wstring beside = ThisLibraryFolder() + name;
    if (Exists(beside))
        return beside;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\" + name;
}

} // namespace

extern "C" BOOL WINAPI CeCreateProcessW(LPCWSTR imageName, LPCWSTR arguments, LPSECURITY_ATTRIBUTES processAttributes,
    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation)
{
    if (!imageName || !*imageName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring program = DesktopProgramPath(imageName);
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
