// The records whose 32-bit layout on a Windows CE device differs from the
// host's: pointers and handles are 32-bit words.
#pragma once

#include "GuestMemory.h"

#include <windows.h>

#include <cstdint>
#include <type_traits>

namespace armce {

// A 32-bit word as a host parameter: numbers widened as their type is, handles
// sign-extended, guest pointers zero-extended.
template <typename P>
P Widened(std::uint32_t value, bool signExtend)
{
    if constexpr (std::is_pointer_v<P>) {
        const std::uintptr_t wide = signExtend ? static_cast<std::uintptr_t>(static_cast<std::intptr_t>(
                                                     static_cast<std::int32_t>(value)))
                                               : value;
        return reinterpret_cast<P>(wide);
    } else if constexpr (std::is_enum_v<P>) {
        return static_cast<P>(value);
    } else if constexpr (std::is_signed_v<P>) {
        return static_cast<P>(static_cast<std::int32_t>(value));
    } else {
        return static_cast<P>(value);
    }
}

template <typename T>
std::uint32_t Narrowed(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    else
        return static_cast<std::uint32_t>(value);
}

// A handle the guest holds, as the host's.
template <typename H>
H AsHandle(std::uint32_t value)
{
    return Widened<H>(value, true);
}

struct WNDCLASS32
{
    UINT style;
    GuestPtr lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    GuestPtr hInstance, hIcon, hCursor, hbrBackground, lpszMenuName, lpszClassName;
};

struct CREATESTRUCT32
{
    GuestPtr lpCreateParams, hInstance, hMenu, hwndParent;
    int cy, cx, y, x;
    LONG style;
    GuestPtr lpszName, lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT32
{
    GuestPtr hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct WINDOWPOS32
{
    GuestPtr hwnd, hwndInsertAfter;
    int x, y, cx, cy;
    UINT flags;
};

struct NMHDR32
{
    GuestPtr hwndFrom;
    GuestPtr idFrom;
    UINT code;
};

struct NCCALCSIZE_PARAMS32
{
    RECT rgrc[3];
    GuestPtr lppos;
};

struct DRAWITEMSTRUCT32
{
    UINT CtlType, CtlID, itemID, itemAction, itemState;
    GuestPtr hwndItem, hDC;
    RECT rcItem;
    GuestPtr itemData;
};

struct MEASUREITEMSTRUCT32
{
    UINT CtlType, CtlID, itemID, itemWidth, itemHeight;
    GuestPtr itemData;
};

struct DELETEITEMSTRUCT32
{
    UINT CtlType, CtlID, itemID;
    GuestPtr hwndItem, itemData;
};

struct COMPAREITEMSTRUCT32
{
    UINT CtlType, CtlID;
    GuestPtr hwndItem;
    UINT itemID1;
    GuestPtr itemData1;
    UINT itemID2;
    GuestPtr itemData2;
    DWORD dwLocaleId;
};

struct COPYDATASTRUCT32
{
    GuestPtr dwData;
    DWORD cbData;
    GuestPtr lpData;
};

struct HELPINFO32
{
    UINT cbSize;
    int iContextType, iCtrlId;
    GuestPtr hItemHandle, dwContextId;
    POINT MousePos;
};

struct MSG32
{
    GuestPtr hwnd;
    UINT message;
    GuestPtr wParam, lParam;
    DWORD time;
    POINT pt;
};

struct CHOOSECOLOR32
{
    DWORD lStructSize;
    GuestPtr hwndOwner, hInstance;
    COLORREF rgbResult;
    GuestPtr lpCustColors;
    DWORD Flags;
    GuestPtr lCustData, lpfnHook, lpTemplateName;
};

struct SHINITDLGINFO32
{
    DWORD dwMask;
    GuestPtr hDlg;
    DWORD dwFlags;
};

struct SHRGINFO32
{
    DWORD cbSize;
    GuestPtr hwndClient;
    POINT ptDown;
    DWORD dwFlags;
};

struct PROCESS_INFORMATION32
{
    GuestPtr hProcess, hThread;
    DWORD dwProcessId, dwThreadId;
};

struct STARTUPINFO32
{
    DWORD cb;
    GuestPtr lpReserved, lpDesktop, lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow, cbReserved2;
    GuestPtr lpReserved2, hStdInput, hStdOutput, hStdError;
};

struct BITMAP32
{
    LONG bmType, bmWidth, bmHeight, bmWidthBytes;
    WORD bmPlanes, bmBitsPixel;
    GuestPtr bmBits;
};

struct LOGBRUSH32
{
    UINT lbStyle;
    COLORREF lbColor;
    GuestPtr lbHatch;
};

static_assert(sizeof(WNDCLASS32) == 40 && sizeof(CREATESTRUCT32) == 48 && sizeof(PAINTSTRUCT32) == 64);
static_assert(sizeof(CHOOSECOLOR32) == 36 && sizeof(SHRGINFO32) == 20 && sizeof(STARTUPINFO32) == 68);
static_assert(sizeof(BITMAP32) == 24 && sizeof(NCCALCSIZE_PARAMS32) == 52 && sizeof(DRAWITEMSTRUCT32) == 48);
static_assert(sizeof(MEASUREITEMSTRUCT32) == 24 && sizeof(DELETEITEMSTRUCT32) == 20);
static_assert(sizeof(COMPAREITEMSTRUCT32) == 32 && sizeof(COPYDATASTRUCT32) == 12 && sizeof(HELPINFO32) == 28);
static_assert(sizeof(MSG32) == 28);

} // namespace armce
