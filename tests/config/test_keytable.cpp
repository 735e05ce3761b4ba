#include "config/keytable.h"

#include <gtest/gtest.h>

using namespace tavrel;

TEST(KeyTable, FieldTextToByte)
{
    const std::pair<const char*, int> cases[] = {
        {"00", 0x00}, {"0A", 0x0A}, {"E3", 0xE3}, {"FF", 0xFF}, {"ff", 0xFF}, {"7", 0x07},
        {"", 0},      {"G1", 0},    {" 1", 0},    {"-1", 0},    {"$1", 0},    {"0x1", 0},
        {"1FF", 0xFF}, {"12345678", 0x78}, {"123456789", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(fieldToByte(QString::fromLatin1(text)), value) << text;
    EXPECT_EQ(hexByte(0x0A), QStringLiteral("0A"));
    EXPECT_EQ(hexByte(0xE3), QStringLiteral("E3"));
}

TEST(KeyTable, DisplayText)
{
    struct Case {
        quint8 m, c1, c2, c3;
        const char* text;
    } cases[] = {
        {0x05, 0x04, 0, 0, "Ctrl+Alt+A"},
        {0x00, 0x3A, 0, 0, "F1"},
        {0x02, 0x00, 0, 0, "Shift"},
        {0x11, 0x29, 0, 0, "Ctrl+Right Ctrl+Esc"},
        {0x00, 0xFF, 0, 0, ""},
        {0x01, 0xFF, 0, 0, "Ctrl"},
        {0x00, 0x00, 0x05, 0, "+B"},  // no modifiers and no Code1: the second code still gets its "+"
        {0x01, 0x04, 0x05, 0x06, "Ctrl+A+B+C"},
        {0x01, 0x04, 0xFF, 0x06, "Ctrl+A+C"},
        {0x00, 0x66, 0, 0, ""},  // a usage without a name
    };
    for (const Case& c : cases)
        EXPECT_EQ(displayText(c.m, c.c1, c.c2, c.c3), QLatin1String(c.text)) << c.text;
}

TEST(KeyTable, KeyRecordFillsTheKeyAndKeyCount)
{
    KeyTable t;
    t.AwaitingConfig = true;
    ASSERT_TRUE(applyKeyRecord(t, {0x81, 0x63, 0x05, 0x04, 0x00, 0x00, 0x02}));
    EXPECT_FALSE(t.AwaitingConfig);
    EXPECT_EQ(t.KeyCount, 6);
    EXPECT_EQ(t.KeyText[3], QStringLiteral("Ctrl+Alt+A"));
    const QString expected[] = {"05", "04", "00", "00", "02"};
    for (int f = 0; f < 5; ++f)
        EXPECT_EQ(t.field(3, Field(f)), expected[f]);
    // Other keys keep what they had.
    EXPECT_TRUE(t.KeyText[0].isEmpty());
    EXPECT_TRUE(t.field(0, Field::Mode).isEmpty());
}

TEST(KeyTable, ModeFiveOrMoreLeavesTheStoredMode)
{
    KeyTable t;
    applyKeyRecord(t, {0x81, 0x62, 0x01, 0x00, 0x00, 0x00, 0x07});
    EXPECT_TRUE(t.field(2, Field::Mode).isEmpty());
    EXPECT_EQ(t.field(2, Field::Modifiers), QStringLiteral("01"));
    applyKeyRecord(t, {0x81, 0x62, 0x01, 0x00, 0x00, 0x00, 0x02});
    applyKeyRecord(t, {0x81, 0x62, 0x01, 0x00, 0x00, 0x00, 0x07});
    EXPECT_EQ(t.field(2, Field::Mode), QStringLiteral("02"));
    applyKeyRecord(t, {0x81, 0x62, 0x01, 0x00, 0x00, 0x00, 0x04});
    EXPECT_EQ(t.field(2, Field::Mode), QStringLiteral("04"));
}

TEST(KeyTable, RecordsOutsideTheEightSlotsAreIgnoredAndKeyCountIsCapped)
{
    KeyTable t;
    t.AwaitingConfig = true;
    // Key index 8..15: nothing of the table changes.
    for (quint8 keyByte : {quint8(0x98), quint8(0xFF), quint8(0x0A)}) {
        EXPECT_FALSE(applyKeyRecord(t, {0x81, keyByte, 0x01, 0x04, 0, 0, 0}));
        EXPECT_TRUE(t.AwaitingConfig);
        EXPECT_EQ(t.KeyCount, 0);
        for (const QString& f : t.KeyBytes)
            EXPECT_TRUE(f.isEmpty());
    }
    // A device claiming 15 keys is limited to the table's 8.
    EXPECT_TRUE(applyKeyRecord(t, {0x81, 0xF7, 0x01, 0x04, 0, 0, 0}));
    EXPECT_EQ(t.KeyCount, 8);
    EXPECT_EQ(t.KeyText[7], QStringLiteral("Ctrl+A"));
}

TEST(KeyTable, TextOfAKeyOutsideTheTableIsEmpty)
{
    KeyTable t;
    t.KeyText.fill(QStringLiteral("x"));
    EXPECT_EQ(t.textOf(-1), QString());
    EXPECT_EQ(t.textOf(8), QString());
    EXPECT_EQ(t.textOf(7), QStringLiteral("x"));
}
