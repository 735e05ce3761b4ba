#include "config/configio.h"
#include "fakes.h"

#include <gtest/gtest.h>

using namespace tavrel;
using namespace tavrel::test;

namespace {

struct ConfigIo : ::testing::Test {
    FakeTransport transport;
    ListLog log;
    ReportChannel channel{transport, log};
    KeyTable table;

    ConfigIo() { transport.selected = 0; }

    std::vector<int> keysRead() const
    {
        std::vector<int> keys;
        for (const auto& [device, r] : transport.writes)
            if (r[1] == CMD_READ_KEY)
                keys.push_back(r[2]);
        return keys;
    }
};

}  // namespace

TEST_F(ConfigIo, ReadAsksForSixKeysAndForEveryFurtherKeyTheDeviceReports)
{
    readConfiguration(channel, table, {});
    EXPECT_EQ(keysRead(), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // An eight-key device answers while the read pauses: keys 6 and 7 are asked for too.
    transport.writes.clear();
    int pauses = 0;
    readConfiguration(channel, table, [&] {
        if (++pauses == 1)
            applyKeyRecord(table, {0x81, 0x80, 0, 0, 0, 0, 0});
    });
    EXPECT_EQ(keysRead(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(pauses, 8);

    // A count left by another device does not widen the read.
    table.forgetDevice();
    transport.writes.clear();
    readConfiguration(channel, table, {});
    EXPECT_EQ(keysRead().size(), 6u);
}

TEST_F(ConfigIo, WriteSendsEveryKeyWithTruncatedProgressSteps)
{
    for (int k = 0; k < 6; ++k)
        applyKeyRecord(table, {0x81, quint8(0x60 | k), quint8(k), 0x04, 0, 0, 0x02});
    std::vector<int> progress;
    int mirrored = 0;
    const WriteOutcome out = writeConfiguration(
        channel, table, {[&](int v) { progress.push_back(v); }, [&](const OutputReport&) { ++mirrored; }, {}});
    EXPECT_EQ(progress, (std::vector<int>{0, 16, 20, 25, 33, 50, 100}));
    EXPECT_EQ(mirrored, 6);
    ASSERT_EQ(transport.writes.size(), 6u);
    EXPECT_EQ(transport.writes[3].second, (OutputReport{0x02, 0x02, 3, 3, 0x04, 0, 0, 0x02}));
    EXPECT_TRUE(out.complete());
    EXPECT_EQ(completionText(out), QStringLiteral("设置完成！"));
}

TEST_F(ConfigIo, WriteEdges)
{
    // Nothing read yet: nothing to send, and the write still completes.
    std::vector<int> progress;
    WriteOutcome out = writeConfiguration(channel, table, {[&](int v) { progress.push_back(v); }, {}, {}});
    EXPECT_TRUE(transport.writes.empty());
    EXPECT_EQ(progress, std::vector<int>{0});
    EXPECT_EQ(completionText(out), QStringLiteral("设置完成！"));

    // One key: the bar is at 100 at once.
    applyKeyRecord(table, {0x81, 0x10, 0, 0x04, 0, 0, 0});
    progress.clear();
    writeConfiguration(channel, table, {[&](int v) { progress.push_back(v); }, {}, {}});
    EXPECT_EQ(progress, (std::vector<int>{0, 100}));
}

TEST_F(ConfigIo, WriteNeverSendsAnotherDevicesRecordsAndReportsWhatWasNotWritten)
{
    // Device A answered for six keys; then device B is selected and answers only for key 0.
    for (int k = 0; k < 6; ++k)
        applyKeyRecord(table, {0x81, quint8(0x60 | k), 0x01, quint8(0x04 + k), 0, 0, 0});
    table.forgetDevice();
    applyKeyRecord(table, {0x81, 0x60, 0x02, 0x05, 0, 0, 0});
    table.field(2, Field::Code1) = "1E";  // the user edits key 2 (key 3 on screen)
    table.markSet(2);

    const WriteOutcome out = writeConfiguration(channel, table, {});
    ASSERT_EQ(transport.writes.size(), 2u);
    EXPECT_EQ(transport.writes[0].second[2], 0);
    EXPECT_EQ(transport.writes[1].second[2], 2);
    EXPECT_EQ(out.notWritten, 4);
    EXPECT_EQ(completionText(out), QStringLiteral("设置失败！4个按键未写入。"));

    // Failing writes are counted as well.
    transport.fail = true;
    EXPECT_EQ(writeConfiguration(channel, table, {}).notWritten, 6);
}
