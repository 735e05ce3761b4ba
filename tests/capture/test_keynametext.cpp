#include "keys/hookinterface.h"
#include "keys/keynames.h"
#include "keystroke.h"
#include "platform/keynametext.h"

#include "qt_print.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <map>
#include <set>

using namespace tavrel;

namespace {

struct UsKey {
    unsigned evdev;
    const char* name;
    int usage;  // from the HID usage tables, written down independently of the key-name table
};

// Every key of a US keyboard whose name is in the key-name table.
// clang-format off
const UsKey UsKeyboard[] = {
    {KEY_A, "A", 0x04}, {KEY_B, "B", 0x05}, {KEY_C, "C", 0x06}, {KEY_D, "D", 0x07},
    {KEY_E, "E", 0x08}, {KEY_F, "F", 0x09}, {KEY_G, "G", 0x0A}, {KEY_H, "H", 0x0B},
    {KEY_I, "I", 0x0C}, {KEY_J, "J", 0x0D}, {KEY_K, "K", 0x0E}, {KEY_L, "L", 0x0F},
    {KEY_M, "M", 0x10}, {KEY_N, "N", 0x11}, {KEY_O, "O", 0x12}, {KEY_P, "P", 0x13},
    {KEY_Q, "Q", 0x14}, {KEY_R, "R", 0x15}, {KEY_S, "S", 0x16}, {KEY_T, "T", 0x17},
    {KEY_U, "U", 0x18}, {KEY_V, "V", 0x19}, {KEY_W, "W", 0x1A}, {KEY_X, "X", 0x1B},
    {KEY_Y, "Y", 0x1C}, {KEY_Z, "Z", 0x1D},
    {KEY_1, "1", 0x1E}, {KEY_2, "2", 0x1F}, {KEY_3, "3", 0x20}, {KEY_4, "4", 0x21},
    {KEY_5, "5", 0x22}, {KEY_6, "6", 0x23}, {KEY_7, "7", 0x24}, {KEY_8, "8", 0x25},
    {KEY_9, "9", 0x26}, {KEY_0, "0", 0x27},
    {KEY_ENTER, "Enter", 0x28}, {KEY_ESC, "Esc", 0x29}, {KEY_BACKSPACE, "Backspace", 0x2A},
    {KEY_TAB, "Tab", 0x2B}, {KEY_SPACE, "Space", 0x2C}, {KEY_MINUS, "-", 0x2D},
    {KEY_EQUAL, "=", 0x2E}, {KEY_LEFTBRACE, "[", 0x2F}, {KEY_RIGHTBRACE, "]", 0x30},
    {KEY_BACKSLASH, "\\", 0x31}, {KEY_SEMICOLON, ";", 0x33}, {KEY_APOSTROPHE, "'", 0x34},
    {KEY_GRAVE, "`", 0x35}, {KEY_COMMA, ",", 0x36}, {KEY_DOT, ".", 0x37}, {KEY_SLASH, "/", 0x38},
    {KEY_CAPSLOCK, "Caps Lock", 0x39},
    {KEY_F1, "F1", 0x3A}, {KEY_F2, "F2", 0x3B}, {KEY_F3, "F3", 0x3C}, {KEY_F4, "F4", 0x3D},
    {KEY_F5, "F5", 0x3E}, {KEY_F6, "F6", 0x3F}, {KEY_F7, "F7", 0x40}, {KEY_F8, "F8", 0x41},
    {KEY_F9, "F9", 0x42}, {KEY_F10, "F10", 0x43}, {KEY_F11, "F11", 0x44}, {KEY_F12, "F12", 0x45},
    {KEY_SYSRQ, "Prnt Scrn", 0x46}, {KEY_SCROLLLOCK, "Scroll Lock", 0x47}, {KEY_PAUSE, "Pause", 0x48},
    {KEY_INSERT, "Insert", 0x49}, {KEY_HOME, "Home", 0x4A}, {KEY_PAGEUP, "Page Up", 0x4B},
    {KEY_DELETE, "Delete", 0x4C}, {KEY_END, "End", 0x4D}, {KEY_PAGEDOWN, "Page Down", 0x4E},
    {KEY_RIGHT, "Right", 0x4F}, {KEY_LEFT, "Left", 0x50}, {KEY_DOWN, "Down", 0x51},
    {KEY_UP, "Up", 0x52},
    {KEY_NUMLOCK, "Num Lock", 0x53}, {KEY_KPSLASH, "Num /", 0x54}, {KEY_KPASTERISK, "Num *", 0x55},
    {KEY_KPMINUS, "Num -", 0x56}, {KEY_KPPLUS, "Num +", 0x57}, {KEY_KPENTER, "Num Enter", 0x58},
    {KEY_KP1, "Num 1", 0x59}, {KEY_KP2, "Num 2", 0x5A}, {KEY_KP3, "Num 3", 0x5B},
    {KEY_KP4, "Num 4", 0x5C}, {KEY_KP5, "Num 5", 0x5D}, {KEY_KP6, "Num 6", 0x5E},
    {KEY_KP7, "Num 7", 0x5F}, {KEY_KP8, "Num 8", 0x60}, {KEY_KP9, "Num 9", 0x61},
    {KEY_KP0, "Num 0", 0x62}, {KEY_KPDOT, "Num Del", 0x63},
    {KEY_COMPOSE, "Application", 0x65},
    {KEY_LEFTCTRL, "Ctrl", 0xE0}, {KEY_LEFTSHIFT, "Shift", 0xE1}, {KEY_LEFTALT, "Alt", 0xE2},
    {KEY_LEFTMETA, "Left Windows", 0xE3}, {KEY_RIGHTCTRL, "Right Ctrl", 0xE4},
    {KEY_RIGHTSHIFT, "Right Shift", 0xE5}, {KEY_RIGHTALT, "Right Alt", 0xE6},
    {KEY_RIGHTMETA, "Right Windows", 0xE7},
};
// clang-format on

constexpr unsigned XKeycodeOffset = 8;

}  // namespace

TEST(KeyNameText, EveryTableNameFromItsKeyAndBackToItsUsage)
{
    std::set<QString> named;
    for (const UsKey& key : UsKeyboard) {
        const QString name = QString::fromLatin1(key.name);
        SCOPED_TRACE(key.name);
        const auto scan = morvik::scanCodeOf(key.evdev);
        ASSERT_TRUE(scan);
        EXPECT_EQ(platform::keyNameText(keystroke::flags(scan->code, scan->extended)), name);

        const auto message = morvik::messageFor(key.evdev + XKeycodeOffset, true, false);
        ASSERT_TRUE(message);
        if (message->message == HookKeyMessage)
            EXPECT_EQ(platform::keyNameText(message->lParam), name);
        else
            EXPECT_TRUE(name == "Left Windows" || name == "Right Windows" || name == "Application");

        EXPECT_EQ(usageForName(name), key.usage);
        EXPECT_EQ(keyNameForUsage(key.usage), name);
        named.insert(name);
    }
    std::set<QString> table;
    for (const KeyName& k : keyNameTable())
        table.insert(QString::fromLatin1(k.name));
    EXPECT_EQ(named, table);
}

TEST(KeyNameText, ExtendedFlagTellsKeysWithOneScanCodeApart)
{
    const struct {
        quint8 scan;
        const char* plain;
        const char* extended;
    } pairs[] = {
        {0x47, "Num 7", "Home"},      {0x48, "Num 8", "Up"},        {0x49, "Num 9", "Page Up"},
        {0x4B, "Num 4", "Left"},      {0x4D, "Num 6", "Right"},     {0x4F, "Num 1", "End"},
        {0x50, "Num 2", "Down"},      {0x51, "Num 3", "Page Down"}, {0x52, "Num 0", "Insert"},
        {0x53, "Num Del", "Delete"},  {0x45, "Pause", "Num Lock"},  {0x1C, "Enter", "Num Enter"},
        {0x1D, "Ctrl", "Right Ctrl"}, {0x38, "Alt", "Right Alt"},   {0x35, "/", "Num /"},
        {0x37, "Num *", "Prnt Scrn"},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(platform::keyNameText(keystroke::flags(p.scan, false)), QLatin1String(p.plain));
        EXPECT_EQ(platform::keyNameText(keystroke::flags(p.scan, true)), QLatin1String(p.extended));
        // The transition and repeat bits do not change the name.
        EXPECT_EQ(platform::keyNameText(keystroke::flags(p.scan, true) | 0xC0000001u), QLatin1String(p.extended));
    }
}

TEST(KeyNameText, EveryOtherScanCodeHasANameOfItsOwnThatEncodesToNothing)
{
    std::map<QString, quint32> seen;
    int inTable = 0;
    for (quint32 extended : {0u, 1u})
        for (quint32 scan = 0; scan < 256; ++scan) {
            const quint32 flags = keystroke::flags(quint8(scan), extended != 0);
            const QString name = platform::keyNameText(flags);
            EXPECT_FALSE(name.isEmpty()) << std::hex << flags;
            EXPECT_LE(name.size(), 19) << name.toStdString();
            const auto [at, fresh] = seen.emplace(name, flags);
            EXPECT_TRUE(fresh) << name.toStdString() << " for " << std::hex << flags << " and " << at->second;
            if (usageForName(name) != 0)
                ++inTable;
        }
    EXPECT_EQ(inTable, 104);

    for (const char* name : {"F13", "F24", "102nd Key", "Num =", "Mute", "Unknown 00", "Unknown E0 7F"})
        EXPECT_EQ(usageForName(QString::fromLatin1(name)), 0) << name;
    EXPECT_EQ(platform::keyNameText(keystroke::flags(0x64, false)), QStringLiteral("F13"));
    EXPECT_EQ(platform::keyNameText(keystroke::flags(0x56, false)), QStringLiteral("102nd Key"));
}

TEST(KeyNameText, DontCareFlagJoinsLeftAndRightCtrlAndShift)
{
    const quint32 dontCare = keystroke::DontCare;
    EXPECT_EQ(platform::keyNameText(keystroke::flags(0x1D, true) | dontCare), QStringLiteral("Ctrl"));
    EXPECT_EQ(platform::keyNameText(keystroke::flags(0x36, false) | dontCare), QStringLiteral("Shift"));
    EXPECT_EQ(platform::keyNameText(keystroke::flags(0x38, true) | dontCare), QStringLiteral("Right Alt"));
}

TEST(HookKeystroke, MessagesForKeyTransitions)
{
    const unsigned ctrl = KEY_LEFTCTRL + XKeycodeOffset, a = KEY_A + XKeycodeOffset;
    const unsigned rctrl = KEY_RIGHTCTRL + XKeycodeOffset, kpEnter = KEY_KPENTER + XKeycodeOffset;
    const unsigned lwin = KEY_LEFTMETA + XKeycodeOffset, rwin = KEY_RIGHTMETA + XKeycodeOffset;
    const unsigned menu = KEY_COMPOSE + XKeycodeOffset, unknown = KEY_PROG1 + XKeycodeOffset;
    struct Case {
        unsigned keycode;
        bool pressed, wasDown;
        std::optional<morvik::Message> message;
    } cases[] = {
        {ctrl, true, false, morvik::Message{HookKeyMessage, KeyDownWParam, 0x001D0001}},
        {a, true, false, morvik::Message{HookKeyMessage, KeyDownWParam, 0x001E0001}},
        {a, true, true, morvik::Message{HookKeyMessage, KeyDownWParam, 0x401E0001}},
        {a, false, true, morvik::Message{HookKeyMessage, KeyUpWParam, 0xC01E0001}},
        {a, false, false, morvik::Message{HookKeyMessage, KeyUpWParam, 0xC01E0001}},
        {rctrl, true, false, morvik::Message{HookKeyMessage, KeyDownWParam, 0x011D0001}},
        {kpEnter, false, true, morvik::Message{HookKeyMessage, KeyUpWParam, 0xC11C0001}},
        {unknown, true, false, morvik::Message{HookKeyMessage, KeyDownWParam, 0x00000001}},
        {lwin, true, false, morvik::Message{HookLeftWindowsMessage, KeyDownWParam, 0}},
        {lwin, false, true, morvik::Message{HookLeftWindowsMessage, KeyUpWParam, 0}},
        {lwin, true, true, std::nullopt},
        {rwin, true, false, morvik::Message{HookRightWindowsMessage, KeyDownWParam, 0}},
        {rwin, true, true, std::nullopt},
        {menu, false, true, morvik::Message{HookMenuKeyMessage, KeyUpWParam, 0}},
        {menu, true, true, std::nullopt},
        {7, true, false, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(morvik::messageFor(c.keycode, c.pressed, c.wasDown), c.message)
            << c.keycode << " pressed " << c.pressed << " was down " << c.wasDown;
}

TEST(HookKeystroke, TrackerMarksRepeatsAndDropsSecondReleases)
{
    const unsigned a = KEY_A + XKeycodeOffset, lwin = KEY_LEFTMETA + XKeycodeOffset;
    const quint32 aFlags = keystroke::flags(0x1E, false) | 1;
    const morvik::Message down{HookKeyMessage, KeyDownWParam, aFlags};
    const morvik::Message repeat{HookKeyMessage, KeyDownWParam, aFlags | keystroke::PreviousState};
    const morvik::Message up{HookKeyMessage, KeyUpWParam, aFlags | keystroke::PreviousState | keystroke::Released};
    const struct {
        unsigned keycode;
        bool pressed, repeatFlag;
        std::optional<morvik::Message> message;
    } steps[] = {
        {a, false, false, up},            // held since before the hook went on
        {a, false, false, std::nullopt},  // a second release of a key seen going up
        {a, true, false, down},
        {a, true, false, repeat},
        {a, false, false, up},
        {a, true, true, repeat},  // X marks it as a repeat
        {a, false, false, up},
        {lwin, true, false, morvik::Message{HookLeftWindowsMessage, KeyDownWParam, 0}},
        {lwin, true, false, std::nullopt},
        {lwin, false, false, morvik::Message{HookLeftWindowsMessage, KeyUpWParam, 0}},
        {lwin, false, false, std::nullopt},
        {256, true, false, std::nullopt},
    };
    morvik::KeyTracker tracker;
    int i = 0;
    for (const auto& step : steps)
        EXPECT_EQ(tracker.transition(step.keycode, step.pressed, step.repeatFlag), step.message) << "step " << i++;
}
