// Plays an input script through the device's real input path (SendInput),
// on a thread of its own, while the Today screen goes on serving messages.
#pragma once

#include "InputScript.h"

#include <thread>
#include <vector>

class InputPlayer
{
public:
    // When the script has been played, done is posted to notify.
    InputPlayer(std::vector<InputStep> steps, HWND notify, UINT done);
    ~InputPlayer();
    InputPlayer(const InputPlayer&) = delete;
    InputPlayer& operator=(const InputPlayer&) = delete;

private:
    void Play() const;

    std::vector<InputStep> steps_;
    HWND notify_;
    UINT done_;
    std::thread thread_;
};
