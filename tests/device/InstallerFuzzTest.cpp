// The installer's readers of what a CAB brings, fed mutations of the
// calendar's own CAB and of its _setup.xml: they refuse or read, never
// crash or hang, and write nothing but the CAB's members into the folder
// they unpack into; what a document they read names lies in the device.
// FUZZ_SEEDS sets how many of each (a few thousand by default).
#include "Cabinet.h"
#include "DeviceNames.h"
#include "DeviceProgram.h"
#include "DeviceStore.h"
#include "SetupDocument.h"
#include "XmlTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace deviceprogram;

unsigned Seeds()
{
    const char* seeds = std::getenv("FUZZ_SEEDS");
    return seeds && *seeds ? static_cast<unsigned>(std::strtoul(seeds, nullptr, 10)) : 2500;
}

std::vector<char> ReadAll(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Write(const std::wstring& path, const std::vector<char>& bytes)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A few bytes changed, a stretch cut out or repeated, a header word set to
// an extreme: the mutations a damaged or hostile file has.
std::vector<char> Mutated(std::vector<char> bytes, std::mt19937& random, size_t headerSize)
{
    std::uniform_int_distribution<int> pick(0, 4);
    const auto at = [&](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random); };
    switch (pick(random)) {
    case 0:
        for (int n = std::uniform_int_distribution<int>(1, 8)(random); n > 0; --n)
            bytes[at(bytes.size())] = static_cast<char>(random());
        break;
    case 1: {
        const size_t from = at(bytes.size()), length = at(bytes.size() - from) + 1;
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        break;
    }
    case 2: {
        const size_t from = at(bytes.size()), length = std::min<size_t>(at(bytes.size() - from) + 1, 4096);
        const std::vector<char> copy(bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at(bytes.size())), copy.begin(), copy.end());
        break;
    }
    case 3: {
        const std::uint16_t extremes[] = {0, 1, 0x7FFF, 0x8000, 0xFFFD, 0xFFFF};
        const std::uint16_t word = extremes[at(std::size(extremes))];
        const size_t where = at(std::min(headerSize, bytes.size() - 1)) & ~size_t{1};
        std::memcpy(bytes.data() + where, &word, std::min<size_t>(2, bytes.size() - where));
        break;
    }
    default:
        bytes.resize(at(bytes.size()) + 1);
        break;
    }
    return bytes;
}

// The names in a folder, for what appeared beside the unpacking.
std::vector<std::wstring> Listing(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// A document the reader took names nothing outside the device.
void ExpectInTheDevice(const SetupDocument& document)
{
    EXPECT_TRUE(IsPlainName(document.appName));
    EXPECT_TRUE(document.installDir.empty() || IsDevicePath(document.installDir));
    for (const std::wstring& folder : document.folders)
        EXPECT_TRUE(IsDevicePath(folder));
    for (const InstalledFile& file : document.files)
        EXPECT_TRUE(IsDevicePath(file.target) && IsPlainName(file.source));
    for (const RegistryKey& key : document.keys)
        EXPECT_FALSE(IsInstallersKey(key.root, key.path));
}

// The names a CAB or a record may give, and those it may not.
TEST(DeviceNames, OnlyPlainNamesAndPathsThatStayInTheDevicePass)
{
    const struct
    {
        const wchar_t* name;
        bool plain;
    } names[] = {
        {L"mesolune.dll", true}, {L"Mesolune", true}, {L"a b.txt", true}, {L"", false}, {L".", false},
        {L"..", false}, {L"a\\b", false}, {L"a/b", false}, {L"c:x", false}, {L"CON", false}, {L"con.txt", false},
        {L"NUL", false}, {L"aux", false}, {L"COM1", false}, {L"lpt9.dll", false}, {L"COM10", true},
        {L"name.", false}, {L"name ", false}, {L"na\tme", false}, {L"na\x01me", false}, {L"a*b", false},
        {L"a?b", false}, {L"a|b", false}, {L"a<b>", false}, {L"a\"b", false}, {L"COM1 .log", false},
        {L"com1  ", false}, {L"Lpt1 .txt.x", false}, {L"COM0", false}, {L"COM\u00B9", false}, {L"LPT\u00B3.dll", false},
        {L"CONIN$", false}, {L"conout$.txt", false}, {L"NUL .x", false}, {L"COM1x.log", true}, {L"COMA", true},
        {L"x COM1", true}, {L"CONSOLE", true},
    };
    for (const auto& n : names)
        EXPECT_EQ(n.plain, IsPlainName(n.name)) << testing::PrintToString(std::wstring(n.name));
    const struct
    {
        const wchar_t* path;
        bool device;
    } paths[] = {
        {L"\\Windows\\mesolune.dll", true}, {L"\\Program Files\\Mesolune", true}, {L"\\Windows", true},
        {L"Windows\\x", false}, {L"\\", false}, {L"\\\\server\\share", false}, {L"\\Windows\\..\\..\\x", false},
        {L"\\Windows\\.\\x", false}, {L"\\Windows\\", false}, {L"\\C:\\x", false}, {L"\\Windows\\CON", false},
        {L"\\Windows\\COM1 .log", false}, {L"\\COM2\\x.txt", false}, {L"\\Temp\\aux .c\\x", false},
    };
    for (const auto& p : paths)
        EXPECT_EQ(p.device, IsDevicePath(p.path)) << testing::PrintToString(std::wstring(p.path));
    EXPECT_TRUE(SameName(L"\\Windows\\MESOLUNE.DLL", L"\\windows\\mesolune.dll"));
}

// The XML the installer's reader takes, and what it refuses: a document cut
// short inside an element is among them.
TEST(XmlTree, ReadsWellFormedDocumentsAndRefusesTheRest)
{
    const struct
    {
        const wchar_t* text;
        bool read;
    } documents[] = {
        {L"<a/>", true},
        {L"\xFEFF<?xml version=\"1.0\"?>\n<!-- c --><a x='1' y=\"&amp;&#65;&#x42;\"><b/>text &lt;</a>\n", true},
        {L"<a><b></a>", false},
        {L"<a><b/>", false},
        {L"<a><b/> provisioningdoc>", false},
        {L"<a/><b/>", false},
        {L"<a x='1' x='2'/>", false},
        {L"<a x=1/>", false},
        {L"<a x='<'/>", false},
        {L"<a>&unknown;</a>", false},
        {L"<a>&#0;</a>", false},
        {L"<a>&#xD800;</a>", false},
        {L"<!DOCTYPE a [<!ENTITY e 'x'>]><a/>", false},
        {L"<a><![CDATA[x]]></a>", false},
        {L"<a><!-- -- --></a>", false},
        {L"<a><?pi x?></a>", false},
        {L"", false},
        {L"<1a/>", false},
        {L"<a>", false},
    };
    for (const auto& d : documents) {
        XmlElement root;
        std::wstring error;
        EXPECT_EQ(d.read, ReadXmlTree(d.text, root, error)) << testing::PrintToString(std::wstring(d.text));
        EXPECT_EQ(d.read, error.empty());
    }
    XmlElement root;
    std::wstring error;
    ASSERT_TRUE(ReadXmlTree(L"<a x='1 &amp;\t2'><b/><c><d/></c></a>", root, error));
    EXPECT_EQ(L"1 & 2", *root.Attribute(L"x"));
    ASSERT_EQ(2u, root.children.size());
    EXPECT_EQ(L"d", root.children[1].children.at(0).name);
    std::wstring deep;
    for (unsigned level = 0; level <= kMaxXmlDepth; ++level)
        deep = L"<e>" + deep + L"</e>";
    EXPECT_FALSE(ReadXmlTree(deep, root, error));
}

TEST(InstallerFuzz, MutatedCabsAreRefusedOrUnpackedIntoTheirFolderOnly)
{
    const std::vector<char> cab = ReadAll(BinFolder() + L"Mesolune.cab");
    ASSERT_GT(cab.size(), 100u);
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    const std::wstring temp(temporary, wcslen(temporary) - 1);
    const TempFile file(L".cab");
    std::mt19937 random(1);
    unsigned unpacked = 0;
    for (unsigned seed = 0; seed < Seeds(); ++seed) {
        Write(file.Path(), Mutated(cab, random, 64));
        const std::vector<std::wstring> before = Listing(temp);
        {
            const StagingFolder staging;
            ASSERT_TRUE(staging.Made());
            std::wstring error;
            if (UnpackCabinet(file.Path(), staging.Path(), error)) {
                ++unpacked;
                SetupDocument document;
                if (staging.Holds(L"_setup.xml") &&
                    ReadSetupDocument(staging.Path() + L"\\_setup.xml", document, error))
                    ExpectInTheDevice(document);
            } else {
                EXPECT_FALSE(error.empty());
            }
        }
        ASSERT_EQ(before, Listing(temp)) << "seed " << seed << " left something beside its folder";
    }
    EXPECT_GT(unpacked, 0u) << "no mutation was ever unpacked: the test tests nothing";
}

TEST(InstallerFuzz, MutatedSetupDocumentsAreRefusedOrNameOnlyTheDevice)
{
    const StagingFolder original;
    std::wstring error;
    ASSERT_TRUE(UnpackCabinet(BinFolder() + L"Mesolune.cab", original.Path(), error)) << error.c_str();
    const std::vector<char> document = ReadAll(original.Path() + L"\\_setup.xml");
    const TempFile file(L".xml");
    std::mt19937 random(2);
    unsigned read = 0;
    for (unsigned seed = 0; seed < Seeds(); ++seed) {
        Write(file.Path(), Mutated(document, random, document.size()));
        SetupDocument parsed;
        if (ReadSetupDocument(file.Path(), parsed, error)) {
            ++read;
            ExpectInTheDevice(parsed);
        }
    }
    EXPECT_GT(read, 0u) << "no mutation was ever read: the test tests nothing";
}

} // namespace
