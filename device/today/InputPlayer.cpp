#include "InputPlayer.h"

#include "DeviceInput.h"

#include <devicegesture.h>

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

InputPlayer::InputPlayer(std::vector<InputStep> steps, HWND notify, UINT done)
    : steps_(std::move(steps)), notify_(notify), done_(done)
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
        if (!pointerBrought && step.kind != InputStep::kKey && step.kind != InputStep::kWait) {
            BringPointerTo(step.from);
            pointerBrought = true;
        }
        switch (step.kind) {
        case InputStep::kTap:
        case InputStep::kHold:
            Approach(step.from);
            Stylus(step.from, MOUSEEVENTF_LEFTDOWN);
            Sleep(step.kind == InputStep::kTap ? kTapMilliseconds : kHoldMilliseconds);
            Stylus(step.from, MOUSEEVENTF_LEFTUP);
            break;
        case InputStep::kStroke:
            Approach(step.from);
            Stylus(step.from, MOUSEEVENTF_LEFTDOWN);
            for (int i = 1; i <= kStrokeSteps; ++i) {
                Sleep(kStrokeStepMilliseconds);
                Stylus(POINT{step.from.x + (step.to.x - step.from.x) * i / kStrokeSteps,
                    step.from.y + (step.to.y - step.from.y) * i / kStrokeSteps});
            }
            Sleep(kStrokeStepMilliseconds);
            Stylus(step.to, MOUSEEVENTF_LEFTUP);
            break;
        case InputStep::kKey:
            PressKey(step.key);
            break;
        case InputStep::kWait:
            Sleep(step.milliseconds);
            break;
        }
        Sleep(kSettleMilliseconds);
    }
    PostMessageW(notify_, done_, 0, 0);
}
