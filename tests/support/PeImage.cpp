#include "PeImage.h"

#include <cctype>
#include <cwctype>
#include <fstream>
#include <iterator>

namespace peimage {

namespace {

template <typename T>
const T* As(const BYTE* p)
{
    return reinterpret_cast<const T*>(p);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

PeImage PeImage::FromFile(const std::wstring& path)
{
    PeImage image;
    std::ifstream file(path.c_str(), std::ios::binary);
    image.bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    const size_t size = image.bytes_.size();
    if (size < sizeof(IMAGE_DOS_HEADER))
        return image;
    const auto* dos = As<IMAGE_DOS_HEADER>(image.bytes_.data());
    const DWORD nt = static_cast<DWORD>(dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt + sizeof(IMAGE_NT_HEADERS32) > size ||
        As<IMAGE_NT_HEADERS32>(image.bytes_.data() + nt)->Signature != IMAGE_NT_SIGNATURE)
        return image;
    image.nt_ = nt;
    return image;
}

PeImage PeImage::FromModule(HMODULE module)
{
    PeImage image;
    image.base_ = reinterpret_cast<const BYTE*>(module);
    image.mapped_ = true;
    image.nt_ = static_cast<DWORD>(As<IMAGE_DOS_HEADER>(image.base_)->e_lfanew);
    return image;
}

bool PeImage::Is64() const
{
    const BYTE* headers = mapped_ ? base_ : bytes_.data();
    return As<IMAGE_NT_HEADERS32>(headers + nt_)->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
}

WORD PeImage::Machine() const
{
    const BYTE* headers = mapped_ ? base_ : bytes_.data();
    return As<IMAGE_NT_HEADERS32>(headers + nt_)->FileHeader.Machine;
}

WORD PeImage::Subsystem() const
{
    const BYTE* headers = mapped_ ? base_ : bytes_.data();
    if (Is64())
        return As<IMAGE_NT_HEADERS64>(headers + nt_)->OptionalHeader.Subsystem;
    return As<IMAGE_NT_HEADERS32>(headers + nt_)->OptionalHeader.Subsystem;
}

const IMAGE_DATA_DIRECTORY* PeImage::Directory(int index) const
{
    const BYTE* headers = mapped_ ? base_ : bytes_.data();
    const IMAGE_DATA_DIRECTORY* directory =
        Is64() ? &As<IMAGE_NT_HEADERS64>(headers + nt_)->OptionalHeader.DataDirectory[index]
               : &As<IMAGE_NT_HEADERS32>(headers + nt_)->OptionalHeader.DataDirectory[index];
    return directory->VirtualAddress ? directory : nullptr;
}

// In a file, an address of the loaded image lies in the section that covers it.
const BYTE* PeImage::At(DWORD rva) const
{
    if (mapped_)
        return base_ + rva;
    const auto* nt = As<IMAGE_NT_HEADERS32>(bytes_.data() + nt_);
    const auto* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const DWORD size = section->SizeOfRawData;
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size &&
            section->PointerToRawData + size <= bytes_.size())
            return bytes_.data() + section->PointerToRawData + (rva - section->VirtualAddress);
    }
    return nullptr;
}

std::string PeImage::ExportName() const
{
    const IMAGE_DATA_DIRECTORY* directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!directory)
        return "";
    const char* name = As<char>(At(As<IMAGE_EXPORT_DIRECTORY>(At(directory->VirtualAddress))->Name));
    return name ? name : "";
}

std::vector<Export> PeImage::Exports() const
{
    std::vector<Export> exports;
    const IMAGE_DATA_DIRECTORY* directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!directory)
        return exports;
    const auto* table = As<IMAGE_EXPORT_DIRECTORY>(At(directory->VirtualAddress));
    const auto* functions = As<DWORD>(At(table->AddressOfFunctions));
    for (DWORD i = 0; i < table->NumberOfFunctions; ++i)
        if (functions[i])
            exports.push_back({table->Base + i, ""});
    const auto* names = As<DWORD>(At(table->AddressOfNames));
    const auto* ordinals = As<WORD>(At(table->AddressOfNameOrdinals));
    for (DWORD i = 0; i < table->NumberOfNames; ++i)
        for (Export& e : exports)
            if (e.ordinal == table->Base + ordinals[i])
                e.name = As<char>(At(names[i]));
    return exports;
}

std::vector<Import> PeImage::Imports() const
{
    std::vector<Import> imports;
    const IMAGE_DATA_DIRECTORY* directory = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (!directory)
        return imports;
    const size_t thunkSize = Is64() ? sizeof(ULONGLONG) : sizeof(DWORD);
    for (const auto* d = As<IMAGE_IMPORT_DESCRIPTOR>(At(directory->VirtualAddress)); d && d->Name; ++d) {
        const std::string library = Lower(As<char>(At(d->Name)));
        const DWORD lookup = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        for (DWORD i = 0;; ++i) {
            const BYTE* thunk = At(lookup + static_cast<DWORD>(i * thunkSize));
            if (!thunk)
                break;
            const ULONGLONG entry = Is64() ? *As<ULONGLONG>(thunk) : *As<DWORD>(thunk);
            if (!entry)
                break;
            Import import;
            import.library = library;
            import.slotRva = d->FirstThunk + static_cast<DWORD>(i * thunkSize);
            const bool byOrdinal = Is64() ? IMAGE_SNAP_BY_ORDINAL64(entry) : IMAGE_SNAP_BY_ORDINAL32(entry);
            if (byOrdinal)
                import.ordinal = static_cast<WORD>(entry & 0xFFFF);
            else
                import.name = As<IMAGE_IMPORT_BY_NAME>(At(static_cast<DWORD>(entry)))->Name;
            imports.push_back(import);
        }
    }
    return imports;
}

namespace {

// The entry of a resource directory level that matches an id or a name.
const IMAGE_RESOURCE_DIRECTORY_ENTRY* Find(const BYTE* root, const IMAGE_RESOURCE_DIRECTORY* level, LPCWSTR key)
{
    const auto* entries = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(level + 1);
    const int count = level->NumberOfNamedEntries + level->NumberOfIdEntries;
    for (int i = 0; i < count; ++i) {
        const IMAGE_RESOURCE_DIRECTORY_ENTRY& e = entries[i];
        if (IS_INTRESOURCE(key)) {
            if (!e.NameIsString && e.Id == reinterpret_cast<ULONG_PTR>(key))
                return &e;
            continue;
        }
        if (!e.NameIsString)
            continue;
        const auto* name = As<IMAGE_RESOURCE_DIR_STRING_U>(root + e.NameOffset);
        std::wstring text(name->NameString, name->Length);
        std::wstring wanted(key);
        for (wchar_t& c : wanted)
            c = static_cast<wchar_t>(std::towupper(c));
        if (text == wanted)
            return &e;
    }
    return nullptr;
}

} // namespace

std::vector<BYTE> PeImage::Resource(LPCWSTR type, LPCWSTR name) const
{
    const IMAGE_DATA_DIRECTORY* directory = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (!directory)
        return {};
    const BYTE* root = At(directory->VirtualAddress);
    const auto* byType = Find(root, As<IMAGE_RESOURCE_DIRECTORY>(root), type);
    if (!byType || !byType->DataIsDirectory)
        return {};
    const auto* byName = Find(root, As<IMAGE_RESOURCE_DIRECTORY>(root + byType->OffsetToDirectory), name);
    if (!byName || !byName->DataIsDirectory)
        return {};
    const auto* languages = As<IMAGE_RESOURCE_DIRECTORY>(root + byName->OffsetToDirectory);
    if (languages->NumberOfNamedEntries + languages->NumberOfIdEntries == 0)
        return {};
    const auto* language = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(languages + 1);
    const auto* data = As<IMAGE_RESOURCE_DATA_ENTRY>(root + language->OffsetToData);
    const BYTE* bytes = At(data->OffsetToData);
    if (!bytes)
        return {};
    return std::vector<BYTE>(bytes, bytes + data->Size);
}

} // namespace peimage
