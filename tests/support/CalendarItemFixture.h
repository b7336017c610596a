// A calendar item object under the test host, with the settings and the
// device clock of each test.
#pragma once

#include "FaceReference.h"
#include "ModuleInstance.h"
#include "MyToday.h"
#include "RegistryFixture.h"
#include "Settings.h"
#include "TestHost.h"

#include <deviceclock.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace calendartest {

// Where the test host places the item.
constexpr int kTop = 30;

inline CMyToday* g_item = nullptr;
inline int g_erases = 0; // WM_ERASEBKGND messages the item window received

inline LRESULT CALLBACK ItemProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        ++g_erases;
    return g_item->WndProc(message, wParam, lParam);
}

inline SYSTEMTIME Time(int year, int month, int day, int hour = 10, int minute = 30)
{
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(year), t.wMonth = static_cast<WORD>(month), t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour), t.wMinute = static_cast<WORD>(minute);
    return t;
}

inline void Apply(const face::Options& o)
{
    Settings::Color1 = o.color1;
    Settings::Color2 = o.color2;
    Settings::Color3 = o.color3;
    Settings::Color4 = o.color4;
    Settings::Weekend = o.weekend;
    Settings::Weeks = o.weeks;
    Settings::DayNames = o.dayNames;
    Settings::Clock = o.clock;
    Settings::Alarm = o.alarm;
    Settings::FontSize = o.fontSize;
    Settings::ClockFontSize = o.clockFontSize;
    Settings::FontBold = o.fontBold;
    Settings::ClockFontBold = o.clockFontBold;
    lstrcpynW(Settings::Font, o.font.c_str(), Settings::kFaceNameLength);
    lstrcpynW(Settings::ClockFont, o.clockFont.c_str(), Settings::kFaceNameLength);
}

// The clock's alarms in the device registry.
constexpr const wchar_t* kClockKey = L"Software\\Microsoft\\Clock";

inline void PutAlarmFlags(int number, BYTE flags)
{
    const std::wstring key = std::wstring(kClockKey) + L"\\" + std::to_wstring(number);
    testreg::Put(HKEY_LOCAL_MACHINE, key.c_str(), L"AlarmFlags", REG_BINARY, &flags, 1);
}

// A bell as the module holds it, loaded by the test at the size the screen wants.
class Bell
{
public:
    explicit Bell(bool on)
    {
        HDC screen = GetDC(nullptr);
        const bool large = GetDeviceCaps(screen, LOGPIXELSX) == 192;
        ReleaseDC(nullptr, screen);
        const int id = on ? (large ? 102 : 103) : (large ? 104 : 105);
        icon_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, 0));
    }
    ~Bell() { DestroyIcon(icon_); }
    Bell(const Bell&) = delete;
    Bell& operator=(const Bell&) = delete;
    HICON Get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

class CalendarItem : public testreg::CleanSettings
{
protected:
    void SetUp() override
    {
        testreg::CleanSettings::SetUp();
        // The item's code is linked into the test program, with its resources.
        g_hInstance = GetModuleHandleW(nullptr);
        testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
        g_bAlarmSet = false;
        g_dwLastAlarmCheck = 0;
    }

    void TearDown() override
    {
        Destroy();
        DeviceResetClock();
        testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey);
        testreg::CleanSettings::TearDown();
    }

    // A new item created under the host on the given day, held at that time.
    void Make(const SYSTEMTIME& now, const face::Options& options = {})
    {
        Destroy();
        DeviceHoldClock(TRUE);
        SetLocalTime(&now);
        Apply(options);
        scene = face::SceneOn(now, options);
        scene.text = host.textColor;
        scene.origin = {0, kTop};
        scene.width = GetSystemMetrics(SM_CXSCREEN);
        scene.icon = offBell.Get();

        host.itemOrigin = POINT{0, kTop};
        item = std::make_unique<CMyToday>(GetModuleHandleW(nullptr), L"CalendarTestClass", L"CalendarTest");
        g_item = item.get();
        item->UnregisterWindowClass();
        item->RegisterWindowClass(ItemProc);
        item->Create(host.Window(), WS_CHILD | WS_VISIBLE);
        item->Show(TRUE);
    }

    void Destroy()
    {
        if (item && item->m_hWnd)
            DestroyWindow(item->m_hWnd);
        item.reset();
        g_item = nullptr;
    }

    // The host's part: it takes the item's height and places it.
    void Place()
    {
        TODAYLISTITEM record = {};
        record.cyp = static_cast<DWORD>(placedHeight);
        SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
        placedHeight = static_cast<int>(record.cyp);
        SetWindowPos(item->m_hWnd, nullptr, 0, kTop, GetSystemMetrics(SM_CXSCREEN), placedHeight, SWP_NOZORDER);
        UpdateWindow(item->m_hWnd);
    }

    testhost::Image Shown()
    {
        Place();
        return testhost::CaptureWindow(item->m_hWnd);
    }

    void ExpectFace()
    {
        const testhost::Image expected = face::Render(scene);
        const testhost::Image shown = Shown();
        EXPECT_EQ("", face::Difference(expected, shown));
    }

    Bell onBell{true}, offBell{false};
    testhost::TestHost host;
    std::unique_ptr<CMyToday> item;
    face::Scene scene;
    int placedHeight = 0;
};

} // namespace calendartest
