#include "ScreenRun.h"

#include <windows.h>

#include <mutex>
#include <string>

namespace {

// Names the run's shared memory in the environment of its programs.
constexpr wchar_t kRunVariable[] = L"DEVICE_SCREEN_RUN";

// The shared memory: the profile's index times two, plus one when turned.
struct SharedChoice
{
    volatile LONG packed;
};

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

class RunMemory
{
public:
    ~RunMemory() { Unmap(); }

    std::optional<coredll::ScreenChoice> Read()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::wstring name = Variable(kRunVariable);
        if (name.empty())
            return std::nullopt;
        if (name != name_) {
            Unmap();
            mapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
            view_ = mapping_ ? static_cast<SharedChoice*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0)) : nullptr;
            name_ = name;
        }
        if (!view_)
            return std::nullopt;
        const LONG packed = view_->packed;
        return coredll::ScreenChoice{packed / 2, (packed & 1) != 0};
    }

    bool Choose(coredll::ScreenChoice choice)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!own_ && !MakeOwn())
            return false;
        InterlockedExchange(const_cast<LONG*>(&view_->packed), choice.profile * 2 + (choice.landscape ? 1 : 0));
        return true;
    }

    void Drop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!own_)
            return;
        Unmap();
        SetEnvironmentVariableW(kRunVariable, before_.empty() ? nullptr : before_.c_str());
    }

private:
    bool MakeOwn()
    {
        static LONG s_made = 0;
        const std::wstring name = L"DeviceScreenRun." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                  std::to_wstring(InterlockedIncrement(&s_made));
        HANDLE mapping =
            CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedChoice), name.c_str());
        auto* view = mapping ? static_cast<SharedChoice*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                             : nullptr;
        const std::wstring before = Variable(kRunVariable);
        if (!view || !SetEnvironmentVariableW(kRunVariable, name.c_str())) {
            if (view)
                UnmapViewOfFile(view);
            if (mapping)
                CloseHandle(mapping);
            return false;
        }
        Unmap();
        mapping_ = mapping;
        view_ = view;
        name_ = name;
        own_ = true;
        before_ = before;
        return true;
    }

    void Unmap()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
        view_ = nullptr;
        mapping_ = nullptr;
        name_.clear();
        own_ = false;
    }

    std::mutex mutex_;
    std::wstring name_; // of the memory mapped now
    HANDLE mapping_ = nullptr;
    SharedChoice* view_ = nullptr;
    bool own_ = false;        // made by this program
    std::wstring before_;     // the run the program was in before its own
};

RunMemory g_run;

} // namespace

namespace coredll {

std::optional<ScreenChoice> RunScreen()
{
    return g_run.Read();
}

bool ChooseRunScreen(ScreenChoice choice)
{
    return g_run.Choose(choice);
}

void DropRunScreen()
{
    g_run.Drop();
}

} // namespace coredll
