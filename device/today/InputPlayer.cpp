#include "InputPlayer.h"

#include "DeviceInput.h"

#include <devicegesture.h>
#include <devicescreen.h>

#include <utility>

using namespace deviceinput;

namespace {

// Long enough for the screen to follow one command before the next.
constexpr DWORD kSettleMilliseconds = 200;
constexpr DWORD kTapMilliseconds = 60;
constexpr DWORD kHoldMilliseconds = DEVICE_HOLD_MILLISECONDS + 300;
constexpr int kStrokeSteps = 8;
constexpr DWORD kStrokeStepMilliseconds = 20;

} // namespace

InputPlayer::InputPlayer(std::vector<InputStep> steps, HWND notify, UINT rotate, UINT done)
    : steps_(std::move(steps)), notify_(notify), rotate_(rotate), done_(done)
{
    thread_ = std::thread([this] { Play(); });
}

InputPlayer::~InputPlayer()
{
    if (thread_.joinable())
        thread_.join();
}

void InputPlayer::Play() const
{
    bool pointerBrought = false;
    for (const InputStep& step : steps_) {
        RECT screen;
        DeviceScreenRect(&screen);
        const POINT from = {screen.left + step.from.x, screen.top + step.from.y};
        const POINT to = {screen.left + step.to.x, screen.top + step.to.y};
        if (!pointerBrought && (step.kind == InputStep::kTap || step.kind == InputStep::kHold ||
                                   step.kind == InputStep::kStroke)) {
            BringPointerTo(from);
            pointerBrought = true;
        }
        switch (step.kind) {
        case InputStep::kTap:
        case InputStep::kHold:
            Approach(from);
            Stylus(from, MOUSEEVENTF_LEFTDOWN);
            Sleep(step.kind == InputStep::kTap ? kTapMilliseconds : kHoldMilliseconds);
            Stylus(from, MOUSEEVENTF_LEFTUP);
            break;
        case InputStep::kStroke:
            Approach(from);
            Stylus(from, MOUSEEVENTF_LEFTDOWN);
            for (int i = 1; i <= kStrokeSteps; ++i) {
                Sleep(kStrokeStepMilliseconds);
                Stylus(POINT{from.x + (to.x - from.x) * i / kStrokeSteps, from.y + (to.y - from.y) * i / kStrokeSteps});
            }
            Sleep(kStrokeStepMilliseconds);
            Stylus(to, MOUSEEVENTF_LEFTUP);
            break;
        case InputStep::kKey:
            PressKey(step.key);
            break;
        case InputStep::kWait:
            Sleep(step.milliseconds);
            break;
        case InputStep::kRotate:
            SendMessageW(notify_, rotate_, 0, 0);
            break;
        }
        Sleep(kSettleMilliseconds);
    }
    PostMessageW(notify_, done_, 0, 0);
}
