// The device's screen as the core library answers it: the screen chosen for
// the program's run, else the profile in the device's registry, else the
// first profile; the platform's answers outside a device. Dialogs come out
// at the device's density whatever the desktop's.
#include "DeviceProgram.h"
#include "DeviceScreenKey.h"

#include <deviceregistry.h>
#include <devicescreen.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The desktop's own answers, past the device library.
int DesktopMetric(int index)
{
    const auto metric = reinterpret_cast<int(WINAPI*)(int)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetrics")));
    return metric(index);
}

int DesktopCaps(HDC dc, int index)
{
    const auto caps = reinterpret_cast<int(WINAPI*)(HDC, int)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"gdi32.dll"), "GetDeviceCaps")));
    return caps(dc, index);
}

// Each test drops the screen it chose.
class CoreScreen : public testing::Test
{
protected:
    void TearDown() override { DeviceClearScreen(); }
};

TEST_F(CoreScreen, EachProfileAnswersItsScreenUprightAndTurned)
{
    const struct
    {
        const wchar_t* profile;
        int width, height, dpi;
    } cases[] = {
        {L"qvga", 240, 320, 96}, {L"vga", 480, 640, 192}, {L"qvga131", 240, 320, 131},
        {L"square", 240, 240, 96}, {L"wvga", 480, 800, 192},
    };
    int known = 0;
    while (DeviceProfileName(known))
        ++known;
    EXPECT_EQ(static_cast<int>(std::size(cases)), known);
    for (const auto& c : cases) {
        for (const BOOL landscape : {FALSE, TRUE}) {
            SCOPED_TRACE(testing::Message() << std::string(c.profile, c.profile + wcslen(c.profile))
                                            << (landscape ? " landscape" : ""));
            ASSERT_TRUE(DeviceSetScreen(c.profile, landscape));
            const int width = landscape ? c.height : c.width, height = landscape ? c.width : c.height;
            EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
            EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));
            HDC screen = GetDC(nullptr);
            HDC memory = CreateCompatibleDC(screen);
            for (HDC dc : {screen, memory}) {
                EXPECT_EQ(c.dpi, GetDeviceCaps(dc, LOGPIXELSX));
                EXPECT_EQ(c.dpi, GetDeviceCaps(dc, LOGPIXELSY));
                EXPECT_EQ(DesktopCaps(dc, BITSPIXEL), GetDeviceCaps(dc, BITSPIXEL));
            }
            DeleteDC(memory);
            ReleaseDC(nullptr, screen);
            DEVICE_SCREEN now = {};
            ASSERT_TRUE(DeviceGetScreen(&now));
            EXPECT_STREQ(c.profile, now.szProfile);
            EXPECT_EQ(landscape, now.fLandscape);
            EXPECT_EQ(width, now.cx);
            EXPECT_EQ(height, now.cy);
        }
    }
}

// An environment variable set for a test and put back afterwards.
class ScopedVariable
{
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name)
    {
        wchar_t before[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(name, before, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            before_ = std::wstring(before, length);
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, before_ ? before_->c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> before_;
};

TEST_F(CoreScreen, OutsideADeviceThePlatformAnswers)
{
    const ScopedVariable noDevice(DEVICE_NAME_VARIABLE, nullptr);
    EXPECT_FALSE(DeviceGetScreen(nullptr));
    EXPECT_EQ(DesktopMetric(SM_CXSCREEN), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(DesktopMetric(SM_CYSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(DesktopCaps(screen, LOGPIXELSY), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    // A screen chosen for the run stands there too.
    ASSERT_TRUE(DeviceSetScreen(L"square", FALSE));
    EXPECT_EQ(240, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(CoreScreen, ADeviceProfileThatCannotBeReadGivesTheFirstProfileUpright)
{
    const DeviceScreenKey kept;
    using Value = DeviceScreenKey::Value;
    using devicescreenkey::Number;
    using devicescreenkey::Text;
    const struct
    {
        const char* what;
        std::vector<Value> values;
        DWORD fallback;
    } cases[] = {
        {"deleted key", {}, DEVICE_PROFILE_MISSING},
        {"no profile", {{L"Landscape", REG_DWORD, Number(1)}}, DEVICE_PROFILE_MISSING},
        {"unknown name", {{L"Profile", REG_SZ, Text(L"tiny")}}, DEVICE_PROFILE_UNKNOWN},
        {"name too long", {{L"Profile", REG_SZ, Text(L"a profile name longer than any profile has")}},
            DEVICE_PROFILE_UNKNOWN},
        {"number for a name", {{L"Profile", REG_DWORD, Number(2)}}, DEVICE_PROFILE_WRONG_TYPE},
        {"text for the turn", {{L"Profile", REG_SZ, Text(L"vga")}, {L"Landscape", REG_SZ, Text(L"1")}},
            DEVICE_PROFILE_WRONG_TYPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceScreenKey::Clear();
        for (const Value& value : c.values)
            DeviceScreenKey::Write(value);
        DEVICE_SCREEN screen = {};
        ASSERT_TRUE(DeviceGetScreen(&screen));
        EXPECT_EQ(c.fallback, screen.dwFallback);
        EXPECT_STREQ(DeviceProfileName(0), screen.szProfile);
        EXPECT_FALSE(screen.fLandscape);
        EXPECT_EQ(screen.cx, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(screen.cy, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_LT(screen.cx, screen.cy);
    }
    // Read again, the device's own profile stands.
    DeviceScreenKey::Clear();
    DeviceScreenKey::Write({L"Profile", REG_SZ, devicescreenkey::Text(L"wvga")});
    DeviceScreenKey::Write({L"Landscape", REG_DWORD, devicescreenkey::Number(1)});
    DEVICE_SCREEN screen = {};
    ASSERT_TRUE(DeviceGetScreen(&screen));
    EXPECT_EQ(static_cast<DWORD>(DEVICE_PROFILE_TAKEN), screen.dwFallback);
    EXPECT_EQ(800, GetSystemMetrics(SM_CXSCREEN));
}

// What the device's information program, started now, says of its screen.
std::string ScreenOfAProgramStarted()
{
    std::string output;
    EXPECT_EQ(0, deviceprogram::RunProgram(L"devinfo.exe", L"", output));
    return output.substr(0, output.find_first_of("\r\n"));
}

TEST_F(CoreScreen, AChosenScreenIsTheRunsAndGoesWithIt)
{
    DEVICE_SCREEN own = {};
    ASSERT_TRUE(DeviceGetScreen(&own));
    const std::string device = ScreenOfAProgramStarted();
    EXPECT_EQ(0u, device.find("profile " + std::string(own.szProfile, own.szProfile + wcslen(own.szProfile))))
        << device;
    ASSERT_TRUE(DeviceSetScreen(L"square", TRUE));
    EXPECT_EQ("profile square, landscape", ScreenOfAProgramStarted());
    DeviceClearScreen();
    EXPECT_EQ(device, ScreenOfAProgramStarted());
    DEVICE_SCREEN after = {};
    ASSERT_TRUE(DeviceGetScreen(&after));
    EXPECT_STREQ(own.szProfile, after.szProfile);
    EXPECT_EQ(own.fLandscape, after.fLandscape);
}

TEST_F(CoreScreen, AnUnknownProfileChangesNothing)
{
    ASSERT_TRUE(DeviceSetScreen(L"vga", FALSE));
    EXPECT_FALSE(DeviceSetScreen(L"tiny", TRUE));
    EXPECT_FALSE(DeviceSetScreen(nullptr, FALSE));
    EXPECT_EQ(480, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(DesktopMetric(SM_CYCAPTION), GetSystemMetrics(SM_CYCAPTION)); // the desktop's frames stay
}

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(CoreScreen, TheScreenLiesWhereTheTodayScreenShowsIt)
{
    ASSERT_TRUE(DeviceSetScreen(L"qvga", FALSE));
    RECT rect;
    DeviceScreenRect(&rect);
    const RECT corner = {0, 0, 240, 320};
    EXPECT_TRUE(EqualRect(&corner, &rect));

    WNDCLASSW wc = {};
    wc.lpfnWndProc = Plain;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = DEVICE_SCREEN_WINDOW_CLASS;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, DEVICE_SCREEN_WINDOW_CLASS, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 40, 300,
        400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    POINT client = {0, 0};
    ClientToScreen(window, &client);
    DeviceScreenRect(&rect);
    const RECT shown = {client.x, client.y, client.x + 240, client.y + 320};
    EXPECT_TRUE(EqualRect(&shown, &rect));
    DestroyWindow(window);
    UnregisterClassW(DEVICE_SCREEN_WINDOW_CLASS, wc.hInstance);
}

// A dialog template of one label, in either format, with the font given.
std::vector<WORD> Template(bool extended, WORD points)
{
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&t](const wchar_t* s) {
        for (; *s; ++s)
            t.push_back(*s);
        t.push_back(0);
    };
    const DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION;
    if (extended) {
        t.push_back(1);
        t.push_back(0xFFFF);
        dword(0); // help id
        dword(0); // extended style
        dword(style);
    } else {
        dword(style);
        dword(0);
    }
    t.push_back(1); // one control
    for (short v : {0, 0, 100, 50})
        t.push_back(static_cast<WORD>(v));
    t.push_back(0); // no menu
    t.push_back(0); // the dialog class
    text(L"Scaled");
    t.push_back(points);
    if (extended) {
        t.push_back(FW_NORMAL);
        t.push_back(0); // not italic, default character set
    }
    text(L"MS Shell Dlg");
    if (t.size() % 2)
        t.push_back(0); // the control starts on a DWORD
    if (extended)
        dword(0); // help id
    dword(extended ? 0 : WS_CHILD | WS_VISIBLE | SS_LEFT);
    dword(extended ? WS_CHILD | WS_VISIBLE | SS_LEFT : 0);
    for (short v : {4, 4, 60, 10})
        t.push_back(static_cast<WORD>(v));
    if (extended)
        dword(100);
    else
        t.push_back(100);
    t.push_back(0xFFFF);
    t.push_back(0x0082); // static
    text(L"label");
    t.push_back(0); // no creation data
    return t;
}

struct Measured
{
    RECT units = {0, 0, 100, 100};
    std::wstring label;
};

INT_PTR CALLBACK MeasureDialog(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* measured = reinterpret_cast<Measured*>(lParam);
    MapDialogRect(dialog, &measured->units);
    wchar_t text[32] = {};
    GetDlgItemTextW(dialog, 100, text, 32);
    measured->label = text;
    EndDialog(dialog, 1);
    return TRUE;
}

TEST_F(CoreScreen, DialogsAreLaidOutAtTheDevicesDensity)
{
    for (const bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "DLGTEMPLATEEX" : "DLGTEMPLATE");
        const std::vector<WORD> dialog = Template(extended, 8);
        Measured at96, at192;
        ASSERT_TRUE(DeviceSetScreen(L"qvga", FALSE));
        ASSERT_EQ(1, DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                         reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr, MeasureDialog,
                         reinterpret_cast<LPARAM>(&at96)));
        ASSERT_TRUE(DeviceSetScreen(L"vga", FALSE));
        ASSERT_EQ(1, DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                         reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr, MeasureDialog,
                         reinterpret_cast<LPARAM>(&at192)));
        EXPECT_EQ(L"label", at96.label);
        EXPECT_EQ(L"label", at192.label);
        // Twice the density, twice the dialog units, within the font's rounding.
        EXPECT_NEAR(2.0, static_cast<double>(at192.units.right) / at96.units.right, 0.2);
        EXPECT_NEAR(2.0, static_cast<double>(at192.units.bottom) / at96.units.bottom, 0.2);
    }
}

} // namespace
