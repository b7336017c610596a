// The moments when the Today screen's thread has nothing left to do: its
// queue empty (no input, posted or sent message, paint or timer waiting),
// in its own loop or in a modal loop's (a dialog's or a menu's idle
// message, to whichever window owns it). Another thread that has sent the
// screen input waits for the next such moment, and so knows that the screen
// has taken in what it sent and followed it, however busy the machine is.
#pragma once

#include "OwnedHandle.h"

#include <windows.h>

#include <atomic>

class ScreenIdle
{
public:
    // On the screen's thread, whose modal loops it watches from then on.
    explicit ScreenIdle(HWND screen);
    ~ScreenIdle();

    // Another thread: waits for a moment of idleness that comes after the
    // call; false when none has come within the time, or the screen is going.
    bool Await(DWORD timeoutMs);
    // The screen's thread, whenever its own loop finds the queue empty.
    void Idle();
    // The screen is going: every wait ends at once, from now on.
    void Stop();
    bool Stopped() const { return stopped_; }

private:
    static LRESULT CALLBACK WatchSentMessages(int code, WPARAM wParam, LPARAM lParam);

    HWND screen_;
    HHOOK hook_ = nullptr;
    UniqueHandle reached_;
    std::atomic<unsigned> asked_{0};
    std::atomic<bool> stopped_{false};
    unsigned answered_ = 0; // the screen's thread only
};
