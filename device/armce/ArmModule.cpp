#include "ArmModule.h"

#include "Guest32.h"
#include "GuestMessage.h"

#include <todaycmn.h>

#include <cstdio>
#include <cstring>

namespace armce {

namespace {

std::function<void(const std::wstring&)>& Reporter()
{
    static std::function<void(const std::wstring&)> reporter;
    return reporter;
}

void Report(const std::wstring& line)
{
    if (Reporter())
        Reporter()(line);
    else
        std::fprintf(stderr, "%ls\n", line.c_str());
}

} // namespace

void SetFaultReporter(std::function<void(const std::wstring&)> reporter)
{
    Reporter() = std::move(reporter);
}

std::unique_ptr<ArmModule> ArmModule::Load(const std::wstring& path, const std::wstring& name, std::wstring& error)
{
    std::unique_ptr<ArmModule> module(new ArmModule);
    module->bridge_ = Bridge::Get(error);
    if (!module->bridge_)
        return nullptr;
    module->image_ = ArmImage::Load(path, error);
    if (!module->image_)
        return nullptr;
    ArmMachine& machine = module->bridge_->Machine();
    machine.SetReporter(Report);
    if (!module->bridge_->BindImports(*module->image_, error))
        return nullptr;
    if (!machine.Map(reinterpret_cast<void*>(static_cast<std::uintptr_t>(module->image_->Base())),
            module->image_->Size())) {
        error = L"its image cannot be mapped for the ARM processor";
        return nullptr;
    }
    module->mapped_ = true;
    module->module_.name = name;
    module->module_.base = module->image_->Base();
    module->module_.size = module->image_->Size();
    module->bridge_->Attach(module->module_);
    module->attachedToBridge_ = true;
    if (module->image_->EntryPoint()) {
        module->attached_ = true;
        const std::uint32_t attached =
            module->Call(module->image_->EntryPoint(), {module->image_->Base(), DLL_PROCESS_ATTACH, 0});
        if (module->Dead() || !attached) {
            error = module->Dead() ? L"it stopped as it was loaded" : L"its entry point refused the load";
            module->attached_ = false;
            return nullptr;
        }
    }
    return module;
}

ArmModule::~ArmModule()
{
    if (attached_)
        Call(image_->EntryPoint(), {image_->Base(), DLL_PROCESS_DETACH, 0});
    if (attachedToBridge_)
        bridge_->Detach(module_);
    if (mapped_)
        bridge_->Machine().Unmap(reinterpret_cast<void*>(static_cast<std::uintptr_t>(image_->Base())), image_->Size());
}

std::uint32_t ArmModule::Call(std::uint32_t address, const std::vector<std::uint32_t>& arguments)
{
    return bridge_->Machine().Call(module_, address, arguments);
}

std::uint32_t ArmModule::CallWithText(std::uint32_t address, std::vector<std::uint32_t> arguments,
    std::size_t textArgument, const std::wstring& text)
{
    ArmMachine::Scratch scratch(bridge_->Machine());
    const auto size = static_cast<std::uint32_t>((text.size() + 1) * sizeof(wchar_t));
    void* copy = scratch.Take(size);
    if (!copy || textArgument >= arguments.size())
        return 0;
    std::memcpy(copy, text.c_str(), size);
    arguments[textArgument] = ToGuest(copy);
    return Call(address, arguments);
}

HWND ArmModule::InitializeItem(TODAYLISTITEM* record, HWND parent)
{
    const std::uint32_t initialize = Export(ORDINAL_INITIALIZEITEM);
    if (!initialize)
        return nullptr;
    ArmMachine::Scratch scratch(bridge_->Machine());
    auto* guest = static_cast<TODAYLISTITEM32*>(scratch.Take(sizeof(TODAYLISTITEM32)));
    if (!guest)
        return nullptr;
    if (record) {
        TodayItemToGuest(*record, *guest);
        guest->hinstDLL = ToGuest(Instance());
    }
    const HWND window = FromGuest<HWND>(Call(initialize, {record ? ToGuest(guest) : 0, ToGuest(parent)}));
    if (record)
        TodayItemFromGuest(*guest, *record);
    return window;
}

DLGPROC ArmModule::DialogProcedure(std::uint32_t address)
{
    return bridge_->DialogProcedure(address);
}

} // namespace armce
