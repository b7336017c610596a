// The calendar's face drawn with bare GDI: the same texts, line and icon with
// the same fonts into the same surface, from lists made beforehand. It is the
// floor under which no rendering of this face can go.
#pragma once

#include "MyToday.h"

#include <string>
#include <vector>

class BareFace
{
public:
    // Takes the texts and places of what item shows now.
    explicit BareFace(const CMyToday& item, HICON bell);
    // The host's background, then the face, as a render does.
    void Draw(HWND host, HDC surface, HWND window) const;

private:
    struct Text
    {
        HFONT font;
        COLORREF color;
        RECT rect;
        std::wstring text;
        UINT format;
    };
    std::vector<Text> texts_;
    RECT surface_ = {};
    int lineX_ = 0;
    int lineBottom_ = 0;
    POINT bellAt_ = {};
    HICON bell_ = nullptr;
};
