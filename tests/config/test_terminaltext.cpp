// Text from a device or a file on its way to a terminal: every character a terminal would act
// on shows as an escape, and nothing else changes.
#include "config/terminaltext.h"

#include <gtest/gtest.h>

using namespace tavrel;

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

TEST(TerminalText, ShowsWhatATerminalWouldActOnAsEscapes)
{
    const struct {
        const char* title;
        QString text;
        QString shown;
    } cases[] = {
        {"an escape sequence that retitles the window", QStringLiteral("\x1b]0;owned\x07Key"),
         QStringLiteral("\\x1b]0;owned\\x07Key")},
        {"a bell, a backspace and a NUL", QStringLiteral("a\x07") + QChar(0) + QStringLiteral("b\b"),
         QStringLiteral("a\\x07\\x00b\\x08")},
        {"line breaks and a tab", QStringLiteral("1\r\n2\t3"), QStringLiteral("1\\r\\n2\\t3")},
        {"DEL", QStringLiteral("x\x7fy"), QStringLiteral("x\\x7fy")},
        {"the one-character CSI of the C1 controls", QChar(0x9B) + QStringLiteral("2J"), QStringLiteral("\\u009b2J")},
        {"the first and last C1 control", QString(QChar(0x80)) + QChar(0x9F), QStringLiteral("\\u0080\\u009f")},
        {"a mark that reverses the text", QStringLiteral("txt.") + QChar(0x202E) + QStringLiteral("exe"),
         QStringLiteral("txt.\\u202eexe")},
        {"a line separator", QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b"), QStringLiteral("a\\u2028b")},
        {"a lone surrogate", QStringLiteral("a") + QChar(0xD800), QStringLiteral("a\\ud800")},
        // What a terminal shows as it is stays so.
        {"Latin, Chinese, an emoji, a backslash", QStringLiteral("Ünï 按键 😀 C:\\x1b"),
         QStringLiteral("Ünï 按键 😀 C:\\x1b")},
        {"the characters next to the C1 block", QStringLiteral("~ \u00a0\u00e9"), QStringLiteral("~ \u00a0\u00e9")},
        {"nothing", QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(terminalSafe(c.text), c.shown) << c.title;
        // Escaping twice changes nothing more: the escapes themselves are plain characters.
        EXPECT_EQ(terminalSafe(terminalSafe(c.text)), c.shown) << c.title;
    }
}
