#include "ArmMachine.h"

#include <devicefailures.h>
#include <devicememory.h>

#include <unicorn/unicorn.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace armce {

namespace {

// A device thread's stack, and the room below 2 GB for data handed to the
// guest during its calls.
constexpr std::uint32_t kStackSize = 64 * 1024;
constexpr std::uint32_t kScratchSize = 256 * 1024;
constexpr std::uint32_t kGatewaySize = 64 * 1024;
constexpr std::uint32_t kBxLr = 0xE12FFF1E;
// Below an interrupted call's stack pointer, room it may still use.
constexpr std::uint32_t kNestedGap = 64;
constexpr std::size_t kMaxNesting = 48;

std::weak_ptr<ArmMachine> g_machine;
std::mutex g_machineMutex;

std::uint32_t Read(uc_engine* uc, int reg)
{
    std::uint32_t value = 0;
    uc_reg_read(uc, reg, &value);
    return value;
}

void Write(uc_engine* uc, int reg, std::uint32_t value)
{
    uc_reg_write(uc, reg, &value);
}

std::uint32_t Coprocessor15(uc_engine* uc, std::uint32_t crn, std::uint32_t crm, std::uint32_t opc1, std::uint32_t opc2)
{
    uc_arm_cp_reg reg = {15, 0, 0, crn, crm, opc1, opc2, 0};
    uc_reg_read(uc, UC_ARM_REG_CP_REG, &reg);
    return static_cast<std::uint32_t>(reg.val);
}

std::wstring Hex(std::uint32_t value)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08X", value);
    return text;
}

} // namespace

// Stops a guest that runs on too long without calling out.
struct ArmMachine::Watchdog
{
    explicit Watchdog(uc_engine* uc) : uc(uc), thread([this] { Watch(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        changed.notify_all();
        thread.join();
    }

    void Guest(bool running)
    {
        std::lock_guard<std::mutex> lock(mutex);
        guest = running;
        ++epoch;
        changed.notify_all();
    }

    bool Fired()
    {
        std::lock_guard<std::mutex> lock(mutex);
        const bool was = fired;
        fired = false;
        return was;
    }

    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!quit) {
            if (!guest) {
                changed.wait(lock);
                continue;
            }
            const std::uint64_t since = epoch;
            if (!changed.wait_for(lock, std::chrono::milliseconds(kRunawayMilliseconds),
                    [&] { return quit || epoch != since; })) {
                fired = true;
                guest = false;
                uc_emu_stop(uc);
            }
        }
    }

    uc_engine* uc;
    std::mutex mutex;
    std::condition_variable changed;
    bool guest = false;
    bool fired = false;
    bool quit = false;
    std::uint64_t epoch = 0;
    std::thread thread;
};

void GatewayHook(uc_engine*, std::uint64_t address, std::uint32_t, void* machine)
{
    static_cast<ArmMachine*>(machine)->OnGateway(address);
}

bool InvalidMemoryHook(uc_engine*, int type, std::uint64_t address, int, std::int64_t, void* data)
{
    auto* machine = static_cast<ArmMachine*>(data);
    const wchar_t* kind = L"an access to unmapped memory";
    switch (type) {
    case UC_MEM_READ_UNMAPPED:
        kind = L"a read of unmapped memory";
        break;
    case UC_MEM_WRITE_UNMAPPED:
        kind = L"a write to unmapped memory";
        break;
    case UC_MEM_FETCH_UNMAPPED:
        kind = L"a jump to unmapped memory";
        break;
    default:
        break;
    }
    machine->lastFault_ = std::wstring(kind) + L" at " + Hex(static_cast<std::uint32_t>(address));
    return false;
}

void AccessHook(uc_engine* uc, int, std::uint64_t address, int size, std::int64_t, void* data)
{
    // Halfwords on even addresses, words and doublewords on multiples of four.
    const std::uint64_t alignment = size >= 4 ? 4 : static_cast<std::uint64_t>(size);
    if (alignment > 1 && address % alignment != 0) {
        auto* machine = static_cast<ArmMachine*>(data);
        machine->lastFault_ = L"a misaligned access at " + Hex(static_cast<std::uint32_t>(address));
        machine->misaligned_ = true;
        uc_emu_stop(uc);
    }
}

void InterruptHook(uc_engine* uc, std::uint32_t number, void* data)
{
    auto* machine = static_cast<ArmMachine*>(data);
    switch (number) {
    case 1:
        machine->lastFault_ = L"an undefined instruction";
        break;
    case 4: {
        // The data abort's status and address, as the processor keeps them.
        const std::uint32_t status = Coprocessor15(uc, 5, 0, 0, 0) & 0x40F;
        const std::uint32_t address = Coprocessor15(uc, 6, 0, 0, 0);
        machine->lastFault_ = (status == 1 || status == 3 ? L"a misaligned access at " : L"a data abort at ") +
                              Hex(address);
        break;
    }
    case 3:
        machine->lastFault_ = L"a prefetch abort";
        break;
    case 2:
        machine->lastFault_ = L"a system call";
        break;
    case 7:
        machine->lastFault_ = L"a breakpoint";
        break;
    default:
        machine->lastFault_ = L"processor exception " + std::to_wstring(number);
        break;
    }
    uc_emu_stop(uc);
}

std::uint32_t GuestCall::Arg(int n) const
{
    if (n < 4)
        return Read(machine_.uc_, UC_ARM_REG_R0 + n);
    std::uint32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(sp_ + 4 * (n - 4))), 4);
    return value;
}

std::shared_ptr<ArmMachine> ArmMachine::Get(std::wstring& error)
{
    std::lock_guard<std::mutex> lock(g_machineMutex);
    if (std::shared_ptr<ArmMachine> machine = g_machine.lock())
        return machine;
    std::shared_ptr<ArmMachine> machine(new ArmMachine);
    if (!machine->Start(error))
        return nullptr;
    g_machine = machine;
    return machine;
}

bool ArmMachine::Start(std::wstring& error)
{
    uc_err failed = uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_);
    if (failed != UC_ERR_OK) {
        error = L"the ARM processor cannot be made: " + Cause(failed);
        return false;
    }
    // Room for translated code, set before the processor is: by default it
    // would take a gigabyte below 4 GB.
    uc_ctl_set_tcg_buffer_size(uc_, 32 * 1024 * 1024);
    uc_ctl_set_cpu_model(uc_, UC_CPU_ARM_PXA270);

    void* stack = DeviceAllocateLow(kStackSize);
    void* scratch = DeviceAllocateLow(kScratchSize);
    void* gateways = DeviceAllocateLow(kGatewaySize);
    LPVOID heap = nullptr;
    SIZE_T heapSize = 0;
    DeviceHeapRange(&heap, &heapSize);
    if (!stack || !scratch || !gateways || !heap) {
        error = L"no room below 2 GB for the ARM processor's memory";
        return false;
    }
    stack_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(stack));
    stackSize_ = kStackSize;
    scratch_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(scratch));
    gateways_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(gateways));
    auto* code = static_cast<std::uint32_t*>(gateways);
    for (std::uint32_t i = 0; i < kGatewaySize / 4; ++i)
        code[i] = kBxLr;
    handlers_.emplace_back(); // the first stands for the return to the host
    if (!Map(stack, kStackSize) || !Map(scratch, kScratchSize) || !Map(gateways, kGatewaySize) ||
        !Map(heap, static_cast<std::uint32_t>(heapSize))) {
        error = L"the ARM processor's memory cannot be mapped";
        return false;
    }
    // Alignment checking on, as Windows CE runs its processors. The
    // emulator keeps the control register's bit but leaves aligned accesses
    // to the M profile; every access is checked here instead.
    uc_arm_cp_reg control = {15, 0, 0, 1, 0, 0, 0, 0};
    uc_reg_read(uc_, UC_ARM_REG_CP_REG, &control);
    control.val |= 2;
    uc_reg_write(uc_, UC_ARM_REG_CP_REG, &control);

    uc_hook hook;
    uc_hook_add(uc_, &hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(AccessHook), this, 1, 0);
    uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(GatewayHook), this, gateways_,
        gateways_ + kGatewaySize - 1);
    uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(InvalidMemoryHook), this, 1, 0);
    uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(InterruptHook), this, 1, 0);
    watchdog_ = std::make_unique<Watchdog>(uc_);
    return true;
}

ArmMachine::~ArmMachine()
{
    watchdog_.reset();
    if (uc_)
        uc_close(uc_);
    DeviceFreeLow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(stack_)));
    DeviceFreeLow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(scratch_)));
    DeviceFreeLow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(gateways_)));
}

bool ArmMachine::Map(void* memory, std::uint32_t size)
{
    const std::uint32_t page = 4096;
    const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(memory));
    return address % page == 0 &&
           uc_mem_map_ptr(uc_, address, (size + page - 1) / page * page, UC_PROT_ALL, memory) == UC_ERR_OK;
}

void ArmMachine::Unmap(void* memory, std::uint32_t size)
{
    const std::uint32_t page = 4096;
    uc_mem_unmap(uc_, reinterpret_cast<std::uintptr_t>(memory), (size + page - 1) / page * page);
}

std::uint32_t ArmMachine::Gateway(GatewayHandler handler)
{
    if (handlers_.size() >= kGatewaySize / 4)
        return 0;
    handlers_.push_back(std::move(handler));
    return gateways_ + 4 * static_cast<std::uint32_t>(handlers_.size() - 1);
}

void ArmMachine::OnGateway(std::uint64_t address)
{
    const std::size_t index = static_cast<std::size_t>((address - gateways_) / 4);
    if (index == 0 || index >= handlers_.size())
        return; // the return to the host
    watchdog_->Guest(false);
    GuestCall call(*this, Read(uc_, UC_ARM_REG_SP));
    // The device's functions it calls are the emulated module's calls.
    DeviceGuestCall(TRUE);
    const std::uint32_t result = handlers_[index](call);
    DeviceGuestCall(FALSE);
    Write(uc_, UC_ARM_REG_R0, result);
    // A module that died in a call the handler made ends this call too.
    if (!running_.empty() && running_.back()->dead) {
        uc_emu_stop(uc_);
        return;
    }
    Write(uc_, UC_ARM_REG_PC, Read(uc_, UC_ARM_REG_LR));
    watchdog_->Guest(true);
}

std::uint32_t ArmMachine::Call(GuestModule& module, std::uint32_t address, const std::vector<std::uint32_t>& arguments)
{
    if (module.dead)
        return 0;
    if (running_.size() >= kMaxNesting) {
        Fault(module, address, L"calls nested deeper than " + std::to_wstring(kMaxNesting));
        return 0;
    }
    // A call made while another is under way runs below its stack pointer,
    // with the interrupted call's registers kept.
    uc_context* interrupted = nullptr;
    std::uint32_t sp = stack_ + stackSize_;
    if (!running_.empty()) {
        uc_context_alloc(uc_, &interrupted);
        uc_context_save(uc_, interrupted);
        sp = Read(uc_, UC_ARM_REG_SP) - kNestedGap;
    }
    const std::size_t onStack = arguments.size() > 4 ? arguments.size() - 4 : 0;
    sp = (sp - 4 * static_cast<std::uint32_t>(onStack)) & ~7u;
    if (sp < stack_ + 1024) {
        if (interrupted)
            uc_context_free(interrupted);
        Fault(module, address, L"its stack is used up");
        return 0;
    }
    for (std::size_t i = 0; i < onStack; ++i)
        std::memcpy(reinterpret_cast<void*>(static_cast<std::uintptr_t>(sp + 4 * i)), &arguments[4 + i], 4);
    for (std::size_t i = 0; i < 4; ++i)
        Write(uc_, UC_ARM_REG_R0 + static_cast<int>(i), i < arguments.size() ? arguments[i] : 0);
    Write(uc_, UC_ARM_REG_SP, sp);
    Write(uc_, UC_ARM_REG_LR, gateways_);

    running_.push_back(&module);
    lastFault_.clear();
    watchdog_->Guest(true);
    const uc_err failed = uc_emu_start(uc_, address, gateways_, 0, 0);
    watchdog_->Guest(false);
    running_.pop_back();
    const bool runaway = watchdog_->Fired();
    const bool misaligned = std::exchange(misaligned_, false);
    const std::uint32_t pc = Read(uc_, UC_ARM_REG_PC);
    const std::uint32_t result = Read(uc_, UC_ARM_REG_R0);
    const std::wstring fault = lastFault_;
    if (interrupted) {
        uc_context_restore(uc_, interrupted);
        uc_context_free(interrupted);
    }
    if (module.dead)
        return 0;
    if (runaway)
        Fault(module, pc, L"it ran for " + std::to_wstring(kRunawayMilliseconds / 1000) +
                              L" seconds without calling out");
    else if (misaligned || failed != UC_ERR_OK || pc != gateways_)
        Fault(module, pc, !fault.empty() ? fault : Cause(failed));
    return module.dead ? 0 : result;
}

void ArmMachine::Fault(GuestModule& module, std::uint32_t address, const std::wstring& cause)
{
    module.dead = true;
    if (reporter_)
        reporter_(L"the ARM module " + module.name + L" stopped at " + Hex(address) + L": " + cause);
}

std::wstring ArmMachine::Cause(int error) const
{
    // The emulator reports an instruction it cannot decode without raising
    // the processor's exception; a device would take it as undefined.
    if (error == UC_ERR_INSN_INVALID)
        return L"an undefined instruction";
    const char* text = uc_strerror(static_cast<uc_err>(error));
    return std::wstring(text, text + std::strlen(text));
}

void* ArmMachine::Scratch::Take(std::uint32_t size)
{
    const std::uint32_t at = (machine_.scratchUsed_ + 7) & ~7u;
    if (at > kScratchSize || size > kScratchSize - at)
        return nullptr;
    machine_.scratchUsed_ = at + size;
    void* memory = reinterpret_cast<void*>(static_cast<std::uintptr_t>(machine_.scratch_ + at));
    std::memset(memory, 0, size);
    return memory;
}

} // namespace armce
