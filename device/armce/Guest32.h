// The guest's view of values and records: 32-bit pointers and handles,
// which the host widens to 64 bits and narrows back. Guest memory lies
// below 2 GB, so sign extension serves every pointer as it serves handles
// such as HKEY_LOCAL_MACHINE (0x80000002) and INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>

namespace armce {

using GuestPtr = std::uint32_t;

template <typename T>
T FromGuest(std::uint32_t value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
    else if constexpr (std::is_enum_v<T>)
        return static_cast<T>(value);
    else if constexpr (std::is_signed_v<T>)
        return static_cast<T>(static_cast<std::int32_t>(value));
    else
        return static_cast<T>(value);
}

template <typename T>
std::uint32_t ToGuest(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    else
        return static_cast<std::uint32_t>(value);
}

// A guest address as the host reaches it.
template <typename T>
T* At(GuestPtr address)
{
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(address));
}

// Whether a host address is one the guest can be handed as it is.
inline bool GuestReaches(const void* memory)
{
    return reinterpret_cast<std::uintptr_t>(memory) < 0x80000000u;
}

// The records whose 32-bit layout differs from the host's.
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

struct TODAYLISTITEM32
{
    WCHAR szName[32];
    DWORD tlit, dwOrder, cyp;
    BOOL fEnabled, fOptions;
    DWORD grflags;
    WCHAR szDLLPath[MAX_PATH];
    GuestPtr hinstDLL, hwndCustom;
    BOOL fSizeOnDraw;
    GuestPtr prgbCachedData;
    DWORD cbCachedData;
};

struct TODAYDRAWWATERMARKINFO32
{
    GuestPtr hdc;
    RECT rc;
    GuestPtr hwnd;
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
static_assert(sizeof(TODAYDRAWWATERMARKINFO32) == 24 && sizeof(CHOOSECOLOR32) == 36 && sizeof(SHRGINFO32) == 20);
static_assert(sizeof(TODAYLISTITEM32) == 628 && sizeof(STARTUPINFO32) == 68 && sizeof(BITMAP32) == 24);

} // namespace armce
