// A Windows CE module for ARM, run on an emulated processor of its own: laid
// out below 2 GB, its imports bound to the device's own functions, its entry
// point called at load and at unload as a device's loader calls it. It stays
// loaded while any of its code is on the stack: letting go of it while one of
// its calls is under way (a reload inside its own dialog) unloads it when
// that call returns.
#pragma once

#include "ArmMachine.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace armce {

class ArmModule
{
public:
    // Loads the module at path (whose name name tells it in reports); null
    // with the reason when it cannot run.
    static std::unique_ptr<ArmModule> Load(const std::wstring& path, const std::wstring& name, std::wstring& error);
    ~ArmModule();
    ArmModule(const ArmModule&) = delete;
    ArmModule& operator=(const ArmModule&) = delete;

    // Stopped by a fault: every call answers 0 from then on.
    bool Dead() const;
    HINSTANCE Instance() const;
    // The address of an export; 0 when there is none.
    std::uint32_t Export(WORD ordinal) const;
    std::uint32_t Export(const std::string& name) const;
    // A call of the module's code; see ArmMachine::Call.
    std::uint32_t Call(std::uint32_t address, std::initializer_list<std::uint32_t> arguments,
        unsigned budgetMs = ArmMachine::kRunawayMilliseconds);
    // A call with a text among its arguments: the text is copied where the
    // guest reads it, and the argument at textArgument is its address.
    std::uint32_t CallWithText(std::uint32_t address, std::vector<std::uint32_t> arguments, std::size_t textArgument,
        const std::wstring& text, unsigned budgetMs = ArmMachine::kRunawayMilliseconds);
    // A window the module made (or one inside such a window).
    bool OwnsWindow(HWND window) const;
    // The host took the module's window: from now on its calls may wait for
    // the user (dialogs).
    void Shown();
    // From now on watch is told before the module changes a device file or
    // key, and may refuse it (null: nobody is told); it outlives the calls.
    void WatchChanges(ChangeWatch* watch);
    // Stops the module with one line, as a fault at address does.
    void Stop(std::uint32_t address, const std::wstring& cause);
    // The machine the module runs on, for records handed to its calls.
    ArmMachine& Machine() const;
    // A dialog procedure the host can hand the dialog manager for the
    // guest's procedure at address, for the next dialog.
    DLGPROC DialogProcedure(std::uint32_t address);
    // The dialog template of one of its resources, checked and copied;
    // false when it has none that ends within its image.
    bool DialogTemplate(WORD id, std::vector<DWORD>& copy) const;

private:
    struct Loaded;
    ArmModule() = default;

    std::shared_ptr<Loaded> loaded_;
};

// Where the device's emulated processors tell their faults, one line each
// (standard error when unset).
void SetFaultReporter(std::function<void(const std::wstring&)> reporter);

} // namespace armce
