#include "SetupFile.h"

#include "DeviceNames.h"
#include "DeviceStore.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace {

constexpr std::uint32_t kHeaderBytes = 100;
constexpr char kSignature[] = "MSCE";
// The registry roots as the setup file numbers them.
constexpr const wchar_t* kRootNames[] = {L"HKCR", L"HKCU", L"HKLM", L"HKU"};
// A registry value's type code (bits 0 and 16), and its one known flag.
constexpr std::uint32_t kTypeSz = 0x00000000;
constexpr std::uint32_t kTypeBinary = 0x00000001;
constexpr std::uint32_t kTypeMultiSz = 0x00010000;
constexpr std::uint32_t kTypeDword = 0x00010001;
constexpr std::uint32_t kTypeBits = 0x00010001;
// The file flags the installer does as asked: written over whatever its
// date, not to be skipped, a warning if skipped. Shared, self-registering
// or conditional files it does not do.
constexpr std::uint32_t kFileOverwrite = 0x40000000;
constexpr std::uint32_t kFileNoSkip = 0x00000002;
constexpr std::uint32_t kFileWarnIfSkipped = 0x00000001;
// The member the platform's installer takes as the setup library.
constexpr unsigned kSetupLibraryNumber = 999;
// The platforms a CAB may say it is not for: a Pocket PC's name.
constexpr char kPocketPc[] = "POCKETPC";

// The setup file's bytes, read only within their bounds.
class Bytes
{
public:
    explicit Bytes(const std::string& data) : data_(data) {}

    std::uint32_t Size() const { return static_cast<std::uint32_t>(data_.size()); }
    bool Holds(std::uint32_t at, std::uint32_t length) const { return at <= Size() && length <= Size() - at; }
    std::uint16_t Word(std::uint32_t at) const
    {
        return static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8);
    }
    std::uint32_t Dword(std::uint32_t at) const { return Word(at) | static_cast<std::uint32_t>(Word(at + 2)) << 16; }
    const char* At(std::uint32_t at) const { return data_.data() + at; }

private:
    unsigned Byte(std::uint32_t at) const { return static_cast<unsigned char>(data_[at]); }

    const std::string& data_;
};

// A reader of one section: its entries follow one another from its offset,
// each read only where the file holds it.
class Section
{
public:
    Section(const Bytes& bytes, std::uint32_t at, const wchar_t* name) : bytes_(bytes), at_(at), name_(name) {}

    bool Word(std::uint16_t& value) { return Take(2) && (value = bytes_.Word(at_ - 2), true); }
    bool Dword(std::uint32_t& value) { return Take(4) && (value = bytes_.Dword(at_ - 4), true); }
    bool Data(std::uint16_t length, std::string& data)
    {
        if (!Take(length))
            return false;
        data.assign(bytes_.At(at_ - length), length);
        return true;
    }
    const wchar_t* Name() const { return name_; }

private:
    bool Take(std::uint32_t length)
    {
        if (!bytes_.Holds(at_, length))
            return false;
        at_ += length;
        return true;
    }

    const Bytes& bytes_;
    std::uint32_t at_;
    const wchar_t* name_;
};

bool Fail(std::wstring& error, const std::wstring& what)
{
    error = L"the setup file " + what;
    return false;
}

bool CutShort(const Section& section, std::wstring& error)
{
    return Fail(error, L"ends within its " + std::wstring(section.Name()) + L" section");
}

// Printable ASCII, as the setup file's strings are.
std::wstring Widened(const std::string& text, bool& ascii)
{
    std::wstring wide;
    ascii = true;
    for (const char c : text) {
        ascii = ascii && c >= 0x20 && c < 0x7F;
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return wide;
}

// A string that ends with its one null: the text before it.
bool Terminated(const std::string& data, std::string& text)
{
    if (data.empty() || data.back() != '\0' || data.find('\0') != data.size() - 1)
        return false;
    text = data.substr(0, data.size() - 1);
    return true;
}

bool ReadText(const Bytes& bytes, std::uint32_t at, std::uint16_t length, const wchar_t* what, std::wstring& text,
    std::wstring& error)
{
    std::string chars;
    bool ascii = false;
    if (!bytes.Holds(at, length) || !Terminated(std::string(bytes.At(at), length), chars) ||
        (text = Widened(chars, ascii), !ascii))
        return Fail(error, L"gives no text for its " + std::wstring(what));
    return true;
}

using Strings = std::map<std::uint16_t, std::wstring>;

bool ReadStrings(const Bytes& bytes, std::uint32_t at, std::uint16_t count, Strings& strings, std::wstring& error)
{
    Section section(bytes, at, L"strings");
    for (unsigned i = 0; i < count; ++i) {
        std::uint16_t id = 0, length = 0;
        std::string data, text;
        if (!section.Word(id) || !section.Word(length) || !section.Data(length, data))
            return CutShort(section, error);
        bool ascii = false;
        if (!Terminated(data, text) || text.empty() || (strings[id] = Widened(text, ascii), !ascii))
            return Fail(error, L"has a string that is no ASCII text (ID " + std::to_wstring(id) + L")");
        if (id == 0 || strings.size() != i + 1)
            return Fail(error, L"has a string ID that is 0 or given twice (" + std::to_wstring(id) + L")");
    }
    return true;
}

// A path as the setup file spells it: the byte length of a list of string
// IDs, the list ending with 0; its parts joined with backslashes.
bool ReadPath(Section& section, const Strings& strings, std::wstring& path, std::wstring& error)
{
    std::uint16_t length = 0;
    if (!section.Word(length))
        return CutShort(section, error);
    if (length < 4 || length % 2)
        return Fail(error, L"has a path of " + std::to_wstring(length) + L" bytes in its " + section.Name() +
                               L" section (a list of string IDs ending with 0)");
    path.clear();
    for (unsigned i = 0; i < length / 2u; ++i) {
        std::uint16_t id = 0;
        if (!section.Word(id))
            return CutShort(section, error);
        const bool last = i + 1 == length / 2u;
        if (last != (id == 0))
            return Fail(error, L"has a path in its " + std::wstring(section.Name()) + L" section that does not end "
                               L"with its one 0");
        if (last)
            break;
        const auto found = strings.find(id);
        if (found == strings.end())
            return Fail(error, L"names a string it has not (ID " + std::to_wstring(id) + L")");
        path += (path.empty() ? L"" : L"\\") + found->second;
    }
    return true;
}

bool ReadFolders(const Bytes& bytes, std::uint32_t at, std::uint16_t count, const Strings& strings,
    std::map<std::uint16_t, std::wstring>& folders, SetupDocument& document, std::wstring& error)
{
    Section section(bytes, at, L"folders");
    for (unsigned i = 0; i < count; ++i) {
        std::uint16_t id = 0;
        std::wstring name, devicePath;
        if (!section.Word(id))
            return CutShort(section, error);
        if (!ReadPath(section, strings, name, error))
            return false;
        if (!TranslateFolder(name, devicePath) || !IsDevicePath(devicePath) || IsInstallersFolder(devicePath))
            return Fail(error, L"installs into a folder it may not: " + name);
        if (id == 0 || !folders.emplace(id, devicePath).second)
            return Fail(error, L"has a folder ID that is 0 or given twice (" + std::to_wstring(id) + L")");
        document.folders.push_back(devicePath);
    }
    if (!document.folders.empty())
        document.installDir = document.folders.front();
    return true;
}

// How many members have the number as their extension; member is the last.
unsigned MembersNumbered(const std::vector<std::wstring>& members, unsigned number, std::wstring& member)
{
    wchar_t extension[8] = {};
    std::swprintf(extension, 8, L".%03u", number);
    unsigned found = 0;
    for (const std::wstring& name : members) {
        if (name.size() > 4 && SameName(name.substr(name.size() - 4), extension)) {
            member = name;
            ++found;
        }
    }
    return found;
}

bool ReadFiles(const Bytes& bytes, std::uint32_t at, std::uint16_t count,
    const std::map<std::uint16_t, std::wstring>& folders, const std::vector<std::wstring>& members,
    SetupDocument& document, std::wstring& error)
{
    Section section(bytes, at, L"files");
    for (unsigned i = 0; i < count; ++i) {
        std::uint16_t id = 0, folder = 0, unknown = 0, length = 0;
        std::uint32_t flags = 0;
        std::string data, chars;
        if (!section.Word(id) || !section.Word(folder) || !section.Word(unknown) || !section.Dword(flags) ||
            !section.Word(length) || !section.Data(length, data))
            return CutShort(section, error);
        bool ascii = false;
        const std::wstring name = Terminated(data, chars) ? Widened(chars, ascii) : std::wstring();
        if (!ascii || !IsPlainName(name))
            return Fail(error, L"names a file as no file may be named (file " + std::to_wstring(id) + L")");
        const auto into = folders.find(folder);
        if (into == folders.end())
            return Fail(error, L"puts " + name + L" in a folder it has not (ID " + std::to_wstring(folder) + L")");
        if (flags & ~(kFileOverwrite | kFileNoSkip | kFileWarnIfSkipped))
            return Fail(error, L"asks for what the installer does not do with " + name + L" (flags " +
                                   std::to_wstring(flags) + L")");
        std::wstring member;
        if (id == 0 || id >= kSetupLibraryNumber || MembersNumbered(members, id, member) != 1)
            return Fail(error, L"installs " + name + L" from a member the CAB has not, or has twice (file " +
                                   std::to_wstring(id) + L")");
        document.files.push_back({into->second + L"\\" + name, member});
    }
    return true;
}

// A value's data: its name, a null, then its content by its type.
bool ReadValue(Section& section, std::uint32_t type, std::uint16_t length, const std::wstring& keyName,
    RegistryValue& value, std::wstring& error)
{
    std::string data;
    if (!section.Data(length, data))
        return CutShort(section, error);
    const size_t nameEnd = data.find('\0');
    bool ascii = false;
    if (nameEnd == std::string::npos || (value.name = Widened(data.substr(0, nameEnd), ascii), !ascii))
        return Fail(error, L"has a registry value without a name in " + keyName);
    const std::string content = data.substr(nameEnd + 1);
    const std::wstring what = L"gives " + keyName + L"'s value " + value.name;
    // Text: ASCII, each string ending with its null.
    auto putText = [&](const std::string& text) {
        std::wstring wide;
        for (const char c : text) {
            if (c != '\0' && (c < 0x20 || c >= 0x7F))
                return false;
            wide.push_back(static_cast<wchar_t>(c));
        }
        const auto* bytes = reinterpret_cast<const BYTE*>(wide.c_str());
        value.data.assign(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
        return true;
    };
    const std::string kTwoNulls(2, '\0');
    switch (type) {
    case kTypeSz: {
        std::string text;
        value.type = REG_SZ;
        if (!Terminated(content, text) || !putText(text))
            return Fail(error, what + L" as no ASCII string");
        return true;
    }
    case kTypeMultiSz:
        // Strings, each ending with its null, then an empty one.
        value.type = REG_MULTI_SZ;
        if (content.size() < 2 || content.find(kTwoNulls) != content.size() - 2 ||
            (content.size() > 2 && content[0] == '\0') || !putText(content.substr(0, content.size() - 1)))
            return Fail(error, what + L" as no list of ASCII strings");
        return true;
    case kTypeDword:
        if (content.size() != 4)
            return Fail(error, what + L" as no 32-bit number");
        value.type = REG_DWORD;
        value.data.assign(content.begin(), content.end());
        return true;
    case kTypeBinary:
        value.type = REG_BINARY;
        value.data.assign(content.begin(), content.end());
        return true;
    }
    return Fail(error, what + L" of an unknown type");
}

bool ReadRegistry(const Bytes& bytes, std::uint32_t hivesAt, std::uint16_t hiveCount, std::uint32_t valuesAt,
    std::uint16_t valueCount, const Strings& strings, SetupDocument& document, std::wstring& error)
{
    std::map<std::uint16_t, size_t> keys; // a hive's ID: its key in the document
    Section hives(bytes, hivesAt, L"registry keys");
    for (unsigned i = 0; i < hiveCount; ++i) {
        std::uint16_t id = 0, root = 0, unknown = 0;
        RegistryKey key;
        if (!hives.Word(id) || !hives.Word(root) || !hives.Word(unknown))
            return CutShort(hives, error);
        if (!ReadPath(hives, strings, key.path, error))
            return false;
        key.rootName = root >= 1 && root <= 4 ? kRootNames[root - 1] : L"";
        key.root = RootNamed(key.rootName);
        if (!key.root)
            return Fail(error, L"writes to a registry root the device has not (" + std::to_wstring(root) + L")");
        if (!IsRegistryKeyPath(key.path) || IsInstallersKey(key.root, key.path))
            return Fail(error, L"writes a registry key it may not: " + key.rootName + L"\\" + key.path);
        if (id == 0 || !keys.emplace(id, document.keys.size()).second)
            return Fail(error, L"has a registry key ID that is 0 or given twice (" + std::to_wstring(id) + L")");
        document.keys.push_back(std::move(key));
    }
    Section values(bytes, valuesAt, L"registry values");
    for (unsigned i = 0; i < valueCount; ++i) {
        std::uint16_t id = 0, hive = 0, substitute = 0, length = 0;
        std::uint32_t type = 0;
        if (!values.Word(id) || !values.Word(hive) || !values.Word(substitute) || !values.Dword(type) ||
            !values.Word(length))
            return CutShort(values, error);
        const auto key = keys.find(hive);
        if (key == keys.end())
            return Fail(error, L"has a registry value in a key it has not (ID " + std::to_wstring(hive) + L")");
        // Substituting folders into values, and values that are kept when
        // present, the installer does not do.
        if (substitute != 0 || (type & ~kTypeBits) != 0)
            return Fail(error, L"asks for what the installer does not do with a registry value (value " +
                                   std::to_wstring(id) + L")");
        RegistryKey& into = document.keys[key->second];
        RegistryValue value;
        if (!ReadValue(values, type & kTypeBits, length, into.rootName + L"\\" + into.path, value, error))
            return false;
        into.values.push_back(std::move(value));
    }
    return true;
}

// Whether a multi string of platforms names the Pocket PC.
bool NamesPocketPc(const std::string& platforms)
{
    for (size_t at = 0; at < platforms.size();) {
        const size_t end = platforms.find('\0', at);
        const std::string name = platforms.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.c_str(), -1, kPocketPc, -1) == CSTR_EQUAL)
            return true;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return false;
}

} // namespace

bool ReadSetupFile(const std::wstring& path, const std::vector<std::wstring>& members, SetupDocument& document,
    SetupFileTarget& target, std::wstring& error)
{
    std::string data;
    bool tooLarge = false;
    if (!ReadWholeFile(path, kMaxSetupFileBytes, data, tooLarge))
        return Fail(error, tooLarge ? L"is larger than the installer reads (" +
                                          std::to_wstring(kMaxSetupFileBytes / 1024) + L" KB)"
                                    : std::wstring(L"cannot be read"));
    const Bytes bytes(data);
    if (!bytes.Holds(0, kHeaderBytes) || data.compare(0, 4, kSignature) != 0)
        return Fail(error, L"is no setup file (no MSCE header)");
    if (bytes.Dword(8) != bytes.Size())
        return Fail(error, L"says it is " + std::to_wstring(bytes.Dword(8)) + L" bytes long and is " +
                               std::to_wstring(bytes.Size()));
    target.architecture = bytes.Dword(20);
    target.minMajor = bytes.Dword(24);
    target.minMinor = bytes.Dword(28);
    target.maxMajor = bytes.Dword(32);
    target.maxMinor = bytes.Dword(36);

    if (!ReadText(bytes, bytes.Word(84), bytes.Word(86), L"application's name", document.appName, error))
        return false;
    if (!IsPlainName(document.appName))
        return Fail(error, L"names no application, or one that is no plain name");
    const std::uint16_t unsupportedLength = bytes.Word(94);
    if (unsupportedLength != 0) {
        if (!bytes.Holds(bytes.Word(92), unsupportedLength))
            return Fail(error, L"gives no text for the platforms it is not for");
        target.unsupportedOnPocketPc = NamesPocketPc(std::string(bytes.At(bytes.Word(92)), unsupportedLength));
    }

    Strings strings;
    std::map<std::uint16_t, std::wstring> folders;
    if (!ReadStrings(bytes, bytes.Dword(60), bytes.Word(48), strings, error) ||
        !ReadFolders(bytes, bytes.Dword(64), bytes.Word(50), strings, folders, document, error) ||
        !ReadFiles(bytes, bytes.Dword(68), bytes.Word(52), folders, members, document, error) ||
        !ReadRegistry(bytes, bytes.Dword(72), bytes.Word(54), bytes.Dword(76), bytes.Word(56), strings, document, error))
        return false;
    // Shortcuts the installer makes from a _setup.xml only.
    if (bytes.Word(58) != 0)
        return Fail(error, L"asks for what the installer does not do: links");
    switch (MembersNumbered(members, kSetupLibraryNumber, document.setupDll)) {
    case 0:
        document.setupDll.clear();
        [[fallthrough]];
    case 1:
        return true;
    }
    return Fail(error, L"'s CAB has more than one setup library (.999)");
}
