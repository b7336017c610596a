#include "GuestMessage.h"

#include "Guest32.h"

namespace armce {

namespace {

bool Writes(const MessageRule& rule)
{
    return static_cast<int>(rule.direction) & static_cast<int>(Direction::kOut);
}

} // namespace

GuestMessage::GuestMessage(ArmMachine::Scratch& scratch, UINT message, WPARAM wParam, LPARAM lParam)
    : message_(message), hostW_(wParam), hostL_(lParam)
{
    const MessageRule* rule = RuleToGuest(message);
    if (!rule) {
        // A class's own message carries numbers; a system message the table
        // does not know carries nothing across.
        if (message >= WM_USER) {
            guestW_ = Narrowed(wParam);
            guestL_ = Narrowed(lParam);
        }
        return;
    }
    guestW_ = Narrowed(wParam);
    guestL_ = Narrowed(lParam);
    if (!rule->layout)
        return;
    const auto host = reinterpret_cast<const void*>(rule->inWParam ? wParam : static_cast<WPARAM>(lParam));
    std::uint32_t& guest = rule->inWParam ? guestW_ : guestL_;
    guest = 0;
    if (!host || !rule->layout->toGuest)
        return;
    ready_ = rule->layout->toGuest(scratch, message, wParam, host, guest);
    if (ready_)
        rule_ = rule;
}

void GuestMessage::CopyBack() const
{
    if (!rule_ || !Writes(*rule_) || !rule_->layout->fromGuest)
        return;
    void* host = reinterpret_cast<void*>(rule_->inWParam ? hostW_ : static_cast<WPARAM>(hostL_));
    rule_->layout->fromGuest(message_, hostW_, rule_->inWParam ? guestW_ : guestL_, host);
}

void GuestMessage::Refresh(LRESULT result) const
{
    if (!rule_ || !Writes(*rule_) || !rule_->layout->backToGuest)
        return;
    const void* host = reinterpret_cast<const void*>(rule_->inWParam ? hostW_ : static_cast<WPARAM>(hostL_));
    rule_->layout->backToGuest(message_, Narrowed(hostW_), result, host, rule_->inWParam ? guestW_ : guestL_);
}

} // namespace armce
