// The item window base class under a test Today screen: the dispatcher, the
// refresh query, creation, painting and the release of what it made.
#include "TestHost.h"
#include "TodayWindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using testhost::TestHost;

constexpr wchar_t kClass[] = L"RecordingItemClass";
constexpr wchar_t kName[] = L"RecordingItem";

// Records every handler call, then does what the base class does.
class CRecordingItem : public CTodayWindow
{
public:
    explicit CRecordingItem(HINSTANCE hInstance = GetModuleHandleW(nullptr))
        : CTodayWindow(hInstance, kClass, kName)
    {
    }

    std::vector<std::string> calls;
    std::vector<UINT> messages;
    int createResult = 0;
    HWND windowAtCreate = reinterpret_cast<HWND>(-1);
    HDC iconDc = nullptr, paintDc = nullptr, eraseDc = nullptr;
    UINT keys = 0;
    int x = -1, y = -1;
    WPARAM settingWParam = 0;
    LPARAM settingLParam = 0;
    LRESULT notifyResult = 0, clearResult = 0;
    TODAYLISTITEM* clearRecord = nullptr;
    std::function<void(TODAYLISTITEM*, BOOL*)> onQuery;

    LRESULT WndProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(uMsg);
        return CTodayWindow::WndProc(uMsg, wParam, lParam);
    }
    void DrawIcon(HDC hdc) override
    {
        calls.push_back("DrawIcon");
        iconDc = hdc;
        CTodayWindow::DrawIcon(hdc);
    }
    void OnInit() override
    {
        calls.push_back("OnInit");
        CTodayWindow::OnInit();
    }
    int OnCreate(LPCREATESTRUCTW pcs) override
    {
        calls.push_back("OnCreate");
        windowAtCreate = m_hWnd;
        CTodayWindow::OnCreate(pcs);
        return createResult;
    }
    void OnDestroy() override { calls.push_back("OnDestroy"); }
    void OnPaint(HDC hdc) override
    {
        calls.push_back("OnPaint");
        paintDc = hdc;
    }
    void OnEraseBkgnd(HDC hdc) override
    {
        calls.push_back("OnEraseBkgnd");
        eraseDc = hdc;
        CTodayWindow::OnEraseBkgnd(hdc);
    }
    void OnQueryRefreshCache(TODAYLISTITEM* ptli, BOOL* pbRefresh) override
    {
        calls.push_back("OnQueryRefreshCache");
        if (onQuery)
            onQuery(ptli, pbRefresh);
    }
    LRESULT OnClearCache(TODAYLISTITEM* ptli) override
    {
        calls.push_back("OnClearCache");
        clearRecord = ptli;
        return clearResult;
    }
    void OnLButtonUp(UINT uKeys, int nX, int nY) override
    {
        calls.push_back("OnLButtonUp");
        keys = uKeys, x = nX, y = nY;
    }
    void OnLButtonDown(UINT uKeys, int nX, int nY) override
    {
        calls.push_back("OnLButtonDown");
        keys = uKeys, x = nX, y = nY;
    }
    void OnSettingChange(WPARAM wParam, LPARAM lParam) override
    {
        calls.push_back("OnSettingChange");
        settingWParam = wParam, settingLParam = lParam;
    }
    LRESULT OnNotify(WPARAM, LPARAM) override
    {
        calls.push_back("OnNotify");
        return notifyResult;
    }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        calls.push_back("OnMessage");
        return CTodayWindow::OnMessage(uMsg, wParam, lParam);
    }

    size_t Count(const std::string& call) const
    {
        size_t n = 0;
        for (const std::string& c : calls)
            n += c == call;
        return n;
    }
};

CRecordingItem* g_item = nullptr;

LRESULT CALLBACK RecordingWndProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return g_item->WndProc(uMsg, wParam, lParam);
}

class TodayWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        item = std::make_unique<CRecordingItem>();
        g_item = item.get();
        item->UnregisterWindowClass();
        ASSERT_NE(0, item->RegisterWindowClass(RecordingWndProc));
    }

    void TearDown() override
    {
        if (item->m_hWnd)
            DestroyWindow(item->m_hWnd);
        item.reset();
        g_item = nullptr;
    }

    void CreateItem()
    {
        ASSERT_TRUE(item->Create(host.Window(), WS_CHILD | WS_VISIBLE));
        item->calls.clear();
    }

    LRESULT Query(TODAYLISTITEM* record)
    {
        return SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(record), 0);
    }

    TestHost host;
    std::unique_ptr<CRecordingItem> item;
};

// Made in memory that held a live font's handle everywhere: a field the
// constructor left as it found it would show, and the destructor would
// release the font.
TEST_F(TodayWindowTest, ConstructionSetsItsFieldsAndANeverInitialisedObjectReleasesNothing)
{
    HFONT unrelated = CreateFontW(-10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
    alignas(CRecordingItem) unsigned char memory[sizeof(CRecordingItem)];
    for (size_t at = 0; at + sizeof unrelated <= sizeof memory; at += sizeof unrelated)
        std::memcpy(memory + at, &unrelated, sizeof unrelated);
    auto* fresh = new (memory) CRecordingItem;
    EXPECT_EQ(nullptr, fresh->m_hWnd);
    EXPECT_EQ(10, fresh->m_nHeight);
    EXPECT_EQ(nullptr, fresh->m_hIcon);
    EXPECT_EQ(nullptr, fresh->m_hFont);
    EXPECT_EQ(nullptr, fresh->m_hBoldFont);
    EXPECT_EQ(GetModuleHandleW(nullptr), fresh->m_hInstance);
    EXPECT_EQ(kClass, fresh->m_pszClassName);
    EXPECT_EQ(kName, fresh->m_pszWindowName);
    fresh->~CRecordingItem();
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(unrelated));
    DeleteObject(unrelated);
}

TEST_F(TodayWindowTest, TheClassRedrawsOnResizeAndNeverFillsItsBackground)
{
    WNDCLASSW wc;
    ASSERT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), kClass, &wc));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), wc.style);
    EXPECT_EQ(GetStockObject(NULL_BRUSH), wc.hbrBackground);
    EXPECT_EQ(nullptr, wc.hIcon);
    EXPECT_EQ(nullptr, wc.hCursor);
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(0, wc.cbWndExtra);
}

TEST_F(TodayWindowTest, CreateMakesAScreenWideChildWithNoHeight)
{
    ASSERT_TRUE(item->Create(host.Window(), WS_CHILD | WS_VISIBLE));
    ASSERT_NE(nullptr, item->m_hWnd);
    EXPECT_EQ(host.Window(), GetParent(item->m_hWnd));
    EXPECT_EQ(host.Window(), item->m_hwndParent);
    EXPECT_TRUE(item->m_bReportHeight);
    RECT rc;
    GetWindowRect(item->m_hWnd, &rc);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rc.right - rc.left);
    EXPECT_EQ(0, rc.bottom - rc.top);
    wchar_t text[32];
    GetWindowTextW(item->m_hWnd, text, 32);
    EXPECT_STREQ(kName, text);
}

TEST_F(TodayWindowTest, CreationDeliversCreateFirstWhileTheWindowIsUnknown)
{
    ASSERT_TRUE(item->Create(host.Window(), WS_CHILD | WS_VISIBLE));
    ASSERT_FALSE(item->messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), item->messages.front());
    EXPECT_EQ(nullptr, item->windowAtCreate);
    ASSERT_GE(item->calls.size(), 2u);
    EXPECT_EQ("OnCreate", item->calls.front());
    EXPECT_EQ("OnInit", item->calls.back());
    for (UINT m : item->messages) {
        EXPECT_NE(static_cast<UINT>(WM_NCCREATE), m);
        EXPECT_NE(static_cast<UINT>(WM_NCCALCSIZE), m);
        EXPECT_NE(static_cast<UINT>(WM_GETMINMAXINFO), m);
    }
}

TEST_F(TodayWindowTest, OnCreateMinusOneRefusesTheWindowButOnInitRuns)
{
    item->createResult = -1;
    EXPECT_FALSE(item->Create(host.Window(), WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(nullptr, item->m_hWnd);
    EXPECT_EQ(1u, item->Count("OnCreate"));
    EXPECT_EQ("OnInit", item->calls.back());
    // Without a window nothing is shown, not even the host.
    ShowWindow(host.Window(), SW_HIDE);
    item->Show(TRUE);
    EXPECT_FALSE(IsWindowVisible(host.Window()));
    ShowWindow(host.Window(), SW_SHOW);
}

TEST_F(TodayWindowTest, CreateAnswersMinusOneOrTheDefaultProceduresResult)
{
    CreateItem();
    CREATESTRUCTW cs = {};
    item->createResult = 5;
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)));
    item->createResult = -1;
    EXPECT_EQ(-1, SendMessageW(item->m_hWnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)));
}

TEST_F(TodayWindowTest, PaintDrawsTheIconThenPaintsWithTheSameDcAndValidates)
{
    CreateItem();
    SetWindowPos(item->m_hWnd, nullptr, 0, 30, 240, 40, SWP_NOZORDER);
    InvalidateRect(item->m_hWnd, nullptr, FALSE);
    item->calls.clear();
    UpdateWindow(item->m_hWnd);
    std::vector<std::string> painted;
    for (const std::string& c : item->calls)
        if (c == "DrawIcon" || c == "OnPaint")
            painted.push_back(c);
    ASSERT_EQ((std::vector<std::string>{"DrawIcon", "OnPaint"}), painted);
    EXPECT_NE(nullptr, item->paintDc);
    EXPECT_EQ(item->iconDc, item->paintDc);
    EXPECT_FALSE(GetUpdateRect(item->m_hWnd, nullptr, FALSE));
}

TEST_F(TodayWindowTest, EraseBackgroundAnswersOneAndAsksTheHostForItsBackground)
{
    CreateItem();
    SetWindowPos(item->m_hWnd, nullptr, 0, 30, 240, 40, SWP_NOZORDER);
    HDC dc = GetDC(item->m_hWnd);
    host.watermarks.clear();
    EXPECT_EQ(1, SendMessageW(item->m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    EXPECT_EQ(dc, item->eraseDc);
    ASSERT_EQ(1u, host.watermarks.size());
    EXPECT_EQ(dc, host.watermarks[0].hdc);
    EXPECT_EQ(item->m_hWnd, host.watermarks[0].hwnd);
    RECT client;
    GetClientRect(item->m_hWnd, &client);
    EXPECT_TRUE(EqualRect(&client, &host.watermarks[0].rc));
    ReleaseDC(item->m_hWnd, dc);

    const testhost::Image image = testhost::CaptureWindow(item->m_hWnd);
    EXPECT_EQ(testhost::BackgroundAt(7, 30 + 9), image.At(7, 9));
    EXPECT_EQ(testhost::BackgroundAt(200, 30 + 33), image.At(200, 33));
}

TEST_F(TodayWindowTest, StylusCoordinatesAreUnsigned16BitValues)
{
    CreateItem();
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(0xFFFFFFFF)));
    EXPECT_EQ(1u, item->Count("OnLButtonDown"));
    EXPECT_EQ(static_cast<UINT>(MK_LBUTTON), item->keys);
    EXPECT_EQ(65535, item->x);
    EXPECT_EQ(65535, item->y);
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(0xFFFF, 7)));
    EXPECT_EQ(1u, item->Count("OnLButtonUp"));
    EXPECT_EQ(65535, item->x);
    EXPECT_EQ(7, item->y);
}

TEST_F(TodayWindowTest, TheOtherTableMessagesReachTheirHandlers)
{
    CreateItem();
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_SETTINGCHANGE, 12, 34));
    EXPECT_EQ(1u, item->Count("OnSettingChange"));
    EXPECT_EQ(12u, item->settingWParam);
    EXPECT_EQ(34, item->settingLParam);

    item->notifyResult = 77;
    NMHDR header = {item->m_hWnd, 1, 2};
    EXPECT_EQ(77, SendMessageW(item->m_hWnd, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header)));

    TODAYLISTITEM record = {};
    item->clearResult = 55;
    EXPECT_EQ(55, SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_CLEARCACHE, reinterpret_cast<WPARAM>(&record), 0));
    EXPECT_EQ(&record, item->clearRecord);

    EXPECT_EQ(0u, item->Count("OnMessage"));
    EXPECT_EQ(0, SendMessageW(item->m_hWnd, WM_DESTROY, 0, 0));
    EXPECT_EQ(1u, item->Count("OnDestroy"));
}

TEST_F(TodayWindowTest, BaseClearCacheAndNotifyAnswerZero)
{
    CTodayWindow plain(GetModuleHandleW(nullptr), kClass, kName);
    TODAYLISTITEM record = {};
    EXPECT_EQ(0, plain.OnClearCache(&record));
    EXPECT_EQ(0, plain.OnNotify(0, 0));
    EXPECT_EQ(0, plain.OnCreate(nullptr));
}

TEST_F(TodayWindowTest, AnyOtherMessageGoesToOnMessageAndTheDefaultProcedure)
{
    CreateItem();
    wchar_t text[32] = {};
    EXPECT_EQ(13, SendMessageW(item->m_hWnd, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)));
    EXPECT_STREQ(kName, text);
    EXPECT_EQ(1u, item->Count("OnMessage"));
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_USERNAVIGATION, VK_LEFT, 0);
    SendMessageW(item->m_hWnd, WM_TODAYCUSTOM_ACTION, 0, 0);
    EXPECT_EQ(3u, item->Count("OnMessage"));
}

TEST_F(TodayWindowTest, AnotherWindowOfTheClassIsServedByTheOneObject)
{
    CreateItem();
    HWND other = CreateWindowExW(0, kClass, L"other", WS_CHILD, 0, 0, 10, 10, host.Window(), nullptr,
        GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, other);
    SendMessageW(other, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 4));
    EXPECT_EQ(3, item->x);
    EXPECT_EQ(4, item->y);
    wchar_t text[32] = {};
    SendMessageW(other, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(kName, text); // answered for m_hWnd
    DestroyWindow(other);
}

TEST_F(TodayWindowTest, FirstQueryHandsOverTheHeight)
{
    CreateItem();
    item->SetHeight(37);
    TODAYLISTITEM record = {};
    EXPECT_EQ(TRUE, Query(&record));
    EXPECT_EQ(37u, record.cyp);
    EXPECT_FALSE(item->m_bReportHeight);
    EXPECT_EQ(1u, item->Count("OnQueryRefreshCache"));

    record.cyp = 0;
    EXPECT_EQ(FALSE, Query(&record));
    EXPECT_EQ(0u, record.cyp);

    item->onQuery = [](TODAYLISTITEM*, BOOL* refresh) { *refresh = TRUE; };
    EXPECT_EQ(TRUE, Query(&record));
}

TEST_F(TodayWindowTest, AHandlerMayClearTheFirstQuerysFlag)
{
    CreateItem();
    item->SetHeight(21);
    BOOL seen = FALSE;
    item->onQuery = [&seen](TODAYLISTITEM*, BOOL* refresh) {
        seen = *refresh;
        *refresh = FALSE;
    };
    TODAYLISTITEM record = {};
    EXPECT_EQ(FALSE, Query(&record));
    EXPECT_TRUE(seen);
    EXPECT_EQ(21u, record.cyp);
    EXPECT_FALSE(item->m_bReportHeight);
}

TEST_F(TodayWindowTest, AQueryWithoutRecordOrBeforeTheShellIsReadyIsDropped)
{
    CreateItem();
    EXPECT_EQ(0, Query(nullptr));
    EXPECT_TRUE(item->m_bReportHeight);

    host.SetReady(false);
    TODAYLISTITEM record = {};
    EXPECT_EQ(0, Query(&record));
    EXPECT_TRUE(item->m_bReportHeight);
    EXPECT_EQ(0u, record.cyp);
    EXPECT_EQ(0u, item->Count("OnQueryRefreshCache"));

    host.SetReady(true);
    item->SetHeight(12);
    EXPECT_EQ(TRUE, Query(&record));
    EXPECT_EQ(12u, record.cyp);
}

TEST_F(TodayWindowTest, QueriesLeaveNoHandleBehind)
{
    CreateItem();
    TODAYLISTITEM record = {};
    Query(&record);
    DWORD before = 0, after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    for (int i = 0; i < 200; ++i)
        Query(&record);
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_EQ(before, after);
}

TEST_F(TodayWindowTest, SetHeightAfterTheHandOverHandsNothingOver)
{
    CreateItem();
    TODAYLISTITEM record = {};
    Query(&record);
    item->SetHeight(99);
    EXPECT_EQ(99, item->m_nHeight);
    EXPECT_FALSE(item->m_bReportHeight);
    EXPECT_EQ(FALSE, Query(&record));
    EXPECT_EQ(10u, record.cyp);
}

TEST_F(TodayWindowTest, ShowFalseKeepsTheWindowVisibleAndUpdatesIt)
{
    CreateItem();
    SetWindowPos(item->m_hWnd, nullptr, 0, 30, 240, 40, SWP_NOZORDER);
    ASSERT_TRUE(IsWindowVisible(item->m_hWnd));
    InvalidateRect(item->m_hWnd, nullptr, FALSE);
    item->calls.clear();
    item->Show(FALSE);
    EXPECT_TRUE(IsWindowVisible(item->m_hWnd));
    EXPECT_EQ(1u, item->Count("OnPaint"));

    ShowWindow(item->m_hWnd, SW_HIDE);
    item->Show(TRUE);
    EXPECT_TRUE(IsWindowVisible(item->m_hWnd));
}

TEST_F(TodayWindowTest, UnregisterWithoutAnInstanceDoesNothing)
{
    CRecordingItem noInstance(nullptr);
    noInstance.UnregisterWindowClass();
    WNDCLASSW wc;
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), kClass, &wc));
    item->UnregisterWindowClass();
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), kClass, &wc));
}

TEST_F(TodayWindowTest, BaseInitTakesTheHostColourAndMakesTwoTahomaFonts)
{
    CreateItem();
    EXPECT_EQ(host.textColor, item->m_crText);
    LOGFONTW normal, bold, system;
    ASSERT_EQ(static_cast<int>(sizeof normal), GetObjectW(item->m_hFont, sizeof normal, &normal));
    ASSERT_EQ(static_cast<int>(sizeof bold), GetObjectW(item->m_hBoldFont, sizeof bold, &bold));
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof system, &system);
    EXPECT_STREQ(L"Tahoma", normal.lfFaceName);
    EXPECT_EQ(-11, normal.lfHeight);
    EXPECT_EQ(FW_NORMAL, normal.lfWeight);
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
    EXPECT_EQ(-11, bold.lfHeight);
    // Every other field is the system font's.
    EXPECT_EQ(system.lfCharSet, normal.lfCharSet);
    EXPECT_EQ(system.lfPitchAndFamily, normal.lfPitchAndFamily);
    EXPECT_EQ(system.lfQuality, bold.lfQuality);
    EXPECT_EQ(system.lfItalic, bold.lfItalic);
}

HICON MakeSolidIcon(int size, COLORREF color)
{
    HDC screen = GetDC(nullptr);
    HBITMAP colorBits = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, colorBits);
    HBRUSH brush = CreateSolidBrush(color);
    RECT rc = {0, 0, size, size};
    FillRect(dc, &rc, brush);
    SelectObject(dc, mask);
    PatBlt(dc, 0, 0, size, size, BLACKNESS);
    SelectObject(dc, old);
    ICONINFO info = {TRUE, 0, 0, mask, colorBits};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(brush);
    DeleteDC(dc);
    DeleteObject(colorBits);
    DeleteObject(mask);
    ReleaseDC(nullptr, screen);
    return icon;
}

TEST_F(TodayWindowTest, TheBaseIconIsDrawnAtItsPointAndOwnSize)
{
    CreateItem();
    SetWindowPos(item->m_hWnd, nullptr, 0, 30, 240, 40, SWP_NOZORDER);
    item->m_hIcon = MakeSolidIcon(8, RGB(0, 200, 10));
    item->m_ptIcon = {3, 4};
    InvalidateRect(item->m_hWnd, nullptr, TRUE);
    UpdateWindow(item->m_hWnd);
    const testhost::Image image = testhost::CaptureWindow(item->m_hWnd);
    EXPECT_EQ(RGB(0, 200, 10), image.At(3, 4));
    EXPECT_EQ(RGB(0, 200, 10), image.At(10, 11));
    EXPECT_NE(RGB(0, 200, 10), image.At(11, 12));
    EXPECT_NE(RGB(0, 200, 10), image.At(2, 4));
}

TEST_F(TodayWindowTest, TheDestructorReleasesWhatWasMadeAndNothingElse)
{
    CreateItem();
    HFONT font = item->m_hFont;
    HFONT boldFont = item->m_hBoldFont;
    HICON icon = MakeSolidIcon(4, RGB(1, 2, 3));
    item->m_hIcon = icon;
    HWND window = item->m_hWnd;
    ASSERT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));

    item = std::make_unique<CRecordingItem>(); // the old one is deleted
    g_item = item.get();
    EXPECT_EQ(0u, GetObjectType(font));
    EXPECT_EQ(0u, GetObjectType(boldFont));
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info));
    EXPECT_TRUE(IsWindow(window)); // the window belongs to the host
    DestroyWindow(window);
}

} // namespace
