// What the host is told before a module changes the device's files or
// registry, when the module's changes belong to a larger change: the
// installer, around a setup library, notes how to undo each one (or
// refuses it), so that a failed installation undoes what its setup library
// did too.
#pragma once

#include <windows.h>

#include <string>

namespace armce {

class ChangeWatch
{
public:
    virtual ~ChangeWatch() = default;
    // The device file name is about to be made, emptied or deleted; false,
    // with why in refusal, when it may not be.
    virtual bool FileChanging(const std::wstring& name, std::wstring& refusal) = 0;
    // The key path under the device's root is about to be made, removed, or
    // have its values changed; false, with why in refusal, when it may not be.
    virtual bool KeyChanging(HKEY root, const std::wstring& path, std::wstring& refusal) = 0;
};

} // namespace armce
