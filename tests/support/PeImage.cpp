#include "PeImage.h"

#include <cctype>
#include <cwctype>
#include <fstream>
#include <iterator>

namespace peimage {

namespace {

// What this build's modules hold at the most.
constexpr std::size_t kMaxImports = 4096;
constexpr std::uint32_t kMaxExports = 65536;
constexpr std::uint64_t kMaxResourceEntries = 1 << 20;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A resource directory's key as a resource function takes it: an id, or a
// name in any case (the directory keeps names in upper case).
bool Matches(const armce::PeResourceKey& key, LPCWSTR wanted)
{
    if (IS_INTRESOURCE(wanted))
        return !key.named && key.id == reinterpret_cast<ULONG_PTR>(wanted);
    std::wstring upper(wanted);
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    return key.named && key.name == upper;
}

} // namespace

PeImage PeImage::FromFile(const std::wstring& path)
{
    PeImage image;
    std::ifstream file(path.c_str(), std::ios::binary);
    image.bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    image.view_ = armce::PeView::OfFile(image.bytes_.data(), image.bytes_.size());
    return image;
}

PeImage PeImage::FromModule(HMODULE module)
{
    PeImage image;
    image.module_ = module;
    // A module of this process: its loader has held it to its headers' size.
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    image.view_ = armce::PeView::OfImage(module, nt->OptionalHeader.SizeOfImage);
    return image;
}

PeImage::PeImage(const PeImage& other) : bytes_(other.bytes_), module_(other.module_)
{
    view_ = module_ ? FromModule(module_).view_ : armce::PeView::OfFile(bytes_.data(), bytes_.size());
}

PeImage& PeImage::operator=(const PeImage& other)
{
    if (this != &other) {
        bytes_ = other.bytes_;
        module_ = other.module_;
        view_ = module_ ? FromModule(module_).view_ : armce::PeView::OfFile(bytes_.data(), bytes_.size());
    }
    return *this;
}

std::string PeImage::ExportName() const
{
    armce::PeExports exports;
    std::wstring error;
    return armce::ReadExports(view_, kMaxExports, exports, error) ? exports.moduleName : "";
}

std::vector<Export> PeImage::Exports() const
{
    armce::PeExports table;
    std::wstring error;
    std::vector<Export> exports;
    if (!armce::ReadExports(view_, kMaxExports, table, error))
        return exports;
    for (std::size_t i = 0; i < table.functions.size(); ++i)
        if (table.functions[i])
            exports.push_back({static_cast<DWORD>(table.base + i), ""});
    for (const auto& [name, ordinal] : table.names)
        for (Export& e : exports)
            if (e.ordinal == ordinal)
                e.name = name;
    return exports;
}

std::vector<Import> PeImage::Imports() const
{
    std::vector<armce::PeImport> read;
    std::wstring error;
    armce::ReadImports(view_, kMaxImports, read, error);
    std::vector<Import> imports;
    for (const armce::PeImport& import : read)
        imports.push_back({Lower(import.library), import.name, import.ordinal, import.slot});
    return imports;
}

std::vector<BYTE> PeImage::Resource(LPCWSTR type, LPCWSTR name) const
{
    std::vector<armce::PeResource> resources;
    std::wstring error;
    if (!armce::ReadResources(view_, kMaxResourceEntries, resources, error))
        return {};
    for (const armce::PeResource& resource : resources) {
        if (!Matches(resource.type, type) || !Matches(resource.name, name))
            continue;
        const BYTE* bytes = view_.At(resource.data, resource.size);
        return bytes ? std::vector<BYTE>(bytes, bytes + resource.size) : std::vector<BYTE>();
    }
    return {};
}

} // namespace peimage
