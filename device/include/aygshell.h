// The Pocket PC shell library's declarations used by Today items, as the
// Pocket PC SDK publishes them.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// SHInitDialog
#define SHIDIM_FLAGS 0x0001

#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO
{
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

// SHDoneButton: the navigation bar's ok of a dialog.
#define SHDB_SHOW 0x0001
#define SHDB_HIDE 0x0002

BOOL WINAPI SHDoneButton(HWND hwndRequester, DWORD dwState);

// SHRecognizeGesture
#define SHRG_RETURNCMD 0x00000001
#define SHRG_NOTIFYPARENT 0x00000002
#define SHRG_LONGDELAY 0x00000008
#define SHRG_NOANIMATION 0x00000010

#define GN_CONTEXTMENU 1000

typedef struct tagSHRGI
{
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown;
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

DWORD WINAPI SHRecognizeGesture(SHRGINFO* pshrg);

#ifdef __cplusplus
}
#endif
