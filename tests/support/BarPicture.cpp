#include "BarPicture.h"

#include "ShellBars.h"
#include "TopDownBitmap.h"

#include <cstdint>

namespace barpicture {

deviceprogram::Picture Drawn(int width, int height, const std::function<void(HDC, const RECT&)>& paint)
{
    void* bits = nullptr;
    const HBITMAP bitmap = CreateTopDownBitmap(width, height, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    paint(dc, RECT{0, 0, width, height});
    GdiFlush();
    deviceprogram::Picture picture;
    picture.width = width;
    picture.height = height;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i)
        picture.pixels.push_back(RGB(pixels[i] >> 16 & 0xFF, pixels[i] >> 8 & 0xFF, pixels[i] & 0xFF));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return picture;
}

deviceprogram::Picture Bar(int width, int dpi, bool navigation, const wchar_t* left, const wchar_t* right)
{
    return Drawn(width, shellbars::BarHeight(dpi), [&](HDC dc, const RECT& bar) {
        if (navigation)
            shellbars::PaintNavigationBar(dc, bar, dpi, left, right);
        else
            shellbars::PaintMenuBar(dc, bar, dpi, left, right);
    });
}

int RowsUnlike(const deviceprogram::Picture& picture, int top, const deviceprogram::Picture& bar)
{
    int unlike = 0;
    for (int y = 0; y < bar.height; ++y) {
        for (int x = 0; x < bar.width; ++x) {
            if (top + y >= picture.height || x >= picture.width || picture.At(x, top + y) != bar.At(x, y)) {
                ++unlike;
                break;
            }
        }
    }
    return unlike;
}

} // namespace barpicture
