#include "config/assignment.h"
#include "keys/keynames.h"

#include <gtest/gtest.h>

using namespace tavrel;

namespace {

QString bytesOf(const KeyRecord& r)
{
    QStringList parts;
    for (quint8 b : r.bytes())
        parts << hexByte(b);
    return parts.join(QLatin1Char(' '));
}

// The record's bytes as "05 04 00 00 00", or "error: <reason>".
QString parsed(const QString& text, bool repeat = false)
{
    const AssignmentResult result = parseAssignment(text, repeat);
    if (const auto* error = std::get_if<AssignmentError>(&result))
        return QStringLiteral("error: ") + error->reason;
    return bytesOf(std::get<KeyRecord>(result));
}

AssignmentError errorOf(const QString& text)
{
    const AssignmentResult result = parseAssignment(text, false);
    const auto* error = std::get_if<AssignmentError>(&result);
    return error ? *error : AssignmentError{QStringLiteral("(parsed)"), {}};
}

bool isModifier(int usage)
{
    return usage >= FirstModifierUsage && usage <= LastModifierUsage;
}

}  // namespace

TEST(Assignment, EveryKeyNameRoundTripsInAnyCase)
{
    for (const KeyName& k : keyNameTable()) {
        const QString name = QString::fromLatin1(k.name);
        const KeyRecord expected =
            isModifier(k.usage) ? KeyRecord{quint8(1u << (k.usage - FirstModifierUsage)), 0, 0, 0, ModeKeyboardSingle}
                                : KeyRecord{0, quint8(k.usage), 0, 0, ModeKeyboardSingle};
        for (const QString& spelling : {name, name.toLower(), name.toUpper()})
            EXPECT_EQ(parsed(spelling), bytesOf(expected)) << k.name << " as " << qPrintable(spelling);
        EXPECT_EQ(assignmentText(expected), name) << k.name;

        // With every modifier held: the name still comes back, after the modifiers in display order.
        if (!isModifier(k.usage)) {
            const KeyRecord all{0xFF, quint8(k.usage), 0, 0, ModeKeyboardRepeat};
            const QString text = assignmentText(all);
            EXPECT_EQ(text, QStringLiteral("Ctrl+Alt+Shift+Left Windows+Right Ctrl+Right Alt+Right Shift+"
                                           "Right Windows+")
                                + name);
            EXPECT_EQ(parsed(text, true), bytesOf(all)) << k.name;
        }
    }
}

TEST(Assignment, FormatsKeyboardAndMouseRecords)
{
    const std::pair<KeyRecord, const char*> cases[] = {
        {{0x03, 0x05, 0, 0, 0x00}, "Ctrl+Shift+B"},
        {{0x08, 0x08, 0, 0, 0x02}, "Left Windows+E"},
        {{0x00, 0x3E, 0, 0, 0x00}, "F5"},
        {{0x02, 0x00, 0, 0, 0x00}, "Shift"},
        {{0x00, 0x00, 0, 0, 0x00}, ""},
        {{0x01, 0x04, 0x05, 0x06, 0x00}, "Ctrl+A+B+C"},  // codes a device may hold beyond the first
        {{0x01, 0x00, 0, 0, 0x01}, "mouse:left"},
        {{0x02, 0x00, 0, 0, 0x03}, "mouse:right"},
        {{0x04, 0x00, 0, 0, 0x01}, "mouse:middle"},
        {{0x04, 0x09, 0, 0, 0x03}, "mouse:middle"},  // a mouse key's codes are not part of its name
        {{0x08, 0x00, 0, 0, 0x01}, "mouse:08"},      // a button no key holds is shown as its byte
        {{0x01, 0x00, 0, 0, 0x04}, "mouse:left"},    // the window shows every other mode as a mouse key
    };
    for (const auto& [record, text] : cases)
        EXPECT_EQ(assignmentText(record), QLatin1String(text)) << text;

    const std::pair<quint8, const char*> triggers[] = {{0x00, "single"},
                                                       {0x01, "single"},
                                                       {0x02, "repeat"},
                                                       {0x03, "repeat"}};
    for (const auto& [mode, text] : triggers)
        EXPECT_EQ(triggerText(mode), QLatin1String(text)) << int(mode);
}

TEST(Assignment, ParsesCombinationsInAnyOrderAndSpacing)
{
    struct Case {
        const char* text;
        bool repeat;
        const char* bytes;
    } cases[] = {
        {"Ctrl+Shift+B", false, "03 05 00 00 00"},
        {"Shift+Ctrl+B", false, "03 05 00 00 00"},
        {"B+Shift+Ctrl", false, "03 05 00 00 00"},
        {"left windows + e", true, "08 08 00 00 02"},
        {"  F5  ", false, "00 3E 00 00 00"},
        {"Shift", false, "02 00 00 00 00"},
        {"Ctrl+Ctrl+A+a", false, "01 04 00 00 00"},  // naming a key twice is harmless
        {"Right Ctrl+Right Alt", false, "50 00 00 00 00"},
        {"", false, "00 00 00 00 00"},
        {"", true, "00 00 00 00 02"},
        // Names that hold the separator or a space are read whole.
        {"Num +", false, "00 57 00 00 00"},
        {"Shift+Num +", false, "02 57 00 00 00"},
        {"Num ++Ctrl", false, "01 57 00 00 00"},
        {"Ctrl+Page Down", false, "01 4E 00 00 00"},
        {"Shift+=", false, "02 2E 00 00 00"},
        {"Ctrl+\\", false, "01 31 00 00 00"},
        {"mouse:left", false, "01 00 00 00 01"},
        {"Mouse:RIGHT", true, "02 00 00 00 03"},
        {"mouse: middle", false, "04 00 00 00 01"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsed(QString::fromLatin1(c.text), c.repeat), QLatin1String(c.bytes)) << c.text;
}

TEST(Assignment, RefusesWhatAKeyCannotHoldWithCloseMatches)
{
    struct Case {
        const char* text;
        const char* reasonHas;
        QStringList suggestions;
    } cases[] = {
        {"Ctlr+A", "unknown key name \"Ctlr\" (did you mean \"Ctrl\"?)", {"Ctrl"}},
        {"Ctrl+Escape", "\"Escape\"", {"Esc"}},
        {"Page", "\"Page\" (did you mean \"Page Up\" or \"Page Down\"?)", {"Page Up", "Page Down"}},
        {"Win+E", "\"Win\"", {"Left Windows", "Right Windows"}},
        {"Control+A", "\"Control\"", {"Ctrl"}},
        {"Left Ctrl+A", "\"Left Ctrl\"", {"Left", "Ctrl"}},
        {"PgUp", "\"PgUp\"", {"Page Up"}},
        {"Shfit+A", "\"Shfit\"", {"Shift"}},
        {"Num+", "(did you mean \"Num /\", \"Num *\" or \"Num -\"?)", {"Num /", "Num *", "Num -"}},  // three at most
        {"Ctrl+<", "unknown key name \"<\"", {}},
        {"Ctrl++A", "a key name is missing in \"Ctrl++A\"", {}},
        {"Ctrl+", "a key name is missing", {}},
        {"+A", "a key name is missing", {}},
        {"A+B", "\"A\" and \"B\" are both ordinary keys", {}},
        {"Ctrl+F5+Application", "\"F5\" and \"Application\" are both ordinary keys", {}},
        {"mouse:midle", "unknown mouse button \"midle\" (did you mean \"middle\"?)", {"middle"}},
        {"mouse:wheel", "the buttons are left, right and middle", {}},
        {"mouse:", "unknown mouse button \"\"", {}},
    };
    for (const Case& c : cases) {
        const AssignmentError e = errorOf(QString::fromLatin1(c.text));
        EXPECT_TRUE(e.reason.contains(QLatin1String(c.reasonHas))) << c.text << ": " << qPrintable(e.reason);
        EXPECT_EQ(e.suggestions, c.suggestions) << c.text << ": " << qPrintable(e.suggestions.join(", "));
    }
}
