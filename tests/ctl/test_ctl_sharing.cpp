// tavrelctl beside other Tavrel programs on one emulated device: writes wait for each other and
// never interleave, and a program killed in the middle of a write holds nobody up.
#include "ctl/commandline.h"
#include "ctlharness.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace tavrel::ctl;
using namespace tavrel::ctltest;

namespace {

const QStringList FileA{QStringLiteral("01 04 00 00 00"), QStringLiteral("01 05 00 00 00"),
                        QStringLiteral("01 06 00 00 00"), QStringLiteral("01 07 00 00 00"),
                        QStringLiteral("01 08 00 00 00"), QStringLiteral("01 09 00 00 00")};
const QStringList FileB{QStringLiteral("02 1E 00 00 02"), QStringLiteral("02 1F 00 00 02"),
                        QStringLiteral("02 20 00 00 02"), QStringLiteral("02 21 00 00 02"),
                        QStringLiteral("02 22 00 00 02"), QStringLiteral("02 23 00 00 02")};

class CtlSharing : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        ASSERT_TRUE(emu.start({QStringLiteral("name=w,serial=310000000061,keys=6")}, &why)) << why.toStdString();
        emu.setCtlFolder(dir.path());
    }

    void store(const QStringList& records)
    {
        for (int k = 0; k < records.size(); ++k)
            ASSERT_TRUE(emu.command(QStringLiteral("set w %1 %2").arg(k).arg(records[k])));
    }
    QStringList held() { return emu.list(QStringLiteral("store w")).mid(0, 6); }

    // A key file holding the records, made by backing them up.
    QString keyFile(const QString& name, const QStringList& records)
    {
        store(records);
        const CtlRun backup = emu.runCtl({QStringLiteral("backup"), name});
        EXPECT_EQ(backup.exitCode, 0) << backup;
        return name;
    }

    // Waits until the device took the first record of a write.
    bool writeStarted() { return emu.command(QStringLiteral("wait-written w 1 15000")).has_value(); }

    QTemporaryDir dir;
    Emulator emu;
};

}  // namespace

TEST_F(CtlSharing, TwoRestoresStartedTogetherLeaveOneFileWhole)
{
    const QString a = keyFile(QStringLiteral("a.json"), FileA);
    const QString b = keyFile(QStringLiteral("b.json"), FileB);
    store(QStringList(6, QStringLiteral("00 00 00 00 00")));

    auto first = emu.startCtl({QStringLiteral("restore"), a});
    auto second = emu.startCtl({QStringLiteral("restore"), b});
    const CtlRun one = finish(*first);
    const CtlRun two = finish(*second);
    ASSERT_EQ(one.exitCode, ExitOk) << one;
    ASSERT_EQ(two.exitCode, ExitOk) << two;
    EXPECT_TRUE(held() == FileA || held() == FileB) << held().join(QLatin1Char('|')).toStdString();
    // The records went out one file after the other, never mixed.
    QStringList writes;
    for (const QString& report : emu.list(QStringLiteral("received w")))
        if (report.startsWith(QLatin1String("02 02 ")))
            writes << report.mid(9);
    ASSERT_EQ(writes.size(), 12);
    EXPECT_TRUE((writes.mid(0, 6) == FileA && writes.mid(6) == FileB)
                || (writes.mid(0, 6) == FileB && writes.mid(6) == FileA))
        << writes.join(QLatin1Char('|')).toStdString();
}

TEST_F(CtlSharing, AWriterKilledInTheMiddleHoldsNoLaterWriteUp)
{
    const QString a = keyFile(QStringLiteral("a.json"), FileA);
    ASSERT_TRUE(emu.command(QStringLiteral("clear-received w")));
    auto killed = emu.startCtl({QStringLiteral("restore"), a});
    ASSERT_TRUE(writeStarted());
    ::kill(pid_t(killed->processId()), SIGKILL);
    killed->waitForFinished(5000);

    const CtlRun set = emu.runCtl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("ctrl+shift+c")});
    ASSERT_EQ(set.exitCode, ExitOk) << set;
    EXPECT_FALSE(set.err.contains(QLatin1String("waiting"))) << set;
    EXPECT_EQ(held().value(0), QStringLiteral("03 06 00 00 00"));
}

TEST_F(CtlSharing, AWriteWaitsWhileAnotherProgramHoldsTheDeviceAndSaysSo)
{
    // The device's id, as `list` gives it, names its lock in the runtime folder.
    const CtlRun list = emu.runCtl({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, ExitOk) << list;
    const QString id = list.out.section(QLatin1Char('\n'), 1, 1).simplified().section(QLatin1Char(' '), 1, 1);
    const QByteArray lockPath = QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/tavrel/")
                                                  + id + QStringLiteral(".lock"));
    // Another program in the middle of a write holds the lock.
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0) << lockPath.constData();
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    auto set = emu.startCtl({QStringLiteral("set"), QStringLiteral("6"), QStringLiteral("ctrl+shift+c")});
    QString err;
    QDeadlineTimer deadline(15000);
    while (!err.contains(QLatin1String("waiting")) && !deadline.hasExpired() && set->state() != QProcess::NotRunning) {
        set->waitForReadyRead(50);
        err += QString::fromUtf8(set->readAllStandardError());
    }
    EXPECT_EQ(err, QStringLiteral("tavrelctl: Programmable Key (SN:310000000061): waiting while another Tavrel program "
                                  "writes it.\n"));
    EXPECT_EQ(emu.received(QStringLiteral("w"), 0x02), 0);
    ::close(lock);

    const CtlRun done = finish(*set);
    ASSERT_EQ(done.exitCode, ExitOk) << done;
    EXPECT_EQ(held().value(5), QStringLiteral("03 06 00 00 00"));
}
