#include "devices/devicecapabilities.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tavrel;

TEST(Capabilities, DecodedFromTheSerial)
{
    struct Case {
        const char* serial;
        int capacity;
        bool mouseAfterChange, groups, pairing, wireless;
    } cases[] = {
        {"300000000001", 0, false, true, false, false},  // trigger groups but characters 2-3 = 00
        {"021400000001", 4, true, false, true, true},    // 2-3 = 21: mouse page; 1-2 = 2: no groups
        {"312200000001", 10, true, true, true, true},    // character 3 = 2: five per unit of character 4
        {"014400000001", 20, true, false, true, true},
        {"010000000001", 0, true, false, false, false},  // characters 2-3 = 10
        {"001000000001", 0, false, false, true, true},
        {"025000000000", 0, true, false, true, true},  // 25 >= 2 but 02 < 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        const DeviceCapabilities caps = decodeCapabilities(QStringLiteral("Key"), QString::fromLatin1(c.serial));
        EXPECT_TRUE(caps.decoded);
        EXPECT_EQ(caps.bindCapacity, c.capacity);
        EXPECT_EQ(caps.mousePageAtChange, c.mouseAfterChange);
        EXPECT_EQ(caps.triggerChoice, c.groups);
        EXPECT_EQ(caps.pairing, c.pairing);
        EXPECT_EQ(caps.wireless, c.wireless);
        EXPECT_EQ(caps.modelDigits, QString::fromLatin1(c.serial).left(2));
    }
}

// Serials of other devices that share the ids, or broken ones: the plainest key, whatever part
// of the code is missing, and never an error.
TEST(Capabilities, ASerialThatIsNotACodeDecodesToThePlainestDevice)
{
    const struct {
        const char* product;
        const char* serial;
    } cases[] = {
        {"Key", "AB"},
        {"Key", ""},
        {"Key", "30A1000000001"},
        {"Key", "30"},
        {"Key", "3014"},
        {"Key", "30140"},  // position L - 10 lands on the product's letters
        {"Key", "\xEF\xBC\x93"
                "014000000001"},  // a fullwidth digit is not a digit here
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serial);
        const DeviceCapabilities caps = decodeCapabilities(QString::fromUtf8(c.product), QString::fromUtf8(c.serial));
        EXPECT_FALSE(caps.decoded);
        EXPECT_FALSE(caps.wireless);
        EXPECT_FALSE(caps.triggerChoice);
        EXPECT_FALSE(caps.mousePageAtChange);
        EXPECT_FALSE(caps.pairing);
        EXPECT_EQ(caps.bindCapacity, 0);
    }
}

TEST(Capabilities, ItemText)
{
    EXPECT_EQ(deviceListText("Tavrel Key", "301000000001"), QStringLiteral("Tavrel Key (SN:301000000001)"));
    EXPECT_EQ(deviceListText("", "12"), QStringLiteral(" (SN:12)"));
    EXPECT_EQ(deviceListText("Pedal", ""), QStringLiteral("Pedal"));
    EXPECT_EQ(deviceListText("", ""), QString());
}

TEST(Capabilities, DecimalAtTakesAnyArgumentsWithoutOverflow)
{
    constexpr int Max = std::numeric_limits<int>::max();
    constexpr int Min = std::numeric_limits<int>::min();
    const QString digits = QStringLiteral("0123456789");
    const struct {
        QString text;
        int first, count;
        std::optional<int> result;
    } cases[] = {
        {digits, 1, 10, 123456789},
        {digits, 10, 1, 9},
        {QStringLiteral("2147483647"), 1, 10, Max},
        {QStringLiteral("2147483648"), 1, 10, std::nullopt},
        {QStringLiteral("99999999999999999999"), 1, 20, std::nullopt},
        {QStringLiteral("1-2"), 1, 3, std::nullopt},
        {digits, 1, 0, std::nullopt},
        {digits, 3, -1, std::nullopt},
        {digits, 1, Min, std::nullopt},
        {digits, 0, 1, std::nullopt},
        {digits, -5, 8, std::nullopt},
        {digits, Min, Max, std::nullopt},
        {digits, 11, 1, std::nullopt},
        {digits, Max, Max, std::nullopt},
        {digits, 2, Max, std::nullopt},
        {digits, 9, Max - 5, std::nullopt},
        {QString(), 1, 1, std::nullopt},
        {QString(), Max, Min, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decimalAt(c.text, c.first, c.count), c.result)
            << c.text.toStdString() << " " << c.first << " " << c.count;
}
