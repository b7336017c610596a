// Plays an input script through the device's real input path (SendInput),
// on a thread of its own, while the Today screen goes on serving messages.
#pragma once

#include "InputScript.h"

#include <thread>
#include <vector>

class InputPlayer
{
public:
    // A rotation is sent to notify as the message rotate, and done is posted
    // to it when the script has been played. Points are of the device's
    // screen, wherever the desktop shows it.
    InputPlayer(std::vector<InputStep> steps, HWND notify, UINT rotate, UINT done);
    ~InputPlayer();
    InputPlayer(const InputPlayer&) = delete;
    InputPlayer& operator=(const InputPlayer&) = delete;

private:
    void Play() const;

    std::vector<InputStep> steps_;
    HWND notify_;
    UINT rotate_;
    UINT done_;
    std::thread thread_;
};
