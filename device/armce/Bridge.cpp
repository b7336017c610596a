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
    const Procedure procedure = known->second;
    if (message == WM_NCDESTROY)
        bridge.dialogs_.erase(known);
    return bridge.Run(procedure, dialog, message, wParam, lParam, true);
}

bool OwnsHandle(const GuestModule& module, HANDLE handle)
{
    return DeviceResourceOwner(handle) == module.id ||
           std::find(module.kernelHandles.begin(), module.kernelHandles.end(), handle) != module.kernelHandles.end();
}

bool OwnsWindow(const GuestModule& module, HWND window)
{
    return Bridge::Get().OwnsWindow(module, window);
}

bool IsGuestWindow(HWND window)
{
    return Bridge::Get().IsGuestWindow(window);
}

} // namespace armce
