// A Windows CE module for ARM, read from its file and laid out in memory
// below 2 GB as a device's loader lays it out: its sections at their places,
// at its preferred base or, where that is taken, elsewhere with its
// relocations applied. Its imports and exports are read for the loader.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace armce {

constexpr WORD kMachineArm = 0x01C0;

struct ImportSlot
{
    std::string library;  // as named, such as "COREDLL.dll"
    std::string name;     // empty for an import by ordinal
    WORD ordinal = 0;
    std::uint32_t slot = 0; // the address of its entry in the import table
};

class ArmImage
{
public:
    // Loads the module; null with the reason when it is not an ARM module
    // that can be laid out.
    static std::unique_ptr<ArmImage> Load(const std::wstring& path, std::wstring& error);
    ~ArmImage();
    ArmImage(const ArmImage&) = delete;
    ArmImage& operator=(const ArmImage&) = delete;

    std::uint32_t Base() const { return base_; }
    std::uint32_t Size() const { return size_; }
    std::uint32_t EntryPoint() const { return entry_; }
    const std::vector<ImportSlot>& Imports() const { return imports_; }
    // The address of the export with this ordinal, or this name; 0 when
    // there is none.
    std::uint32_t Export(WORD ordinal) const;
    std::uint32_t Export(const std::string& name) const;
    // Whether an address lies in the image.
    bool Holds(std::uint32_t address) const { return address >= base_ && address - base_ < size_; }

private:
    ArmImage() = default;

    std::uint32_t base_ = 0;
    std::uint32_t size_ = 0;
    std::uint32_t entry_ = 0;
    void* memory_ = nullptr;
    // The file, which no one may change or remove while it is loaded.
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::vector<ImportSlot> imports_;
    std::uint32_t exportBase_ = 0;
    std::vector<std::uint32_t> exports_; // by ordinal from exportBase_
    std::vector<std::pair<std::string, WORD>> exportNames_; // name, ordinal
};

// The machine a module file is built for; 0 when it is no module.
WORD ModuleMachine(const std::wstring& path);

} // namespace armce
