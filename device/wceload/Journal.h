// An installation or removal as one change of the device: before the
// installer changes a file, a folder, a registry key or value, it notes in
// the journal how to undo that (what a file held, kept as a copy; what a
// value was), so that a change that fails, or an installer killed at any
// point, leaves the device as it was: the next start of the installer or
// the Today screen undoes what the journal says. The journal lies in the
// device's registry (HKLM\Software\AppMgr\Journal) and its copies in its
// store (\Windows\AppMgr\Undo), where no CAB may write.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class Journal
{
public:
    // A journal for a change of the application appName; Began() says
    // whether it could be started.
    explicit Journal(const std::wstring& appName);
    // Undoes what was done unless it was kept.
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool Began() const { return began_; }

    // Each notes how to undo what the caller is about to do; false when the
    // note cannot be written, and then the caller must not do it.
    bool FileWritten(const std::wstring& devicePath);  // written or deleted
    bool FolderMade(const std::wstring& deviceFolder);
    bool FolderRemoved(const std::wstring& deviceFolder);
    bool KeyMade(HKEY root, const std::wstring& rootName, const std::wstring& path);
    bool KeyRemoved(HKEY root, const std::wstring& rootName, const std::wstring& path);
    // A key's every value as it is now (set or deleted after).
    bool KeyChanged(HKEY root, const std::wstring& rootName, const std::wstring& path);

    // The change is kept: the journal and its copies go.
    void Keep();
    // Undoes what was done, newest first.
    void Undo();

    // Whether an unfinished change is in the journal, and undoing it (the
    // application it was for in appName); false when there was none.
    static bool Pending(std::wstring* appName = nullptr);
    static bool UndoPending(std::wstring& appName);

private:
    bool Note(const std::wstring& step, const std::vector<BYTE>& data = {});
    static void UndoSteps();
    static void Forget();

    bool began_ = false;
    bool done_ = false;
    unsigned steps_ = 0;
};
