// SHRecognizeGesture as on a Pocket PC: it follows the stylus from the press
// until it knows whether the press is a tap-and-hold. It only looks at the
// thread's message queue and takes nothing from it, so the moves and the
// stylus-up still reach the window afterwards.
//
// A press is measured on the input's clock: from the time stamp of the
// stylus-down to that of the stylus-up or of the first move away, or, while
// neither has come, to now. A window that comes to the press late (its
// thread was busy) still learns what the stylus did.
#include "HoldFeedback.h"
#include "ScreenDensity.h"

#include <devicegesture.h>

#include <windowsx.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace {

// How far the stylus may wander during a hold, at 96 dpi.
constexpr int kHoldTolerance = 5;
// The ring appears once the press has lasted this long.
constexpr DWORD kFeedbackDelay = 100;
constexpr DWORD kPollMilliseconds = 10;

std::mutex g_mutex;
std::deque<DWORD> g_script;
bool g_scripted = false;
SHRGINFO g_lastRequest = {};
// The clock of a player of stamped input, while one has set it.
std::optional<DWORD> g_inputClock;

// The display stamps its events with the host's tick count, which the
// device clock (a test's or --ticks') does not move.
DWORD Now()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_inputClock ? *g_inputClock : static_cast<DWORD>(GetTickCount64());
}

// Time stamps are tick counts, which wrap.
bool AtOrAfter(DWORD time, DWORD since)
{
    return static_cast<LONG>(time - since) >= 0;
}

// The stamp of the stylus-down the window is handling when that is the
// message its thread took last (the thread's last message lay at the press),
// otherwise now.
DWORD PressTime(POINT down, DWORD now)
{
    const DWORD position = GetMessagePos();
    const DWORD stamp = static_cast<DWORD>(GetMessageTime());
    if (GET_X_LPARAM(position) == down.x && GET_Y_LPARAM(position) == down.y && AtOrAfter(now, stamp))
        return stamp;
    return now;
}

// A button seen down that is up now (the stylus may be lifted over another
// program's window, whose stylus-up this queue never gets). The first
// readings of the button can lag behind the press, so they only count once
// they have shown it down.
bool ButtonLifted(bool& seenDown)
{
    const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    const bool down = (GetAsyncKeyState(button) & 0x8000) != 0;
    seenDown = seenDown || down;
    return seenDown && !down;
}

// The stamp of what ended the press, as far as the queue tells: its
// stylus-up, or a move away from the press made after it (a move stamped
// before the press is the display's late echo of an earlier one).
std::optional<DWORD> PressEnd(POINT down, int tolerance, DWORD pressed)
{
    std::optional<DWORD> end;
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE | PM_NOYIELD))
        end = message.time;
    if (PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE | PM_NOYIELD) &&
        AtOrAfter(message.time, pressed) &&
        (std::abs(message.pt.x - down.x) > tolerance || std::abs(message.pt.y - down.y) > tolerance) &&
        (!end || !AtOrAfter(message.time, *end)))
        end = message.time;
    return end;
}

DWORD FollowStylus(const SHRGINFO& request)
{
    POINT down = request.ptDown;
    ClientToScreen(request.hwndClient, &down);
    const int tolerance = MulDiv(kHoldTolerance, ScreenDpi(), 96);
    const DWORD pressed = PressTime(down, Now());
    std::unique_ptr<HoldFeedback> feedback;
    bool seenDown = false;
    for (;;) {
        // The button first: a stylus-up it has seen is in the queue by then.
        const bool lifted = ButtonLifted(seenDown);
        std::optional<DWORD> end = PressEnd(down, tolerance, pressed);
        if (!end && lifted)
            end = Now();
        if (end)
            return AtOrAfter(*end, pressed + DEVICE_HOLD_MILLISECONDS) ? GN_CONTEXTMENU : 0;
        const DWORD now = Now();
        if (AtOrAfter(now, pressed + DEVICE_HOLD_MILLISECONDS))
            return GN_CONTEXTMENU;
        const DWORD held = AtOrAfter(now, pressed) ? now - pressed : 0;
        if (held >= kFeedbackDelay && !(request.dwFlags & SHRG_NOANIMATION)) {
            if (!feedback)
                feedback = std::make_unique<HoldFeedback>(down);
            feedback->Show(static_cast<double>(held) / DEVICE_HOLD_MILLISECONDS);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_MOUSE);
    }
}

} // namespace

extern "C" {

DWORD WINAPI SHRecognizeGesture(SHRGINFO* request)
{
    if (!request || request->cbSize != sizeof(SHRGINFO) || !IsWindow(request->hwndClient))
        return 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lastRequest = *request;
        if (g_scripted) {
            if (g_script.empty())
                return 0;
            const DWORD answer = g_script.front();
            g_script.pop_front();
            return answer;
        }
    }
    // Only the answer is returned: SHRG_NOTIFYPARENT's notification has no
    // reader on this device.
    return FollowStylus(*request);
}

void WINAPI DeviceScriptGestures(const DWORD* answers, int count)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script.assign(answers, answers + (count > 0 ? count : 0));
    g_scripted = count > 0;
}

SHRGINFO WINAPI DeviceLastGestureRequest()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lastRequest;
}

void WINAPI DeviceSetInputClock(DWORD now)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_inputClock = now;
}

void WINAPI DeviceReleaseInputClock()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_inputClock.reset();
}

} // extern "C"
