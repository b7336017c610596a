#include "SetupChanges.h"

#include "DeviceNames.h"
#include "RegistryKeys.h"

#include <algorithm>

namespace {

std::wstring Capitals(std::wstring text)
{
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

SetupChanges::SetupChanges(Journal& journal, const std::wstring& appName)
    : journal_(journal), others_(OtherApplications(appName))
{}

bool SetupChanges::NoteOnce(const std::wstring& step, const std::function<bool()>& note)
{
    const std::wstring name = Capitals(step);
    if (noted_.count(name))
        return true;
    if (!note())
        return false;
    noted_.insert(name);
    return true;
}

bool SetupChanges::FileChanging(const std::wstring& name, std::wstring& refusal)
{
    for (const InstallRecord& other : others_) {
        if (Listed(other.files, name)) {
            refusal = name + L" is " + other.appName + L"'s";
            return false;
        }
    }
    if (NoteOnce(L"file " + name, [&] { return journal_.FileWritten(name); }))
        return true;
    refusal = L"the installer cannot keep a copy of " + name;
    return false;
}

bool SetupChanges::KeyChanging(HKEY root, const std::wstring& path, std::wstring& refusal)
{
    const std::wstring rootName = RootName(root);
    const std::wstring key = rootName + L"\\" + path;
    for (const InstallRecord& other : others_) {
        const bool recorded = Listed(other.keys, key) ||
            std::any_of(other.values.begin(), other.values.end(),
                [&](const RecordedValue& value) { return SameName(value.key, key); });
        if (recorded) {
            refusal = L"the registry key " + key + L" is " + other.appName + L"'s";
            return false;
        }
    }
    if (rootName.empty()) {
        refusal = L"a change of a registry root the installer does not know";
        return false;
    }
    // A key not there yet is noted as made, outermost first, so that undoing
    // removes it innermost first; one that is there has its values kept.
    const std::vector<std::wstring> missing = MissingKeys(root, path);
    bool noted = true;
    for (const std::wstring& part : missing)
        noted = noted &&
            NoteOnce(L"key-made " + rootName + L"\\" + part, [&] { return journal_.KeyMade(root, rootName, part); });
    if (missing.empty())
        noted = NoteOnce(L"key " + key, [&] { return journal_.KeyChanged(root, rootName, path); });
    if (!noted)
        refusal = L"the installer cannot note the change of " + key;
    return noted;
}
