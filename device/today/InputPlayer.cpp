#include "InputPlayer.h"

#include "DeviceInput.h"

#include <devicegesture.h>
#include <devicescreen.h>

#include <utility>

namespace {

constexpr DWORD kTapMilliseconds = 60;
constexpr DWORD kHoldMilliseconds = DEVICE_HOLD_MILLISECONDS + 300;
constexpr int kStrokeSteps = 8;
constexpr DWORD kStrokeStepMilliseconds = 20;
// The script's clock moves in steps this small, so that the hold's ring fills as it would.
constexpr DWORD kClockStep = 10;

// Whether a tick count comes after another, across the wrap.
bool After(DWORD time, DWORD since)
{
    return static_cast<LONG>(time - since) > 0;
}

} // namespace

InputPlayer::InputPlayer(std::vector<InputStep> steps, HWND notify, UINT rotate, UINT done, ScreenIdle& idle)
    : steps_(std::move(steps)), notify_(notify), rotate_(rotate), done_(done), idle_(idle)
{
    thread_ = std::thread([this] { Play(); });
}

InputPlayer::~InputPlayer()
{
    if (thread_.joinable())
        thread_.join();
}

void InputPlayer::Stylus(POINT point, DWORD buttons)
{
    deviceinput::Stylus(point, buttons, clock_);
    DeviceSetInputClock(clock_);
}

void InputPlayer::AwaitKeyboard() const
{
    // A key goes to the foreground window's thread, which the display moves
    // there after a tap in its own time.
    const DWORD screenThread = GetWindowThreadProcessId(notify_, nullptr);
    for (DWORD waited = 0; waited < kSettleTimeoutMs && !idle_.Stopped(); waited += kClockStep) {
        if (GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == screenThread)
            return;
        Sleep(kClockStep);
    }
}

void InputPlayer::Key(WORD key)
{
    AwaitKeyboard();
    deviceinput::PressKey(key, clock_);
    DeviceSetInputClock(clock_);
}

void InputPlayer::Pass(DWORD milliseconds)
{
    while (milliseconds > 0 && !idle_.Stopped()) {
        const DWORD step = milliseconds < kClockStep ? milliseconds : kClockStep;
        Sleep(step);
        clock_ += step;
        milliseconds -= step;
        DeviceSetInputClock(clock_);
    }
}

void InputPlayer::CatchUp()
{
    const DWORD now = deviceinput::InputTime();
    if (After(now, clock_))
        clock_ = now;
    DeviceSetInputClock(clock_);
}

void InputPlayer::Play()
{
    bool pointerBrought = false;
    clock_ = deviceinput::InputTime();
    DeviceSetInputClock(clock_);
    // The screen as the script finds it: shown and idle.
    bool settled = idle_.Await(kSettleTimeoutMs);
    int line = 0;
    for (const InputStep& step : steps_) {
        if (!settled)
            break;
        CatchUp();
        RECT screen;
        DeviceScreenRect(&screen);
        const POINT from = {screen.left + step.from.x, screen.top + step.from.y};
        const POINT to = {screen.left + step.to.x, screen.top + step.to.y};
        if (!pointerBrought && (step.kind == InputStep::kTap || step.kind == InputStep::kHold ||
                                   step.kind == InputStep::kStroke)) {
            deviceinput::BringPointerTo(from);
            pointerBrought = true;
        }
        switch (step.kind) {
        case InputStep::kTap:
        case InputStep::kHold:
            deviceinput::Approach(from, clock_);
            CatchUp();
            Stylus(from, MOUSEEVENTF_LEFTDOWN);
            Pass(step.kind == InputStep::kTap ? kTapMilliseconds : kHoldMilliseconds);
            Stylus(from, MOUSEEVENTF_LEFTUP);
            break;
        case InputStep::kStroke:
            // The whole stroke at once, each event stamped with its moment:
            // the display's echo of a move, which it stamps as it sees it
            // and may fold into the move, then comes no later than the
            // stroke did, however long the player waited in between.
            deviceinput::Approach(from, clock_);
            CatchUp();
            Stylus(from, MOUSEEVENTF_LEFTDOWN);
            for (int i = 1; i <= kStrokeSteps; ++i) {
                clock_ += kStrokeStepMilliseconds;
                Stylus(POINT{from.x + (to.x - from.x) * i / kStrokeSteps, from.y + (to.y - from.y) * i / kStrokeSteps},
                    0);
            }
            clock_ += kStrokeStepMilliseconds;
            Stylus(to, MOUSEEVENTF_LEFTUP);
            Sleep((kStrokeSteps + 1) * kStrokeStepMilliseconds);
            break;
        case InputStep::kKey:
            Key(step.key);
            break;
        case InputStep::kWait:
            Pass(step.milliseconds);
            break;
        case InputStep::kRotate:
            // Followed, as every step, before the next.
            PostMessageW(notify_, rotate_, 0, 0);
            break;
        }
        settled = idle_.Await(kSettleTimeoutMs);
        line = step.line;
    }
    DeviceReleaseInputClock();
    PostMessageW(notify_, done_, settled, settled ? 0 : line);
}
