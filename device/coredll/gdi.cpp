// The Pocket PC's system font is Tahoma of normal weight; the desktop's is the
// bold bitmap face "System". Items copy its LOGFONT and keep what they do not
// set, so the device gives its own.
#include <windows.h>

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

} // namespace

extern "C" HGDIOBJ WINAPI CeGetStockObject(int object)
{
    if (object == SYSTEM_FONT) {
        // A stock object: made once, owned by the system for the process's life.
        static const HFONT systemFont = MakeSystemFont();
        return systemFont;
    }
    return GetStockObject(object);
}
