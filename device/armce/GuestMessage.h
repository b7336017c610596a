// A message the host sends a guest procedure, as the guest reads it: the
// record its rule names is copied where the guest reaches it, in its layout,
// and what the guest changed is copied back. A parameter no rule turns does
// not carry a host pointer across.
#pragma once

#include "ArmMachine.h"
#include "Messages.h"

#include <windows.h>

#include <cstdint>

namespace armce {

class GuestMessage
{
public:
    GuestMessage(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, LPARAM lParam);
    GuestMessage(const GuestMessage&) = delete;
    GuestMessage& operator=(const GuestMessage&) = delete;

    // False when its record could not be made (the scratch is full): the
    // guest is not called.
    bool Ready() const { return ready_; }
    UINT Message() const { return message_; }
    std::uint32_t GuestWParam() const { return guestW_; }
    std::uint32_t GuestLParam() const { return guestL_; }
    WPARAM HostWParam() const { return hostW_; }
    LPARAM HostLParam() const { return hostL_; }

    // What the guest changed in the record, into the host's.
    void CopyBack() const;
    // What the host changed in the record (its default procedure), into
    // the guest's.
    void Refresh(LRESULT result) const;

private:
    UINT message_;
    WPARAM hostW_;
    LPARAM hostL_;
    std::uint32_t guestW_ = 0;
    std::uint32_t guestL_ = 0;
    const MessageRule* rule_ = nullptr; // with a record turned
    bool ready_ = true;
};

} // namespace armce
