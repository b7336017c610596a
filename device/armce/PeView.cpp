#include "PeView.h"

#include <algorithm>
#include <cstddef>

namespace armce {

namespace {

// Type, name and language: a resource directory is three levels deep.
constexpr int kResourceLevels = 3;

// Whether [offset, offset + size) lies in length bytes, without overflow.
bool Within(std::uint64_t offset, std::uint64_t size, std::uint64_t length)
{
    return offset <= length && size <= length - offset;
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

PeView PeView::OfFile(const void* bytes, std::size_t size)
{
    PeView view;
    view.bytes_ = static_cast<const std::uint8_t*>(bytes);
    view.size_ = size;
    view.valid_ = view.ReadHeaders();
    return view;
}

PeView PeView::OfImage(const void* memory, std::uint32_t size)
{
    PeView view;
    view.bytes_ = static_cast<const std::uint8_t*>(memory);
    view.size_ = size;
    view.laidOut_ = true;
    view.valid_ = view.ReadHeaders();
    return view;
}

template <typename Optional>
DWORD PeView::TakeOptional(const std::uint8_t* at, WORD size)
{
    Optional optional = {};
    std::memcpy(&optional, at, std::min<std::size_t>(size, sizeof optional));
    subsystem_ = optional.Subsystem;
    headersSize_ = optional.SizeOfHeaders;
    std::memcpy(directories_, optional.DataDirectory, sizeof directories_);
    return optional.NumberOfRvaAndSizes;
}

bool PeView::ReadHeaders()
{
    IMAGE_DOS_HEADER dos;
    if (!bytes_ || size_ < sizeof dos)
        return false;
    std::memcpy(&dos, bytes_, sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return false;
    const std::uint64_t nt = static_cast<std::uint64_t>(dos.e_lfanew);
    const std::uint64_t optionalAt = nt + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    WORD magic = 0;
    if (!Within(nt, sizeof signature, size_) || !Within(optionalAt, sizeof magic, size_))
        return false;
    std::memcpy(&signature, bytes_ + nt, sizeof signature);
    std::memcpy(&file, bytes_ + nt + sizeof signature, sizeof file);
    std::memcpy(&magic, bytes_ + optionalAt, sizeof magic);
    if (signature != IMAGE_NT_SIGNATURE ||
        (magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC && magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) ||
        !Within(optionalAt, file.SizeOfOptionalHeader, size_))
        return false;
    is64_ = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    machine_ = file.Machine;
    const std::size_t directoriesAt = is64_ ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                            : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    if (file.SizeOfOptionalHeader < directoriesAt)
        return false;
    const DWORD counted = is64_ ? TakeOptional<IMAGE_OPTIONAL_HEADER64>(bytes_ + optionalAt, file.SizeOfOptionalHeader)
                                : TakeOptional<IMAGE_OPTIONAL_HEADER32>(bytes_ + optionalAt, file.SizeOfOptionalHeader);
    // Only the directories the header counts and holds.
    directoryCount_ = std::min<DWORD>({counted, IMAGE_NUMBEROF_DIRECTORY_ENTRIES,
        static_cast<DWORD>((file.SizeOfOptionalHeader - directoriesAt) / sizeof(IMAGE_DATA_DIRECTORY))});
    const std::uint64_t sectionTable = optionalAt + file.SizeOfOptionalHeader;
    if (!Within(sectionTable, std::uint64_t{file.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER), size_))
        return false;
    sections_.resize(file.NumberOfSections);
    if (!sections_.empty())
        std::memcpy(sections_.data(), bytes_ + sectionTable, sections_.size() * sizeof(IMAGE_SECTION_HEADER));
    return true;
}

IMAGE_DATA_DIRECTORY PeView::Directory(int index) const
{
    if (!valid_ || index < 0 || static_cast<DWORD>(index) >= directoryCount_)
        return {};
    return directories_[index];
}

const std::uint8_t* PeView::At(std::uint64_t rva, std::uint64_t size) const
{
    if (!valid_)
        return nullptr;
    if (laidOut_ || Within(rva, size, std::min<std::uint64_t>(headersSize_, size_)))
        return Within(rva, size, size_) ? bytes_ + rva : nullptr;
    // In a file, an address of the image lies in the section whose data
    // covers it.
    for (const IMAGE_SECTION_HEADER& section : sections_) {
        if (rva < section.VirtualAddress || !Within(rva - section.VirtualAddress, size, section.SizeOfRawData))
            continue;
        const std::uint64_t offset = std::uint64_t{section.PointerToRawData} + (rva - section.VirtualAddress);
        return Within(offset, size, size_) ? bytes_ + offset : nullptr;
    }
    return nullptr;
}

bool PeView::Text(std::uint64_t rva, std::string& text) const
{
    // The longest run the bytes hold at rva, found a byte at a time so that
    // a string is never read past the region that holds its start.
    const std::uint8_t* start = At(rva, 1);
    if (!start)
        return false;
    std::uint64_t length = 0;
    for (;;) {
        const std::uint8_t* at = At(rva + length, 1);
        if (!at)
            return false;
        if (!*at)
            break;
        ++length;
    }
    text.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(length));
    return true;
}

bool ReadImports(const PeView& view, std::size_t maxImports, std::vector<PeImport>& imports, std::wstring& error)
{
    const IMAGE_DATA_DIRECTORY directory = view.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!directory.Size)
        return true;
    if (!view.At(directory.VirtualAddress, directory.Size)) {
        error = L"its import table lies outside the image";
        return false;
    }
    const std::uint32_t thunkSize = view.Is64() ? 8 : 4;
    for (std::uint64_t at = directory.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!view.Read(at, descriptor)) {
            error = L"its import table has no end within the image";
            return false;
        }
        if (!descriptor.Name)
            return true;
        std::string library;
        if (!view.Text(descriptor.Name, library)) {
            error = L"an import table's library name lies outside the image";
            return false;
        }
        const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (std::uint64_t n = 0;; ++n) {
            std::uint64_t entry = 0;
            const std::uint8_t* lookup = view.At(names + thunkSize * n, thunkSize);
            if (!lookup || !view.At(descriptor.FirstThunk + thunkSize * n, thunkSize) || imports.size() >= maxImports) {
                error = L"the imports of " + Wide(library) + L" have no end within the image";
                return false;
            }
            std::memcpy(&entry, lookup, thunkSize);
            if (!entry)
                break;
            PeImport import;
            import.library = library;
            import.slot = static_cast<std::uint32_t>(descriptor.FirstThunk + thunkSize * n);
            const bool byOrdinal = view.Is64() ? IMAGE_SNAP_BY_ORDINAL64(entry) : IMAGE_SNAP_BY_ORDINAL32(entry);
            if (byOrdinal)
                import.ordinal = static_cast<WORD>(entry & 0xFFFF);
            else if (!view.Text((entry & 0x7FFFFFFF) + 2, import.name) || import.name.empty()) {
                error = L"an import of " + Wide(library) + L" names nothing";
                return false;
            }
            imports.push_back(import);
        }
    }
}

bool ReadExports(const PeView& view, std::uint32_t maxFunctions, PeExports& exports, std::wstring& error)
{
    const IMAGE_DATA_DIRECTORY directory = view.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!directory.Size)
        return true;
    IMAGE_EXPORT_DIRECTORY table;
    if (!view.Read(directory.VirtualAddress, table) || table.NumberOfFunctions > maxFunctions ||
        table.NumberOfNames > table.NumberOfFunctions ||
        !view.At(table.AddressOfFunctions, std::uint64_t{table.NumberOfFunctions} * 4) ||
        !view.At(table.AddressOfNames, std::uint64_t{table.NumberOfNames} * 4) ||
        !view.At(table.AddressOfNameOrdinals, std::uint64_t{table.NumberOfNames} * 2) ||
        std::uint64_t{table.Base} + table.NumberOfFunctions > 0x10000) {
        error = L"its export table lies outside the image";
        return false;
    }
    view.Text(table.Name, exports.moduleName);
    exports.base = table.Base;
    exports.functions.resize(table.NumberOfFunctions);
    if (table.NumberOfFunctions)
        std::memcpy(exports.functions.data(), view.At(table.AddressOfFunctions, std::uint64_t{table.NumberOfFunctions} * 4),
            std::size_t{table.NumberOfFunctions} * 4);
    for (DWORD n = 0; n < table.NumberOfNames; ++n) {
        std::uint32_t name = 0;
        WORD index = 0;
        view.Read(table.AddressOfNames + 4 * std::uint64_t{n}, name);
        view.Read(table.AddressOfNameOrdinals + 2 * std::uint64_t{n}, index);
        std::string text;
        if (!view.Text(name, text) || index >= table.NumberOfFunctions) {
            error = L"its export names lie outside the image";
            return false;
        }
        exports.names.emplace_back(std::move(text), static_cast<WORD>(table.Base + index));
    }
    return true;
}

bool ReadResources(const PeView& view, std::uint64_t maxEntries, std::vector<PeResource>& resources,
    std::wstring& error)
{
    const IMAGE_DATA_DIRECTORY directory = view.Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (!directory.Size)
        return true;
    const std::uint8_t* root = view.At(directory.VirtualAddress, directory.Size);
    if (!root) {
        error = L"its resources lie outside the image";
        return false;
    }
    const std::uint32_t length = directory.Size;
    // Every offset in the tree is from its start and within it; each level
    // is walked once, three deep at most.
    struct Table
    {
        std::uint32_t offset;
        int level;
        PeResourceKey keys[kResourceLevels - 1];
    };
    std::vector<Table> tables = {{0, 0, {}}};
    std::uint64_t visited = 0;
    while (!tables.empty()) {
        const Table table = tables.back();
        tables.pop_back();
        IMAGE_RESOURCE_DIRECTORY header;
        if (!Within(table.offset, sizeof header, length)) {
            error = L"its resource directory lies outside its resources";
            return false;
        }
        std::memcpy(&header, root + table.offset, sizeof header);
        const std::uint64_t count = std::uint64_t{header.NumberOfNamedEntries} + header.NumberOfIdEntries;
        if (!Within(std::uint64_t{table.offset} + sizeof header, count * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY), length)) {
            error = L"its resource directory's entries lie outside its resources";
            return false;
        }
        visited += count;
        if (visited > maxEntries) {
            error = L"its resource directory has no end";
            return false;
        }
        // Each level's entries in their order: the directories below are
        // walked first to last.
        std::vector<Table> below;
        for (std::uint64_t e = 0; e < count; ++e) {
            IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
            std::memcpy(&entry, root + table.offset + sizeof header + e * sizeof entry, sizeof entry);
            PeResourceKey key;
            if (entry.NameIsString) {
                WORD nameLength = 0;
                if (!Within(entry.NameOffset, sizeof nameLength, length)) {
                    error = L"a resource's name lies outside its resources";
                    return false;
                }
                std::memcpy(&nameLength, root + entry.NameOffset, sizeof nameLength);
                if (!Within(std::uint64_t{entry.NameOffset} + sizeof nameLength, nameLength * 2ull, length)) {
                    error = L"a resource's name lies outside its resources";
                    return false;
                }
                key.named = true;
                key.name.resize(nameLength);
                std::memcpy(key.name.data(), root + entry.NameOffset + sizeof nameLength, nameLength * 2ull);
            } else {
                key.id = entry.Id;
            }
            if (entry.DataIsDirectory != (table.level + 1 < kResourceLevels)) {
                error = L"its resource directory is not three levels deep";
                return false;
            }
            if (entry.DataIsDirectory) {
                Table next = {entry.OffsetToDirectory, table.level + 1, {table.keys[0], table.keys[1]}};
                next.keys[table.level] = key;
                below.push_back(next);
                continue;
            }
            IMAGE_RESOURCE_DATA_ENTRY data;
            if (!Within(entry.OffsetToData, sizeof data, length)) {
                error = L"a resource's entry lies outside its resources";
                return false;
            }
            std::memcpy(&data, root + entry.OffsetToData, sizeof data);
            if (!view.At(data.OffsetToData, data.Size)) {
                error = L"a resource's data lies outside the image";
                return false;
            }
            resources.push_back({table.keys[0], table.keys[1], key, directory.VirtualAddress + entry.OffsetToData,
                data.OffsetToData, data.Size});
        }
        tables.insert(tables.end(), below.rbegin(), below.rend());
    }
    return true;
}

} // namespace armce
