// The tavrel-keyemu program: its line commands, and the child program it runs against the keys.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class Emulator {
public:
    explicit Emulator(const QStringList& arguments)
    {
        m_process.setProgram(QStringLiteral(UMOCKDEV_WRAPPER_PATH));
        m_process.setArguments(QStringList{QStringLiteral(KEYEMU_PATH)} + arguments);
        m_process.start();
        m_process.waitForStarted();
    }
    ~Emulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // QProcess keeps what is written until its next wait: a command is on its way only once it
    // is in the pipe, and a test that acts after sending it relies on that.
    void send(const QString& line)
    {
        m_process.write((line + QLatin1Char('\n')).toUtf8());
        while (m_process.bytesToWrite() > 0 && m_process.waitForBytesWritten(20000)) {}
    }

    std::string command(const QString& line)
    {
        send(line);
        return reply();
    }

    std::string reply()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(20000))
                return "(no reply)";
        }
        return QString::fromUtf8(m_process.readLine()).trimmed().toStdString();
    }

    // The exit status once the program has ended, -1 if it is still running after the wait or
    // ended by a signal. A program that ended during an earlier wait has its status already.
    int exitStatus(int waitMs = 20000)
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(waitMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    void closeInput() { m_process.closeWriteChannel(); }
    std::string output() { return m_process.readAllStandardOutput().toStdString(); }
    std::string errors() { return m_process.readAllStandardError().toStdString(); }

private:
    QProcess m_process;
};

TEST(KeyEmuProgram, CommandsChangeAndShowTheKeys)
{
    Emulator emulator({QStringLiteral("--no-keys")});
    const std::string empty = "00 00 00 00 00";
    const std::string storeOfA = "ok 01 04 00 00 00|" + empty + "|" + empty + "|" + empty + "|" + empty + "|" + empty
                                 + "|" + empty + "|" + empty;
    // A reply ending in '*' is matched by its beginning.
    const std::vector<std::pair<QString, std::string>> session = {
        {"env", "ok UMOCKDEV_DIR=/*"},
        {"list", "ok"},
        {"add name=a,serial=310000000007,keys=4", "ok a /dev/hidraw0"},
        {"add name=a", "error *"},
        {"add name=b,colour=red", "error unknown field colour"},
        {"add name=r,wireless,product=Two Words", "ok r /dev/hidraw1"},
        {"set a 0 01 04 00 00 00", "ok"},
        {"set a 8 01 04 00 00 00", "error *"},
        {"set a 1 01 04 00 00 0G", "error 0G is not a hex byte"},
        {"store a", storeOfA},
        {"received a", "ok"},
        {"unplug a", "ok"},
        {"unplug a", "error a is not plugged in"},
        {"press a 0", "error a is not plugged in"},
        {"list", "ok a=unplugged|r=/dev/hidraw1"},
        {"plug a", "ok /dev/hidraw2"},
        {"store a", storeOfA},
        {"fail-writes a on", "ok"},
        {"drop a maybe", "error *"},
        {"pair-delay r -1", "ok"},
        {"press r 1A2B3C4D5E", "error r is not waiting for a transmitter"},
        // Key 0 of a holds Ctrl+A: two keys down, then up, each frame ending in a SYN_REPORT.
        {"press a 0", "ok 6"},
        {"press a 1 500", "ok 0"},
        {"press a 8", "error usage: *"},
        {"advance a 300", "ok"},
        {"advance a -1", "error usage: *"},
        {"advance a", "error usage: *"},
        {"input-opens a", "ok 0"},
        {"bindings r", "ok"},
        {"push r 01 50 00 1A 2B 3C 4D 5E", "ok"},
        {"wait-received a 1 10", "error a has received 0 reports"},
        {"store nobody", "error no key named nobody"},
        {"frobnicate", "error unknown command frobnicate (try help)"},
        {"wait-child", "error no child program is running"},
        {"quit", "ok"},
    };
    for (const auto& [command, expected] : session) {
        const std::string reply = emulator.command(command);
        if (!expected.empty() && expected.back() == '*') {
            EXPECT_EQ(reply.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1))
                << command.toStdString() << " -> " << reply;
        } else {
            EXPECT_EQ(reply, expected) << command.toStdString();
        }
    }
    EXPECT_EQ(emulator.exitStatus(), 0) << emulator.errors();
}

TEST(KeyEmuProgram, DefaultKeysAreAWiredKeyAndAReceiver)
{
    Emulator emulator({});
    EXPECT_EQ(emulator.command(QStringLiteral("list")), "ok wired=/dev/hidraw0|receiver=/dev/hidraw1");
    emulator.closeInput();
    EXPECT_EQ(emulator.exitStatus(), 0) << "without a child, the end of the input ends the program";
}

TEST(KeyEmuProgram, ChildFindsAndTalksToTheKeys)
{
    Emulator emulator({QStringLiteral("--key"), QStringLiteral("name=w,serial=310000000123,product=Probe Key"),
                       QStringLiteral("--"), QStringLiteral(PROBE_PATH), QStringLiteral("/dev/hidraw0")});
    emulator.closeInput();
    EXPECT_EQ(emulator.exitStatus(), 0) << "the child's status is the emulator's";
    const std::string errors = emulator.errors();
    EXPECT_NE(errors.find("node=/dev/hidraw0 serial=310000000123 product=Probe Key"), std::string::npos) << errors;
    EXPECT_NE(errors.find("info vendor=16c0 product=05e1"), std::string::npos) << errors;
    EXPECT_NE(errors.find("answer 01 81 63 00 00 00 00 00"), std::string::npos) << errors;
    EXPECT_EQ(emulator.output(), "") << "the child's output stays off the replies";
}

TEST(KeyEmuProgram, WaitChildReportsTheChildsStatus)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString flag = dir.filePath(QStringLiteral("go"));
    Emulator emulator({QStringLiteral("--no-keys"), QStringLiteral("--"), QStringLiteral("/bin/sh"),
                       QStringLiteral("-c"),
                       QStringLiteral("while [ ! -e \"$0\" ]; do sleep 0.05; done; echo bye; exit 5"), flag});
    EXPECT_EQ(emulator.command(QStringLiteral("list")), "ok");
    // The child ends as soon as the flag is there: the wait must be in the emulator's input by
    // then, or the emulator ends with the child before it reads the wait.
    emulator.send(QStringLiteral("wait-child"));
    QFile go(flag);
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();
    EXPECT_EQ(emulator.reply(), "ok 5");
    EXPECT_EQ(emulator.exitStatus(), 5);
    EXPECT_NE(emulator.errors().find("bye"), std::string::npos);
}

TEST(KeyEmuProgram, QuitEndsTheChild)
{
    Emulator emulator(
        {QStringLiteral("--no-keys"), QStringLiteral("--"), QStringLiteral("/bin/sleep"), QStringLiteral("600")});
    EXPECT_EQ(emulator.command(QStringLiteral("quit")), "ok");
    EXPECT_EQ(emulator.exitStatus(), 0);
}

TEST(KeyEmuProgram, BadArgumentsAndMissingChild)
{
    Emulator badFields({QStringLiteral("--key"), QStringLiteral("keys=99")});
    EXPECT_EQ(badFields.exitStatus(), 2);
    EXPECT_NE(badFields.errors().find("keys is a number from 0 to 15"), std::string::npos);

    Emulator noChild({QStringLiteral("--no-keys"), QStringLiteral("--"), QStringLiteral("/nonexistent/program")});
    EXPECT_EQ(noChild.exitStatus(), 127);
}

}  // namespace
