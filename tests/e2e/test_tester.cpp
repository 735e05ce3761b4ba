// The key tester end to end: the real tavrel and tavrelctl against one emulated device. A
// combination is written through the window's capture box, the key is pressed, and the window's
// line and `tavrelctl watch` both say what it sent; an unplug ends watch with status 3 and clears
// the window's line.
#include "harness.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <csignal>

using namespace tavrel::e2e;

namespace {

QString field(const Snapshot& s, const char* name)
{
    return s.widget(Main, QLatin1String(name)).text();
}

// `tavrelctl watch` against the emulator's testbed, beside the window.
class Watch {
public:
    Watch(const QString& testbed)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libumockdev-preload.so.0"));
        env.insert(QStringLiteral("UMOCKDEV_DIR"), testbed);
        env.insert(QStringLiteral("TAVREL_POLL_PERIOD_MS"), QStringLiteral("10"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), asan + (asan.isEmpty() ? QString() : QStringLiteral(":"))
                                                       + QStringLiteral("verify_asan_link_order=0"));
        m_process.setProcessEnvironment(env);
        m_process.start(binaryFolder() + QStringLiteral("/tavrelctl"), {QStringLiteral("watch")});
    }
    ~Watch()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    template <class Condition>
    bool until(Condition condition, int ms = 15000)
    {
        QDeadlineTimer deadline(ms);
        while (!condition() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(50);
            m_out += QString::fromUtf8(m_process.readAllStandardOutput());
            m_err += QString::fromUtf8(m_process.readAllStandardError());
        }
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return condition();
    }
    QStringList lines() const { return m_out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    // The exit status once it ended by itself, or nullopt.
    std::optional<int> ended(int ms)
    {
        if (!m_process.waitForFinished(ms))
            return std::nullopt;
        until([] { return true; });
        return m_process.exitStatus() == QProcess::NormalExit ? std::optional<int>(m_process.exitCode()) : std::nullopt;
    }
    std::string said() const
    {
        return ("--- watch stdout ---\n" + m_out + "--- watch stderr ---\n" + m_err).toStdString();
    }
    const QString& err() const { return m_err; }

private:
    QProcess m_process;
    QString m_out, m_err;
};

}  // namespace

TEST(KeyTester, TheWindowAndWatchSayWhatTheKeySends)
{
    ProgramRun run;
    QString why;
    ASSERT_TRUE(run.start({{QStringLiteral("name=w,serial=310000000061,keys=6")}, {}}, &why)) << why.toStdString();
    Snapshot s;
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return readSettled(s, 6); }, 30000, &s)) << context(s, run);

    // Keys 1 and 2 hold one combination, key 4 the right button, repeated; the window reads them.
    for (const char* set : {"set w 0 04 3D 00 00 00", "set w 1 04 3D 00 00 00", "set w 3 02 00 00 00 03"})
        ASSERT_TRUE(run.command(QLatin1String(set)));
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("readButton")})));
    ASSERT_TRUE(run.waitFor(
        [](const Snapshot& s) { return readSettled(s, 6) && field(s, "captureBox") == QLatin1String("Alt+F4"); }, 20000,
        &s))
        << context(s, run);

    // Key 3 gets Ctrl+Shift+B through the capture box and "写入".
    ASSERT_TRUE(run.click(s, Main, onRoot({QStringLiteral("keyPicker"), QStringLiteral("keyItem2")})));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "keyCaption") == QStringLiteral("设置按键:3"); },
                            10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.click(s, Main,
                          onRoot({QStringLiteral("pages"), QStringLiteral("pageStack"), QStringLiteral("keyboardPage"),
                                  QStringLiteral("captureBox")})));
    ASSERT_TRUE(
        run.waitFor([](const Snapshot& s) { return s.widget(Main, Main).is(QStringLiteral("active")); }, 10000, &s))
        << context(s, run);
    ASSERT_TRUE(run.pressKeys(QStringLiteral("ctrl+shift+b")));
    ASSERT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "captureBox") == QLatin1String("Ctrl+Shift+B"); },
                            10000, &s))
        << context(s, run);
    EXPECT_EQ(writeAndConfirm(run), QStringLiteral("设置完成！")) << context(run.snapshot(), run);
    ASSERT_EQ(run.list(QStringLiteral("store w")).value(2), QStringLiteral("03 05 00 00 00"));

    const std::optional<QString> env = run.command(QStringLiteral("env"));
    ASSERT_TRUE(env && env->startsWith(QLatin1String("UMOCKDEV_DIR=")));
    Watch watch(env->mid(int(qstrlen("UMOCKDEV_DIR="))));
    ASSERT_TRUE(watch.until([&] { return watch.err().contains(QLatin1String("Watching ")); })) << watch.said();

    const struct {
        const char* press;
        QString shown;
        int marked;
        QStringList lines;
    } cases[] = {
        {"press w 2 50",
         QStringLiteral("收到：Ctrl+Shift+B（按键 3）"),
         2,
         {QStringLiteral("Pressed: Ctrl+Shift+B (key 3)"), QStringLiteral("Released: Ctrl+Shift+B (key 3)")}},
        {"press w 0 50",
         QStringLiteral("收到：Alt+F4"),
         -1,
         {QStringLiteral("Pressed: Alt+F4"), QStringLiteral("Released: Alt+F4")}},
        {"press w 3 150",
         QStringLiteral("收到：鼠标右键，连续按键（按键 4）"),
         3,
         {QStringLiteral("Pressed: mouse:right (key 4)"), QStringLiteral("Released: mouse:right (key 4)"),
          QStringLiteral("Pressed: mouse:right, repeat 2 (key 4)"),
          QStringLiteral("Released: mouse:right, repeat 2 (key 4)")}},
    };
    int seen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        // Far enough apart that no press counts as a repeat of the one before.
        QDeadlineTimer pause(400);
        while (!pause.hasExpired())
            watch.until([] { return false; }, 50);
        ASSERT_TRUE(run.command(QLatin1String(c.press)));
        EXPECT_TRUE(run.waitFor(
            [&](const Snapshot& s) {
                return field(s, "receivedText") == c.shown
                       && s.widget(Main, QStringLiteral("keyPicker")).value(QStringLiteral("received")).toInt()
                              == c.marked;
            },
            10000, &s))
            << context(s, run);
        ASSERT_TRUE(watch.until([&] { return watch.lines().size() >= seen + c.lines.size(); })) << watch.said();
        EXPECT_EQ(watch.lines().mid(seen), c.lines) << watch.said();
        seen = int(watch.lines().size());
    }

    // Unplugged while watched: watch ends with status 3, the window's line is cleared.
    ASSERT_TRUE(run.command(QStringLiteral("unplug w")));
    EXPECT_EQ(watch.ended(15000), 3) << watch.said();
    EXPECT_TRUE(watch.err().contains(QLatin1String("was unplugged"))) << watch.said();
    EXPECT_TRUE(run.waitFor([](const Snapshot& s) { return field(s, "receivedText").isEmpty(); }, 10000, &s))
        << context(s, run);

    EXPECT_EQ(run.closeMainWindow(), 0) << run.failure().toStdString();
}
