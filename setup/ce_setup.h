// The contract between a CAB installer and the setup library a CAB carries:
// four functions the installer finds by name and calls around installing
// and removing the application.
#pragma once

#include <windows.h>

typedef enum
{
    codeINSTALL_INIT_CONTINUE = 0,
    codeINSTALL_INIT_CANCEL
} codeINSTALL_INIT;

typedef enum
{
    codeINSTALL_EXIT_DONE = 0,
    codeINSTALL_EXIT_UNINSTALL
} codeINSTALL_EXIT;

typedef enum
{
    codeUNINSTALL_INIT_CONTINUE = 0,
    codeUNINSTALL_INIT_CANCEL
} codeUNINSTALL_INIT;

typedef enum
{
    codeUNINSTALL_EXIT_DONE = 0
} codeUNINSTALL_EXIT;

#ifdef __cplusplus
extern "C" {
#endif

codeINSTALL_INIT Install_Init(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled, LPCWSTR pszInstallDir);
codeINSTALL_EXIT Install_Exit(HWND hwndParent, LPCWSTR pszInstallDir, WORD cFailedDirs, WORD cFailedFiles,
    WORD cFailedRegKeys, WORD cFailedRegVals, WORD cFailedShortcuts);
codeUNINSTALL_INIT Uninstall_Init(HWND hwndParent, LPCWSTR pszInstallDir);
codeUNINSTALL_EXIT Uninstall_Exit(HWND hwndParent);

#ifdef __cplusplus
}
#endif
