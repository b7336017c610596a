// SHRecognizeGesture against the real stylus: input played through
// SendInput while a window asks, at each stylus-down, whether it is a hold.
// The input's clock is the test's own (DeviceSetInputClock), so each press
// lasts exactly as long as the test says, however busy the machine is.
#include "DeviceInput.h"
#include "Waiting.h"

#include <aygshell.h>
#include <devicegesture.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace deviceinput;

constexpr DWORD kNotAsked = 0xFFFFFFFF;

struct Observed
{
    std::atomic<DWORD> answer{kNotAsked};
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

bool RingShown()
{
    HWND feedback = FindWindowW(L"DeviceHoldFeedback", nullptr);
    return feedback && IsWindowVisible(feedback);
}

// One stylus event of a press: when, on the input's clock, after the press;
// where, from the press; the button it changes (none: a move); and whether
// the stylus moves there with it or the button changes where it stands.
struct Event
{
    LONG after;
    int dx;
    int dy;
    DWORD buttons;
    bool moves = true;
};

class Gesture : public testing::Test
{
protected:
    void SetUp() override
    {
        g_seen.answer = kNotAsked;
        g_seen.down = g_seen.up = {-1, -1};
        g_seen.ups = 0;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = AskingWindow;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GestureTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0,
            GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(window);
        BringPointerTo(kPoint);
        Approach(kPoint);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        StartPress();
    }

    void TearDown() override
    {
        DeviceReleaseInputClock();
        DestroyWindow(window);
    }

    // Sends one event stamped with its time, then moves the input's clock on
    // to it (an event stamped earlier, as the display's echo is, leaves the
    // clock where it stands).
    void Send(const Event& event)
    {
        const DWORD stamp = pressed + event.after;
        if (event.moves)
            Stylus(POINT{kPoint.x + event.dx, kPoint.y + event.dy}, event.buttons, stamp);
        else
            Button(event.buttons, stamp);
        if (static_cast<LONG>(stamp - clock) > 0)
            clock = stamp;
        DeviceSetInputClock(clock);
    }

    // A new press at the input's time now.
    void StartPress()
    {
        pressed = clock = InputTime();
        DeviceSetInputClock(clock);
    }

    // The press and its events played on another thread while this one
    // serves the window, until the stylus-up has arrived; each event when
    // its time has come, as a stylus makes them (the display's echo of a
    // move carries the moment it was made).
    void PlayWhileServed(const std::vector<Event>& events, const std::function<void()>& whileDown = {})
    {
        std::thread player([&] {
            Send(Event{0, 0, 0, MOUSEEVENTF_LEFTDOWN});
            if (whileDown)
                whileDown();
            for (const Event& event : events) {
                while (static_cast<LONG>(InputTime() - (pressed + event.after)) < 0)
                    Sleep(1);
                Send(event);
            }
        });
        Serve([] { return g_seen.ups > 0; });
        player.join();
    }

    // The press and its events all sent before the window comes to them, as
    // to a window whose thread was busy.
    void PlayThenServe(const std::vector<Event>& events)
    {
        Send(Event{0, 0, 0, MOUSEEVENTF_LEFTDOWN});
        for (const Event& event : events)
            Send(event);
        Serve([] { return g_seen.ups > 0; });
    }

    static void Serve(const std::function<bool()>& until)
    {
        waiting::Until(until, "the stylus-up to reach the window");
    }

    static constexpr POINT kPoint = {60, 80};
    HWND window = nullptr;
    DWORD pressed = 0;
    DWORD clock = 0;
};

struct PressCase
{
    const char* what;
    std::vector<Event> events;
    DWORD answer;
    POINT up; // where the stylus-up arrived, from the press
};

const PressCase kPresses[] = {
    {"held still past the hold time", {{800, 0, 0, MOUSEEVENTF_LEFTUP}}, GN_CONTEXTMENU, {0, 0}},
    {"lifted at the hold time", {{DEVICE_HOLD_MILLISECONDS, 0, 0, MOUSEEVENTF_LEFTUP}}, GN_CONTEXTMENU, {0, 0}},
    {"lifted just before it", {{DEVICE_HOLD_MILLISECONDS - 1, 0, 0, MOUSEEVENTF_LEFTUP}}, 0, {0, 0}},
    {"a quick tap", {{60, 0, 0, MOUSEEVENTF_LEFTUP}}, 0, {0, 0}},
    {"a little wandering", {{150, 2, 1, 0}, {700, 2, 1, MOUSEEVENTF_LEFTUP}}, GN_CONTEXTMENU, {2, 1}},
    {"an early move away, held still too late",
        {{100, 20, 2, 0}, {120, 40, 5, 0}, {820, 40, 5, MOUSEEVENTF_LEFTUP}}, 0, {40, 5}},
    {"a move away after the hold time", {{600, 40, 5, 0}, {700, 40, 5, MOUSEEVENTF_LEFTUP}}, GN_CONTEXTMENU,
        {40, 5}},
    // The display's late echo of the pointer's earlier place, queued behind
    // the press's own events, is no move.
    {"an echo stamped before the press", {{800, 0, 0, MOUSEEVENTF_LEFTUP, false}, {-10, 40, 5, 0}},
        GN_CONTEXTMENU, {0, 0}},
};

TEST_F(Gesture, EachPressIsJudgedByHowLongItLastedWhenTheWindowIsQuickOrLate)
{
    for (const bool late : {false, true}) {
        for (const PressCase& press : kPresses) {
            SCOPED_TRACE(std::string(press.what) + (late ? ", the window late" : ", the window quick"));
            g_seen.answer = kNotAsked;
            g_seen.ups = 0;
            StartPress();
            if (late)
                PlayThenServe(press.events);
            else
                PlayWhileServed(press.events);
            EXPECT_EQ(press.answer, g_seen.answer.load());
            EXPECT_EQ(kPoint.x, g_seen.down.x);
            EXPECT_EQ(kPoint.y, g_seen.down.y);
            EXPECT_EQ(1, g_seen.ups);
            EXPECT_EQ(kPoint.x + press.up.x, g_seen.up.x);
            EXPECT_EQ(kPoint.y + press.up.y, g_seen.up.y);
            // Back to the press's place for the next.
            Approach(kPoint);
        }
    }
}

TEST_F(Gesture, WhileAPressLastsTheRingShowsAndItGoesWithTheHold)
{
    bool ring = false;
    PlayWhileServed({{800, 0, 0, MOUSEEVENTF_LEFTUP}}, [&] {
        DeviceSetInputClock(pressed + DEVICE_HOLD_MILLISECONDS / 2 + 50);
        ring = waiting::Until(RingShown, "the ring of dots while the stylus is held");
    });
    EXPECT_TRUE(ring);
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), g_seen.answer.load());
    EXPECT_FALSE(RingShown());
}

TEST_F(Gesture, OnTheTickCountAPressHeldStillBecomesAHold)
{
    DeviceReleaseInputClock();
    std::thread player([] {
        Stylus(kPoint, MOUSEEVENTF_LEFTDOWN);
        waiting::Until([] { return g_seen.answer != kNotAsked; }, "the recogniser's answer");
        Stylus(kPoint, MOUSEEVENTF_LEFTUP);
    });
    Serve([] { return g_seen.ups > 0; });
    player.join();
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), g_seen.answer.load());
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
