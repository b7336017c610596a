// Black-box helpers: running the device's programs, the Today items in the
// registry, and PNG pictures read back.
#pragma once

#include "Waiting.h"

#include <windows.h>

#include <string>
#include <vector>

// A test of the Windows CE build without one skips.
#define SKIP_WITHOUT_CE_BUILD()                                                           \
    if (deviceprogram::CeBuildFile("").empty())                                           \
    GTEST_SKIP() << "no Windows CE build named (make ce builds one)"

namespace deviceprogram {

// The folder of the running test program, which holds the device's programs.
std::wstring BinFolder();
// A file of the Windows CE build (make ce), in the folder MESOLUNE_CE_DIR
// names, as the device's file functions name it; empty without that build.
std::wstring CeBuildFile(const std::string& relative);

// Runs a program of that folder (or one named by its whole path) with
// arguments and waits for it; its exit code, or -1 when it did not start or
// did not end within the time-out (a test failure that says so).
int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = waiting::kDeadlineMs);

// The same, with what the program wrote to its standard output and error.
int RunProgram(const std::wstring& program, const std::wstring& arguments, std::string& output,
    DWORD timeoutMs = waiting::kDeadlineMs);

// A program of that folder running beside the test; it is ended with the object.
class RunningProgram
{
public:
    // Its standard output and error go to output when that is given.
    RunningProgram(const std::wstring& program, const std::wstring& arguments, HANDLE output = nullptr);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    // Its first visible top-level window, waited for up to timeoutMs; null
    // (and a test failure) when none came.
    HWND WaitForWindow(DWORD timeoutMs = waiting::kDeadlineMs) const;
    // Its exit code, or -1 (and a test failure) when it has not ended
    // within timeoutMs.
    int WaitForExit(DWORD timeoutMs = waiting::kDeadlineMs);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    std::string name_; // its command line, for what a wait says
};

// The shown top-level window of a class and title (null: any) of whatever
// program, waited for; null (and a test failure) when none comes within the
// time-out.
HWND AwaitWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs = waiting::kDeadlineMs);

// Writes text into a file, replacing what it held.
void WriteTextFile(const std::wstring& path, const std::string& text);

// Makes a folder (a desktop path) and the folders it lies in.
void MakeFolders(const std::wstring& path);

// A file name in the temporary folder, removed when the object goes.
class TempFile
{
public:
    explicit TempFile(const std::wstring& suffix);
    ~TempFile();
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// The device's platform for the programs a test starts, while it lives; the
// platform of the test's own run afterwards.
class PlatformOfTheRun
{
public:
    explicit PlatformOfTheRun(const wchar_t* name);
    ~PlatformOfTheRun();
    PlatformOfTheRun(const PlatformOfTheRun&) = delete;
    PlatformOfTheRun& operator=(const PlatformOfTheRun&) = delete;

private:
    std::wstring before_;
    bool had_ = false;
};

// The Today items of the device, replaced for a test and put back afterwards.
class TodayItemsOverride
{
public:
    TodayItemsOverride();
    ~TodayItemsOverride();
    // An item selected with its consent unless selectability says otherwise.
    void Add(const std::wstring& name, const std::wstring& dll, DWORD order, DWORD enabled = 1, DWORD options = 0,
        DWORD selectability = 2);

private:
    struct Value
    {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Item
    {
        std::wstring name;
        std::vector<Value> values;
    };
    std::vector<Item> saved_;
};

struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Reads a PNG file; an empty picture when it cannot.
Picture ReadPng(const std::wstring& path);

} // namespace deviceprogram
