// tavrelctl watch: its lines, and the program run against an emulated key that is pressed,
// interrupted and unplugged.
#include "ctl/commandline.h"
#include "ctl/watch.h"
#include "ctlharness.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <csignal>

using namespace tavrel;
using namespace tavrel::ctl;
using namespace tavrel::ctltest;

namespace {

SentInput keyboard(quint8 modifiers, QList<quint8> keys)
{
    SentInput input;
    input.modifiers = modifiers;
    input.keys = std::move(keys);
    return input;
}

InputChange change(InputChange::Kind kind, SentInput input, int presses = 1)
{
    return {kind, std::move(input), presses};
}

constexpr auto Press = InputChange::Kind::Press;
constexpr auto Release = InputChange::Kind::Release;

}  // namespace

TEST(CtlWatch, EachPressAndReleaseIsOneLine)
{
    SentInput both = keyboard(0x01, {0x04});
    both.buttons = 0x04;
    both.unnamed = {KEY_F13};
    SentInput right;
    right.buttons = 0x02;
    const struct {
        InputChange change;
        int key;
        const char* text;
        const char* json;
    } cases[] = {
        {change(Press, keyboard(0x03, {0x05})), 2, "Pressed: Ctrl+Shift+B (key 3)",
         R"({"event":"press","input":"Ctrl+Shift+B","key":3,"repeat":1})"},
        {change(Release, keyboard(0x03, {0x05})), -1, "Released: Ctrl+Shift+B",
         R"({"event":"release","input":"Ctrl+Shift+B","key":null,"repeat":1})"},
        {change(Press, right, 4), 3, "Pressed: mouse:right, repeat 4 (key 4)",
         R"({"event":"press","input":"mouse:right","key":4,"repeat":4})"},
        {change(Release, right, 2), -1, "Released: mouse:right, repeat 2",
         R"({"event":"release","input":"mouse:right","key":null,"repeat":2})"},
        {change(Press, both), -1, "Pressed: Ctrl+A+mouse:middle+code:183",
         R"({"event":"press","input":"Ctrl+A+mouse:middle+code:183","key":null,"repeat":1})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(watchLine(c.change, c.key, false), QLatin1String(c.text));
        EXPECT_EQ(watchLine(c.change, c.key, true), QLatin1String(c.json));
    }
}

TEST(CtlWatch, TakesADeviceAndJsonAndNothingElse)
{
    const auto parsed =
        parseCommandLine({QStringLiteral("tavrelctl"), QStringLiteral("watch"), QStringLiteral("--json"),
                          QStringLiteral("--device"), QStringLiteral("1-1:1.0")});
    ASSERT_TRUE(std::holds_alternative<Command>(parsed));
    EXPECT_EQ(std::get<Command>(parsed).verb, Verb::Watch);
    EXPECT_TRUE(std::get<Command>(parsed).json);
    EXPECT_EQ(std::get<Command>(parsed).device, QStringLiteral("1-1:1.0"));
    for (const char* extra : {"--repeat", "--all", "keys.json"}) {
        const auto refused =
            parseCommandLine({QStringLiteral("tavrelctl"), QStringLiteral("watch"), QLatin1String(extra)});
        ASSERT_TRUE(std::holds_alternative<Failure>(refused)) << extra;
        EXPECT_EQ(std::get<Failure>(refused).code, ExitUsage);
    }
}

namespace {

// A running `tavrelctl watch`, its output read as it comes.
class Watch {
public:
    Watch(Emulator& emulator, const QStringList& arguments) : m_process(emulator.startCtl(arguments)) {}

    // Waits until it says it watches (or ends).
    bool started()
    {
        return until([&] { return m_err.contains(QLatin1String("Watching ")); });
    }
    // The lines printed so far.
    QStringList lines() const { return m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    bool waitForLines(int count)
    {
        return until([&] { return lines().size() >= count; });
    }
    void interrupt() { ::kill(pid_t(m_process->processId()), SIGINT); }
    CtlRun finish()
    {
        CtlRun run = ctltest::finish(*m_process, 15000);
        run.out.prepend(m_out);
        run.err.prepend(m_err);
        return run;
    }
    const QString& err() const { return m_err; }
    bool errContains(const QString& text)
    {
        return until([&] { return m_err.contains(text); });
    }

private:
    template <class Condition>
    bool until(Condition condition)
    {
        QDeadlineTimer deadline(15000);
        while (!condition() && !deadline.hasExpired() && m_process->state() != QProcess::NotRunning) {
            m_process->waitForReadyRead(50);
            m_out += QString::fromUtf8(m_process->readAllStandardOutput());
            m_err += QString::fromUtf8(m_process->readAllStandardError());
        }
        return condition();
    }

    std::unique_ptr<QProcess> m_process;
    QString m_out, m_err;
};

}  // namespace

TEST(CtlWatchProgram, PrintsWhatTheKeySendsUntilInterrupted)
{
    Emulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({QStringLiteral("name=w,serial=310000000051,keys=6")}, &why)) << why.toStdString();
    // Key 1 and key 2 hold one combination; key 3 one of its own; key 4 the right button,
    // repeated; key 5 Ctrl+Y, named the same on every layout.
    for (const char* set : {"set w 0 04 3D 00 00 00", "set w 1 04 3D 00 00 00", "set w 2 03 05 00 00 00",
                            "set w 3 02 00 00 00 03", "set w 4 01 1C 00 00 00"})
        ASSERT_TRUE(emulator.command(QLatin1String(set)));

    Watch watch(emulator, {QStringLiteral("watch")});
    ASSERT_TRUE(watch.started()) << watch.finish();
    const struct {
        const char* press;
        QStringList lines;
    } cases[] = {
        {"press w 2 50", {"Pressed: Ctrl+Shift+B (key 3)", "Released: Ctrl+Shift+B (key 3)"}},
        {"press w 0 50", {"Pressed: Alt+F4", "Released: Alt+F4"}},
        {"press w 3 150",
         {"Pressed: mouse:right (key 4)", "Released: mouse:right (key 4)", "Pressed: mouse:right, repeat 2 (key 4)",
          "Released: mouse:right, repeat 2 (key 4)"}},
        {"press w 4 50", {"Pressed: Ctrl+Y (key 5)", "Released: Ctrl+Y (key 5)"}},
    };
    int seen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        // Stamped as if the gap had passed, so that no press counts as a repeat of the one before.
        ASSERT_TRUE(emulator.command(QStringLiteral("advance w %1").arg(RepeatGapMs + 1)));
        ASSERT_TRUE(emulator.command(QLatin1String(c.press)));
        ASSERT_TRUE(watch.waitForLines(seen + int(c.lines.size()))) << watch.finish();
        EXPECT_EQ(watch.lines().mid(seen), c.lines);
        seen += int(c.lines.size());
    }
    watch.interrupt();
    const CtlRun run = watch.finish();
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, ExitOk) << run;
    EXPECT_EQ(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), seen) << run;
}

TEST(CtlWatchProgram, AnUnpluggedKeyEndsItWithExitStatus3)
{
    Emulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({QStringLiteral("name=a,serial=310000000052,keys=6"),
                                QStringLiteral("name=b,serial=310000000053,keys=6")},
                               &why))
        << why.toStdString();
    ASSERT_TRUE(emulator.command(QStringLiteral("set b 0 00 04 00 00 00")));
    // With two keys, --device names the one to watch; --json gives objects.
    Watch watch(emulator, {QStringLiteral("watch"), QStringLiteral("--device"), QStringLiteral("310000000053"),
                           QStringLiteral("--json")});
    ASSERT_TRUE(watch.started()) << watch.finish();
    ASSERT_TRUE(emulator.command(QStringLiteral("press a 0 50")));
    ASSERT_TRUE(emulator.command(QStringLiteral("press b 0 50")));
    ASSERT_TRUE(watch.waitForLines(2)) << watch.finish();
    EXPECT_EQ(watch.lines(), QStringList({R"({"event":"press","input":"A","key":1,"repeat":1})",
                                          R"({"event":"release","input":"A","key":1,"repeat":1})"}));

    ASSERT_TRUE(emulator.command(QStringLiteral("unplug b")));
    const CtlRun run = watch.finish();
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, ExitNoDevice) << run;
    EXPECT_TRUE(run.err.contains(QLatin1String("was unplugged"))) << run;
}

TEST(CtlWatchProgram, MoreThanOneKeyNeedsADevice)
{
    Emulator emulator;
    QString why;
    ASSERT_TRUE(
        emulator.start({QStringLiteral("name=a,serial=310000000054"), QStringLiteral("name=b,serial=310000000055")},
                       &why));
    const CtlRun run = emulator.runCtl({QStringLiteral("watch")});
    EXPECT_EQ(run.exitCode, ExitUsage) << run;
}

TEST(CtlWatchProgram, NamesTheKeyThatAnotherProgramWrote)
{
    Emulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({QStringLiteral("name=w,serial=310000000056,keys=6")}, &why)) << why.toStdString();
    Watch watch(emulator, {QStringLiteral("watch")});
    ASSERT_TRUE(watch.started()) << watch.finish();

    const CtlRun set = emulator.runCtl({QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("ctrl+shift+c")});
    ASSERT_EQ(set.exitCode, ExitOk) << set;
    ASSERT_TRUE(watch.errContains(QStringLiteral("Key 2 of Programmable Key (SN:310000000056) was written by another "
                                                 "program: Ctrl+Shift+C.")))
        << watch.finish();
    ASSERT_TRUE(emulator.command(QStringLiteral("press w 1 50")));
    ASSERT_TRUE(watch.waitForLines(2)) << watch.finish();
    EXPECT_EQ(watch.lines(), QStringList({QStringLiteral("Pressed: Ctrl+Shift+C (key 2)"),
                                          QStringLiteral("Released: Ctrl+Shift+C (key 2)")}));
    watch.interrupt();
    EXPECT_EQ(watch.finish().exitCode, ExitOk);
}
