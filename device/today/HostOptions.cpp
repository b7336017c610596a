#include "HostOptions.h"

#include <devicescreen.h>

#include <cwchar>

namespace {

bool IsProfile(const std::wstring& name)
{
    for (int i = 0; DeviceProfileName(i); ++i)
        if (name == DeviceProfileName(i))
            return true;
    return false;
}

std::wstring ProfileNames()
{
    std::wstring names;
    for (int i = 0; DeviceProfileName(i); ++i)
        names += (i ? L", " : L"") + std::wstring(DeviceProfileName(i));
    return names;
}

std::optional<SYSTEMTIME> ParseTime(const std::wstring& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    wchar_t end = 0;
    const int fields = std::swscanf(text.c_str(), L"%4d-%2d-%2dT%2d:%2d:%2d%lc", &year, &month, &day, &hour,
        &minute, &second, &end);
    if (fields != 5 && fields != 6)
        return std::nullopt;
    if (text.size() != (fields == 5 ? 16u : 19u))
        return std::nullopt;
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    // The round trip rejects impossible dates and fills in the weekday.
    FILETIME file;
    if (!SystemTimeToFileTime(&time, &file) || !FileTimeToSystemTime(&file, &time))
        return std::nullopt;
    if (time.wDay != day || time.wMonth != month)
        return std::nullopt;
    return time;
}

} // namespace

std::wstring HostUsage()
{
    return L"usage: today [--profile NAME] [--landscape] [--time YYYY-MM-DDTHH:MM[:SS]] [--ticks N]\n"
           L"             [--options NAME] [--input SCRIPT] [--screenshot FILE.png]\n"
           L"  --profile     the device's screen, kept by the device for its other programs: " +
           ProfileNames() +
           L"\n"
           L"  --landscape   the screen turned a quarter at start (R turns it on the Today screen)\n"
           L"  --time        set the device clock before the items load\n"
           L"  --ticks       start the device's tick count at N milliseconds (0..4294967295)\n"
           L"  --options     open the options of the item NAME (as F2 or the soft key does)\n"
           L"  --input       play a script of stylus and key input once the screen is up:\n"
           L"                  tap X,Y | hold X,Y | stroke X1,Y1 X2,Y2 | key left|right|up|down|enter|f2|escape|r\n"
           L"                  | wait MS | rotate   (one a line or separated by ';', '#' comments, screen pixels)\n"
           L"  --screenshot  write the Today screen as a PNG once it has settled (after the\n"
           L"                script, if any), then exit\n";
}

std::wstring ParseHostOptions(const std::vector<std::wstring>& args, HostOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == L"--help" || arg == L"-h") {
            options.help = true;
        } else if (arg == L"--time") {
            if (!hasValue)
                return L"--time needs a value";
            options.time = ParseTime(args[++i]);
            if (!options.time)
                return L"--time: not a date and time of the form YYYY-MM-DDTHH:MM[:SS]: " + args[i];
        } else if (arg == L"--ticks") {
            if (!hasValue)
                return L"--ticks needs a value";
            const std::wstring& value = args[++i];
            wchar_t* end = nullptr;
            const unsigned long long ticks = std::wcstoull(value.c_str(), &end, 10);
            if (value.empty() || *end != L'\0' || value[0] == L'-' || ticks > 0xFFFFFFFFull)
                return L"--ticks: not a tick count: " + value;
            options.ticks = static_cast<DWORD>(ticks);
        } else if (arg == L"--options") {
            if (!hasValue)
                return L"--options needs an item name";
            options.options = args[++i];
        } else if (arg == L"--input") {
            if (!hasValue)
                return L"--input needs a script file";
            options.input = args[++i];
        } else if (arg == L"--profile") {
            if (!hasValue)
                return L"--profile needs a profile name";
            options.profile = args[++i];
            if (!IsProfile(options.profile))
                return L"--profile: no such profile: " + options.profile + L" (" + ProfileNames() + L")";
        } else if (arg == L"--landscape") {
            options.landscape = true;
        } else if (arg == L"--screenshot") {
            if (!hasValue)
                return L"--screenshot needs a file name";
            options.screenshot = args[++i];
        } else {
            return L"unknown argument: " + arg;
        }
    }
    return L"";
}
