#include "BareFace.h"

#include "DateMath.h"
#include "ScaleByDpi.h"
#include "Settings.h"

BareFace::BareFace(const CMyToday& item, HICON bell) : bell_(bell)
{
    const int cell = item.m_nCellWidth, row = item.m_nRowHeight, width = item.m_nWidth;
    surface_ = {0, 0, width, item.m_nHeight};
    const int x0 = width - 8 * cell - ScaleByDpi(15, kDpiX);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[64];
    wsprintfW(text, L"%02d:%02d", now.wHour, now.wMinute);
    texts_.push_back({item.m_hBoldFont, Settings::Color4, {0, item.m_nClockHeight, x0 - 1, item.m_nHeight}, text,
        DT_CENTER});
    wsprintfW(text, L"%s\r\n%d", g_apszMonthNames[item.m_nMonth], item.m_nYear);
    texts_.push_back({item.m_hFont, item.m_crText, {0, 0, x0 - 1, item.m_nClockHeight}, text,
        DT_CENTER | DT_WORDBREAK});
    for (int c = 0; c < 7; ++c)
        texts_.push_back({item.m_hFont, item.m_crText, {x0 + c * cell, 0, x0 + (c + 1) * cell, row},
            g_apszWeekdayNames[c], DT_RIGHT});
    const int days = DaysInMonth(item.m_nMonth, item.m_nYear);
    const int weekLeft = x0 + 7 * cell + ScaleByDpi(15, kDpiX);
    for (int d = 1; d <= days; ++d) {
        const int index = item.m_nFirstWeekday - 1 + d - 1;
        const int top = row * (1 + index / 7);
        wsprintfW(text, L"%d", d);
        texts_.push_back({item.m_hFont, item.m_crText, {x0 + (index % 7) * cell, top, x0 + (index % 7 + 1) * cell,
            top + row}, text, DT_RIGHT});
        if (index % 7 == 6 || d == days) {
            wsprintfW(text, L"%d", item.m_nFirstWeek + index / 7);
            texts_.push_back({item.m_hFont, item.m_crText, {weekLeft, top, weekLeft + cell, top + row}, text,
                DT_LEFT});
        }
    }
    lineX_ = x0 + 7 * cell + ScaleByDpi(10, kDpiX);
    lineBottom_ = item.m_nHeight;
    bellAt_ = {ScaleByDpi(2, kDpiX), ScaleByDpi(2, kDpiY)};
}

void BareFace::Draw(HWND host, HDC surface, HWND window) const
{
    TODAYDRAWWATERMARKINFO background = {surface, surface_, window};
    SendMessageW(host, TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&background));
    SetBkMode(surface, TRANSPARENT);
    DrawIconEx(surface, bellAt_.x, bellAt_.y, bell_, 0, 0, 0, nullptr, DI_NORMAL);
    HFONT current = texts_.front().font;
    const HGDIOBJ previous = SelectObject(surface, current);
    for (const Text& t : texts_) {
        if (t.font != current) {
            current = t.font;
            SelectObject(surface, current);
        }
        SetTextColor(surface, t.color);
        RECT rect = t.rect;
        DrawTextW(surface, t.text.c_str(), -1, &rect, t.format);
    }
    MoveToEx(surface, lineX_, 0, nullptr);
    LineTo(surface, lineX_, lineBottom_);
    SelectObject(surface, previous);
}
