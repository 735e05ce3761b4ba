// The hook library on a real X server (Xvfb): keys typed with xdotool must reach a window of the
// program as the messages the capture expects, and nothing must arrive once the hook is off.

#include "config/combination.h"
#include "config/keyrecord.h"
#include "keys/hookinterface.h"
#include "keys/keycapture.h"
#include "platform/hooklibrary.h"
#include "platform/hookmessagefilter.h"
#include "platform/keynametext.h"

#include "qt_print.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QWidget>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tavrel;
using namespace tavrel::platform;

namespace tavrel::platform {
void PrintTo(const HookMessage& m, std::ostream* os)
{
    *os << std::hex << "{" << m.message << ", " << std::dec << m.wParam << ", " << std::hex << m.lParam << "}";
}
}  // namespace tavrel::platform

class HookOnX11 : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qputenv("QT_QPA_PLATFORM", "xcb");
        static int argc = 1;
        static char name[] = "test_hook_x11";
        static char* argv[] = {name, nullptr};
        s_app = new QApplication(argc, argv);
        s_window = new QWidget;
        s_window->setWindowTitle(QStringLiteral("capture target"));
        s_window->show();
        // A name of its own, which hookOn() tells the library, so that a program of the same user
        // running meanwhile (another test, a developer's Tavrel) never takes it over.
        s_hook = new KeyboardHook(setUpKeyboardHook(quint32(s_window->winId()), {MORVIK_FOLDER}, s_name));
        ASSERT_TRUE(s_hook->library->takesSharedMemoryName());
        s_hook->library->useSharedMemoryName(s_name);
        s_filter =
            new HookMessageFilter(s_hook->memory->token(), [](const HookMessage& m) { s_received.push_back(m); });
        ASSERT_NE(s_filter->atom(), 0u);
        s_app->installNativeEventFilter(s_filter);
    }

    static void TearDownTestSuite()
    {
        if (s_hook && s_hook->library)
            s_hook->library->HookOff();
        delete s_hook;
        s_hook = nullptr;
        if (s_app && s_filter)
            s_app->removeNativeEventFilter(s_filter);
        delete s_filter;
        delete s_window;
        delete s_app;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_hook && s_hook->library) << "hook set-up failed";
        s_received.clear();
    }
    void TearDown() override
    {
        if (s_hook && s_hook->library)
            hookOff();
    }

    static void xdotool(const QStringList& arguments)
    {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0) << arguments.join(' ').toStdString();
    }

    // Waits (generously, for slow machines) until count messages are in, then a little longer
    // so that any message too many shows up as well.
    static std::vector<HookMessage> receive(std::size_t count)
    {
        QDeadlineTimer deadline(20000);
        while (s_received.size() < count && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settle();
        std::vector<HookMessage> messages;
        messages.swap(s_received);
        return messages;
    }

    static void settle()
    {
        QDeadlineTimer quiet(300);
        while (!quiet.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    // As the main window switches the hook on: "TestHook" must name this window first, whatever
    // another instance of the program on the same display has done with it.
    static void hookOn() { ASSERT_TRUE(switchCaptureOn(*s_hook->library, s_hook->memory.get())); }
    static void hookOff() { s_hook->library->HookOff(); }

    static inline const std::string s_name = "/tavrel-test-hook-x11-" + std::to_string(getpid());
    static inline QApplication* s_app = nullptr;
    static inline QWidget* s_window = nullptr;
    static inline HookMessageFilter* s_filter = nullptr;
    static inline KeyboardHook* s_hook = nullptr;
    static inline std::vector<HookMessage> s_received;
};

namespace {

struct Capture {
    QString text;
    QString codes;
    QStringList record;
};

// What the capture makes of the messages, taken through the key-name function.
Capture captureOf(const std::vector<HookMessage>& messages)
{
    KeyCapture capture;
    KeyRecord record;
    Capture result;
    for (const HookMessage& m : messages) {
        const auto event = decodeHookMessage(m.message, m.wParam, m.lParam, keyNameText);
        if (!event)
            continue;
        if (const auto taken = capture.handle(*event)) {
            if (!result.text.isEmpty())
                continue;
            result.text = taken->text;
            result.codes = taken->codes;
            record = encodeCombination(record, taken->keys).record;
        }
    }
    for (int f = 0; f < 4; ++f)
        result.record.append(hexByte(record.bytes()[std::size_t(f)]));
    return result;
}

constexpr quint32 Down = 0x00000001, Up = 0xC0000001;
constexpr quint32 key(quint32 transition, quint8 scan, bool extended = false)
{
    return transition | keystroke::flags(scan, extended);
}

}  // namespace

TEST_F(HookOnX11, CtrlAReachesTheWindowAsKeystrokeMessages)
{
    hookOn();
    s_hook->library->HookOn();  // a second HookOn must not double the messages
    xdotool({"key", "ctrl+a"});
    const auto messages = receive(4);
    EXPECT_EQ(messages, (std::vector<HookMessage>{
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x1D)},
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x1E)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x1D)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x1E)},
                        }));
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(keyNameText(messages[0].lParam), QStringLiteral("Ctrl"));
    EXPECT_EQ(keyNameText(messages[1].lParam), QStringLiteral("A"));
    const Capture capture = captureOf(messages);
    EXPECT_EQ(capture.text, QStringLiteral("Ctrl+A"));
    EXPECT_EQ(capture.codes, QStringLiteral("224-4"));
    EXPECT_EQ(capture.record, (QStringList{"01", "04", "00", "00"}));
}

TEST_F(HookOnX11, LeftWindowsKeyHasMessagesOfItsOwn)
{
    hookOn();
    xdotool({"key", "super+b"});
    const auto messages = receive(4);
    EXPECT_EQ(messages, (std::vector<HookMessage>{
                            {HookLeftWindowsMessage, KeyDownWParam, 0},
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x30)},
                            {HookLeftWindowsMessage, KeyUpWParam, 0},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x30)},
                        }));
    const Capture capture = captureOf(messages);
    EXPECT_EQ(capture.text, QStringLiteral("Left Windows+B"));
    EXPECT_EQ(capture.codes, QStringLiteral("227-5"));
    EXPECT_EQ(capture.record, (QStringList{"08", "05", "00", "00"}));
}

TEST_F(HookOnX11, ExtendedKeysCarryTheExtendedFlag)
{
    hookOn();
    xdotool({"key", "Home", "Right", "KP_Enter", "Menu"});
    const auto messages = receive(8);
    EXPECT_EQ(messages, (std::vector<HookMessage>{
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x47, true)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x47, true)},
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x4D, true)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x4D, true)},
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x1C, true)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x1C, true)},
                            {HookMenuKeyMessage, KeyDownWParam, 0},
                            {HookMenuKeyMessage, KeyUpWParam, 0},
                        }));
    ASSERT_EQ(messages.size(), 8u);
    const char* names[] = {"Home", "Right", "Num Enter"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(keyNameText(messages[2 * i].lParam), QLatin1String(names[i]));
}

TEST_F(HookOnX11, KeyOutsideTheTableIsNamedButEncodesToNothing)
{
    hookOn();
    xdotool({"key", "ctrl+XF86AudioMute"});
    const auto messages = receive(4);
    EXPECT_EQ(messages, (std::vector<HookMessage>{
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x1D)},
                            {HookKeyMessage, KeyDownWParam, key(Down, 0x20, true)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x1D)},
                            {HookKeyMessage, KeyUpWParam, key(Up, 0x20, true)},
                        }));
    const Capture capture = captureOf(messages);
    EXPECT_EQ(capture.text, QStringLiteral("Ctrl+Mute"));
    EXPECT_EQ(capture.codes, QStringLiteral("224-0"));
    EXPECT_EQ(capture.record, (QStringList{"01", "00", "00", "00"}));  // Ctrl alone
}

TEST_F(HookOnX11, NothingArrivesOnceTheHookIsOff)
{
    hookOff();  // off while already off does nothing
    hookOn();
    hookOff();
    hookOff();
    xdotool({"key", "ctrl+a", "super+b"});
    EXPECT_TRUE(receive(0).empty());

    hookOn();
    xdotool({"key", "b"});
    EXPECT_EQ(receive(2).size(), 2u);
}

TEST_F(HookOnX11, HookOffForgetsWhichKeysAreHeld)
{
    hookOn();
    xdotool({"keydown", "ctrl"});
    EXPECT_EQ(receive(1), (std::vector<HookMessage>{{HookKeyMessage, KeyDownWParam, key(Down, 0x1D)}}));
    hookOff();
    xdotool({"keyup", "ctrl"});
    hookOn();
    xdotool({"key", "ctrl"});
    // A press after the release it missed is a press, not an auto-repeat.
    EXPECT_EQ(receive(2), (std::vector<HookMessage>{{HookKeyMessage, KeyDownWParam, key(Down, 0x1D)},
                                                    {HookKeyMessage, KeyUpWParam, key(Up, 0x1D)}}));
}

namespace {

// A hook message sent to the window by an X client of its own, as any program on the display can.
void sendAsAnotherClient(quint32 window, const HookMessage& m, quint64 token)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_TRUE(display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, HookMessageAtomName, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(m.message);
    event.xclient.data.l[1] = long(m.wParam);
    event.xclient.data.l[2] = long(m.lParam);
    event.xclient.data.l[HookMessageTokenLowSlot] = long(quint32(token));
    event.xclient.data.l[HookMessageTokenHighSlot] = long(quint32(token >> 32));
    EXPECT_NE(XSendEvent(display, window, False, NoEventMask, &event), 0);
    XSync(display, False);
    XCloseDisplay(display);
}

}  // namespace

TEST_F(HookOnX11, MessagesFromOtherClientsNeedTheRunsToken)
{
    const quint32 window = quint32(s_window->winId());
    const quint64 token = s_hook->memory->token();
    const HookMessage lwin{HookLeftWindowsMessage, KeyDownWParam, 0};
    const struct {
        const char* title;
        quint64 carried;
    } forged[] = {
        {"no token", 0},
        {"another token", token ^ 0x0000000100000001},
        {"half of the token", token & 0xFFFFFFFF},
    };
    for (const auto& f : forged) {
        sendAsAnotherClient(window, lwin, f.carried);
        EXPECT_TRUE(receive(0).empty()) << f.title;
    }
    // The same message with the token arrives, so the ones above did reach the window.
    sendAsAnotherClient(window, lwin, token);
    EXPECT_EQ(receive(1), (std::vector<HookMessage>{lwin}));
}

TEST_F(HookOnX11, LibraryTrustsOnlyAnObjectNobodyElseCanOpen)
{
    const int fd = shm_open(s_hook->memory->name().c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    const struct {
        const char* title;
        mode_t mode;
        uid_t owner;
    } cases[] = {
        {"readable by the group", 0640, geteuid()},
        {"readable by others", 0604, geteuid()},
        {"writable by others", 0602, geteuid()},
        {"another user's", 0600, 65534},
    };
    for (const auto& c : cases) {
        if (c.owner != geteuid() && geteuid() != 0) {
            std::cout << "skipped \"" << c.title << "\": needs root\n";
            continue;
        }
        ASSERT_EQ(fchmod(fd, c.mode), 0);
        ASSERT_EQ(fchown(fd, c.owner, gid_t(-1)), 0);
        s_hook->library->HookOn();
        xdotool({"key", "b"});
        EXPECT_TRUE(receive(0).empty()) << c.title;
        hookOff();

        // Made private again, the object is trusted; a message of the refused HookOn arriving
        // late would come first.
        ASSERT_EQ(fchown(fd, geteuid(), gid_t(-1)), 0);
        ASSERT_EQ(fchmod(fd, 0600), 0);
        hookOn();
        xdotool({"key", "c"});
        EXPECT_EQ(receive(2), (std::vector<HookMessage>{{HookKeyMessage, KeyDownWParam, key(Down, 0x2E)},
                                                        {HookKeyMessage, KeyUpWParam, key(Up, 0x2E)}}))
            << c.title;
        hookOff();
    }
    close(fd);
}

// Someone else takes the name (here: a folder in its place, as any user could leave an object
// under "/TestHook.<uid>" first): capture goes on through a name only this process knows, which
// the library is told inside the process. Declared last, as the run keeps that name from then on.
TEST_F(HookOnX11, CaptureGoesOnWhenSomeoneElseTakesTheName)
{
    const std::string shared = s_name;
    ASSERT_EQ(s_hook->memory->name(), shared);
    ASSERT_EQ(shm_unlink(shared.c_str()), 0);
    const std::string folder = "/dev/shm" + shared;
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);

    hookOn();
    EXPECT_NE(s_hook->memory->name(), shared);
    xdotool({"key", "c"});
    EXPECT_EQ(receive(2), (std::vector<HookMessage>{{HookKeyMessage, KeyDownWParam, key(Down, 0x2E)},
                                                    {HookKeyMessage, KeyUpWParam, key(Up, 0x2E)}}));
    hookOff();
    EXPECT_EQ(rmdir(folder.c_str()), 0);
}
