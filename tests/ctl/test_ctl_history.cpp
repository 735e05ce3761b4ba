// The write history through tavrelctl, run as a program against an emulated device: every write is
// an entry that `history` lists, `undo` writes back what the device held and is an entry itself,
// refuses when the keys changed since, and a history that cannot be written stops no write.
#include "ctlharness.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tavrel::ctltest;

namespace {

const QString W1 = QStringLiteral("310000000001");
const QString Zero = QStringLiteral("00 00 00 00 00");
const QString CtrlAltA = QStringLiteral("05 04 00 00 00");

class CtlHistory : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        ASSERT_TRUE(emu.start({QStringLiteral("name=w1,serial=%1,keys=6").arg(W1)}, &why)) << why.toStdString();
        ASSERT_TRUE(emu.command(QStringLiteral("set w1 0 ") + CtrlAltA));
    }

    CtlRun ctl(const QStringList& arguments) { return emu.runCtl(arguments); }
    QString key(int index) { return emu.list(QStringLiteral("store w1")).value(index); }
    QString historyFolder() const { return emu.stateHome() + QStringLiteral("/tavrel/history"); }

    Emulator emu;
};

}  // namespace

TEST_F(CtlHistory, AWriteIsListedOldToNewAndUndoWritesTheOldRecordBackAsANewEntry)
{
    const CtlRun set = ctl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("ctrl+shift+b")});
    ASSERT_EQ(set.exitCode, 0) << set;
    EXPECT_TRUE(set.err.isEmpty()) << set;

    const CtlRun listed = ctl({QStringLiteral("history"), QStringLiteral("--device"), W1});
    ASSERT_EQ(listed.exitCode, 0) << listed;
    QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listed;
    EXPECT_EQ(lines[0], QStringLiteral("Programmable Key (SN:310000000001):"));
    EXPECT_TRUE(lines[1].startsWith(QLatin1String("1  "))) << listed;
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("  tavrelctl set 1 ctrl+shift+b"))) << listed;
    EXPECT_EQ(lines[2], QStringLiteral("   Key 1: Ctrl+Alt+A → Ctrl+Shift+B"));

    const CtlRun undo = ctl({QStringLiteral("undo")});
    ASSERT_EQ(undo.exitCode, 0) << undo;
    EXPECT_EQ(undo.out, QStringLiteral("Key 1 of Programmable Key (SN:310000000001) is Ctrl+Alt+A (single) again.\n"));
    EXPECT_EQ(key(0), CtrlAltA);

    // Newest first; the same without --device, where every history there is is listed.
    const CtlRun all = ctl({QStringLiteral("history")});
    ASSERT_EQ(all.exitCode, 0) << all;
    lines = all.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << all;
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("  tavrelctl undo"))) << all;
    EXPECT_EQ(lines[2], QStringLiteral("   Key 1: Ctrl+Shift+B → Ctrl+Alt+A"));
    EXPECT_TRUE(lines[3].startsWith(QLatin1String("2  "))) << all;

    const CtlRun json = ctl({QStringLiteral("history"), QStringLiteral("--json"), QStringLiteral("--device"), W1});
    ASSERT_EQ(json.exitCode, 0) << json;
    const QStringList objects = json.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(objects.size(), 2) << json;
    const QJsonObject older = QJsonDocument::fromJson(objects[1].toUtf8()).object();
    EXPECT_EQ(older[QLatin1String("entry")].toInt(), 2);
    EXPECT_EQ(older[QLatin1String("device")].toString(), W1);
    const QJsonObject change = older[QLatin1String("keys")].toArray().at(0).toObject();
    EXPECT_EQ(change[QLatin1String("key")].toInt(), 1);
    EXPECT_EQ(change[QLatin1String("before")].toObject()[QLatin1String("assignment")].toString(),
              QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(change[QLatin1String("written")].toObject()[QLatin1String("record")].toString(),
              QStringLiteral("03 05 00 00 00"));
}

TEST_F(CtlHistory, UndoIsRefusedNamingTheKeysThatChangedSinceUnlessForced)
{
    ASSERT_EQ(ctl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("b")}).exitCode, 0);
    ASSERT_EQ(ctl({QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("c")}).exitCode, 0);
    ASSERT_EQ(ctl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("d")}).exitCode, 0);
    const QString d = key(0);

    // Entry 3 wrote B to key 1, which holds D now; entry 2 changed only key 2, which is as it left it.
    const CtlRun refused = ctl({QStringLiteral("undo"), QStringLiteral("3")});
    EXPECT_EQ(refused.exitCode, 2) << refused;
    EXPECT_TRUE(refused.err.contains(QLatin1String("key 1 of Programmable Key (SN:310000000001) changed since")))
        << refused;
    EXPECT_EQ(key(0), d);
    const CtlRun second = ctl({QStringLiteral("undo"), QStringLiteral("2")});
    ASSERT_EQ(second.exitCode, 0) << second;
    EXPECT_EQ(key(1), Zero);

    // A change behind Tavrel's back counts the same.
    ASSERT_TRUE(emu.command(QStringLiteral("set w1 0 00 08 00 00 00")));
    EXPECT_EQ(ctl({QStringLiteral("undo"), QStringLiteral("2")}).exitCode, 2);

    const CtlRun forced = ctl({QStringLiteral("undo"), QStringLiteral("4"), QStringLiteral("--force")});
    ASSERT_EQ(forced.exitCode, 0) << forced;
    EXPECT_EQ(key(0), CtrlAltA);
    EXPECT_EQ(ctl({QStringLiteral("undo"), QStringLiteral("9")}).exitCode, 2);
}

TEST_F(CtlHistory, AHistoryThatCannotBeWrittenIsSaidAndTheWriteGoesOn)
{
    // Root writes any folder whatever its mode: a file where the folder belongs stops it too.
    ASSERT_TRUE(QDir().mkpath(historyFolder()));
    if (::geteuid() == 0) {
        ASSERT_TRUE(QDir(historyFolder()).removeRecursively());
        QFile in(historyFolder());
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    } else {
        ASSERT_EQ(::chmod(QFile::encodeName(historyFolder()).constData(), 0500), 0);
    }
    const CtlRun set = ctl({QStringLiteral("set"), QStringLiteral("2"), QStringLiteral("ctrl+c")});
    ASSERT_EQ(set.exitCode, 0) << set;
    EXPECT_EQ(key(1), QStringLiteral("01 06 00 00 00"));
    EXPECT_TRUE(set.err.startsWith(QLatin1String("tavrelctl: The write history of Programmable Key "
                                                 "(SN:310000000001) could not be written in ")))
        << set;
}

TEST_F(CtlHistory, ATornLastLineIsPassedOverWithANoteAndTheNextWriteIsWhole)
{
    ASSERT_EQ(ctl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("b")}).exitCode, 0);
    const QString file = historyFolder() + QStringLiteral("/serial-310000000001.jsonl");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("{\"version\":1,\"time\":\"2026-12-");
    }
    ASSERT_EQ(ctl({QStringLiteral("set"), QStringLiteral("1"), QStringLiteral("c")}).exitCode, 0);
    const CtlRun listed = ctl({QStringLiteral("history")});
    ASSERT_EQ(listed.exitCode, 0) << listed;
    EXPECT_EQ(listed.err, QStringLiteral("tavrelctl: %1:2: not a whole entry; passed over.\n").arg(file));
    EXPECT_TRUE(listed.out.contains(QStringLiteral("   Key 1: B → C"))) << listed;
    EXPECT_TRUE(listed.out.contains(QStringLiteral("   Key 1: Ctrl+Alt+A → B"))) << listed;
}
