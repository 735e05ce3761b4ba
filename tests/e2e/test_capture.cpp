// Keyboard capture with real key presses on the X display: the hook library reports them to the
// main window, the capture box names the combination, and the write puts it into the key.

#include "harness.h"

#include "keys/hookinterface.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
// Last: Xlib's macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>

using namespace tavrel::e2e;

namespace {

const QString Zeros = QStringLiteral("00 00 00 00 00");

QString field(const Snapshot& s, const char* name)
{
    return s.widget(Main, QLatin1String(name)).text();
}

// What this user's "TestHook" holds, read as the hook library reads it.
std::optional<tavrel::TestHookRecord> testHookRecord()
{
    const int fd = shm_open(tavrel::testHookName().c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    unsigned char bytes[tavrel::TestHookSize];
    const bool read = pread(fd, bytes, sizeof bytes, 0) == ssize_t(sizeof bytes);
    close(fd);
    if (!read)
        return std::nullopt;
    return tavrel::decodeTestHook(bytes);
}

// Why no key press arrived, when the hook library could not have found the window.
std::string hookNote(const Snapshot& s)
{
    const std::string name = tavrel::testHookName();
    const std::optional<tavrel::TestHookRecord> record = testHookRecord();
    if (!record)
        return "\n" + name + " is missing or too short: another program took the name over and removed it";
    return "\n" + name + " holds window " + std::to_string(record->window)
           + "; main window active: " + (s.widget(Main, Main).is(QStringLiteral("active")) ? "yes" : "no");
}

// A left Windows key press sent to the window as another X client would send it, carrying that
// token; false when it could not be sent.
bool sendLeftWindowsDown(quint32 window, quint64 token)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, tavrel::HookMessageAtomName, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 0x2400;  // the left Windows key
    event.xclient.data.l[1] = 256;     // down
    event.xclient.data.l[tavrel::HookMessageTokenLowSlot] = long(quint32(token));
    event.xclient.data.l[tavrel::HookMessageTokenHighSlot] = long(quint32(token >> 32));
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    // Once the server has it, the program gets it before any key pressed from here on.
    XSync(display, False);
    XCloseDisplay(display);
    return sent;
}

const QStringList CaptureBox = onRoot({QStringLiteral("pages"), QStringLiteral("pageStack"),
                                       QStringLiteral("keyboardPage"), QStringLiteral("captureBox")});

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
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("readButton")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return readSettled(s, 6) && field(s, "captureBox") == QLatin1String("Alt+1")
                   && s.widget(Main, QStringLiteral("keyboardRepeatRadio")).is(QStringLiteral("checked"));
        },
        20000, &s))
        << context(s, run);

    ASSERT_TRUE(run.click(s, Main, CaptureBox));
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return s.widget(Main, Main).is(QStringLiteral("active")); }, 10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.pressKeys(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return field(s, "captureBox") == QLatin1String("Ctrl+A"); }, 10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(s.capture(QStringLiteral("codes")), QStringLiteral("224-4"));
    EXPECT_EQ(s.capture(QStringLiteral("trace")), QStringLiteral("01-04-00-00"));

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
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("keyPicker"), QStringLiteral("keyItem1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return field(s, "keyCaption") == QStringLiteral("设置按键:2") && field(s, "captureBox").isEmpty();
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Main, CaptureBox));
    ASSERT_TRUE(run.pressKeys(QStringLiteral("super+b")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "captureBox") == QLatin1String("Left Windows+B"); },
                            10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(s.capture(QStringLiteral("trace")), QStringLiteral("08-05-00-00"));

    // A key the devices cannot send changes nothing: the record stays as it was, and the box
    // shows what the key will send.
    ASSERT_TRUE(run.pressKeys(QStringLiteral("XF86AudioMute")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return s.capture(QStringLiteral("codes")) == QLatin1String("0"); },
                            10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "captureBox"), QStringLiteral("Left Windows+B"));
    EXPECT_EQ(s.capture(QStringLiteral("trace")), QStringLiteral("08-05-00-00"));

    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("store wired")),
              QStringList({QStringLiteral("01 04 00 00 02"), QStringLiteral("08 05 00 00 00"), Zeros, Zeros, Zeros,
                           Zeros, Zeros, Zeros}));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(Capture, MessagesOfOtherXClientsWithoutTheTokenAreIgnored)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=wired,serial=310000000001,keys=6")}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);
    ASSERT_TRUE(run.click(s, Main, CaptureBox));
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return s.widget(Main, Main).is(QStringLiteral("active")); }, 10000, &s))
        << context(s, run);
    const std::optional<tavrel::TestHookRecord> record = testHookRecord();
    ASSERT_TRUE(record) << hookNote(s);

    // Held down by forged messages, the left Windows key would join the combination typed next.
    ASSERT_TRUE(sendLeftWindowsDown(record->window, 0));
    ASSERT_TRUE(sendLeftWindowsDown(record->window, record->token ^ 0x8000000000000001));
    ASSERT_TRUE(run.pressKeys(QStringLiteral("ctrl+a")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "captureBox").endsWith(QLatin1String("Ctrl+A")); },
                            10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "captureBox"), QStringLiteral("Ctrl+A"));

    // The same message with the run's token is taken, so the ones above did reach the window.
    ASSERT_TRUE(sendLeftWindowsDown(record->window, record->token));
    ASSERT_TRUE(run.pressKeys(QStringLiteral("b")));
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return field(s, "captureBox").endsWith(QLatin1String("B")); }, 10000, &s))
        << hookNote(s) << context(s, run);
    EXPECT_EQ(field(s, "captureBox"), QStringLiteral("Left Windows+B"));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
