// The emulated ARM processor that runs Windows CE modules inside a device
// program: an XScale (ARMv5TE, as the PXA270 of Windows Mobile devices) with
// alignment checking on, so that a misaligned access faults as on a device.
// Guest addresses are host addresses: what the guest may touch is mapped at
// its own address, all of it below 2 GB. The host calls guest functions, and
// the guest calls the host through gateways: addresses that stand for host
// handlers. Calls nest as deep as the platform calls back (a window procedure
// run while the guest's own call of CreateWindowExW is under way). A fault,
// an undefined instruction or a guest that runs on too long ends its module:
// the machine says so in one line, and every call of that module from then
// on answers 0 at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct uc_struct;

namespace armce {

class ArmMachine;

// A guest's module as the machine knows it: its name and address range,
// and whether it still runs.
struct GuestModule
{
    std::wstring name;
    std::uint32_t base = 0;
    std::uint32_t size = 0;
    bool dead = false;
};

// The guest's call of a gateway, as its handler sees it.
class GuestCall
{
public:
    GuestCall(ArmMachine& machine, std::uint32_t sp) : machine_(machine), sp_(sp) {}
    // Argument n: r0 to r3, then the stack.
    std::uint32_t Arg(int n) const;
    ArmMachine& Machine() const { return machine_; }

private:
    ArmMachine& machine_;
    std::uint32_t sp_;
};

using GatewayHandler = std::function<std::uint32_t(GuestCall&)>;

class ArmMachine
{
public:
    // The process's machine, made with the first module that needs one.
    static std::shared_ptr<ArmMachine> Get(std::wstring& error);
    ~ArmMachine();
    ArmMachine(const ArmMachine&) = delete;
    ArmMachine& operator=(const ArmMachine&) = delete;

    // Host memory the guest may touch, at its own address.
    bool Map(void* memory, std::uint32_t size);
    void Unmap(void* memory, std::uint32_t size);

    // The address of a new gateway to handler.
    std::uint32_t Gateway(GatewayHandler handler);

    // The module whose code runs now, the innermost of the calls under way;
    // null while none is.
    GuestModule* Current() const { return running_.empty() ? nullptr : running_.back(); }

    // Runs the guest function at address with up to twelve arguments, for
    // module; its result (r0), or 0 when the module is dead or dies in it.
    std::uint32_t Call(GuestModule& module, std::uint32_t address, const std::vector<std::uint32_t>& arguments);

    // Memory below 2 GB for data handed to the guest during a call; what a
    // Scratch takes goes back when it goes.
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

    // Where faults are told; one line each.
    void SetReporter(std::function<void(const std::wstring&)> reporter) { reporter_ = std::move(reporter); }

    // How long a module may run without calling out before it counts as
    // gone astray, in milliseconds.
    static constexpr unsigned kRunawayMilliseconds = 3000;

private:
    ArmMachine() = default;
    bool Start(std::wstring& error);
    void OnGateway(std::uint64_t address);
    void Fault(GuestModule& module, std::uint32_t address, const std::wstring& cause);
    std::wstring Cause(int error) const;

    friend void GatewayHook(uc_struct*, std::uint64_t, std::uint32_t, void*);
    friend bool InvalidMemoryHook(uc_struct*, int, std::uint64_t, int, std::int64_t, void*);
    friend void InterruptHook(uc_struct*, std::uint32_t, void*);
    friend void AccessHook(uc_struct*, int, std::uint64_t, int, std::int64_t, void*);
    friend class GuestCall;

    struct Watchdog;

    uc_struct* uc_ = nullptr;
    std::uint32_t gateways_ = 0;      // the gateway region's address
    std::vector<GatewayHandler> handlers_;
    std::uint32_t stack_ = 0;         // the stack's lowest address
    std::uint32_t stackSize_ = 0;
    std::uint32_t scratch_ = 0;
    std::uint32_t scratchUsed_ = 0;
    int depth_ = 0;
    std::vector<GuestModule*> running_; // the modules of the calls under way, innermost last
    std::unique_ptr<Watchdog> watchdog_;
    std::wstring lastFault_;          // what the hooks saw of the last fault
    bool misaligned_ = false;
    std::function<void(const std::wstring&)> reporter_;
};

} // namespace armce
