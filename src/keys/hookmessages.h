#pragma once
// The messages the hook library sends to the main window, one per key transition. Kept free of
// Qt so that the hook library shares the very same numbers.

#include <cstdint>

namespace tavrel {

// Every key except the three below; the keystroke flags are in LParam.
constexpr std::uint32_t WM_HOOKKEY = 0x1400;
// The left and right Windows keys and the menu key, with WParam WM_KEYDOWN or WM_KEYUP.
constexpr std::uint32_t WM_HOOKLWIN = 0x2400;
constexpr std::uint32_t WM_HOOKRWIN = 0x3400;
constexpr std::uint32_t WM_HOOKAPPS = 0x3500;

constexpr std::uint32_t WM_KEYDOWN = 256;
constexpr std::uint32_t WM_KEYUP = 257;

// Keystroke flags, laid out like the LParam of a PC keystroke message.
namespace keystroke {
constexpr std::uint32_t RepeatCountMask = 0x0000FFFFu;
constexpr int ScanCodeShift = 16;
constexpr std::uint32_t ScanCodeMask = 0x00FF0000u;
constexpr std::uint32_t Extended = 1u << 24;
// Asks the key-name function not to tell left-hand from right-hand Ctrl and Shift.
constexpr std::uint32_t DontCare = 1u << 25;
// Set when the key was already down: on a press this marks an auto-repeat.
constexpr std::uint32_t PreviousState = 1u << 30;
constexpr std::uint32_t Released = 1u << 31;

constexpr std::uint32_t flags(std::uint8_t scanCode, bool extended)
{
    return (std::uint32_t(scanCode) << ScanCodeShift) | (extended ? Extended : 0u);
}
constexpr std::uint8_t scanCodeOf(std::uint32_t lParam)
{
    return std::uint8_t((lParam & ScanCodeMask) >> ScanCodeShift);
}
}  // namespace keystroke

}  // namespace tavrel
