// Drawing. The Pocket PC's system font is Tahoma of normal weight; the
// desktop's is the bold bitmap face "System". Items copy its LOGFONT and keep
// what they do not set, so the device gives its own. The GDI objects made
// here are counted while they live.
#include "Accounting.h"
#include "Failures.h"

#include <windows.h>

#include <cstdint>

namespace {

HFONT MakeSystemFont()
{
    LOGFONTW font = {};
    font.lfHeight = -12;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = RUSSIAN_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&font);
}

// A stock object: made once, owned by the system for the process's life.
HFONT SystemFont()
{
    static const HFONT systemFont = MakeSystemFont();
    return systemFont;
}

} // namespace

extern "C" {

HGDIOBJ WINAPI CeGetStockObject(int object)
{
    if (object == SYSTEM_FONT)
        return SystemFont();
    return GetStockObject(object);
}

HFONT WINAPI CeCreateFontIndirectW(const LOGFONTW* font)
{
    CE_FALLIBLE("CreateFontIndirectW", nullptr);
    return coredll::Counted(DEVICE_FONTS, CreateFontIndirectW(font));
}

HDC WINAPI CeCreateCompatibleDC(HDC dc)
{
    CE_FALLIBLE("CreateCompatibleDC", nullptr);
    return coredll::Counted(DEVICE_DCS, CreateCompatibleDC(dc));
}

BOOL WINAPI CeDeleteDC(HDC dc)
{
    return coredll::ForgottenIf(DeleteDC(dc), DEVICE_DCS, dc);
}

HBITMAP WINAPI CeCreateCompatibleBitmap(HDC dc, int width, int height)
{
    CE_FALLIBLE("CreateCompatibleBitmap", nullptr);
    HBITMAP made = CreateCompatibleBitmap(dc, width, height);
    // An empty size gives the shared one-pixel bitmap, which is nobody's to count.
    if (width > 0 && height > 0)
        coredll::Made(DEVICE_BITMAPS, made);
    return made;
}

HBRUSH WINAPI CeCreateSolidBrush(COLORREF color)
{
    CE_FALLIBLE("CreateSolidBrush", nullptr);
    return coredll::Counted(DEVICE_BRUSHES, CreateSolidBrush(color));
}

HPEN WINAPI CeCreatePen(int style, int width, COLORREF color)
{
    CE_FALLIBLE("CreatePen", nullptr);
    return coredll::Counted(DEVICE_PENS, CreatePen(style, width, color));
}

BOOL WINAPI CeDeleteObject(HGDIOBJ object)
{
    // Stock objects are never deleted; the call succeeds all the same. A
    // handle's low 32 bits name it, however its caller widened them.
    if (object && static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(object)) ==
                      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(SystemFont())))
        return TRUE;
    const BOOL deleted = DeleteObject(object);
    if (deleted)
        coredll::ReleasedAny(object);
    return deleted;
}

} // extern "C"
