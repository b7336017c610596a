// A whole life of mesolune.dll leaves nothing behind, and its periodic work
// allocates nothing.
#include "AllocationCounter.h"
#include "DeviceFacts.h"
#include "DeviceProgram.h"
#include "DialogDriver.h"
#include "ItemUnderTest.h"
#include "RegistryFixture.h"
#include "TestHost.h"

#include <deviceaccounting.h>
#include <deviceclock.h>
#include <devicegesture.h>
#include <todaycmn.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace {

using devicefacts::Counts;
using devicefacts::Live;

SYSTEMTIME At(int hour, int minute)
{
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 8;
    t.wHour = static_cast<WORD>(hour), t.wMinute = static_cast<WORD>(minute);
    return t;
}

class ItemLife : public testreg::CleanSettings
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_ITEM_MODULE();
        testreg::CleanSettings::SetUp();
        DeviceHoldClock(TRUE);
        const SYSTEMTIME start = At(9, 0);
        SetLocalTime(&start);
        DeviceSetTickCount(1'000'000);
    }

    void TearDown() override
    {
        DeviceScriptGestures(nullptr, 0);
        DeviceResetClock();
        testreg::CleanSettings::TearDown();
    }

    HWND Initialize(ItemModule& module)
    {
        HWND window = module.Initialize(&record, host.Window());
        Query(window);
        SetWindowPos(window, nullptr, 0, 26, GetSystemMetrics(SM_CXSCREEN), static_cast<int>(record.cyp), SWP_NOZORDER);
        UpdateWindow(window);
        return window;
    }

    LRESULT Query(HWND window)
    {
        return SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&record), 0);
    }

    static void Stroke(HWND window, int dx)
    {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 30));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(120 + dx, 31));
    }

    testhost::TestHost host;
    TODAYLISTITEM record = testhost::ShownItemRecord();
};

TEST_F(ItemLife, AWholeLifeLeavesNothingBehind)
{
    const Counts before = Live();
    std::unique_ptr<ItemModule> module = itemundertest::Load();
    ASSERT_NE(nullptr, module);
    HWND window = Initialize(*module);
    ASSERT_NE(nullptr, window);
    EXPECT_GT(DeviceLiveResources(DEVICE_FONTS), before[DEVICE_FONTS]);

    const DWORD noHold = 0;
    DeviceScriptGestures(&noHold, 1);
    for (int i = 0; i < 14; ++i)
        Stroke(window, 40); // through the year's end, heights changing
    for (int i = 0; i < 30; ++i)
        Stroke(window, -40);
    Query(window);
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(200, 60));
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), 60));

    dialogdriver::DialogDriver driver;
    driver.Expect([](HWND dialog, LPARAM) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    const DWORD hold = GN_CONTEXTMENU;
    DeviceScriptGestures(&hold, 1);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 20));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(100, 20));
    EXPECT_EQ(1, driver.Shown());

    for (int i = 0; i < 1000; ++i) {
        DeviceSetTickCount(1'000'000 + 2000u * i);
        const SYSTEMTIME now = At(9 + i / 1800, (i / 30) % 60);
        SetLocalTime(&now);
        Query(window);
        if (i % 50 == 0)
            UpdateWindow(window);
    }
    DestroyWindow(window);
    module.reset();
    EXPECT_EQ(before, Live());
}

TEST_F(ItemLife, RefreshesAndRepaintsAllocateNothing)
{
    std::unique_ptr<ItemModule> module = itemundertest::Load();
    ASSERT_NE(nullptr, module);
    HWND window = Initialize(*module);
    {
        // The ARM module's one allocator is the device's, which counts.
        std::unique_ptr<AllocationCounter> counter;
        if (!module->IsArm()) {
            counter = std::make_unique<AllocationCounter>(module->Instance());
            ASSERT_GT(counter->Redirected(), 0);
        }
        const LONG made = DeviceMadeResources(DEVICE_HEAP_BLOCKS);
        const auto allocations = [&] {
            return counter ? counter->Count() : DeviceMadeResources(DEVICE_HEAP_BLOCKS) - made;
        };
        for (int i = 0; i < 100; ++i)
            Query(window); // nothing changes
        EXPECT_EQ(0, allocations());

        const SYSTEMTIME later = At(9, 1);
        SetLocalTime(&later);
        Query(window); // a render, for the minute
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        EXPECT_EQ(0, allocations());
    }
    DestroyWindow(window);
    module.reset();
}

TEST(AllocationCounting, SeesTheAllocationsOfAModule)
{
    AllocationCounter counter(GetModuleHandleW(nullptr));
    ASSERT_GT(counter.Redirected(), 0);
    counter.Reset();
    static void* volatile block; // kept, so that the pair cannot be left out
    block = std::malloc(16);
    std::free(block);
    EXPECT_EQ(1, counter.Count());
}

} // namespace
