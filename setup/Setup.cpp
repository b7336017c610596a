// The calendar's setup library, which the CAB installer calls around
// installing and removing it. A running Today screen holds the calendar's
// module loaded, and a loaded module cannot be replaced or removed: before
// either, the item is switched off and the Today screen told to reload its
// items, which unloads it; afterwards, the Today screen reloads again and
// shows what is installed now. Where the Today screen showed the item is the
// user's: kept when it is removed (an upgrade removes the installed copy
// first), and given back when it is installed.
#include "ce_setup.h"

#include <todaycmn.h>

#ifndef TODAY_RELOAD_ITEMS
#define TODAY_RELOAD_ITEMS 0xF2 // not in every SDK's header
#endif

// Windows CE's core library exports the wide function by this name, without
// the W the desktop's headers give it.
#undef SendMessageTimeout
extern "C" LRESULT WINAPI SendMessageTimeout(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
    UINT uTimeout, PDWORD pdwResult);

namespace {

const wchar_t g_szItemKey[] = L"Software\\Microsoft\\Today\\Items\\Mesolune";
// Where the user's choices for the item wait between a removal and an install.
const wchar_t g_szKeptKey[] = L"Software\\Orvik\\Mesolune\\Today";
const wchar_t* const g_apszChoices[] = {L"Enabled", L"Order", L"Options"};
const int kChoices = 3;
// The Today screen's window.
const wchar_t g_szTodayClass[] = L"DesktopExplorerWindow";

// How long the Today screen may take over the reload, and how long the
// module may take to be let go of.
const UINT kReloadTimeoutMs = 5000;
const DWORD kLetGoTimeoutMs = 10000;
const DWORD kLetGoPollMs = 100;

void ReloadTodayItems()
{
    HWND hwndToday = FindWindowW(g_szTodayClass, NULL);
    DWORD dwResult = 0;
    if (hwndToday)
        SendMessageTimeout(hwndToday, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, kReloadTimeoutMs,
            &dwResult);
}

// Copies the item's choices from one key to another; false when the first
// is not there.
bool CopyChoices(HKEY hFromRoot, const wchar_t* pszFrom, HKEY hToRoot, const wchar_t* pszTo)
{
    HKEY hFrom = NULL, hTo = NULL;
    if (RegOpenKeyExW(hFromRoot, pszFrom, 0, 0, &hFrom) != ERROR_SUCCESS)
        return false;
    if (RegCreateKeyExW(hToRoot, pszTo, 0, NULL, 0, 0, NULL, &hTo, NULL) == ERROR_SUCCESS) {
        for (int i = 0; i < kChoices; ++i) {
            DWORD dwValue = 0, cbValue = sizeof dwValue, dwType = 0;
            if (RegQueryValueExW(hFrom, g_apszChoices[i], NULL, &dwType, reinterpret_cast<BYTE*>(&dwValue),
                    &cbValue) == ERROR_SUCCESS &&
                dwType == REG_DWORD)
                RegSetValueExW(hTo, g_apszChoices[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                    sizeof dwValue);
        }
        RegCloseKey(hTo);
    }
    RegCloseKey(hFrom);
    return true;
}

// Switches the item off, its module's device path into pszModule; false
// when it is not registered.
bool SwitchItemOff(wchar_t* pszModule, DWORD cbModule)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_szItemKey, 0, 0, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD dwType = 0;
    if (RegQueryValueExW(hKey, L"DLL", NULL, &dwType, reinterpret_cast<BYTE*>(pszModule), &cbModule) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        pszModule[0] = 0;
    const DWORD dwOff = 0;
    RegSetValueExW(hKey, L"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwOff), sizeof dwOff);
    RegCloseKey(hKey);
    return true;
}

// Whether no one holds the module: it can be opened to be written, or it
// is not there.
bool ModuleIsFree(const wchar_t* pszPath)
{
    HANDLE hFile = CreateFileW(pszPath, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(hFile);
        return true;
    }
    const DWORD dwError = GetLastError();
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

// Has a running Today screen let go of the module the item names; false
// when it still holds it after the time allowed.
bool LetGoOfModule()
{
    wchar_t szModule[MAX_PATH] = {0};
    if (!SwitchItemOff(szModule, sizeof szModule - sizeof(wchar_t)))
        return true;
    ReloadTodayItems();
    if (!szModule[0])
        return true;
    const DWORD dwStart = GetTickCount();
    while (!ModuleIsFree(szModule)) {
        if (GetTickCount() - dwStart >= kLetGoTimeoutMs)
            return false;
        Sleep(kLetGoPollMs);
    }
    return true;
}

} // namespace

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE, DWORD, LPVOID)
{
    return TRUE;
}

codeINSTALL_INIT Install_Init(HWND, BOOL fFirstCall, BOOL, LPCWSTR)
{
    if (fFirstCall && !LetGoOfModule())
        return codeINSTALL_INIT_CANCEL;
    return codeINSTALL_INIT_CONTINUE;
}

codeINSTALL_EXIT Install_Exit(HWND, LPCWSTR, WORD cFailedDirs, WORD cFailedFiles, WORD cFailedRegKeys,
    WORD cFailedRegVals, WORD)
{
    // Without its module or its registration the calendar cannot show.
    if (cFailedDirs || cFailedFiles || cFailedRegKeys || cFailedRegVals)
        return codeINSTALL_EXIT_UNINSTALL;
    // Where the user had it shown, if they had.
    if (CopyChoices(HKEY_CURRENT_USER, g_szKeptKey, HKEY_LOCAL_MACHINE, g_szItemKey))
        RegDeleteKeyW(HKEY_CURRENT_USER, g_szKeptKey);
    ReloadTodayItems();
    return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR)
{
    CopyChoices(HKEY_LOCAL_MACHINE, g_szItemKey, HKEY_CURRENT_USER, g_szKeptKey);
    return LetGoOfModule() ? codeUNINSTALL_INIT_CONTINUE : codeUNINSTALL_INIT_CANCEL;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND)
{
    ReloadTodayItems();
    return codeUNINSTALL_EXIT_DONE;
}
