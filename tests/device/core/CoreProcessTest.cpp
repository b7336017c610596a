// coredll's process creation: Windows CE's program paths and argument-only
// command lines; and the device's file names, which never lead out of it.
#include "DeviceProgram.h"

#include <devicefiles.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using deviceprogram::TempFile;

std::vector<std::wstring> Lines(const std::wstring& path)
{
    std::vector<std::wstring> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    wchar_t buffer[4096] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - sizeof(wchar_t), &read, nullptr);
    CloseHandle(file);
    std::wstring text(buffer, read / sizeof(wchar_t));
    std::wistringstream stream(text);
    for (std::wstring line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// Windows CE declares the arguments const; the desktop's header does not.
LPWSTR Args(const wchar_t* text)
{
    return const_cast<LPWSTR>(text);
}

// Arguments in memory the callee must not write to.
class ReadOnlyText
{
public:
    explicit ReadOnlyText(const std::wstring& text)
    {
        page_ = static_cast<wchar_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        text.copy(page_, text.size());
        page_[text.size()] = L'\0';
        DWORD old;
        VirtualProtect(page_, 4096, PAGE_READONLY, &old);
    }
    ~ReadOnlyText() { VirtualFree(page_, 0, MEM_RELEASE); }
    const wchar_t* Get() const { return page_; }

private:
    wchar_t* page_;
};

bool EndsWithNoCase(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() &&
           CompareStringOrdinal(text.c_str() + text.size() - end.size(), -1, end.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST(CoreProcess, TheDevicePathAndTheArgumentsReachTheProgram)
{
    TempFile out(L".txt");
    const ReadOnlyText arguments(L"\"" + out.Path() + L"\" second");
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(L"\\Windows\\cmdline_probe.exe", Args(arguments.Get()), nullptr, nullptr, FALSE, 0, nullptr,
        nullptr, nullptr, &info));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, waiting::kDeadlineMs)) << "the probe did not end";
    DWORD code = 99;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(0u, code);
    const std::vector<std::wstring> argv = Lines(out.Path());
    ASSERT_EQ(3u, argv.size());
    EXPECT_TRUE(EndsWithNoCase(argv[0], L"\\cmdline_probe.exe")) << std::string(argv[0].begin(), argv[0].end());
    EXPECT_EQ(deviceprogram::BinFolder() + L"cmdline_probe.exe", argv[0]);
    EXPECT_EQ(out.Path(), argv[1]);
    EXPECT_EQ(L"second", argv[2]);
}

TEST(CoreProcess, WithoutAProcessRecordNoHandleIsLeft)
{
    TempFile out(L".txt");
    const std::wstring arguments = L"\"" + out.Path() + L"\"";
    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    ASSERT_TRUE(CreateProcessW(L"\\Windows\\cmdline_probe.exe", Args(arguments.c_str()), nullptr, nullptr, FALSE, 0,
        nullptr, nullptr, nullptr, nullptr));
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(before, after);
    waiting::Until([&] { return !Lines(out.Path()).empty(); }, "the probe's lines");
    EXPECT_EQ(2u, Lines(out.Path()).size());
}

TEST(CoreFiles, ADevicePathThatLeadsOutOfTheDeviceNamesNoFile)
{
    wchar_t store[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(L"\\", store, MAX_PATH));
    const struct
    {
        const wchar_t* name;
        bool named;
    } names[] = {
        {L"\\My Documents\\note.txt", true}, {L"\\Windows\\cmdline_probe.exe", true}, {L"note.txt", true},
        {L"\\..\\note.txt", false}, {L"\\My Documents\\..\\..\\note.txt", false},
        {L"\\Windows\\..\\..\\note.txt", false}, {L"\\Windows\\.\\note.txt", false}, {L"..", false},
        {L"\\C:\\note.txt", false}, {L"\\Windows\\C:note.txt", false},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(n.name)));
        EXPECT_EQ(n.named, DeviceFilePath(n.name, path, MAX_PATH) != 0);
        EXPECT_EQ(n.named, DeviceStorePath(n.name, path, MAX_PATH) != 0);
        if (n.named) {
            EXPECT_EQ(0, _wcsnicmp(path, store, wcslen(store) - 1)) << "outside the store: " << path;
        }
    }
    ASSERT_NE(0u, DeviceFilePath(L"\\Windows\\cmdline_probe.exe", path, MAX_PATH));
    EXPECT_EQ(deviceprogram::BinFolder() + L"cmdline_probe.exe", path);
    PROCESS_INFORMATION info = {};
    EXPECT_FALSE(CreateProcessW(L"\\Windows\\..\\Windows\\cmdline_probe.exe", Args(L""), nullptr, nullptr, FALSE,
        0, nullptr, nullptr, nullptr, &info));
}

// A file in the store's Windows folder never runs as a program: only the
// ROM's programs start, whatever the store holds beside or over them.
TEST(CoreProcess, OnlyTheRomsProgramsStart)
{
    wchar_t folder[MAX_PATH], over[MAX_PATH], beside[MAX_PATH];
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows", folder, MAX_PATH));
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows\\cmdline_probe.exe", over, MAX_PATH));
    ASSERT_NE(0u, DeviceStorePath(L"\\Windows\\stored_probe.exe", beside, MAX_PATH));
    // The store's folders, which a new device has not made yet.
    deviceprogram::MakeFolders(folder);
    deviceprogram::WriteTextFile(over, "not a program");
    ASSERT_TRUE(CopyFileW((deviceprogram::BinFolder() + L"cmdline_probe.exe").c_str(), beside, FALSE));
    TempFile out(L".txt");
    const std::wstring arguments = L"\"" + out.Path() + L"\"";
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessW(L"\\Windows\\cmdline_probe.exe", Args(arguments.c_str()), nullptr, nullptr,
        FALSE, 0, nullptr, nullptr, nullptr, &info);
    if (started) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, waiting::kDeadlineMs)) << "the probe did not end";
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    EXPECT_TRUE(started) << "the store's file was taken for the ROM's program";
    EXPECT_EQ(2u, Lines(out.Path()).size());
    EXPECT_FALSE(CreateProcessW(L"\\Windows\\stored_probe.exe", Args(arguments.c_str()), nullptr, nullptr, FALSE, 0,
        nullptr, nullptr, nullptr, &info));
    EXPECT_FALSE(CreateProcessW(L"stored_probe.exe", Args(arguments.c_str()), nullptr, nullptr, FALSE, 0, nullptr,
        nullptr, nullptr, &info));
    DeleteFileW(over);
    DeleteFileW(beside);
}

TEST(CoreProcess, AMissingProgramIsNotStarted)
{
    PROCESS_INFORMATION info = {};
    EXPECT_FALSE(CreateProcessW(L"\\Windows\\no_such_program.exe", Args(L""), nullptr, nullptr, FALSE, 0, nullptr,
        nullptr, nullptr, &info));
    EXPECT_FALSE(CreateProcessW(nullptr, Args(L"x"), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(nullptr, info.hProcess);
}

TEST(CoreProcess, TheItemsCallOpensTheAlarmsPage)
{
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(L"\\Windows\\ctlpnl.exe", Args(L"cplmain.cpl,16,1"), nullptr, nullptr, FALSE, 0, nullptr,
        nullptr, nullptr, &info));
    HWND page = deviceprogram::AwaitWindow(L"#32770", L"Будильники");
    ASSERT_NE(nullptr, page);
    PostMessageW(page, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, waiting::kDeadlineMs)) << "the page did not end";
    DWORD code = 99;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(1u, code); // closed without saving
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

} // namespace
