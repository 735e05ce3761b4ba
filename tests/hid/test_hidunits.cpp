#include "hid/hiddevice.h"
#include "hid/serialtext.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace tavrel;

TEST(HidDevice, AFailingNodeIsLookedAtEverMoreSeldom)
{
    const struct {
        int failures;
        int delayMs;
    } cases[] = {{0, 0}, {1, 0}, {2, 100}, {3, 200}, {7, 3200}, {8, 5000}, {1000, 5000}};
    for (const auto& c : cases)
        EXPECT_EQ(HidDevice::recheckDelayMs(c.failures), c.delayMs) << c.failures << " failures";
}

TEST(SerialNumberText, TheSerialIsWhatDiffersFromTheLanguageList)
{
    const std::vector<quint16> english{0x0409};
    const struct {
        const char* name;
        std::optional<QString> serial;
        std::optional<std::vector<quint16>> languages;
        QString expected;
    } cases[] = {
        {"ordinary serial", QStringLiteral("301234567890"), english, QStringLiteral("301234567890")},
        {"serial request answered with the language list", QString(QChar(0x0409)), english, QString()},
        {"serial request failed", std::nullopt, english, QString()},
        {"language list unreadable", QStringLiteral("301234567890"), std::nullopt, QString()},
        {"empty language list", QStringLiteral("301234567890"), std::vector<quint16>{}, QString()},
        {"two languages, serial starts with them", QString(QChar(0x0409)) + QChar(0x0407) + QStringLiteral("XY"),
         std::vector<quint16>{0x0409, 0x0407}, QString()},
        {"two languages, serial differs in the second unit", QString(QChar(0x0409)) + QStringLiteral("X"),
         std::vector<quint16>{0x0409, 0x0407}, QString(QChar(0x0409)) + QStringLiteral("X")},
        {"cut at the first zero unit", QStringLiteral("AB") + QChar(0) + QStringLiteral("CD"), english,
         QStringLiteral("AB")},
        {"a zero first unit leaves nothing", QChar(0) + QStringLiteral("301234567890"), english, QString()},
        {"at most 254 units", QString(300, QChar(u'7')), english, QString(254, QChar(u'7'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(serialNumberText(c.serial, c.languages), c.expected);
    }
}
