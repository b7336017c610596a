#include "FaceReference.h"

#include <date/date.h>
#include <date/iso_week.h>

#include <cstdint>
#include <cwchar>
#include <sstream>
#include <vector>

namespace face {

namespace {

const wchar_t* const kMonths[] = {L"Январь", L"Февраль", L"Март", L"Апрель", L"Май", L"Июнь", L"Июль",
    L"Август", L"Сентябрь", L"Октябрь", L"Ноябрь", L"Декабрь"};
const wchar_t* const kWeekdays[] = {L"пн", L"вт", L"ср", L"чт", L"пт", L"сб", L"вс"};

int Dpi(int index)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Sx(int v)
{
    return (v * Dpi(LOGPIXELSX) + 48) / 96;
}

int Sy(int v)
{
    return (v * Dpi(LOGPIXELSY) + 48) / 96;
}

struct Fonts
{
    HFONT calendar = nullptr, clock = nullptr;
    ~Fonts()
    {
        DeleteObject(calendar);
        DeleteObject(clock);
    }
};

void MakeFonts(const Options& o, Fonts& fonts)
{
    LOGFONTW lf;
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
    LOGFONTW calendar = lf;
    std::wcsncpy(calendar.lfFaceName, o.font.c_str(), LF_FACESIZE - 1);
    calendar.lfHeight = -(Dpi(LOGPIXELSY) * o.fontSize / 72);
    if (o.fontBold)
        calendar.lfWeight = FW_BOLD;
    LOGFONTW clock = calendar;
    std::wcsncpy(clock.lfFaceName, o.clockFont.c_str(), LF_FACESIZE - 1);
    clock.lfHeight = -(Dpi(LOGPIXELSY) * o.clockFontSize / 72);
    clock.lfWeight = (o.fontBold || o.clockFontBold) ? FW_BOLD : lf.lfWeight;
    fonts.calendar = CreateFontIndirectW(&calendar);
    fonts.clock = CreateFontIndirectW(&clock);
}

int DaysIn(int month, int year)
{
    using namespace date;
    return static_cast<int>(static_cast<unsigned>(
        (year_month_day_last{date::year{year}, month_day_last{date::month{static_cast<unsigned>(month)}}}).day()));
}

} // namespace

Scene SceneOn(const SYSTEMTIME& now, const Options& options)
{
    Scene scene;
    scene.options = options;
    scene.month = scene.todayMonth = now.wMonth;
    scene.year = scene.todayYear = now.wYear;
    scene.todayDay = now.wDay;
    scene.hour = now.wHour;
    scene.minute = now.wMinute;
    return scene;
}

Metrics Measure(const Scene& scene)
{
    Fonts fonts;
    MakeFonts(scene.options, fonts);
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, fonts.calendar);
    SIZE size;
    GetTextExtentPoint32W(screen, L"00", 2, &size);
    TEXTMETRICW tm;
    GetTextMetricsW(screen, &tm);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);

    Metrics m;
    m.cell = size.cx + Sx(4);
    m.row = tm.tmHeight;
    m.clockHeight = 2 * m.row;

    using namespace date;
    const year_month_day first{date::year{scene.year}, date::month{static_cast<unsigned>(scene.month)}, day{1}};
    const weekday wd{sys_days{first}};
    m.firstWeekday = static_cast<int>(wd.iso_encoding());
    const iso_week::year_weeknum_weekday iso{sys_days{first}};
    m.firstWeek = iso.year() != iso_week::year{scene.year} ? 0
                  : static_cast<int>(static_cast<unsigned>(iso.weeknum())) - (wd == Monday ? 1 : 0);
    const int cells = m.firstWeekday - 1 + DaysIn(scene.month, scene.year);
    m.rows = (cells + 6) / 7 + (scene.options.dayNames ? 1 : 0);
    m.height = m.rows * m.row;
    return m;
}

testhost::Image Render(const Scene& scene)
{
    const Options& o = scene.options;
    const Metrics m = Measure(scene);
    const int width = scene.width;
    const int height = m.height;

    Fonts fonts;
    MakeFonts(o, fonts);
    HBITMAP bitmap = testhost::MakeBackground(width, height, scene.origin);
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    if (scene.highlight) {
        HBRUSH band = CreateSolidBrush(*scene.highlight);
        const RECT all = {0, 0, width, height};
        FillRect(dc, &all, band);
        DeleteObject(band);
    }

    SetBkMode(dc, TRANSPARENT);
    if (o.alarm && scene.icon)
        DrawIconEx(dc, Sx(2), Sy(2), scene.icon, 0, 0, 0, nullptr, DI_NORMAL);

    int x0 = width - (o.weeks ? 8 * m.cell + Sx(15) : 7 * m.cell + Sx(5));
    const HGDIOBJ previousFont = SelectObject(dc, fonts.calendar);
    wchar_t text[64];
    if (o.clock) {
        SelectObject(dc, fonts.clock);
        SetTextColor(dc, o.color4);
        RECT clock = {0, m.clockHeight, x0 - 1, height};
        std::swprintf(text, 64, L"%02d:%02d", scene.hour, scene.minute);
        DrawTextW(dc, text, -1, &clock, DT_CENTER);
        SelectObject(dc, fonts.calendar);
        SetTextColor(dc, scene.text);
        RECT header = {0, 0, x0 - 1, m.clockHeight};
        std::swprintf(text, 64, L"%ls\r\n%d", kMonths[scene.month - 1], scene.year);
        DrawTextW(dc, text, -1, &header, DT_CENTER | DT_WORDBREAK);
    } else {
        x0 /= 2;
    }

    const int weekLeft = x0 + 7 * m.cell + Sx(15);
    if (o.weeks) {
        MoveToEx(dc, x0 + 7 * m.cell + Sx(10), 0, nullptr);
        LineTo(dc, x0 + 7 * m.cell + Sx(10), height);
    }
    int top = 0;
    if (o.dayNames) {
        SetTextColor(dc, scene.text);
        for (int c = 0; c < 7; ++c) {
            RECT cell = {x0 + c * m.cell, 0, x0 + (c + 1) * m.cell, m.row};
            DrawTextW(dc, kWeekdays[c], -1, &cell, DT_RIGHT);
        }
        top = m.row;
    }
    const bool current = scene.month == scene.todayMonth && scene.year == scene.todayYear;
    const int days = DaysIn(scene.month, scene.year);
    const int lastRow = (m.firstWeekday - 1 + days - 1) / 7;
    for (int d = 1; d <= days; ++d) {
        const int index = m.firstWeekday - 1 + d - 1;
        const int column = index % 7, row = index / 7;
        COLORREF color = scene.text;
        if (current && d == scene.todayDay)
            color = o.color3;
        else if (static_cast<DWORD>(column + 1) > 7u - o.weekend)
            color = column == 5 ? o.color1 : o.color2;
        SetTextColor(dc, color);
        RECT cell = {x0 + column * m.cell, top + row * m.row, x0 + (column + 1) * m.cell, top + (row + 1) * m.row};
        std::swprintf(text, 64, L"%d", d);
        DrawTextW(dc, text, -1, &cell, DT_RIGHT);
        const bool rowEnds = column == 6 || d == days;
        if (o.weeks && rowEnds) {
            const int number = m.firstWeek + row;
            // A row ending on Sunday shows no 0; the last, short row always shows its number.
            if (number != 0 || (column != 6 && row == lastRow)) {
                SetTextColor(dc, scene.text);
                RECT week = {weekLeft, top + row * m.row, weekLeft + m.cell, top + (row + 1) * m.row};
                std::swprintf(text, 64, L"%d", number);
                DrawTextW(dc, text, -1, &week, DT_LEFT);
            }
        }
    }
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);

    HDC capture = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(capture, bitmap);
    testhost::Image image = testhost::CaptureDc(capture, width, height);
    SelectObject(capture, old);
    DeleteDC(capture);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return image;
}

std::string Difference(const testhost::Image& expected, const testhost::Image& actual)
{
    std::ostringstream out;
    if (expected.width != actual.width || expected.height != actual.height) {
        out << "size " << actual.width << "x" << actual.height << ", expected " << expected.width << "x"
            << expected.height;
        return out.str();
    }
    int count = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (expected.At(x, y) != actual.At(x, y) && count++ == 0)
                firstX = x, firstY = y;
    if (count == 0)
        return "";
    out << count << " pixels differ, the first at (" << firstX << ", " << firstY << "): 0x" << std::hex
        << actual.At(firstX, firstY) << " instead of 0x" << expected.At(firstX, firstY);
    return out.str();
}

} // namespace face
