// The messages that cross between the host and an emulated module, by a
// table: each message whose parameter points to a record has a rule that
// says which parameter, how the record is laid out on each side and which
// way it is copied. A message without a rule never carries a pointer
// across: from the host, a system message's parameters reach the guest as
// 0 (its default procedure gets the host's own), a window class's own
// messages (WM_USER and above) as numbers; from the guest, a system message
// is not sent, and a class's own message only to the guest's own windows or
// as a rule for the host window's class allows.
#pragma once

#include "GuestCall.h"
#include "GuestMemory.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace armce {

enum class Direction : std::uint8_t
{
    kIn = 1,    // read by the receiver
    kOut = 2,   // written by the receiver
    kInOut = 3,
};

// How a record that a message points to crosses: into the guest's layout
// and back, and into the host's layout and back. Each answers false when the
// record cannot be made (no room, or memory outside the module's).
struct Layout
{
    // Host to guest: the guest's copy of the host's record, in scratch.
    bool (*toGuest)(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, const void* host, GuestPtr& guest);
    // What the guest's procedure changed, back into the host's record.
    void (*fromGuest)(UINT message, WPARAM wParam, GuestPtr guest, void* host);
    // Guest to host: a host copy of the guest's record, checked against its
    // memory, in the host arena.
    bool (*toHost)(const GuestMemory& memory, UINT message, std::uint32_t wParam, GuestPtr guest, void*& host);
    // What the host wrote, back into the guest's record.
    void (*backToGuest)(UINT message, std::uint32_t wParam, LRESULT result, const void* host, GuestPtr guest);
};

// A message's rule, written with its fields named; what a rule leaves out
// is a number (lParam, not optional, to the guest's own windows only).
struct MessageRule
{
    UINT message = 0;
    // For a class's own message (WM_USER and above) sent by the guest: the
    // host window class it may go to; null for every window.
    const wchar_t* hostClass = nullptr;
    bool inWParam = false;          // the pointer is wParam; otherwise lParam
    const Layout* layout = nullptr; // null: both parameters are numbers
    Direction direction = Direction::kIn;
    bool optional = false; // the pointer may be null
    // The guest may send it to a window not its own (its host's, or all):
    // a question, or a notice the platform broadcasts.
    bool toOthers = false;
};

// The platform's rules, every message's once.
const std::vector<MessageRule>& PlatformRules();

// Rules a host program adds for its own windows' messages.
void AddMessageRules(const MessageRule* rules, std::size_t count);

// The rule for a message the host sends a guest procedure; null for none.
const MessageRule* RuleToGuest(UINT message);
// The rule for a message the guest sends to a window; null for none.
const MessageRule* RuleToHost(UINT message, HWND target);

// A message the default procedures answer with the window manager's modal
// loops (moving, sizing, menus) or by closing the top-level window, which is
// the host's: no module may send one or hand one to them.
bool IsSystemAction(UINT message);

// How the host delivers a message the guest asked it to: as SendMessageW,
// its form with a time-out, PostMessageW or the default procedure does.
class HostSender
{
public:
    virtual LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~HostSender() = default;
};

// A message the guest sends through sender (SendMessageW, DefWindowProcW, ...),
// its pointer turned by the rule; wParamArg and lParamArg are where the call
// had them, for a violation's line. A message goes to the module's own
// windows (a class's own message too), or to another window as its rule
// allows. Refused: 0, and refused set; a system action ends the module.
LRESULT SendFromGuest(GuestCall& call, HWND window, UINT message, std::uint32_t wParam, std::uint32_t lParam,
    int wParamArg, int lParamArg, HostSender& sender, bool& refused);

} // namespace armce
