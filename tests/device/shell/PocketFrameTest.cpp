// A dialog the device shows full screen, read back from the screen on every
// profile: no caption or frame of its own, the navigation bar (its title and
// ok) and the menu bar drawn as the Today screen draws its bars, at the
// screen's density; its check box, combo box, spin buttons and a list's check
// boxes at that density too, also after the desktop lays them out again; a tap
// on ok ends it with IDOK. And the control panel's pages in the same frame.
#include "BarPicture.h"
#include "DeviceInput.h"
#include "DeviceProgram.h"
#include "DialogDriver.h"
#include "Screenshot.h"
#include "ShellBars.h"

#include <aygshell.h>
#include <commctrl.h>
#include <devicescreen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace deviceprogram;

constexpr WORD kCheckId = 100;
constexpr WORD kComboId = 101;
constexpr WORD kPickerId = 102;
constexpr WORD kListId = 103;
constexpr DWORD kFrameFlags = SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_EMPTYMENU;
constexpr wchar_t kTitle[] = L"Проба";
// At 96 dpi, as the desktop draws them.
constexpr int kCheckGlyph = 13;
// A list view's state image, at 96 dpi as a Pocket PC's.
constexpr int kStateImage = 16;

// A dialog template as a desktop dialog's: visible, a caption, a close box, a font;
// a check box, a drop-down list, a time picker with spin buttons and a list view.
std::vector<WORD> DialogTemplate()
{
    std::vector<WORD> t;
    const auto dword = [&](DWORD d) { t.push_back(LOWORD(d)), t.push_back(HIWORD(d)); };
    const auto text = [&](const std::wstring& s) {
        t.insert(t.end(), s.begin(), s.end());
        t.push_back(0);
    };
    // A control of a system class (an atom) or of a class by name.
    const auto control = [&](DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
                             const std::wstring& title, const std::wstring& className = L"") {
        if (t.size() % 2)
            t.push_back(0);
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        t.insert(t.end(), {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx), static_cast<WORD>(cy)});
        t.push_back(id);
        if (className.empty()) {
            t.push_back(0xFFFF);
            t.push_back(atom);
        } else {
            text(className);
        }
        text(title);
        t.push_back(0);
    };
    dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    dword(0);
    t.push_back(4);
    t.insert(t.end(), {0, 0, 150, 150});
    t.push_back(0);
    t.push_back(0);
    text(kTitle);
    t.push_back(8);
    text(L"MS Shell Dlg");
    control(BS_AUTOCHECKBOX | WS_TABSTOP, 4, 20, 100, 10, kCheckId, 0x0080, L"Галочка");
    control(CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 4, 40, 80, 60, kComboId, 0x0085, L"");
    control(DTS_TIMEFORMAT | DTS_UPDOWN | WS_TABSTOP, 4, 60, 60, 14, kPickerId, 0, L"", DATETIMEPICK_CLASSW);
    control(LVS_REPORT | LVS_NOCOLUMNHEADER | WS_BORDER | WS_TABSTOP, 4, 80, 40, 20, kListId, 0, L"", WC_LISTVIEWW);
    return t;
}

INT_PTR CALLBACK FramedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, kFrameFlags};
        SHInitDialog(&info);
        SendDlgItemMessageW(dialog, kComboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"один"));
        SendDlgItemMessageW(dialog, kComboId, CB_SETCURSEL, 0, 0);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int ScreenDensity()
{
    DEVICE_SCREEN screen = {};
    DeviceGetScreen(&screen);
    return screen.dpi;
}

Picture Screen()
{
    RECT screen;
    DeviceScreenRect(&screen);
    const TempFile png(L".png");
    const std::wstring error = WriteScreenshot(screen, png.Path());
    EXPECT_EQ(L"", error);
    return ReadPng(png.Path());
}

// A bar as the Today screen draws it, width wide, at the screen's density.
Picture Bar(int width, bool navigation, const wchar_t* left, const wchar_t* right)
{
    return barpicture::Bar(width, ScreenDensity(), navigation, left, right);
}

// The length of the run of pixels unlike the background from x along a row
// (to the right, or with step -1 to the left), after any background.
int GlyphRun(const Picture& screen, int x, int y, int step, COLORREF background)
{
    while (x >= 0 && x < screen.width && screen.At(x, y) == background)
        x += step;
    int run = 0;
    while (x >= 0 && x < screen.width && screen.At(x, y) != background)
        x += step, ++run;
    return run;
}

// The widest row of text colour in an area of a picture.
int ArrowWidth(const Picture& picture, const RECT& area)
{
    int widest = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        int run = 0;
        for (int x = area.left; x < area.right; ++x)
            run += picture.At(x, y) == GetSysColor(COLOR_BTNTEXT);
        widest = std::max(widest, run);
    }
    return widest;
}

// The width of the arrow the desktop draws on a scroll button of a size.
int ScrollArrowWidth(int width, int height)
{
    const Picture button = barpicture::Drawn(width, height, [](HDC dc, const RECT& area) {
        RECT face = area;
        DrawFrameControl(dc, &face, DFC_SCROLL, DFCS_SCROLLUP);
    });
    return ArrowWidth(button, RECT{0, 0, width, height});
}

RECT ScreenRectOf(HWND window)
{
    RECT rect, screen;
    GetWindowRect(window, &rect);
    DeviceScreenRect(&screen);
    OffsetRect(&rect, -screen.left, -screen.top);
    return rect;
}

class PocketFrame : public testing::Test
{
protected:
    INT_PTR Run(dialogdriver::Step step)
    {
        driver.Expect(std::move(step));
        const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
        const std::vector<WORD> dialog = DialogTemplate();
        return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()),
            nullptr, FramedDialogProc, 0);
    }

    dialogdriver::DialogDriver driver;
};

TEST_F(PocketFrame, TheDialogStandsBetweenTheBarsItsTitleAndOkAbove)
{
    const int bar = shellbars::BarHeight(ScreenDensity());
    Run([&](HWND dialog, LPARAM) {
        const Picture screen = Screen();
        ASSERT_GT(screen.width, 0);
        // The navigation bar as the Today screen draws its own, holding the
        // title and ok: no caption above it, the dialog's face below it.
        EXPECT_EQ(0, barpicture::RowsUnlike(screen, 0, Bar(screen.width, true, kTitle, L"ok")));
        EXPECT_EQ(0, barpicture::RowsUnlike(screen, screen.height - bar, Bar(screen.width, false, nullptr, nullptr)));
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), screen.At(screen.width / 2, bar));
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), screen.At(screen.width / 2, screen.height - bar - 1));
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(screen.width, client.right);
        EXPECT_EQ(screen.height - 2 * bar, client.bottom);
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(PocketFrame, ItsCheckBoxComboAndSpinArrowsAreAtTheScreensDensity)
{
    const int dpi = ScreenDensity();
    Run([&](HWND dialog, LPARAM) {
        const Picture screen = Screen();
        ASSERT_GT(screen.width, 0);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        const RECT check = ScreenRectOf(GetDlgItem(dialog, kCheckId));
        const int middle = (check.top + check.bottom) / 2;
        EXPECT_NEAR(MulDiv(kCheckGlyph, dpi, 96), GlyphRun(screen, check.left, middle, 1, face), 1);
        // The combo box's button, from its right border to its text: the
        // desktop's width at the screen's density.
        const HWND combo = GetDlgItem(dialog, kComboId);
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(GetComboBoxInfo(combo, &info));
        const RECT box = ScreenRectOf(combo);
        const int row = box.top + (info.rcButton.top + info.rcButton.bottom) / 2;
        int x = box.left + info.rcButton.right - 1;
        int width = 0;
        while (x > box.left && screen.At(x, row) != GetSysColor(COLOR_WINDOW) &&
               screen.At(x, row) != GetSysColor(COLOR_HIGHLIGHT))
            --x, ++width;
        // The desktop's own density: the device answers a DC's with the screen's.
        const int desktopDpi = static_cast<int>(GetDpiForSystem());
        const int desktopWidth = GetSystemMetrics(SM_CXVSCROLL);
        EXPECT_NEAR(MulDiv(desktopWidth, dpi, desktopDpi), width, 2);
        // The time picker's up arrow, where the screen is denser than the
        // desktop: a scroll arrow as large as its widened button's.
        const HWND spin = FindWindowExW(GetDlgItem(dialog, kPickerId), nullptr, UPDOWN_CLASSW, nullptr);
        ASSERT_NE(nullptr, spin);
        RECT up = ScreenRectOf(spin);
        up.bottom = (up.top + up.bottom) / 2;
        if (dpi != desktopDpi) {
            EXPECT_EQ(ScrollArrowWidth(up.right - up.left, up.bottom - up.top), ArrowWidth(screen, up));
        }
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(PocketFrame, ATimePickerResizedKeepsItsSpinButtonsAtTheScreensDensity)
{
    Run([&](HWND dialog, LPARAM) {
        const HWND picker = GetDlgItem(dialog, kPickerId);
        const HWND spin = FindWindowExW(picker, nullptr, UPDOWN_CLASSW, nullptr);
        ASSERT_NE(nullptr, spin);
        const RECT shown = ScreenRectOf(spin);
        // The desktop lays its spin buttons out again, at its own density.
        const RECT box = ScreenRectOf(picker);
        SetWindowPos(picker, nullptr, 0, 0, box.right - box.left + 20, box.bottom - box.top,
            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const RECT resized = ScreenRectOf(spin);
        EXPECT_EQ(shown.right - shown.left, resized.right - resized.left);
        // Still at the picker's right edge.
        EXPECT_EQ(box.right - shown.right, ScreenRectOf(picker).right - resized.right);
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(PocketFrame, CheckBoxesGivenToAListLaterAreAtTheScreensDensity)
{
    const int dpi = ScreenDensity();
    Run([&](HWND dialog, LPARAM) {
        const HWND list = GetDlgItem(dialog, kListId);
        ASSERT_NE(nullptr, list);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
        int width = 0, height = 0;
        ASSERT_TRUE(ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_STATE), &width, &height));
        // Where the screen is denser than the desktop.
        if (dpi != static_cast<int>(GetDpiForSystem())) {
            EXPECT_EQ(MulDiv(kStateImage, dpi, 96), width);
            EXPECT_EQ(width, height);
        }
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(PocketFrame, ATapOnOkEndsItWithIdok)
{
    // The stylus plays from a thread of its own while the dialog's loop runs;
    // a tap that misses ends the dialog with IDCANCEL after a while.
    std::thread player;
    const INT_PTR result = Run([&](HWND dialog, LPARAM) {
        SetTimer(dialog, 1, waiting::kDeadlineMs,
            [](HWND missed, UINT, UINT_PTR, DWORD) { EndDialog(missed, IDCANCEL); });
        player = std::thread([] {
            RECT screen;
            DeviceScreenRect(&screen);
            const int bar = shellbars::BarHeight(ScreenDensity());
            const POINT ok = {screen.right - bar / 2, screen.top + bar / 2};
            deviceinput::BringPointerTo(ok);
            deviceinput::Approach(ok);
            deviceinput::Stylus(ok, MOUSEEVENTF_LEFTDOWN);
            deviceinput::Stylus(ok, MOUSEEVENTF_LEFTUP);
        });
    });
    player.join();
    EXPECT_EQ(IDOK, result) << "no tap on ok ended the dialog within " << waiting::kDeadlineMs / 1000 << " s";
}

// The control panel's pages: the page's name in the navigation bar with ok,
// an empty menu bar.
TEST(PocketFramePages, TheControlPanelsPagesStandInTheSameFrame)
{
    const struct
    {
        const wchar_t* applet;
        const wchar_t* title;
    } pages[] = {{L"cplmain.cpl,16,1", L"Будильники"}, {L"cplmain.cpl,2,1", L"Сегодня"}};
    const int bar = shellbars::BarHeight(ScreenDensity());
    for (const auto& page : pages) {
        SCOPED_TRACE(std::string(page.applet, page.applet + wcslen(page.applet)));
        const TempFile png(L".png");
        ASSERT_EQ(0, RunProgram(L"ctlpnl.exe", std::wstring(page.applet) + L" --screenshot \"" + png.Path() + L"\""));
        const Picture screen = ReadPng(png.Path());
        ASSERT_GT(screen.width, 0);
        EXPECT_EQ(0, barpicture::RowsUnlike(screen, 0, Bar(screen.width, true, page.title, L"ok")));
        EXPECT_EQ(0, barpicture::RowsUnlike(screen, screen.height - bar, Bar(screen.width, false, nullptr, nullptr)));
    }
}

} // namespace
