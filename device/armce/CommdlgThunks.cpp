// The imports of commdlg.dll, whose records hold pointers.
#include "Guest32.h"
#include "Thunks.h"

#include <commdlg.h>

#include <cstring>

namespace armce::thunk {

std::uint32_t ChooseColor(GuestCall& call, FARPROC host)
{
    const auto choose = reinterpret_cast<BOOL(WINAPI*)(LPCHOOSECOLOR)>(reinterpret_cast<void*>(host));
    auto* guest = call.Record<CHOOSECOLOR32>(0, Access::kWrite, false);
    if (!guest || guest->lStructSize != sizeof(CHOOSECOLOR32))
        return FALSE;
    const CHOOSECOLOR32 asked = *guest;
    // The sixteen custom colours, read and written back.
    constexpr std::uint32_t kCustom = 16 * sizeof(COLORREF);
    if (asked.lpCustColors && !call.Module().memory.Holds(asked.lpCustColors, kCustom, Access::kWrite))
        return call.Violation(0, asked.lpCustColors, L"a record whose custom colours lie outside its memory");
    COLORREF custom[16] = {};
    if (asked.lpCustColors)
        std::memcpy(custom, GuestMemory::At<const void>(asked.lpCustColors), kCustom);
    CHOOSECOLOR chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = AsHandle<HWND>(asked.hwndOwner);
    chooser.hInstance = asked.hInstance == call.Module().base ? Widened<HINSTANCE>(asked.hInstance, false) : nullptr;
    chooser.rgbResult = asked.rgbResult;
    chooser.lpCustColors = custom;
    // A hook or a template would be guest code or data the colour chooser
    // reads as the host's.
    chooser.Flags = asked.Flags & ~(CC_ENABLEHOOK | CC_ENABLETEMPLATE | CC_ENABLETEMPLATEHANDLE);
    chooser.lCustData = static_cast<LPARAM>(asked.lCustData);
    const BOOL chosen = choose(&chooser);
    if (asked.lpCustColors)
        std::memcpy(GuestMemory::At<void>(asked.lpCustColors), custom, kCustom);
    if (chosen)
        guest->rgbResult = chooser.rgbResult;
    return Narrowed(chosen);
}

} // namespace armce::thunk
