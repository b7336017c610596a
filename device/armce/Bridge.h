// What the host knows of the emulated modules' windows: the window and
// dialog procedures a module registers become host procedures that run its
// code on its machine, each message turned by the message table; the
// messages under way, whose host values the guest's default procedure gets;
// and which windows are a module's own. One for the process, on its
// window thread.
#pragma once

#include "ArmMachine.h"
#include "GuestMessage.h"

#include <windows.h>

#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace armce {

class Bridge
{
public:
    static Bridge& Get();

    // The modules loaded: a guest procedure runs while the module whose
    // image holds it is loaded (a window class outlives its module's unload,
    // and a module loaded again at the same place serves it again).
    void Attach(GuestModule& module);
    void Detach(GuestModule& module);
    GuestModule* Owner(GuestPtr address) const;

    // A guest's class: its name's atom and the module that registered it, as
    // the host names them (two modules may each have a class of one name).
    void RegisterClass(ATOM atom, HINSTANCE instance, GuestPtr procedure);
    bool IsGuestClass(ATOM atom, HINSTANCE instance) const;
    // A host procedure that runs the guest's dialog procedure at address,
    // for the next dialog the host makes.
    DLGPROC DialogProcedure(GuestModule& module, GuestPtr procedure);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // A module's dialog holds the host in its modal loop: one nobody can see
    // once shown (hidden, minimised, off the screen or too small to read)
    // ends the module, as the host cannot be given back otherwise. Every
    // change of its place or showing is seen here, and judged once settled.
    void WatchDialog(HWND dialog, bool settled);

    // The message under way that the guest hands its default procedure, when
    // it is one the bridge turned for it.
    const GuestMessage* Turned(HWND window, UINT message, std::uint32_t wParam, std::uint32_t lParam) const;
    bool IsGuestWindow(HWND window) const;
    bool OwnsWindow(const GuestModule& module, HWND window) const;
    // A DC the host hands one of the module's windows with a message under way.
    bool Hands(const GuestModule& module, HDC dc) const;
    bool Paints(const GuestModule& module) const;
    // Ends the dialogs of a module that stopped (IDCANCEL).
    void EndDialogsOf(const GuestModule& module);

private:
    Bridge();
    struct Procedure
    {
        GuestModule* module;
        GuestPtr address;
        bool shown = false; // the dialog has been shown
    };
    LRESULT Run(const Procedure& procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool dialog);

    std::vector<GuestModule*> modules_;
    std::map<std::pair<ATOM, HINSTANCE>, GuestPtr> classes_;
    std::unordered_map<HWND, Procedure> windows_; // each window's procedure, found at its first message
    std::unordered_map<HWND, Procedure> dialogs_;
    std::vector<Procedure> expectedDialogs_;
    std::vector<std::pair<HWND, const GuestMessage*>> messages_; // under way, innermost last
};

} // namespace armce
