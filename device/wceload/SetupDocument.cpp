#include "SetupDocument.h"

#include "DeviceNames.h"
#include "DeviceStore.h"
#include "XmlTree.h"

#include <deviceinstaller.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace {

// A Pocket PC's %CEn% folders.
struct CeFolder
{
    const wchar_t* name;
    const wchar_t* path;
};

constexpr CeFolder kCeFolders[] = {
    {L"%CE1%", L"\\Program Files"},
    {L"%CE2%", L"\\Windows"},
    {L"%CE4%", L"\\Windows\\StartUp"},
    {L"%CE5%", L"\\My Documents"},
    {L"%CE8%", L"\\Program Files\\Games"},
    {L"%CE11%", L"\\Windows\\Start Menu\\Programs"},
    {L"%CE14%", L"\\Windows\\Start Menu\\Programs\\Games"},
    {L"%CE15%", L"\\Windows\\Fonts"},
    {L"%CE17%", L"\\Windows\\Start Menu"},
};

// Registry values of several strings keep them apart with this character.
constexpr wchar_t kStringSeparator = 0xF000;

using Element = XmlElement;

// A provisioning document's characteristics name themselves in their type.
std::wstring TypeOf(const Element& element)
{
    const std::wstring* type = element.Attribute(L"type");
    return type ? *type : std::wstring();
}

// The document's bytes, whole and within the installer's limit; empty with
// the reason when they cannot be read.
std::string ReadDocumentBytes(const std::wstring& path, std::wstring& error)
{
    std::string bytes;
    bool tooLarge = false;
    if (ReadWholeFile(path, kMaxSetupDocumentBytes, bytes, tooLarge))
        return bytes;
    error = tooLarge ? L"_setup.xml is larger than the installer reads (" +
                           std::to_wstring(kMaxSetupDocumentBytes / 1024) + L" KB)"
                     : std::wstring(L"_setup.xml cannot be read");
    return {};
}

// The document's text: UTF-8 (perhaps marked so), without the control
// characters XML forbids; false when it is anything else.
bool DocumentText(const std::string& bytes, std::wstring& text)
{
    for (const unsigned char c : bytes)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    text.clear();
    if (bytes.empty())
        return true;
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return true;
}

// The parts of a document the installer knows and does something with; any
// other is refused with its name.
bool Refuse(const Element& element, std::wstring& error)
{
    error = L"_setup.xml asks for what the installer does not do: " + element.name +
            (TypeOf(element).empty() ? L"" : L" " + TypeOf(element));
    return false;
}

const std::wstring* Parm(const Element& parm, const wchar_t* attribute)
{
    return parm.name == L"parm" ? parm.Attribute(attribute) : nullptr;
}

// An integer as a provisioning document writes one: decimal (perhaps
// negative) or 0x hexadecimal, in 32 bits.
bool ParseInteger(const std::wstring& text, DWORD& number)
{
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const bool negative = !hex && !text.empty() && text[0] == L'-';
    const size_t first = hex ? 2 : negative ? 1 : 0;
    if (first >= text.size() || text.size() - first > (hex ? 8u : 10u))
        return false;
    unsigned long long value = 0;
    for (size_t i = first; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const int digit = c >= L'0' && c <= L'9' ? c - L'0'
                          : hex && c >= L'a' && c <= L'f' ? c - L'a' + 10
                          : hex && c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                           : -1;
        if (digit < 0)
            return false;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    }
    if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull))
        return false;
    number = static_cast<DWORD>(negative ? 0 - value : value);
    return true;
}

// Base64 as RFC 4648 writes it: its alphabet only (no space, no line
// break), whole quanta, padding only at the end, and no bits beyond the
// data: one text for each value, so that what is refused is refused alike.
bool DecodeBase64(const std::wstring& text, std::vector<BYTE>& data)
{
    auto sextet = [](wchar_t c) {
        return c >= L'A' && c <= L'Z'   ? c - L'A'
               : c >= L'a' && c <= L'z' ? c - L'a' + 26
               : c >= L'0' && c <= L'9' ? c - L'0' + 52
               : c == L'+'              ? 62
               : c == L'/'              ? 63
                                        : -1;
    };
    if (text.size() % 4)
        return false;
    data.clear();
    for (size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        const size_t padding = last ? (text[at + 3] == L'=') + (text[at + 2] == L'=' && text[at + 3] == L'=') : 0;
        std::uint32_t bits = 0;
        for (size_t i = 0; i < 4; ++i) {
            const int value = i >= 4 - padding ? 0 : sextet(text[at + i]);
            if (value < 0)
                return false;
            bits = bits << 6 | static_cast<std::uint32_t>(value);
        }
        const BYTE bytes[3] = {static_cast<BYTE>(bits >> 16), static_cast<BYTE>(bits >> 8), static_cast<BYTE>(bits)};
        // The bits the padding leaves over are zero in the one spelling.
        if ((padding == 1 && bytes[2]) || (padding == 2 && (bytes[1] || bytes[2])))
            return false;
        data.insert(data.end(), bytes, bytes + 3 - padding);
    }
    return true;
}

bool ReadInstall(const Element& install, SetupDocument& document, std::wstring& error)
{
    for (const Element& parm : install.children) {
        const std::wstring* name = Parm(parm, L"name");
        const std::wstring* value = Parm(parm, L"value");
        if (!name || !value)
            return Refuse(parm, error);
        if (*name == L"AppName") {
            document.appName = *value;
        } else if (*name == L"SetupDLL") {
            document.setupDll = *value;
        } else if (*name == L"InstallDir") {
            if (!TranslateFolder(*value, document.installDir) || !IsDevicePath(document.installDir) ||
                IsInstallersFolder(document.installDir)) {
                error = L"_setup.xml installs into a folder it may not: " + *value;
                return false;
            }
        } else if (*name == L"InstallPhase") {
            if (*value != L"install") {
                error = L"_setup.xml is for the phase \"" + *value + L"\", not for installing";
                return false;
            }
        } else if (*name == L"NoUninstall") {
            DWORD number = 0;
            if (!ParseInteger(*value, number)) {
                error = L"_setup.xml's NoUninstall is no integer: " + *value;
                return false;
            }
            document.noUninstall = number != 0;
        } else if (*name != L"NumDirs" && *name != L"NumFiles" && *name != L"NumRegKeys" && *name != L"NumRegVals" &&
                   *name != L"NumShortcuts") {
            // The counts are the platform's display; the rest is unknown.
            error = L"_setup.xml's Install has a parm the installer does not know: " + *name;
            return false;
        }
    }
    if (!IsPlainName(document.appName)) {
        error = L"_setup.xml names no application, or one that is no plain name (Install's AppName)";
        return false;
    }
    if (!document.setupDll.empty() && !IsPlainName(document.setupDll)) {
        error = L"_setup.xml's setup library is no plain file name: " + document.setupDll;
        return false;
    }
    return true;
}

// A part's folder: a characteristic naming a folder of the device.
bool ReadFolder(const Element& folder, const wchar_t* what, std::wstring& devicePath, std::wstring& error)
{
    if (folder.name != L"characteristic")
        return Refuse(folder, error);
    if (!TranslateFolder(TypeOf(folder), devicePath) || !IsDevicePath(devicePath) || IsInstallersFolder(devicePath)) {
        error = L"_setup.xml " + std::wstring(what) + L" a folder it may not: " + TypeOf(folder);
        return false;
    }
    return true;
}

bool ReadFileOperation(const Element& operation, SetupDocument& document, std::wstring& error)
{
    for (const Element& folder : operation.children) {
        std::wstring devicePath;
        if (!ReadFolder(folder, L"installs into", devicePath, error))
            return false;
        document.folders.push_back(devicePath);
        for (const Element& entry : folder.children) {
            if (entry.name != L"characteristic")
                return Refuse(entry, error);
            if (TypeOf(entry) == L"MakeDir") {
                if (!entry.children.empty())
                    return Refuse(entry.children.front(), error);
                continue;
            }
            if (TypeOf(entry).find_first_of(L"\\/") != std::wstring::npos || TypeOf(entry) == L"..") {
                error = L"_setup.xml puts a file outside its folder: " + TypeOf(folder) + L"\\" + TypeOf(entry);
                return false;
            }
            if (!IsPlainName(TypeOf(entry))) {
                error = L"_setup.xml names it as no file may be named: " + TypeOf(folder) + L"\\" + TypeOf(entry);
                return false;
            }
            const std::wstring* source = nullptr;
            for (const Element& step : entry.children) {
                if (step.name != L"characteristic" || TypeOf(step) != L"Extract")
                    return Refuse(step, error);
                for (const Element& parm : step.children) {
                    const std::wstring* name = Parm(parm, L"name");
                    if (!name || *name != L"Source" || !Parm(parm, L"value"))
                        return Refuse(parm, error);
                    source = parm.Attribute(L"value");
                }
            }
            if (!source) {
                error = L"_setup.xml does with " + TypeOf(entry) + L" what the installer does not do (only Extract)";
                return false;
            }
            if (!IsPlainName(*source)) {
                error = L"_setup.xml extracts a member whose name is no plain file name: " + *source;
                return false;
            }
            document.files.push_back({devicePath + L"\\" + TypeOf(entry), *source});
        }
    }
    return true;
}

bool ReadValue(const Element& parm, RegistryValue& value, std::wstring& error)
{
    const std::wstring* name = parm.Attribute(L"name");
    const std::wstring* text = parm.Attribute(L"value");
    const std::wstring* datatype = parm.Attribute(L"datatype");
    if (!name || !text) {
        error = L"_setup.xml has a registry value without a name or a value";
        return false;
    }
    value.name = *name;
    const std::wstring type = datatype ? *datatype : L"string";
    auto putText = [&](std::wstring data) {
        data.push_back(L'\0');
        const auto* bytes = reinterpret_cast<const BYTE*>(data.c_str());
        value.data.assign(bytes, bytes + data.size() * sizeof(wchar_t));
    };
    if (type == L"string") {
        value.type = REG_SZ;
        putText(*text);
    } else if (type == L"multiplestring") {
        value.type = REG_MULTI_SZ;
        std::wstring strings = *text;
        for (wchar_t& c : strings)
            if (c == kStringSeparator)
                c = L'\0';
        strings.push_back(L'\0');
        putText(strings);
    } else if (type == L"integer") {
        DWORD dword = 0;
        if (!ParseInteger(*text, dword)) {
            error = L"_setup.xml's value " + *name + L" is no integer (decimal, or hexadecimal after 0x): " + *text;
            return false;
        }
        value.type = REG_DWORD;
        value.data.assign(reinterpret_cast<const BYTE*>(&dword), reinterpret_cast<const BYTE*>(&dword) + 4);
    } else if (type == L"binary") {
        // Base64, as the registry's provider takes binary data.
        if (!DecodeBase64(*text, value.data)) {
            error = L"_setup.xml's value " + *name + L" is not base64";
            return false;
        }
        value.type = REG_BINARY;
    } else {
        error = L"_setup.xml's value " + *name + L" is of an unknown datatype: " + type;
        return false;
    }
    return true;
}

bool ReadRegistry(const Element& registry, SetupDocument& document, std::wstring& error)
{
    for (const Element& keyElement : registry.children) {
        if (keyElement.name != L"characteristic")
            return Refuse(keyElement, error);
        const std::wstring name = TypeOf(keyElement);
        RegistryKey key;
        key.root = SplitKeyName(name, key.rootName, key.path);
        // The provisioning document writes the machine's and the user's keys only.
        if (key.root != HKEY_LOCAL_MACHINE && key.root != HKEY_CURRENT_USER) {
            error = L"_setup.xml writes to a registry root the device has not: " + name;
            return false;
        }
        if (key.path.empty()) {
            error = L"_setup.xml writes into a registry root itself: " + name;
            return false;
        }
        if (!IsRegistryKeyPath(key.path) || IsInstallersKey(key.root, key.path)) {
            error = L"_setup.xml writes a registry key it may not: " + name;
            return false;
        }
        for (const Element& parm : keyElement.children) {
            if (parm.name != L"parm")
                return Refuse(parm, error);
            RegistryValue value;
            if (!ReadValue(parm, value, error))
                return false;
            key.values.push_back(std::move(value));
        }
        document.keys.push_back(std::move(key));
    }
    return true;
}

// A Shortcut part: in each folder, .lnk files naming their targets.
bool ReadShortcut(const Element& shortcut, SetupDocument& document, std::wstring& error)
{
    for (const Element& folder : shortcut.children) {
        std::wstring devicePath;
        if (!ReadFolder(folder, L"puts a shortcut in", devicePath, error))
            return false;
        for (const Element& link : folder.children) {
            if (link.name != L"characteristic")
                return Refuse(link, error);
            if (!IsPlainName(TypeOf(link))) {
                error = L"_setup.xml names a shortcut as no file may be named: " + TypeOf(link);
                return false;
            }
            std::wstring target;
            for (const Element& parm : link.children) {
                const std::wstring* name = Parm(parm, L"name");
                const std::wstring* value = Parm(parm, L"value");
                if (!name || *name != L"Source" || !value)
                    return Refuse(parm, error);
                target = *value;
            }
            std::wstring targetPath;
            const std::wstring kInstallDir = L"%InstallDir%";
            if (target.compare(0, kInstallDir.size(), kInstallDir) == 0 && !document.installDir.empty())
                targetPath = document.installDir + target.substr(kInstallDir.size());
            else if (!TranslateFolder(target, targetPath))
                targetPath.clear();
            if (!IsDevicePath(targetPath)) {
                error = L"_setup.xml's shortcut " + TypeOf(link) + L" leads to no file of the device: " + target;
                return false;
            }
            document.shortcuts.push_back({devicePath + L"\\" + TypeOf(link), targetPath});
        }
    }
    return true;
}

} // namespace

bool IsRegistryKeyPath(const std::wstring& path)
{
    if (path.empty() || path.size() > 255 || path.front() == L'\\' || path.back() == L'\\' ||
        path.find(L"\\\\") != std::wstring::npos)
        return false;
    for (wchar_t c : path)
        if (c < 0x20)
            return false;
    return true;
}

bool IsInstallersKey(HKEY root, const std::wstring& path)
{
    if (root != HKEY_LOCAL_MACHINE)
        return false;
    return DeviceIsInstallersKey(path);
}

bool IsInstallersFolder(const std::wstring& devicePath)
{
    return DeviceIsInstallersFolder(devicePath);
}

bool TranslateFolder(const std::wstring& name, std::wstring& devicePath)
{
    if (name.empty() || name[0] != L'%') {
        devicePath = name;
        return !name.empty() && name[0] == L'\\';
    }
    const size_t end = name.find(L'%', 1);
    const std::wstring macro = name.substr(0, end == std::wstring::npos ? end : end + 1);
    for (const CeFolder& folder : kCeFolders) {
        if (CompareStringOrdinal(macro.c_str(), -1, folder.name, -1, TRUE) == CSTR_EQUAL) {
            devicePath = folder.path + name.substr(macro.size());
            return true;
        }
    }
    return false;
}

bool ReadSetupDocument(const std::wstring& path, SetupDocument& document, std::wstring& error)
{
    error.clear();
    const std::string bytes = ReadDocumentBytes(path, error);
    if (!error.empty())
        return false;
    std::wstring text;
    if (!DocumentText(bytes, text)) {
        error = L"_setup.xml is not UTF-8 text";
        return false;
    }
    Element root;
    if (!ReadXmlTree(text, root, error)) {
        error = L"_setup.xml " + error;
        return false;
    }
    if (root.name != L"wap-provisioningdoc") {
        error = L"_setup.xml is not a provisioning document";
        return false;
    }
    // Install first, whose InstallDir the other parts may name.
    const std::vector<Element>& parts = root.children;
    const auto install = std::find_if(parts.begin(), parts.end(),
        [](const Element& part) { return part.name == L"characteristic" && TypeOf(part) == L"Install"; });
    if (install == parts.end()) {
        error = L"_setup.xml has no Install part";
        return false;
    }
    if (!ReadInstall(*install, document, error))
        return false;
    for (const Element& part : parts) {
        if (part.name != L"characteristic")
            return Refuse(part, error);
        const std::wstring type = TypeOf(part);
        bool read = true;
        if (type == L"Install") {
            read = &part == &*install || (error = L"_setup.xml has two Install parts", false);
        } else if (type == L"FileOperation") {
            read = ReadFileOperation(part, document, error);
        } else if (type == L"Registry") {
            read = ReadRegistry(part, document, error);
        } else if (type == L"Shortcut") {
            read = ReadShortcut(part, document, error);
        } else {
            return Refuse(part, error);
        }
        if (!read)
            return false;
    }
    if (document.installDir.empty() && !document.folders.empty())
        document.installDir = document.folders.front();
    return true;
}
