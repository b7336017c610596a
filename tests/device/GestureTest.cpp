// SHRecognizeGesture against the real stylus: input played through
// SendInput while a window asks, at each stylus-down, whether it is a hold.
#include "DeviceInput.h"

#include <aygshell.h>
#include <devicegesture.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

using namespace deviceinput;

struct Observed
{
    DWORD answer = 0xFFFFFFFF;
    POINT down = {-1, -1};
    POINT up = {-1, -1};
    int ups = 0;
};

Observed g_seen;

LRESULT CALLBACK AskingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN: {
        g_seen.down = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        SHRGINFO request = {sizeof(SHRGINFO), window, g_seen.down, SHRG_RETURNCMD};
        g_seen.answer = SHRecognizeGesture(&request);
        return 0;
    }
    case WM_LBUTTONUP:
        g_seen.up = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ++g_seen.ups;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

class Gesture : public testing::Test
{
protected:
    void SetUp() override
    {
        g_seen = {};
        WNDCLASSW wc = {};
        wc.lpfnWndProc = AskingWindow;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GestureTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(window);
        Serve(100);
    }

    void TearDown() override { DestroyWindow(window); }

    // Plays input on another thread while this one serves the window.
    void Play(const std::function<void()>& input)
    {
        std::atomic<bool> done{false};
        std::thread player([&] {
            BringPointerTo(kPoint);
            input();
            done = true;
        });
        while (!done)
            Serve(10);
        player.join();
        Serve(200);
    }

    static void Serve(DWORD milliseconds)
    {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
    }

    static constexpr POINT kPoint = {60, 80};
    HWND window = nullptr;
};

TEST_F(Gesture, AStylusHeldStillIsAHold)
{
    bool ring = false;
    Play([&] {
        Approach(kPoint);
        Stylus(kPoint, MOUSEEVENTF_LEFTDOWN);
        Sleep(DEVICE_HOLD_MILLISECONDS / 2 + 100);
        HWND feedback = FindWindowW(L"DeviceHoldFeedback", nullptr);
        ring = feedback && IsWindowVisible(feedback);
        Sleep(DEVICE_HOLD_MILLISECONDS);
        Stylus(kPoint, MOUSEEVENTF_LEFTUP);
    });
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), g_seen.answer);
    EXPECT_EQ(kPoint.x, g_seen.down.x);
    EXPECT_TRUE(ring); // the ring of dots while it waits
    EXPECT_EQ(nullptr, FindWindowW(L"DeviceHoldFeedback", nullptr));
    EXPECT_EQ(1, g_seen.ups);
}

TEST_F(Gesture, ALittleWanderingIsStillAHold)
{
    Play([&] {
        Approach(kPoint);
        Stylus(kPoint, MOUSEEVENTF_LEFTDOWN);
        Sleep(150);
        Stylus(POINT{kPoint.x + 2, kPoint.y + 1});
        Sleep(DEVICE_HOLD_MILLISECONDS + 200);
        Stylus(POINT{kPoint.x + 2, kPoint.y + 1}, MOUSEEVENTF_LEFTUP);
    });
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), g_seen.answer);
}

void ExpectNoHoldAndOneStylusUpAt(POINT point)
{
    EXPECT_EQ(0u, g_seen.answer);
    EXPECT_EQ(1, g_seen.ups);
    EXPECT_EQ(point.x, g_seen.up.x);
    EXPECT_EQ(point.y, g_seen.up.y);
}

TEST_F(Gesture, AQuickTapIsNoHoldAndItsStylusUpArrives)
{
    Play([&] {
        Approach(kPoint);
        Stylus(kPoint, MOUSEEVENTF_LEFTDOWN);
        Sleep(60);
        Stylus(kPoint, MOUSEEVENTF_LEFTUP);
    });
    ExpectNoHoldAndOneStylusUpAt(kPoint);
}

TEST_F(Gesture, AnEarlyMoveIsNoHoldAndTheStylusUpKeepsItsPlace)
{
    const POINT away = {kPoint.x + 40, kPoint.y + 5};
    Play([&] {
        Approach(kPoint);
        Stylus(kPoint, MOUSEEVENTF_LEFTDOWN);
        Sleep(100);
        Stylus(POINT{kPoint.x + 20, kPoint.y + 2});
        Sleep(20);
        Stylus(away);
        Sleep(DEVICE_HOLD_MILLISECONDS + 200); // held still, but too late
        Stylus(away, MOUSEEVENTF_LEFTUP);
    });
    ExpectNoHoldAndOneStylusUpAt(away);
}

TEST(GestureRequest, ABadRequestIsAnsweredAtOnce)
{
    EXPECT_EQ(0u, SHRecognizeGesture(nullptr));
    SHRGINFO request = {sizeof(SHRGINFO) - 1, GetDesktopWindow(), {1, 1}, SHRG_RETURNCMD};
    EXPECT_EQ(0u, SHRecognizeGesture(&request));
    request.cbSize = sizeof request;
    request.hwndClient = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(0u, SHRecognizeGesture(&request));
}

TEST(GestureRequest, AScriptAnswersInTurnAndRecordsTheRequest)
{
    const DWORD answers[] = {GN_CONTEXTMENU, 0, GN_CONTEXTMENU};
    DeviceScriptGestures(answers, 3);
    SHRGINFO request = {sizeof(SHRGINFO), GetDesktopWindow(), {7, 9}, SHRG_RETURNCMD};
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), SHRecognizeGesture(&request));
    EXPECT_EQ(0u, SHRecognizeGesture(&request));
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), SHRecognizeGesture(&request));
    EXPECT_EQ(0u, SHRecognizeGesture(&request)); // the script is used up
    const SHRGINFO last = DeviceLastGestureRequest();
    EXPECT_EQ(7, last.ptDown.x);
    EXPECT_EQ(9, last.ptDown.y);
    DeviceScriptGestures(nullptr, 0);
}

} // namespace
