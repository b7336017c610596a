// Bitmaps whose rows run from the top down, as the screen's do: what the
// device's programs, the tests and the benchmark read and write pixels with.
#pragma once

#include <windows.h>

// The header of such a bitmap, of width x height pixels at bitsPerPixel.
BITMAPINFO TopDownBitmapInfo(int width, int height, WORD bitsPerPixel);

// A 32-bit section of that shape, with its pixels (0x00RRGGBB, a row after
// another) in bits; null when it cannot be made.
HBITMAP CreateTopDownBitmap(int width, int height, void** bits);
