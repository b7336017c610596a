// What the Today screen does for scripts and tests: it opens an item's
// options at start (--options), plays an input script (--input; with
// --options, once the dialog is up), and takes the screenshot
// (--screenshot) once the screen has settled: after the script has been
// taken in and a refresh has shown what it changed, or with the options
// dialog once that is up and idle; then it closes what is open over the
// screen, and the screen.
#pragma once

#include "HostOptions.h"
#include "InputPlayer.h"
#include "ItemHost.h"
#include "ScreenIdle.h"

#include <functional>
#include <memory>
#include <vector>

class Automation
{
public:
    // On the screen's thread. rotate turns the screen for a script, refresh
    // runs the screen's refresh cycle; fail marks the run as failed.
    Automation(const HostOptions& options, std::vector<InputStep> input, HWND screen, ItemHost& host,
        std::function<void()> rotate, std::function<void()> refresh, std::function<void()> fail);
    ~Automation();
    Automation(const Automation&) = delete;
    Automation& operator=(const Automation&) = delete;

    // Once the items are shown.
    void Start();
    // Its own messages; true when message was one.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Whenever the screen's own loop finds its queue empty.
    void Idle() { idle_.Idle(); }

private:
    void StartPlayer();
    void TakeScreenshot();

    const HostOptions& options_;
    std::vector<InputStep> input_;
    HWND screen_;
    ItemHost& host_;
    std::function<void()> rotate_;
    std::function<void()> refresh_;
    std::function<void()> fail_;
    ScreenIdle idle_;
    std::unique_ptr<InputPlayer> player_;
    bool awaitingDialog_ = false; // --options: the picture waits for the dialog
};
