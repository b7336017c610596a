// mesolune.dll as the Today screen sees it: loaded by path, entered by
// ordinal, judged by its window's pixels; this build's module, or the ARM
// build's on the device's emulated processor (ItemUnderTest.h).
#include "AlarmsPageIds.h"
#include "DeviceFacts.h"
#include "DeviceProgram.h"
#include "DialogDriver.h"
#include "FaceReference.h"
#include "ItemUnderTest.h"
#include "RegistryFixture.h"
#include "TestHost.h"

#include <deviceclock.h>
#include <devicememory.h>
#include <todaycmn.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kTop = 26;

SYSTEMTIME Time(int year, int month, int day, int hour, int minute)
{
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(year), t.wMonth = static_cast<WORD>(month), t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour), t.wMinute = static_cast<WORD>(minute);
    return t;
}

constexpr const wchar_t* kClockKey = L"Software\\Microsoft\\Clock";

class MesoluneModule : public testreg::CleanSettings
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_ITEM_MODULE();
        testreg::CleanSettings::SetUp();
        testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
        host.itemOrigin = POINT{0, kTop};
    }

    void TearDown() override
    {
        Unload();
        DeviceResetClock();
        testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
        testreg::CleanSettings::TearDown();
    }

    // A bell of the module at the size the screen wants, or none.
    HICON Bell(bool on)
    {
        HDC screen = GetDC(nullptr);
        const bool large = GetDeviceCaps(screen, LOGPIXELSX) == 192;
        ReleaseDC(nullptr, screen);
        const int id = on ? (large ? 102 : 103) : (large ? 104 : 105);
        HICON icon = static_cast<HICON>(LoadImageW(module->Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, 0));
        bells.push_back(icon);
        return icon;
    }

    void Load(const SYSTEMTIME& now)
    {
        DeviceHoldClock(TRUE);
        SetLocalTime(&now);
        module = itemundertest::Load();
        ASSERT_NE(nullptr, module);
    }

    HWND Initialize()
    {
        window = module->Initialize(&record, host.Window());
        return window;
    }

    LRESULT Query()
    {
        return SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    }

    void Unload()
    {
        for (HICON icon : bells)
            DestroyIcon(icon);
        bells.clear();
        if (window && IsWindow(window))
            DestroyWindow(window);
        window = nullptr;
        module.reset();
    }

    // The host's part after the first query: the item at its place and height.
    testhost::Image Placed()
    {
        SetWindowPos(window, nullptr, 0, kTop, GetSystemMetrics(SM_CXSCREEN), static_cast<int>(record.cyp),
            SWP_NOZORDER);
        UpdateWindow(window);
        return testhost::CaptureWindow(window);
    }

    face::Scene SceneAt(const SYSTEMTIME& now, const face::Options& options, bool alarmSet = false)
    {
        face::Scene scene = face::SceneOn(now, options);
        scene.text = host.textColor;
        scene.origin = {0, kTop};
        scene.width = GetSystemMetrics(SM_CXSCREEN);
        scene.icon = Bell(alarmSet);
        return scene;
    }

    // The module loaded with the alarms read every second, the bell grey; the
    // options of that face.
    face::Options StartWithTheBellOff(const SYSTEMTIME& now)
    {
        testreg::PutDWord(L"Alarm", 1);
        Load(now);
        DeviceSetTickCount(5000);
        face::Options options;
        options.alarm = 1000;
        if (!Initialize()) {
            ADD_FAILURE() << "export 240 made no window";
            return options;
        }
        Query();
        EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, options, false)), Placed()));
        return options;
    }

    // The host's refresh: a query, then the paint it may have asked for.
    testhost::Image Refreshed()
    {
        Query();
        UpdateWindow(window);
        return testhost::CaptureWindow(window);
    }

    testhost::TestHost host;
    std::unique_ptr<ItemModule> module;
    TODAYLISTITEM record = testhost::ShownItemRecord();
    HWND window = nullptr;
    std::vector<HICON> bells;
};

TEST_F(MesoluneModule, Export240MakesTheItemWindowAndTheFirstQueryHandsOverItsHeight)
{
    const SYSTEMTIME now = Time(2026, 12, 8, 9, 41);
    Load(now);
    ASSERT_NE(nullptr, Initialize());
    EXPECT_EQ(host.Window(), GetParent(window));
    EXPECT_TRUE(IsWindowVisible(window));
    wchar_t text[64];
    GetClassNameW(window, text, 64);
    EXPECT_STREQ(L"MesoluneClass", text);
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(L"MesoluneWindow", text);
    RECT rc;
    GetWindowRect(window, &rc);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rc.right - rc.left);

    EXPECT_EQ(TRUE, Query());
    EXPECT_EQ(static_cast<DWORD>(face::Measure(SceneAt(now, {})).height), record.cyp);
    EXPECT_EQ(FALSE, Query());
    EXPECT_EQ(1, host.colorRequests);
}

TEST_F(MesoluneModule, ShowsTheFaceOfTheStoredSettings)
{
    struct Case
    {
        SYSTEMTIME now;
        face::Options options;
    };
    face::Options twoDays;
    twoDays.weekend = 2;
    twoDays.color1 = RGB(255, 0, 0);
    twoDays.color2 = RGB(0, 0, 255);
    twoDays.color3 = RGB(0, 255, 0);
    twoDays.color4 = RGB(255, 255, 0);
    face::Options bare;
    bare.weeks = 0;
    bare.dayNames = 0;
    face::Options noClock;
    noClock.clock = 0;
    noClock.weekend = 0;
    face::Options big;
    big.fontSize = 9;
    big.fontBold = 1;
    big.clockFontSize = 14;
    big.font = L"Courier New";
    const Case cases[] = {
        {Time(2026, 12, 8, 9, 41), {}},
        {Time(2026, 12, 12, 0, 0), twoDays},
        {Time(2027, 1, 1, 23, 59), {}},
        {Time(2026, 6, 30, 7, 5), bare},
        {Time(2026, 3, 1, 12, 0), noClock},
        {Time(2021, 2, 14, 18, 30), big},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.now.wDay << "." << c.now.wMonth << "." << c.now.wYear);
        Unload();
        testreg::DeleteTree(HKEY_CURRENT_USER, testreg::kKey);
        const face::Options& o = c.options;
        testreg::PutDWord(L"Color1", o.color1);
        testreg::PutDWord(L"Color2", o.color2);
        testreg::PutDWord(L"Color3", o.color3);
        testreg::PutDWord(L"Color4", o.color4);
        testreg::PutDWord(L"Weekend", o.weekend);
        testreg::PutDWord(L"Weeks", o.weeks);
        testreg::PutDWord(L"Clock", o.clock);
        testreg::PutDWord(L"DayNames", o.dayNames);
        testreg::PutDWord(L"FontSize", static_cast<DWORD>(o.fontSize));
        testreg::PutDWord(L"FontBold", o.fontBold);
        testreg::PutDWord(L"ClockFontSize", static_cast<DWORD>(o.clockFontSize));
        testreg::PutString(L"Font", o.font);
        Load(c.now);
        ASSERT_NE(nullptr, Initialize());
        Query();
        const testhost::Image shown = Placed();
        EXPECT_EQ("", face::Difference(face::Render(SceneAt(c.now, o)), shown));
    }
}

TEST_F(MesoluneModule, TheBellTurnsOrangeAfterTheIntervalWhenAlarmTwoIsSet)
{
    const SYSTEMTIME now = Time(2026, 12, 8, 9, 41);
    const face::Options options = StartWithTheBellOff(now);
    ASSERT_NE(nullptr, window);

    const BYTE on = 1;
    testreg::Put(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Clock\\2", L"AlarmFlags", REG_BINARY, &on, 1);
    DeviceSetTickCount(5500); // within the interval: not read yet
    EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, options, false)), Refreshed()));
    DeviceSetTickCount(6100);
    EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, options, true)), Refreshed()));

    testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
    DeviceSetTickCount(7200);
    EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, options, false)), Refreshed()));
}

TEST_F(MesoluneModule, TheClockFollowsTheMinute)
{
    SYSTEMTIME now = Time(2026, 12, 8, 9, 41);
    Load(now);
    ASSERT_NE(nullptr, Initialize());
    Query();
    Placed();
    now.wMinute = 42;
    SetLocalTime(&now);
    EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, {})), Refreshed()));
}

TEST_F(MesoluneModule, SwitchingAnAlarmOnInTheClockSettingsShowsAtTheNextRead)
{
    const SYSTEMTIME now = Time(2026, 12, 8, 9, 41);
    const face::Options options = StartWithTheBellOff(now);
    ASSERT_NE(nullptr, window);

    // The user opens the clock's alarms, switches the first one on and says OK.
    deviceprogram::RunningProgram clock(L"ctlpnl.exe", L"cplmain.cpl,16,1");
    ASSERT_TRUE(clock.Started());
    HWND page = clock.WaitForWindow();
    ASSERT_NE(nullptr, page);
    SendMessageW(GetDlgItem(page, IDC_ALARM_FIRST), BM_CLICK, 0, 0);
    SendMessageW(GetDlgItem(page, IDOK), BM_CLICK, 0, 0);

    EXPECT_EQ(0, clock.WaitForExit());

    DeviceSetTickCount(6100);
    EXPECT_EQ("", face::Difference(face::Render(SceneAt(now, options, true)), Refreshed()));
}

TEST_F(MesoluneModule, AnItemSwitchedOffMakesNothing)
{
    Load(Time(2026, 12, 8, 9, 41));
    const devicefacts::Counts before = devicefacts::Live();
    record.fEnabled = FALSE;
    EXPECT_EQ(nullptr, Initialize());
    EXPECT_EQ(nullptr, FindWindowExW(host.Window(), nullptr, L"MesoluneClass", nullptr));
    EXPECT_EQ(before, devicefacts::Live());
    EXPECT_EQ(0, host.colorRequests);
    // Switched on again, it is made.
    record.fEnabled = TRUE;
    EXPECT_NE(nullptr, Initialize());
}

TEST_F(MesoluneModule, TakesTheSelectionAndShowsItOnTheHostsHighlightUntilItLosesIt)
{
    const SYSTEMTIME now = Time(2026, 12, 8, 9, 41);
    Load(now);
    ASSERT_NE(nullptr, Initialize());
    Query();
    const face::Scene plain = SceneAt(now, {});
    EXPECT_EQ("", face::Difference(face::Render(plain), Placed()));

    for (const WPARAM key : {VK_DOWN, VK_UP}) {
        EXPECT_EQ(TRUE, SendMessageW(window, WM_TODAYCUSTOM_RECEIVEDSELECTION, key, 0));
        UpdateWindow(window);
        face::Scene selected = plain;
        selected.highlight = host.highlightColor;
        selected.text = host.highlightTextColor;
        EXPECT_EQ("", face::Difference(face::Render(selected), testhost::CaptureWindow(window)));
        // Up and down are passed on; the answers stay the default procedure's.
        EXPECT_EQ(0, SendMessageW(window, WM_TODAYCUSTOM_USERNAVIGATION, VK_DOWN, 0));
        EXPECT_EQ(0, SendMessageW(window, WM_TODAYCUSTOM_ACTION, VK_RETURN, 0));

        SendMessageW(window, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
        UpdateWindow(window);
        EXPECT_EQ("", face::Difference(face::Render(plain), testhost::CaptureWindow(window)));
    }
}

TEST_F(MesoluneModule, ReloadingAfterUnloadWorks)
{
    Load(Time(2026, 12, 8, 9, 41));
    ASSERT_NE(nullptr, Initialize());
    Unload();
    Load(Time(2026, 12, 8, 9, 41));
    ASSERT_NE(nullptr, Initialize());
    EXPECT_EQ(TRUE, Query());
    Unload();
    // A process that never calls export 240.
    Load(Time(2026, 12, 8, 9, 41));
    Unload();
}

TEST_F(MesoluneModule, ASecondExport240AfterTheWindowWasDestroyedMakesANewWindow)
{
    Load(Time(2026, 12, 8, 9, 41));
    HWND first = Initialize();
    ASSERT_NE(nullptr, first);
    Query();
    DestroyWindow(first);
    HWND second = Initialize();
    ASSERT_NE(nullptr, second);
    EXPECT_TRUE(IsWindow(second));
    TODAYLISTITEM fresh = {};
    EXPECT_EQ(TRUE, SendMessageW(second, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&fresh), 0));
    EXPECT_GT(fresh.cyp, 0u);
}

TEST_F(MesoluneModule, WithoutMemoryAtLoadTheModuleLoadsAndMakesNoItem)
{
    // A first life leaves the window class registered: nothing unregisters it.
    Load(Time(2026, 12, 8, 9, 41));
    ASSERT_NE(nullptr, Initialize());
    const HINSTANCE first = module->Instance();
    Unload();

    const devicefacts::Counts before = devicefacts::Live();
    DeviceFailAllocations(1);
    Load(Time(2026, 12, 8, 9, 41));
    DeviceFailAllocations(0);
    ASSERT_EQ(first, module->Instance()); // the class left behind leads to this module's window procedure
    EXPECT_EQ(nullptr, Initialize());
    EXPECT_EQ(before, devicefacts::Live());

    // Export 241 needs no item.
    dialogdriver::DialogDriver driver;
    driver.Expect([](HWND d, LPARAM) { PostMessageW(d, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(1, module->RunOptions(host.Window()));

    // A window of the class left behind reaches the window procedure.
    HWND stray = CreateWindowExW(0, L"MesoluneClass", L"", WS_CHILD | WS_VISIBLE, 0, kTop, 100, 50, host.Window(),
        nullptr, module->Instance(), nullptr);
    ASSERT_NE(nullptr, stray);
    EXPECT_EQ(0, SendMessageW(stray, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0));
    SendMessageW(stray, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(stray, WM_LBUTTONUP, 0, MAKELPARAM(40, 10));
    UpdateWindow(stray);
    DestroyWindow(stray);
    Unload();
}

TEST_F(MesoluneModule, ThreadsComingAndGoingChangeNothing)
{
    Load(Time(2026, 12, 8, 9, 41));
    ASSERT_NE(nullptr, Initialize());
    Query();
    HANDLE thread = CreateThread(nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(FALSE, Query());
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MesoluneModule, IconsLoadAtTheirOwnSize)
{
    Load(Time(2026, 12, 8, 9, 41));
    for (int id : {102, 103, 104, 105}) {
        SCOPED_TRACE(id);
        HICON icon = LoadIconW(module->Instance(), MAKEINTRESOURCEW(id));
        ASSERT_NE(nullptr, icon);
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap;
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        const int size = id == 102 || id == 104 ? 32 : 16;
        EXPECT_EQ(size, bitmap.bmWidth);
        EXPECT_EQ(size, bitmap.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_TRUE(DestroyIcon(icon));
    }
}

} // namespace
