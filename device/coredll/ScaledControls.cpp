// Controls at the device's density. A Pocket PC of 192 dpi draws a check
// box's glyph, a combo box's arrow and a date picker's spin buttons twice as
// large as the desktop's 96-dpi ones, for a module that is high-resolution
// aware, as every one this device runs is; the desktop draws them at its own
// density whatever the dialog's font. So each such control of a dialog the
// device shows is drawn again at the device's density: a check box or radio
// button whole, a combo box's button over the desktop's, a date picker's
// spin buttons made wider and their arrows drawn over them.
#include "Screen.h"

#include <commctrl.h>

#include <cwchar>
#include <initializer_list>

namespace {

constexpr UINT_PTR kSubclassId = 0x4443; // "DC"
// Marks a control already drawn at the device's density.
constexpr wchar_t kScaledProperty[] = L"DeviceScaledControl";
// At 96 dpi, as the desktop draws them: a check box's or radio button's
// glyph, and the room between it and its text.
constexpr int kGlyphSize = 13;
constexpr int kGlyphGap = 4;
// A list view's state image, which holds a check box's glyph.
constexpr int kStateImageSize = 16;

// Undoes what Subclassed did, as the control goes.
void Unsubclass(HWND window, SUBCLASSPROC procedure)
{
    RemoveWindowSubclass(window, procedure, kSubclassId);
    RemovePropW(window, kScaledProperty);
}

// Messages after which a control has drawn itself again at the desktop's
// density, outside its WM_PAINT.
bool RedrawsItself(UINT message)
{
    switch (message) {
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_SETSTYLE:
    case CB_SETCURSEL:
    case CB_SHOWDROPDOWN:
    case WM_CAPTURECHANGED:
    case WM_ENABLE:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_KILLFOCUS:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_SETFOCUS:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
        return true;
    default:
        return false;
    }
}

bool IsClass(HWND window, const wchar_t* name)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    return _wcsicmp(className, name) == 0;
}

// A check box or radio button: the buttons with a glyph.
bool IsCheckButton(HWND window)
{
    if (!IsClass(window, WC_BUTTONW))
        return false;
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return !(style & BS_PUSHLIKE);
    default:
        return false;
    }
}

void PaintCheckButton(HWND button, HDC dc, int dpi)
{
    RECT client;
    GetClientRect(button, &client);
    // The parent's background and text colour, as the desktop's button asks.
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(button), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(button)));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));

    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    const LRESULT state = SendMessageW(button, BM_GETSTATE, 0, 0);
    const bool radio = (style & BS_TYPEMASK) == BS_RADIOBUTTON || (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    const bool enabled = IsWindowEnabled(button) != FALSE;
    UINT glyphState = radio ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (state & BST_CHECKED)
        glyphState |= DFCS_CHECKED;
    if (state & BST_INDETERMINATE)
        glyphState = DFCS_BUTTON3STATE | DFCS_CHECKED;
    if (state & BST_PUSHED)
        glyphState |= DFCS_PUSHED;
    if (!enabled)
        glyphState |= DFCS_INACTIVE;
    const int size = MulDiv(kGlyphSize, dpi, 96);
    const int top = (client.top + client.bottom - size) / 2;
    RECT glyph = {client.left, top, client.left + size, top + size};
    DrawFrameControl(dc, &glyph, DFC_BUTTON, glyphState);

    const int length = GetWindowTextLengthW(button);
    if (length <= 0)
        return;
    wchar_t text[256];
    GetWindowTextW(button, text, 256);
    const HGDIOBJ previousFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    if (!enabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT label = client;
    label.left = glyph.right + MulDiv(kGlyphGap, dpi, 96);
    const UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
    DrawTextW(dc, text, -1, &label, format);
    if (GetFocus() == button) {
        RECT focus = label;
        DrawTextW(dc, text, -1, &focus, format | DT_CALCRECT);
        OffsetRect(&focus, 0, (label.bottom - focus.bottom - label.top + focus.top) / 2 * !(style & BS_MULTILINE));
        InflateRect(&focus, 1, 1);
        DrawFocusRect(dc, &focus);
    }
    SelectObject(dc, previousFont);
}

LRESULT CALLBACK CheckButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dpi)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(button, &paint);
        PaintCheckButton(button, dc, static_cast<int>(dpi));
        EndPaint(button, &paint);
        return 0;
    }
    if (message == WM_NCDESTROY)
        Unsubclass(button, CheckButtonProc);
    const LRESULT result = DefSubclassProc(button, message, wParam, lParam);
    if (RedrawsItself(message))
        InvalidateRect(button, nullptr, FALSE);
    return result;
}

// A combo box's button at the device's density: the desktop's widened to the
// left, over the end of the text.
RECT ComboButton(HWND combo, int dpi, RECT* desktopButton = nullptr)
{
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(combo, &info) || IsRectEmpty(&info.rcButton))
        return RECT{};
    if (desktopButton)
        *desktopButton = info.rcButton;
    RECT button = info.rcButton;
    button.left = button.right - MulDiv(button.right - button.left, dpi, coredll::DesktopDpi());
    return button;
}

void PaintComboButton(HWND combo, int dpi)
{
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    RECT button = ComboButton(combo, dpi);
    if (IsRectEmpty(&button) || !GetComboBoxInfo(combo, &info))
        return;
    UINT state = DFCS_SCROLLCOMBOBOX;
    if (info.stateButton & STATE_SYSTEM_PRESSED)
        state |= DFCS_PUSHED | DFCS_FLAT;
    if (!IsWindowEnabled(combo))
        state |= DFCS_INACTIVE;
    HDC dc = GetDC(combo);
    DrawFrameControl(dc, &button, DFC_SCROLL, state);
    ReleaseDC(combo, dc);
}

LRESULT CALLBACK ComboProc(HWND combo, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dpi)
{
    switch (message) {
    case WM_PAINT: {
        const LRESULT result = DefSubclassProc(combo, message, wParam, lParam);
        PaintComboButton(combo, static_cast<int>(dpi));
        return result;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // A tap on the wider button is a tap on the desktop's.
        RECT desktopButton = {};
        const RECT button = ComboButton(combo, static_cast<int>(dpi), &desktopButton);
        const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&button, point) && !PtInRect(&desktopButton, point))
            lParam = MAKELPARAM(desktopButton.left + 1, point.y);
        break;
    }
    case WM_NCDESTROY:
        Unsubclass(combo, ComboProc);
        break;
    default:
        break;
    }
    const LRESULT result = DefSubclassProc(combo, message, wParam, lParam);
    if (RedrawsItself(message))
        InvalidateRect(combo, nullptr, FALSE);
    return result;
}

// A date picker's spin buttons, which it lays out at the desktop's width.
void WidenSpin(HWND picker, int dpi)
{
    const HWND spin = FindWindowExW(picker, nullptr, UPDOWN_CLASSW, nullptr);
    if (!spin)
        return;
    RECT client, box;
    GetClientRect(picker, &client);
    GetWindowRect(spin, &box);
    MapWindowPoints(nullptr, picker, reinterpret_cast<POINT*>(&box), 2);
    const int width = MulDiv(box.right - box.left, dpi, coredll::DesktopDpi());
    SetWindowPos(spin, nullptr, box.right - width, box.top, width, box.bottom - box.top,
        SWP_NOZORDER | SWP_NOACTIVATE);
}

// A spin control's arrows drawn again over its buttons, which the desktop
// fills with arrows of its own density.
void PaintSpinArrows(HWND spin)
{
    RECT client;
    GetClientRect(spin, &client);
    RECT first = client, second = client;
    const bool horizontal = (GetWindowLongPtrW(spin, GWL_STYLE) & UDS_HORZ) != 0;
    if (horizontal)
        first.right = second.left = (client.left + client.right) / 2;
    else
        first.bottom = second.top = (client.top + client.bottom) / 2;
    POINT cursor = {};
    GetCursorPos(&cursor);
    ScreenToClient(spin, &cursor);
    const bool pressing = GetCapture() == spin;
    const UINT enabled = IsWindowEnabled(spin) ? 0 : DFCS_INACTIVE;
    HDC dc = GetDC(spin);
    const struct
    {
        RECT button;
        UINT arrow;
    } buttons[] = {{first, horizontal ? static_cast<UINT>(DFCS_SCROLLLEFT) : static_cast<UINT>(DFCS_SCROLLUP)},
        {second, horizontal ? static_cast<UINT>(DFCS_SCROLLRIGHT) : static_cast<UINT>(DFCS_SCROLLDOWN)}};
    for (const auto& b : buttons) {
        RECT button = b.button;
        const UINT pushed = pressing && PtInRect(&button, cursor) ? DFCS_PUSHED : 0;
        DrawFrameControl(dc, &button, DFC_SCROLL, b.arrow | enabled | pushed);
    }
    ReleaseDC(spin, dc);
}

LRESULT CALLBACK SpinProc(HWND spin, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY)
        Unsubclass(spin, SpinProc);
    const LRESULT result = DefSubclassProc(spin, message, wParam, lParam);
    if (message == WM_PAINT)
        PaintSpinArrows(spin);
    else if (RedrawsItself(message) || message == WM_TIMER)
        InvalidateRect(spin, nullptr, FALSE);
    return result;
}

// A list view's check boxes: its state images, unchecked then checked,
// drawn again at the device's density.
void ScaleListCheckBoxes(HWND list, int dpi)
{
    if (!(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES))
        return;
    const int size = MulDiv(kStateImageSize, dpi, 96);
    const HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32, 2, 0);
    if (!images)
        return;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (const UINT checked : {0u, static_cast<UINT>(DFCS_CHECKED)}) {
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
        const HGDIOBJ previous = SelectObject(dc, bitmap);
        RECT whole = {0, 0, size, size};
        FillRect(dc, &whole, GetSysColorBrush(COLOR_WINDOW));
        const int glyph = MulDiv(kGlyphSize, dpi, 96);
        RECT box = {(size - glyph) / 2, (size - glyph) / 2, (size + glyph) / 2, (size + glyph) / 2};
        DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | checked);
        SelectObject(dc, previous);
        ImageList_Add(images, bitmap, nullptr);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    const auto old = reinterpret_cast<HIMAGELIST>(
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images)));
    // The list view made the one it had for its check boxes; it is now ours.
    if (old && old != images && !(GetWindowLongPtrW(list, GWL_STYLE) & LVS_SHAREIMAGELISTS))
        ImageList_Destroy(old);
}

// A control scaled again each time the desktop has handled After, which
// undoes its scaling: a date picker's WM_SIZE, a list view's check boxes given
// later (LVM_SETEXTENDEDLISTVIEWSTYLE).
template <UINT After, void (*Scale)(HWND, int)>
LRESULT CALLBACK RescaledAfter(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dpi)
{
    if (message == WM_NCDESTROY)
        Unsubclass(control, RescaledAfter<After, Scale>);
    const LRESULT result = DefSubclassProc(control, message, wParam, lParam);
    if (message == After)
        Scale(control, static_cast<int>(dpi));
    return result;
}

// Once for each control.
bool Subclassed(HWND window, SUBCLASSPROC procedure, int dpi)
{
    if (GetPropW(window, kScaledProperty) || !SetPropW(window, kScaledProperty, window))
        return false;
    if (SetWindowSubclass(window, procedure, kSubclassId, static_cast<DWORD_PTR>(dpi)))
        return true;
    RemovePropW(window, kScaledProperty);
    return false;
}

BOOL CALLBACK ScaleControl(HWND control, LPARAM dpi)
{
    const int density = static_cast<int>(dpi);
    if (IsCheckButton(control)) {
        Subclassed(control, CheckButtonProc, density);
    } else if (IsClass(control, WC_COMBOBOXW)) {
        if (Subclassed(control, ComboProc, density)) {
            // An edit field ends where the wider button begins.
            COMBOBOXINFO info = {};
            info.cbSize = sizeof info;
            const RECT button = ComboButton(control, density);
            if (GetComboBoxInfo(control, &info) && info.hwndItem && !IsRectEmpty(&button) &&
                info.rcItem.right > button.left)
                SetWindowPos(info.hwndItem, nullptr, 0, 0, button.left - info.rcItem.left,
                    info.rcItem.bottom - info.rcItem.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else if (IsClass(control, WC_LISTVIEWW)) {
        if (Subclassed(control, RescaledAfter<LVM_SETEXTENDEDLISTVIEWSTYLE, ScaleListCheckBoxes>, density))
            ScaleListCheckBoxes(control, density);
    } else if (IsClass(control, DATETIMEPICK_CLASSW)) {
        if (Subclassed(control, RescaledAfter<WM_SIZE, WidenSpin>, density))
            WidenSpin(control, density);
    } else if (IsClass(control, UPDOWN_CLASSW)) {
        Subclassed(control, SpinProc, density);
    } else {
        return TRUE;
    }
    InvalidateRect(control, nullptr, TRUE);
    return TRUE;
}

} // namespace

extern "C" void WINAPI DeviceScaleControls(HWND window)
{
    DEVICE_SCREEN screen;
    if (!window || !coredll::CurrentScreen(screen) || screen.dpi == coredll::DesktopDpi())
        return;
    EnumChildWindows(window, ScaleControl, screen.dpi);
}
