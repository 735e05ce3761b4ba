#include "devices/capabilities.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace tavrel;

TEST(Capabilities, DecodedFromTheSerial)
{
    struct Case {
        const char* serial;
        int capacity;
        bool mouseAfterChange, groups, pairing;
    } cases[] = {
        {"300000000001", 0, false, true, false},  // wired; trigger groups but characters 2-3 = 00
        {"021400000001", 4, true, false, true},    // characters 2-3 = 21: mouse page; 1-2 = 2: no groups
        {"312200000001", 10, true, true, true},    // character 3 = 2: five per unit of character 4
        {"014400000001", 20, true, false, true},
        {"010000000001", 0, true, false, false},   // characters 2-3 = 10
        {"001000000001", 0, false, false, true},
        {"025000000000", 0, true, false, true},    // 25 >= 2 but 02 < 3
    };
    for (const Case& c : cases) {
        const QString s = QString::fromLatin1(c.serial);
        EXPECT_EQ(bindCapacity(s), c.capacity) << c.serial;
        EXPECT_EQ(mousePageAfterChange(s), c.mouseAfterChange) << c.serial;
        EXPECT_EQ(triggerGroupsAfterSelection(s), c.groups) << c.serial;
        EXPECT_EQ(hasPairing(s), c.pairing) << c.serial;
        EXPECT_EQ(modelDigits(s), s.left(2));
    }
}

TEST(Capabilities, ItemTextAndKind)
{
    EXPECT_EQ(DeviceListText("Tavrel Key", "301000000001"), QStringLiteral("Tavrel Key (SN:301000000001)"));
    EXPECT_EQ(DeviceListText("", "12"), QStringLiteral(" (SN:12)"));
    EXPECT_EQ(DeviceListText("Pedal", ""), QStringLiteral("Pedal"));
    EXPECT_EQ(DeviceListText("", ""), QString());

    // L - 10 of the item text is the third character of a 12-character serial.
    EXPECT_TRUE(isWirelessItem(DeviceListText("Key", "301400000001")));
    EXPECT_FALSE(isWirelessItem(DeviceListText("Key", "300400000001")));
    // A short serial puts the position on the product text: a letter there is not a number.
    EXPECT_THROW(isWirelessItem(DeviceListText("Key", "3014")), std::runtime_error);
}

TEST(Capabilities, MissingOrNonDigitCharactersGiveTheConversionError)
{
    const auto message = [](auto f) {
        try {
            f();
        } catch (const std::runtime_error& e) {
            return QString::fromUtf8(e.what());
        }
        return QStringLiteral("no error");
    };
    EXPECT_EQ(message([] { bindCapacity("30A1"); }), QStringLiteral("'A' is not a valid integer value"));
    EXPECT_EQ(message([] { hasPairing("30"); }), QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(message([] { mousePageAfterChange("30"); }), QStringLiteral("'0' is not a valid integer value"));
    EXPECT_EQ(message([] { triggerGroupsAfterSelection(""); }), QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(message([] { isWirelessItem("short"); }), QStringLiteral("'' is not a valid integer value"));
    EXPECT_EQ(message([] { decimalAt("1-2", 1, 3); }), QStringLiteral("'1-2' is not a valid integer value"));
    // Numbers past the range of int, and ranges whose end passes it, are refused, not wrapped.
    EXPECT_EQ(decimalAt("x2147483647", 2, 10), 2147483647);
    constexpr int Max = std::numeric_limits<int>::max();
    const struct {
        const char* text;
        int first, count;
        const char* quoted;
    } refused[] = {
        {"2147483648", 1, 10, "2147483648"},
        {"99999999999", 1, 11, "99999999999"},
        {"123", Max, 2, ""},
        {"123", 2, Max, "23"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(message([&] { decimalAt(r.text, r.first, r.count); }),
                  QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(r.quoted)))
            << r.text << " at " << r.first;
    }
}

TEST(Capabilities, DecimalAtTakesAnyArgumentsWithoutOverflow)
{
    constexpr int Max = std::numeric_limits<int>::max();
    constexpr int Min = std::numeric_limits<int>::min();
    const QString digits = QStringLiteral("0123456789");
    const struct {
        QString text;
        int first, count;
        const char* result;  // the number, or the text the error quotes
    } cases[] = {
        {digits, 1, 10, "123456789"},
        {digits, 10, 1, "9"},
        {QStringLiteral("2147483647"), 1, 10, "2147483647"},
        {QStringLiteral("2147483648"), 1, 10, "'2147483648'"},
        {QStringLiteral("99999999999999999999"), 1, 20, "'99999999999999999999'"},
        {digits, 1, 0, "''"},
        {digits, 3, -1, "''"},
        {digits, 1, Min, "''"},
        {digits, 0, 1, "''"},
        {digits, -5, 8, "'01'"},
        {digits, Min, 1, "''"},
        {digits, Min, Max, "''"},
        {digits, 11, 1, "''"},
        {digits, Max, 1, "''"},
        {digits, Max, Max, "''"},
        {digits, 2, Max, "'123456789'"},
        {digits, 9, Max - 5, "'89'"},
        {QString(), 1, 1, "''"},
        {QString(), Max, Min, "''"},
    };
    for (const auto& c : cases) {
        QString got;
        try {
            got = QString::number(decimalAt(c.text, c.first, c.count));
        } catch (const std::runtime_error& e) {
            got = QString::fromUtf8(e.what()).section(QLatin1Char(' '), 0, 0);
        }
        EXPECT_EQ(got, QString::fromLatin1(c.result)) << c.text.toStdString() << " " << c.first << " " << c.count;
    }
}
