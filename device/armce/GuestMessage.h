// A message the host sends a guest procedure, as the guest reads it: records
// the message points to are copied where the guest reaches them, in its
// layout, and what the guest changed in them is copied back.
#pragma once

#include "ArmMachine.h"
#include "Guest32.h"

#include <windows.h>

#include <todaycmn.h>

#include <cstdint>

namespace armce {

// A Today item's record in the guest's layout, and back what the item may
// change in it: its height, flags and cached data.
void TodayItemToGuest(const TODAYLISTITEM& host, TODAYLISTITEM32& guest);
void TodayItemFromGuest(const TODAYLISTITEM32& guest, TODAYLISTITEM& host);

class GuestMessage
{
public:
    GuestMessage(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, LPARAM lParam);
    GuestMessage(const GuestMessage&) = delete;
    GuestMessage& operator=(const GuestMessage&) = delete;

    UINT Message() const { return message_; }
    std::uint32_t GuestWParam() const { return guestW_; }
    std::uint32_t GuestLParam() const { return guestL_; }
    WPARAM HostWParam() const { return hostW_; }
    LPARAM HostLParam() const { return hostL_; }

    // What the guest changed in the records, into the host's.
    void CopyBack() const;

private:
    enum class Kind
    {
        kValues,
        kCreate,
        kWindowPos,
        kNotify,
        kTodayItem,
        kBlock,   // a record without pointers, copied both ways
        kGetText,
    };

    UINT message_;
    WPARAM hostW_;
    LPARAM hostL_;
    std::uint32_t guestW_;
    std::uint32_t guestL_;
    Kind kind_ = Kind::kValues;
    std::uint32_t blockSize_ = 0;
};

} // namespace armce
