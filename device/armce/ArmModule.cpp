#include "ArmModule.h"

#include "ArmImage.h"
#include "Bridge.h"
#include "DialogTemplate.h"
#include "Guest32.h"
#include "Imports.h"
#include "Ownership.h"

#include <deviceaccounting.h>
#include <devicememory.h>

#include <atomic>
#include <cstring>

namespace armce {

namespace {

// A module's heap: plenty for a device's DLL, and no more than a device's
// process would give one.
constexpr std::uint32_t kHeapSize = 8 << 20;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

DWORD NextModuleNumber()
{
    static std::atomic<DWORD> next{0};
    return ++next;
}

} // namespace

// A loaded module and all it holds. Its calls under way hold it too: it is
// unloaded when the last of them lets go.
struct ArmModule::Loaded : GuestModule
{
    ~Loaded();
    bool Start(const std::wstring& path, std::wstring& error);
    bool BindImports(std::wstring& error);

    std::unique_ptr<ArmImage> image;
    ArmMachine::Lease lease;
    bool attachedToBridge = false;
    bool attached = false; // its entry point took the process attach
};

bool ArmModule::Loaded::Start(const std::wstring& path, std::wstring& error)
{
    image = ArmImage::Load(path, error);
    if (!image)
        return false;
    base = image->Base();
    size = image->Size();
    resources = image->Resources();
    lease = ArmMachine::Acquire(*this, error);
    if (!lease)
        return false;
    if (!lease->MapImage(base, image->Ranges())) {
        error = L"its image cannot be mapped for the ARM processor";
        return false;
    }
    heap = DeviceHeapCreate(kHeapSize);
    LPVOID heapBase = nullptr;
    SIZE_T heapSize = 0;
    DeviceHeapBounds(heap, &heapBase, &heapSize);
    if (!heap || !lease->Map(Narrowed(heapBase), static_cast<std::uint32_t>(heapSize), true, false)) {
        error = L"no room below 2 GB for its heap";
        return false;
    }
    if (!BindImports(error))
        return false;
    Bridge::Get().Attach(*this);
    attachedToBridge = true;
    return true;
}

bool ArmModule::Loaded::BindImports(std::wstring& error)
{
    for (const ImportSlot& import : image->Imports()) {
        if (import.name.empty()) {
            error = L"it imports ordinal " + std::to_wstring(import.ordinal) + L" of " + Wide(import.library) +
                    L", which the device cannot forward";
            return false;
        }
        std::size_t index = 0;
        if (!FindImport(Lower(import.library), import.name, index) || !HostFunction(index)) {
            error = L"it imports " + Wide(import.name) + L" from " + Wide(import.library) +
                    L", which the device cannot forward";
            return false;
        }
        const GuestPtr gateway = lease->Gateway(index);
        std::memcpy(GuestMemory::At<void>(import.slot), &gateway, sizeof gateway);
    }
    return true;
}

ArmModule::Loaded::~Loaded()
{
    leaving = true;
    if (attached && !dead)
        lease->Call(image->EntryPoint(), {base, DLL_PROCESS_DETACH, 0});
    if (attachedToBridge) {
        Bridge::Get().EndDialogsOf(*this);
        Bridge::Get().Detach(*this);
    }
    // What a module that was stopped left behind is freed, as a device frees
    // what a process that ended held; a module that ends well answers for
    // its own.
    if (dead)
        DeviceReleaseOwned(id);
    for (HANDLE handle : kernelHandles)
        CloseHandle(handle);
    lease.reset();
    DeviceHeapDestroy(heap, dead);
}

std::unique_ptr<ArmModule> ArmModule::Load(const std::wstring& path, const std::wstring& name, std::wstring& error)
{
    std::unique_ptr<ArmModule> module(new ArmModule);
    auto loaded = std::make_shared<Loaded>();
    loaded->name = name;
    loaded->id = NextModuleNumber();
    loaded->self = loaded;
    if (!loaded->Start(path, error))
        return nullptr;
    if (const std::uint32_t entry = loaded->image->EntryPoint()) {
        loaded->attached = true;
        const std::uint32_t attached = loaded->lease->Call(entry, {loaded->base, DLL_PROCESS_ATTACH, 0});
        if (loaded->dead || !attached) {
            error = loaded->dead ? L"it stopped as it was loaded" : L"its entry point refused the load";
            loaded->attached = false;
            return nullptr;
        }
    }
    module->loaded_ = std::move(loaded);
    return module;
}

ArmModule::~ArmModule()
{
    if (loaded_)
        loaded_->leaving = true;
}

bool ArmModule::Dead() const
{
    return loaded_->dead;
}

bool ArmModule::OwnsWindow(HWND window) const
{
    return armce::OwnsWindow(*loaded_, window);
}

void ArmModule::Shown()
{
    loaded_->shown = true;
}

void ArmModule::WatchChanges(ChangeWatch* watch)
{
    loaded_->changes = watch;
}

void ArmModule::Stop(std::uint32_t address, const std::wstring& cause)
{
    if (!loaded_->dead)
        loaded_->lease->Fault(address, cause);
}

HINSTANCE ArmModule::Instance() const
{
    return Widened<HINSTANCE>(loaded_->base, false);
}

std::uint32_t ArmModule::Export(WORD ordinal) const
{
    return loaded_->image->Export(ordinal);
}

std::uint32_t ArmModule::Export(const std::string& name) const
{
    return loaded_->image->Export(name);
}

ArmMachine& ArmModule::Machine() const
{
    return *loaded_->lease;
}

std::uint32_t ArmModule::Call(std::uint32_t address, std::initializer_list<std::uint32_t> arguments, unsigned budgetMs)
{
    const std::shared_ptr<Loaded> alive = loaded_;
    return alive->lease->Call(address, arguments, budgetMs);
}

std::uint32_t ArmModule::CallWithText(std::uint32_t address, std::vector<std::uint32_t> arguments,
    std::size_t textArgument, const std::wstring& text, unsigned budgetMs)
{
    const std::shared_ptr<Loaded> alive = loaded_;
    ArmMachine::Scratch scratch(*alive->lease);
    const auto size = static_cast<std::uint32_t>((text.size() + 1) * sizeof(wchar_t));
    void* copy = scratch.Take(size);
    if (!copy || textArgument >= arguments.size())
        return 0;
    std::memcpy(copy, text.c_str(), size);
    arguments[textArgument] = Narrowed(copy);
    return alive->lease->Call(address, arguments.data(), arguments.size(), budgetMs);
}

DLGPROC ArmModule::DialogProcedure(std::uint32_t address)
{
    return loaded_->dead || !loaded_->Holds(address) ? nullptr : Bridge::Get().DialogProcedure(*loaded_, address);
}

bool ArmModule::DialogTemplate(WORD id, std::vector<DWORD>& copy) const
{
    const HMODULE module = Instance();
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    const void* dialog = resource ? LockResource(LoadResource(module, resource)) : nullptr;
    return dialog && CopyDialogTemplate(loaded_->memory, Narrowed(dialog), copy);
}

void SetFaultReporter(std::function<void(const std::wstring&)> reporter)
{
    ArmMachine::SetReporter(std::move(reporter));
}

} // namespace armce
