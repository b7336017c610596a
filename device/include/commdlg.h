// The common dialog library's colour chooser, as the Windows CE SDK declares
// it. Windows CE's commdlg.dll is Unicode only: the function is ChooseColor
// and its record CHOOSECOLOR, whose hInstance is a module instance. The
// device's commdlg.dll provides it. This header takes the place of the
// desktop's commdlg.h, which it keeps out of any file that includes it.
#pragma once

#ifndef _INC_COMMDLG
#define _INC_COMMDLG

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT_PTR(CALLBACK* LPCCHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagCHOOSECOLOR
{
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    COLORREF rgbResult;
    COLORREF* lpCustColors;
    DWORD Flags;
    LPARAM lCustData;
    LPCCHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
} CHOOSECOLOR, *LPCHOOSECOLOR;

#define CC_RGBINIT 0x00000001
#define CC_FULLOPEN 0x00000002
#define CC_PREVENTFULLOPEN 0x00000004
#define CC_ENABLEHOOK 0x00000010
#define CC_ENABLETEMPLATE 0x00000020
#define CC_ENABLETEMPLATEHANDLE 0x00000040
#define CC_SOLIDCOLOR 0x00000080
#define CC_ANYCOLOR 0x00000100

BOOL WINAPI ChooseColor(LPCHOOSECOLOR lpcc);

#ifdef __cplusplus
}
#endif

#endif
