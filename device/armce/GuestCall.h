// The guest's call of a gateway: its arguments, read from the guest's
// registers and stack and checked against its memory, and what is refused.
#pragma once

#include "ArmMachine.h"

#include <cstdint>
#include <string>

namespace armce {

// The guest's call of a gateway, as the import's handler sees it.
class GuestCall
{
public:
    GuestCall(ArmMachine& machine, GuestModule& module, const Import& import);

    // Argument n (from 0): r0 to r3, then the stack; 0 and a violation when
    // the stack slot lies outside the module's memory.
    std::uint32_t Arg(int n);
    GuestModule& Module() const { return module_; }
    ArmMachine& Machine() const { return machine_; }
    const Import& Callee() const { return import_; }

    // Refuses the call: the host does nothing with it, and the module stops
    // with a line naming the import, the argument n (from 0) and address,
    // and what is wrong (by default, that it lies outside its memory).
    std::uint32_t Violation(int n, std::uint32_t address, const std::wstring& what = L"");
    bool Violated() const { return !violation_.empty(); }
    const std::wstring& ViolationText() const { return violation_; }
    // Refuses the call without stopping the module: the host does nothing
    // and the guest is answered 0 (what it asked to change is not its own).
    void Refuse() { refused_ = true; }
    bool Refused() const { return refused_; }

    // Checked views of the arguments, null after a violation (a null
    // guest pointer, where allowed, is a null host pointer with no
    // violation): bytes read or written, a wide string's length.
    void* Bytes(int n, std::uint32_t size, Access access, bool optional);
    template <typename T>
    T* Record(int n, Access access, bool optional)
    {
        return static_cast<T*>(Bytes(n, sizeof(T), access, optional));
    }
    // A NUL-terminated wide string of at most maxChars characters: its
    // length, or -1 (null allowed: -2 for a null pointer).
    long String(int n, std::uint32_t maxChars, bool optional);

    // An import's name, as a line tells it.
    static std::wstring Wide(const char* text);

private:
    ArmMachine& machine_;
    GuestModule& module_;
    const Import& import_;
    std::uint32_t registers_[5]; // r0 to r3, sp
    std::wstring violation_;
    bool refused_ = false;
};

} // namespace armce
