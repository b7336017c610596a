// today.exe, the device's Today screen, run as a program and judged by its
// screenshot.
#include "BarPicture.h"
#include "DeviceFacts.h"
#include "DevicePath.h"
#include "DeviceProgram.h"
#include "DeviceRoot.h"
#include "DeviceScreenKey.h"
#include "ItemUnderTest.h"
#include "ShellBars.h"
#include "TestItemNotes.h"
#include "Utf8.h"

#include <aygshell.h>
#include <devicefiles.h>
#include <deviceplatform.h>
#include <devicescreen.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace deviceprogram;

int Channel(COLORREF c, int shift)
{
    return (c >> shift) & 0xFF;
}

bool Close(COLORREF a, COLORREF b, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance)
            return false;
    return true;
}

// The Today screen run with arguments shows a screen of this size, and the
// device's own screen is as it was.
void ExpectShownAndTheDevicesKept(const std::wstring& arguments, int width, int height, const DEVICE_SCREEN& device)
{
    TempFile png(L".png");
    ASSERT_EQ(0, RunProgram(L"today.exe", arguments + L" --screenshot \"" + png.Path() + L"\""));
    const Picture screen = ReadPng(png.Path());
    EXPECT_EQ(width, screen.width);
    EXPECT_EQ(height, screen.height);
    DEVICE_SCREEN after = {};
    ASSERT_TRUE(DeviceGetScreen(&after));
    EXPECT_STREQ(device.szProfile, after.szProfile);
    EXPECT_EQ(device.fLandscape, after.fLandscape);
}

// The calendar's options dialog, and where it keeps what it saves.
constexpr wchar_t kOptionsTitle[] = L"Настройки";
constexpr wchar_t kCalendarKey[] = L"Software\\Orvik\\Mesolune";

// A full-screen dialog's distance inside its frame, left of its controls.
constexpr int kInsideFrame = 5;

class TodayHost : public testing::Test
{
protected:
    // The Today screen's picture at a time, after a script of input.
    static Picture After(const std::wstring& time, const std::string& script)
    {
        TempFile file(L".txt"), png(L".png");
        std::wstring arguments = L"--time " + time + L" --screenshot \"" + png.Path() + L"\"";
        if (!script.empty()) {
            WriteTextFile(file.Path(), script);
            arguments += L" --input \"" + file.Path() + L"\"";
        }
        EXPECT_EQ(0, RunProgram(L"today.exe", arguments));
        return ReadPng(png.Path());
    }

    TodayItemsOverride items;
};

// What a first start installs is removed again at the end of the test.
struct UninstalledAfter
{
    ~UninstalledAfter() { RunProgram(L"wceload.exe", L"/uninstall Mesolune", 60000); }
};

bool Same(const Picture& a, const Picture& b)
{
    return a.width > 0 && a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// The Today screen with the calendar.
class TodayInput : public TodayHost
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_ITEM_MODULE();
        items.Add(L"Mesolune", itemundertest::Path(), 1, 1, 1);
    }

    // A point of the screen in pixels of a 96-dpi device.
    static std::string At(int x, int y)
    {
        return std::to_string(devicefacts::Scaled(x)) + "," + std::to_string(devicefacts::Scaled(y));
    }

    // A point of the day grid, which stands at the screen's right edge: x is
    // of a 240-pixel-wide 96-dpi screen and keeps its distance from the edge.
    static std::string InGrid(int x, int y)
    {
        return std::to_string(GetSystemMetrics(SM_CXSCREEN) - devicefacts::Scaled(240 - x)) + "," +
               std::to_string(devicefacts::Scaled(y));
    }

    // The clock column (month, year, time) of two pictures is the same.
    static bool SameClockColumn(const Picture& a, const Picture& b)
    {
        if (a.width == 0 || a.width != b.width || a.height != b.height)
            return false;
        const int title = MulDiv(26, devicefacts::ProfileDpi(), 96);
        for (int y = title; y < a.height / 2; ++y)
            for (int x = 0; x < a.width / 4; ++x)
                if (a.At(x, y) != b.At(x, y))
                    return false;
        return true;
    }
};

TEST_F(TodayHost, ShowsTheTitleBarAndTheItemsAtTheirHeights)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1);
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
    items.Add(L"Disabled", BinFolder() + L"test_item_tall.dll", 3, 0);
    TempFile png(L".png");
    ASSERT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T10:30 --screenshot \"" + png.Path() + L"\""));
    const Picture screen = ReadPng(png.Path());
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), screen.width);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), screen.height);

    const int title = MulDiv(26, devicefacts::ProfileDpi(), 96);
    const int mid = screen.width / 2;
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0);
    // The tall item's frame, then the short one's right below it.
    EXPECT_NE(red, screen.At(mid, title - 1));
    EXPECT_EQ(red, screen.At(mid, title));
    EXPECT_EQ(red, screen.At(0, title + 30));
    EXPECT_EQ(red, screen.At(mid, title + 59));
    EXPECT_EQ(green, screen.At(mid, title + 60));
    EXPECT_EQ(green, screen.At(mid, title + 89));
    EXPECT_NE(green, screen.At(mid, title + 90));
    EXPECT_NE(red, screen.At(mid, title + 120)); // the disabled item is not shown

    // The title bar is darker than the background, with white text on it.
    bool whiteText = false;
    for (int x = 0; x < screen.width / 2; ++x)
        whiteText = whiteText || screen.At(x, title / 2) == RGB(255, 255, 255);
    EXPECT_TRUE(whiteText);

    // The background is no flat fill, and each item shows the part of it that
    // lies behind the item: across the short item's lower edge it runs on.
    EXPECT_FALSE(Close(screen.At(5, screen.height - 5), screen.At(screen.width - 5, title + 100), 4));
    EXPECT_FALSE(Close(screen.At(5, title + 100), screen.At(5, screen.height - 5), 4));
    for (int x : {5, mid, screen.width - 5})
        EXPECT_TRUE(Close(screen.At(x, title + 88), screen.At(x, title + 91), 3)) << "x " << x;
    EXPECT_TRUE(Close(screen.At(mid, title + 58), screen.At(mid, title + 61), 3));
}

// The lines a program wrote that begin with prefix.
std::vector<std::string> LinesStartingWith(const std::string& output, const std::string& prefix)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < output.size();) {
        const size_t end = std::min(output.find('\n', at), output.size());
        const std::string line = output.substr(at, end - at);
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

TEST_F(TodayHost, AnItemThatCannotBeShownIsLeftOutWithALineNamingIt)
{
    TempFile garbled(L".dll");
    HANDLE file = CreateFileW(garbled.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "not a module", 12, &written, nullptr);
    CloseHandle(file);
    const struct
    {
        const wchar_t* name;
        std::wstring dll;
        const char* says;
    } cases[] = {
        {L"Missing", BinFolder() + L"no_such_item.dll", "today: the Today item Missing is left out: cannot load "},
        {L"Garbled", garbled.Path(), "today: the Today item Garbled is left out: cannot load "},
        {L"Windowless", BinFolder() + L"test_item_windowless.dll",
            "today: the Today item Windowless is left out: it made no window"},
    };
    const int title = devicefacts::Scaled(26);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        for (const bool alone : {false, true}) {
            SCOPED_TRACE(alone ? "alone" : "beside a working item");
            TodayItemsOverride only;
            if (!alone)
                only.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
            only.Add(c.name, c.dll, 1);
            TempFile png(L".png");
            std::string output;
            EXPECT_EQ(alone ? 1 : 0, RunProgram(L"today.exe", L"--screenshot \"" + png.Path() + L"\"", output));
            const std::vector<std::string> lines = LinesStartingWith(output, "today: ");
            ASSERT_EQ(alone ? 2u : 1u, lines.size()) << output;
            EXPECT_EQ(0u, lines[0].find(c.says)) << output;
            if (alone) {
                EXPECT_EQ(0u, lines[1].find("today: no Today item can be shown")) << output;
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(png.Path().c_str()));
                continue;
            }
            // The working item takes the first place.
            const Picture screen = ReadPng(png.Path());
            ASSERT_GT(screen.width, 0);
            EXPECT_EQ(RGB(0, 255, 0), screen.At(screen.width / 2, title));
            EXPECT_EQ(RGB(0, 255, 0), screen.At(screen.width - 1, title + 15));
        }
    }
}

// Installed by the device's installer from the CAB in its ROM, into the
// device's Windows folder.
TEST_F(TodayHost, AFirstStartInstallsTheCalendarFromTheCabInItsRom)
{
    TempFile png(L".png");
    std::string output;
    const UninstalledAfter uninstalled;
    ASSERT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T09:41 --screenshot \"" + png.Path() + L"\"", output))
        << output;
    const std::wstring dll = L"\\Windows\\mesolune.dll";
    EXPECT_NE(std::string::npos, output.find("no Today items were registered; installed Mesolune "
                                             "(\\Windows\\mesolune.dll) from \\Windows\\Mesolune.cab"))
        << output;
    wchar_t installed[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(dll.c_str(), installed, MAX_PATH));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(installed));
    const wchar_t* key = L"Software\\Microsoft\\Today\\Items\\Mesolune";
    wchar_t stored[MAX_PATH] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), key, L"DLL", RRF_RT_REG_SZ, nullptr, stored, &size));
    EXPECT_EQ(0, lstrcmpiW(dll.c_str(), stored));
    for (const auto& [name, value] : {std::pair{L"Order", 1u}, {L"Enabled", 1u}, {L"Options", 1u}, {L"Type", 4u}}) {
        DWORD number = 0;
        size = sizeof number;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(DeviceRoot(HKEY_LOCAL_MACHINE), key, name, RRF_RT_REG_DWORD, nullptr, &number, &size));
        EXPECT_EQ(value, number) << std::string(name, name + lstrlenW(name));
    }
    EXPECT_GT(ReadPng(png.Path()).width, 0);
}

TEST_F(TodayHost, TheCalendarShowsTheBackgroundOfItsOwnPlace)
{
    SKIP_WITHOUT_ITEM_MODULE();
    items.Add(L"Mesolune", itemundertest::Path(), 1);
    TempFile png(L".png");
    ASSERT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T09:41 --screenshot \"" + png.Path() + L"\""));
    const Picture screen = ReadPng(png.Path());
    ASSERT_GT(screen.width, 0);
    // Down the right edge, where the calendar draws nothing, the background
    // runs on across the item's edges.
    const int title = MulDiv(26, devicefacts::ProfileDpi(), 96);
    const int softKeys = screen.height - MulDiv(26, devicefacts::ProfileDpi(), 96);
    const int edge = screen.width - 1;
    for (int y = title + 1; y < softKeys; ++y)
        ASSERT_TRUE(Close(screen.At(edge, y - 1), screen.At(edge, y), 3)) << "y " << y;
    // And the calendar is there: the header row holds text in the text colour.
    bool text = false;
    for (int x = screen.width / 2; x < screen.width; ++x)
        for (int y = title; y < title + MulDiv(14, devicefacts::ProfileDpi(), 96); ++y)
            text = text || screen.At(x, y) == RGB(255, 255, 255);
    EXPECT_TRUE(text);
}

TEST_F(TodayHost, OpensAnItemsOptionsOverTheScreen)
{
    SKIP_WITHOUT_ITEM_MODULE();
    items.Add(L"Mesolune", itemundertest::Path(), 1, 1, 1);
    TempFile png(L".png");
    ASSERT_EQ(0, RunProgram(L"today.exe", L"--options Mesolune --screenshot \"" + png.Path() + L"\""));
    const Picture screen = ReadPng(png.Path());
    ASSERT_GT(screen.width, 0);
    // The full-screen dialog covers the Today screen down to the menu bar;
    // above it the navigation bar with its title and ok, no caption of its own.
    const int dpi = devicefacts::ProfileDpi();
    const int bar = shellbars::BarHeight(dpi);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), screen.At(kInsideFrame, screen.height - bar - 1));
    EXPECT_EQ(0, barpicture::RowsUnlike(screen, 0, barpicture::Bar(screen.width, dpi, true, kOptionsTitle, L"ok")));
    EXPECT_EQ(0, barpicture::RowsUnlike(screen, screen.height - bar, barpicture::Bar(screen.width, dpi, false, nullptr, nullptr)));
}

TEST_F(TodayInput, OkOnTheOptionsNavigationBarEndsThemAndTheScreensBarsAreBack)
{
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kCalendarKey);
    const Picture before = After(L"2026-12-08T09:41", "");
    const int bar = shellbars::BarHeight(devicefacts::ProfileDpi());
    const std::string ok = std::to_string(GetSystemMetrics(SM_CXSCREEN) - bar / 2) + "," + std::to_string(bar / 2);
    TempFile file(L".txt"), png(L".png");
    WriteTextFile(file.Path(), "wait 1000\ntap " + ok + "\nwait 500\n");
    ASSERT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T09:41 --options Mesolune --input \"" + file.Path() +
                                             L"\" --screenshot \"" + png.Path() + L"\""));
    const Picture after = ReadPng(png.Path());
    ASSERT_EQ(before.height, after.height);
    for (const int top : {0, after.height - bar}) {
        Picture rows = before;
        rows.pixels.assign(before.pixels.begin() + static_cast<size_t>(top) * before.width,
            before.pixels.begin() + static_cast<size_t>(top + bar) * before.width);
        rows.height = bar;
        EXPECT_EQ(0, barpicture::RowsUnlike(after, top, rows)) << "the bar at " << top;
    }
    // ok saved the options, as the dialog's own button did.
    HKEY saved = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(DeviceRoot(HKEY_CURRENT_USER), kCalendarKey, 0, KEY_READ, &saved));
    if (saved)
        RegCloseKey(saved);
}

TEST_F(TodayInput, StrokesStepTheMonthAndTheYear)
{
    const Picture january2027 = After(L"2027-01-08T09:41", "");
    const Picture december2025 = After(L"2025-12-08T09:41", "");
    const std::string grid = InGrid(150, 60);
    EXPECT_TRUE(SameClockColumn(january2027, After(L"2026-12-08T09:41", "stroke " + grid + " " + InGrid(200, 62))));
    EXPECT_TRUE(SameClockColumn(december2025, After(L"2026-12-08T09:41", "stroke " + grid + " " + InGrid(151, 100))));
    EXPECT_FALSE(SameClockColumn(january2027, december2025));
}

TEST_F(TodayInput, ATapAndTheActionKeyReturnToToday)
{
    const Picture today = After(L"2026-12-08T09:41", "");
    const std::string away = "stroke " + InGrid(150, 60) + " " + InGrid(200, 62) + "\n";
    EXPECT_TRUE(SameClockColumn(today, After(L"2026-12-08T09:41", away + "tap " + InGrid(150, 70))));
    // The keys reach the calendar once the down key has selected it.
    const Picture selectedToday = After(L"2026-12-08T09:41", "key down");
    EXPECT_TRUE(SameClockColumn(selectedToday, After(L"2026-12-08T09:41", away + "key down; key enter")));
    // (February's shorter height may have reached the screen meanwhile.)
    EXPECT_TRUE(SameClockColumn(selectedToday,
        After(L"2026-12-08T09:41", "key down; key right; key right; key enter; wait 2500")));
    // February 2027 is a row shorter: the screen shows it once its next
    // refresh has learnt the new height.
    EXPECT_TRUE(SameClockColumn(After(L"2027-02-08T09:41", "key down"),
        After(L"2026-12-08T09:41", "key down; key right; key right; wait 2500")));
}

// The Today screen's highlight, which it answers TODAYCOLOR_HIGHLIGHT.
constexpr COLORREF kHighlight = RGB(40, 110, 200);

int HighlightedPixels(const Picture& screen)
{
    return static_cast<int>(std::count(screen.pixels.begin(), screen.pixels.end(), kHighlight));
}

TEST_F(TodayInput, TheCalendarIsSelectedWithTheDownKeyAndOnlyThenHearsTheOthers)
{
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
    const Picture unselected = After(L"2026-12-08T09:41", "");
    // Unselected, the keys change nothing and nothing is highlighted.
    EXPECT_TRUE(Same(unselected, After(L"2026-12-08T09:41", "key right; key right; key enter")));
    EXPECT_EQ(0, HighlightedPixels(unselected));
    // Selected, its band is the highlight; once the selection has passed on
    // to the item below it, it is exactly as it was.
    const Picture selected = After(L"2026-12-08T09:41", "key down");
    EXPECT_GT(HighlightedPixels(selected), selected.width * devicefacts::Scaled(20));
    const Picture passedOn = After(L"2026-12-08T09:41", "key down; key down");
    ASSERT_EQ(unselected.width, passedOn.width);
    ASSERT_EQ(unselected.height, passedOn.height);
    // (The soft key names the options of the item selected, which has none.)
    const size_t aboveSoftKeys = static_cast<size_t>(unselected.width) * (unselected.height - devicefacts::Scaled(26));
    EXPECT_TRUE(std::equal(unselected.pixels.begin(), unselected.pixels.begin() + aboveSoftKeys, passedOn.pixels.begin()));
}

// The Today screens before Windows Mobile 5.0 give no item the selection:
// there the keys never reach the calendar, and the stylus still does.
TEST_F(TodayInput, BeforeWindowsMobile5TheKeysPassTheCalendarByAndTheStylusReachesIt)
{
    const struct
    {
        const wchar_t* platform;
        bool selects;
    } platforms[] = {{L"ppc2002", false}, {L"wm2003se", false}, {L"wm5", true}};
    for (const auto& p : platforms) {
        SCOPED_TRACE(Utf8(p.platform));
        const PlatformOfTheRun run(p.platform);
        DEVICE_PLATFORM described = {};
        ASSERT_TRUE(DeviceGetPlatform(&described));
        EXPECT_EQ(p.selects, described.fTodayKeys != FALSE);
        const Picture unselected = After(L"2026-12-08T09:41", "");
        const Picture keyed = After(L"2026-12-08T09:41", "key down");
        EXPECT_EQ(p.selects, HighlightedPixels(keyed) > 0);
        EXPECT_EQ(p.selects, !SameClockColumn(unselected, After(L"2026-12-08T09:41", "key down; key right")));
        EXPECT_TRUE(SameClockColumn(After(L"2027-01-08T09:41", ""),
            After(L"2026-12-08T09:41", "stroke " + InGrid(150, 60) + " " + InGrid(200, 62))));
    }
}

TEST_F(TodayInput, AHoldOpensTheOptions)
{
    const Picture screen = After(L"2026-12-08T09:41", "hold " + InGrid(150, 70));
    ASSERT_GT(screen.width, 0);
    const int bar = shellbars::BarHeight(devicefacts::ProfileDpi());
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), screen.At(kInsideFrame, screen.height - bar - 1));
}

TEST_F(TodayInput, ATapOnTheBellOpensTheClockSettings)
{
    After(L"2026-12-08T09:41", "tap " + At(8, 26 + 8));
    HWND page = AwaitWindow(L"#32770", L"Будильники");
    ASSERT_NE(nullptr, page);
    PostMessageW(page, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(TodayInput, AScriptWithAnErrorDoesNotRun)
{
    TempFile file(L".txt"), png(L".png");
    WriteTextFile(file.Path(), "tap 10,10\nstroke 1,2 3\n");
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--input \"" + file.Path() + L"\" --screenshot \"" + png.Path() + L"\""));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(png.Path().c_str()));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--input \"" + file.Path() + L".missing\""));
}

TEST_F(TodayHost, ABadCommandLineIsRefused)
{
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--time 2026-02-30T10:00"));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--time tomorrow"));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--frobnicate"));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--screenshot"));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--profile tiny"));
    EXPECT_EQ(2, RunProgram(L"today.exe", L"--profile"));
}

TEST_F(TodayInput, TurningTheScreenGivesTheCalendarTheNewWidth)
{
    const Picture upright = After(L"2026-12-08T09:41", "");
    for (const char* turn : {"rotate", "key r"}) {
        SCOPED_TRACE(turn);
        const Picture turned = After(L"2026-12-08T09:41", turn);
        ASSERT_EQ(upright.height, turned.width);
        ASSERT_EQ(upright.width, turned.height);
        // The week numbers end the day grid at the right edge of the new width.
        const int title = devicefacts::Scaled(26);
        int rightmost = -1;
        for (int y = title; y < title + devicefacts::Scaled(80); ++y)
            for (int x = 0; x < turned.width; ++x)
                if (turned.At(x, y) == RGB(255, 255, 255))
                    rightmost = std::max(rightmost, x);
        if (turned.width != upright.width) {
            EXPECT_GT(rightmost, upright.width);
        }
        EXPECT_GE(rightmost, turned.width - devicefacts::Scaled(20));
    }
    // Turned twice, the screen is as it was.
    EXPECT_TRUE(Same(upright, After(L"2026-12-08T09:41", "rotate; wait 100; rotate")));
}

TEST_F(TodayHost, AProfileAskedForIsShownAndTheDevicesComesBack)
{
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 1);
    DEVICE_SCREEN before = {};
    ASSERT_TRUE(DeviceGetScreen(&before));
    const struct
    {
        const wchar_t* arguments;
        int width, height;
    } cases[] = {{L"--profile square", 240, 240}, {L"--profile wvga --landscape", 800, 480},
        {L"--landscape", before.cy, before.cx}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments, c.arguments + lstrlenW(c.arguments)));
        ExpectShownAndTheDevicesKept(c.arguments, c.width, c.height, before);
    }
}

// What the tall test item keeps of what it heard, or was told.
constexpr wchar_t kTallItemKey[] = L"Software\\TestItems\\TestItem_tall";

DWORD TallItemValue(const wchar_t* name)
{
    return TestItemNote(L"TestItem_tall", name);
}

// An item that keeps the Today screen's thread busy at each stylus-down, as
// on a loaded machine: the script's next step waits for the screen, and a
// press the item comes to late is still judged by how long the stylus
// stayed down.
TEST_F(TodayHost, ASlowItemIsFollowedAndItsPressesJudgedByHowLongTheyLasted)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1);
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), L"Software\\TestItems");
    // Longer than a hold lasts.
    const DWORD slow = 1500;
    RegSetKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTallItemKey, L"StylusDownDelay", REG_DWORD, &slow, sizeof slow);
    const std::string press =
        std::to_string(GetSystemMetrics(SM_CXSCREEN) / 2) + "," + std::to_string(devicefacts::Scaled(26) + 30);
    const struct
    {
        std::string script;
        DWORD answer;
    } presses[] = {{"tap " + press, 0}, {"hold " + press, GN_CONTEXTMENU}};
    for (const auto& p : presses) {
        SCOPED_TRACE(p.script);
        RegDeleteKeyValueW(DeviceRoot(HKEY_CURRENT_USER), kTallItemKey, L"Gesture");
        After(L"2026-12-08T09:41", p.script);
        EXPECT_EQ(1u, TallItemValue(L"Gesture"));
        EXPECT_EQ(p.answer, TallItemValue(L"GestureLast"));
    }
    // The key after the slow press reaches the screen before its picture.
    After(L"2026-12-08T09:41", "tap " + press + "; key down");
    EXPECT_EQ(1u, TallItemValue(L"ReceivedSelection"));
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), L"Software\\TestItems");
}

TEST_F(TodayHost, ChangedOptionsReloadTheItemsEachToldFirst)
{
    SKIP_WITHOUT_ITEM_MODULE();
    items.Add(L"Mesolune", itemundertest::Path(), 1, 1, 1);
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 2);
    for (const int answer : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(answer == IDOK ? "OK" : "cancelled");
        RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), L"Software\\TestItems");
        RunningProgram today(L"today.exe", L"--options Mesolune");
        ASSERT_TRUE(today.Started());
        HWND dialog = AwaitWindow(L"#32770", L"Настройки");
        ASSERT_NE(nullptr, dialog);
        PostMessageW(dialog, WM_COMMAND, answer, 0);
        HWND screen = AwaitWindow(DEVICE_SCREEN_WINDOW_CLASS, nullptr);
        ASSERT_NE(nullptr, screen);
        ASSERT_TRUE(waiting::Until([&] { return !IsWindow(dialog); }, "the options dialog to go"));
        // The dialog gone, the screen's next message comes after its answer
        // has been followed (the reload included).
        ASSERT_TRUE(waiting::Answered(screen, "the Today screen to follow the dialog's answer"));
        EXPECT_EQ(answer == IDOK ? 1u : 0u, ClearCacheCount(L"TestItem_tall"));
        EXPECT_NE(nullptr, FindWindowExW(screen, nullptr, L"TestItem_tall", nullptr)); // back after the reload
        PostMessageW(screen, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, today.WaitForExit());
    }
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), L"Software\\TestItems");
}

TEST_F(TodayHost, OnADesktopTheScreenIsAnOrdinaryWindowOfTheScreensSize)
{
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 1);
    wchar_t bare[8] = {};
    const bool wasBare = GetEnvironmentVariableW(L"DEVICE_BARE_DISPLAY", bare, 8) > 0;
    for (const bool onBareServer : {true, false}) {
        SCOPED_TRACE(onBareServer ? "bare X server" : "desktop");
        SetEnvironmentVariableW(L"DEVICE_BARE_DISPLAY", onBareServer ? L"1" : nullptr);
        RunningProgram today(L"today.exe", L"");
        HWND screen = today.WaitForWindow();
        ASSERT_NE(nullptr, screen);
        RECT client;
        GetClientRect(screen, &client);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), client.right);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), client.bottom);
        const LONG_PTR style = GetWindowLongPtrW(screen, GWL_STYLE);
        EXPECT_EQ(!onBareServer, (style & WS_CAPTION) == WS_CAPTION);
        wchar_t title[96] = {};
        GetWindowTextW(screen, title, 96);
        DEVICE_SCREEN device = {};
        DeviceGetScreen(&device);
        EXPECT_EQ(0, std::wstring(title).find(L"Mesolune device: " + std::wstring(device.szProfile)));
        if (onBareServer) {
            POINT corner = {0, 0};
            ClientToScreen(screen, &corner);
            EXPECT_EQ(0, corner.x);
            EXPECT_EQ(0, corner.y);
        }
        PostMessageW(screen, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, today.WaitForExit());
    }
    SetEnvironmentVariableW(L"DEVICE_BARE_DISPLAY", wasBare ? bare : nullptr);
}

TEST_F(TodayHost, ADeviceProfileThatCannotBeReadShowsTheFirstAndSaysSo)
{
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 1);
    const DeviceScreenKey kept;
    using devicescreenkey::Number;
    using devicescreenkey::Text;
    const struct
    {
        const char* what;
        std::vector<DeviceScreenKey::Value> values;
        const char* says;
    } cases[] = {
        {"deleted key", {}, "today: the device has no screen profile"},
        {"unknown name", {{L"Profile", REG_SZ, Text(L"tiny")}}, "today: the device's screen profile is none it knows"},
        {"number for a name", {{L"Profile", REG_DWORD, Number(1)}},
            "today: the device's screen profile is not of its type"},
    };
    const std::string first = "it shows " + std::string("qvga") + " (--profile chooses another)";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceScreenKey::Clear();
        for (const auto& value : c.values)
            DeviceScreenKey::Write(value);
        TempFile png(L".png");
        std::string output;
        ASSERT_EQ(0, RunProgram(L"today.exe", L"--screenshot \"" + png.Path() + L"\"", output));
        const std::vector<std::string> lines = LinesStartingWith(output, "today: ");
        ASSERT_EQ(1u, lines.size()) << output;
        EXPECT_EQ(0u, lines[0].find(c.says)) << output;
        EXPECT_NE(std::string::npos, lines[0].find(first)) << output;
        // The first profile's screen, and the item at its width.
        const Picture screen = ReadPng(png.Path());
        ASSERT_EQ(240, screen.width);
        ASSERT_EQ(320, screen.height);
        EXPECT_EQ(RGB(0, 255, 0), screen.At(239, 26 + 15));
        EXPECT_NE(RGB(0, 255, 0), screen.At(239, 26 + 30));
    }
}

TEST_F(TodayHost, AKilledRunLeavesTheNextOneTheScreenItAsksFor)
{
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 1);
    DEVICE_SCREEN device = {};
    ASSERT_TRUE(DeviceGetScreen(&device));
    TempFile script(L".txt");
    WriteTextFile(script.Path(), "key r\n");
    for (const wchar_t* arguments : {L"--profile wvga", L"--landscape"}) {
        SCOPED_TRACE(std::string(arguments, arguments + lstrlenW(arguments)));
        {
            RunningProgram turned(L"today.exe", std::wstring(arguments) + L" --input \"" + script.Path() + L"\"");
            HWND screen = turned.WaitForWindow();
            ASSERT_NE(nullptr, screen);
            // Its title says how the screen stands: turned from how it started.
            const bool startsLandscape = std::wstring(arguments) == L"--landscape";
            ASSERT_TRUE(waiting::Until(
                [&] {
                    wchar_t title[96] = {};
                    GetWindowTextW(screen, title, 96);
                    return (std::wstring(title).find(L", landscape") != std::wstring::npos) != startsLandscape;
                },
                "the screen to be turned"));
        } // killed, turned
        ExpectShownAndTheDevicesKept(L"", device.cx, device.cy, device);
    }
}

// A folder of the device's programs, made for a test and removed afterwards.
class DeviceFolder
{
public:
    explicit DeviceFolder(const std::wstring& path) : path_(path) { CreateDirectoryW(path_.c_str(), nullptr); }
    ~DeviceFolder()
    {
        for (const std::wstring& file : files_)
            DeleteFileW((path_ + L"\\" + file).c_str());
        RemoveDirectoryW(path_.c_str());
    }
    // The error of a copy that failed, or 0.
    DWORD Copy(const std::wstring& file)
    {
        files_.push_back(file);
        return CopyFileW((BinFolder() + file).c_str(), (path_ + L"\\" + file).c_str(), FALSE) ? 0 : GetLastError();
    }
    bool MoveTo(const std::wstring& path)
    {
        if (!MoveFileW(path_.c_str(), path.c_str()))
            return false;
        path_ = path;
        return true;
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

TEST_F(TodayHost, AMovedDeviceFolderFindsItsItemsAgain)
{
    TempFile first(L".device"), moved(L".moved");
    DeviceFolder folder(first.Path());
    // The device's build: its programs and libraries, the calendar's native
    // code among them, which is all a native CAB may run.
    for (const wchar_t* file : {L"today.exe", L"coredll.dll", L"aygshell.dll", L"commctrl.dll", L"commdlg.dll",
             L"wceload.exe", L"Mesolune.cab", L"mesolune.dll", L"mesolune_setup.dll"})
        ASSERT_EQ(0u, folder.Copy(file)) << "copying " << file;
    std::string output;
    TempFile picture(L".png");
    const UninstalledAfter uninstalled;
    ASSERT_EQ(0, RunProgram(folder.Path() + L"\\today.exe", L"--screenshot \"" + picture.Path() + L"\"", output))
        << output;
    ASSERT_NE(std::string::npos, output.find("installed Mesolune")) << output;
    ASSERT_TRUE(folder.MoveTo(moved.Path()));
    TempFile png(L".png");
    EXPECT_EQ(0, RunProgram(folder.Path() + L"\\today.exe", L"--screenshot \"" + png.Path() + L"\"", output))
        << output;
    EXPECT_EQ(std::string::npos, output.find("today: ")) << output;
    EXPECT_GT(ReadPng(png.Path()).width, 0);
}

// The calendar built for ARM, run on the device's emulated processor, shows
// what this build's shows, pixel for pixel, upright and turned.
TEST_F(TodayHost, TheArmCalendarShowsWhatThisBuildsShows)
{
    SKIP_WITHOUT_CE_BUILD();
    const std::wstring modules[] = {BinFolder() + L"mesolune.dll", CeBuildFile("mesolune.dll")};
    for (const wchar_t* turned : {L"", L" --landscape"}) {
        Picture pictures[2];
        for (int i = 0; i < 2; ++i) {
            TodayItemsOverride only;
            only.Add(L"Mesolune", modules[i], 1, 1, 1);
            TempFile png(L".png");
            std::string output;
            ASSERT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T09:41" + std::wstring(turned) +
                                                      L" --screenshot \"" + png.Path() + L"\"", output))
                << output;
            pictures[i] = ReadPng(png.Path());
        }
        EXPECT_TRUE(Same(pictures[0], pictures[1])) << (*turned ? "landscape" : "portrait");
    }
}

// Two copies of the ARM module at once: the second cannot stand at the base
// the first took and is relocated, and each module's window, of a class of
// the same name, runs its own module's code.
TEST_F(TodayHost, TwoCopiesOfTheArmModuleEachShowTheCalendar)
{
    SKIP_WITHOUT_CE_BUILD();
    const std::wstring first = CeBuildFile("mesolune.dll");
    TempFile second(L".dll");
    ASSERT_TRUE(CopyFileW(first.c_str(), second.Path().c_str(), FALSE));
    const auto screen = [](TodayItemsOverride& shown) {
        shown.Add(L"Short", BinFolder() + L"test_item_short.dll", 3);
        TempFile png(L".png");
        EXPECT_EQ(0, RunProgram(L"today.exe", L"--time 2026-12-08T09:41 --screenshot \"" + png.Path() + L"\""));
        return ReadPng(png.Path());
    };
    Picture one, two;
    {
        TodayItemsOverride shown;
        shown.Add(L"Mesolune", first, 1, 1, 1);
        one = screen(shown);
    }
    {
        TodayItemsOverride shown;
        shown.Add(L"Mesolune", first, 1, 1, 1);
        shown.Add(L"Mesolune copy", second.Path(), 2, 1, 1);
        two = screen(shown);
    }
    ASSERT_GT(one.width, 0);
    ASSERT_EQ(one.height, two.height);
    // The calendar's band ends where the short item's green begins.
    const int title = MulDiv(26, devicefacts::ProfileDpi(), 96), mid = one.width / 2;
    int band = 0;
    while (title + band < one.height && one.At(mid, title + band) != RGB(0, 255, 0))
        ++band;
    ASSERT_GT(band, 0);
    ASSERT_LT(title + 2 * band, two.height);
    for (int y = title; y < title + band; ++y)
        for (int x = 0; x < one.width; ++x) {
            ASSERT_EQ(one.At(x, y), two.At(x, y)) << "the first copy at " << x << "," << y;
            ASSERT_EQ(one.At(x, y), two.At(x, y + band)) << "the second copy at " << x << "," << y + band;
        }
    EXPECT_EQ(RGB(0, 255, 0), two.At(mid, title + 2 * band));
}

// Whether a line goes on after the module's name with what it says, where each
// * stands for an address's eight hexadecimal digits.
bool SaysAfterTheName(const std::string& line, const std::string& file, const std::string& says)
{
    size_t at = line.find(file);
    if (at == std::string::npos)
        return false;
    at += file.size();
    for (char expected : says) {
        const int digits = expected == '*' ? 8 : 0;
        for (int d = 0; d < digits; ++d, ++at)
            if (at >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[at])))
                return false;
        if (!digits && (at >= line.size() || line[at++] != expected))
            return false;
    }
    return line.find_first_not_of(" \r\n", at) == std::string::npos;
}

// ARM items that fail as a device's processor reports it: each ends with
// one line naming the module, the address and the cause, and the Today
// screen goes on with its other items.
TEST_F(TodayHost, AnArmItemThatFailsEndsWithOneLineAndTheOthersGoOn)
{
    SKIP_WITHOUT_CE_BUILD();
    const struct
    {
        const char* file;
        const char* says; // after the module's name
    } cases[] = {
        {"faulty_misaligned.dll", " stopped at 0x*: a misaligned access at 0x*"},
        {"faulty_loop.dll", " stopped at 0x*: it ran for 3 seconds without calling out"},
        {"faulty_undefined.dll", " stopped at 0x*: an undefined instruction"},
        {"faulty_null.dll", " stopped at 0x*: a read of unmapped memory at 0x00000004"},
        {"faulty_import.dll", ": it imports GetSystemPowerStatusEx from COREDLL.dll, which the device cannot forward"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::wstring path = CeBuildFile(std::string("test-items/") + c.file);
        TodayItemsOverride only;
        only.Add(L"Faulty", path, 1);
        only.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
        TempFile png(L".png");
        std::string output;
        ASSERT_EQ(0, RunProgram(L"today.exe", L"--screenshot \"" + png.Path() + L"\"", output));
        const std::vector<std::string> lines = LinesStartingWith(output, "today: ");
        ASSERT_EQ(1u, lines.size()) << output;
        EXPECT_TRUE(SaysAfterTheName(lines[0], c.file, c.says)) << output;
        // The other item takes the first place.
        const Picture screen = ReadPng(png.Path());
        ASSERT_GT(screen.width, 0);
        EXPECT_EQ(RGB(0, 255, 0), screen.At(screen.width / 2, devicefacts::Scaled(26)));
    }
}

} // namespace
