// The window beside the other Tavrel programs of the user on one emulated device: a write of
// tavrelctl shows in the window, the window's own write keeps it, an edit not written survives
// it and is marked, and a second start brings the open window forward instead of opening another.

#include "harness.h"

#include <gtest/gtest.h>

using namespace tavrel::e2e;

namespace {

// Characters 1-2 (33) and 2-3 (30) of the serial offer the mouse page.
const QString Device = QStringLiteral("name=d,serial=330000000071,keys=6");
const QString Zeros = QStringLiteral("00 00 00 00 00");
const QString CtrlShiftC = QStringLiteral("03 06 00 00 00");

QString memo(const Snapshot& s)
{
    return s.widget(Main, QStringLiteral("statusMemo")).text();
}

// Starts the window on the device and waits for its first read.
bool startRead(ProgramRun& run, Snapshot& s, QString* why)
{
    return run.start({{Device}, {}}, why)
           && run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s);
}

}  // namespace

TEST(Sharing, AWriteOfTavrelctlShowsInTheWindowAndTheWindowsWriteKeepsIt)
{
    ProgramRun run;
    QString why;
    Snapshot s;
    ASSERT_TRUE(startRead(run, s, &why)) << why.toStdString() << context(s, run);
    ASSERT_EQ(s.record(1), Zeros);

    const auto set = run.runBeside(QStringLiteral("tavrelctl"),
                                   {QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("ctrl+shift+c")});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return s.record(1) == CtrlShiftC; }, 10000, &s)) << context(s, run);
    // Shown as read from the device: nothing marks it as changed elsewhere.
    EXPECT_EQ(memo(s), QStringLiteral("序列号:330000000071  "));

    // Nothing edited in the window: its write gives the device what it holds already.
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("store d")).value(1), CtrlShiftC);
    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(Sharing, AnEditNotWrittenSurvivesAWriteOfTheSameKeyElsewhereAndIsMarked)
{
    ProgramRun run;
    QString why;
    Snapshot s;
    ASSERT_TRUE(startRead(run, s, &why)) << why.toStdString() << context(s, run);

    // Key 2 becomes a left-button key in the window, not written yet.
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("keyPicker"), QStringLiteral("keyItem1")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Main, QStringLiteral("keyCaption")).text() == QStringLiteral("设置按键:2");
        },
        10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("pages"), QStringLiteral("mouseTab")})));
    const QString leftButton = QStringLiteral("01 00 00 00 01");
    ASSERT_TRUE(run.waitFor([&](const Snapshot& s) { return s.record(1) == leftButton; }, 10000, &s))
        << context(s, run);

    const auto set = run.runBeside(QStringLiteral("tavrelctl"),
                                   {QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("ctrl+shift+c")});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return memo(s).endsWith(QStringLiteral("\n按键2已被他处改写")); },
                            10000, &s))
        << context(s, run);
    EXPECT_EQ(s.record(1), leftButton);
    EXPECT_EQ(run.list(QStringLiteral("store d")).value(1), CtrlShiftC);

    // The user's write sends the edit, and the mark goes.
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    EXPECT_EQ(run.list(QStringLiteral("store d")).value(1), leftButton);
    s = run.snapshot();
    EXPECT_FALSE(memo(s).contains(QStringLiteral("他处"))) << context(s, run);
    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}

TEST(Sharing, ASecondStartBringsTheOpenWindowForwardAndEnds)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=r,serial=311400000073,keys=4,wireless")}, {}}, &why))
        << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 4); }, 30000, &s)) << context(s, run);
    // The pairing window, opened and clicked, takes the focus from the main window.
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("pairingButton")})));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return s.widget(Pairing, Pairing).is(QStringLiteral("shown")); },
                            10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Pairing, {QStringLiteral("messages")}));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) {
            return s.widget(Pairing, Pairing).is(QStringLiteral("active"))
                   && !s.widget(Main, Main).is(QStringLiteral("active"));
        },
        10000, &s))
        << context(s, run);

    const auto second = run.runBeside(binaryFolder() + QStringLiteral("/tavrel"), {}, 20000);
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_EQ(second.err, QString());
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return s.widget(Main, Main).is(QStringLiteral("active")); }, 10000, &s))
        << context(s, run);
    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
