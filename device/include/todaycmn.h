// The Today screen's contract with its items, as the Pocket PC SDK publishes
// it: messages, requests, records and the exports an item provides.
#pragma once

#include <windows.h>

// Messages the Today screen sends to an item window.
#define WM_TODAYCUSTOM_CLEARCACHE (WM_USER + 242)           // wParam: TODAYLISTITEM*
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE (WM_USER + 243)    // wParam: TODAYLISTITEM*
#define WM_TODAYCUSTOM_RECEIVEDSELECTION (WM_USER + 244)    // wParam: virtual key
#define WM_TODAYCUSTOM_LOSTSELECTION (WM_USER + 245)
#define WM_TODAYCUSTOM_USERNAVIGATION (WM_USER + 246)       // wParam: virtual key
#define WM_TODAYCUSTOM_ACTION (WM_USER + 247)

// Requests an item sends to the Today screen window.
#define TODAYM_GETCOLOR (WM_USER + 100)                     // wParam: TODAYCOLOR_*
#define TODAYM_DRAWWATERMARK (WM_USER + 101)                // lParam: TODAYDRAWWATERMARKINFO*
#define TODAYM_TOOKSELECTION (WM_USER + 102)

// Broadcast as WM_WININICHANGE's wParam, it makes the Today screen reload its
// items (after a change of their registry entries).
#define TODAY_RELOAD_ITEMS 0xF2

#define TODAYCOLOR_TEXT 0x10000004
#define TODAYCOLOR_HIGHLIGHT 0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT 0x10000023

// Selectability in an item's registry entry: never selected; selected by
// the Today screen alone (it draws the item's background highlighted and
// taps the item at (1, 1) for the action key); or selected with the item's
// consent, which draws its selected state and is told of keys and action.
#define TODAY_SELECTABILITY_NONE 0
#define TODAY_SELECTABILITY_BY_SCREEN 1
#define TODAY_SELECTABILITY_BY_ITEM 2

// Item types; Type in an item's registry entry.
#define TLIT_OWNERINFO 0
#define TLIT_APPOINTMENTS 1
#define TLIT_MAIL 2
#define TLIT_TASKS 3
#define TLIT_CUSTOM 4

// The Today screen's record of one item.
typedef struct _TODAYLISTITEM
{
    WCHAR szName[32];
    DWORD tlit;
    DWORD dwOrder;
    DWORD cyp;               // the item's height in pixels
    BOOL fEnabled;
    BOOL fOptions;
    DWORD grflags;
    WCHAR szDLLPath[MAX_PATH];
    HINSTANCE hinstDLL;
    HWND hwndCustom;
    BOOL fSizeOnDraw;
    BYTE* prgbCachedData;
    DWORD cbCachedData;
} TODAYLISTITEM;

// TODAYM_DRAWWATERMARK: paint the Today background for rc into hdc, as it
// lies behind hwnd.
typedef struct _TODAYDRAWWATERMARKINFO
{
    HDC hdc;
    RECT rc;
    HWND hwnd;
} TODAYDRAWWATERMARKINFO;

// The exports of an item module, by ordinal.
#define ORDINAL_INITIALIZEITEM 240
#define ORDINAL_OPTIONSDIALOGPROC 241

typedef HWND(CALLBACK* PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM* ptli, HWND hwndParent);
typedef INT_PTR(CALLBACK* PFNCUSTOMOPTIONSDLGPROC)(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
