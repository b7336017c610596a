// A Windows CE module for ARM, read from its file and laid out in memory
// below 2 GB as a device's loader lays it out: its sections at their places,
// at its preferred base or, where that is taken, elsewhere with its
// relocations applied. Every table and offset the file gives is checked
// against the file and the image before it is used: an image that lies is
// refused with the reason. Its imports, exports and resources are read for
// the loader.
#pragma once

#include "PeView.h"

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

// A part of the image as the processor maps it.
struct ImageRange
{
    std::uint32_t rva;
    std::uint32_t size; // whole pages
    bool writable;
    bool executable;
    bool operator==(const ImageRange&) const = default;
};

class ArmImage
{
public:
    // Loads the module; null with the reason when it is not an ARM module
    // that can be laid out.
    static std::unique_ptr<ArmImage> Load(const std::wstring& path, std::wstring& error);
    // The same from the file's bytes, held by no file.
    static std::unique_ptr<ArmImage> FromBytes(const std::vector<char>& file, std::wstring& error);
    ~ArmImage();
    ArmImage(const ArmImage&) = delete;
    ArmImage& operator=(const ArmImage&) = delete;

    std::uint32_t Base() const { return base_; }
    std::uint32_t Size() const { return size_; }
    std::uint32_t EntryPoint() const { return entry_; }
    const std::vector<ImportSlot>& Imports() const { return imports_; }
    // Its headers and sections, with the access each allows: the headers and
    // the resources read-only, whatever the file says, for the host reads
    // them.
    const std::vector<ImageRange>& Ranges() const { return ranges_; }
    // The addresses of its resources' data entries.
    const std::vector<std::uint32_t>& Resources() const { return resources_; }
    // The address of the export with this ordinal, or this name; 0 when
    // there is none.
    std::uint32_t Export(WORD ordinal) const;
    std::uint32_t Export(const std::string& name) const;

private:
    ArmImage() = default;
    bool LayOut(const std::vector<char>& file, std::wstring& error);
    bool ReadHeaders(const std::vector<char>& file, std::uint64_t& sectionTable, std::wstring& error);
    bool Allocate(const std::vector<char>& file, std::wstring& error);
    bool MapSections(const std::vector<char>& file, std::uint64_t sectionTable, std::wstring& error);
    bool FindEntryPoint(std::wstring& error);
    bool Relocate(std::int64_t delta, std::wstring& error);
    bool ReadImports(const PeView& view, std::wstring& error);
    bool ReadExports(const PeView& view, std::wstring& error);
    bool ReadResources(const PeView& view, std::wstring& error);

    std::uint32_t base_ = 0;
    std::uint32_t size_ = 0;
    std::uint32_t entry_ = 0;
    void* memory_ = nullptr;
    // The file, which no one may change or remove while it is loaded.
    HANDLE file_ = INVALID_HANDLE_VALUE;
    IMAGE_NT_HEADERS32 headers_ = {};
    std::vector<ImageRange> ranges_;
    std::vector<ImportSlot> imports_;
    std::uint32_t exportBase_ = 0;
    std::vector<std::uint32_t> exports_; // by ordinal from exportBase_
    std::vector<std::pair<std::string, WORD>> exportNames_; // name, ordinal
    std::vector<std::uint32_t> resources_;
};

// The machine a module file is built for; 0 when it is no module.
WORD ModuleMachine(const std::wstring& path);

} // namespace armce
