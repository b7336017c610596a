// The calendar's setup library, which the CAB installer calls around
// installing and removing it. A running Today screen holds the calendar's
// module loaded, and a loaded module cannot be replaced or removed: before
// either, the item is switched off and the Today screen told to reload its
// items, which unloads it; afterwards, the Today screen reloads again and
// shows what is installed now.
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
const wchar_t g_szModuleName[] = L"mesolune.dll";

// How long each window may take over the reload, and how long the module
// may take to be let go of.
const UINT kReloadTimeoutMs = 5000;
const DWORD kLetGoTimeoutMs = 10000;
const DWORD kLetGoPollMs = 100;

void ReloadTodayItems()
{
    DWORD dwResult = 0;
    SendMessageTimeout(HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG, kReloadTimeoutMs,
        &dwResult);
}

// Switches the item off; false when it is not registered.
bool SwitchItemOff()
{
    HKEY hKey = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_szItemKey, 0, 0, &hKey) != ERROR_SUCCESS)
        return false;
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

// Has a running Today screen let go of the module in pszInstallDir.
void LetGoOfModule(LPCWSTR pszInstallDir)
{
    if (!SwitchItemOff())
        return;
    ReloadTodayItems();
    wchar_t szPath[MAX_PATH];
    int n = 0;
    for (; pszInstallDir && pszInstallDir[n] && n < MAX_PATH - 20; ++n)
        szPath[n] = pszInstallDir[n];
    if (n == 0 || szPath[n - 1] != L'\\')
        szPath[n++] = L'\\';
    for (int i = 0; g_szModuleName[i]; ++i)
        szPath[n++] = g_szModuleName[i];
    szPath[n] = 0;
    const DWORD dwStart = GetTickCount();
    while (!ModuleIsFree(szPath) && GetTickCount() - dwStart < kLetGoTimeoutMs)
        Sleep(kLetGoPollMs);
}

} // namespace

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE, DWORD, LPVOID)
{
    return TRUE;
}

codeINSTALL_INIT Install_Init(HWND, BOOL fFirstCall, BOOL, LPCWSTR pszInstallDir)
{
    if (fFirstCall)
        LetGoOfModule(pszInstallDir);
    return codeINSTALL_INIT_CONTINUE;
}

codeINSTALL_EXIT Install_Exit(HWND, LPCWSTR, WORD cFailedDirs, WORD cFailedFiles, WORD cFailedRegKeys,
    WORD cFailedRegVals, WORD)
{
    // Without its module or its registration the calendar cannot show.
    if (cFailedDirs || cFailedFiles || cFailedRegKeys || cFailedRegVals)
        return codeINSTALL_EXIT_UNINSTALL;
    ReloadTodayItems();
    return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR pszInstallDir)
{
    LetGoOfModule(pszInstallDir);
    return codeUNINSTALL_INIT_CONTINUE;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND)
{
    ReloadTodayItems();
    return codeUNINSTALL_EXIT_DONE;
}
