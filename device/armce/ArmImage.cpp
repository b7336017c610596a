#include "ArmImage.h"

#include <devicememory.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace armce {

namespace {

std::vector<char> ReadFile(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return file ? std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())
                : std::vector<char>();
}

template <typename T>
bool At(const std::vector<char>& file, std::size_t offset, T& value)
{
    if (offset > file.size() || file.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, file.data() + offset, sizeof(T));
    return true;
}

const IMAGE_NT_HEADERS32* Headers(const std::vector<char>& file)
{
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (!At(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !At(file, dos.e_lfanew, nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return nullptr;
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos.e_lfanew);
}

} // namespace

WORD ModuleMachine(const std::wstring& path)
{
    const std::vector<char> file = ReadFile(path);
    IMAGE_DOS_HEADER dos;
    IMAGE_FILE_HEADER header;
    DWORD signature = 0;
    if (!At(file, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !At(file, dos.e_lfanew, signature) ||
        signature != IMAGE_NT_SIGNATURE || !At(file, dos.e_lfanew + sizeof signature, header))
        return 0;
    return header.Machine;
}

std::unique_ptr<ArmImage> ArmImage::Load(const std::wstring& path, std::wstring& error)
{
    const std::vector<char> file = ReadFile(path);
    const IMAGE_NT_HEADERS32* nt = Headers(file);
    if (!nt || nt->FileHeader.Machine != kMachineArm) {
        error = L"not a module for ARM";
        return nullptr;
    }
    const IMAGE_OPTIONAL_HEADER32& optional = nt->OptionalHeader;
    std::unique_ptr<ArmImage> image(new ArmImage);
    // Held as a device's loader holds a module's file: read, never written.
    image->file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    image->size_ = optional.SizeOfImage;
    // At its preferred base, or wherever there is room below 2 GB.
    image->memory_ = DeviceAllocateLowAt(reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(optional.ImageBase)),
        optional.SizeOfImage);
    if (!image->memory_)
        image->memory_ = DeviceAllocateLow(optional.SizeOfImage);
    if (!image->memory_) {
        error = L"no room below 2 GB for its " + std::to_wstring(optional.SizeOfImage) + L" bytes";
        return nullptr;
    }
    char* memory = static_cast<char*>(image->memory_);
    image->base_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(memory));

    // Headers and sections, each at its place.
    if (optional.SizeOfHeaders > file.size() || optional.SizeOfHeaders > optional.SizeOfImage) {
        error = L"its headers are cut short";
        return nullptr;
    }
    std::memcpy(memory, file.data(), optional.SizeOfHeaders);
    const auto* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const DWORD raw = std::min(section->SizeOfRawData, section->Misc.VirtualSize ? section->Misc.VirtualSize
                                                                                      : section->SizeOfRawData);
        if (section->PointerToRawData > file.size() || raw > file.size() - section->PointerToRawData ||
            section->VirtualAddress > optional.SizeOfImage || raw > optional.SizeOfImage - section->VirtualAddress) {
            error = L"its section " + std::to_wstring(i) + L" lies outside the file or the image";
            return nullptr;
        }
        std::memcpy(memory + section->VirtualAddress, file.data() + section->PointerToRawData, raw);
    }

    auto directory = [&](int index) { return optional.DataDirectory[index]; };
    auto inImage = [&](DWORD rva, DWORD size) { return rva <= image->size_ && size <= image->size_ - rva; };

    // Relocations, when the image does not stand at its preferred base.
    const std::int64_t delta = static_cast<std::int64_t>(image->base_) - optional.ImageBase;
    const IMAGE_DATA_DIRECTORY relocations = directory(IMAGE_DIRECTORY_ENTRY_BASERELOC);
    if (delta != 0) {
        if (nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED || !inImage(relocations.VirtualAddress,
                                                                             relocations.Size)) {
            error = L"its base is taken and it cannot be relocated";
            return nullptr;
        }
        for (DWORD at = 0; at + sizeof(IMAGE_BASE_RELOCATION) <= relocations.Size;) {
            IMAGE_BASE_RELOCATION block;
            std::memcpy(&block, memory + relocations.VirtualAddress + at, sizeof block);
            if (block.SizeOfBlock < sizeof block || block.SizeOfBlock > relocations.Size - at)
                break;
            const auto* entries = reinterpret_cast<const WORD*>(memory + relocations.VirtualAddress + at + sizeof block);
            for (DWORD n = 0; n < (block.SizeOfBlock - sizeof block) / sizeof(WORD); ++n) {
                const WORD type = entries[n] >> 12, offset = entries[n] & 0xFFF;
                if (type == IMAGE_REL_BASED_ABSOLUTE)
                    continue;
                if (type != IMAGE_REL_BASED_HIGHLOW || !inImage(block.VirtualAddress + offset, 4)) {
                    error = L"a relocation of type " + std::to_wstring(type) + L" it cannot apply";
                    return nullptr;
                }
                std::uint32_t value;
                std::memcpy(&value, memory + block.VirtualAddress + offset, 4);
                value = static_cast<std::uint32_t>(value + delta);
                std::memcpy(memory + block.VirtualAddress + offset, &value, 4);
            }
            at += block.SizeOfBlock;
        }
    }
    image->entry_ = optional.AddressOfEntryPoint ? image->base_ + optional.AddressOfEntryPoint : 0;

    // Imports: each library's names, and the table entries the loader fills.
    const IMAGE_DATA_DIRECTORY imports = directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (imports.Size && inImage(imports.VirtualAddress, imports.Size)) {
        for (DWORD at = imports.VirtualAddress; at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image->size_;
             at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            IMAGE_IMPORT_DESCRIPTOR descriptor;
            std::memcpy(&descriptor, memory + at, sizeof descriptor);
            if (!descriptor.Name)
                break;
            if (!inImage(descriptor.Name, 1) || !inImage(descriptor.FirstThunk, 4)) {
                error = L"its import table lies outside the image";
                return nullptr;
            }
            const std::string library(memory + descriptor.Name,
                strnlen(memory + descriptor.Name, image->size_ - descriptor.Name));
            const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
            for (DWORD n = 0; inImage(names + 4 * n, 4) && inImage(descriptor.FirstThunk + 4 * n, 4); ++n) {
                std::uint32_t entry;
                std::memcpy(&entry, memory + names + 4 * n, 4);
                if (!entry)
                    break;
                ImportSlot slot;
                slot.library = library;
                slot.slot = image->base_ + descriptor.FirstThunk + 4 * n;
                if (entry & IMAGE_ORDINAL_FLAG32) {
                    slot.ordinal = static_cast<WORD>(entry & 0xFFFF);
                } else if (inImage(entry + 2, 1)) {
                    slot.name.assign(memory + entry + 2, strnlen(memory + entry + 2, image->size_ - entry - 2));
                } else {
                    error = L"an import of " + std::wstring(library.begin(), library.end()) + L" names nothing";
                    return nullptr;
                }
                image->imports_.push_back(slot);
            }
        }
    }

    // Exports, by ordinal.
    const IMAGE_DATA_DIRECTORY exports = directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (exports.Size && inImage(exports.VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY))) {
        IMAGE_EXPORT_DIRECTORY table;
        std::memcpy(&table, memory + exports.VirtualAddress, sizeof table);
        if (inImage(table.AddressOfFunctions, table.NumberOfFunctions * 4)) {
            image->exportBase_ = table.Base;
            for (DWORD n = 0; n < table.NumberOfFunctions; ++n) {
                std::uint32_t rva;
                std::memcpy(&rva, memory + table.AddressOfFunctions + 4 * n, 4);
                image->exports_.push_back(rva && inImage(rva, 4) ? image->base_ + rva : 0);
            }
        }
        if (inImage(table.AddressOfNames, table.NumberOfNames * 4) &&
            inImage(table.AddressOfNameOrdinals, table.NumberOfNames * 2)) {
            for (DWORD n = 0; n < table.NumberOfNames; ++n) {
                std::uint32_t name;
                WORD index;
                std::memcpy(&name, memory + table.AddressOfNames + 4 * n, 4);
                std::memcpy(&index, memory + table.AddressOfNameOrdinals + 2 * n, 2);
                if (inImage(name, 1))
                    image->exportNames_.emplace_back(std::string(memory + name, strnlen(memory + name,
                                                                                  image->size_ - name)),
                        static_cast<WORD>(table.Base + index));
            }
        }
    }
    return image;
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
