#include "Alarms.h"

#include "OwnedHandle.h"
#include "RegistryValues.h"

#include <string>

namespace {

std::wstring KeyOf(size_t number)
{
    return L"Software\\Microsoft\\Clock\\" + std::to_wstring(number);
}

} // namespace

Alarms LoadAlarms()
{
    Alarms alarms;
    for (size_t n = 0; n < alarms.size(); ++n) {
        UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyOf(n).c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            continue;
        BYTE flags[16] = {};
        DWORD size = sizeof flags;
        if (RegQueryValueExW(key.Get(), L"AlarmFlags", nullptr, nullptr, flags, &size) == ERROR_SUCCESS && size > 0)
            alarms[n].on = flags[0] != 0;
        const DWORD minutes = ReadNumber(key.Get(), L"AlarmTime", 24 * 60);
        if (minutes < 24 * 60) {
            alarms[n].hour = static_cast<int>(minutes / 60);
            alarms[n].minute = static_cast<int>(minutes % 60);
        }
    }
    return alarms;
}

bool SaveAlarms(const Alarms& alarms)
{
    bool saved = true;
    for (size_t n = 0; n < alarms.size(); ++n) {
        UniqueKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyOf(n).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(),
                nullptr) != ERROR_SUCCESS) {
            saved = false;
            continue;
        }
        const BYTE flags = alarms[n].on ? 1 : 0;
        const DWORD minutes = static_cast<DWORD>(alarms[n].hour * 60 + alarms[n].minute);
        saved = RegSetValueExW(key.Get(), L"AlarmFlags", 0, REG_BINARY, &flags, 1) == ERROR_SUCCESS && saved;
        saved = RegSetValueExW(key.Get(), L"AlarmTime", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minutes),
                    sizeof minutes) == ERROR_SUCCESS && saved;
    }
    return saved;
}
