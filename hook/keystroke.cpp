#include "keystroke.h"

#include "keys/hookinterface.h"

#include <linux/input-event-codes.h>

namespace morvik {
namespace {

constexpr unsigned XKeycodeOffset = 8;

struct CodePair {
    unsigned evdev;
    ScanCode scan;
};

// Keys whose input key codes do not follow their scan codes.
// clang-format off
constexpr CodePair FurtherKeys[] = {
    // Num Lock shares its scan code with Pause and is told apart by the extended flag.
    {KEY_NUMLOCK, {0x45, true}},
    {KEY_102ND, {0x56, false}},
    {KEY_F11, {0x57, false}},
    {KEY_F12, {0x58, false}},
    {KEY_RO, {0x73, false}},
    {KEY_KATAKANA, {0x78, false}},
    {KEY_HIRAGANA, {0x77, false}},
    {KEY_HENKAN, {0x79, false}},
    {KEY_KATAKANAHIRAGANA, {0x70, false}},
    {KEY_MUHENKAN, {0x7B, false}},
    {KEY_KPJPCOMMA, {0x5C, false}},
    {KEY_KPENTER, {0x1C, true}},
    {KEY_RIGHTCTRL, {0x1D, true}},
    {KEY_KPSLASH, {0x35, true}},
    {KEY_SYSRQ, {0x37, true}},
    {KEY_RIGHTALT, {0x38, true}},
    {KEY_HOME, {0x47, true}},
    {KEY_UP, {0x48, true}},
    {KEY_PAGEUP, {0x49, true}},
    {KEY_LEFT, {0x4B, true}},
    {KEY_RIGHT, {0x4D, true}},
    {KEY_END, {0x4F, true}},
    {KEY_DOWN, {0x50, true}},
    {KEY_PAGEDOWN, {0x51, true}},
    {KEY_INSERT, {0x52, true}},
    {KEY_DELETE, {0x53, true}},
    {KEY_MUTE, {0x20, true}},
    {KEY_VOLUMEDOWN, {0x2E, true}},
    {KEY_VOLUMEUP, {0x30, true}},
    {KEY_POWER, {0x5E, true}},
    {KEY_KPEQUAL, {0x59, false}},
    {KEY_PAUSE, {0x45, false}},
    {KEY_KPCOMMA, {0x7E, false}},
    {KEY_HANGEUL, {0xF2, false}},
    {KEY_HANJA, {0xF1, false}},
    {KEY_YEN, {0x7D, false}},
    {KEY_LEFTMETA, {0x5B, true}},
    {KEY_RIGHTMETA, {0x5C, true}},
    {KEY_COMPOSE, {0x5D, true}},
    {KEY_STOP, {0x68, true}},
    {KEY_CALC, {0x21, true}},
    {KEY_SLEEP, {0x5F, true}},
    {KEY_WAKEUP, {0x63, true}},
    {KEY_MAIL, {0x6C, true}},
    {KEY_BOOKMARKS, {0x66, true}},
    {KEY_COMPUTER, {0x6B, true}},
    {KEY_BACK, {0x6A, true}},
    {KEY_FORWARD, {0x69, true}},
    {KEY_NEXTSONG, {0x19, true}},
    {KEY_PLAYPAUSE, {0x22, true}},
    {KEY_PREVIOUSSONG, {0x10, true}},
    {KEY_STOPCD, {0x24, true}},
    {KEY_HOMEPAGE, {0x32, true}},
    {KEY_REFRESH, {0x67, true}},
    {KEY_F13, {0x64, false}},
    {KEY_F14, {0x65, false}},
    {KEY_F15, {0x66, false}},
    {KEY_F16, {0x67, false}},
    {KEY_F17, {0x68, false}},
    {KEY_F18, {0x69, false}},
    {KEY_F19, {0x6A, false}},
    {KEY_F20, {0x6B, false}},
    {KEY_F21, {0x6C, false}},
    {KEY_F22, {0x6D, false}},
    {KEY_F23, {0x6E, false}},
    {KEY_F24, {0x76, false}},
    {KEY_SEARCH, {0x65, true}},
};
// clang-format on

}  // namespace

std::optional<ScanCode> scanCodeOf(unsigned evdevCode)
{
    for (const CodePair& pair : FurtherKeys)
        if (pair.evdev == evdevCode)
            return pair.scan;
    // From Esc to Num Del the input key codes are the scan codes themselves.
    if (evdevCode >= KEY_ESC && evdevCode <= KEY_KPDOT)
        return ScanCode{std::uint8_t(evdevCode), false};
    return std::nullopt;
}

std::optional<Message> messageFor(unsigned xKeycode, bool pressed, bool wasDown)
{
    if (xKeycode < XKeycodeOffset)
        return std::nullopt;
    const unsigned evdevCode = xKeycode - XKeycodeOffset;
    const std::uint32_t wParam = pressed ? tavrel::KeyDownWParam : tavrel::KeyUpWParam;

    std::uint32_t ownMessage = 0;
    switch (evdevCode) {
    case KEY_LEFTMETA:
        ownMessage = tavrel::HookLeftWindowsMessage;
        break;
    case KEY_RIGHTMETA:
        ownMessage = tavrel::HookRightWindowsMessage;
        break;
    case KEY_COMPOSE:
        ownMessage = tavrel::HookMenuKeyMessage;
        break;
    default:
        break;
    }
    if (ownMessage != 0) {
        if (pressed && wasDown)
            return std::nullopt;
        return Message{ownMessage, wParam, 0};
    }

    const ScanCode scan = scanCodeOf(evdevCode).value_or(ScanCode{});
    std::uint32_t lParam = 1 | tavrel::keystroke::flags(scan.code, scan.extended);
    // A release always follows a key that was down, as on a PC keyboard.
    if (wasDown || !pressed)
        lParam |= tavrel::keystroke::PreviousState;
    if (!pressed)
        lParam |= tavrel::keystroke::Released;
    return Message{tavrel::HookKeyMessage, wParam, lParam};
}

std::optional<Message> KeyTracker::transition(unsigned xKeycode, bool pressed, bool repeat)
{
    if (xKeycode >= m_down.size())
        return std::nullopt;
    const bool wasDown = m_down[xKeycode];
    if (!pressed && m_known[xKeycode] && !wasDown)
        return std::nullopt;
    m_known[xKeycode] = true;
    m_down[xKeycode] = pressed;
    return messageFor(xKeycode, pressed, wasDown || (pressed && repeat));
}

}  // namespace morvik
