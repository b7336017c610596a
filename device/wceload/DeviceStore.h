// Where installed files lie: the device's store, its RAM, whose files stand
// in for the ROM's of the same name.
#pragma once

#include <string>
#include <vector>

// What lies at a desktop path.
bool IsFolder(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool IsEmptyFolder(const std::wstring& path);

// The whole of a file of at most limit bytes; false when it cannot be read
// or (tooLarge) holds more.
bool ReadWholeFile(const std::wstring& path, unsigned long limit, std::string& bytes, bool& tooLarge);

// The desktop's name for a device path, in the device's store.
std::wstring StorePath(const std::wstring& devicePath);

// Makes the device folder and those above it that are missing (the store
// itself too); the device folders it made are added to made, outermost
// first. False when it cannot be made.
bool MakeFolders(const std::wstring& deviceFolder, std::vector<std::wstring>& made);

// Removes a desktop folder with the files it holds (not folders within).
void RemoveFolderAndFiles(const std::wstring& folder);

// A folder of its own in the temporary folder, removed with what it holds.
class StagingFolder
{
public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    bool Made() const { return made_; }
    bool Holds(const std::wstring& name) const;
    // The names of the files it holds.
    std::vector<std::wstring> Members() const;

private:
    std::wstring path_;
    bool made_ = false;
};
