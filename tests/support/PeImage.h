// A module's image as the loader reads it: its headers, exports, imports and
// resources, for 32-bit (Windows CE on ARM) and 64-bit modules alike, read
// from a file or from a module mapped in this process, within bounds, by
// the ARM loader's reader of module files.
#pragma once

#include <PeView.h>

#include <windows.h>

#include <string>
#include <vector>

namespace peimage {

struct Import
{
    std::string library; // lower case, as the import names it
    std::string name;    // empty when imported by ordinal
    WORD ordinal = 0;    // for an import by ordinal
    DWORD slotRva = 0;   // the import address table entry that receives it
};

struct Export
{
    DWORD ordinal = 0;
    std::string name; // empty for an export by ordinal only
};

class PeImage
{
public:
    // The file's bytes; Valid() is false when it is no PE image.
    static PeImage FromFile(const std::wstring& path);
    // A module loaded in this process (mapped sections).
    static PeImage FromModule(HMODULE module);

    PeImage() = default;
    PeImage(const PeImage& other);
    PeImage& operator=(const PeImage& other);

    bool Valid() const { return view_.Valid(); }
    size_t FileSize() const { return bytes_.size(); }
    WORD Machine() const { return view_.Machine(); }
    WORD Subsystem() const { return view_.Subsystem(); }
    // The name the export directory gives the module.
    std::string ExportName() const;
    std::vector<Export> Exports() const;
    std::vector<Import> Imports() const;
    // The data of a resource, by type and name (a string or MAKEINTRESOURCE);
    // empty when it is missing. The first language found counts.
    std::vector<BYTE> Resource(LPCWSTR type, LPCWSTR name) const;

private:
    std::vector<BYTE> bytes_;  // a file's
    HMODULE module_ = nullptr; // or the mapped module
    armce::PeView view_;
};

} // namespace peimage
