// A handle with one owner, which releases it once, when it goes: registry
// keys, kernel objects, files and searches, each with its own release and
// its own value for none.
#pragma once

#include <windows.h>

#include <utility>

namespace ownedhandle {

inline void CloseKey(HKEY key)
{
    RegCloseKey(key);
}

inline void CloseKernelObject(HANDLE handle)
{
    CloseHandle(handle);
}

inline void CloseSearch(HANDLE handle)
{
    FindClose(handle);
}

} // namespace ownedhandle

// Handle is released with Close; none is null, or INVALID_HANDLE_VALUE
// where the functions that hand one out say so (files, searches).
template <typename Handle, void (*Close)(Handle), bool NoneIsInvalidHandleValue = false>
class OwnedHandle
{
public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != None(); }
    // For a function that hands out a handle: what this held is released
    // first.
    Handle* Receive()
    {
        Reset();
        return &handle_;
    }
    Handle Release() { return std::exchange(handle_, None()); }
    void Reset(Handle handle = None())
    {
        if (handle_ != None())
            Close(handle_);
        handle_ = handle;
    }

private:
    static Handle None()
    {
        if constexpr (NoneIsInvalidHandleValue)
            return INVALID_HANDLE_VALUE;
        else
            return nullptr;
    }

    Handle handle_ = None();
};

using UniqueKey = OwnedHandle<HKEY, ownedhandle::CloseKey>;
// Events, mutexes, processes, threads and jobs.
using UniqueHandle = OwnedHandle<HANDLE, ownedhandle::CloseKernelObject>;
// What CreateFileW opens.
using UniqueFile = OwnedHandle<HANDLE, ownedhandle::CloseKernelObject, true>;
// What FindFirstFileW starts.
using UniqueSearch = OwnedHandle<HANDLE, ownedhandle::CloseSearch, true>;
