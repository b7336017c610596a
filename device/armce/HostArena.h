// Host memory for copies of what a guest hands an import, taken and given
// back in the order of the calls under way on the thread: no allocation for
// a call, however deeply calls nest.
#pragma once

#include <cstddef>

namespace armce {

class HostArena
{
public:
    // What is taken while a Mark lives goes back with it.
    class Mark
    {
    public:
        Mark();
        ~Mark();
        Mark(const Mark&) = delete;
        Mark& operator=(const Mark&) = delete;

    private:
        std::size_t used_;
    };

    // A copy of length characters and an end; null when the arena is full.
    static const wchar_t* Copy(const wchar_t* text, std::size_t length);
    // size bytes, 8-byte aligned, uncleared; null when the arena is full.
    static void* Take(std::size_t size);
};

} // namespace armce
