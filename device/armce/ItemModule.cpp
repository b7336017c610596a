#include "ItemModule.h"

#include "ArmImage.h"
#include "ArmModule.h"

namespace {

constexpr WORD kDialogResource = 500; // the options dialog a Today settings page opens

// The dialog template of the options, in a module the platform or the
// device has laid out.
const DLGTEMPLATE* OptionsTemplate(HINSTANCE instance)
{
    const HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(kDialogResource), RT_DIALOG);
    return resource ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(instance, resource))) : nullptr;
}

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
        const DLGTEMPLATE* dialog = OptionsTemplate(module_);
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

    HWND Initialize(TODAYLISTITEM* record, HWND host) override { return module_->InitializeItem(record, host); }

    DLGPROC OptionsProcedure() override
    {
        const std::uint32_t procedure = module_->Export(ORDINAL_OPTIONSDIALOGPROC);
        return procedure && !module_->Dead() ? module_->DialogProcedure(procedure) : nullptr;
    }

    INT_PTR RunOptions(HWND owner) override
    {
        const DLGTEMPLATE* dialog = OptionsTemplate(module_->Instance());
        const DLGPROC procedure = dialog ? OptionsProcedure() : nullptr;
        if (!procedure)
            return -1;
        return DialogBoxIndirectParamW(module_->Instance(), dialog, owner, procedure, 0);
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
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        error = L"cannot load " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return nullptr;
    }
    return std::make_unique<NativeItem>(module);
}
