#pragma once
// Turns key transitions, as X reports them, into the messages the program expects from its hook
// library.

#include <bitset>
#include <cstdint>
#include <optional>

namespace morvik {

struct ScanCode {
    std::uint8_t code = 0;
    bool extended = false;

    bool operator==(const ScanCode&) const = default;
};

// The PC scan code (set 1) of a Linux input key code, or nothing for a key without one.
std::optional<ScanCode> scanCodeOf(unsigned evdevCode);

struct Message {
    std::uint32_t message = 0;
    std::uint32_t wParam = 0;
    std::uint32_t lParam = 0;

    bool operator==(const Message&) const = default;
};

// The message for one transition of the key with this X key code (the input key code + 8).
// wasDown says whether the key was already down: a press of a key that is down is an
// auto-repeat. The Windows keys and the menu key send no auto-repeats, as each of their messages
// counts as a new press; a key without a scan code is sent with scan code 0.
std::optional<Message> messageFor(unsigned xKeycode, bool pressed, bool wasDown);

// Which keys are down, as far as the hook has seen them since it was switched on.
class KeyTracker {
public:
    // The message for a transition, taking as an auto-repeat a press of a key that is down or
    // that X marks as a repeat. A release of a key already seen going up is not reported: X
    // clients that fake input release modifier keys twice.
    std::optional<Message> transition(unsigned xKeycode, bool pressed, bool repeat);

private:
    std::bitset<256> m_down;
    std::bitset<256> m_known;
};

}  // namespace morvik
