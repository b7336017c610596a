#include "Bridge.h"

#include "Guest32.h"
#include "Ownership.h"

#include <deviceaccounting.h>

#include <algorithm>

namespace armce {

Bridge& Bridge::Get()
{
    // Never destroyed: windows may outlive static destruction.
    static Bridge* bridge = new Bridge;
    return *bridge;
}

namespace {

// The device's own message to a module's dialog, to look at it again.
UINT DialogWatchMessage()
{
    static const UINT message = RegisterWindowMessageW(L"DeviceDialogWatch");
    return message;
}

// The least of a dialog that is seen: half of it on the screen, and this
// much each way.
constexpr int kLeastSeenSide = 16;

bool CanBeSeen(HWND dialog)
{
    RECT rect;
    if (!IsWindowVisible(dialog) || IsIconic(dialog) || !GetWindowRect(dialog, &rect))
        return false;
    const RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
        GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
        GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT seen;
    if (!IntersectRect(&seen, &rect, &screen))
        return false;
    const auto area = [](const RECT& r) { return static_cast<long long>(r.right - r.left) * (r.bottom - r.top); };
    return seen.right - seen.left >= kLeastSeenSide && seen.bottom - seen.top >= kLeastSeenSide &&
           2 * area(seen) >= area(rect);
}

} // namespace

Bridge::Bridge()
{
    ArmMachine::SetStopListener([this](GuestModule& module) { EndDialogsOf(module); });
}

void Bridge::Attach(GuestModule& module)
{
    modules_.push_back(&module);
}

void Bridge::Detach(GuestModule& module)
{
    std::erase(modules_, &module);
    std::erase_if(windows_, [&](const auto& entry) { return entry.second.module == &module; });
    std::erase_if(dialogs_, [&](const auto& entry) { return entry.second.module == &module; });
    std::erase_if(expectedDialogs_, [&](const Procedure& procedure) { return procedure.module == &module; });
}

GuestModule* Bridge::Owner(GuestPtr address) const
{
    for (GuestModule* module : modules_)
        if (module->Holds(address))
            return module;
    return nullptr;
}

void Bridge::RegisterClass(ATOM atom, HINSTANCE instance, GuestPtr procedure)
{
    classes_[{atom, instance}] = procedure;
}

bool Bridge::IsGuestClass(ATOM atom, HINSTANCE instance) const
{
    return classes_.count({atom, instance}) != 0;
}

DLGPROC Bridge::DialogProcedure(GuestModule& module, GuestPtr procedure)
{
    expectedDialogs_.push_back({&module, procedure});
    return &Bridge::DialogProc;
}

const GuestMessage* Bridge::Turned(HWND window, UINT message, std::uint32_t wParam, std::uint32_t lParam) const
{
    for (auto at = messages_.rbegin(); at != messages_.rend(); ++at)
        if (at->first == window && at->second->Message() == message && at->second->GuestWParam() == wParam &&
            at->second->GuestLParam() == lParam)
            return at->second;
    return nullptr;
}

bool Bridge::IsGuestWindow(HWND window) const
{
    if (windows_.count(window) || dialogs_.count(window))
        return true;
    return IsGuestClass(static_cast<ATOM>(GetClassWord(window, GCW_ATOM)),
        reinterpret_cast<HINSTANCE>(GetClassLongPtrW(window, GCLP_HMODULE)));
}

bool Bridge::OwnsWindow(const GuestModule& module, HWND window) const
{
    const HWND desktop = GetDesktopWindow();
    for (HWND at = window; at && at != desktop; at = GetAncestor(at, GA_PARENT)) {
        if (DeviceResourceOwner(at) == module.id)
            return true;
        const auto window = windows_.find(at);
        if (window != windows_.end() && window->second.module == &module)
            return true;
        const auto dialog = dialogs_.find(at);
        if (dialog != dialogs_.end() && dialog->second.module == &module)
            return true;
    }
    return false;
}

bool Bridge::Hands(const GuestModule& module, HDC dc) const
{
    for (const auto& [window, turned] : messages_) {
        HDC handed = nullptr;
        const UINT message = turned->Message();
        if (message == WM_ERASEBKGND || message == WM_PRINTCLIENT ||
            (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC))
            handed = reinterpret_cast<HDC>(turned->HostWParam());
        else if (message == WM_DRAWITEM && turned->HostLParam())
            handed = reinterpret_cast<const DRAWITEMSTRUCT*>(turned->HostLParam())->hDC;
        if (handed && handed == dc && OwnsWindow(module, window))
            return true;
    }
    return false;
}

bool Bridge::Paints(const GuestModule& module) const
{
    // The module's innermost message: a dialog it opened as it paints takes
    // messages of its own.
    for (auto at = messages_.rbegin(); at != messages_.rend(); ++at) {
        if (!OwnsWindow(module, at->first))
            continue;
        const UINT message = at->second->Message();
        return message == WM_PAINT || message == WM_ERASEBKGND || message == WM_NCPAINT || message == WM_PRINTCLIENT;
    }
    return false;
}

void Bridge::EndDialogsOf(const GuestModule& module)
{
    for (const auto& [dialog, procedure] : dialogs_)
        if (procedure.module == &module)
            EndDialog(dialog, IDCANCEL);
}

LRESULT Bridge::Run(const Procedure& procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool dialog)
{
    // The module stays loaded while its procedure runs.
    const std::shared_ptr<GuestModule> alive = procedure.module->self.lock();
    if (alive && !alive->dead) {
        GuestModule& module = *alive;
        ArmMachine& machine = *module.machine;
        ArmMachine::Scratch scratch(machine);
        const GuestMessage turned(scratch, message, wParam, lParam);
        if (turned.Ready()) {
            messages_.emplace_back(window, &turned);
            const std::uint32_t result =
                machine.Call(procedure.address, {Narrowed(window), message, turned.GuestWParam(), turned.GuestLParam()});
            messages_.pop_back();
            if (!module.dead) {
                turned.CopyBack();
                return static_cast<LRESULT>(static_cast<std::int32_t>(result));
            }
        }
    }
    // A procedure whose module stopped: the default answer.
    return dialog ? FALSE : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Bridge::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Bridge& bridge = Get();
    auto known = bridge.windows_.find(window);
    if (known == bridge.windows_.end()) {
        const auto registered = bridge.classes_.find({static_cast<ATOM>(GetClassWord(window, GCW_ATOM)),
            reinterpret_cast<HINSTANCE>(GetClassLongPtrW(window, GCLP_HMODULE))});
        GuestModule* module = registered != bridge.classes_.end() ? bridge.Owner(registered->second) : nullptr;
        if (!module)
            return DefWindowProcW(window, message, wParam, lParam);
        known = bridge.windows_.emplace(window, Procedure{module, registered->second}).first;
    }
    const Procedure procedure = known->second;
    if (message == WM_NCDESTROY)
        bridge.windows_.erase(known);
    return bridge.Run(procedure, window, message, wParam, lParam, false);
}

INT_PTR CALLBACK Bridge::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Bridge& bridge = Get();
    auto known = bridge.dialogs_.find(dialog);
    if (known == bridge.dialogs_.end()) {
        // The dialog's first message: it is the one expected last.
        if (bridge.expectedDialogs_.empty())
            return FALSE;
        known = bridge.dialogs_.emplace(dialog, bridge.expectedDialogs_.back()).first;
        bridge.expectedDialogs_.pop_back();
    }
    if (message == DialogWatchMessage()) {
        bridge.WatchDialog(dialog, true);
        return TRUE;
    }
    const Procedure procedure = known->second;
    if (message == WM_NCDESTROY)
        bridge.dialogs_.erase(known);
    const INT_PTR result = bridge.Run(procedure, dialog, message, wParam, lParam, true);
    if (message == WM_WINDOWPOSCHANGED)
        bridge.WatchDialog(dialog, false);
    return result;
}

void Bridge::WatchDialog(HWND dialog, bool settled)
{
    const auto known = dialogs_.find(dialog);
    if (known == dialogs_.end() || known->second.module->dead)
        return;
    Procedure& procedure = known->second;
    // Before it is first shown, the dialog manager has yet to show it.
    procedure.shown = procedure.shown || IsWindowVisible(dialog);
    if (!procedure.shown || CanBeSeen(dialog))
        return;
    // A dialog that ends is hidden first: it is judged once its loop has
    // taken the messages before, when one that ended is gone.
    if (!settled)
        PostMessageW(dialog, DialogWatchMessage(), 0, 0);
    else
        procedure.module->machine->Fault(procedure.address, L"a dialog of its that nobody can see holds the host");
}

} // namespace armce
