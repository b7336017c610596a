#include "Failures.h"

#include <deviceaccounting.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

// What the test asked for, and what has happened since.
struct Plan
{
    bool armed = false;
    std::string function;  // empty: any fallible function
    DWORD n = 0;           // the call that fails first
    bool fromThenOn = false;
    DWORD calls = 0;       // counted calls since armed
    std::string failed;    // the function that failed first
};

std::mutex g_mutex;
Plan g_plan;
const void* g_moduleBase = nullptr;
std::size_t g_moduleSize = 0;

std::size_t ImageSize(HMODULE module)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(module) + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

bool IsItemCall(const void* returnAddress)
{
    if (DeviceCurrentGuest() != 0)
        return true;
    const auto* at = static_cast<const char*>(returnAddress);
    const auto* base = static_cast<const char*>(g_moduleBase);
    return base && at >= base && at < base + g_moduleSize;
}

} // namespace

namespace coredll {

bool Fails(const char* function, void* returnAddress)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_plan.armed || !IsItemCall(returnAddress))
        return false;
    // Once failed from then on, that function stays failed.
    if (g_plan.fromThenOn && !g_plan.failed.empty()) {
        ++g_plan.calls;
        if (g_plan.failed != function)
            return false;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return true;
    }
    if (!g_plan.function.empty() && g_plan.function != function)
        return false;
    if (++g_plan.calls != g_plan.n)
        return false;
    g_plan.failed = function;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

} // namespace coredll

extern "C" {

void WINAPI DeviceFailuresFor(HMODULE module)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_moduleBase = module;
    g_moduleSize = module ? ImageSize(module) : 0;
}

void WINAPI DeviceFailCall(LPCSTR function, DWORD n, BOOL fromThenOn)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_plan = Plan{true, function ? function : "", n, fromThenOn != FALSE, 0, ""};
}

void WINAPI DeviceFailFallibleCall(DWORD n, BOOL fromThenOn)
{
    DeviceFailCall(nullptr, n, fromThenOn);
}

void WINAPI DeviceClearFailures(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_plan = Plan{};
}

DWORD WINAPI DeviceFallibleCalls(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_plan.calls;
}

DWORD WINAPI DeviceFailedFunction(LPSTR function, DWORD size)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_plan.failed.empty() || !function || size <= g_plan.failed.size())
        return 0;
    std::memcpy(function, g_plan.failed.c_str(), g_plan.failed.size() + 1);
    return static_cast<DWORD>(g_plan.failed.size());
}

BOOL WINAPI DeviceCallFails(LPCSTR function, LPVOID returnAddress)
{
    return coredll::Fails(function, returnAddress);
}

} // extern "C"
