// The emulated ARM processor that runs one Windows CE module inside a device
// program: an XScale (ARMv5TE, as the PXA270 of Windows Mobile devices) in
// user mode, with alignment checking on, so that a misaligned access faults
// as on a device. It maps nothing but that module's memory (GuestMemory),
// with a guard below its stack. The host calls guest functions, and the
// guest calls the host through gateways: words of code that stand for the
// device's functions (Imports.h). Calls nest as deep as the platform calls
// back (a window procedure run while the guest's own call of CreateWindowExW
// is under way). A fault, an undefined instruction, a pointer the module
// hands the device outside its memory, or a call that runs past its time
// ends the module: the machine says so in one line, and every call of the
// module from then on answers 0 at once. A machine is kept for the process
// when its module goes, for the next module.
#pragma once

#include "ArmImage.h"
#include "ChangeWatch.h"
#include "GuestMemory.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

struct uc_struct;
struct uc_context;

namespace armce {

class ArmMachine;
struct Import;

// A module as the machine knows it.
struct GuestModule
{
    std::wstring name;
    DWORD id = 0;          // its number in the device's accounting
    GuestPtr base = 0;     // its image
    std::uint32_t size = 0;
    GuestMemory memory;
    HANDLE heap = nullptr; // its malloc's
    ArmMachine* machine = nullptr;
    std::vector<HANDLE> kernelHandles; // the events, files and processes it opened
    std::vector<GuestPtr> resources;   // its resources' data entries, which LoadResource takes
    std::vector<HWND> controls;        // windows of the platform's classes it made, some perhaps gone
    std::unordered_set<HANDLE> handedObjects; // GDI objects the device handed it: stock, and taken out of DCs
    bool dead = false;
    bool shown = false;    // the host took the window it made: it may wait for the user
    bool leaving = false;  // the host let go of it: it unloads when its calls under way return
    int callsUnderWay = 0; // its code is on the stack while this is above 0
    ChangeWatch* changes = nullptr; // told first of its changes of files and keys, when set
    // The module as its calls under way hold it, so that it stays loaded.
    std::weak_ptr<GuestModule> self;
    bool Holds(GuestPtr address) const { return address >= base && address - base < size; }
};

// An address as a module's stop line names it.
std::wstring Hex(std::uint32_t value);

class ArmMachine
{
public:
    struct Returner
    {
        void operator()(ArmMachine* machine) const;
    };
    using Lease = std::unique_ptr<ArmMachine, Returner>;

    // A machine for module, one kept from an earlier module or a new one;
    // null with the reason when none can be made.
    static Lease Acquire(GuestModule& module, std::wstring& error);

    // Maps host memory at its own address for the module (page-aligned).
    bool Map(GuestPtr address, std::uint32_t size, bool writable, bool executable);
    void Unmap(GuestPtr address, std::uint32_t size);
    // Maps the module's image, its ranges at base. Its read-only code stays
    // mapped when the module goes, with what was translated of it: the next
    // module laid out at the same place with the same code runs it without
    // translating it again (a module's start-up is mostly translation).
    bool MapImage(GuestPtr base, const std::vector<ImageRange>& ranges);
    // Whether the last MapImage found the image's code translated.
    bool ReusedCode() const { return reusedCode_; }

    // The address of the gateway of an import (an index of Imports()).
    GuestPtr Gateway(std::size_t import) const;

    // Runs the guest function at address with up to twelve arguments; its
    // result (r0), or 0 when the module is dead or dies in it. A call may
    // take budgetMs with everything it calls, but for the modal loops it
    // runs (dialogs) and the calls the host makes back into it, which have
    // budgets of their own.
    static constexpr unsigned kRunawayMilliseconds = 3000;
    // The windows, DCs, GDI objects, icons and keys a module may hold at
    // once: far more than an item draws with, far less than the process's
    // share of the window manager and GDI that the host needs too.
    static constexpr long kMaxOwnedHandles = 1024;
    static constexpr std::size_t kMaxArguments = 12;
    std::uint32_t Call(GuestPtr address, const std::uint32_t* arguments, std::size_t count,
        unsigned budgetMs = kRunawayMilliseconds);
    std::uint32_t Call(GuestPtr address, std::initializer_list<std::uint32_t> arguments,
        unsigned budgetMs = kRunawayMilliseconds)
    {
        return Call(address, arguments.begin(), arguments.size(), budgetMs);
    }
    // The module's time left in the innermost call under way.
    unsigned RemainingMilliseconds() const;
    // Ends the module for having run too long in the call under way.
    void Runaway();

    // Stops the module with one line: the address its code was at, and why.
    void Fault(GuestPtr pc, const std::wstring& cause);
    // The address of the guest's call of the gateway under way.
    GuestPtr CallSite() const;

    // Memory for records handed to the guest during a call; what a Scratch
    // takes goes back when it goes.
    class Scratch
    {
    public:
        explicit Scratch(ArmMachine& machine) : machine_(machine), mark_(machine.scratchUsed_) {}
        ~Scratch() { machine_.scratchUsed_ = mark_; }
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;
        // size bytes, zeroed, 8-byte aligned; null when the scratch is full.
        void* Take(std::uint32_t size);

    private:
        ArmMachine& machine_;
        std::uint32_t mark_;
    };

    // Where faults are told, one line each; and who hears of a module that
    // stopped (its dialogs are ended).
    static void SetReporter(std::function<void(const std::wstring&)> reporter);
    static void SetStopListener(std::function<void(GuestModule&)> listener);

    ~ArmMachine();
    ArmMachine(const ArmMachine&) = delete;
    ArmMachine& operator=(const ArmMachine&) = delete;

private:
    struct Level;
    struct Watchdog;
    friend class GuestCall;
    friend void GatewayHook(uc_struct*, std::uint64_t, std::uint32_t, void*);
    friend bool InvalidMemoryHook(uc_struct*, int, std::uint64_t, int, std::int64_t, void*);
    friend void InterruptHook(uc_struct*, std::uint32_t, void*);

    ArmMachine();
    bool Start(std::wstring& error);
    // Ready for another module: its memory unmapped but for its read-only
    // code, kept for the next module, its stack and scratch cleared.
    void Reset();
    // The code kept from the last module forgotten: unmapped, its
    // translations dropped.
    void DropKeptCode();
    void OnGateway(std::uint64_t address);
    std::wstring Cause(int error) const;
    void Pause(Level& level, std::int64_t now);
    void Resume(Level& level, std::int64_t now);
    void Arm(const Level* level);
    // The steps of a call: a level of its own (below the call under way, if
    // any), its arguments in r0 to r3 and on the stack with the gateways'
    // start to return to, the guest run until it returns, stops or runs out
    // of time (a Unicorn error, or 0), and the call under way back.
    bool Enter(GuestPtr address, Level* outer, Level& level, std::int64_t now, std::uint32_t& sp);
    bool PassArguments(const std::uint32_t* arguments, std::size_t count, std::uint32_t sp);
    int RunUntilReturn(GuestPtr address, const Level& level);
    void Leave(Level* outer, Level& level);

    uc_struct* uc_ = nullptr;
    GuestModule* module_ = nullptr;
    char* memory_ = nullptr;        // guard, stack, scratch and gateways, in one reservation
    GuestPtr stack_ = 0;            // the stack's lowest address, above its guard
    GuestPtr scratch_ = 0;
    GuestPtr gateways_ = 0;
    std::uint32_t scratchUsed_ = 0;
    std::unique_ptr<Level[]> levels_;
    int depth_ = 0;
    std::wstring lastFault_;        // what the hooks saw of the last fault
    bool hasBx_ = true;             // the processor, chosen at the start
    const wchar_t* processorName_ = L"";
    std::atomic<std::int64_t> deadline_; // the running call's, in the host's milliseconds
    std::unique_ptr<Watchdog> watchdog_;
    // The last module's read-only code: where it lies and its bytes, as they
    // were when it was translated. Its host memory may have gone with that
    // module; no guest runs until the next image is mapped, which either is
    // laid out at the same place with the same bytes or drops it.
    struct KeptCode
    {
        GuestPtr base = 0;
        std::vector<ImageRange> ranges;
        std::vector<char> bytes;
    };
    KeptCode kept_;
    bool reusedCode_ = false;
};

} // namespace armce
