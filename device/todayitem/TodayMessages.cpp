#include "TodayMessages.h"

#include <Guest32.h>
#include <HostArena.h>
#include <Messages.h>

#include <cstring>
#include <iterator>
#include <list>
#include <string>

namespace todayitem {

using armce::GuestMemory;
using armce::GuestPtr;

namespace {

// WM_TODAYCUSTOM_CLEARCACHE and WM_TODAYCUSTOM_QUERYREFRESHCACHE: the item's
// record, from the host only.
bool RecordToGuest(armce::ArmMachine::Scratch& scratch, UINT, WPARAM, const void* host, GuestPtr& guest)
{
    auto* copy = static_cast<TODAYLISTITEM32*>(scratch.Take(sizeof(TODAYLISTITEM32)));
    if (!copy)
        return false;
    TodayItemToGuest(*static_cast<const TODAYLISTITEM*>(host), *copy);
    guest = armce::Narrowed(copy);
    return true;
}

void RecordFromGuest(UINT, WPARAM, GuestPtr guest, void* host)
{
    TodayItemFromGuest(*GuestMemory::At<const TODAYLISTITEM32>(guest), *static_cast<TODAYLISTITEM*>(host));
}

constexpr armce::Layout kRecord = {RecordToGuest, RecordFromGuest, nullptr, nullptr};

// TODAYM_DRAWWATERMARK: the place the item asks the host to paint, from
// the guest only.
bool WatermarkToHost(const GuestMemory& memory, UINT, std::uint32_t, GuestPtr guest, void*& host)
{
    if (!memory.Holds(guest, sizeof(TODAYDRAWWATERMARKINFO32), armce::Access::kRead))
        return false;
    auto* copy = static_cast<TODAYDRAWWATERMARKINFO*>(armce::HostArena::Take(sizeof(TODAYDRAWWATERMARKINFO)));
    if (!copy)
        return false;
    const auto* info = GuestMemory::At<const TODAYDRAWWATERMARKINFO32>(guest);
    *copy = {armce::AsHandle<HDC>(info->hdc), info->rc, armce::AsHandle<HWND>(info->hwnd)};
    host = copy;
    return true;
}

constexpr armce::Layout kWatermark = {nullptr, nullptr, WatermarkToHost, nullptr};

// The host classes whose rules are in, kept for the rules' lifetime.
std::list<std::wstring>& HostClasses()
{
    static std::list<std::wstring> classes;
    return classes;
}

} // namespace

void TodayItemToGuest(const TODAYLISTITEM& host, TODAYLISTITEM32& guest)
{
    std::memcpy(guest.szName, host.szName, sizeof guest.szName);
    guest.tlit = host.tlit;
    guest.dwOrder = host.dwOrder;
    guest.cyp = host.cyp;
    guest.fEnabled = host.fEnabled;
    guest.fOptions = host.fOptions;
    guest.grflags = host.grflags;
    std::memcpy(guest.szDLLPath, host.szDLLPath, sizeof guest.szDLLPath);
    guest.hinstDLL = armce::Narrowed(host.hinstDLL);
    guest.hwndCustom = armce::Narrowed(host.hwndCustom);
    guest.fSizeOnDraw = host.fSizeOnDraw;
    // The cached data is the item's own, which it keeps in its memory.
    guest.prgbCachedData = armce::Narrowed(host.prgbCachedData);
    guest.cbCachedData = host.cbCachedData;
}

void TodayItemFromGuest(const TODAYLISTITEM32& guest, TODAYLISTITEM& host)
{
    host.cyp = guest.cyp;
    host.grflags = guest.grflags;
    host.fSizeOnDraw = guest.fSizeOnDraw;
    host.prgbCachedData = armce::Widened<BYTE*>(guest.prgbCachedData, false);
    host.cbCachedData = guest.cbCachedData;
}

void AddTodayMessageRules(HWND host)
{
    static const armce::MessageRule kToItems[] = {
        {.message = WM_TODAYCUSTOM_CLEARCACHE, .inWParam = true, .layout = &kRecord,
            .direction = armce::Direction::kInOut},
        {.message = WM_TODAYCUSTOM_QUERYREFRESHCACHE, .inWParam = true, .layout = &kRecord,
            .direction = armce::Direction::kInOut},
    };
    armce::AddMessageRules(kToItems, std::size(kToItems));
    wchar_t name[256];
    if (!host || !GetClassNameW(host, name, static_cast<int>(std::size(name))))
        return;
    for (const std::wstring& known : HostClasses())
        if (known == name)
            return;
    const wchar_t* hostClass = HostClasses().emplace_back(name).c_str();
    const armce::MessageRule toHost[] = {
        {.message = TODAYM_GETCOLOR, .hostClass = hostClass, .toOthers = true},
        {.message = TODAYM_DRAWWATERMARK, .hostClass = hostClass, .layout = &kWatermark, .toOthers = true},
        {.message = TODAYM_TOOKSELECTION, .hostClass = hostClass, .toOthers = true},
    };
    armce::AddMessageRules(toHost, std::size(toHost));
}

} // namespace todayitem
