// The one table from input event codes to HID usages, checked against the key names the hook
// library's scan codes give each code, which were written without it.
#include "keys/hookinterface.h"
#include "keys/inputcodes.h"
#include "keys/keynames.h"
#include "keystroke.h"
#include "platform/keynametext.h"

#include "qt_print.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace tavrel;

TEST(InputCodes, EveryKeyNameComesBackFromTheCodeItsUsageIsSentAs)
{
    for (const KeyName& k : keyNameTable()) {
        SCOPED_TRACE(k.name);
        const unsigned code = keyCodeForUsage(k.usage);
        ASSERT_NE(code, 0u);
        EXPECT_EQ(usageForKeyCode(code), k.usage);
        // The key that code stands for, named as a US keyboard names it.
        const auto scan = morvik::scanCodeOf(code);
        ASSERT_TRUE(scan);
        EXPECT_EQ(platform::keyNameText(keystroke::flags(scan->code, scan->extended)), QLatin1String(k.name));
    }
}

TEST(InputCodes, CodesAndUsagesWithoutANamedKeyStandForNothing)
{
    for (const unsigned code : {0u, unsigned(KEY_F13), unsigned(KEY_102ND), unsigned(KEY_MUTE), unsigned(BTN_LEFT),
                                unsigned(KEY_MAX), 0xFFFFu})
        EXPECT_EQ(usageForKeyCode(code), 0) << code;
    // 0x32 is the key a non-US keyboard has beside Enter, 0x64 the one beside left Shift.
    for (const int usage : {0x00, 0x01, 0x32, 0x64, 0x66, 0xE8, 0xFF, 0x104})
        EXPECT_EQ(keyCodeForUsage(usage), 0u) << usage;
}

TEST(InputCodes, MouseButtonsAreTheBitsOfAMouseRecord)
{
    const struct {
        unsigned code;
        quint8 button;
    } buttons[] = {{BTN_LEFT, 0x01}, {BTN_RIGHT, 0x02}, {BTN_MIDDLE, 0x04}};
    for (const auto& b : buttons) {
        EXPECT_EQ(mouseButtonForCode(b.code), b.button);
        EXPECT_EQ(codeForMouseButton(b.button), b.code);
    }
    for (const unsigned code : {unsigned(BTN_SIDE), unsigned(BTN_EXTRA), unsigned(KEY_A), 0u})
        EXPECT_EQ(mouseButtonForCode(code), 0) << code;
    for (const quint8 button : {quint8(0x00), quint8(0x03), quint8(0x08), quint8(0x80)})
        EXPECT_EQ(codeForMouseButton(button), 0u) << int(button);
}
