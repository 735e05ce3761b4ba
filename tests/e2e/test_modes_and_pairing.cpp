// The mouse page of a key that offers it, and the pairing window against an emulated receiver:
// instructions, a binding that is answered, one that is not, and clearing all bindings.

#include "common/pairingtexts.h"
#include "harness.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace tavrel::e2e;
using tavrel::test::pairingInstructionLines;

namespace {

const QString Zeros = QStringLiteral("00 00 00 00 00");

QStringList pairingLines(const Snapshot& s)
{
    return s.widget(Pairing, QStringLiteral("messages")).lines();
}

QString lastPairingLine(const Snapshot& s)
{
    const QStringList lines = pairingLines(s);
    return lines.isEmpty() ? QString() : lines.back();
}

const QString TimedOut = QStringLiteral("计时结束,未收到发射器传来的按键信号。");
const QRegularExpression CountdownLine(QStringLiteral("^请在(\\d+)秒内按下待绑定的发射器任意键\\.\\.\\.$"));

// The seconds a countdown line shows, or -1 for another line.
int secondsShown(const QString& line)
{
    const QRegularExpressionMatch match = CountdownLine.match(line);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Notes each second the countdown shows while a snapshot is waited for, once per second.
struct CountdownSeen {
    std::vector<int> seconds;
    void note(const Snapshot& s)
    {
        const int shown = secondsShown(lastPairingLine(s));
        if (shown >= 0 && (seconds.empty() || seconds.back() != shown))
            seconds.push_back(shown);
    }
    // Each second seen fewer than the one before it, from the ten the binding starts with.
    bool countsDown() const
    {
        for (std::size_t i = 0; i < seconds.size(); ++i)
            if (seconds[i] > 10 || (i > 0 && seconds[i] >= seconds[i - 1]))
                return false;
        return !seconds.empty();
    }
};
const QString Cleared = QStringLiteral("已解除所有绑定,接收器可以接收所有发射器的按键信号.");

// Opens the pairing window from the main window's pairing button.
bool openPairing(ProgramRun& run, Snapshot* s)
{
    *s = run.snapshot();
    if (!run.click(*s, Main, onRoot({QStringLiteral("pairingButton")})))
        return false;
    return run.waitFor([](const Snapshot& s) { return s.widget(Pairing, Pairing).is(QStringLiteral("shown")); }, 10000,
                       s);
}

}  // namespace

TEST(ModesAndPairing, MouseRightButtonWithRepeatIsWritten)
{
    // Characters 1-2 (33) and 2-3 (30) of the serial offer the mouse page and the trigger groups.
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=mouse,serial=330000000001,keys=6")}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);
    EXPECT_TRUE(s.widget(Main, QStringLiteral("mouseTab")).is(QStringLiteral("shown")));
    EXPECT_TRUE(s.widget(Main, QStringLiteral("keyboardTriggerBox")).is(QStringLiteral("shown")));

    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("keyPicker"), QStringLiteral("keyItem2")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("keyCaption")).text() == QStringLiteral("设置按键:3");
        },
        10000, &s))
        << context(s, run);

    // The mouse tab turns the keyboard key into a left-button key.
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("pages"), QStringLiteral("mouseTab")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("pageStack")).value(QStringLiteral("index")) == QLatin1String("1")
                   && s.widget(Main, QStringLiteral("leftButtonRadio")).is(QStringLiteral("checked"))
                   && s.widget(Main, QStringLiteral("mousePicture")).value(QStringLiteral("picture"))
                          == QLatin1String("MouseLeft");
        },
        10000, &s))
        << context(s, run);

    const QStringList mousePage{QStringLiteral("pages"), QStringLiteral("pageStack"), QStringLiteral("mousePage")};
    ASSERT_TRUE(run.click(s, Main,
                          onRoot(mousePage
                                 + QStringList{QStringLiteral("mouseButtonBox"), QStringLiteral("rightButtonRadio")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("rightButtonRadio")).is(QStringLiteral("checked"))
                   && s.widget(Main, QStringLiteral("mousePicture")).value(QStringLiteral("picture"))
                          == QLatin1String("MouseRight");
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(
        s, Main,
        onRoot(mousePage + QStringList{QStringLiteral("mouseTriggerBox"), QStringLiteral("mouseRepeatRadio")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("mouseRepeatRadio")).is(QStringLiteral("checked"));
        },
        10000, &s))
        << context(s, run);

    ASSERT_TRUE(run.command(QStringLiteral("clear-received mouse")));
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    const QStringList received = run.list(QStringLiteral("received mouse"));
    ASSERT_EQ(received.size(), 6) << received.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(received[2], QStringLiteral("02 02 02 02 00 00 00 03"));
    EXPECT_EQ(run.list(QStringLiteral("store mouse")),
              QStringList({Zeros, Zeros, QStringLiteral("02 00 00 00 03"), Zeros, Zeros, Zeros, Zeros, Zeros}));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(ModesAndPairing, BindsTimesOutAndClearsTransmitters)
{
    // Character 3 (1) offers pairing; with character 4 (4) the receiver binds four transmitters.
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=receiver,serial=311400000002,keys=6,wireless")}, {}}, &why))
        << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);
    ASSERT_TRUE(openPairing(run, &s)) << context(s, run);
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return pairingLines(s) == pairingInstructionLines(4); }, 10000, &s))
        << context(s, run);

    // The receiver answers while the countdown runs: the countdown stops where it was.
    ASSERT_TRUE(run.command(QStringLiteral("pair-delay receiver 4500")));
    ASSERT_TRUE(run.click(s, Pairing, onRoot({QStringLiteral("bindButton")})));
    CountdownSeen answered;
    ASSERT_TRUE(run.waitFor(
        [&](const Snapshot& s) {
            answered.note(s);
            return lastPairingLine(s).startsWith(QStringLiteral("请在"))
                   && !s.widget(Pairing, QStringLiteral("bindButton")).is(QStringLiteral("enabled"))
                   && s.session().is(QStringLiteral("binding"));
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.waitFor(
        [&](const Snapshot& s) {
            answered.note(s);
            return lastPairingLine(s) == QStringLiteral("绑定完成！");
        },
        20000, &s))
        << context(s, run);
    const QStringList bound = pairingLines(s);
    ASSERT_EQ(bound.size(), 3) << bound.join(QLatin1Char('\n')).toStdString();
    // The seconds went down one after the other, and the line kept the one the answer came in,
    // after every one seen before it.
    const int stoppedAt = secondsShown(bound[0]);
    ASSERT_GE(stoppedAt, 1) << bound[0].toStdString();
    EXPECT_LT(stoppedAt, 10);
    if (answered.seconds.empty() || answered.seconds.back() != stoppedAt)
        answered.seconds.push_back(stoppedAt);
    EXPECT_TRUE(answered.countsDown()) << testing::PrintToString(answered.seconds);
    EXPECT_EQ(bound[1], QStringLiteral("加入绑定发射器：5A 00 00 01 A5 (00 )"));
    EXPECT_TRUE(s.widget(Pairing, QStringLiteral("bindButton")).is(QStringLiteral("enabled")));
    // Stopped: no countdown runs that could rewrite the line.
    EXPECT_FALSE(s.session().is(QStringLiteral("binding")));
    EXPECT_EQ(s.session().value(QStringLiteral("countdown")), QStringLiteral("0"));
    EXPECT_EQ(run.list(QStringLiteral("bindings receiver")), QStringList({QStringLiteral("5A 00 00 01 A5")}));

    // No transmitter answers: the countdown runs down to the time-out line.
    ASSERT_TRUE(run.command(QStringLiteral("pair-delay receiver -1")));
    ASSERT_TRUE(run.click(s, Pairing, onRoot({QStringLiteral("bindButton")})));
    CountdownSeen unanswered;
    ASSERT_TRUE(run.waitFor(
        [&](const Snapshot& s) {
            unanswered.note(s);
            return lastPairingLine(s) == TimedOut;
        },
        30000, &s))
        << context(s, run);
    EXPECT_TRUE(unanswered.countsDown()) << testing::PrintToString(unanswered.seconds);
    // More than the first second passed before the time-out came.
    EXPECT_GE(unanswered.seconds.size(), 2u) << testing::PrintToString(unanswered.seconds);
    EXPECT_EQ(pairingLines(s), QStringList({TimedOut}));
    EXPECT_TRUE(s.widget(Pairing, QStringLiteral("bindButton")).is(QStringLiteral("enabled")));
    EXPECT_FALSE(s.session().is(QStringLiteral("binding")));
    EXPECT_EQ(run.list(QStringLiteral("bindings receiver")), QStringList({QStringLiteral("5A 00 00 01 A5")}));

    // Clearing empties the receiver and says so.
    ASSERT_TRUE(run.click(s, Pairing, onRoot({QStringLiteral("clearBindingsButton")})));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return lastPairingLine(s) == Cleared; }, 10000, &s))
        << context(s, run);
    EXPECT_EQ(pairingLines(s), QStringList({TimedOut, Cleared}));
    EXPECT_EQ(run.list(QStringLiteral("bindings receiver")), QStringList());
    EXPECT_TRUE(run.list(QStringLiteral("received receiver")).contains(QStringLiteral("02 05 03 00 00 00 00 00")));

    // Its close button only hides the pairing window.
    ASSERT_TRUE(run.click(s, Pairing, onRoot({QStringLiteral("header"), QStringLiteral("closeButton")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return !s.widget(Pairing, Pairing).is(QStringLiteral("shown"))
                   && s.widget(Main, Main).is(QStringLiteral("shown"));
        },
        10000, &s))
        << context(s, run);

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(ModesAndPairing, PairingWindowUsesTheSelectedReceiversCapacity)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=wired,serial=310000000001,keys=6"),
                            QStringLiteral("name=receiver,serial=311400000002,keys=6,wireless")},
                           {}},
                          &why))
        << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("toolBar"), QStringLiteral("deviceButton1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("pairingButton")).is(QStringLiteral("shown")) && readSettled(s, 6);
        },
        20000, &s))
        << context(s, run);
    ASSERT_TRUE(openPairing(run, &s)) << context(s, run);
    EXPECT_EQ(pairingLines(s), pairingInstructionLines(4));

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
