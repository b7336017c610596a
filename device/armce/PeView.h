// A module file's or a laid-out image's tables, read within bounds: every
// header, directory, table, string and resource the bytes give is held to
// the bytes before it is read, and one that lies is refused with what it
// lies about. The ARM loader reads untrusted modules with it; the tests and
// the benchmark read this build's modules with it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace armce {

class PeView
{
public:
    // A file's bytes: an address of the image is found through the section
    // table.
    static PeView OfFile(const void* bytes, std::size_t size);
    // An image laid out in memory, size bytes long: an address is an offset.
    static PeView OfImage(const void* memory, std::uint32_t size);

    // False when the bytes hold no PE image (32- or 64-bit).
    bool Valid() const { return valid_; }
    bool Is64() const { return is64_; }
    WORD Machine() const { return machine_; }
    WORD Subsystem() const { return subsystem_; }
    // A data directory the header counts; empty otherwise.
    IMAGE_DATA_DIRECTORY Directory(int index) const;
    // The size bytes at the image's address rva, all within the bytes; null
    // otherwise.
    const std::uint8_t* At(std::uint64_t rva, std::uint64_t size) const;
    template <typename T>
    bool Read(std::uint64_t rva, T& value) const
    {
        const std::uint8_t* at = At(rva, sizeof(T));
        if (at)
            std::memcpy(&value, at, sizeof(T));
        return at != nullptr;
    }
    // A string at rva that ends within the bytes.
    bool Text(std::uint64_t rva, std::string& text) const;

private:
    bool ReadHeaders();
    // The optional header as far as the file gives it (what it leaves out
    // is 0); the count of directories it says it has.
    template <typename Optional>
    DWORD TakeOptional(const std::uint8_t* at, WORD size);

    const std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    bool laidOut_ = false;
    bool valid_ = false;
    bool is64_ = false;
    WORD machine_ = 0;
    WORD subsystem_ = 0;
    DWORD directoryCount_ = 0;
    IMAGE_DATA_DIRECTORY directories_[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    std::vector<IMAGE_SECTION_HEADER> sections_;
    DWORD headersSize_ = 0;
};

struct PeImport
{
    std::string library;    // as named, such as "COREDLL.dll"
    std::string name;       // empty for an import by ordinal
    WORD ordinal = 0;
    std::uint32_t slot = 0; // the address of its entry in the import table
};
// Every import, at most maxImports; false with the reason when the table lies.
bool ReadImports(const PeView& view, std::size_t maxImports, std::vector<PeImport>& imports, std::wstring& error);

struct PeExports
{
    std::string moduleName;
    std::uint32_t base = 0;
    std::vector<std::uint32_t> functions;              // by ordinal from base; 0 for none
    std::vector<std::pair<std::string, WORD>> names;   // name, ordinal
};
// The export table, at most maxFunctions; false with the reason when it lies.
bool ReadExports(const PeView& view, std::uint32_t maxFunctions, PeExports& exports, std::wstring& error);

// A resource directory's key: an id, or a name.
struct PeResourceKey
{
    bool named = false;
    WORD id = 0;
    std::wstring name;
};
struct PeResource
{
    PeResourceKey type, name, language;
    std::uint32_t entry = 0; // the address of its data entry
    std::uint32_t data = 0;  // the address of its data
    std::uint32_t size = 0;
};
// Every resource, its directory three levels deep, at most maxEntries
// entries in all; false with the reason when the directory lies.
bool ReadResources(const PeView& view, std::uint64_t maxEntries, std::vector<PeResource>& resources,
    std::wstring& error);

} // namespace armce
