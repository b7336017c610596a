// A setup library for the installer's tests: each of its functions writes
// its call, arguments and all, to the line HKCU\Software\TestSetup "Calls",
// and answers what the value of its name there says (0 when there is none),
// or, for the values below, crashes, hangs, answers garbage, or changes the
// device itself first. Built for this processor and for ARM.
#include <windows.h>

namespace {

const wchar_t g_szKey[] = L"Software\\TestSetup";

void Record(const wchar_t* pszCall)
{
    HKEY hKey = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, g_szKey, 0, NULL, 0, 0, NULL, &hKey, NULL) != ERROR_SUCCESS)
        return;
    wchar_t szCalls[1024] = {};
    DWORD cbCalls = sizeof szCalls - 2 * sizeof(wchar_t) * 128;
    DWORD dwType = 0;
    RegQueryValueExW(hKey, L"Calls", NULL, &dwType, reinterpret_cast<BYTE*>(szCalls), &cbCalls);
    int n = 0;
    while (szCalls[n])
        ++n;
    for (int i = 0; pszCall[i] && n < 1000; ++i)
        szCalls[n++] = pszCall[i];
    szCalls[n++] = L';';
    szCalls[n] = 0;
    RegSetValueExW(hKey, L"Calls", 0, REG_SZ, reinterpret_cast<const BYTE*>(szCalls), (n + 1) * sizeof(wchar_t));
    RegCloseKey(hKey);
}

// What a function is told to do instead of answering.
const DWORD kCrash = 0xDEAD;
const DWORD kHang = 0x4A46;
const DWORD kGarbage = 0x6A6B;
// Makes a file and a key of its own, changes the calendar's Today key and
// empties its module, then answers 1.
const DWORD kChangeDevice = 0xC4A6;
// Empties the calendar's module, then answers 0.
const DWORD kEmptyModule = 0xE3D1;
// An address nothing is mapped at, which the compiler cannot see through.
volatile UINT_PTR g_uNowhere = 0x10;

DWORD Told(const wchar_t* pszName)
{
    HKEY hKey = NULL;
    DWORD dwAnswer = 0, cbAnswer = sizeof dwAnswer, dwType = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, g_szKey, 0, 0, &hKey) == ERROR_SUCCESS) {
        RegQueryValueExW(hKey, pszName, NULL, &dwType, reinterpret_cast<BYTE*>(&dwAnswer), &cbAnswer);
        RegCloseKey(hKey);
    }
    return dwAnswer;
}

void EmptyFile(const wchar_t* pszPath)
{
    HANDLE hFile = CreateFileW(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
}

void ChangeDevice()
{
    EmptyFile(L"\\Windows\\TestSetup.txt");
    HKEY hKey = NULL;
    const DWORD dwValue = 99;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TestSetupMade\\Inner", 0, NULL, 0, 0, NULL, &hKey, NULL) ==
        ERROR_SUCCESS) {
        RegSetValueExW(hKey, L"Made", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
        RegCloseKey(hKey);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Items\\Mesolune", 0, 0, &hKey) ==
        ERROR_SUCCESS) {
        RegSetValueExW(hKey, L"Order", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
        RegCloseKey(hKey);
    }
    EmptyFile(L"\\Windows\\mesolune.dll");
}

int Answer(const wchar_t* pszName)
{
    switch (Told(pszName)) {
    case kChangeDevice:
        ChangeDevice();
        return 1;
    case kEmptyModule:
        EmptyFile(L"\\Windows\\mesolune.dll");
        return 0;
    case kCrash:
        *reinterpret_cast<volatile DWORD*>(g_uNowhere) = 0;
        return 0;
    case kHang:
        for (;;)
            Sleep(1000);
    case kGarbage:
        return 0x7F3C21A5;
    default:
        return static_cast<int>(Told(pszName));
    }
}

} // namespace

extern "C" {

BOOL WINAPI DllMainCRTStartup(HANDLE, DWORD, LPVOID)
{
    return TRUE;
}

int Install_Init(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled, LPCWSTR pszInstallDir)
{
    wchar_t szCall[256];
    wsprintfW(szCall, L"Install_Init(%d,%d,%d,%s)", hwndParent != NULL, fFirstCall, fPreviouslyInstalled,
        pszInstallDir);
    Record(szCall);
    return Answer(L"Install_Init");
}

int Install_Exit(HWND, LPCWSTR pszInstallDir, WORD cFailedDirs, WORD cFailedFiles, WORD cFailedRegKeys,
    WORD cFailedRegVals, WORD cFailedShortcuts)
{
    wchar_t szCall[256];
    wsprintfW(szCall, L"Install_Exit(%s,%d,%d,%d,%d,%d)", pszInstallDir, cFailedDirs, cFailedFiles, cFailedRegKeys,
        cFailedRegVals, cFailedShortcuts);
    Record(szCall);
    return Answer(L"Install_Exit");
}

int Uninstall_Init(HWND, LPCWSTR pszInstallDir)
{
    wchar_t szCall[256];
    wsprintfW(szCall, L"Uninstall_Init(%s)", pszInstallDir);
    Record(szCall);
    return Answer(L"Uninstall_Init");
}

int Uninstall_Exit(HWND)
{
    Record(L"Uninstall_Exit()");
    return Answer(L"Uninstall_Exit");
}

} // extern "C"
