#include "ItemModule.h"

#include "TodayMessages.h"

#include <ArmImage.h>
#include <ArmModule.h>
#include <RomModule.h>
#include <Guest32.h>

#include <vector>

namespace {

constexpr WORD kDialogResource = 500; // the options dialog a Today settings page opens

class NativeItem : public ItemModule
{
public:
    explicit NativeItem(HMODULE module) : module_(module) {}
    ~NativeItem() override { FreeLibrary(module_); }

    HWND Initialize(TODAYLISTITEM* record, HWND host) override
    {
        const auto initialize = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
            reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
        return initialize ? initialize(record, host) : nullptr;
    }

    DLGPROC OptionsProcedure() override
    {
        return reinterpret_cast<DLGPROC>(
            reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC))));
    }

    INT_PTR RunOptions(HWND owner) override
    {
        const DLGPROC procedure = OptionsProcedure();
        const HRSRC resource = FindResourceW(module_, MAKEINTRESOURCEW(kDialogResource), RT_DIALOG);
        const auto* dialog =
            resource ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module_, resource))) : nullptr;
        if (!procedure || !dialog)
            return -1;
        return DialogBoxIndirectParamW(module_, dialog, owner, procedure, 0);
    }

    HINSTANCE Instance() const override { return module_; }

private:
    HMODULE module_;
};

class ArmItem : public ItemModule
{
public:
    explicit ArmItem(std::unique_ptr<armce::ArmModule> module) : module_(std::move(module)) {}

    // Export 240: its record crosses both ways.
    HWND Initialize(TODAYLISTITEM* record, HWND host) override
    {
        const std::uint32_t initialize = module_->Export(ORDINAL_INITIALIZEITEM);
        if (!initialize)
            return nullptr;
        todayitem::AddTodayMessageRules(host);
        armce::ArmMachine::Scratch scratch(module_->Machine());
        auto* guest = static_cast<todayitem::TODAYLISTITEM32*>(scratch.Take(sizeof(todayitem::TODAYLISTITEM32)));
        if (!guest)
            return nullptr;
        if (record) {
            todayitem::TodayItemToGuest(*record, *guest);
            guest->hinstDLL = armce::Narrowed(Instance());
        }
        const HWND window = armce::AsHandle<HWND>(
            module_->Call(initialize, {record ? armce::Narrowed(guest) : 0, armce::Narrowed(host)}));
        if (module_->Dead())
            return nullptr;
        // The host's window, or another module's, is not the item's to hand.
        if (window && !module_->OwnsWindow(window)) {
            module_->Stop(initialize, L"it returned a window not its own");
            return nullptr;
        }
        if (record)
            todayitem::TodayItemFromGuest(*guest, *record);
        if (window)
            module_->Shown();
        return window;
    }

    DLGPROC OptionsProcedure() override
    {
        const std::uint32_t procedure = module_->Export(ORDINAL_OPTIONSDIALOGPROC);
        return procedure && !module_->Dead() ? module_->DialogProcedure(procedure) : nullptr;
    }

    INT_PTR RunOptions(HWND owner) override
    {
        std::vector<DWORD> dialog;
        if (!module_->DialogTemplate(kDialogResource, dialog))
            return -1;
        const DLGPROC procedure = OptionsProcedure();
        if (!procedure)
            return -1;
        // Its options dialog is up: the user is there to answer what it asks.
        module_->Shown();
        return DialogBoxIndirectParamW(module_->Instance(), reinterpret_cast<const DLGTEMPLATE*>(dialog.data()), owner,
            procedure, 0);
    }

    HINSTANCE Instance() const override { return module_->Instance(); }
    bool Stopped() const override { return module_->Dead(); }
    bool IsArm() const override { return true; }

private:
    std::unique_ptr<armce::ArmModule> module_;
};

} // namespace

std::unique_ptr<ItemModule> ItemModule::Load(const std::wstring& path, const std::wstring& name, std::wstring& error)
{
    if (armce::ModuleMachine(path) == armce::kMachineArm) {
        std::unique_ptr<armce::ArmModule> module = armce::ArmModule::Load(path, name, error);
        if (!module)
            return nullptr;
        return std::make_unique<ArmItem>(std::move(module));
    }
    HMODULE module = LoadRomModule(path, error);
    return module ? std::make_unique<NativeItem>(module) : nullptr;
}
