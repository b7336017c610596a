// The Today screen: a full-screen window with a title bar and the Today items
// laid out below it, top to bottom, each as tall as it asks to be.
#pragma once

#include "HostOptions.h"
#include "InputPlayer.h"
#include "LoadedItem.h"
#include "Theme.h"

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

    // The screen's window and look for the device's screen as it is now.
    void FollowScreen();
    // The screen turned a quarter: the items laid out again at its new width.
    void Rotate();
    // Loads the registered items (registering those beside the program when
    // none is); false, with the screen closed, when an item fails.
    bool LoadItems();
    // The items unloaded and loaded again, each first told to drop its cache.
    void ReloadItems();
    bool Fail(const std::wstring& reason);
    void RefreshItems();
    void Layout();
    void Paint();
    void DrawWatermark(const TODAYDRAWWATERMARKINFO& info) const;
    void OnKey(WPARAM key);
    void Select(size_t index, WPARAM key);
    void TakeScreenshot();
    // The Today settings page's way into an item's options: its dialog 500
    // with its procedure 241, over the Today screen.
    bool OpenOptions(size_t index);
    void OnTap(POINT point);
    RECT TitleBar() const;
    RECT SoftKeyBar() const;
    // The top of the place of the item with this index.
    int SlotTop(size_t index) const;

    const HostOptions& options_;
    HWND window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<Theme> theme_;
    std::vector<std::unique_ptr<LoadedItem>> items_;
    size_t selected_ = 0;
    bool loading_ = false; // an item is being initialised
    bool awaitingDialog_ = false; // --options: the picture waits for the dialog
    std::vector<InputStep> input_;
    std::unique_ptr<InputPlayer> player_;
    HANDLE shellReady_ = nullptr;
    WORD shownMinute_ = 0xFFFF;
    int exitCode_ = 0;
};
