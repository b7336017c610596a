#include "GuestCall.h"

#include "Imports.h"

#include <unicorn/unicorn.h>

#include <cstring>

namespace armce {

GuestCall::GuestCall(ArmMachine& machine, GuestModule& module, const Import& import)
    : machine_(machine), module_(module), import_(import)
{
    int ids[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3, UC_ARM_REG_SP};
    void* values[] = {&registers_[0], &registers_[1], &registers_[2], &registers_[3], &registers_[4]};
    uc_reg_read_batch(machine.uc_, ids, values, 5);
}

std::uint32_t GuestCall::Arg(int n)
{
    if (n < 4)
        return registers_[n];
    const std::uint64_t at = std::uint64_t{registers_[4]} + 4 * static_cast<std::uint64_t>(n - 4);
    if (at > UINT32_MAX || !module_.memory.Holds(static_cast<GuestPtr>(at), 4, Access::kRead)) {
        Violation(n, static_cast<std::uint32_t>(at), L"on a stack outside its memory");
        return 0;
    }
    std::uint32_t value;
    std::memcpy(&value, GuestMemory::At<const void>(static_cast<GuestPtr>(at)), 4);
    return value;
}

std::uint32_t GuestCall::Violation(int n, std::uint32_t address, const std::wstring& what)
{
    if (violation_.empty())
        violation_ = Wide(import_.name) + L"'s argument " + std::to_wstring(n + 1) + L" is " + Hex(address) + L", " +
                     (what.empty() ? L"outside its memory" : what);
    return 0;
}

std::wstring GuestCall::Wide(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

void* GuestCall::Bytes(int n, std::uint32_t size, Access access, bool optional)
{
    const std::uint32_t address = Arg(n);
    if (Violated() || (!address && optional))
        return nullptr;
    if (!address || !module_.memory.Holds(address, size, access)) {
        Violation(n, address,
            L"where " + std::to_wstring(size) + (access == Access::kWrite ? L" bytes cannot be written" :
                                                                            L" bytes cannot be read"));
        return nullptr;
    }
    return GuestMemory::At<void>(address);
}

long GuestCall::String(int n, std::uint32_t maxChars, bool optional)
{
    const std::uint32_t address = Arg(n);
    if (Violated())
        return -1;
    if (!address && optional)
        return -2;
    const long length = address ? module_.memory.StringLength(address, maxChars) : -1;
    if (length < 0)
        Violation(n, address, L"no text that ends within its memory and " + std::to_wstring(maxChars) + L" characters");
    return length;
}

} // namespace armce
