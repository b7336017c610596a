#include "Messages.h"

#include "Guest32.h"
#include "HostArena.h"
#include "Ownership.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace armce {

namespace {

// The longest text a message carries across.
constexpr std::uint32_t kMaxChars = 32768;

template <typename T>
T* Taken(ArmMachine::Scratch& scratch, GuestPtr& guest)
{
    auto* record = static_cast<T*>(scratch.Take(sizeof(T)));
    guest = Narrowed(record);
    return record;
}

template <typename T>
T* HostCopy()
{
    void* memory = HostArena::Take(sizeof(T));
    return memory ? new (memory) T{} : nullptr;
}

// A host record handed to the guest in its 32-bit form, which Record::Narrow
// makes.
template <typename Record, typename Host, typename Guest32>
bool NarrowedToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
{
    Guest32* copy = Taken<Guest32>(scratch, guest);
    return copy && (*copy = Record::Narrow(*static_cast<const Host*>(host)), true);
}

// A record the same on both sides.
template <typename T>
struct Plain
{
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
    {
        T* copy = Taken<T>(scratch, guest);
        return copy && (std::memcpy(copy, host, sizeof(T)), true);
    }
    static void FromGuest(UINT, WPARAM, GuestPtr guest, void* host)
    {
        std::memcpy(host, GuestMemory::At<const T>(guest), sizeof(T));
    }
    static bool ToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
    {
        T* copy = HostCopy<T>();
        if (!copy || !memory.Holds(guest, sizeof(T), Access::kRead))
            return false;
        std::memcpy(copy, GuestMemory::At<const T>(guest), sizeof(T));
        host = copy;
        return true;
    }
    static void BackToGuest(UINT, std::uint32_t, LRESULT, const void* host, GuestPtr guest)
    {
        std::memcpy(GuestMemory::At<T>(guest), host, sizeof(T));
    }
    static constexpr Layout kLayout = {ToGuest, FromGuest, ToHost, BackToGuest};
};

// Text read by the receiver.
bool StringToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
{
    const auto* text = static_cast<const wchar_t*>(host);
    const std::size_t length = wcsnlen(text, kMaxChars - 1);
    auto* copy = static_cast<wchar_t*>(scratch.Take(static_cast<std::uint32_t>((length + 1) * sizeof(wchar_t))));
    if (!copy)
        return false;
    std::wmemcpy(copy, text, length);
    guest = Narrowed(copy);
    return true;
}

bool StringToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
{
    const long length = memory.StringLength(guest, kMaxChars);
    if (length < 0)
        return false;
    host = const_cast<wchar_t*>(HostArena::Copy(GuestMemory::At<const wchar_t>(guest), static_cast<std::size_t>(length)));
    return host != nullptr;
}

constexpr Layout kString = {StringToGuest, nullptr, StringToHost, nullptr};

// Text written by the receiver into a buffer of wParam characters.
std::uint32_t TextRoom(WPARAM wParam)
{
    return static_cast<std::uint32_t>(std::min<WPARAM>(wParam, kMaxChars));
}

bool TextToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM wParam, const void*, GuestPtr& guest)
{
    const std::uint32_t room = TextRoom(wParam);
    void* buffer = room ? scratch.Take(room * sizeof(wchar_t)) : nullptr;
    guest = Narrowed(buffer);
    return room == 0 || buffer;
}

// The text, cut at its end or at the room there is, and ended.
void CopyText(wchar_t* to, const wchar_t* from, std::uint32_t room)
{
    if (!room)
        return;
    const std::size_t length = wcsnlen(from, room - 1);
    std::wmemcpy(to, from, length);
    to[length] = L'\0';
}

void TextFromGuest(UINT, WPARAM wParam, GuestPtr guest, void* host)
{
    if (guest)
        CopyText(static_cast<wchar_t*>(host), GuestMemory::At<const wchar_t>(guest), TextRoom(wParam));
}

bool TextToHost(const GuestMemory& memory, UINT, std::uint32_t wParam, GuestPtr guest, void*& host)
{
    const std::uint32_t room = TextRoom(wParam);
    if (!memory.Holds(guest, room * sizeof(wchar_t), Access::kWrite))
        return false;
    auto* buffer = static_cast<wchar_t*>(HostArena::Take((room + 1) * sizeof(wchar_t)));
    if (!buffer)
        return false;
    buffer[0] = L'\0';
    host = buffer;
    return true;
}

void TextBackToGuest(UINT, std::uint32_t wParam, LRESULT, const void* host, GuestPtr guest)
{
    CopyText(GuestMemory::At<wchar_t>(guest), static_cast<const wchar_t*>(host), TextRoom(wParam));
}

constexpr Layout kText = {TextToGuest, TextFromGuest, TextToHost, TextBackToGuest};

// A list entry's text (CB_GETLBTEXT, LB_GETTEXT), which the receiver writes
// into a buffer as long as the entry asks.
bool EntryTextToHost(const GuestMemory&, UINT, std::uint32_t, GuestPtr, void*&)
{
    return false;
}

constexpr Layout kEntryText = {nullptr, nullptr, EntryTextToHost, nullptr};

void WindowPosToGuest(const WINDOWPOS& host, WINDOWPOS32& guest)
{
    guest.hwnd = Narrowed(host.hwnd);
    guest.hwndInsertAfter = Narrowed(host.hwndInsertAfter);
    guest.x = host.x, guest.y = host.y, guest.cx = host.cx, guest.cy = host.cy;
    guest.flags = host.flags;
}

void WindowPosToHost(const WINDOWPOS32& guest, WINDOWPOS& host)
{
    host.hwnd = AsHandle<HWND>(guest.hwnd);
    host.hwndInsertAfter = AsHandle<HWND>(guest.hwndInsertAfter);
    host.x = guest.x, host.y = guest.y, host.cx = guest.cx, host.cy = guest.cy;
    host.flags = guest.flags;
}

struct WindowPos
{
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
    {
        auto* copy = Taken<WINDOWPOS32>(scratch, guest);
        return copy && (WindowPosToGuest(*static_cast<const WINDOWPOS*>(host), *copy), true);
    }
    static void FromGuest(UINT, WPARAM, GuestPtr guest, void* host)
    {
        // The window it is about stays the one it was.
        auto* record = static_cast<WINDOWPOS*>(host);
        const HWND window = record->hwnd;
        WindowPosToHost(*GuestMemory::At<const WINDOWPOS32>(guest), *record);
        record->hwnd = window;
    }
    static bool ToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
    {
        auto* copy = HostCopy<WINDOWPOS>();
        if (!copy || !memory.Holds(guest, sizeof(WINDOWPOS32), Access::kRead))
            return false;
        WindowPosToHost(*GuestMemory::At<const WINDOWPOS32>(guest), *copy);
        host = copy;
        return true;
    }
    static void BackToGuest(UINT, std::uint32_t, LRESULT, const void* host, GuestPtr guest)
    {
        WindowPosToGuest(*static_cast<const WINDOWPOS*>(host), *GuestMemory::At<WINDOWPOS32>(guest));
    }
    static constexpr Layout kLayout = {ToGuest, FromGuest, ToHost, BackToGuest};
};

// WM_NCCALCSIZE: with wParam, three rectangles and the window's position;
// without, one rectangle.
struct NcCalcSize
{
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, const void* host, GuestPtr& guest)
    {
        if (!wParam)
            return Plain<RECT>::ToGuest(scratch, message, wParam, host, guest);
        const auto* params = static_cast<const NCCALCSIZE_PARAMS*>(host);
        auto* copy = Taken<NCCALCSIZE_PARAMS32>(scratch, guest);
        GuestPtr position = 0;
        auto* where = params->lppos ? Taken<WINDOWPOS32>(scratch, position) : nullptr;
        if (!copy || (params->lppos && !where))
            return false;
        std::memcpy(copy->rgrc, params->rgrc, sizeof copy->rgrc);
        if (where)
            WindowPosToGuest(*params->lppos, *where);
        copy->lppos = position;
        return true;
    }
    static void FromGuest(UINT message, WPARAM wParam, GuestPtr guest, void* host)
    {
        if (!wParam)
            return Plain<RECT>::FromGuest(message, wParam, guest, host);
        // The rectangles are the answer; the position is the host's.
        std::memcpy(static_cast<NCCALCSIZE_PARAMS*>(host)->rgrc, GuestMemory::At<const NCCALCSIZE_PARAMS32>(guest)->rgrc,
            sizeof(RECT) * 3);
    }
    static bool ToHost(const GuestMemory& memory, UINT message, std::uint32_t wParam, GuestPtr guest, void*& host)
    {
        if (!wParam)
            return Plain<RECT>::ToHost(memory, message, wParam, guest, host);
        // A guest asks the default procedure about its own rectangles only.
        auto* copy = HostCopy<NCCALCSIZE_PARAMS>();
        if (!copy || !memory.Holds(guest, sizeof(NCCALCSIZE_PARAMS32), Access::kWrite))
            return false;
        std::memcpy(copy->rgrc, GuestMemory::At<const NCCALCSIZE_PARAMS32>(guest)->rgrc, sizeof copy->rgrc);
        copy->lppos = nullptr;
        host = copy;
        return true;
    }
    static void BackToGuest(UINT message, std::uint32_t wParam, LRESULT result, const void* host, GuestPtr guest)
    {
        if (!wParam)
            return Plain<RECT>::BackToGuest(message, wParam, result, host, guest);
        std::memcpy(GuestMemory::At<NCCALCSIZE_PARAMS32>(guest)->rgrc, static_cast<const NCCALCSIZE_PARAMS*>(host)->rgrc,
            sizeof(RECT) * 3);
    }
    static constexpr Layout kLayout = {ToGuest, FromGuest, ToHost, BackToGuest};
};

// WM_NOTIFY: the header, then what the notification adds after it, for the
// notifications whose addition is numbers only.
struct Notification
{
    UINT code;
    std::uint32_t tail;
};
const Notification kNotifications[] = {
    {UDN_DELTAPOS, sizeof(NMUPDOWN) - sizeof(NMHDR)},
};

std::uint32_t Tail(UINT code)
{
    for (const Notification& n : kNotifications)
        if (n.code == code)
            return n.tail;
    return 0;
}

struct Notify
{
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
    {
        const auto* header = static_cast<const NMHDR*>(host);
        const std::uint32_t tail = Tail(header->code);
        auto* copy = static_cast<NMHDR32*>(scratch.Take(sizeof(NMHDR32) + tail));
        if (!copy)
            return false;
        copy->hwndFrom = Narrowed(header->hwndFrom);
        copy->idFrom = static_cast<GuestPtr>(header->idFrom);
        copy->code = header->code;
        std::memcpy(copy + 1, header + 1, tail);
        guest = Narrowed(copy);
        return true;
    }
    static void FromGuest(UINT, WPARAM, GuestPtr guest, void* host)
    {
        auto* header = static_cast<NMHDR*>(host);
        std::memcpy(header + 1, GuestMemory::At<const NMHDR32>(guest) + 1, Tail(header->code));
    }
    static bool ToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
    {
        if (!memory.Holds(guest, sizeof(NMHDR32), Access::kRead))
            return false;
        const auto* header = GuestMemory::At<const NMHDR32>(guest);
        const std::uint32_t tail = Tail(header->code);
        auto* copy = static_cast<NMHDR*>(HostArena::Take(sizeof(NMHDR) + tail));
        if (!copy || !memory.Holds(guest, sizeof(NMHDR32) + tail, Access::kWrite))
            return false;
        copy->hwndFrom = AsHandle<HWND>(header->hwndFrom);
        copy->idFrom = header->idFrom;
        copy->code = header->code;
        std::memcpy(copy + 1, header + 1, tail);
        host = copy;
        return true;
    }
    static void BackToGuest(UINT, std::uint32_t, LRESULT, const void* host, GuestPtr guest)
    {
        const auto* header = static_cast<const NMHDR*>(host);
        std::memcpy(GuestMemory::At<NMHDR32>(guest) + 1, header + 1, Tail(header->code));
    }
    static constexpr Layout kLayout = {ToGuest, FromGuest, ToHost, BackToGuest};
};

// Records of owner-drawn controls, from the host only.
struct DrawItem
{
    static DRAWITEMSTRUCT32 Narrow(const DRAWITEMSTRUCT& item)
    {
        return {item.CtlType, item.CtlID, item.itemID, item.itemAction, item.itemState, Narrowed(item.hwndItem),
            Narrowed(item.hDC), item.rcItem, static_cast<GuestPtr>(item.itemData)};
    }
    static constexpr Layout kLayout = {
        NarrowedToGuest<DrawItem, DRAWITEMSTRUCT, DRAWITEMSTRUCT32>, nullptr, nullptr, nullptr};
};

struct MeasureItem
{
    static MEASUREITEMSTRUCT32 Narrow(const MEASUREITEMSTRUCT& item)
    {
        return {item.CtlType, item.CtlID, item.itemID, item.itemWidth, item.itemHeight,
            static_cast<GuestPtr>(item.itemData)};
    }
    static void FromGuest(UINT, WPARAM, GuestPtr guest, void* host)
    {
        auto* item = static_cast<MEASUREITEMSTRUCT*>(host);
        const auto* copy = GuestMemory::At<const MEASUREITEMSTRUCT32>(guest);
        item->itemWidth = copy->itemWidth;
        item->itemHeight = copy->itemHeight;
    }
    static constexpr Layout kLayout = {
        NarrowedToGuest<MeasureItem, MEASUREITEMSTRUCT, MEASUREITEMSTRUCT32>, FromGuest, nullptr, nullptr};
};

struct DeleteItem
{
    static DELETEITEMSTRUCT32 Narrow(const DELETEITEMSTRUCT& item)
    {
        return {item.CtlType, item.CtlID, item.itemID, Narrowed(item.hwndItem), static_cast<GuestPtr>(item.itemData)};
    }
    static constexpr Layout kLayout = {
        NarrowedToGuest<DeleteItem, DELETEITEMSTRUCT, DELETEITEMSTRUCT32>, nullptr, nullptr, nullptr};
};

struct CompareItem
{
    static COMPAREITEMSTRUCT32 Narrow(const COMPAREITEMSTRUCT& item)
    {
        return {item.CtlType, item.CtlID, Narrowed(item.hwndItem), item.itemID1, static_cast<GuestPtr>(item.itemData1),
            item.itemID2, static_cast<GuestPtr>(item.itemData2), item.dwLocaleId};
    }
    static constexpr Layout kLayout = {
        NarrowedToGuest<CompareItem, COMPAREITEMSTRUCT, COMPAREITEMSTRUCT32>, nullptr, nullptr, nullptr};
};

// WM_CREATE, WM_NCCREATE: from the host only; a guest hands the default
// procedure back the record it was given.
struct Create
{
    static GuestPtr Text(ArmMachine::Scratch& scratch, const wchar_t* text)
    {
        if (!text)
            return 0;
        if (IS_INTRESOURCE(text))
            return Narrowed(text);
        GuestPtr copy = 0;
        return StringToGuest(scratch, 0, 0, text, copy) ? copy : 0;
    }
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
    {
        const auto* create = static_cast<const CREATESTRUCTW*>(host);
        auto* copy = Taken<CREATESTRUCT32>(scratch, guest);
        if (!copy)
            return false;
        copy->lpCreateParams = Narrowed(create->lpCreateParams);
        copy->hInstance = Narrowed(create->hInstance);
        copy->hMenu = Narrowed(create->hMenu);
        copy->hwndParent = Narrowed(create->hwndParent);
        copy->cy = create->cy, copy->cx = create->cx, copy->y = create->y, copy->x = create->x;
        copy->style = create->style;
        copy->lpszName = Text(scratch, create->lpszName);
        copy->lpszClass = Text(scratch, create->lpszClass);
        copy->dwExStyle = create->dwExStyle;
        return true;
    }
    static constexpr Layout kLayout = {ToGuest, nullptr, nullptr, nullptr};
};

// WM_COPYDATA: the record and the data it points to.
struct CopyData
{
    static bool ToGuest(ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
    {
        const auto* data = static_cast<const COPYDATASTRUCT*>(host);
        auto* copy = Taken<COPYDATASTRUCT32>(scratch, guest);
        void* bytes = data->cbData ? scratch.Take(data->cbData) : nullptr;
        if (!copy || (data->cbData && !bytes))
            return false;
        if (bytes)
            std::memcpy(bytes, data->lpData, data->cbData);
        *copy = {static_cast<GuestPtr>(data->dwData), data->cbData, Narrowed(bytes)};
        return true;
    }
    static bool ToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
    {
        if (!memory.Holds(guest, sizeof(COPYDATASTRUCT32), Access::kRead))
            return false;
        const auto* data = GuestMemory::At<const COPYDATASTRUCT32>(guest);
        auto* copy = HostCopy<COPYDATASTRUCT>();
        if (!copy || (data->cbData && !memory.Holds(data->lpData, data->cbData, Access::kRead)))
            return false;
        void* bytes = data->cbData ? HostArena::Take(data->cbData) : nullptr;
        if (data->cbData && !bytes)
            return false;
        if (bytes)
            std::memcpy(bytes, GuestMemory::At<const void>(data->lpData), data->cbData);
        *copy = {data->dwData, data->cbData, bytes};
        host = copy;
        return true;
    }
    static constexpr Layout kLayout = {ToGuest, nullptr, ToHost, nullptr};
};

struct HelpInfo
{
    static HELPINFO32 Narrow(const HELPINFO& help)
    {
        return {sizeof(HELPINFO32), help.iContextType, help.iCtrlId, Narrowed(help.hItemHandle),
            static_cast<GuestPtr>(help.dwContextId), help.MousePos};
    }
    static constexpr Layout kLayout = {NarrowedToGuest<HelpInfo, HELPINFO, HELPINFO32>, nullptr, nullptr, nullptr};
};

// WM_GETDLGCODE's message, when there is one.
struct Message
{
    static MSG32 Narrow(const MSG& message)
    {
        return {Narrowed(message.hwnd), message.message, Narrowed(message.wParam), Narrowed(message.lParam),
            message.time, message.pt};
    }
    static bool ToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
    {
        auto* copy = HostCopy<MSG>();
        if (!copy || !memory.Holds(guest, sizeof(MSG32), Access::kRead))
            return false;
        // Its parameters are numbers here: the default procedure only looks
        // at which key it is.
        const auto* message = GuestMemory::At<const MSG32>(guest);
        *copy = {AsHandle<HWND>(message->hwnd), message->message, message->wParam,
            static_cast<LPARAM>(static_cast<std::int32_t>(message->lParam)), message->time, message->pt};
        host = copy;
        return true;
    }
    static constexpr Layout kLayout = {NarrowedToGuest<Message, MSG, MSG32>, nullptr, ToHost, nullptr};
};

constexpr const Layout* kPlainRect = &Plain<RECT>::kLayout;

using D = Direction;

// The platform's messages whose parameters are numbers (and handles) only.
const UINT kNumberMessages[] = {
    // Windows.
    WM_DESTROY, WM_NCDESTROY, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ENABLE,
    WM_SETREDRAW, WM_PAINT, WM_CLOSE, WM_ERASEBKGND, WM_SYSCOLORCHANGE, WM_SHOWWINDOW, WM_ACTIVATEAPP,
    WM_FONTCHANGE, WM_TIMECHANGE, WM_CANCELMODE, WM_SETCURSOR, WM_MOUSEACTIVATE, WM_CHILDACTIVATE,
    WM_NEXTDLGCTL, WM_SETFONT, WM_CONTEXTMENU, WM_DISPLAYCHANGE, WM_GETICON, WM_SETICON, WM_NCHITTEST,
    WM_NCPAINT, WM_NCACTIVATE, WM_SYNCPAINT, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_DEADCHAR, WM_SYSKEYDOWN,
    WM_SYSKEYUP, WM_SYSCHAR, WM_SYSDEADCHAR, WM_INITDIALOG, WM_COMMAND, WM_SYSCOMMAND, WM_HSCROLL,
    WM_VSCROLL, WM_INITMENUPOPUP, WM_ENTERIDLE, WM_CTLCOLORMSGBOX, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX,
    WM_CTLCOLORBTN, WM_CTLCOLORDLG, WM_CTLCOLORSCROLLBAR, WM_CTLCOLORSTATIC, WM_MOUSEMOVE,
    WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK,
    WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_MOUSEWHEEL, WM_PARENTNOTIFY, WM_ENTERMENULOOP,
    WM_EXITMENULOOP, WM_CAPTURECHANGED, WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE, WM_CUT, WM_COPY, WM_PASTE,
    WM_CLEAR, WM_UNDO, WM_PRINTCLIENT, WM_THEMECHANGED,
    // Buttons.
    BM_GETCHECK, BM_SETCHECK, BM_GETSTATE, BM_SETSTATE, BM_SETSTYLE, BM_CLICK, BM_GETIMAGE, BM_SETIMAGE,
    // Combo boxes.
    CB_DELETESTRING, CB_GETCOUNT, CB_GETCURSEL, CB_GETLBTEXTLEN, CB_RESETCONTENT, CB_SETCURSEL,
    CB_SHOWDROPDOWN, CB_GETITEMDATA, CB_SETITEMDATA, CB_SETITEMHEIGHT, CB_GETITEMHEIGHT,
    CB_GETDROPPEDSTATE, CB_LIMITTEXT, CB_SETEDITSEL, CB_SETEXTENDEDUI, CB_GETEXTENDEDUI, CB_GETTOPINDEX,
    CB_SETTOPINDEX,
    // List boxes.
    LB_DELETESTRING, LB_GETCOUNT, LB_GETCURSEL, LB_SETCURSEL, LB_GETSEL, LB_SETSEL, LB_GETSELCOUNT,
    LB_GETTEXTLEN, LB_RESETCONTENT, LB_GETITEMDATA, LB_SETITEMDATA, LB_GETTOPINDEX, LB_SETTOPINDEX,
    LB_SETITEMHEIGHT, LB_GETITEMHEIGHT,
    // Edit controls.
    EM_SETSEL, EM_GETMODIFY, EM_SETMODIFY, EM_GETLINECOUNT, EM_LIMITTEXT, EM_CANUNDO, EM_UNDO,
    EM_SETREADONLY, EM_SETPASSWORDCHAR, EM_GETLIMITTEXT,
    // Static controls.
    STM_SETICON, STM_GETICON, STM_SETIMAGE, STM_GETIMAGE,
};

// Questions whose answer is a number, which a module may ask any window.
const UINT kQuestions[] = {WM_NULL, WM_GETTEXTLENGTH, WM_GETFONT};

// A control's or a dialog's own messages, numbers only, which a module may
// send only to the windows of that class.
struct ClassMessage
{
    UINT message;
    const wchar_t* hostClass;
};
const ClassMessage kClassMessages[] = {
    {DM_GETDEFID, L"#32770"},
    {DM_SETDEFID, L"#32770"},
    {DM_REPOSITION, L"#32770"},
    {UDM_SETRANGE, UPDOWN_CLASSW},
    {UDM_GETRANGE, UPDOWN_CLASSW},
    {UDM_SETPOS, UPDOWN_CLASSW},
    {UDM_GETPOS, UPDOWN_CLASSW},
    {UDM_SETBUDDY, UPDOWN_CLASSW},
    {UDM_GETBUDDY, UPDOWN_CLASSW},
    {UDM_SETBASE, UPDOWN_CLASSW},
    {UDM_GETBASE, UPDOWN_CLASSW},
    {UDM_SETRANGE32, UPDOWN_CLASSW},
    {UDM_SETPOS32, UPDOWN_CLASSW},
};

// The platform's messages whose lParam points to a record.
const MessageRule kPointerRules[] = {
    // Windows.
    {.message = WM_CREATE, .layout = &Create::kLayout},
    {.message = WM_NCCREATE, .layout = &Create::kLayout},
    {.message = WM_SETTEXT, .layout = &kString, .optional = true},
    {.message = WM_GETTEXT, .layout = &kText, .direction = D::kOut, .toOthers = true},
    {.message = WM_SETTINGCHANGE, .layout = &kString, .optional = true, .toOthers = true},
    {.message = WM_GETMINMAXINFO, .layout = &Plain<MINMAXINFO>::kLayout, .direction = D::kInOut},
    {.message = WM_DRAWITEM, .layout = &DrawItem::kLayout},
    {.message = WM_MEASUREITEM, .layout = &MeasureItem::kLayout, .direction = D::kInOut},
    {.message = WM_DELETEITEM, .layout = &DeleteItem::kLayout},
    {.message = WM_COMPAREITEM, .layout = &CompareItem::kLayout},
    {.message = WM_WINDOWPOSCHANGING, .layout = &WindowPos::kLayout, .direction = D::kInOut},
    {.message = WM_WINDOWPOSCHANGED, .layout = &WindowPos::kLayout},
    {.message = WM_COPYDATA, .layout = &CopyData::kLayout},
    {.message = WM_NOTIFY, .layout = &Notify::kLayout, .direction = D::kInOut},
    {.message = WM_HELP, .layout = &HelpInfo::kLayout},
    {.message = WM_STYLECHANGING, .layout = &Plain<STYLESTRUCT>::kLayout, .direction = D::kInOut},
    {.message = WM_STYLECHANGED, .layout = &Plain<STYLESTRUCT>::kLayout},
    {.message = WM_NCCALCSIZE, .layout = &NcCalcSize::kLayout, .direction = D::kInOut},
    {.message = WM_GETDLGCODE, .layout = &Message::kLayout, .optional = true},
    {.message = WM_SIZING, .layout = kPlainRect, .direction = D::kInOut},
    {.message = WM_MOVING, .layout = kPlainRect, .direction = D::kInOut},
    // Combo boxes.
    {.message = CB_ADDSTRING, .layout = &kString},
    {.message = CB_INSERTSTRING, .layout = &kString},
    {.message = CB_FINDSTRING, .layout = &kString},
    {.message = CB_FINDSTRINGEXACT, .layout = &kString},
    {.message = CB_SELECTSTRING, .layout = &kString},
    {.message = CB_GETLBTEXT, .layout = &kEntryText, .direction = D::kOut},
    {.message = CB_GETDROPPEDCONTROLRECT, .layout = kPlainRect, .direction = D::kOut},
    // List boxes.
    {.message = LB_ADDSTRING, .layout = &kString},
    {.message = LB_INSERTSTRING, .layout = &kString},
    {.message = LB_FINDSTRING, .layout = &kString},
    {.message = LB_FINDSTRINGEXACT, .layout = &kString},
    {.message = LB_SELECTSTRING, .layout = &kString},
    {.message = LB_GETTEXT, .layout = &kEntryText, .direction = D::kOut},
    {.message = LB_GETITEMRECT, .layout = kPlainRect, .direction = D::kOut},
    // Edit controls.
    {.message = EM_GETRECT, .layout = kPlainRect, .direction = D::kOut},
    {.message = EM_SETRECT, .layout = kPlainRect},
    {.message = EM_SETRECTNP, .layout = kPlainRect},
    {.message = EM_REPLACESEL, .layout = &kString},
};

std::vector<MessageRule>& AddedRules()
{
    static std::vector<MessageRule> rules;
    return rules;
}

bool SameClass(HWND window, const wchar_t* name)
{
    wchar_t actual[64];
    return GetClassNameW(window, actual, static_cast<int>(std::size(actual))) &&
           CompareStringOrdinal(actual, -1, name, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

const std::vector<MessageRule>& PlatformRules()
{
    static const std::vector<MessageRule> rules = [] {
        std::vector<MessageRule> all;
        for (UINT message : kNumberMessages)
            all.push_back({.message = message});
        for (UINT message : kQuestions)
            all.push_back({.message = message, .toOthers = true});
        for (const ClassMessage& own : kClassMessages)
            all.push_back({.message = own.message, .hostClass = own.hostClass});
        all.insert(all.end(), std::begin(kPointerRules), std::end(kPointerRules));
        return all;
    }();
    return rules;
}

void AddMessageRules(const MessageRule* rules, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (std::none_of(AddedRules().begin(), AddedRules().end(), [&](const MessageRule& rule) {
                return rule.message == rules[i].message && rule.hostClass == rules[i].hostClass;
            }))
            AddedRules().push_back(rules[i]);
}

const MessageRule* RuleToGuest(UINT message)
{
    for (const MessageRule& rule : PlatformRules())
        if (rule.message == message && !rule.hostClass)
            return &rule;
    for (const MessageRule& rule : AddedRules())
        if (rule.message == message && !rule.hostClass)
            return &rule;
    return nullptr;
}

const MessageRule* RuleToHost(UINT message, HWND target)
{
    if (message < WM_USER)
        return RuleToGuest(message);
    const auto matches = [&](const MessageRule& rule) {
        return rule.message == message && (!rule.hostClass || SameClass(target, rule.hostClass));
    };
    for (const MessageRule& rule : PlatformRules())
        if (matches(rule))
            return &rule;
    for (const MessageRule& rule : AddedRules())
        if (matches(rule))
            return &rule;
    return nullptr;
}

namespace {

std::wstring MessageName(UINT message)
{
    wchar_t text[32];
    swprintf(text, 32, L"message 0x%04X", message);
    return text;
}

// The length of a list entry's text, asked of the list first.
LRESULT SendEntryText(GuestCall& call, HWND window, UINT message, std::uint32_t wParam, GuestPtr buffer, int lParamArg,
    HostSender& sender)
{
    const UINT lengthMessage = message == CB_GETLBTEXT ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const LRESULT length = sender.Send(window, lengthMessage, wParam, 0);
    if (length < 0 || length >= static_cast<LRESULT>(kMaxChars))
        return length < 0 ? length : 0;
    const auto room = static_cast<std::uint32_t>(length + 1);
    if (!call.Module().memory.Holds(buffer, room * sizeof(wchar_t), Access::kWrite))
        return call.Violation(lParamArg, buffer, L"where " + std::to_wstring(room) + L" characters cannot be written");
    auto* text = static_cast<wchar_t*>(HostArena::Take(room * sizeof(wchar_t)));
    if (!text)
        return 0;
    text[0] = L'\0';
    const LRESULT result = sender.Send(window, message, wParam, reinterpret_cast<LPARAM>(text));
    CopyText(GuestMemory::At<wchar_t>(buffer), text, room);
    return result;
}

} // namespace

bool IsSystemAction(UINT message)
{
    switch (message) {
    case WM_SYSCOMMAND:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
    case WM_NCMBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONUP:
    case WM_NCXBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

LRESULT SendFromGuest(GuestCall& call, HWND window, UINT message, std::uint32_t wParam, std::uint32_t lParam,
    int wParamArg, int lParamArg, HostSender& sender, bool& refused)
{
    refused = false;
    if (IsSystemAction(message))
        return call.Violation(wParamArg - 1, message, L"a message the window manager answers with its own loops");
    // A settings change (the Today screen's reload) asked for as it paints
    // would have the screen reload, and paint it again, for ever.
    if (message == WM_WININICHANGE && IsPainting(call.Module()))
        return call.Violation(wParamArg - 1, message, L"a settings change as it paints");
    const HostArena::Mark mark;
    const MessageRule* rule = RuleToHost(message, window);
    const auto hostW = static_cast<WPARAM>(wParam);
    const auto hostL = static_cast<LPARAM>(static_cast<std::int32_t>(lParam));
    if (!rule) {
        // A class's own message may go to the module's windows as numbers.
        if (message >= WM_USER && window != HWND_BROADCAST && OwnsWindow(call.Module(), window))
            return sender.Send(window, message, hostW, hostL);
        refused = true;
        return 0;
    }
    if (!rule->toOthers && (window == HWND_BROADCAST || !OwnsWindow(call.Module(), window))) {
        refused = true;
        return 0;
    }
    if (!rule->layout)
        return sender.Send(window, message, hostW, hostL);
    const GuestPtr pointer = rule->inWParam ? wParam : lParam;
    const int argument = rule->inWParam ? wParamArg : lParamArg;
    if (rule->layout == &kEntryText)
        return SendEntryText(call, window, message, wParam, pointer, argument, sender);
    if (!rule->layout->toHost) {
        refused = true;
        return 0;
    }
    void* host = nullptr;
    if (!pointer && !rule->optional)
        return call.Violation(argument, pointer, L"no record of " + MessageName(message));
    if (pointer && !rule->layout->toHost(call.Module().memory, message, wParam, pointer, host))
        return call.Violation(argument, pointer, L"no record of " + MessageName(message) + L" within its memory");
    const LRESULT result = sender.Send(window, message, rule->inWParam ? reinterpret_cast<WPARAM>(host) : hostW,
        rule->inWParam ? hostL : reinterpret_cast<LPARAM>(host));
    if (pointer && (static_cast<int>(rule->direction) & static_cast<int>(Direction::kOut)) &&
        rule->layout->backToGuest)
        rule->layout->backToGuest(message, wParam, result, host, pointer);
    return result;
}

} // namespace armce
