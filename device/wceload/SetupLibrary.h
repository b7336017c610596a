// A CAB's setup library, whichever processor it is built for: its four
// functions called as a Pocket PC's installer calls them.
#pragma once

#include "ChangeWatch.h"

#include <windows.h>

#include <memory>
#include <string>

// What the four functions answer (a Pocket PC's ce_setup.h).
enum class SetupAnswer
{
    Continue, // Install_Init, Uninstall_Init: go on; Install_Exit, Uninstall_Exit: done
    Cancel,   // Install_Init, Uninstall_Init: leave everything as it is
    Undo,     // Install_Exit: the installation failed; remove it
};

// How long each of a setup library's functions may take, its waits
// included (it may wait for a Today screen to let go of a module). One that
// takes longer is stopped: an ARM library's module ends; the installer
// running a library built for this processor ends (its supervisor undoes
// the change).
constexpr unsigned kSetupCallMilliseconds = 30000;
// The installer's exit status when a setup library did not answer in time.
constexpr int kExitSetupHung = 3;

struct FailedCounts
{
    WORD folders = 0, files = 0, keys = 0, values = 0, shortcuts = 0;
};

class SetupLibrary
{
public:
    // The library at path (a desktop path); null with the reason when it
    // cannot be loaded. An ARM library's own changes of files and keys are
    // told to changes first, which outlives the library.
    static std::unique_ptr<SetupLibrary> Load(const std::wstring& path, armce::ChangeWatch& changes,
        std::wstring& error);
    virtual ~SetupLibrary() = default;

    // A function the library lacks answers Continue.
    virtual SetupAnswer InstallInit(bool firstCall, bool previouslyInstalled, const std::wstring& installDir) = 0;
    virtual SetupAnswer InstallExit(const std::wstring& installDir, const FailedCounts& failed) = 0;
    virtual SetupAnswer UninstallInit(const std::wstring& installDir) = 0;
    virtual SetupAnswer UninstallExit() = 0;
};
