// Plays a test's part in modal dialogs of its own thread: each dialog that
// comes up is handed, once it runs its message loop, to the next expected
// step, which reads and works its controls as a user would.
#pragma once

#include <windows.h>

#include <functional>

namespace dialogdriver {

// A step: the dialog, and the lParam its WM_INITDIALOG carried.
using Step = std::function<void(HWND dialog, LPARAM init)>;

class DialogDriver
{
public:
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // The step for the next dialog that comes up on this thread.
    void Expect(Step step);
    // Dialogs that came up, and steps that were never run.
    int Shown() const;
    int Pending() const;
};

} // namespace dialogdriver
