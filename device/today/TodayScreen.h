// The Today screen: the window that shows the device's screen (its layout),
// the items on it (their host) and what scripts and tests ask of it (its
// automation), and the message loop that serves them.
#pragma once

#include "Automation.h"
#include "HostOptions.h"
#include "InputScript.h"
#include "ItemHost.h"
#include "OwnedHandle.h"
#include "ScreenLayout.h"

#include <memory>
#include <vector>

class TodayScreen
{
public:
    TodayScreen(const HostOptions& options, std::vector<InputStep> input);
    ~TodayScreen();
    TodayScreen(const TodayScreen&) = delete;
    TodayScreen& operator=(const TodayScreen&) = delete;

    // Shows the screen and serves it until it closes; the exit code.
    int Run();

    static constexpr UINT kRefreshMilliseconds = 2000;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The screen turned a quarter: the items laid out again at its new width.
    void Rotate();
    void Refresh();
    void Paint();
    void OnTap(POINT point);

    const HostOptions& options_;
    std::vector<InputStep> input_;
    HWND window_ = nullptr;
    std::unique_ptr<ScreenLayout> layout_;
    std::unique_ptr<ItemHost> host_;
    std::unique_ptr<Automation> automation_;
    UniqueHandle shellReady_;
    int exitCode_ = 0;
};
