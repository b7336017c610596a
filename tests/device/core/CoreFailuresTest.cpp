// The device's failures for tests: a function of the device's libraries
// fails as the platform reports it, on the call asked for and, asked so,
// from then on; only the calls of the module named count.
#include <aygshell.h>
#include <commdlg.h>
#include <devicefailures.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string FailedFunction()
{
    char name[64] = {};
    return DeviceFailedFunction(name, sizeof name) ? name : "";
}

// Calls that answer whether the platform refused them.
bool BrushRefused()
{
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    if (brush)
        DeleteObject(brush);
    return brush == nullptr;
}

bool DcRefused()
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc)
        DeleteDC(dc);
    return dc == nullptr;
}

bool KeyRefused()
{
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result == ERROR_NOT_ENOUGH_MEMORY;
}

class CoreFailures : public testing::Test
{
protected:
    void SetUp() override { DeviceFailuresFor(GetModuleHandleW(nullptr)); }
    void TearDown() override
    {
        DeviceClearFailures();
        DeviceFailuresFor(nullptr);
    }
};

TEST_F(CoreFailures, ACallFailsOnceOrFromThenOnAsAsked)
{
    const struct
    {
        const char* function;
        std::function<bool()> call;
        DWORD n;
        bool fromThenOn;
        std::vector<bool> refused; // call by call
    } cases[] = {
        {"CreateSolidBrush", BrushRefused, 2, false, {false, true, false, false}},
        {"CreateSolidBrush", BrushRefused, 2, true, {false, true, true, true}},
        {"CreateCompatibleDC", DcRefused, 1, false, {true, false}},
        {"RegOpenKeyExW", KeyRefused, 3, true, {false, false, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.function) + (c.fromThenOn ? ", from then on" : ", once"));
        DeviceFailCall(c.function, c.n, c.fromThenOn);
        for (size_t i = 0; i < c.refused.size(); ++i)
            EXPECT_EQ(c.refused[i], c.call()) << "call " << i + 1;
        EXPECT_EQ(c.function, FailedFunction());
        DeviceClearFailures();
        EXPECT_FALSE(c.call());
        EXPECT_EQ("", FailedFunction());
    }
}

TEST_F(CoreFailures, TheNthFallibleCallOfAnyFunctionFailsAndTheCallsAreCounted)
{
    DeviceFailFallibleCall(3, FALSE);
    EXPECT_FALSE(KeyRefused());
    EXPECT_FALSE(BrushRefused());
    EXPECT_TRUE(DcRefused());
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_FALSE(BrushRefused());
    EXPECT_EQ("CreateCompatibleDC", FailedFunction());
    EXPECT_EQ(4u, DeviceFallibleCalls());
}

TEST_F(CoreFailures, OnlyTheNamedModulesCallsCount)
{
    DeviceFailuresFor(nullptr);
    DeviceFailCall("CreateSolidBrush", 1, TRUE);
    EXPECT_FALSE(BrushRefused());
    EXPECT_EQ(0u, DeviceFallibleCalls());
}

// The shell's and the common dialogs' libraries fail as they report it: a
// dialog not set up, a colour dialog cancelled (no dialog shown).
TEST_F(CoreFailures, TheShellAndTheColourDialogFailToo)
{
    HWND dialog = CreateWindowExW(0, L"#32770", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, dialog);
    DeviceFailCall("SHInitDialog", 1, FALSE);
    SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, SHIDIF_DONEBUTTON};
    EXPECT_FALSE(SHInitDialog(&init));
    DestroyWindow(dialog);

    DeviceFailCall("ChooseColor", 1, FALSE);
    COLORREF custom[16] = {};
    CHOOSECOLOR choice = {};
    choice.lStructSize = sizeof choice;
    choice.lpCustColors = custom;
    EXPECT_FALSE(ChooseColor(&choice));
    EXPECT_EQ("ChooseColor", FailedFunction());
}

} // namespace
