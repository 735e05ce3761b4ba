// Keyboard capture with real key presses on the X display: the hook library reports them to the
// main window, the capture box names the combination, and the write puts it into the key.

#include "harness.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tavrel::e2e;

namespace {

const QString Zeros = QStringLiteral("00 00 00 00 00");

QString field(const Snapshot& s, const char* name)
{
    return s.widget(Main, QLatin1String(name)).text();
}

// Why no key press arrived, when the hook library could not have found the window.
std::string hookNote(const Snapshot& s)
{
    QFile mapping(QStringLiteral("/dev/shm/TestHook"));
    if (!mapping.open(QIODevice::ReadOnly))
        return "\n/dev/shm/TestHook is missing: another program took the name over and removed it";
    const QByteArray bytes = mapping.read(4);
    if (bytes.size() != 4)
        return "\n/dev/shm/TestHook is too short";
    const quint32 id = quint8(bytes[0]) | quint32(quint8(bytes[1])) << 8 | quint32(quint8(bytes[2])) << 16
        | quint32(quint8(bytes[3])) << 24;
    return "\n/dev/shm/TestHook holds window " + std::to_string(id) + "; main window active: "
        + (s.widget(Main, Main).is(QStringLiteral("active")) ? "yes" : "no");
}

const QStringList TextBox1 = onRoot({QStringLiteral("TabControl1"), QStringLiteral("Layout2"), QStringLiteral("TextBox1")});

}  // namespace

TEST(Capture, KeyPressesBecomeTheSelectedKeysRecord)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=wired,serial=310000000001,keys=6")}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);

    // Key 1 holds Alt+1, repeating: the capture replaces the combination and keeps the trigger.
    ASSERT_TRUE(run.command(QStringLiteral("set wired 0 04 1E 00 00 02")));
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("CircleButton3")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return readSettled(s, 6) && field(s, "TextBox1") == QLatin1String("Alt+1")
                && s.widget(Main, QStringLiteral("RadioButton7")).is(QStringLiteral("checked"));
        },
        20000, &s))
        << context(s, run);

    ASSERT_TRUE(run.click(s, Main, TextBox1));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return s.widget(Main, Main).is(QStringLiteral("active")); }, 10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.pressKeys(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "TextBox1") == QLatin1String("Ctrl+A"); }, 10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "Edit1"), QStringLiteral("224-4"));
    EXPECT_EQ(field(s, "Edit2"), QStringLiteral("01-04-00-00"));

    ASSERT_TRUE(run.command(QStringLiteral("clear-received wired")));
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("received wired")),
              QStringList({QStringLiteral("02 02 00 01 04 00 00 02"), QStringLiteral("02 02 01 00 00 00 00 00"),
                           QStringLiteral("02 02 02 00 00 00 00 00"), QStringLiteral("02 02 03 00 00 00 00 00"),
                           QStringLiteral("02 02 04 00 00 00 00 00"), QStringLiteral("02 02 05 00 00 00 00 00")}));
    EXPECT_EQ(run.list(QStringLiteral("store wired")),
              QStringList({QStringLiteral("01 04 00 00 02"), Zeros, Zeros, Zeros, Zeros, Zeros, Zeros, Zeros}));

    // Key 2: the left Windows key comes as a message of its own.
    s = run.snapshot();
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("HorzImageListBox1"), QStringLiteral("anjianItem1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return field(s, "Text3") == QStringLiteral("设置按键:2") && field(s, "TextBox1").isEmpty();
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Main, TextBox1));
    ASSERT_TRUE(run.pressKeys(QStringLiteral("super+b")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "TextBox1") == QLatin1String("Left Windows+B"); },
                            10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "Edit2"), QStringLiteral("08-05-00-00"));

    // A key the devices cannot send is named, and the record stays as it was.
    ASSERT_TRUE(run.pressKeys(QStringLiteral("XF86AudioMute")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "TextBox1") == QLatin1String("Mute"); }, 10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "Edit1"), QStringLiteral("0"));
    EXPECT_EQ(field(s, "Edit2"), QStringLiteral("08-05-00-00"));

    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("store wired")),
              QStringList({QStringLiteral("01 04 00 00 02"), QStringLiteral("08 05 00 00 00"), Zeros, Zeros, Zeros, Zeros,
                           Zeros, Zeros}));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
