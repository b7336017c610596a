// SHRecognizeGesture as on a Pocket PC: it follows the stylus from the press
// until it knows whether the press is a tap-and-hold. It only looks at the
// thread's message queue and takes nothing from it, so the moves and the
// stylus-up still reach the window afterwards.
#include "HoldFeedback.h"
#include "ScreenDensity.h"

#include <devicegesture.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// How far the stylus may wander during a hold, at 96 dpi.
constexpr int kHoldTolerance = 5;
// The ring appears once the press has lasted this long.
constexpr ULONGLONG kFeedbackDelay = 100;
constexpr DWORD kPollMilliseconds = 10;

std::mutex g_mutex;
std::deque<DWORD> g_script;
bool g_scripted = false;
SHRGINFO g_lastRequest = {};

// The stylus-up waiting in the queue, or a button seen down that is up now
// (the stylus may be lifted over another program's window). The first
// readings of the button can lag behind the press, so they only count once
// they have shown it down.
bool StylusLifted(bool& seenDown)
{
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE | PM_NOYIELD))
        return true;
    const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    const bool down = (GetAsyncKeyState(button) & 0x8000) != 0;
    seenDown = seenDown || down;
    return seenDown && !down;
}

// The latest stylus position waiting in the queue, if it is away from the press.
bool MovedAway(POINT down, int tolerance)
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE | PM_NOYIELD))
        return false;
    return std::abs(message.pt.x - down.x) > tolerance || std::abs(message.pt.y - down.y) > tolerance;
}

DWORD FollowStylus(const SHRGINFO& request)
{
    POINT down = request.ptDown;
    ClientToScreen(request.hwndClient, &down);
    const int tolerance = MulDiv(kHoldTolerance, ScreenDpi(), 96);
    const ULONGLONG start = GetTickCount64();
    std::unique_ptr<HoldFeedback> feedback;
    bool seenDown = false;
    for (;;) {
        if (StylusLifted(seenDown) || MovedAway(down, tolerance))
            return 0;
        const ULONGLONG held = GetTickCount64() - start;
        if (held >= DEVICE_HOLD_MILLISECONDS)
            return GN_CONTEXTMENU;
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

} // extern "C"
