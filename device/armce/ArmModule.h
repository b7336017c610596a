// A Windows CE module for ARM, run on the device's emulated processor: laid
// out below 2 GB, its imports bound to the device's own functions, its entry
// point called at load and at unload as a device's loader calls it.
#pragma once

#include "ArmImage.h"
#include "ArmMachine.h"
#include "Bridge.h"

#include <todaycmn.h>

#include <windows.h>

#include <functional>
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
    bool Dead() const { return module_.dead; }
    HINSTANCE Instance() const { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(image_->Base())); }
    // The address of an export; 0 when there is none.
    std::uint32_t Export(WORD ordinal) const { return image_->Export(ordinal); }
    std::uint32_t Export(const std::string& name) const { return image_->Export(name); }
    std::uint32_t Call(std::uint32_t address, const std::vector<std::uint32_t>& arguments);
    // A call with a text among its arguments: the text is copied where the
    // guest reads it, and the argument at textArgument is its address.
    std::uint32_t CallWithText(std::uint32_t address, std::vector<std::uint32_t> arguments, std::size_t textArgument,
        const std::wstring& text);

    // Export 240 as the Today screen calls it: its record crosses both ways.
    HWND InitializeItem(TODAYLISTITEM* record, HWND parent);
    // A dialog procedure the host can hand the dialog manager for the
    // guest's procedure at address (export 241, say), for the next dialog.
    DLGPROC DialogProcedure(std::uint32_t address);

private:
    ArmModule() = default;

    std::shared_ptr<Bridge> bridge_;
    std::unique_ptr<ArmImage> image_;
    GuestModule module_;
    bool mapped_ = false;
    bool attachedToBridge_ = false;
    bool attached_ = false; // its entry point took the process attach
};

// Where the device's emulated processor tells its faults, one line each
// (standard error when unset).
void SetFaultReporter(std::function<void(const std::wstring&)> reporter);

} // namespace armce
