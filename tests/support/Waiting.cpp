#include "Waiting.h"

#include <gtest/gtest.h>

namespace waiting {

namespace {

constexpr DWORD kPollMilliseconds = 20;

void ServeFor(DWORD milliseconds)
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool GaveUp(ULONGLONG start, const std::string& what)
{
    ADD_FAILURE() << "gave up after " << (GetTickCount64() - start) / 1000.0 << " s waiting for " << what;
    return false;
}

} // namespace

bool Until(const std::function<bool()>& condition, const std::string& what, DWORD deadlineMs)
{
    // The host's clock: the device clock of a test may stand still.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() - start >= deadlineMs)
            return GaveUp(start, what);
        ServeFor(kPollMilliseconds);
    }
}

bool Answered(HWND window, const std::string& what, DWORD deadlineMs)
{
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, deadlineMs, &result) || GaveUp(start, what);
}

} // namespace waiting
