#include "TopDownBitmap.h"

BITMAPINFO TopDownBitmapInfo(int width, int height, WORD bitsPerPixel)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitsPerPixel;
    return info;
}

HBITMAP CreateTopDownBitmap(int width, int height, void** bits)
{
    const BITMAPINFO info = TopDownBitmapInfo(width, height, 32);
    *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap && !*bits) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}
