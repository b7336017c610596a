#include "SetupDocument.h"

#include <objbase.h>
#include <shlwapi.h>
#include <wincrypt.h>
#include <xmllite.h>

#include <memory>
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

struct Element
{
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<Element> children;

    const std::wstring* Attribute(const wchar_t* attribute) const
    {
        for (const auto& [key, value] : attributes)
            if (key == attribute)
                return &value;
        return nullptr;
    }
    std::wstring Type() const
    {
        const std::wstring* type = Attribute(L"type");
        return type ? *type : std::wstring();
    }
};

template <typename T>
struct ComRelease
{
    void operator()(T* object) const { object->Release(); }
};
template <typename T>
using ComPointer = std::unique_ptr<T, ComRelease<T>>;

struct LibraryRelease
{
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

// The document's elements as a tree under a root; false with the reason
// when the text is not well-formed XML.
bool ParseXml(const std::wstring& path, Element& root, std::wstring& error)
{
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease> xmllite(LoadLibraryW(L"xmllite.dll"));
    const auto create = xmllite ? reinterpret_cast<decltype(&CreateXmlReader)>(
                                      reinterpret_cast<void*>(GetProcAddress(xmllite.get(), "CreateXmlReader")))
                                : nullptr;
    IXmlReader* rawReader = nullptr;
    IStream* rawStream = nullptr;
    if (!create || FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&rawReader), nullptr))) {
        error = L"the XML reader cannot start";
        return false;
    }
    const ComPointer<IXmlReader> reader(rawReader);
    if (FAILED(SHCreateStreamOnFileW(path.c_str(), STGM_READ, &rawStream))) {
        error = L"_setup.xml cannot be read";
        return false;
    }
    const ComPointer<IStream> stream(rawStream);
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (FAILED(reader->SetInput(stream.get()))) {
        error = L"_setup.xml cannot be read";
        return false;
    }
    std::vector<Element*> open{&root};
    XmlNodeType node;
    HRESULT result;
    while ((result = reader->Read(&node)) == S_OK) {
        if (node == XmlNodeType_Element) {
            Element element;
            const WCHAR* text = nullptr;
            reader->GetLocalName(&text, nullptr);
            element.name = text;
            const bool empty = reader->IsEmptyElement();
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute()) {
                const WCHAR* name = nullptr;
                const WCHAR* value = nullptr;
                reader->GetLocalName(&name, nullptr);
                reader->GetValue(&value, nullptr);
                element.attributes.emplace_back(name, value);
            }
            open.back()->children.push_back(std::move(element));
            if (!empty)
                open.push_back(&open.back()->children.back());
        } else if (node == XmlNodeType_EndElement) {
            open.pop_back();
        }
    }
    if (FAILED(result) || open.size() != 1) {
        UINT line = 0;
        reader->GetLineNumber(&line);
        error = L"_setup.xml is not well-formed XML (line " + std::to_wstring(line) + L")";
        return false;
    }
    return true;
}

// A name that stays in its folder: no folder of its own, no way up.
bool IsPlainName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// A device path whose every part stays where it is put.
bool StaysInPlace(const std::wstring& path)
{
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find_first_of(L"\\/", start);
        const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (part == L".." || part == L"." || part.find(L':') != std::wstring::npos)
            return false;
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return true;
}

bool ReadInstall(const Element& install, SetupDocument& document, std::wstring& error)
{
    for (const Element& parm : install.children) {
        const std::wstring* name = parm.Attribute(L"name");
        const std::wstring* value = parm.Attribute(L"value");
        if (parm.name != L"parm" || !name || !value)
            continue;
        if (*name == L"AppName") {
            document.appName = *value;
        } else if (*name == L"SetupDLL") {
            document.setupDll = *value;
        } else if (*name == L"InstallDir") {
            if (!TranslateFolder(*value, document.installDir)) {
                error = L"_setup.xml installs into an unknown folder: " + *value;
                return false;
            }
        } else if (*name == L"InstallPhase" && *value != L"install") {
            error = L"_setup.xml is for the phase \"" + *value + L"\", not for installing";
            return false;
        }
    }
    if (document.appName.empty() || !IsPlainName(document.appName)) {
        error = L"_setup.xml names no application (Install's AppName)";
        return false;
    }
    if (!document.setupDll.empty() && !IsPlainName(document.setupDll)) {
        error = L"_setup.xml's setup library is a path: " + document.setupDll;
        return false;
    }
    return true;
}

bool ReadFileOperation(const Element& operation, SetupDocument& document, std::wstring& error)
{
    for (const Element& folder : operation.children) {
        if (folder.name != L"characteristic")
            continue;
        std::wstring devicePath;
        if (!TranslateFolder(folder.Type(), devicePath) || !StaysInPlace(devicePath)) {
            error = L"_setup.xml installs into a folder it may not: " + folder.Type();
            return false;
        }
        document.folders.push_back(devicePath);
        for (const Element& entry : folder.children) {
            if (entry.name != L"characteristic" || entry.Type() == L"MakeDir")
                continue;
            if (!IsPlainName(entry.Type())) {
                error = L"_setup.xml puts a file outside its folder: " + folder.Type() + L"\\" + entry.Type();
                return false;
            }
            const Element* extract = nullptr;
            for (const Element& step : entry.children)
                if (step.name == L"characteristic" && step.Type() == L"Extract")
                    extract = &step;
            const std::wstring* source = nullptr;
            if (extract)
                for (const Element& parm : extract->children)
                    if (parm.name == L"parm" && parm.Attribute(L"name") && *parm.Attribute(L"name") == L"Source")
                        source = parm.Attribute(L"value");
            if (!source) {
                error = L"_setup.xml does with " + entry.Type() + L" what the installer does not do (only Extract)";
                return false;
            }
            if (!IsPlainName(*source)) {
                error = L"_setup.xml extracts a member whose name is a path: " + *source;
                return false;
            }
            document.files.push_back({devicePath + L"\\" + entry.Type(), *source});
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
        wchar_t* end = nullptr;
        const unsigned long number = std::wcstoul(text->c_str(), &end, 0);
        if (text->empty() || *end) {
            error = L"_setup.xml's value " + *name + L" is no integer: " + *text;
            return false;
        }
        value.type = REG_DWORD;
        const DWORD dword = static_cast<DWORD>(number);
        value.data.assign(reinterpret_cast<const BYTE*>(&dword), reinterpret_cast<const BYTE*>(&dword) + 4);
    } else if (type == L"binary") {
        // Base64, as the registry's provider takes binary data.
        DWORD size = 0;
        if (!CryptStringToBinaryW(text->c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr) &&
            !text->empty()) {
            error = L"_setup.xml's value " + *name + L" is not base64";
            return false;
        }
        value.type = REG_BINARY;
        value.data.resize(size);
        if (size)
            CryptStringToBinaryW(text->c_str(), 0, CRYPT_STRING_BASE64, value.data.data(), &size, nullptr, nullptr);
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
            continue;
        const std::wstring name = keyElement.Type();
        const size_t slash = name.find(L'\\');
        const std::wstring root = name.substr(0, slash);
        RegistryKey key;
        if (root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE") {
            key.root = HKEY_LOCAL_MACHINE, key.rootName = L"HKLM";
        } else if (root == L"HKCU" || root == L"HKEY_CURRENT_USER") {
            key.root = HKEY_CURRENT_USER, key.rootName = L"HKCU";
        } else {
            error = L"_setup.xml writes to a registry root the device has not: " + name;
            return false;
        }
        key.path = slash == std::wstring::npos ? std::wstring() : name.substr(slash + 1);
        if (key.path.empty()) {
            error = L"_setup.xml writes into a registry root itself: " + name;
            return false;
        }
        for (const Element& parm : keyElement.children) {
            if (parm.name != L"parm")
                continue;
            RegistryValue value;
            if (!ReadValue(parm, value, error))
                return false;
            key.values.push_back(std::move(value));
        }
        document.keys.push_back(std::move(key));
    }
    return true;
}

} // namespace

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
    Element root;
    if (!ParseXml(path, root, error))
        return false;
    if (root.children.size() != 1 || root.children[0].name != L"wap-provisioningdoc") {
        error = L"_setup.xml is not a provisioning document";
        return false;
    }
    bool install = false;
    for (const Element& part : root.children[0].children) {
        if (part.name != L"characteristic")
            continue;
        const std::wstring type = part.Type();
        bool read = true;
        if (type == L"Install") {
            install = true;
            read = ReadInstall(part, document, error);
        } else if (type == L"FileOperation") {
            read = ReadFileOperation(part, document, error);
        } else if (type == L"Registry") {
            read = ReadRegistry(part, document, error);
        } else {
            error = L"_setup.xml asks for what the installer does not do: " + type;
            return false;
        }
        if (!read)
            return false;
    }
    if (!install) {
        error = L"_setup.xml has no Install part";
        return false;
    }
    if (document.installDir.empty() && !document.folders.empty())
        document.installDir = document.folders.front();
    return true;
}
