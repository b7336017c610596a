// coredll's window classes and system font behave as on Windows CE.
#include "TestHost.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> g_messages;

// A Windows CE item's procedure during its first creation: it knows no window
// handle yet and passes a null one on.
LRESULT CALLBACK NullHandleProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_messages.push_back(message);
    return DefWindowProcW(nullptr, message, wParam, lParam);
}

LRESULT CALLBACK OwnHandleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_messages.push_back(message + 0x10000);
    return DefWindowProcW(window, message, wParam, lParam);
}

using RegisterClassFn = ATOM(WINAPI*)(const WNDCLASSW*);
using StockObjectFn = HGDIOBJ(WINAPI*)(int);

template <typename Fn>
Fn Desktop(const wchar_t* module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
}

class CoreWindow : public testing::Test
{
protected:
    void TearDown() override
    {
        UnregisterClassW(L"CeTestClass", GetModuleHandleW(nullptr));
        g_messages.clear();
    }

    WNDCLASSW Class(WNDPROC procedure) const
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CeTestClass";
        return wc;
    }

    HWND Create() const
    {
        return CreateWindowExW(0, L"CeTestClass", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 0, host.Window(), nullptr,
            GetModuleHandleW(nullptr), nullptr);
    }

    // The first message a new window of the class reached its procedure with.
    UINT FirstMessage()
    {
        HWND window = Create();
        EXPECT_NE(nullptr, window);
        const UINT first = g_messages.empty() ? 0 : g_messages.front();
        DestroyWindow(window);
        return first;
    }

    testhost::TestHost host;
};

TEST_F(CoreWindow, ANullHandleProcedureCreatesItsWindowAndSeesCreateFirst)
{
    const WNDCLASSW wc = Class(NullHandleProc);
    ASSERT_NE(0, RegisterClassW(&wc));
    HWND window = Create();
    ASSERT_NE(nullptr, window);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), g_messages.front());
    for (UINT m : g_messages) {
        EXPECT_NE(static_cast<UINT>(WM_NCCREATE), m);
        EXPECT_NE(static_cast<UINT>(WM_NCCALCSIZE), m);
        EXPECT_NE(static_cast<UINT>(WM_GETMINMAXINFO), m);
    }
    DestroyWindow(window);
}

TEST_F(CoreWindow, OnTheDesktopTheSameProcedureCannotCreateItsWindow)
{
    const WNDCLASSW wc = Class(NullHandleProc);
    ASSERT_NE(0, Desktop<RegisterClassFn>(L"user32.dll", "RegisterClassW")(&wc));
    EXPECT_EQ(nullptr, Create());
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), g_messages.front());
}

TEST_F(CoreWindow, MessagesWindowsCeSendsStillArrive)
{
    const WNDCLASSW wc = Class(NullHandleProc);
    ASSERT_NE(0, RegisterClassW(&wc));
    HWND window = Create();
    g_messages.clear();
    SendMessageW(window, WM_USER + 1, 0, 0);
    SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
    SendMessageW(window, WM_NCHITTEST, 0, 0);
    EXPECT_EQ((std::vector<UINT>{WM_USER + 1, WM_LBUTTONDOWN}), g_messages);
    DestroyWindow(window);
}

TEST_F(CoreWindow, UnregisteringForgetsTheProcedure)
{
    WNDCLASSW wc = Class(NullHandleProc);
    ASSERT_NE(0, RegisterClassW(&wc));
    EXPECT_EQ(0, RegisterClassW(&wc)); // already registered
    ASSERT_TRUE(UnregisterClassW(L"CeTestClass", GetModuleHandleW(nullptr)));
    wc.lpfnWndProc = OwnHandleProc;
    ASSERT_NE(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<UINT>(WM_CREATE + 0x10000), FirstMessage());
}

// A module unloaded without unregistering leaves its class; another module's
// class of that name reaches its own procedure, and each goes on its own.
TEST_F(CoreWindow, ClassesOfOneNameFromTwoModulesKeepTheirOwnProcedures)
{
    const HINSTANCE other = GetModuleHandleW(L"coredll.dll");
    WNDCLASSW wc = Class(NullHandleProc);
    ASSERT_NE(0, RegisterClassW(&wc));
    wc.lpfnWndProc = OwnHandleProc;
    wc.hInstance = other;
    ASSERT_NE(0, RegisterClassW(&wc));
    const auto create = [&](HINSTANCE instance) {
        g_messages.clear();
        HWND window = CreateWindowExW(0, L"CeTestClass", L"", WS_CHILD, 0, 0, 5, 5, host.Window(), nullptr, instance,
            nullptr);
        EXPECT_NE(nullptr, window);
        const UINT first = g_messages.empty() ? 0 : g_messages.front();
        DestroyWindow(window);
        return first;
    };
    EXPECT_EQ(static_cast<UINT>(WM_CREATE + 0x10000), create(other));
    EXPECT_EQ(static_cast<UINT>(WM_CREATE), create(GetModuleHandleW(nullptr)));
    ASSERT_TRUE(UnregisterClassW(L"CeTestClass", GetModuleHandleW(nullptr)));
    EXPECT_EQ(static_cast<UINT>(WM_CREATE + 0x10000), create(other));
    EXPECT_TRUE(UnregisterClassW(L"CeTestClass", other));
}

// A class registered without a module is the program's.
TEST_F(CoreWindow, AClassWithoutAModuleIsTheProgramsAndReachesItsProcedure)
{
    WNDCLASSW wc = Class(OwnHandleProc);
    wc.hInstance = nullptr;
    ASSERT_NE(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<UINT>(WM_CREATE + 0x10000), FirstMessage());
}

TEST(CoreGdi, TheSystemFontIsTahomaOfNormalWeight)
{
    LOGFONTW font;
    ASSERT_EQ(static_cast<int>(sizeof font), GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font));
    EXPECT_STREQ(L"Tahoma", font.lfFaceName);
    EXPECT_EQ(FW_NORMAL, font.lfWeight);
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), GetStockObject(SYSTEM_FONT));

    LOGFONTW desktop;
    GetObjectW(Desktop<StockObjectFn>(L"gdi32.dll", "GetStockObject")(SYSTEM_FONT), sizeof desktop, &desktop);
    EXPECT_STRNE(L"Tahoma", desktop.lfFaceName);
    EXPECT_EQ(FW_BOLD, desktop.lfWeight);
}

TEST(CoreGdi, TahomaIsInstalledInTheDevice)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, GetStockObject(SYSTEM_FONT));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    WORD glyphs[2] = {};
    GetGlyphIndicesW(screen, L"Яп", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    EXPECT_STREQ(L"Tahoma", face);
    EXPECT_NE(0xFFFF, glyphs[0]);
    EXPECT_NE(0xFFFF, glyphs[1]);
}

TEST(CoreGdi, OtherStockObjectsAreTheDesktopOnes)
{
    const auto desktop = Desktop<StockObjectFn>(L"gdi32.dll", "GetStockObject");
    EXPECT_EQ(desktop(NULL_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(desktop(BLACK_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(desktop(DEFAULT_GUI_FONT), GetStockObject(DEFAULT_GUI_FONT));
}

} // namespace
