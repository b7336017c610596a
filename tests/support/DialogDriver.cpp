#include "DialogDriver.h"

#include <deque>
#include <utility>

namespace dialogdriver {

namespace {

struct State
{
    HHOOK hook = nullptr;
    UINT_PTR timer = 0;
    std::deque<Step> steps;
    std::deque<std::pair<HWND, LPARAM>> dialogs;
    int shown = 0;
};

State* g_state = nullptr;

LRESULT CALLBACK WatchInit(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_state && message->message == WM_INITDIALOG) {
        g_state->dialogs.emplace_back(message->hwnd, message->lParam);
        ++g_state->shown;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs in whichever modal loop is current, once the dialog's loop is running.
void CALLBACK RunStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_state || g_state->dialogs.empty() || g_state->steps.empty())
        return;
    const auto [dialog, init] = g_state->dialogs.front();
    g_state->dialogs.pop_front();
    Step step = std::move(g_state->steps.front());
    g_state->steps.pop_front();
    if (IsWindow(dialog))
        step(dialog, init);
}

} // namespace

DialogDriver::DialogDriver()
{
    g_state = new State;
    g_state->hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchInit, nullptr, GetCurrentThreadId());
    g_state->timer = SetTimer(nullptr, 0, 15, RunStep);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, g_state->timer);
    UnhookWindowsHookEx(g_state->hook);
    delete g_state;
    g_state = nullptr;
}

void DialogDriver::Expect(Step step)
{
    g_state->steps.push_back(std::move(step));
}

int DialogDriver::Shown() const
{
    return g_state->shown;
}

int DialogDriver::Pending() const
{
    return static_cast<int>(g_state->steps.size());
}

} // namespace dialogdriver
