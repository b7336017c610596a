// The host as the guest sees it: the device's own functions behind the
// gateways a module's imports are bound to, each call's arguments and
// records turned from the guest's 32-bit layout into the host's and back;
// and the guest's window and dialog procedures, which the host calls
// through procedures of its own that run them on the machine, each
// message's records turned the other way.
#pragma once

#include "ArmImage.h"
#include "ArmMachine.h"

#include <windows.h>

#include <map>
#include <utility>
#include <memory>
#include <string>
#include <vector>

namespace armce {

class GuestMessage;

class Bridge
{
public:
    // The bridge of the process's machine, made with it.
    static std::shared_ptr<Bridge> Get(std::wstring& error);
    ArmMachine& Machine() const { return *machine_; }

    // Binds every import of image to its gateway; false with a line naming
    // the first import the device cannot forward.
    bool BindImports(const ArmImage& image, std::wstring& error);

    // The modules loaded: a guest procedure runs while the module whose
    // image holds it is loaded (a window class outlives its module's unload,
    // and a module loaded again at the same place serves it again).
    void Attach(GuestModule& module);
    void Detach(const GuestModule& module);

    // A host procedure that runs the guest's dialog procedure at address for
    // the dialog about to be made.
    DLGPROC DialogProcedure(std::uint32_t address);

    // The procedures the host calls.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // What the handlers of the imports need of the bridge.
    GuestModule* Caller() const;
    // A guest's class: its name's atom and the module that registered it, as
    // the host names them (two modules may each have a class of one name).
    void RegisterClass(ATOM atom, HINSTANCE instance, std::uint32_t procedure);
    void ExpectDialog(std::uint32_t procedure);
    // The host's values of a message the guest hands on to the default
    // procedure, when it is one the bridge turned for it.
    const GuestMessage* Turned(UINT message, std::uint32_t wParam, std::uint32_t lParam) const;

private:
    explicit Bridge(std::shared_ptr<ArmMachine> machine) : machine_(std::move(machine)) {}
    GuestModule* Owner(std::uint32_t address) const;
    LRESULT Run(std::uint32_t procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool dialog);

    std::shared_ptr<ArmMachine> machine_;
    std::map<std::string, std::uint32_t> gateways_; // by "library!name"
    std::vector<GuestModule*> modules_;
    std::map<std::pair<ATOM, HINSTANCE>, std::uint32_t> classes_;
    std::map<HWND, std::uint32_t> dialogs_;
    std::vector<std::uint32_t> expectedDialogs_;
    std::vector<const GuestMessage*> messages_; // the messages under way, innermost last
};

} // namespace armce
