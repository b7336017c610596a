// Seeded random messages, with extreme parameters, to a calendar item over
// random extreme settings: no crash, no leak, the displayed month always a
// month and no surface over the height limit. FUZZ_SEEDS sets how many seeds.
#include "CalendarItemFixture.h"
#include "DeviceFacts.h"
#include "DialogDriver.h"

#include <deviceaccounting.h>
#include <devicegesture.h>

#include <array>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using devicefacts::Counts;
using devicefacts::Live;
using devicefacts::SurfaceHeight;
using namespace calendartest;

class Fuzz : public CalendarItem
{
protected:
    template <typename T>
    T Pick(const std::vector<T>& choices)
    {
        return choices[std::uniform_int_distribution<size_t>(0, choices.size() - 1)(random)];
    }

    DWORD Any() { return static_cast<DWORD>(random()); }
    bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; }

    void ExtremeSettings()
    {
        using testreg::PutDWord;
        for (const wchar_t* name : {L"Color1", L"Color2", L"Color3", L"Color4"})
            PutDWord(name, Chance(50) ? (Any() | 0x01000000) : Any());
        PutDWord(L"Weekend", Pick<DWORD>({0, 1, 2, 3, 5, 7, 8, 10, 0xFFFFFFFF}));
        for (const wchar_t* name : {L"Weeks", L"Clock", L"DayNames", L"FontBold", L"ClockFontBold"})
            PutDWord(name, Pick<DWORD>({0, 1, 2, 0xFFFFFFFF}));
        PutDWord(L"Gesture", Any());
        PutDWord(L"DPad", Any());
        PutDWord(L"Alarm", Pick<DWORD>({0, 1, 4294967, 60}));
        for (const wchar_t* name : {L"FontSize", L"ClockFontSize"})
            PutDWord(name, Pick<DWORD>({0, static_cast<DWORD>(-8), 1000, 0x7FFFFFFF, 8, 18, 40}));
        for (const wchar_t* name : {L"Font", L"ClockFont"})
            testreg::PutString(name, Pick<std::wstring>({L"Tahoma", L"Courier New", L"No Such Face", L""}));
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        SendMessageW(item->m_hWnd, message, wParam, lParam);
    }

    LPARAM AnyPoint()
    {
        const std::vector<WORD> edges = {0, 1, 5, 19, 20, 39, 40, 41, 100, 239, 479, 32767, 65535};
        return MAKELPARAM(Chance(70) ? Pick(edges) : static_cast<WORD>(Any()),
            Chance(70) ? Pick(edges) : static_cast<WORD>(Any()));
    }

    void AnyMessage()
    {
        TODAYLISTITEM record = {};
        record.cyp = Chance(50) ? static_cast<DWORD>(item->m_nHeight) : Any();
        switch (std::uniform_int_distribution<int>(0, 17)(random)) {
        case 0: {
            // The stylus: a press that may become a hold, then its stylus-up.
            const DWORD answer = Chance(5) ? GN_CONTEXTMENU : 0;
            if (answer)
                driver.Expect([this](HWND dialog, LPARAM) {
                    SendMessageW(dialog, WM_COMMAND, Chance(50) ? IDOK : IDCANCEL, 0);
                });
            DeviceScriptGestures(&answer, 1);
            Send(WM_LBUTTONDOWN, MK_LBUTTON, AnyPoint());
            break;
        }
        case 1:
            Send(WM_LBUTTONUP, 0, AnyPoint());
            break;
        case 2:
            Send(WM_SIZE, 0, MAKELPARAM(Pick<WORD>({0, 1, 240, 480, 65535, static_cast<WORD>(Any())}), Any()));
            break;
        case 3:
            InvalidateRect(item->m_hWnd, nullptr, Chance(50));
            UpdateWindow(item->m_hWnd);
            break;
        case 4:
            Send(WM_ERASEBKGND, Chance(50) ? 0 : Any(), 0);
            break;
        case 5:
            Send(WM_TODAYCUSTOM_QUERYREFRESHCACHE, Chance(20) ? 0 : reinterpret_cast<WPARAM>(&record), 0);
            break;
        case 6:
            Send(WM_TODAYCUSTOM_CLEARCACHE, Chance(50) ? 0 : reinterpret_cast<WPARAM>(&record), 0);
            break;
        case 7:
            Send(WM_TODAYCUSTOM_USERNAVIGATION, Pick<WPARAM>({VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 0, 0xFFFF, Any()}), Any());
            break;
        case 8:
            Send(WM_TODAYCUSTOM_ACTION, Any(), Any());
            break;
        case 9:
            Send(WM_SETTINGCHANGE, Any(), 0);
            break;
        case 10:
            Send(WM_NOTIFY, Any(), 0);
            break;
        case 11: {
            CREATESTRUCTW cs = {};
            Send(WM_CREATE, 0, Chance(50) ? reinterpret_cast<LPARAM>(&cs) : 0);
            break;
        }
        case 12:
            Send(WM_DESTROY, 0, 0);
            break;
        case 13:
            Send(Pick<UINT>({WM_KEYDOWN, WM_CHAR, WM_MOUSEMOVE, WM_TIMER, WM_USER + 1, 0x4F4, 0x4F5}), Any(), 0);
            break;
        case 14: {
            // The clock jumps.
            SYSTEMTIME now = {};
            now.wYear = static_cast<WORD>(std::uniform_int_distribution<int>(1601, 30827)(random));
            now.wMonth = static_cast<WORD>(std::uniform_int_distribution<int>(1, 12)(random));
            now.wDay = static_cast<WORD>(std::uniform_int_distribution<int>(1, 28)(random));
            now.wHour = static_cast<WORD>(std::uniform_int_distribution<int>(0, 23)(random));
            now.wMinute = static_cast<WORD>(std::uniform_int_distribution<int>(0, 59)(random));
            SetLocalTime(&now);
            break;
        }
        case 15:
            DeviceSetTickCount(Any());
            break;
        case 16:
            PutAlarmFlags(static_cast<int>(Any() % 3), static_cast<BYTE>(Any()));
            break;
        default:
            // Far years, as many strokes would give.
            item->m_nYear = Pick<int>({0x7FFFFFFF, -0x7FFFFFFF - 1, -5637, 0, 9999});
            Send(WM_TODAYCUSTOM_USERNAVIGATION, VK_RIGHT, 0);
            break;
        }
    }

    void Check()
    {
        ASSERT_GE(item->m_nMonth, 1);
        ASSERT_LE(item->m_nMonth, 12);
        if (item->m_hMemDC) {
            ASSERT_LE(SurfaceHeight(item->m_hMemDC), 800);
        }
    }

    std::mt19937 random;
    dialogdriver::DialogDriver driver;
};

TEST_F(Fuzz, RandomMessagesOverExtremeSettings)
{
    const char* seedsText = std::getenv("FUZZ_SEEDS");
    const int seeds = seedsText ? std::atoi(seedsText) : 12;
    const Counts before = Live();
    for (int seed = 1; seed <= seeds; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        random.seed(static_cast<unsigned>(seed));
        testreg::DeleteTree(HKEY_CURRENT_USER, testreg::kKey);
        ExtremeSettings();
        LoadSettings();
        Make(Time(2026, 12, 8));
        for (int i = 0; i < 300 && !HasFatalFailure(); ++i) {
            AnyMessage();
            Check();
        }
        InvalidateRect(item->m_hWnd, nullptr, TRUE);
        UpdateWindow(item->m_hWnd);
        if (item->m_hMemDC) {
            EXPECT_LE(item->m_nHeight, 800);
        }
        Destroy();
        testhost::PumpMessages();
        EXPECT_EQ(before, Live()) << "a leak";
        if (HasFatalFailure())
            return;
    }
}

} // namespace
