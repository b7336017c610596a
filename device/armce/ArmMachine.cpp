#include "ArmMachine.h"

#include "GuestCall.h"
#include "Imports.h"

#include <deviceaccounting.h>
#include <devicememory.h>
#include <deviceplatform.h>

#include <unicorn/unicorn.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace armce {

namespace {

// Below the stack an unmapped guard, so that a stack that overflows faults
// at once; a device thread's stack; the room for data handed to the guest
// during its calls; and the gateways, one word each.
constexpr std::uint32_t kPage = 4096;
constexpr std::uint32_t kGuardSize = kPage;
constexpr std::uint32_t kStackSize = 64 * 1024;
constexpr std::uint32_t kScratchSize = 256 * 1024;
constexpr std::uint32_t kGatewaySize = kPage;
constexpr std::uint32_t kReservation = kGuardSize + kStackSize + kScratchSize + kGatewaySize;
// A gateway is two words: a no-op, then the return to the caller, before
// which the gateway's hook runs. A stop after the hook leaves the processor
// at the second word; a stop before it, at the first: so a call that stopped
// for another reason goes on without running its import twice.
constexpr std::uint32_t kNop = 0xE1A00000; // mov r0, r0
constexpr std::uint32_t kBxLr = 0xE12FFF1E;
// The return of a processor without BX (ARMv4), whose callers are all ARM.
constexpr std::uint32_t kMovPcLr = 0xE1A0F00E;
// BX Rm under any condition: cccc 0001 0010 1111 1111 1111 0001 mmmm.
constexpr std::uint32_t kBxMask = 0x0FFFFFF0;
constexpr std::uint32_t kBx = 0x012FFF10;
constexpr wchar_t kUndefinedInstruction[] = L"an undefined instruction";
constexpr std::uint32_t kGatewayBytes = 8;
constexpr std::uint32_t kHookOffset = 4;
// Below an interrupted call's stack pointer, room it may still use.
constexpr std::uint32_t kNestedGap = 64;
constexpr int kMaxNesting = 48;
// User mode, ARM state; the XScale's control register with alignment checking.
constexpr std::uint32_t kUserMode = 0x10;
constexpr std::uint32_t kThumbBit = 0x20;
constexpr std::uint64_t kAlignmentCheck = 2;
// How often the watchdog looks.
constexpr DWORD kWatchMilliseconds = 50;
constexpr std::int64_t kNever = INT64_MAX;

// The processor of the device's platform, as the emulator models it.
struct Processor
{
    uc_cpu_arm model;
    bool hasBx; // ARMv4T and later
    const wchar_t* name;
};

Processor ProcessorOf(DWORD platformProcessor)
{
    switch (platformProcessor) {
    case DEVICE_PROCESSOR_SA1110:
        return {UC_CPU_ARM_SA1110, false, L"the StrongARM SA-1110"};
    case DEVICE_PROCESSOR_TI925T:
        return {UC_CPU_ARM_TI925T, true, L"the ARM925T"};
    default:
        return {UC_CPU_ARM_PXA270, true, L"the XScale PXA270"};
    }
}

Processor PlatformProcessor()
{
    DEVICE_PLATFORM platform = {};
    DeviceGetPlatform(&platform);
    return ProcessorOf(platform.dwProcessor);
}

std::function<void(const std::wstring&)>& Reporter()
{
    static std::function<void(const std::wstring&)> reporter;
    return reporter;
}

std::function<void(GuestModule&)>& StopListener()
{
    static std::function<void(GuestModule&)> listener;
    return listener;
}

std::int64_t Now()
{
    return static_cast<std::int64_t>(GetTickCount64());
}

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

// The machines whose modules have gone, kept for the next.
std::mutex g_poolMutex;
std::vector<ArmMachine*>& Pool()
{
    static auto* pool = new std::vector<ArmMachine*>;
    return *pool;
}

} // namespace

// One call under way on the machine.
struct ArmMachine::Level
{
    uc_context* saved = nullptr; // the interrupted call's registers, kept for the machine's life
    std::int64_t deadline = kNever;
    std::int64_t remaining = 0;
    std::uint32_t budget = 0;
    int pauses = 0;
    std::uint64_t crossings = 0;
    bool returned = false;
};

// Stops a guest whose call runs past its deadline. It only reads the
// deadline and asks the processor to stop; the call itself decides whether
// the stop was meant for it (ArmMachine::Call), and a stop that came too
// early or went astray is asked for again at the next look.
struct ArmMachine::Watchdog
{
    explicit Watchdog(ArmMachine& machine) : machine(machine), thread([this] { Watch(); }) {}
    ~Watchdog()
    {
        quit = true;
        thread.join();
    }

    void Watch()
    {
        while (!quit) {
            Sleep(kWatchMilliseconds);
            if (Now() > machine.deadline_.load(std::memory_order_relaxed))
                uc_emu_stop(machine.uc_);
        }
    }

    ArmMachine& machine;
    std::atomic<bool> quit{false};
    std::thread thread;
};

void GatewayHook(uc_engine*, std::uint64_t address, std::uint32_t, void* machine)
{
    static_cast<ArmMachine*>(machine)->OnGateway(address);
}

bool InvalidMemoryHook(uc_engine*, int type, std::uint64_t address, int, std::int64_t, void* data)
{
    auto* machine = static_cast<ArmMachine*>(data);
    const wchar_t* kind = L"an access to memory it may not touch";
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
    case UC_MEM_WRITE_PROT:
        kind = L"a write to read-only memory";
        break;
    case UC_MEM_FETCH_PROT:
        kind = L"a jump to memory that holds no code";
        break;
    default:
        break;
    }
    const auto at = static_cast<std::uint32_t>(address);
    // The stack's guard, or below it.
    if (at < machine->stack_ && machine->stack_ - at <= kGuardSize)
        machine->lastFault_ = L"its stack is used up (an access at " + Hex(at) + L")";
    else
        machine->lastFault_ = std::wstring(kind) + L" at " + Hex(at);
    return false;
}

void InterruptHook(uc_engine* uc, std::uint32_t number, void* data)
{
    auto* machine = static_cast<ArmMachine*>(data);
    switch (number) {
    case 1:
        machine->lastFault_ = kUndefinedInstruction;
        break;
    case 4: {
        // The data abort's status and address, as the processor records them.
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

std::wstring Hex(std::uint32_t value)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08X", value);
    return text;
}

void ArmMachine::Returner::operator()(ArmMachine* machine) const
{
    machine->Reset();
    std::lock_guard<std::mutex> lock(g_poolMutex);
    Pool().push_back(machine);
}

ArmMachine::Lease ArmMachine::Acquire(GuestModule& module, std::wstring& error)
{
    ArmMachine* machine = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_poolMutex);
        if (!Pool().empty()) {
            machine = Pool().back();
            Pool().pop_back();
        }
    }
    if (!machine) {
        machine = new ArmMachine;
        if (!machine->Start(error)) {
            delete machine;
            return nullptr;
        }
    }
    machine->module_ = &module;
    module.machine = machine;
    machine->module_->memory.Add(machine->stack_, kStackSize, true);
    machine->module_->memory.Add(machine->scratch_, kScratchSize, true);
    return Lease(machine);
}

ArmMachine::ArmMachine() : levels_(new Level[kMaxNesting])
{
    deadline_ = kNever;
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
    uc_ctl_set_tcg_buffer_size(uc_, 16 * 1024 * 1024);
    const Processor processor = PlatformProcessor();
    uc_ctl_set_cpu_model(uc_, processor.model);
    hasBx_ = processor.hasBx;
    processorName_ = processor.name;

    memory_ = static_cast<char*>(DeviceAllocateLow(kReservation));
    if (!memory_) {
        error = L"no room below 2 GB for the ARM processor's memory";
        return false;
    }
    const auto base = static_cast<GuestPtr>(reinterpret_cast<std::uintptr_t>(memory_));
    stack_ = base + kGuardSize;
    scratch_ = stack_ + kStackSize;
    gateways_ = scratch_ + kScratchSize;
    auto* code = GuestMemory::At<std::uint32_t>(gateways_);
    for (std::uint32_t i = 0; i < kGatewaySize / 4; i += 2) {
        code[i] = kNop;
        code[i + 1] = hasBx_ ? kBxLr : kMovPcLr;
    }
    // The guard below the stack stays unmapped.
    if (uc_mem_map_ptr(uc_, stack_, kStackSize + kScratchSize, UC_PROT_READ | UC_PROT_WRITE, memory_ + kGuardSize) !=
            UC_ERR_OK ||
        uc_mem_map_ptr(uc_, gateways_, kGatewaySize, UC_PROT_READ | UC_PROT_EXEC,
            memory_ + kGuardSize + kStackSize + kScratchSize) != UC_ERR_OK) {
        error = L"the ARM processor's memory cannot be mapped";
        return false;
    }
    // Alignment checking, as Windows CE runs its processors: set before
    // anything is translated, and never changed (the guest runs in user
    // mode, where it cannot reach the control register).
    uc_arm_cp_reg control = {15, 0, 0, 1, 0, 0, 0, 0};
    uc_reg_read(uc_, UC_ARM_REG_CP_REG, &control);
    control.val |= kAlignmentCheck;
    uc_reg_write(uc_, UC_ARM_REG_CP_REG, &control);
    Write(uc_, UC_ARM_REG_CPSR, kUserMode);

    uc_hook hook;
    uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(GatewayHook), this, gateways_,
        gateways_ + kGatewaySize - 1);
    uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(InvalidMemoryHook), this, 1, 0);
    uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(InterruptHook), this, 1, 0);
    watchdog_ = std::make_unique<Watchdog>(*this);
    return true;
}

ArmMachine::~ArmMachine()
{
    watchdog_.reset();
    for (int i = 0; i < kMaxNesting; ++i)
        if (levels_[i].saved)
            uc_context_free(levels_[i].saved);
    if (uc_)
        uc_close(uc_);
    DeviceFreeLow(memory_);
}

void ArmMachine::Reset()
{
    const auto kept = [&](GuestPtr begin) {
        return std::any_of(kept_.ranges.begin(), kept_.ranges.end(),
            [&](const ImageRange& range) { return begin == kept_.base + range.rva; });
    };
    uc_mem_region* regions = nullptr;
    std::uint32_t count = 0;
    if (uc_mem_regions(uc_, &regions, &count) == UC_ERR_OK) {
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto begin = static_cast<GuestPtr>(regions[i].begin);
            if ((begin < stack_ || begin >= gateways_ + kGatewaySize) && !kept(begin))
                uc_mem_unmap(uc_, regions[i].begin, regions[i].end - regions[i].begin + 1);
        }
        uc_free(regions);
    }
    if (kept_.ranges.empty())
        uc_ctl_flush_tb(uc_);
    std::memset(memory_ + kGuardSize, 0, kStackSize + kScratchSize);
    Write(uc_, UC_ARM_REG_CPSR, kUserMode);
    lastFault_.clear();
    scratchUsed_ = 0;
    depth_ = 0;
    module_ = nullptr;
    deadline_ = kNever;
}

bool ArmMachine::Map(GuestPtr address, std::uint32_t size, bool writable, bool executable)
{
    if (address % kPage || !size)
        return false;
    const std::uint32_t length = (size + kPage - 1) / kPage * kPage;
    const std::uint32_t permissions = UC_PROT_READ | (writable ? UC_PROT_WRITE : 0) | (executable ? UC_PROT_EXEC : 0);
    if (uc_mem_map_ptr(uc_, address, length, permissions, GuestMemory::At<void>(address)) != UC_ERR_OK)
        return false;
    module_->memory.Add(address, length, writable);
    return true;
}

bool ArmMachine::MapImage(GuestPtr base, const std::vector<ImageRange>& ranges)
{
    // Code that may change as it runs is translated afresh each time.
    const bool writableCode = std::any_of(ranges.begin(), ranges.end(),
        [](const ImageRange& range) { return range.writable && range.executable; });
    KeptCode code;
    if (!writableCode) {
        code.base = base;
        for (const ImageRange& range : ranges) {
            if (!range.executable)
                continue;
            code.ranges.push_back(range);
            const auto* bytes = GuestMemory::At<const char>(base + range.rva);
            code.bytes.insert(code.bytes.end(), bytes, bytes + range.size);
        }
    }
    reusedCode_ = !code.ranges.empty() && code.base == kept_.base && code.ranges == kept_.ranges &&
                  code.bytes == kept_.bytes;
    if (!reusedCode_)
        DropKeptCode();
    for (const ImageRange& range : ranges) {
        if (reusedCode_ && range.executable)
            module_->memory.Add(base + range.rva, range.size, false);
        else if (!Map(base + range.rva, range.size, range.writable, range.executable))
            return false;
    }
    kept_ = std::move(code);
    return true;
}

void ArmMachine::DropKeptCode()
{
    for (const ImageRange& range : kept_.ranges)
        uc_mem_unmap(uc_, kept_.base + range.rva, range.size);
    if (!kept_.ranges.empty())
        uc_ctl_flush_tb(uc_);
    kept_ = KeptCode();
}

void ArmMachine::Unmap(GuestPtr address, std::uint32_t size)
{
    const std::uint32_t length = (size + kPage - 1) / kPage * kPage;
    uc_mem_unmap(uc_, address, length);
    module_->memory.Remove(address, length);
}

GuestPtr ArmMachine::Gateway(std::size_t import) const
{
    // The first stands for the return to the host.
    return import + 1 < kGatewaySize / kGatewayBytes ? gateways_ + kGatewayBytes * static_cast<GuestPtr>(import + 1)
                                                     : 0;
}

void ArmMachine::Pause(Level& level, std::int64_t now)
{
    if (level.pauses++ == 0)
        level.remaining = level.deadline - now;
    deadline_ = kNever;
}

void ArmMachine::Resume(Level& level, std::int64_t now)
{
    if (--level.pauses == 0)
        level.deadline = now + level.remaining;
    Arm(&level);
}

void ArmMachine::Arm(const Level* level)
{
    deadline_ = level && level->pauses == 0 ? level->deadline : kNever;
}

unsigned ArmMachine::RemainingMilliseconds() const
{
    if (depth_ == 0)
        return 0;
    const Level& level = levels_[depth_ - 1];
    const std::int64_t left = level.pauses ? level.remaining : level.deadline - Now();
    return left > 0 ? static_cast<unsigned>(left) : 0;
}

void ArmMachine::Runaway()
{
    if (depth_ == 0 || module_->dead)
        return;
    const Level& level = levels_[depth_ - 1];
    const std::wstring seconds = std::to_wstring(level.budget / 1000) + L" seconds";
    Fault(Read(uc_, UC_ARM_REG_PC), level.crossings ? L"it ran for " + seconds + L" without returning"
                                                   : L"it ran for " + seconds + L" without calling out");
    uc_emu_stop(uc_);
}

GuestPtr ArmMachine::CallSite() const
{
    const std::uint32_t lr = Read(uc_, UC_ARM_REG_LR);
    return (lr & 1) ? (lr & ~1u) - 2 : lr - 4;
}

void ArmMachine::OnGateway(std::uint64_t address)
{
    const std::uint64_t offset = address - gateways_;
    if (offset % kGatewayBytes != kHookOffset || depth_ == 0)
        return;
    const std::size_t index = static_cast<std::size_t>(offset / kGatewayBytes);
    Level& level = levels_[depth_ - 1];
    if (index == 0) {
        level.returned = true;
        uc_emu_stop(uc_);
        return;
    }
    GuestModule& module = *module_;
    if (index > ImportCount()) {
        Fault(static_cast<GuestPtr>(address), L"a jump into the device's gateways");
        uc_emu_stop(uc_);
        return;
    }
    ++level.crossings;
    const std::int64_t now = Now();
    if (now > level.deadline) {
        Runaway();
        return;
    }
    const Import& import = Imports()[index - 1];
    // A dialog holds the host until the user answers it: not while the host
    // loads the module (it has no window to show yet), nor once it let go.
    if (import.blocking && (!module.shown || module.leaving)) {
        Fault(CallSite(), std::wstring(L"a call of ") + GuestCall::Wide(import.name) + L" that waits for the user " +
                              (module.leaving ? L"after the host let go of it" : L"before the host has its window"));
        uc_emu_stop(uc_);
        return;
    }
    GuestCall call(*this, module, import);
    // What the device's functions make meanwhile is the module's.
    const DWORD previous = DeviceGuestCall(module.id);
    if (import.blocking)
        Pause(level, now);
    const std::uint32_t result = import.thunk(call, HostFunction(index - 1));
    if (import.blocking)
        Resume(level, Now());
    DeviceGuestCall(previous);
    if (call.Violated())
        Fault(CallSite(), call.ViolationText());
    else if (DeviceOwnedResources(module.id) > kMaxOwnedHandles)
        Fault(CallSite(), L"more than " + std::to_wstring(kMaxOwnedHandles) + L" handles of its own alive");
    // A module that died in this call, or in a call the handler made into it,
    // ends this call too.
    if (module.dead) {
        uc_emu_stop(uc_);
        return;
    }
    Write(uc_, UC_ARM_REG_R0, result);
}

std::uint32_t ArmMachine::Call(GuestPtr address, const std::uint32_t* arguments, std::size_t count, unsigned budgetMs)
{
    GuestModule& module = *module_;
    if (module.dead || count > kMaxArguments)
        return 0;
    if (depth_ >= kMaxNesting) {
        Fault(address, L"calls nested deeper than " + std::to_wstring(kMaxNesting));
        return 0;
    }
    const std::int64_t start = Now();
    Level* outer = depth_ ? &levels_[depth_ - 1] : nullptr;
    Level& level = levels_[depth_];
    std::uint32_t sp = 0;
    if (!Enter(address, outer, level, start, sp))
        return 0;
    if (!PassArguments(arguments, count, sp)) {
        Leave(outer, level);
        Fault(address, L"its stack is used up");
        return 0;
    }

    ++depth_;
    ++module.callsUnderWay;
    level.returned = false;
    level.crossings = 0;
    level.pauses = 0;
    level.budget = budgetMs;
    level.deadline = start + budgetMs;
    lastFault_.clear();
    Arm(&level);
    const int failed = RunUntilReturn(address, level);
    --depth_;
    --module.callsUnderWay;
    const std::uint32_t stoppedAt = Read(uc_, UC_ARM_REG_PC);
    const std::uint32_t result = Read(uc_, UC_ARM_REG_R0);
    const std::wstring fault = std::exchange(lastFault_, std::wstring());
    Leave(outer, level);
    if (module.dead)
        return 0;
    if (!level.returned)
        Fault(stoppedAt, !fault.empty() ? fault : Cause(failed));
    return module.dead ? 0 : result;
}

bool ArmMachine::Enter(GuestPtr address, Level* outer, Level& level, std::int64_t now, std::uint32_t& sp)
{
    sp = stack_ + kStackSize;
    if (!outer)
        return true;
    // A call made while another is under way runs below its stack pointer,
    // with the interrupted call's registers kept.
    if (!level.saved && uc_context_alloc(uc_, &level.saved) != UC_ERR_OK) {
        Fault(address, L"no room to keep the calls under way");
        return false;
    }
    uc_context_save(uc_, level.saved);
    sp = Read(uc_, UC_ARM_REG_SP) - kNestedGap;
    // Its time stands still while this call runs.
    Pause(*outer, now);
    return true;
}

bool ArmMachine::PassArguments(const std::uint32_t* arguments, std::size_t count, std::uint32_t sp)
{
    const std::uint32_t onStack = count > 4 ? static_cast<std::uint32_t>(count - 4) : 0;
    sp = (sp - 4 * onStack) & ~7u;
    if (sp < stack_ + 1024 || sp > stack_ + kStackSize)
        return false;
    std::uint32_t registers[4] = {};
    std::memcpy(registers, arguments, std::min<std::size_t>(count, 4) * 4);
    if (onStack)
        std::memcpy(GuestMemory::At<void>(sp), arguments + 4, 4 * onStack);
    const std::uint32_t lr = gateways_;
    int ids[] = {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3, UC_ARM_REG_SP, UC_ARM_REG_LR};
    const void* values[] = {&registers[0], &registers[1], &registers[2], &registers[3], &sp, &lr};
    uc_reg_write_batch(uc_, ids, const_cast<void* const*>(values), 6);
    return true;
}

int ArmMachine::RunUntilReturn(GuestPtr address, const Level& level)
{
    const GuestModule& module = *module_;
    std::uint32_t pc = address;
    for (;;) {
        const uc_err failed = uc_emu_start(uc_, pc, 0, 0, 0);
        if (level.returned || module.dead || failed != UC_ERR_OK || !lastFault_.empty())
            return failed;
        pc = Read(uc_, UC_ARM_REG_PC);
        if (pc == 0) {
            lastFault_ = L"a jump to 0x00000000 (from about " + Hex(Read(uc_, UC_ARM_REG_LR)) + L")";
            return UC_ERR_OK;
        }
        if (Now() > level.deadline) {
            Runaway();
            return UC_ERR_OK;
        }
        // A stop meant for another moment: it goes on where it stood, or
        // past a gateway whose import has run.
        if (pc >= gateways_ && pc - gateways_ < kGatewaySize && (pc - gateways_) % kGatewayBytes == kHookOffset)
            pc = Read(uc_, UC_ARM_REG_LR);
        else if (Read(uc_, UC_ARM_REG_CPSR) & kThumbBit)
            pc |= 1;
    }
}

void ArmMachine::Leave(Level* outer, Level& level)
{
    if (outer) {
        uc_context_restore(uc_, level.saved);
        Resume(*outer, Now());
    } else {
        Arm(nullptr);
    }
}

void ArmMachine::Fault(GuestPtr pc, const std::wstring& cause)
{
    GuestModule& module = *module_;
    if (module.dead)
        return;
    module.dead = true;
    std::wstring line = L"the ARM module " + module.name + L" stopped at " + Hex(pc) + L": " + cause;
    // A BX where the processor has none is the likeliest undefined
    // instruction of a module built for a later processor: say so.
    if (cause == kUndefinedInstruction && !hasBx_ && module.memory.Holds(pc, 4, Access::kRead) &&
        (*GuestMemory::At<std::uint32_t>(pc) & kBxMask) == kBx)
        line += L", a BX, which " + std::wstring(processorName_) + L" has not";
    if (Reporter())
        Reporter()(line);
    else
        std::fwprintf(stderr, L"%ls\n", line.c_str());
    if (StopListener())
        StopListener()(module);
}

std::wstring ArmMachine::Cause(int error) const
{
    // The emulator reports an instruction it cannot decode without raising
    // the processor's exception; a device would take it as undefined.
    if (error == UC_ERR_INSN_INVALID)
        return kUndefinedInstruction;
    const char* text = uc_strerror(static_cast<uc_err>(error));
    return std::wstring(text, text + std::strlen(text));
}

void ArmMachine::SetReporter(std::function<void(const std::wstring&)> reporter)
{
    Reporter() = std::move(reporter);
}

void ArmMachine::SetStopListener(std::function<void(GuestModule&)> listener)
{
    StopListener() = std::move(listener);
}

void* ArmMachine::Scratch::Take(std::uint32_t size)
{
    const std::uint32_t at = (machine_.scratchUsed_ + 7) & ~7u;
    if (at > kScratchSize || size > kScratchSize - at)
        return nullptr;
    machine_.scratchUsed_ = at + size;
    void* memory = GuestMemory::At<void>(machine_.scratch_ + at);
    std::memset(memory, 0, size);
    return memory;
}

} // namespace armce
