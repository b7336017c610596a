// The imports of aygshell.dll, whose records hold handles.
#include "Guest32.h"
#include "Ownership.h"
#include "Thunks.h"

#include <aygshell.h>

namespace armce::thunk {

std::uint32_t SHInitDialog(GuestCall& call, FARPROC host)
{
    const auto init = reinterpret_cast<decltype(&::SHInitDialog)>(reinterpret_cast<void*>(host));
    const auto* guest = call.Record<SHINITDLGINFO32>(0, Access::kRead, true);
    if (call.Violated())
        return 0;
    if (!guest)
        return Narrowed(init(nullptr));
    SHINITDLGINFO info = {guest->dwMask, AsHandle<HWND>(guest->hDlg), guest->dwFlags};
    // Only a dialog of its own is shaped.
    if (!OwnsWindow(call.Module(), info.hDlg)) {
        call.Refuse();
        return FALSE;
    }
    return Narrowed(init(&info));
}

std::uint32_t SHRecognizeGesture(GuestCall& call, FARPROC host)
{
    const auto recognize = reinterpret_cast<decltype(&::SHRecognizeGesture)>(reinterpret_cast<void*>(host));
    const auto* guest = call.Record<SHRGINFO32>(0, Access::kRead, false);
    if (!guest || guest->cbSize != sizeof(SHRGINFO32))
        return 0;
    SHRGINFO info = {sizeof(SHRGINFO), AsHandle<HWND>(guest->hwndClient), guest->ptDown, guest->dwFlags};
    return Narrowed(recognize(&info));
}

} // namespace armce::thunk
