#include "SetupLibrary.h"

#include "ArmImage.h"
#include "ArmModule.h"
#include "OwnedHandle.h"
#include "RomModule.h"

#include <cstdio>
#include <functional>

namespace {

constexpr char kInstallInit[] = "Install_Init";
constexpr char kInstallExit[] = "Install_Exit";
constexpr char kUninstallInit[] = "Uninstall_Init";
constexpr char kUninstallExit[] = "Uninstall_Exit";
// Runs a function of a library built for this processor, on a thread of its
// own, for no longer than a setup library's call may take; one that does
// not answer in time ends the installer (the library's thread cannot be
// taken back), whose supervisor undoes what was begun.
int WithinTime(const char* function, const std::function<int()>& call)
{
    struct Running
    {
        std::function<int()> call;
        int answer = 0;
    } running{call};
    const UniqueHandle thread(CreateThread(nullptr, 0, [](LPVOID context) -> DWORD {
        auto* r = static_cast<Running*>(context);
        r->answer = r->call();
        return 0;
    }, &running, 0, nullptr));
    if (!thread)
        return call();
    if (WaitForSingleObject(thread.Get(), kSetupCallMilliseconds) != WAIT_OBJECT_0) {
        std::printf("wceload: the setup library's %s did not answer within %u seconds\n", function,
            kSetupCallMilliseconds / 1000);
        std::fflush(stdout);
        TerminateProcess(GetCurrentProcess(), kExitSetupHung);
    }
    return running.answer;
}

// The answers' codes: 0 goes on; Install_Exit's 1 asks for the removal.
SetupAnswer InitAnswer(std::uint32_t code)
{
    return code == 0 ? SetupAnswer::Continue : SetupAnswer::Cancel;
}

SetupAnswer ExitAnswer(std::uint32_t code)
{
    return code == 0 ? SetupAnswer::Continue : SetupAnswer::Undo;
}

// Built for this processor: loaded by the platform.
class NativeSetupLibrary : public SetupLibrary
{
public:
    explicit NativeSetupLibrary(HMODULE module) : module_(module) {}
    ~NativeSetupLibrary() override { FreeLibrary(module_); }
    NativeSetupLibrary(const NativeSetupLibrary&) = delete;
    NativeSetupLibrary& operator=(const NativeSetupLibrary&) = delete;

    SetupAnswer InstallInit(bool firstCall, bool previouslyInstalled, const std::wstring& installDir) override
    {
        const auto f = Function<int(HWND, BOOL, BOOL, LPCWSTR)>(kInstallInit);
        return f ? InitAnswer(WithinTime(kInstallInit,
                       [&] { return f(nullptr, firstCall, previouslyInstalled, installDir.c_str()); }))
                 : SetupAnswer::Continue;
    }
    SetupAnswer InstallExit(const std::wstring& installDir, const FailedCounts& failed) override
    {
        const auto f = Function<int(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD)>(kInstallExit);
        return f ? ExitAnswer(WithinTime(kInstallExit, [&] {
            return f(nullptr, installDir.c_str(), failed.folders, failed.files, failed.keys, failed.values,
                failed.shortcuts);
        }))
                 : SetupAnswer::Continue;
    }
    SetupAnswer UninstallInit(const std::wstring& installDir) override
    {
        const auto f = Function<int(HWND, LPCWSTR)>(kUninstallInit);
        return f ? InitAnswer(WithinTime(kUninstallInit, [&] { return f(nullptr, installDir.c_str()); }))
                 : SetupAnswer::Continue;
    }
    SetupAnswer UninstallExit() override
    {
        const auto f = Function<int(HWND)>(kUninstallExit);
        return f ? ExitAnswer(WithinTime(kUninstallExit, [&] { return f(nullptr); })) : SetupAnswer::Continue;
    }

private:
    template <typename F>
    F* Function(const char* name) const
    {
        return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_;
};

// Built for ARM, as a Pocket PC's is: run on the device's emulated processor.
// A library that stops (it has said so) cancels, or has its installation
// removed.
class ArmSetupLibrary : public SetupLibrary
{
public:
    explicit ArmSetupLibrary(std::unique_ptr<armce::ArmModule> module) : module_(std::move(module)) {}

    SetupAnswer InstallInit(bool firstCall, bool previouslyInstalled, const std::wstring& installDir) override
    {
        const std::uint32_t f = module_->Export(kInstallInit);
        return f ? Init(module_->CallWithText(f, {0, firstCall, previouslyInstalled, 0}, 3, installDir, kSetupCallMilliseconds))
                 : SetupAnswer::Continue;
    }
    SetupAnswer InstallExit(const std::wstring& installDir, const FailedCounts& failed) override
    {
        const std::uint32_t f = module_->Export(kInstallExit);
        return f ? Exit(module_->CallWithText(f,
                       {0, 0, failed.folders, failed.files, failed.keys, failed.values, failed.shortcuts}, 1,
                       installDir, kSetupCallMilliseconds))
                 : SetupAnswer::Continue;
    }
    SetupAnswer UninstallInit(const std::wstring& installDir) override
    {
        const std::uint32_t f = module_->Export(kUninstallInit);
        return f ? Init(module_->CallWithText(f, {0, 0}, 1, installDir, kSetupCallMilliseconds)) : SetupAnswer::Continue;
    }
    SetupAnswer UninstallExit() override
    {
        const std::uint32_t f = module_->Export(kUninstallExit);
        if (f)
            module_->Call(f, {0}, kSetupCallMilliseconds);
        return SetupAnswer::Continue;
    }

private:
    SetupAnswer Init(std::uint32_t code) const { return module_->Dead() ? SetupAnswer::Cancel : InitAnswer(code); }
    SetupAnswer Exit(std::uint32_t code) const { return module_->Dead() ? SetupAnswer::Undo : ExitAnswer(code); }

    std::unique_ptr<armce::ArmModule> module_;
};

} // namespace

std::unique_ptr<SetupLibrary> SetupLibrary::Load(const std::wstring& path, armce::ChangeWatch& changes,
    std::wstring& error)
{
    if (armce::ModuleMachine(path) == armce::kMachineArm) {
        std::unique_ptr<armce::ArmModule> module = armce::ArmModule::Load(path, L"the setup library", error);
        if (!module)
            return nullptr;
        module->WatchChanges(&changes);
        return std::make_unique<ArmSetupLibrary>(std::move(module));
    }
    const HMODULE module = LoadRomModule(path, error);
    if (!module) {
        error = L"the setup library cannot run: " + error;
        return nullptr;
    }
    return std::make_unique<NativeSetupLibrary>(module);
}
