// ctlpnl.exe, the device's clock alarms page, driven through its controls.
#include "AlarmsPageIds.h"
#include "DeviceProgram.h"
#include "RegistryFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

namespace {

using deviceprogram::RunningProgram;

constexpr const wchar_t* kClockKey = L"Software\\Microsoft\\Clock";

std::wstring AlarmKey(int n)
{
    return std::wstring(kClockKey) + L"\\" + std::to_wstring(n);
}

struct StoredAlarm
{
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> flags;
    DWORD minutes = 0;
};

StoredAlarm Stored(int n)
{
    StoredAlarm alarm;
    for (const testreg::StoredValue& v : testreg::Values(HKEY_LOCAL_MACHINE, AlarmKey(n).c_str())) {
        alarm.present = true;
        if (v.name == L"AlarmFlags") {
            alarm.type = v.type;
            alarm.flags = v.data;
        } else if (v.name == L"AlarmTime" && v.data.size() == 4) {
            alarm.minutes = *reinterpret_cast<const DWORD*>(v.data.data());
        }
    }
    return alarm;
}

class Ctlpnl : public testing::Test
{
protected:
    void SetUp() override { testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey); }
    void TearDown() override { testreg::DeleteTree(HKEY_LOCAL_MACHINE, kClockKey); }

    // The page opened as the calendar opens it, its buttons clicked in turn;
    // its exit code.
    static int Clicked(std::initializer_list<int> buttons)
    {
        RunningProgram page(L"ctlpnl.exe", L"cplmain.cpl,16,1");
        HWND window = page.WaitForWindow();
        if (!window)
            return -1;
        for (int id : buttons)
            SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
        return page.WaitForExit();
    }
};

TEST_F(Ctlpnl, TheAlarmsPageFillsTheScreen)
{
    RunningProgram page(L"ctlpnl.exe", L"cplmain.cpl,16,1");
    HWND window = page.WaitForWindow();
    ASSERT_NE(nullptr, window);
    RECT rc;
    GetWindowRect(window, &rc);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(0, rc.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rc.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), rc.bottom);
    wchar_t title[64];
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(L"Будильники", title);
    for (int id : {IDC_ALARM_FIRST, IDC_ALARM_FIRST + 1, IDC_ALARM_FIRST + 2, IDC_TIME_FIRST, IDC_TIME_FIRST + 1,
             IDC_TIME_FIRST + 2, IDOK, IDCANCEL})
        EXPECT_NE(nullptr, GetDlgItem(window, id)) << id;
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(1, page.WaitForExit());
}

TEST_F(Ctlpnl, OkSavesEveryAlarmWithItsFlag)
{
    EXPECT_EQ(0, Clicked({IDC_ALARM_FIRST + 1, IDOK}));
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        const StoredAlarm alarm = Stored(n);
        ASSERT_TRUE(alarm.present);
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), alarm.type);
        ASSERT_EQ(1u, alarm.flags.size());
        EXPECT_EQ(n == 1 ? 1 : 0, alarm.flags[0]);
        EXPECT_EQ(7u * 60, alarm.minutes);
    }
}

TEST_F(Ctlpnl, CancelSavesNothing)
{
    EXPECT_EQ(1, Clicked({IDC_ALARM_FIRST, IDCANCEL}));
    EXPECT_FALSE(testreg::KeyPresent(HKEY_LOCAL_MACHINE, kClockKey));
}

TEST_F(Ctlpnl, ThePageShowsWhatIsStoredAndKeepsIt)
{
    const BYTE on = 1;
    const DWORD quarterPastEight = 8 * 60 + 15;
    testreg::Put(HKEY_LOCAL_MACHINE, AlarmKey(2).c_str(), L"AlarmFlags", REG_BINARY, &on, 1);
    testreg::Put(HKEY_LOCAL_MACHINE, AlarmKey(2).c_str(), L"AlarmTime", REG_DWORD, &quarterPastEight, 4);
    RunningProgram page(L"ctlpnl.exe", L"");
    HWND window = page.WaitForWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(GetDlgItem(window, IDC_ALARM_FIRST), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(GetDlgItem(window, IDC_ALARM_FIRST + 2), BM_GETCHECK, 0, 0));
    SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(0, page.WaitForExit());
    const StoredAlarm alarm = Stored(2);
    ASSERT_EQ(1u, alarm.flags.size());
    EXPECT_EQ(1, alarm.flags[0]);
    EXPECT_EQ(quarterPastEight, alarm.minutes);
}

BOOL CALLBACK CollectText(HWND child, LPARAM context)
{
    wchar_t text[512];
    GetWindowTextW(child, text, 512);
    *reinterpret_cast<std::wstring*>(context) += text;
    return TRUE;
}

TEST_F(Ctlpnl, AScreenshotIsWrittenOrSaidToFail)
{
    deviceprogram::TempFile png(L".png");
    const struct
    {
        std::wstring arguments;
        int exitCode;
        const char* says; // the start of its one line, if any
    } cases[] = {
        {L"cplmain.cpl,16,1 --screenshot \"" + png.Path() + L"\"", 0, ""},
        {L"--screenshot C:\\no\\such\\folder\\page.png", 1, "ctlpnl: screenshot C:\\no\\such\\folder\\page.png: "},
        {L"cplmain.cpl,16 --screenshot", 2, "ctlpnl: --screenshot needs a file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        std::string output;
        EXPECT_EQ(c.exitCode, deviceprogram::RunProgram(L"ctlpnl.exe", c.arguments, output));
        EXPECT_EQ(0u, output.find(c.says)) << output;
        EXPECT_EQ(*c.says ? 1 : 0, std::count(output.begin(), output.end(), '\n')) << output;
    }
    const deviceprogram::Picture page = deviceprogram::ReadPng(png.Path());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), page.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), page.height);
}

TEST_F(Ctlpnl, AnotherAppletIsSaidToBeMissing)
{
    RunningProgram page(L"ctlpnl.exe", L"cplmain.cpl,7");
    HWND box = page.WaitForWindow();
    ASSERT_NE(nullptr, box);
    std::wstring text;
    EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
    EXPECT_NE(std::wstring::npos, text.find(L"нет такого апплета")) << text.size();
    EXPECT_NE(std::wstring::npos, text.find(L"cplmain.cpl,7"));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(2, page.WaitForExit());
}

} // namespace
