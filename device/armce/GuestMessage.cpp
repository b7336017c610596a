#include "GuestMessage.h"

#include "Guest32.h"

#include <todaycmn.h>

#include <cstring>
#include <cwchar>

namespace armce {

namespace {

// A host string the guest can read: where it lies, or a copy.
GuestPtr GuestString(ArmMachine::Scratch& scratch, const wchar_t* text)
{
    if (IS_INTRESOURCE(text) || GuestReaches(text))
        return ToGuest(text);
    const std::size_t length = std::wcslen(text) + 1;
    auto* copy = static_cast<wchar_t*>(scratch.Take(static_cast<std::uint32_t>(length * sizeof(wchar_t))));
    if (!copy)
        return 0;
    std::wmemcpy(copy, text, length);
    return ToGuest(copy);
}

// The size of a record without pointers that a message's lParam points to.
std::uint32_t PlainRecordSize(UINT message)
{
    switch (message) {
    case WM_GETMINMAXINFO:
        return sizeof(MINMAXINFO);
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
        return sizeof(STYLESTRUCT);
    case WM_SIZING:
    case WM_MOVING:
        return sizeof(RECT);
    default:
        return 0;
    }
}

} // namespace

void TodayItemToGuest(const TODAYLISTITEM& host, TODAYLISTITEM32& guest)
{
    std::memcpy(guest.szName, host.szName, sizeof guest.szName);
    guest.tlit = host.tlit;
    guest.dwOrder = host.dwOrder;
    guest.cyp = host.cyp;
    guest.fEnabled = host.fEnabled;
    guest.fOptions = host.fOptions;
    guest.grflags = host.grflags;
    std::memcpy(guest.szDLLPath, host.szDLLPath, sizeof guest.szDLLPath);
    guest.hinstDLL = ToGuest(host.hinstDLL);
    guest.hwndCustom = ToGuest(host.hwndCustom);
    guest.fSizeOnDraw = host.fSizeOnDraw;
    guest.prgbCachedData = ToGuest(host.prgbCachedData);
    guest.cbCachedData = host.cbCachedData;
}

void TodayItemFromGuest(const TODAYLISTITEM32& guest, TODAYLISTITEM& host)
{
    host.cyp = guest.cyp;
    host.grflags = guest.grflags;
    host.fSizeOnDraw = guest.fSizeOnDraw;
    host.prgbCachedData = FromGuest<BYTE*>(guest.prgbCachedData);
    host.cbCachedData = guest.cbCachedData;
}

GuestMessage::GuestMessage(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, LPARAM lParam)
    : message_(message), hostW_(wParam), hostL_(lParam), guestW_(ToGuest(wParam)), guestL_(ToGuest(lParam))
{
    if ((message == WM_TODAYCUSTOM_CLEARCACHE || message == WM_TODAYCUSTOM_QUERYREFRESHCACHE) && wParam) {
        const auto* host = reinterpret_cast<const TODAYLISTITEM*>(wParam);
        auto* guest = static_cast<TODAYLISTITEM32*>(scratch.Take(sizeof(TODAYLISTITEM32)));
        if (!guest)
            return;
        TodayItemToGuest(*host, *guest);
        guestW_ = ToGuest(guest);
        kind_ = Kind::kTodayItem;
        return;
    }
    if (!lParam)
        return;
    switch (message) {
    case WM_CREATE:
    case WM_NCCREATE: {
        const auto* host = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* guest = static_cast<CREATESTRUCT32*>(scratch.Take(sizeof(CREATESTRUCT32)));
        if (!guest)
            return;
        guest->lpCreateParams = ToGuest(host->lpCreateParams);
        guest->hInstance = ToGuest(host->hInstance);
        guest->hMenu = ToGuest(host->hMenu);
        guest->hwndParent = ToGuest(host->hwndParent);
        guest->cy = host->cy, guest->cx = host->cx, guest->y = host->y, guest->x = host->x;
        guest->style = host->style;
        guest->lpszName = host->lpszName ? GuestString(scratch, host->lpszName) : 0;
        guest->lpszClass = host->lpszClass ? GuestString(scratch, host->lpszClass) : 0;
        guest->dwExStyle = host->dwExStyle;
        guestL_ = ToGuest(guest);
        kind_ = Kind::kCreate;
        return;
    }
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: {
        const auto* host = reinterpret_cast<const WINDOWPOS*>(lParam);
        auto* guest = static_cast<WINDOWPOS32*>(scratch.Take(sizeof(WINDOWPOS32)));
        if (!guest)
            return;
        guest->hwnd = ToGuest(host->hwnd);
        guest->hwndInsertAfter = ToGuest(host->hwndInsertAfter);
        guest->x = host->x, guest->y = host->y, guest->cx = host->cx, guest->cy = host->cy;
        guest->flags = host->flags;
        guestL_ = ToGuest(guest);
        kind_ = Kind::kWindowPos;
        return;
    }
    case WM_NOTIFY: {
        const auto* host = reinterpret_cast<const NMHDR*>(lParam);
        auto* guest = static_cast<NMHDR32*>(scratch.Take(sizeof(NMHDR32)));
        if (!guest)
            return;
        guest->hwndFrom = ToGuest(host->hwndFrom);
        guest->idFrom = static_cast<GuestPtr>(host->idFrom);
        guest->code = host->code;
        guestL_ = ToGuest(guest);
        kind_ = Kind::kNotify;
        return;
    }
    case WM_SETTEXT:
        guestL_ = GuestString(scratch, reinterpret_cast<const wchar_t*>(lParam));
        return;
    case WM_GETTEXT:
        if (!GuestReaches(reinterpret_cast<void*>(lParam)) && wParam > 0 && wParam < 0x10000) {
            void* buffer = scratch.Take(static_cast<std::uint32_t>(wParam * sizeof(wchar_t)));
            guestL_ = ToGuest(buffer);
            kind_ = Kind::kGetText;
        }
        return;
    default:
        break;
    }
    blockSize_ = PlainRecordSize(message);
    if (blockSize_ && !GuestReaches(reinterpret_cast<void*>(lParam))) {
        void* copy = scratch.Take(blockSize_);
        if (!copy)
            return;
        std::memcpy(copy, reinterpret_cast<const void*>(lParam), blockSize_);
        guestL_ = ToGuest(copy);
        kind_ = Kind::kBlock;
    }
}

void GuestMessage::CopyBack() const
{
    switch (kind_) {
    case Kind::kTodayItem: {
        auto* host = reinterpret_cast<TODAYLISTITEM*>(hostW_);
        TodayItemFromGuest(*At<const TODAYLISTITEM32>(guestW_), *host);
        break;
    }
    case Kind::kWindowPos: {
        auto* host = reinterpret_cast<WINDOWPOS*>(hostL_);
        const auto* guest = At<const WINDOWPOS32>(guestL_);
        host->hwndInsertAfter = FromGuest<HWND>(guest->hwndInsertAfter);
        host->x = guest->x, host->y = guest->y, host->cx = guest->cx, host->cy = guest->cy;
        host->flags = guest->flags;
        break;
    }
    case Kind::kBlock:
        std::memcpy(reinterpret_cast<void*>(hostL_), At<const void>(guestL_), blockSize_);
        break;
    case Kind::kGetText:
        std::wmemcpy(reinterpret_cast<wchar_t*>(hostL_), At<const wchar_t>(guestL_), hostW_);
        break;
    default:
        break;
    }
}

} // namespace armce
