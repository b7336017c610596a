// The Pocket PC's tap-and-hold feedback: a ring of dots around the stylus
// that fills as the hold goes on. A click-through window over everything.
#pragma once

#include <windows.h>

class HoldFeedback
{
public:
    explicit HoldFeedback(POINT screenPoint);
    ~HoldFeedback();
    HoldFeedback(const HoldFeedback&) = delete;
    HoldFeedback& operator=(const HoldFeedback&) = delete;

    // Shows the ring with this share of its dots (0..1), painted at once.
    void Show(double progress);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    HWND window_ = nullptr;
    int size_ = 0;
    int dots_ = 0;
};
