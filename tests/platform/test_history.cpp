// The write history's units: an entry's line and the reading of a history file that a crash, a
// full disk or a hand left damaged; the device a history belongs to; what undoing an entry writes
// back; and the store's files, their modes, their bound and a line cut short.
#include "config/historyentry.h"
#include "platform/historystore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tavrel;
using namespace tavrel::history;

namespace {

const KeyRecord CtrlAltA{0x05, 0x04, 0, 0, 0};
const KeyRecord CtrlShiftB{0x03, 0x05, 0, 0, 0x02};
const KeyRecord LeftButton{0x01, 0, 0, 0, 0x01};

HistoryEntry entry(int n)
{
    HistoryEntry e;
    e.time = QDateTime::fromMSecsSinceEpoch(1'781'000'000'000 + n, Qt::UTC);
    e.program = QStringLiteral("tavrelctl");
    e.command = QStringLiteral("set 3 \"ctrl+shift+b\"\n%1").arg(n);
    e.device = QStringLiteral("310000000001");
    e.product = QStringLiteral("Programmable Key");
    e.serial = QStringLiteral("310000000001");
    e.port = QStringLiteral("1-1:1.0");
    e.keys = {{0, std::nullopt, LeftButton}, {2, CtrlAltA, CtrlShiftB}, {5, CtrlAltA, CtrlAltA}};
    return e;
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(HistoryEntry, ALineReadsBackAsTheEntryAndDamagedLinesArePassedOverByNumber)
{
    const QByteArray line = entryLine(entry(1));
    ASSERT_TRUE(line.endsWith('\n'));
    EXPECT_EQ(line.count('\n'), 1);
    const std::vector<KeyWrite> changed{{0, std::nullopt, LeftButton}, {2, CtrlAltA, CtrlShiftB}};
    EXPECT_EQ(entry(1).changes(), changed);

    QByteArray corrupt = entryLine(entry(3));
    corrupt.replace("\"key\":3", "\"key\":9");
    const QByteArray text = line + "\n" + entryLine(entry(2)) + "{\"version\":1}\n" + corrupt + entryLine(entry(4))
                            + entryLine(entry(5)).left(70);
    const HistoryText read = readHistoryText(text);
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries[0], entry(1));
    EXPECT_EQ(read.entries[1], entry(2));
    EXPECT_EQ(read.entries[2], entry(4));
    // The blank line 2 is nothing; the torn last line is one line, the 7th.
    EXPECT_EQ(read.damagedLines, (QList<int>{4, 5, 7}));
}

TEST(HistoryEntry, ADeviceIsItsSerialWhenDecodableAndUnsharedElseItsPort)
{
    const QString port = QStringLiteral("1-1:1.0");
    EXPECT_EQ(historyDevice(QStringLiteral("310000000001"), true, false, port).id, QStringLiteral("310000000001"));
    EXPECT_TRUE(historyDevice(QStringLiteral("310000000001"), true, false, port).bySerial);
    EXPECT_EQ(historyDevice(QStringLiteral("310000000001"), true, true, port).id, port);
    EXPECT_EQ(historyDevice(QStringLiteral("ABC"), false, false, port).id, port);
    EXPECT_EQ((HistoryDevice{port, false}.fileName()), QStringLiteral("port-1-1:1.0.jsonl"));
    EXPECT_EQ((HistoryDevice{QStringLiteral("a/../b c"), true}.fileName()),
              QStringLiteral("serial-a%2F..%2Fb%20c.jsonl"));
}

TEST(HistoryEntry, UndoWritesBackTheRecordsBeforeAndNamesKeysThatChangedSince)
{
    const HistoryEntry e = entry(1);
    const struct {
        std::vector<std::optional<KeyRecord>> held;
        QList<int> differing;
    } cases[] = {
        {{LeftButton, CtrlAltA, CtrlShiftB, {}, {}, CtrlAltA}, {}},
        {{LeftButton, CtrlAltA, CtrlAltA, {}, {}, CtrlAltA}, {2}},
        {{LeftButton, CtrlAltA, std::nullopt}, {2}},
        {{}, {2}},
    };
    for (const auto& c : cases) {
        const UndoPlan plan = planUndo(e, c.held);
        EXPECT_EQ(plan.differing, c.differing);
        // Key 1's record before is not known: it is named, never written.
        EXPECT_EQ(plan.unknown, QList<int>{0});
        const std::vector<KeyWrite> restore{{2, CtrlShiftB, CtrlAltA}};
        EXPECT_EQ(plan.restore, restore);
    }
}

class HistoryStoreTest : public ::testing::Test {
protected:
    QString folder() const { return home.path() + QStringLiteral("/state/tavrel/history"); }
    QString file() const { return folder() + QStringLiteral("/serial-1.jsonl"); }
    QTemporaryDir home;
    platform::HistoryStore store{
        QFile::encodeName(home.path() + QStringLiteral("/state/tavrel/history")).toStdString()};
};

TEST_F(HistoryStoreTest, AFileOfTheUsersOnlyKeepsTheLast200Of250Entries)
{
    for (int n = 1; n <= 250; ++n)
        ASSERT_TRUE(store.append(QStringLiteral("serial-1.jsonl"), entryLine(entry(n)), KeptEntries).ok()) << n;
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(home.path() + QStringLiteral("/state/tavrel")), 0700u);
    EXPECT_EQ(store.fileNames(), QStringList{QStringLiteral("serial-1.jsonl")});

    const platform::HistoryStore::Read stored = store.read(QStringLiteral("serial-1.jsonl"));
    ASSERT_TRUE(stored.outcome.ok());
    const HistoryText read = readHistoryText(stored.bytes);
    EXPECT_TRUE(read.damagedLines.isEmpty());
    // Trimmed to the last 200 once past 250; never fewer than 200.
    ASSERT_GE(read.entries.size(), 200u);
    ASSERT_LE(read.entries.size(), 250u);
    EXPECT_EQ(read.entries.back(), entry(250));
    EXPECT_EQ(read.entries[read.entries.size() - 200], entry(51));

    for (int n = 251; n <= 260; ++n)
        ASSERT_TRUE(store.append(QStringLiteral("serial-1.jsonl"), entryLine(entry(n)), KeptEntries).ok()) << n;
    const HistoryText later = readHistoryText(store.read(QStringLiteral("serial-1.jsonl")).bytes);
    ASSERT_LE(later.entries.size(), 250u);
    EXPECT_EQ(later.entries.back(), entry(260));
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(HistoryStoreTest, ALineCutShortStaysOneDamagedLineAndTheNextEntryIsWhole)
{
    ASSERT_TRUE(store.append(QStringLiteral("serial-1.jsonl"), entryLine(entry(1)), KeptEntries).ok());
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(entryLine(entry(2)).left(50));
    }
    ASSERT_TRUE(store.append(QStringLiteral("serial-1.jsonl"), entryLine(entry(3)), KeptEntries).ok());
    const HistoryText read = readHistoryText(store.read(QStringLiteral("serial-1.jsonl")).bytes);
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[0], entry(1));
    EXPECT_EQ(read.entries[1], entry(3));
    EXPECT_EQ(read.damagedLines, QList<int>{2});
}

TEST_F(HistoryStoreTest, AFolderThatCannotBeWrittenIsAFailureAndAMissingFileReadsEmpty)
{
    EXPECT_TRUE(store.read(QStringLiteral("serial-1.jsonl")).outcome.ok());
    EXPECT_TRUE(store.read(QStringLiteral("serial-1.jsonl")).bytes.isEmpty());
    ASSERT_TRUE(QDir().mkpath(folder()));
    // Root writes any folder whatever its mode: a file where the folder belongs stops it too.
    if (::geteuid() == 0) {
        ASSERT_TRUE(QDir(folder()).removeRecursively());
        QFile in(folder());
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    } else {
        ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0500), 0);
    }
    EXPECT_FALSE(store.append(QStringLiteral("serial-1.jsonl"), entryLine(entry(1)), KeptEntries).ok());
}
