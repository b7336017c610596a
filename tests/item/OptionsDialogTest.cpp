// The options dialog of mesolune.dll, opened as both of its openers do:
// template 500 of the module with the procedure of export 241.
#include "DeviceProgram.h"
#include "DialogDriver.h"
#include "ItemUnderTest.h"
#include "RegistryFixture.h"
#include "ShellBars.h"
#include "TestHost.h"
#include "Utf8.h"
#include "resource.h"

#include <devicescreen.h>
#include <todaycmn.h>

#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using dialogdriver::DialogDriver;
using testreg::Values;

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

// The dialog template as its table describes it, serialised independently.
class TemplateWriter
{
public:
    std::vector<BYTE> bytes;

    void Word(WORD w) { Raw(&w, 2); }
    void Dword(DWORD d) { Raw(&d, 4); }
    void Text(const std::wstring& s)
    {
        for (wchar_t c : s)
            Word(static_cast<WORD>(c));
        Word(0);
    }
    void Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
    void Control(WORD id, WORD atom, DWORD style, short x, short y, short cx, short cy, const std::wstring& text)
    {
        Align();
        Dword(style);
        Dword(0);
        for (short v : {x, y, cx, cy})
            Word(static_cast<WORD>(v));
        Word(id);
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0);
    }

private:
    void Raw(const void* p, size_t n)
    {
        const auto* b = static_cast<const BYTE*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
};

std::vector<BYTE> ExpectedTemplate()
{
    constexpr DWORD push = 0x50010000, check = 0x50010003, label = 0x50020000, combo = 0x50210002;
    constexpr WORD button = 0x80, statik = 0x82, combobox = 0x85;
    TemplateWriter t;
    t.Dword(0x80C80048);
    t.Dword(0);
    t.Word(17);
    for (short v : {0, 0, 156, 177})
        t.Word(static_cast<WORD>(v));
    t.Word(0); // no menu
    t.Word(0); // default class
    t.Text(L"Настройки");
    t.Word(8);
    t.Text(L"MS Shell Dlg");
    t.Control(1003, button, push, 9, 19, 57, 14, L"Суббота");
    t.Control(1004, button, push, 75, 19, 57, 14, L"Воскресенье");
    t.Control(1005, button, push, 9, 2, 57, 14, L"Сегодня");
    t.Control(1006, button, check, 3, 36, 120, 10, L"Два выходных");
    t.Control(1007, button, check, 3, 46, 120, 10, L"Показывать номера недель");
    t.Control(1008, button, check, 3, 56, 120, 10, L"Показывать часы и месяц");
    t.Control(1009, button, check, 3, 66, 126, 10, L"Показывать названия  дней");
    t.Control(65535, statik, label, 3, 91, 51, 8, L"Штрих влево");
    t.Control(1010, combobox, combo, 63, 91, 72, 51, L"");
    t.Control(65535, statik, label, 3, 107, 54, 8, L"Штрих вправо");
    t.Control(1011, combobox, combo, 63, 107, 72, 50, L"");
    t.Control(65535, statik, label, 3, 123, 48, 8, L"Штрих вверх");
    t.Control(1012, combobox, combo, 63, 123, 72, 46, L"");
    t.Control(65535, statik, label, 3, 139, 54, 8, L"Штрих ввниз");
    t.Control(1013, combobox, combo, 63, 139, 72, 42, L"");
    t.Control(1014, button, push, 75, 2, 57, 14, L"Часы");
    t.Control(1015, button, check, 3, 76, 123, 10, L"Показывать будильник");
    return t.bytes;
}

bool Checked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::wstring Selected(HWND dialog, int id)
{
    const LRESULT index = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return L"<none>";
    wchar_t text[64] = {};
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

DWORD StoredDWord(const wchar_t* name)
{
    for (const testreg::StoredValue& v : Values(HKEY_CURRENT_USER, testreg::kKey))
        if (v.name == name && v.data.size() == 4)
            return *reinterpret_cast<const DWORD*>(v.data.data());
    return 0xDEADBEEF;
}

// Each named value as stored.
void ExpectStored(std::initializer_list<std::pair<const wchar_t*, DWORD>> expected)
{
    for (const auto& [name, value] : expected)
        EXPECT_EQ(value, StoredDWord(name)) << testing::PrintToString(std::wstring(name));
}

// What the colour chooser was given, and what the test's user does in it.
struct Chooser
{
    CHOOSECOLOR given = {};
    COLORREF custom[16] = {};
    COLORREF choose = 0; // the colour picked
    bool ok = true;      // OK or Cancel

    dialogdriver::Step Step()
    {
        return [this](HWND chooser, LPARAM init) {
            auto* cc = reinterpret_cast<CHOOSECOLOR*>(init);
            given = *cc;
            std::memcpy(custom, cc->lpCustColors, sizeof custom);
            // The user changes a custom colour too; the dialog must not keep it.
            cc->lpCustColors[7] = RGB(9, 9, 9);
            SetDlgItemInt(chooser, 706, GetRValue(choose), FALSE);
            SetDlgItemInt(chooser, 707, GetGValue(choose), FALSE);
            SetDlgItemInt(chooser, 708, GetBValue(choose), FALSE);
            PostMessageW(chooser, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
        };
    }
};

class OptionsDialog : public testreg::CleanSettings
{
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_ITEM_MODULE();
        testreg::CleanSettings::SetUp();
        item = itemundertest::Load();
        ASSERT_NE(nullptr, item);
        module = item->Instance();
    }

    void TearDown() override
    {
        EXPECT_EQ(0, driver.Pending());
        item.reset();
        testreg::CleanSettings::TearDown();
    }

    // Opens the dialog (template 500, export 241) over the host; step works
    // it and closes it.
    INT_PTR Open(dialogdriver::Step step)
    {
        driver.Expect(std::move(step));
        return item->RunOptions(host.Window());
    }

    // Opens the dialog, has the chooser come up from the colour button and
    // closes the dialog with closeWith.
    void PickColour(Chooser& chooser, int button, int closeWith)
    {
        Open([&](HWND d, LPARAM) {
            driver.Expect(chooser.Step());
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            SendMessageW(d, WM_COMMAND, closeWith, 0);
        });
    }

    static dialogdriver::Step Press(int id)
    {
        return [id](HWND dialog, LPARAM) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
    }

    testhost::TestHost host;
    DialogDriver driver;
    std::unique_ptr<ItemModule> item;
    HMODULE module = nullptr;
};

TEST_F(OptionsDialog, TheTemplateIsTheTableByteForByte)
{
    HRSRC resource = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(500), kRussian);
    ASSERT_NE(nullptr, resource);
    ASSERT_EQ(886u, SizeofResource(module, resource));
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    const std::vector<BYTE> expected = ExpectedTemplate();
    ASSERT_EQ(886u, expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(expected[i], bytes[i]) << "byte " << i;
}

TEST_F(OptionsDialog, AFirstOpeningShowsTheDefaultsAndCancelSavesNothing)
{
    const INT_PTR result = Open([](HWND d, LPARAM) {
        EXPECT_FALSE(Checked(d, IDC_TWO_WEEKEND_DAYS));
        EXPECT_TRUE(Checked(d, IDC_WEEKS));
        EXPECT_TRUE(Checked(d, IDC_CLOCK));
        EXPECT_TRUE(Checked(d, IDC_DAY_NAMES));
        EXPECT_TRUE(Checked(d, IDC_ALARM));
        EXPECT_EQ("пред. месяц", Utf8(Selected(d, IDC_STROKE_LEFT)));
        EXPECT_EQ("след. месяц", Utf8(Selected(d, IDC_STROKE_RIGHT)));
        EXPECT_EQ("пред. год", Utf8(Selected(d, IDC_STROKE_UP)));
        EXPECT_EQ("след. год", Utf8(Selected(d, IDC_STROKE_DOWN)));
        const wchar_t* entries[] = {L"ничего", L"след. месяц", L"пред. месяц", L"след. год", L"пред. год"};
        for (int id : {IDC_STROKE_LEFT, IDC_STROKE_RIGHT, IDC_STROKE_UP, IDC_STROKE_DOWN}) {
            ASSERT_EQ(5, SendDlgItemMessageW(d, id, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < 5; ++i) {
                wchar_t text[32] = {};
                SendDlgItemMessageW(d, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                EXPECT_STREQ(entries[i], text);
            }
        }
        SetChecked(d, IDC_TWO_WEEKEND_DAYS, true);
        SetChecked(d, IDC_WEEKS, false);
        SendMessageW(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(0, result);
    EXPECT_TRUE(testreg::KeyPresent(HKEY_CURRENT_USER, testreg::kKey));
    EXPECT_TRUE(Values(HKEY_CURRENT_USER, testreg::kKey).empty());
}

TEST_F(OptionsDialog, OkOnAFirstRunWritesAllElevenValues)
{
    EXPECT_EQ(1, Open(Press(IDOK)));
    EXPECT_EQ(11u, Values(HKEY_CURRENT_USER, testreg::kKey).size());
    ExpectStored({
        {L"Color1", 0x007878FF}, {L"Color2", 0x007878FF}, {L"Color3", 0x0078FF78}, {L"Color4", 0x00FF6464},
        {L"Weekend", 1}, {L"Weeks", 1}, {L"Clock", 1}, {L"DayNames", 1}, {L"DPad", 0x201}, {L"Gesture", 0x01020408},
        {L"Alarm", 60}
    });
}

TEST_F(OptionsDialog, OkStoresWhatTheControlsShow)
{
    Open([](HWND d, LPARAM) {
        SetChecked(d, IDC_TWO_WEEKEND_DAYS, true);
        SetChecked(d, IDC_WEEKS, false);
        SetChecked(d, IDC_CLOCK, false);
        SetChecked(d, IDC_DAY_NAMES, false);
        SetChecked(d, IDC_ALARM, false);
        SendDlgItemMessageW(d, IDC_STROKE_LEFT, CB_SETCURSEL, 0, 0); // left: nothing
        SendDlgItemMessageW(d, IDC_STROKE_RIGHT, CB_SETCURSEL, 3, 0); // right: next year
        SendDlgItemMessageW(d, IDC_STROKE_UP, CB_SETCURSEL, 1, 0); // slot 1: next month
        SendDlgItemMessageW(d, IDC_STROKE_DOWN, CB_SETCURSEL, 2, 0); // slot 2: previous month
        SendMessageW(d, WM_COMMAND, IDOK, 0);
    });
    ExpectStored({
        {L"Weekend", 2}, {L"Weeks", 0}, {L"Clock", 0}, {L"DayNames", 0}, {L"Alarm", 0}, {L"Gesture", 0x04000201}
    });
}

// A value stored by hand, what the dialog shows of it (and what the user
// changes), and what OK stores.
TEST_F(OptionsDialog, StoredValuesShowAndSaveAsTheControlsSay)
{
    const struct
    {
        const wchar_t* name;
        DWORD stored;
        std::function<void(HWND)> shows;
        DWORD saved;
    } cases[] = {
        {L"Weekend", 3, [](HWND d) { EXPECT_FALSE(Checked(d, IDC_TWO_WEEKEND_DAYS)); }, 1},
        {L"Alarm", 30, [](HWND d) { EXPECT_TRUE(Checked(d, IDC_ALARM)); }, 60},
        {L"Alarm", 0,
            [](HWND d) {
                EXPECT_FALSE(Checked(d, IDC_ALARM));
                SetChecked(d, IDC_ALARM, true);
            },
            60},
        {L"Gesture", 0x01020411, [](HWND d) { EXPECT_EQ("след. месяц", Utf8(Selected(d, IDC_STROKE_UP))); },
            0x01020401},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Utf8(c.name) << " " << c.stored);
        testreg::DeleteTree(HKEY_CURRENT_USER, testreg::kKey);
        testreg::PutDWord(c.name, c.stored);
        Open([&](HWND d, LPARAM) {
            c.shows(d);
            SendMessageW(d, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(c.saved, StoredDWord(c.name));
    }
}

TEST_F(OptionsDialog, TextTypedIntoAComboLeavesItsSlotAlone)
{
    testreg::PutDWord(L"Gesture", 0x08040201);
    Open([](HWND d, LPARAM) {
        HWND edit = GetWindow(GetDlgItem(d, IDC_STROKE_LEFT), GW_CHILD);
        ASSERT_NE(nullptr, edit);
        SendMessageW(edit, WM_CHAR, L'x', 0);
        EXPECT_EQ(CB_ERR, SendDlgItemMessageW(d, IDC_STROKE_LEFT, CB_GETCURSEL, 0, 0));
        SendDlgItemMessageW(d, IDC_STROKE_DOWN, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendDlgItemMessageW(d, IDC_STROKE_RIGHT, CB_SETCURSEL, 0, 0);
        SendMessageW(d, WM_COMMAND, IDOK, 0);
    });
    // Slot 3 (left) and slot 2 (up) keep their bytes; slot 4 becomes nothing.
    EXPECT_EQ(0x00040201u, StoredDWord(L"Gesture"));
}

TEST_F(OptionsDialog, AColourChosenAndThenCancelledStaysOnlyInMemory)
{
    testreg::PutDWord(L"Color1", RGB(10, 20, 30));
    testreg::PutDWord(L"Color3", RGB(1, 2, 3));
    Chooser first;
    first.choose = RGB(200, 100, 50);
    PickColour(first, IDC_SATURDAY_COLOR, IDCANCEL);
    EXPECT_EQ(static_cast<DWORD>(sizeof(CHOOSECOLOR)), first.given.lStructSize);
    EXPECT_EQ(module, reinterpret_cast<HMODULE>(first.given.hInstance));
    EXPECT_EQ(RGB(10, 20, 30), first.given.rgbResult);
    EXPECT_EQ(static_cast<DWORD>(CC_RGBINIT | CC_ANYCOLOR), first.given.Flags);
    EXPECT_EQ(0, first.given.lCustData);
    EXPECT_EQ(nullptr, first.given.lpTemplateName);
    const COLORREF custom[16] = {RGB(1, 2, 3), RGB(10, 20, 30), 0x007878FF, 0x00FF6464};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(custom[i], first.custom[i]) << i;
    EXPECT_EQ(RGB(10, 20, 30), StoredDWord(L"Color1"));

    // The registry holds the colour: the next opening starts from it again,
    // with a fresh list of custom colours.
    Chooser second;
    second.ok = false;
    PickColour(second, IDC_SATURDAY_COLOR, IDCANCEL);
    EXPECT_EQ(RGB(10, 20, 30), second.given.rgbResult);
    EXPECT_EQ(0u, second.custom[7]);
}

TEST_F(OptionsDialog, WithoutAStoredColourTheChosenOneStaysInMemory)
{
    Chooser first;
    first.choose = RGB(200, 100, 50);
    PickColour(first, IDC_CLOCK_COLOR, IDCANCEL);
    EXPECT_EQ(0x00FF6464u, first.given.rgbResult);
    Chooser second;
    second.ok = false;
    // The chosen colour is the clock's in the list, and OK saves it.
    PickColour(second, IDC_CLOCK_COLOR, IDOK);
    EXPECT_EQ(RGB(200, 100, 50), second.given.rgbResult);
    EXPECT_EQ(RGB(200, 100, 50), second.custom[3]);
    EXPECT_EQ(RGB(200, 100, 50), StoredDWord(L"Color4"));
}

TEST_F(OptionsDialog, EachColourButtonEditsItsOwnColour)
{
    const struct { int id; const wchar_t* name; } buttons[] = {
        {IDC_SATURDAY_COLOR, L"Color1"}, {IDC_SUNDAY_COLOR, L"Color2"}, {IDC_TODAY_COLOR, L"Color3"}, {IDC_CLOCK_COLOR, L"Color4"}};
    for (const auto& b : buttons) {
        Chooser chooser;
        chooser.choose = RGB(b.id & 0xFF, 7, 77);
        PickColour(chooser, b.id, IDOK);
        EXPECT_EQ(RGB(b.id & 0xFF, 7, 77), StoredDWord(b.name)) << b.id;
    }
}

TEST_F(OptionsDialog, TheDialogFillsTheScreenAndItsTitleOkSaves)
{
    DEVICE_SCREEN screen = {};
    ASSERT_TRUE(DeviceGetScreen(&screen));
    const int bar = shellbars::BarHeight(screen.dpi);
    RECT frame = {};
    RECT client = {};
    const INT_PTR result = Open([&](HWND d, LPARAM) {
        GetWindowRect(d, &frame);
        GetClientRect(d, &client);
        // The ok at the right of the navigation bar above the dialog.
        const POINT ok = {frame.right - bar / 2, frame.top + bar / 2};
        const LRESULT hit = SendMessageW(d, WM_NCHITTEST, 0, MAKELPARAM(ok.x, ok.y));
        SendMessageW(d, WM_NCLBUTTONDOWN, hit, MAKELPARAM(ok.x, ok.y));
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, frame.left);
    EXPECT_EQ(0, frame.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), frame.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), frame.bottom);
    // Its face between the navigation bar and the menu bar.
    EXPECT_EQ(frame.right, client.right);
    EXPECT_EQ(frame.bottom - 2 * bar, client.bottom);
    EXPECT_EQ(11u, Values(HKEY_CURRENT_USER, testreg::kKey).size());
}

TEST_F(OptionsDialog, DestroyingTheDialogEndsItWithoutSaving)
{
    EXPECT_EQ(0, Open([](HWND d, LPARAM) { DestroyWindow(d); }));
    EXPECT_TRUE(Values(HKEY_CURRENT_USER, testreg::kKey).empty());
}

TEST_F(OptionsDialog, OtherMessagesAndCommandsAreLeftToTheDialogManager)
{
    HWND window = host.Window();
    const DLGPROC procedure = item->OptionsProcedure();
    ASSERT_NE(nullptr, procedure);
    EXPECT_FALSE(procedure(window, WM_TIMER, 1, 0));
    EXPECT_FALSE(procedure(window, WM_COMMAND, 4242, 0));
    EXPECT_FALSE(procedure(window, WM_PAINT, 0, 0));
}

} // namespace
