// The installer's readers of what a CAB brings, fed mutations of the
// calendar's own CAB, of its setup file and of its _setup.xml (that of the
// tests' CAB of the calendar): they refuse or read, never
// crash or hang, and write nothing but the CAB's members into the folder
// they unpack into; what a document they read names lies in the device.
// FUZZ_SEEDS sets how many of each (a few thousand by default).
#include "Cabinet.h"
#include "DeviceNames.h"
#include "DeviceProgram.h"
#include "DeviceStore.h"
#include "Mutation.h"
#include "SetupDocument.h"
#include "SetupFile.h"
#include "SetupInstructions.h"
#include "XmlTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace deviceprogram;
using namespace mutation;

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
        {L"<?xml version='1.0' encoding=\"UTF-8\" standalone='yes' ?><a/>", true},
        {L"<?xml version=\"1.0\" <!DOCTYPE a [<!ENTITY e 'x'>]> ?><a>&e;</a>", false},
        {L"<?xml version=\"1.0\" <!DOCTYPE a [<!ENTITY e 'x'>]> ?><a/>", false},
        {L"<?xml version=\"1.0\" doctype=\"a\"?><a/>", false},
        {L"<?xml encoding=\"UTF-8\" version=\"1.0\"?><a/>", false},
        {L"<?xml version=\"1.0\" version=\"1.0\"?><a/>", false},
        {L"<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>", false},
        {L"<?xml version=\"2.0\"?><a/>", false},
        {L"<?xml version=\"1.0' ?><a/>", false},
        {L"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", false},
        {L"<?xml version=\"1.0\" encoding=\"-x\"?><a/>", false},
        {L"<?xml ?><a/>", false},
        {L"<?xml version=\"1.0\"", false},
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
                if (ReadSetupInstructions(file.Path(), staging, document, error))
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
    ASSERT_TRUE(UnpackCabinet(BinFolder() + L"test_told.cab", original.Path(), error)) << error.c_str();
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

// The calendar CAB's setup file and its members' names, unpacked.
struct CalendarSetupFile
{
    StagingFolder staging;
    std::vector<char> bytes;
    std::vector<std::wstring> members;

    CalendarSetupFile()
    {
        std::wstring error;
        EXPECT_TRUE(UnpackCabinet(BinFolder() + L"Mesolune.cab", staging.Path(), error)) << error.c_str();
        bytes = ReadAll(staging.Path() + L"\\mesolune.000");
        members = staging.Members();
    }
};

std::uint32_t Dword(const std::vector<char>& bytes, size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

template <typename T>
void Put(std::vector<char>& bytes, size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

TEST(SetupFile, TheCalendarsSetupFileIsReadAsItsCabMeansIt)
{
    const CalendarSetupFile cab;
    const TempFile file(L".000");
    Write(file.Path(), cab.bytes);
    SetupDocument document;
    SetupFileTarget target;
    std::wstring error;
    ASSERT_TRUE(ReadSetupFile(file.Path(), cab.members, document, target, error)) << error.c_str();
    EXPECT_EQ(L"Mesolune", document.appName);
    EXPECT_EQ(L"\\Windows", document.installDir);
    EXPECT_EQ(L"mesolune.999", document.setupDll);
    ASSERT_EQ(1u, document.files.size());
    EXPECT_EQ(L"\\Windows\\mesolune.dll", document.files[0].target);
    EXPECT_EQ(L"mesolune.001", document.files[0].source);
    ASSERT_EQ(1u, document.keys.size());
    EXPECT_EQ(L"HKLM", document.keys[0].rootName);
    EXPECT_EQ(L"Software\\Microsoft\\Today\\Items\\Mesolune", document.keys[0].path);
    ASSERT_EQ(6u, document.keys[0].values.size());
    EXPECT_EQ(L"DLL", document.keys[0].values[0].name);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), document.keys[0].values[0].type);
    const std::wstring dll(reinterpret_cast<const wchar_t*>(document.keys[0].values[0].data.data()));
    EXPECT_EQ(L"\\Windows\\mesolune.dll", dll);
    EXPECT_EQ(L"Type", document.keys[0].values[1].name);
    EXPECT_EQ((std::vector<BYTE>{4, 0, 0, 0}), document.keys[0].values[1].data);
    EXPECT_EQ(3u, target.minMajor);
    EXPECT_EQ(0u, target.minMinor);
    EXPECT_FALSE(target.unsupportedOnPocketPc);
}

// Each lie a setup file can tell about its own tables, planted in the
// calendar's, is refused with what it lies about.
TEST(SetupFile, ASetupFileThatLiesIsRefusedWithWhatItLiesAbout)
{
    const CalendarSetupFile cab;
    ASSERT_GT(cab.bytes.size(), 100u);
    const size_t strings = Dword(cab.bytes, 60), dirs = Dword(cab.bytes, 64), files = Dword(cab.bytes, 68),
                 hives = Dword(cab.bytes, 72), values = Dword(cab.bytes, 76);
    const std::vector<std::wstring> withoutModule = {L"mesolune.000", L"mesolune.999"};
    const std::vector<std::wstring> twoLibraries = {L"mesolune.000", L"mesolune.001", L"mesolune.999", L"x.999"};
    const struct
    {
        const char* lie;
        std::function<void(std::vector<char>&)> plant;
        std::vector<std::wstring> members;
        const wchar_t* says;
    } cases[] = {
        {"another signature", [](auto& b) { b[3] = 'X'; }, {}, L"no MSCE header"},
        {"its length", [](auto& b) { Put<std::uint32_t>(b, 8, Dword(b, 8) + 1); }, {}, L"bytes long and is"},
        {"a section past its end", [&](auto& b) { Put<std::uint32_t>(b, 68, static_cast<std::uint32_t>(b.size())); },
            {}, L"ends within its files section"},
        {"strings past its end", [](auto& b) { Put<std::uint32_t>(b, 60, static_cast<std::uint32_t>(b.size() - 2)); },
            {}, L"ends within its strings section"},
        {"no strings", [](auto& b) { Put<std::uint16_t>(b, 48, 0); }, {}, L"names a string it has not"},
        {"a string without its null", [&](auto& b) { b[strings + 4 + Dword(b, strings + 2) % 0x10000 - 1] = 'x'; },
            {}, L"no ASCII text"},
        {"a path without its 0", [&](auto& b) { Put<std::uint16_t>(b, dirs + 6, 1); }, {},
            L"does not end with its one 0"},
        {"an unknown folder", [&](auto& b) { b[strings + 7] = '9'; }, {}, L"installs into a folder it may not"},
        {"a file's folder", [&](auto& b) { Put<std::uint16_t>(b, files + 2, 7); }, {}, L"in a folder it has not"},
        {"a shared file", [&](auto& b) { Put<std::uint32_t>(b, files + 6, 0x80000000); }, {},
            L"does not do with mesolune.dll"},
        {"a file's member", [&](auto& b) { Put<std::uint16_t>(b, files, 5); }, {}, L"from a member the CAB has not"},
        {"a missing member", [](auto&) {}, withoutModule, L"from a member the CAB has not"},
        {"two setup libraries", [](auto&) {}, twoLibraries, L"more than one setup library"},
        {"a registry root", [&](auto& b) { Put<std::uint16_t>(b, hives + 2, 5); }, {},
            L"registry root the device has not"},
        {"a value's key", [&](auto& b) { Put<std::uint16_t>(b, values + 2, 9); }, {}, L"in a key it has not"},
        {"a value's flags", [&](auto& b) { Put<std::uint32_t>(b, values + 6, 0x2); }, {},
            L"does not do with a registry value"},
        {"a value's type", [&](auto& b) { Put<std::uint32_t>(b, values + 6, 0x00010001); }, {},
            L"as no 32-bit number"},
        {"links", [](auto& b) { Put<std::uint16_t>(b, 58, 1); }, {}, L"links"},
    };
    const TempFile file(L".000");
    for (const auto& c : cases) {
        std::vector<char> bytes = cab.bytes;
        c.plant(bytes);
        Write(file.Path(), bytes);
        SetupDocument document;
        SetupFileTarget target;
        std::wstring error;
        EXPECT_FALSE(ReadSetupFile(file.Path(), c.members.empty() ? cab.members : c.members, document, target, error))
            << c.lie;
        EXPECT_NE(std::wstring::npos, error.find(c.says)) << c.lie << ": " << testing::PrintToString(error);
    }
}

TEST(InstallerFuzz, MutatedSetupFilesAreRefusedOrNameOnlyTheDevice)
{
    const CalendarSetupFile cab;
    const TempFile file(L".000");
    std::mt19937 random(3);
    unsigned read = 0;
    for (unsigned seed = 0; seed < Seeds(); ++seed) {
        Write(file.Path(), Mutated(cab.bytes, random, 100));
        SetupDocument document;
        SetupFileTarget target;
        std::wstring error;
        if (ReadSetupFile(file.Path(), cab.members, document, target, error)) {
            ++read;
            ExpectInTheDevice(document);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(read, 0u) << "no mutation was ever read: the test tests nothing";
}

// Base64 as the one spelling of some bytes, written here apart from the
// installer's reader.
template <typename Byte>
std::wstring Base64(const std::vector<Byte>& bytes)
{
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - at);
        std::uint32_t bits = 0;
        for (size_t i = 0; i < 3; ++i)
            bits = bits << 8 | (i < n ? bytes[at + i] : 0u);
        for (size_t i = 0; i < 4; ++i)
            text += i <= n ? static_cast<wchar_t>(alphabet[(bits >> (18 - 6 * i)) & 63]) : L'=';
    }
    return text;
}

// The bytes base64 text stands for, read as leniently as can be: whatever
// is not of its alphabet skipped, up to the first '='.
std::vector<BYTE> LenientlyDecoded(const std::wstring& text)
{
    const std::wstring alphabet = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<BYTE> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (wchar_t c : text.substr(0, text.find(L'='))) {
        const size_t value = alphabet.find(c);
        if (value == std::wstring::npos)
            continue;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        if ((count += 6) >= 8)
            bytes.push_back(static_cast<BYTE>(bits >> (count -= 8)));
    }
    return bytes;
}

// What a registry value's text is as its datatype says, or nothing: an
// integer is decimal (perhaps negative) or 0x hexadecimal within 32 bits.
bool IsExactInteger(const std::wstring& text, DWORD& number)
{
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] | 0x20) == L'x';
    const bool negative = !hex && !text.empty() && text[0] == L'-';
    const std::wstring digits = text.substr(hex ? 2 : negative ? 1 : 0);
    if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
        digits.find_first_not_of(hex ? L"0123456789abcdefABCDEF" : L"0123456789") != std::wstring::npos)
        return false;
    const unsigned long long value = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull))
        return false;
    number = static_cast<DWORD>(negative ? 0 - value : value);
    return true;
}

// A registry value's text, mutated as a hostile CAB would: spaced, signed,
// cut, lengthened, a character changed.
std::wstring MutatedValue(std::wstring text, std::mt19937& random)
{
    const wchar_t* inserts[] = {L" ", L"\xA0", L"+", L"-", L"=", L"/", L"0", L"9", L"A", L"x", L"\xFF21"};
    const auto at = [&](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit)(random); };
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
        text.insert(at(text.size()), inserts[at(std::size(inserts) - 1)]);
        break;
    case 1:
        if (!text.empty())
            text.erase(at(text.size() - 1), 1);
        break;
    case 2:
        if (!text.empty())
            text[at(text.size() - 1)] = inserts[at(std::size(inserts) - 1)][0];
        break;
    default:
        text += text;
        break;
    }
    return text;
}

// Every registry value of a document is installed only when its text is
// exactly of its datatype, as the same bytes; an unknown datatype refuses
// the CAB.
TEST(InstallerFuzz, RegistryValuesAreTakenOnlyWhenExactlyOfTheirDatatype)
{
    const TempFile file(L".xml");
    std::mt19937 random(3);
    const wchar_t* const datatypes[] = {L"integer", L"binary", L"string", L"Integer", L"dword", L"", L"integer "};
    unsigned taken = 0, refused = 0;
    for (unsigned seed = 0; seed < Seeds(); ++seed) {
        const std::wstring datatype = datatypes[std::uniform_int_distribution<size_t>(0, std::size(datatypes) - 1)(random)];
        std::vector<unsigned char> bytes(std::uniform_int_distribution<size_t>(0, 9)(random));
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(random());
        std::wstring text;
        if (datatype == L"binary")
            text = Base64(bytes);
        else if (std::uniform_int_distribution<int>(0, 1)(random))
            text = std::to_wstring(static_cast<std::int64_t>(random()) - 0x80000000ll);
        else
            text = L"0x" + std::to_wstring(random() % 100000);
        if (std::uniform_int_distribution<int>(0, 2)(random))
            text = MutatedValue(text, random);
        std::wstring escaped;
        for (wchar_t c : text)
            escaped += c == L'&' ? L"&amp;" : c == L'<' ? L"&lt;" : c == L'"' ? L"&quot;" : std::wstring(1, c);
        const std::wstring xml = L"<wap-provisioningdoc><characteristic type=\"Install\">"
                                 L"<parm name=\"AppName\" value=\"Fuzz\"/><parm name=\"InstallDir\" value=\"%CE1%\\Fuzz\"/>"
                                 L"</characteristic><characteristic type=\"Registry\">"
                                 L"<characteristic type=\"HKCU\\Software\\Fuzz\"><parm name=\"V\" value=\"" +
                                 escaped + L"\" datatype=\"" + datatype + L"\"/></characteristic></characteristic>"
                                 L"</wap-provisioningdoc>";
        std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, xml.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, xml.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
        utf8.pop_back();
        Write(file.Path(), std::vector<char>(utf8.begin(), utf8.end()));

        SetupDocument parsed;
        std::wstring error;
        const bool read = ReadSetupDocument(file.Path(), parsed, error);
        SCOPED_TRACE(testing::PrintToString(xml));
        DWORD number = 0;
        std::vector<BYTE> expected;
        bool exact = false;
        if (datatype == L"integer" && IsExactInteger(text, number)) {
            exact = true;
            expected.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4);
        } else if (datatype == L"binary" && Base64(LenientlyDecoded(text)) == text) {
            exact = true;
            expected = LenientlyDecoded(text);
        } else if (datatype == L"string") {
            exact = true;
            const std::wstring withEnd = text + L'\0';
            const auto* data = reinterpret_cast<const BYTE*>(withEnd.c_str());
            expected.assign(data, data + withEnd.size() * sizeof(wchar_t));
        }
        ASSERT_EQ(exact, read) << testing::PrintToString(error);
        if (!read) {
            EXPECT_FALSE(error.empty());
            ++refused;
            continue;
        }
        ++taken;
        ASSERT_EQ(1u, parsed.keys.size());
        ASSERT_EQ(1u, parsed.keys[0].values.size());
        EXPECT_EQ(expected, parsed.keys[0].values[0].data);
        EXPECT_EQ(datatype == L"integer" ? REG_DWORD : datatype == L"binary" ? REG_BINARY : REG_SZ,
            parsed.keys[0].values[0].type);
    }
    EXPECT_GT(taken, 0u);
    EXPECT_GT(refused, 0u);
}

} // namespace
