#include "ArmImage.h"

#include <devicememory.h>
#include <deviceplatform.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace armce {

namespace {

constexpr std::uint32_t kPage = 4096;
// A module's image at most: far more than a device's DLLs take.
constexpr std::uint32_t kMaxImage = 16 << 20;
constexpr std::uint32_t kMaxImports = 4096;
constexpr std::uint32_t kMaxExports = 65536;
constexpr std::uint64_t kMaxResourceEntries = 1 << 20;

std::vector<char> ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return file ? std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())
                : std::vector<char>();
}

template <typename T>
bool At(const std::vector<char>& file, std::uint64_t offset, T& value)
{
    if (offset > file.size() || file.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return true;
}

// Whether [rva, rva + size) lies in the image, without overflow.
bool Within(std::uint64_t rva, std::uint64_t size, std::uint32_t imageSize)
{
    return rva <= imageSize && size <= imageSize - rva;
}

// A module whose header asks for a later Windows CE than the device's
// platform is refused, as that platform's loader refuses it.
bool ForThisPlatform(const IMAGE_OPTIONAL_HEADER32& optional, std::wstring& error)
{
    DEVICE_PLATFORM platform = {};
    DeviceGetPlatform(&platform);
    const DWORD major = optional.MajorSubsystemVersion, minor = optional.MinorSubsystemVersion;
    if (major < platform.dwMajorVersion || (major == platform.dwMajorVersion && minor <= platform.dwMinorVersion))
        return true;
    error = L"it asks for Windows CE " + std::to_wstring(major) + L"." + std::to_wstring(minor) +
            L", and this device is " + platform.szTitle + L" (Windows CE " + std::to_wstring(platform.dwMajorVersion) +
            L"." + std::to_wstring(platform.dwMinorVersion) + L")";
    return false;
}

} // namespace

WORD ModuleMachine(const std::wstring& path)
{
    const std::vector<char> file = ReadFile(path);
    IMAGE_DOS_HEADER dos;
    IMAGE_FILE_HEADER header;
    DWORD signature = 0;
    if (!At(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        !At(file, static_cast<std::uint64_t>(dos.e_lfanew), signature) || signature != IMAGE_NT_SIGNATURE ||
        !At(file, static_cast<std::uint64_t>(dos.e_lfanew) + sizeof signature, header))
        return 0;
    return header.Machine;
}

std::unique_ptr<ArmImage> ArmImage::Load(const std::wstring& path, std::wstring& error)
{
    // Held as a device's loader holds a module's file: read, never written.
    const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::unique_ptr<ArmImage> image = FromBytes(ReadFile(path), error);
    if (!image) {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        return nullptr;
    }
    image->file_ = held;
    return image;
}

std::unique_ptr<ArmImage> ArmImage::FromBytes(const std::vector<char>& file, std::wstring& error)
{
    std::unique_ptr<ArmImage> image(new ArmImage);
    if (!image->LayOut(file, error))
        return nullptr;
    const std::int64_t delta = static_cast<std::int64_t>(image->base_) - image->headers_.OptionalHeader.ImageBase;
    if (!image->Relocate(delta, error))
        return nullptr;
    // Its tables as it lies in memory, relocated.
    const PeView view = PeView::OfImage(image->memory_, image->size_);
    if (!view.Valid()) {
        error = L"not a module for ARM";
        return nullptr;
    }
    if (!image->ReadImports(view, error) || !image->ReadExports(view, error) || !image->ReadResources(view, error))
        return nullptr;
    return image;
}

bool ArmImage::LayOut(const std::vector<char>& file, std::wstring& error)
{
    std::uint64_t sectionTable = 0;
    return ReadHeaders(file, sectionTable, error) && Allocate(file, error) &&
           MapSections(file, sectionTable, error) && FindEntryPoint(error);
}

// The headers, held to a 32-bit ARM module's and to the device's platform;
// sectionTable is where the section table starts in the file.
bool ArmImage::ReadHeaders(const std::vector<char>& file, std::uint64_t& sectionTable, std::wstring& error)
{
    IMAGE_DOS_HEADER dos;
    if (!At(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 ||
        !At(file, static_cast<std::uint64_t>(dos.e_lfanew), headers_) || headers_.Signature != IMAGE_NT_SIGNATURE ||
        headers_.FileHeader.Machine != kMachineArm) {
        error = L"not a module for ARM";
        return false;
    }
    const IMAGE_FILE_HEADER& header = headers_.FileHeader;
    const IMAGE_OPTIONAL_HEADER32& optional = headers_.OptionalHeader;
    if (optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
        header.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) ||
        optional.NumberOfRvaAndSizes > IMAGE_NUMBEROF_DIRECTORY_ENTRIES ||
        header.SizeOfOptionalHeader <
            offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + optional.NumberOfRvaAndSizes * sizeof(IMAGE_DATA_DIRECTORY)) {
        error = L"its optional header is not a 32-bit module's";
        return false;
    }
    if (!ForThisPlatform(optional, error))
        return false;
    // Directories the header does not count are empty.
    for (DWORD d = optional.NumberOfRvaAndSizes; d < IMAGE_NUMBEROF_DIRECTORY_ENTRIES; ++d)
        headers_.OptionalHeader.DataDirectory[d] = {};
    size_ = optional.SizeOfImage;
    if (size_ == 0 || size_ > kMaxImage || size_ % kPage || optional.SectionAlignment % kPage ||
        optional.SizeOfHeaders == 0 || optional.SizeOfHeaders > file.size() || optional.SizeOfHeaders > size_) {
        error = L"its image size, section alignment or headers are not a module's";
        return false;
    }
    sectionTable = static_cast<std::uint64_t>(dos.e_lfanew) + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) +
                   header.SizeOfOptionalHeader;
    const std::uint64_t sectionsEnd = sectionTable + std::uint64_t{header.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER);
    if (header.NumberOfSections == 0 || sectionsEnd > optional.SizeOfHeaders) {
        error = L"its section table lies outside its headers";
        return false;
    }
    return true;
}

// The image's memory, at its preferred base or wherever there is room below
// 2 GB, with the headers copied in, read-only.
bool ArmImage::Allocate(const std::vector<char>& file, std::wstring& error)
{
    const IMAGE_OPTIONAL_HEADER32& optional = headers_.OptionalHeader;
    memory_ = DeviceAllocateLowAt(reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(optional.ImageBase)), size_);
    if (!memory_)
        memory_ = DeviceAllocateLow(size_);
    if (!memory_) {
        error = L"no room below 2 GB for its " + std::to_wstring(size_) + L" bytes";
        return false;
    }
    char* memory = static_cast<char*>(memory_);
    base_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(memory));
    std::memcpy(memory, file.data(), optional.SizeOfHeaders);
    ranges_.push_back({0, (optional.SizeOfHeaders + kPage - 1) / kPage * kPage, false, false});
    return true;
}

// The sections, each with its access; the resources read-only.
bool ArmImage::MapSections(const std::vector<char>& file, std::uint64_t sectionTable, std::wstring& error)
{
    const IMAGE_FILE_HEADER& header = headers_.FileHeader;
    const IMAGE_OPTIONAL_HEADER32& optional = headers_.OptionalHeader;
    char* memory = static_cast<char*>(memory_);
    // Each at its place, in order and apart.
    std::uint32_t next = ranges_.back().size;
    const IMAGE_DATA_DIRECTORY resources = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        At(file, sectionTable + i * sizeof section, section);
        const std::uint32_t virtualSize = section.Misc.VirtualSize ? section.Misc.VirtualSize : section.SizeOfRawData;
        // A section of uninitialised data only has nothing in the file, whatever
        // its raw size says (GNU ld gives one).
        const std::uint32_t raw =
            section.PointerToRawData ? std::min<std::uint32_t>(section.SizeOfRawData, virtualSize) : 0;
        const std::uint32_t pages = (virtualSize + kPage - 1) / kPage * kPage;
        if (section.VirtualAddress % kPage || section.VirtualAddress < next || !Within(section.VirtualAddress, pages, size_) ||
            !Within(section.PointerToRawData, raw, static_cast<std::uint32_t>(std::min<std::size_t>(file.size(), UINT32_MAX)))) {
            error = L"its section " + std::to_wstring(i) + L" lies outside the file or the image, or on another";
            return false;
        }
        std::memcpy(memory + section.VirtualAddress, file.data() + section.PointerToRawData, raw);
        next = section.VirtualAddress + pages;
        if (!pages)
            continue;
        // The resources are read-only, whatever the section says: the host
        // reads them as the guest left them.
        const bool holdsResources = resources.Size && resources.VirtualAddress >= section.VirtualAddress &&
                                    resources.VirtualAddress - section.VirtualAddress < pages;
        ranges_.push_back({section.VirtualAddress, pages,
            (section.Characteristics & IMAGE_SCN_MEM_WRITE) != 0 && !holdsResources,
            (section.Characteristics & (IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE)) != 0});
    }
    return true;
}

bool ArmImage::FindEntryPoint(std::wstring& error)
{
    const IMAGE_OPTIONAL_HEADER32& optional = headers_.OptionalHeader;
    if (optional.AddressOfEntryPoint) {
        const auto code = std::find_if(ranges_.begin(), ranges_.end(), [&](const ImageRange& range) {
            return range.executable && optional.AddressOfEntryPoint - range.rva < range.size &&
                   optional.AddressOfEntryPoint >= range.rva;
        });
        if (code == ranges_.end()) {
            error = L"its entry point lies outside its code";
            return false;
        }
        entry_ = base_ + optional.AddressOfEntryPoint;
    }
    return true;
}

bool ArmImage::Relocate(std::int64_t delta, std::wstring& error)
{
    if (delta == 0)
        return true;
    char* memory = static_cast<char*>(memory_);
    const IMAGE_DATA_DIRECTORY relocations = headers_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    if (headers_.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED || !relocations.Size ||
        !Within(relocations.VirtualAddress, relocations.Size, size_)) {
        error = L"its base is taken and it cannot be relocated";
        return false;
    }
    for (DWORD at = 0; at + sizeof(IMAGE_BASE_RELOCATION) <= relocations.Size;) {
        IMAGE_BASE_RELOCATION block;
        std::memcpy(&block, memory + relocations.VirtualAddress + at, sizeof block);
        if (block.SizeOfBlock < sizeof block || block.SizeOfBlock > relocations.Size - at || block.SizeOfBlock % 2) {
            error = L"its relocations lie outside their table";
            return false;
        }
        for (DWORD n = 0; n < (block.SizeOfBlock - sizeof block) / sizeof(WORD); ++n) {
            WORD entry;
            std::memcpy(&entry, memory + relocations.VirtualAddress + at + sizeof block + n * sizeof(WORD), sizeof entry);
            const WORD type = entry >> 12, offset = entry & 0xFFF;
            if (type == IMAGE_REL_BASED_ABSOLUTE)
                continue;
            // The headers are the host's to read as the file gave them.
            const std::uint64_t target = std::uint64_t{block.VirtualAddress} + offset;
            if (type != IMAGE_REL_BASED_HIGHLOW || !Within(target, 4, size_) || target < ranges_.front().size) {
                error = L"a relocation of type " + std::to_wstring(type) + L" it cannot apply";
                return false;
            }
            std::uint32_t value;
            std::memcpy(&value, memory + block.VirtualAddress + offset, 4);
            value = static_cast<std::uint32_t>(value + delta);
            std::memcpy(memory + block.VirtualAddress + offset, &value, 4);
        }
        at += block.SizeOfBlock;
    }
    return true;
}

bool ArmImage::ReadImports(const PeView& view, std::wstring& error)
{
    std::vector<PeImport> imports;
    if (!armce::ReadImports(view, kMaxImports, imports, error))
        return false;
    for (const PeImport& import : imports)
        imports_.push_back({import.library, import.name, import.ordinal, base_ + import.slot});
    return true;
}

bool ArmImage::ReadExports(const PeView& view, std::wstring& error)
{
    PeExports exports;
    if (!armce::ReadExports(view, kMaxExports, exports, error))
        return false;
    exportBase_ = exports.base;
    for (std::size_t n = 0; n < exports.functions.size(); ++n) {
        const std::uint32_t rva = exports.functions[n];
        const bool inCode = std::any_of(ranges_.begin(), ranges_.end(), [&](const ImageRange& range) {
            return range.executable && rva >= range.rva && rva - range.rva < range.size;
        });
        if (rva && !inCode) {
            error = L"its export " + std::to_wstring(exports.base + n) + L" lies outside its code";
            return false;
        }
        exports_.push_back(rva ? base_ + rva : 0);
    }
    exportNames_ = std::move(exports.names);
    return true;
}

bool ArmImage::ReadResources(const PeView& view, std::wstring& error)
{
    std::vector<PeResource> resources;
    if (!armce::ReadResources(view, kMaxResourceEntries, resources, error))
        return false;
    for (const PeResource& resource : resources)
        resources_.push_back(base_ + resource.entry);
    return true;
}

ArmImage::~ArmImage()
{
    DeviceFreeLow(memory_);
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
}

std::uint32_t ArmImage::Export(WORD ordinal) const
{
    if (ordinal < exportBase_ || ordinal - exportBase_ >= exports_.size())
        return 0;
    return exports_[ordinal - exportBase_];
}

std::uint32_t ArmImage::Export(const std::string& name) const
{
    for (const auto& [exportName, ordinal] : exportNames_)
        if (exportName == name)
            return Export(ordinal);
    return 0;
}

} // namespace armce
