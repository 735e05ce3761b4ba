#include "ui/widgets/linememo.h"

#include <gtest/gtest.h>

#include <QTextDocument>

using tavrel::ui::LineMemo;

namespace {
// What the user sees must be the lines the memo reports.
void expectShown(const LineMemo& memo)
{
    if (memo.lineCount() == 0)
        EXPECT_TRUE(memo.toPlainText().isEmpty());
    else
        EXPECT_EQ(memo.toPlainText(), memo.lines().join(QLatin1Char('\n')));
}
}  // namespace

TEST(LineMemo, EachLineEndEndsOneLine)
{
    struct Case {
        const char* text;
        QStringList lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n", {"a"}},
        {"\n", {""}},
        {"\r\n\n", {"", ""}},
        {"a\r", {"a"}},
    };
    LineMemo memo;
    for (const Case& c : cases) {
        memo.setText(QString::fromUtf8(c.text));
        EXPECT_EQ(memo.lines(), c.lines) << QByteArray(c.text).toPercentEncoding().constData();
        EXPECT_EQ(memo.lineCount(), c.lines.size());
        expectShown(memo);
    }
}

TEST(LineMemo, PairingInstructionsShowSevenLines)
{
    const QString n = QStringLiteral("4");
    const QString lfcr = QStringLiteral("\n\r");
    LineMemo memo;
    memo.setText(QStringLiteral("1.每个接收器最多可绑定") + n + QStringLiteral("个发射器。") + lfcr
                 + QStringLiteral("2.当绑定的发射器超过") + n + QStringLiteral("个，将会挤走最先绑定的发射器。") + lfcr
                 + QStringLiteral("3.可以\"解除所有绑定\"，删除接收器中绑定的全部发射器。") + lfcr
                 + QStringLiteral("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多") + n + QStringLiteral("个。"));
    ASSERT_EQ(memo.lineCount(), 7);
    EXPECT_EQ(memo.line(1), QString());
    EXPECT_EQ(memo.line(6), QStringLiteral("4.经过绑定的接收器，只能被绑定过的发射器遥控。最多4个。"));
    EXPECT_EQ(memo.line(7), QString());
    expectShown(memo);
}

TEST(LineMemo, ReplaceLastLineAndAppend)
{
    LineMemo memo;
    memo.replaceLastLine(QStringLiteral("请在9秒内按下待绑定的发射器任意键..."));
    EXPECT_EQ(memo.lines(), QStringList({"请在9秒内按下待绑定的发射器任意键..."})) << "an empty memo takes the line";

    memo.replaceLastLine(QStringLiteral("请在8秒内按下待绑定的发射器任意键..."));
    memo.appendLine(QStringLiteral("已解除所有绑定,接收器可以接收所有发射器的按键信号."));
    memo.replaceLastLine(QStringLiteral("请在7秒内按下待绑定的发射器任意键..."));
    EXPECT_EQ(memo.lines(),
              QStringList({"请在8秒内按下待绑定的发射器任意键...", "请在7秒内按下待绑定的发射器任意键..."}));
    expectShown(memo);

    // An empty line is a line; text with line ends adds lines, so the count stays true.
    memo.setText(QStringLiteral("\n"));
    memo.appendLine(QString());
    memo.appendLine(QStringLiteral("x\r\ny"));
    memo.replaceLastLine(QStringLiteral("z\nw"));
    EXPECT_EQ(memo.lines(), QStringList({"", "", "x", "z", "w"}));
    EXPECT_EQ(memo.text(), QStringLiteral("\n\nx\nz\nw"));
    expectShown(memo);

    EXPECT_TRUE(memo.isReadOnly());
    EXPECT_EQ(memo.lineWrapMode(), QPlainTextEdit::NoWrap);
}
