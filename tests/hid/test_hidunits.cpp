#include "hid/hidhandler.h"
#include "hid/serialtext.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace tavrel;

namespace {

struct Receiver {
    int calls = 0;
    void onReport(int) { ++calls; }
    void onOther(int) {}
    virtual ~Receiver() = default;
    virtual void onVirtual(int) {}
};

using IntHandler = Handler<void(int)>;

}  // namespace

TEST(Handler, BindingsOfTheSameMethodOnTheSameObjectAreEqual)
{
    Receiver a, b;
    const IntHandler empty;
    const IntHandler boundA(&a, &Receiver::onReport);
    const IntHandler lambda([](int) {});

    EXPECT_EQ(empty, IntHandler());
    EXPECT_EQ(empty, IntHandler(nullptr));
    EXPECT_FALSE(empty);
    EXPECT_EQ(boundA, IntHandler(&a, &Receiver::onReport));
    EXPECT_EQ(IntHandler(&a, &Receiver::onVirtual), IntHandler(&a, &Receiver::onVirtual));
    EXPECT_NE(boundA, IntHandler(&b, &Receiver::onReport));
    EXPECT_NE(boundA, IntHandler(&a, &Receiver::onOther));
    EXPECT_NE(boundA, IntHandler(&a, &Receiver::onVirtual));
    EXPECT_NE(boundA, empty);
    EXPECT_EQ(lambda, IntHandler(lambda));
    EXPECT_NE(lambda, IntHandler([](int) {}));
    EXPECT_NE(lambda, empty);

    boundA(1);
    EXPECT_EQ(a.calls, 1);
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
