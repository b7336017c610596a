// Dialogs laid out at the device's density. A dialog's layout follows its
// font, which the desktop sizes at its own density; so the template's font
// is scaled by the device's density against the desktop's before the dialog
// is made, and a dialog of a 192-dpi device comes out twice as large on a
// 96-dpi desktop, as the device itself would lay it out. Its controls'
// glyphs are drawn at the device's density once its procedure has set it up.
#include "Screen.h"
#include "Failures.h"

#include <devicescreen.h>

#include <cstring>
#include <vector>

namespace {

// Walks a dialog template: WORD fields, items on DWORD boundaries.
class TemplateReader
{
public:
    explicit TemplateReader(const BYTE* start) : start_(start), at_(start) {}

    WORD Word()
    {
        WORD value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    DWORD Dword()
    {
        DWORD value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    void Skip(size_t bytes) { at_ += bytes; }

    void SkipString()
    {
        while (Word() != 0) {
        }
    }

    // A menu, class or title: none, an ordinal after 0xFFFF, or a string.
    void SkipNameOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            Word();
        else if (first != 0)
            SkipString();
    }

    void AlignToDword() { at_ += (4 - Offset() % 4) % 4; }
    size_t Offset() const { return static_cast<size_t>(at_ - start_); }

private:
    const BYTE* start_;
    const BYTE* at_;
};

struct TemplateLayout
{
    size_t size = 0;
    size_t pointSizeOffset = 0; // 0: the template names no font
};

// The size of a template (DLGTEMPLATE or DLGTEMPLATEEX) and where its font's
// point size lies.
TemplateLayout Measure(const BYTE* dialog)
{
    TemplateReader reader(dialog);
    const bool extended = reinterpret_cast<const WORD*>(dialog)[0] == 1 &&
                          reinterpret_cast<const WORD*>(dialog)[1] == 0xFFFF;
    DWORD style = 0;
    WORD items = 0;
    if (extended) {
        reader.Skip(2 * sizeof(WORD) + 2 * sizeof(DWORD)); // version, signature, help id, extended style
        style = reader.Dword();
        items = reader.Word();
    } else {
        style = reader.Dword();
        reader.Skip(sizeof(DWORD)); // extended style
        items = reader.Word();
    }
    reader.Skip(4 * sizeof(short)); // x, y, cx, cy
    reader.SkipNameOrOrdinal();     // menu
    reader.SkipNameOrOrdinal();     // class
    reader.SkipString();            // title
    TemplateLayout layout;
    if (style & DS_SETFONT) {
        layout.pointSizeOffset = reader.Offset();
        reader.Word();
        if (extended)
            reader.Skip(sizeof(WORD) + 2 * sizeof(BYTE)); // weight, italic, character set
        reader.SkipString();
    }
    for (WORD i = 0; i < items; ++i) {
        reader.AlignToDword();
        // help id, extended style, style, x, y, cx, cy, a DWORD id; or style,
        // extended style, x, y, cx, cy, a WORD id
        reader.Skip(extended ? 3 * sizeof(DWORD) + 4 * sizeof(short) + sizeof(DWORD)
                             : 2 * sizeof(DWORD) + 4 * sizeof(short) + sizeof(WORD));
        reader.SkipNameOrOrdinal(); // class
        reader.SkipNameOrOrdinal(); // title
        reader.Skip(reader.Word()); // creation data
    }
    layout.size = reader.Offset();
    return layout;
}

// The dialog procedure and parameter a dialog being made is for: the
// device's own procedure stands in until WM_INITDIALOG, then hands over.
struct DialogCall
{
    DLGPROC procedure;
    LPARAM parameter;
};
thread_local DialogCall* t_madeDialog = nullptr;

INT_PTR CALLBACK ScalingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogCall* call = t_madeDialog;
    if (!call)
        return FALSE;
    if (message != WM_INITDIALOG)
        return call->procedure(dialog, message, wParam, lParam);
    t_madeDialog = nullptr;
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(call->procedure));
    const INT_PTR result = call->procedure(dialog, message, wParam, call->parameter);
    if (IsWindow(dialog))
        DeviceScaleControls(dialog);
    return result;
}

// A modal dialog whose controls are drawn at the device's density.
INT_PTR ScaledDialog(HINSTANCE instance, LPCDLGTEMPLATEW dialog, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    if (!procedure)
        return DialogBoxIndirectParamW(instance, dialog, owner, procedure, parameter);
    DialogCall call{procedure, parameter};
    DialogCall* const outer = t_madeDialog;
    t_madeDialog = &call;
    const INT_PTR result = DialogBoxIndirectParamW(instance, dialog, owner, ScalingDialogProc, 0);
    t_madeDialog = outer;
    return result;
}

} // namespace

extern "C" {

INT_PTR WINAPI CeDialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialog, HWND owner, DLGPROC procedure,
    LPARAM parameter)
{
    CE_FALLIBLE("DialogBoxIndirectParamW", -1);
    DEVICE_SCREEN screen;
    const int desktopDpi = coredll::DesktopDpi();
    if (!dialog || !coredll::CurrentScreen(screen) || screen.dpi == desktopDpi)
        return DialogBoxIndirectParamW(instance, dialog, owner, procedure, parameter);
    const auto* bytes = reinterpret_cast<const BYTE*>(dialog);
    const TemplateLayout layout = Measure(bytes);
    if (!layout.pointSizeOffset)
        return ScaledDialog(instance, dialog, owner, procedure, parameter);
    std::vector<DWORD> copy((layout.size + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(copy.data(), bytes, layout.size);
    auto* pointSize = reinterpret_cast<WORD*>(reinterpret_cast<BYTE*>(copy.data()) + layout.pointSizeOffset);
    *pointSize = static_cast<WORD>(MulDiv(*pointSize, screen.dpi, desktopDpi));
    return ScaledDialog(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), owner, procedure, parameter);
}

INT_PTR WINAPI CeDialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    CE_FALLIBLE("DialogBoxParamW", -1);
    const HRSRC resource = FindResourceW(instance, name, RT_DIALOG);
    const auto* dialog = resource ? static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(instance, resource)))
                                  : nullptr;
    if (!dialog)
        return DialogBoxParamW(instance, name, owner, procedure, parameter);
    return CeDialogBoxIndirectParamW(instance, dialog, owner, procedure, parameter);
}

} // extern "C"
