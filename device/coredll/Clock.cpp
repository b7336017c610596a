// The device clock. It runs on the host computer's clock from an offset that
// SetLocalTime (and DeviceSetTickCount for the tick count) gives the process;
// the host computer's clock is never changed.
#include <deviceclock.h>

#include <cstdint>
#include <mutex>

namespace {

class DeviceClock
{
public:
    std::int64_t LocalNow()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_ ? heldLocal_ : HostLocalNow() + localOffset_;
    }

    std::uint32_t TickNow()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_ ? heldTick_ : HostTick() + tickOffset_;
    }

    void SetLocal(std::int64_t local)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (held_)
            heldLocal_ = local;
        else
            localOffset_ = local - HostLocalNow();
    }

    void SetTick(std::uint32_t tick)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (held_)
            heldTick_ = tick;
        else
            tickOffset_ = tick - HostTick();
    }

    void Hold(bool hold)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (hold == held_)
            return;
        if (hold) {
            heldLocal_ = HostLocalNow() + localOffset_;
            heldTick_ = HostTick() + tickOffset_;
        } else {
            localOffset_ = heldLocal_ - HostLocalNow();
            tickOffset_ = heldTick_ - HostTick();
        }
        held_ = hold;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        localOffset_ = 0;
        tickOffset_ = 0;
    }

private:
    static std::int64_t HostLocalNow()
    {
        FILETIME utc, local;
        GetSystemTimeAsFileTime(&utc);
        FileTimeToLocalFileTime(&utc, &local);
        return (static_cast<std::int64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    }

    static std::uint32_t HostTick() { return static_cast<std::uint32_t>(GetTickCount64()); }

    std::mutex mutex_;
    bool held_ = false;
    std::int64_t localOffset_ = 0; // 100 ns units
    std::uint32_t tickOffset_ = 0; // wraps with the tick count
    std::int64_t heldLocal_ = 0;
    std::uint32_t heldTick_ = 0;
};

DeviceClock& Clock()
{
    static DeviceClock clock;
    return clock;
}

} // namespace

extern "C" {

void WINAPI CeGetLocalTime(LPSYSTEMTIME time)
{
    const std::int64_t now = Clock().LocalNow();
    FILETIME local;
    local.dwLowDateTime = static_cast<DWORD>(now);
    local.dwHighDateTime = static_cast<DWORD>(now >> 32);
    FileTimeToSystemTime(&local, time);
}

BOOL WINAPI CeSetLocalTime(const SYSTEMTIME* time)
{
    FILETIME local;
    if (!time || !SystemTimeToFileTime(time, &local)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Clock().SetLocal((static_cast<std::int64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime);
    return TRUE;
}

DWORD WINAPI CeGetTickCount()
{
    return Clock().TickNow();
}

void WINAPI DeviceSetTickCount(DWORD ticks)
{
    Clock().SetTick(ticks);
}

void WINAPI DeviceHoldClock(BOOL hold)
{
    Clock().Hold(hold != FALSE);
}

void WINAPI DeviceResetClock()
{
    Clock().Reset();
}

} // extern "C"
