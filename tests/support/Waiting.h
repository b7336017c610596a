// Waiting for what the device does, on a machine that may be busy: a wait
// ends as soon as its condition holds, or at a deadline far beyond a loaded
// two-core machine's delays, and a wait that gives up says what it waited
// for and for how long.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace waiting {

// How long a test waits for the device before it gives up.
constexpr DWORD kDeadlineMs = 120000;

// Polls condition until it holds, serving this thread's messages meanwhile
// (another program may send its windows some and wait for the answer).
// When the deadline comes first: false, and a test failure "gave up after
// N s waiting for WHAT".
bool Until(const std::function<bool()>& condition, const std::string& what, DWORD deadlineMs = kDeadlineMs);

// Waits until another program's window has answered a message, which it
// does at its thread's next look at its queue: what that thread was doing
// when asked (a handler, a dialog's end) it has done. The same failure
// when no answer comes.
bool Answered(HWND window, const std::string& what, DWORD deadlineMs = kDeadlineMs);

} // namespace waiting
