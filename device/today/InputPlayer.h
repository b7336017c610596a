// Plays an input script through the device's real input path (SendInput),
// on a thread of its own, while the Today screen goes on serving messages.
// Each step is played once the screen has taken in the one before and
// gone idle. The script keeps a clock of its own: its events carry its time
// stamps, and the device's gesture recogniser reads the time from it, so
// that a tap is a tap and a hold a hold however late the screen comes to
// them.
#pragma once

#include "InputScript.h"
#include "ScreenIdle.h"

#include <thread>
#include <vector>

class InputPlayer
{
public:
    // A rotation is posted to notify as the message rotate, and done is posted
    // to it when the script has been played and the screen has followed it
    // (wParam TRUE), or when the screen stayed busy (wParam FALSE, lParam
    // the line of the step it did not follow, 0 before the first). Points
    // are of the device's screen, wherever the desktop shows it.
    InputPlayer(std::vector<InputStep> steps, HWND notify, UINT rotate, UINT done, ScreenIdle& idle);
    ~InputPlayer();
    InputPlayer(const InputPlayer&) = delete;
    InputPlayer& operator=(const InputPlayer&) = delete;

    // How long the screen may stay busy after a step before the script
    // gives up: far beyond a loaded machine's delays.
    static constexpr DWORD kSettleTimeoutMs = 60000;

private:
    void Play();
    // Each stylus or key event: sent with the script's time, then that
    // time given to the recogniser.
    void Stylus(POINT point, DWORD buttons);
    void Key(WORD key);
    // Until the screen's thread has the keyboard, for as long as the screen
    // may take to settle.
    void AwaitKeyboard() const;
    // The script's clock moves on, and the real time with it.
    void Pass(DWORD milliseconds);
    // The script's clock never falls behind the display's, whose own events
    // (the pointer's late echoes) would otherwise seem to come after the
    // script's.
    void CatchUp();

    std::vector<InputStep> steps_;
    HWND notify_;
    UINT rotate_;
    UINT done_;
    ScreenIdle& idle_;
    DWORD clock_ = 0;
    std::thread thread_;
};
