#include "ScreenIdle.h"

namespace {

// The one watch of the screen's thread, which its hook reports to.
ScreenIdle* g_watch = nullptr;

} // namespace

ScreenIdle::ScreenIdle(HWND screen) : screen_(screen)
{
    reached_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_watch = this;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, WatchSentMessages, nullptr, GetCurrentThreadId());
}

ScreenIdle::~ScreenIdle()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    g_watch = nullptr;
}

bool ScreenIdle::Await(DWORD timeoutMs)
{
    if (!reached_ || stopped_)
        return false;
    ResetEvent(reached_.Get());
    ++asked_;
    // Wakes the screen's thread, which may be waiting with nothing to do.
    PostMessageW(screen_, WM_NULL, 0, 0);
    return WaitForSingleObject(reached_.Get(), timeoutMs) == WAIT_OBJECT_0 && !stopped_;
}

void ScreenIdle::Stop()
{
    stopped_ = true;
    if (reached_)
        SetEvent(reached_.Get());
}

void ScreenIdle::Idle()
{
    // Asked first, then the queue: what the asker sent before asking is
    // either still waiting in it or taken.
    const unsigned asked = asked_.load();
    if (stopped_ || asked == answered_ || HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0)
        return;
    answered_ = asked;
    SetEvent(reached_.Get());
}

LRESULT CALLBACK ScreenIdle::WatchSentMessages(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent && sent->message == WM_ENTERIDLE && g_watch)
        g_watch->Idle();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
