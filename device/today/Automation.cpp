#include "Automation.h"

#include "DevicePath.h"
#include "Report.h"
#include "Screenshot.h"

#include <utility>

namespace {

constexpr UINT kTakeScreenshot = WM_APP + 1;
constexpr UINT kOpenOptions = WM_APP + 2;
constexpr UINT kInputPlayed = WM_APP + 3;
constexpr UINT kRotate = WM_APP + 4;

} // namespace

Automation::Automation(const HostOptions& options, std::vector<InputStep> input, HWND screen, ItemHost& host,
    std::function<void()> rotate, std::function<void()> refresh, std::function<void()> fail)
    : options_(options), input_(std::move(input)), screen_(screen), host_(host), rotate_(std::move(rotate)),
      refresh_(std::move(refresh)), fail_(std::move(fail)), idle_(screen)
{
}

Automation::~Automation()
{
    // A script still playing ends with the screen.
    idle_.Stop();
    player_.reset();
}

void Automation::Start()
{
    if (!options_.options.empty()) {
        if (host_.Has(options_.options)) {
            awaitingDialog_ = true;
            PostMessageW(screen_, kOpenOptions, 0, 0);
        } else
            Report(L"--options: no Today item is named " + options_.options);
    }
    // A script for the options dialog starts once the dialog is up.
    if (!input_.empty()) {
        if (!awaitingDialog_)
            StartPlayer();
    } else if (!options_.screenshot.empty())
        PostMessageW(screen_, kTakeScreenshot, 0, 0);
}

void Automation::StartPlayer()
{
    player_ = std::make_unique<InputPlayer>(input_, screen_, kRotate, kInputPlayed, idle_);
}

bool Automation::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kTakeScreenshot:
        // With an options dialog on the way, the picture waits for it.
        if (!awaitingDialog_)
            TakeScreenshot();
        return true;
    case kOpenOptions:
        host_.OpenOptions(options_.options);
        // No dialog came up, or it went before it was idle (an item that
        // stopped in it): the script plays, or the picture is taken, now.
        if (awaitingDialog_) {
            awaitingDialog_ = false;
            if (!input_.empty() && !player_)
                StartPlayer();
            else if (!options_.screenshot.empty() && !player_)
                TakeScreenshot();
        }
        return true;
    case kInputPlayed:
        if (!wParam) {
            Report(L"--input: the screen was still busy " + std::to_wstring(InputPlayer::kSettleTimeoutMs / 1000) +
                   (lParam ? L" s after line " + std::to_wstring(lParam) + L"; the script stopped there"
                           : std::wstring(L" s after it showed; the script did not start")));
            fail_();
        }
        if (!options_.screenshot.empty()) {
            // What the script changed the screen shows at its next refresh.
            refresh_();
            TakeScreenshot();
        }
        return true;
    case kRotate:
        rotate_();
        return true;
    case WM_ENTERIDLE:
        // The options dialog is up and idle: the moment for its script, or
        // for its picture.
        if (wParam == MSGF_DIALOGBOX && awaitingDialog_) {
            awaitingDialog_ = false;
            if (!input_.empty())
                StartPlayer();
            else if (!options_.screenshot.empty())
                TakeScreenshot();
        }
        return true;
    default:
        return false;
    }
}

void Automation::TakeScreenshot()
{
    RedrawWindow(screen_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // An ARM item that stopped as it painted leaves the picture: the screen
    // closes up without it first.
    if (host_.HasStoppedItems()) {
        refresh_();
        RedrawWindow(screen_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    RECT screen;
    GetClientRect(screen_, &screen);
    MapWindowPoints(screen_, nullptr, reinterpret_cast<POINT*>(&screen), 2);
    const std::wstring error = WriteScreenshot(screen, CommandLineFile(options_.screenshot, true));
    if (!error.empty()) {
        Report(L"screenshot " + options_.screenshot + L": " + error);
        fail_();
    }
    // A dialog over the screen (the options, opened by the host or by an
    // item) is cancelled first; the screen closes once it has gone.
    const HWND popup = GetLastActivePopup(screen_);
    if (popup && popup != screen_) {
        PostMessageW(popup, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(screen_, WM_CLOSE, 0, 0);
        return;
    }
    DestroyWindow(screen_);
}
