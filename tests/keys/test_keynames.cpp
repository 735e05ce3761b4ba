#include "keys/keynames.h"

#include <gtest/gtest.h>

#include <set>

using namespace tavrel;

TEST(KeyNames, EveryNameRoundTripsThroughItsUsage)
{
    const auto table = keyNameTable();
    ASSERT_EQ(table.size(), 104u);
    std::set<QString> names;
    std::set<int> usages;
    for (const KeyName& k : table) {
        const QString name = QString::fromLatin1(k.name);
        EXPECT_EQ(usageForName(name), k.usage) << k.name;
        EXPECT_EQ(keyNameForUsage(usageForName(name)), name) << k.name;
        names.insert(name);
        usages.insert(k.usage);
    }
    EXPECT_EQ(names.size(), 104u);
    EXPECT_EQ(usages.size(), 104u);
}

TEST(KeyNames, UsagesOfTheRunsAndSingleKeys)
{
    const std::pair<const char*, int> cases[] = {
        {"A", 4},
        {"Z", 29},
        {"1", 30},
        {"9", 38},
        {"0", 39},
        {"\\", 49},
        {";", 51},
        {"`", 53},
        {"F1", 58},
        {"F12", 69},
        {"Num Lock", 83},
        {"Num 1", 89},
        {"Num 0", 98},
        {"Num Del", 99},
        {"Application", 101},
        {"Ctrl", 224},
        {"Left Windows", 227},
        {"Right Windows", 231},
        // Not in the table: exact, case-sensitive, untrimmed.
        {"a", 0},
        {"", 0},
        {" A", 0},
        {"Windows", 0},
    };
    for (const auto& [name, usage] : cases)
        EXPECT_EQ(usageForName(QString::fromLatin1(name)), usage) << name;
}

TEST(KeyNames, UsagesWithoutANameGiveEmptyText)
{
    for (int usage : {0x00, 0x01, 0x03, 0x32, 0x64, 0x66, 0xDF, 0xE8, 0xFF, -1, 256})
        EXPECT_EQ(keyNameForUsage(usage), QString()) << usage;
    EXPECT_EQ(keyNameForUsage(0x35), QStringLiteral("`"));
    EXPECT_EQ(keyNameForUsage(0x65), QStringLiteral("Application"));
}

TEST(KeyNames, ModifierTextFollowsDisplayOrderNotBitOrder)
{
    const std::pair<quint8, const char*> cases[] = {
        {0x01, "Ctrl"},
        {0x02, "Shift"},
        {0x03, "Ctrl+Shift"},
        {0x05, "Ctrl+Alt"},
        {0x06, "Alt+Shift"},
        {0x07, "Ctrl+Alt+Shift"},
        {0x0C, "Alt+Left Windows"},
        {0x10, "Right Ctrl"},
        {0x60, "Right Alt+Right Shift"},
        {0x80, "Right Windows"},
        {0xFF, "Ctrl+Alt+Shift+Left Windows+Right Ctrl+Right Alt+Right Shift+Right Windows"},
    };
    for (const auto& [mask, text] : cases)
        EXPECT_EQ(modifierNamesForMask(mask), QLatin1String(text)) << int(mask);
    for (int mask = 1; mask < 256; ++mask)
        EXPECT_FALSE(modifierNamesForMask(quint8(mask)).startsWith(QLatin1Char('+'))) << mask;
}
