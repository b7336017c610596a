#include "SetupInstructions.h"

#include "DeviceNames.h"
#include "SetupFile.h"

#include <deviceplatform.h>

#include <vector>

namespace {

constexpr wchar_t kSetupDocument[] = L"_setup.xml";
constexpr wchar_t kSetupFileExtension[] = L".000";
// Every ARM Pocket PC reports its processor as a StrongARM; 0 is any.
constexpr DWORD kStrongArm = 2577;

std::wstring Version(DWORD major, DWORD minor)
{
    return std::to_wstring(major) + L"." + std::to_wstring(minor);
}

// Whether (major, minor) comes before (otherMajor, otherMinor).
bool Before(DWORD major, DWORD minor, DWORD otherMajor, DWORD otherMinor)
{
    return major < otherMajor || (major == otherMajor && minor < otherMinor);
}

bool ForThisDevice(const std::wstring& cabPath, const SetupFileTarget& target, const DEVICE_PLATFORM& platform,
    std::wstring& error)
{
    const std::wstring device = std::wstring(platform.szTitle) + L" (Windows CE " +
                                Version(platform.dwMajorVersion, platform.dwMinorVersion) + L")";
    if (target.architecture != 0 && target.architecture != kStrongArm) {
        error = cabPath + L" is for another processor (" + std::to_wstring(target.architecture) +
                L") than this device's";
        return false;
    }
    if (target.unsupportedOnPocketPc) {
        error = cabPath + L" says it is not for a Pocket PC";
        return false;
    }
    const bool hasMin = target.minMajor || target.minMinor;
    const bool hasMax = target.maxMajor || target.maxMinor;
    if ((hasMin && Before(platform.dwMajorVersion, platform.dwMinorVersion, target.minMajor, target.minMinor)) ||
        (hasMax && Before(target.maxMajor, target.maxMinor, platform.dwMajorVersion, platform.dwMinorVersion))) {
        error = cabPath + L" is for Windows CE " + (hasMin ? Version(target.minMajor, target.minMinor) : L"") +
                L" to " + (hasMax ? Version(target.maxMajor, target.maxMinor) : L"") + L", and this device is " +
                device;
        return false;
    }
    return true;
}

} // namespace

bool ReadSetupInstructions(const std::wstring& cabPath, const StagingFolder& staging, SetupDocument& document,
    std::wstring& error)
{
    DEVICE_PLATFORM platform = {};
    DeviceGetPlatform(&platform);
    const std::vector<std::wstring> members = staging.Members();
    std::vector<std::wstring> setupFiles;
    for (const std::wstring& member : members)
        if (member.size() > 4 && SameName(member.substr(member.size() - 4), kSetupFileExtension))
            setupFiles.push_back(member);

    if ((platform.dwSetupFiles & DEVICE_SETUP_FILE) && !setupFiles.empty()) {
        if (setupFiles.size() > 1) {
            error = cabPath + L" has more than one setup file (.000)";
            return false;
        }
        SetupFileTarget target;
        if (!ReadSetupFile(staging.Path() + L"\\" + setupFiles.front(), members, document, target, error)) {
            error = cabPath + L": " + error;
            return false;
        }
        return ForThisDevice(cabPath, target, platform, error);
    }
    if ((platform.dwSetupFiles & DEVICE_SETUP_XML) && staging.Holds(kSetupDocument)) {
        if (!ReadSetupDocument(staging.Path() + L"\\" + kSetupDocument, document, error)) {
            error = cabPath + L": " + error;
            return false;
        }
        return true;
    }
    // The platform's own words for a CAB it finds no instructions in.
    error = L"The file \"" + cabPath + L"\" is not a valid Windows CE Setup file.";
    return false;
}
