// The Today screen's contract with its items, as a Pocket PC keeps it: the
// selection moves only to items whose Selectability allows it and that take
// it, the keys reach the selected item, an item the screen selects by itself
// is highlighted and tapped; the items reload when told to, and the Today
// settings page switches and orders them.
#include "DeviceProgram.h"
#include "DeviceRoot.h"
#include "TestItemNotes.h"
#include "TodayItemsPageIds.h"
#include "Utf8.h"

#include <devicescreen.h>
#include <todaycmn.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

using namespace deviceprogram;

// The Today screen's highlight colour, which it answers TODAYCOLOR_HIGHLIGHT.
constexpr COLORREF kHighlight = RGB(40, 110, 200);
constexpr int kTitle = 26; // the title bar's height on the QVGA device

// What a test item heard of a kind of message: how often, and the last wParam.
struct Heard
{
    DWORD count = 0;
    DWORD last = 0;
};

Heard HeardBy(const wchar_t* itemClass, const std::wstring& message)
{
    return {TestItemNote(itemClass, message), TestItemNote(itemClass, message + L"Last")};
}

// The item heard none of these messages.
void ExpectUnheard(const wchar_t* itemClass, std::initializer_list<const wchar_t*> messages)
{
    for (const wchar_t* message : messages)
        EXPECT_EQ(0u, HeardBy(itemClass, message).count) << Utf8(message);
}

// What an item heard: a message, how often, and the key it came with last
// (when it came).
struct Hearing
{
    const wchar_t* itemClass;
    const wchar_t* message;
    unsigned count;
    DWORD last;
};

void ExpectHeard(std::initializer_list<Hearing> hearings)
{
    for (const Hearing& hearing : hearings) {
        const Heard heard = HeardBy(hearing.itemClass, hearing.message);
        EXPECT_EQ(hearing.count, heard.count) << Utf8(hearing.itemClass) << " " << Utf8(hearing.message);
        if (hearing.count) {
            EXPECT_EQ(hearing.last, heard.last) << Utf8(hearing.itemClass) << " " << Utf8(hearing.message);
        }
    }
}

class TodayContract : public testing::Test
{
protected:
    void SetUp() override { RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kTestItemsKey); }
    void TearDown() override { RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kTestItemsKey); }

    // The Today screen after a script of keys.
    Picture AfterKeys(const std::string& keys)
    {
        TempFile script(L".txt"), png(L".png");
        WriteTextFile(script.Path(), keys);
        EXPECT_EQ(0, RunProgram(L"today.exe",
                         L"--input \"" + script.Path() + L"\" --screenshot \"" + png.Path() + L"\""));
        return ReadPng(png.Path());
    }

    TodayItemsOverride items;
};

TEST_F(TodayContract, AnItemIsSelectedOnlyWhenItTakesTheSelection)
{
    items.Add(L"Refusing", BinFolder() + L"test_item_refusing.dll", 1, 1, 0, TODAY_SELECTABILITY_BY_ITEM);
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 2, 1, 0, TODAY_SELECTABILITY_BY_ITEM);
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 3, 1, 0, TODAY_SELECTABILITY_NONE);
    AfterKeys("key down; key down; key left; key right; key enter; key up");

    ExpectHeard({
        // The refusing item was offered the selection going down and going
        // up, and passed it on; the tall one took it and kept it, the short
        // one was never offered it.
        {L"TestItem_refusing", L"ReceivedSelection", 2, VK_UP},
        {L"TestItem_tall", L"ReceivedSelection", 1, VK_DOWN},
        {L"TestItem_tall", L"LostSelection", 0, 0},
        {L"TestItem_short", L"ReceivedSelection", 0, 0},
        // Every navigation key after the first reached the selected item,
        // the last one up; the action key came as its action.
        {L"TestItem_tall", L"UserNavigation", 4, VK_UP},
        {L"TestItem_tall", L"Action", 1, VK_RETURN},
        {L"TestItem_tall", L"StylusDown", 0, 0},
    });
    for (const wchar_t* unselected : {L"TestItem_refusing", L"TestItem_short"})
        ExpectUnheard(unselected, {L"UserNavigation", L"Action"});
}

TEST_F(TodayContract, WithoutASelectionNoItemHearsTheKeys)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1, 1, 0, TODAY_SELECTABILITY_BY_ITEM);
    AfterKeys("key left; key right; key enter");
    ExpectUnheard(L"TestItem_tall", {L"UserNavigation", L"Action", L"ReceivedSelection"});
}

TEST_F(TodayContract, AnItemTheScreenSelectsIsHighlightedAndTappedAtItsCorner)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1, 1, 0, TODAY_SELECTABILITY_BY_SCREEN);
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2, 1, 0, TODAY_SELECTABILITY_BY_ITEM);
    const Picture unselected = AfterKeys("wait 0");
    const Picture selected = AfterKeys("key down; key enter");
    // Inside its frame, the tall item stands on the highlight, no longer on
    // the Today screen's background.
    ASSERT_GT(selected.width, 0);
    EXPECT_EQ(kHighlight, selected.At(selected.width / 2, kTitle + 30));
    EXPECT_NE(kHighlight, unselected.At(unselected.width / 2, kTitle + 30));
    EXPECT_EQ(RGB(255, 0, 0), selected.At(selected.width / 2, kTitle)); // its own frame stays
    // Its action key was a tap at (1, 1); it was told of nothing.
    const Heard down = HeardBy(L"TestItem_tall", L"StylusDown"), up = HeardBy(L"TestItem_tall", L"StylusUp");
    EXPECT_EQ(1u, down.count);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(1, 1)), down.last);
    EXPECT_EQ(1u, up.count);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(1, 1)), up.last);
    ExpectUnheard(L"TestItem_tall", {L"ReceivedSelection", L"UserNavigation", L"Action"});
}

TEST_F(TodayContract, TheSelectionPassesOnAndEachItemItLeavesIsRepainted)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1, 1, 0, TODAY_SELECTABILITY_BY_SCREEN);
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2, 1, 0, TODAY_SELECTABILITY_BY_ITEM);
    const Picture unselected = AfterKeys("wait 0");
    RegDeleteTreeW(DeviceRoot(HKEY_CURRENT_USER), kTestItemsKey);
    const Picture passed = AfterKeys("key down; key down");
    // The screen moved the selection from the tall item by itself, and the
    // short one took it; the tall one shows the background again.
    EXPECT_EQ(0u, HeardBy(L"TestItem_tall", L"UserNavigation").count);
    const Heard taken = HeardBy(L"TestItem_short", L"ReceivedSelection");
    EXPECT_EQ(1u, taken.count);
    EXPECT_EQ(static_cast<DWORD>(VK_DOWN), taken.last);
    ASSERT_GT(passed.width, 0);
    EXPECT_EQ(unselected.At(passed.width / 2, kTitle + 30), passed.At(passed.width / 2, kTitle + 30));
    // Each change of the selection brought the tall item its erasing and
    // its painting, once more than the start's.
    EXPECT_LT(HeardBy(L"TestItem_short", L"EraseBackground").count, HeardBy(L"TestItem_tall", L"EraseBackground").count);
}

// The items' entries changed, as an installer or the settings page changes
// them, and the word to reload broadcast.
void Broadcast()
{
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, TODAY_RELOAD_ITEMS, 0, SMTO_ABORTIFHUNG,
                     waiting::kDeadlineMs, &result))
        << "the broadcast to reload was not answered within " << waiting::kDeadlineMs / 1000 << " s";
}

HWND ItemWindow(HWND screen, const wchar_t* itemClass)
{
    return FindWindowExW(screen, nullptr, itemClass, nullptr);
}

// The item's window, once the Today screen that shows at start has made it.
HWND AwaitItemWindow(HWND screen, const wchar_t* itemClass)
{
    HWND item = nullptr;
    waiting::Until([&] { return (item = ItemWindow(screen, itemClass)) != nullptr; },
        "the Today screen's item window of class " + Utf8(itemClass));
    return item;
}

TEST_F(TodayContract, ABroadcastReloadsTheItems)
{
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1);
    items.Add(L"Short", BinFolder() + L"test_item_short.dll", 2);
    RunningProgram today(L"today.exe", L"");
    const HWND screen = today.WaitForWindow();
    ASSERT_NE(nullptr, screen);
    ASSERT_NE(nullptr, AwaitItemWindow(screen, L"TestItem_tall"));

    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1, 0);
    Broadcast();
    EXPECT_EQ(nullptr, ItemWindow(screen, L"TestItem_tall"));
    EXPECT_NE(nullptr, ItemWindow(screen, L"TestItem_short"));
    EXPECT_EQ(1u, ClearCacheCount(L"TestItem_tall")); // told before it went

    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 1, 1);
    Broadcast();
    EXPECT_NE(nullptr, ItemWindow(screen, L"TestItem_tall"));
    PostMessageW(screen, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, today.WaitForExit());
}

// The Today settings page, opened as Settings opens it.
class TodaySettingsPage
{
public:
    TodaySettingsPage() : page_(L"ctlpnl.exe", L"cplmain.cpl,2,1") { dialog_ = AwaitWindow(L"#32770", L"Сегодня"); }

    HWND Dialog() const { return dialog_; }
    // The first item's check box clicked, at the row's left end.
    void ToggleFirst() const
    {
        const HWND list = GetDlgItem(dialog_, IDC_TODAY_ITEMS);
        const LPARAM box = MAKELPARAM(10, 8);
        PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, box);
        PostMessageW(list, WM_LBUTTONUP, 0, box);
    }
    void Press(int id) const { PostMessageW(dialog_, WM_COMMAND, id, 0); }
    int Closed() { return page_.WaitForExit(); }

private:
    RunningProgram page_;
    HWND dialog_ = nullptr;
};

DWORD ItemValue(const wchar_t* item, const wchar_t* name)
{
    return DeviceNumber(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Microsoft\\Today\\Items\\") + item, name);
}

TEST_F(TodayContract, TheSettingsPageSwitchesAndOrdersTheItemsOfARunningTodayScreen)
{
    items.Add(L"Mesolune", BinFolder() + L"mesolune.dll", 1, 1, 1);
    items.Add(L"Tall", BinFolder() + L"test_item_tall.dll", 2);
    RunningProgram today(L"today.exe", L"");
    const HWND screen = today.WaitForWindow();
    ASSERT_NE(nullptr, screen);
    ASSERT_NE(nullptr, AwaitItemWindow(screen, L"MesoluneClass"));

    {
        TodaySettingsPage page;
        ASSERT_NE(nullptr, page.Dialog());
        page.ToggleFirst(); // the calendar
        page.Press(IDOK);
        EXPECT_EQ(0, page.Closed());
    }
    EXPECT_EQ(0u, ItemValue(L"Mesolune", L"Enabled"));
    EXPECT_EQ(nullptr, ItemWindow(screen, L"MesoluneClass"));

    {
        TodaySettingsPage page;
        ASSERT_NE(nullptr, page.Dialog());
        page.ToggleFirst();
        page.Press(IDC_ITEM_DOWN); // below the tall item
        page.Press(IDOK);
        EXPECT_EQ(0, page.Closed());
    }
    EXPECT_EQ(1u, ItemValue(L"Mesolune", L"Enabled"));
    EXPECT_EQ(2u, ItemValue(L"Mesolune", L"Order"));
    EXPECT_EQ(1u, ItemValue(L"Tall", L"Order"));
    const HWND calendar = ItemWindow(screen, L"MesoluneClass"), tall = ItemWindow(screen, L"TestItem_tall");
    ASSERT_NE(nullptr, calendar);
    ASSERT_NE(nullptr, tall);
    RECT calendarPlace, tallPlace;
    GetWindowRect(calendar, &calendarPlace);
    GetWindowRect(tall, &tallPlace);
    EXPECT_EQ(tallPlace.bottom, calendarPlace.top);

    {
        // Cancel changes nothing.
        TodaySettingsPage page;
        ASSERT_NE(nullptr, page.Dialog());
        page.ToggleFirst();
        page.Press(IDCANCEL);
        EXPECT_EQ(1, page.Closed());
    }
    EXPECT_EQ(1u, ItemValue(L"Tall", L"Enabled"));
    PostMessageW(screen, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, today.WaitForExit());
}

TEST_F(TodayContract, TheSettingsPageOpensTheOptionsOfAnItemThatHasThem)
{
    items.Add(L"Mesolune", BinFolder() + L"mesolune.dll", 1, 1, 1);
    TodaySettingsPage page;
    ASSERT_NE(nullptr, page.Dialog());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.Dialog(), IDC_ITEM_OPTIONS)));
    page.Press(IDC_ITEM_OPTIONS);
    const HWND options = AwaitWindow(L"#32770", L"Настройки");
    ASSERT_NE(nullptr, options);
    PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(waiting::Until([&] { return !IsWindow(options); }, "the options dialog to go"));
    page.Press(IDCANCEL);
    EXPECT_EQ(1, page.Closed());
}

} // namespace
