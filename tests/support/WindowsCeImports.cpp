#include "WindowsCeImports.h"

#include <windows.h>

#include <cctype>

namespace windowsce {

std::set<std::string> Exports(const std::string& library)
{
    std::string resource = library.substr(0, library.find('.'));
    for (char& c : resource)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC list = FindResourceA(self, resource.c_str(), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (!list)
        return {};
    const char* text = static_cast<const char*>(LockResource(LoadResource(self, list)));
    std::set<std::string> names;
    std::string name;
    for (DWORD i = 0, size = SizeofResource(self, list); i <= size; ++i) {
        if (i == size || text[i] == '\n' || text[i] == '\r') {
            if (!name.empty())
                names.insert(name);
            name.clear();
        } else {
            name += text[i];
        }
    }
    return names;
}

std::vector<std::string> Unresolvable(const peimage::PeImage& image)
{
    std::vector<std::string> problems;
    std::string previous;
    std::set<std::string> seen;
    for (const peimage::Import& import : image.Imports()) {
        if (import.library != previous && !seen.insert(import.library).second)
            problems.push_back(import.library + " imported twice");
        previous = import.library;
        if (import.name.empty())
            problems.push_back(import.library + " #" + std::to_string(import.ordinal));
        else if (!Exports(import.library).count(import.name))
            problems.push_back(import.library + " " + import.name);
    }
    return problems;
}

std::set<std::string> Libraries(const peimage::PeImage& image)
{
    std::set<std::string> libraries;
    for (const peimage::Import& import : image.Imports())
        libraries.insert(import.library);
    return libraries;
}

std::string ExportLine(const peimage::PeImage& image)
{
    std::string line = image.ExportName();
    for (const peimage::Export& e : image.Exports()) {
        line += ' ';
        line += std::to_string(e.ordinal);
        if (!e.name.empty())
            line += '=' + e.name;
    }
    return line;
}

} // namespace windowsce
