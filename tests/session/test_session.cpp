// The device session on its own, as the command line uses it: no widgets, a QCoreApplication,
// emulated keys.
#include "common/qtwait.h"
#include "config/protocol.h"
#include "keyemu/emulator.h"
#include "session/devicesession.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace tavrel;

namespace tavrel::test {
emu::Testbed& testbed();
}
using tavrel::test::runEventsFor;
using tavrel::test::testbed;
using tavrel::test::waitFor;

namespace {

int requests(const emu::EmulatedKey& key, quint8 command)
{
    int n = 0;
    for (const QByteArray& r : key.received())
        n += r.size() >= 2 && quint8(r[1]) == command;
    return n;
}

class SessionTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        session.reset();
        for (emu::EmulatedKey* key : testbed().keys())
            if (key->plugged())
                testbed().unplug(*key);
    }

    emu::EmulatedKey& plug(const QString& name, const QString& serial, int keys = 6)
    {
        emu::KeyModel model;
        model.name = name;
        model.serial = serial;
        model.keys = keys;
        return testbed().add(model);
    }

    void start()
    {
        session = std::make_unique<DeviceSession>();
        QObject::connect(session.get(), &DeviceSession::writeFinished,
                         [this](const WriteOutcome& o) { outcomes.push_back(o); });
        session->start();
    }

    bool readDone(int keys)
    {
        return waitFor([&] { return session->table().KeyCount == keys && !session->busy(); });
    }

    std::unique_ptr<DeviceSession> session;
    std::vector<WriteOutcome> outcomes;
};

}  // namespace

TEST_F(SessionTest, AKeyFoundIsReadOnceAndWrittenBackAsTheTableHoldsIt)
{
    auto& key = plug("s-rw", "320000000001");
    key.setRecord(0, {0x05, 0x04, 0, 0, 0x00});
    key.setRecord(4, {0x02, 0x00, 0, 0, 0x03});
    start();
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(session->table().KeyText[0], QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(session->table().field(4, Field::Mode), QStringLiteral("03"));
    // The selection and the device change ask for the same read: it is sent once.
    ASSERT_TRUE(waitFor([&] { return session->log().size() >= 12; }));  // six requests, six answers
    EXPECT_EQ(requests(key, CMD_READ_KEY), 6);

    session->selectKey(0);
    session->setRepeat(true);
    session->write();
    EXPECT_TRUE(session->writing());
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_TRUE(outcomes[0].complete());
    EXPECT_EQ(key.record(0), (std::array<quint8, 5>{0x05, 0x04, 0, 0, 0x02}));
    EXPECT_EQ(key.record(4), (std::array<quint8, 5>{0x02, 0x00, 0, 0, 0x03}));
    EXPECT_EQ(requests(key, CMD_WRITE_KEY), 6);
}

TEST_F(SessionTest, AnUnplugDuringAWriteStopsItAndNamesTheKeysNotWritten)
{
    auto& key = plug("s-unplug", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    for (int k = 0; k < 6; ++k) {
        session->selectKey(k);
        session->useMouse();  // every key changes to the left mouse button
    }
    session->write();
    ASSERT_TRUE(waitFor([&] { return requests(key, CMD_WRITE_KEY) >= 2; }));
    testbed().unplug(key);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));

    const int written = requests(key, CMD_WRITE_KEY);
    ASSERT_LT(written, 6);
    // Every key from the first whose write was not confirmed; the one in flight when the key
    // went may have reached it, but nothing said so.
    ASSERT_FALSE(outcomes[0].notWritten.isEmpty());
    const int first = outcomes[0].notWritten.first();
    EXPECT_GE(first, written - 1);
    QList<int> expected;
    for (int k = first; k < 6; ++k)
        expected << k;
    EXPECT_EQ(outcomes[0].notWritten, expected);
    // Nothing more went out once the key was gone, and the device list is empty again.
    runEventsFor(300);
    EXPECT_EQ(requests(key, CMD_WRITE_KEY), written);
    EXPECT_TRUE(waitFor([&] { return session->devices().empty() && !session->devicePresent(); }));
}

TEST_F(SessionTest, ADeviceChangeDuringAReadDropsTheRestOfIt)
{
    auto& first = plug("s-first", "320000000001");
    start();
    ASSERT_TRUE(waitFor([&] { return requests(first, CMD_READ_KEY) >= 2; }));
    auto& second = plug("s-second", "320000000002");
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2 && !session->busy(); }));
    EXPECT_LT(requests(first, CMD_READ_KEY), 12) << "the interrupted read and the new one together";
    session->selectDevice(1);
    ASSERT_TRUE(waitFor([&] { return requests(second, CMD_READ_KEY) == 6 && !session->busy(); }));
    EXPECT_EQ(session->currentDevice(), session->devices()[1].hid);
}

TEST_F(SessionTest, AWriteThatTheKeyRefusesIsReportedPerKey)
{
    auto& key = plug("s-fail", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    key.setFailWrites(true);
    session->write();
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, (QList<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(completionText(outcomes[0]), QStringLiteral("设置失败！6个按键未写入：1、2、3、4、5、6。"));
}

TEST_F(SessionTest, WritingChosenKeysSendsOnlyThoseAndNamesTheOnesTheKeyDoesNotHave)
{
    auto& key = plug("s-chosen", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    session->setRecord(2, KeyRecord{0x02, 0x05, 0, 0, ModeKeyboardRepeat});
    EXPECT_EQ(session->table().KeyText[2], QStringLiteral("Shift+B"));
    key.clearReceived();
    session->writeKeys({7, 2, 2});
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, QList<int>{7});
    ASSERT_EQ(key.received().size(), 1u);
    EXPECT_EQ(key.received()[0].toHex(' '), QByteArray("02 02 02 02 05 00 00 02"));
    EXPECT_EQ(key.record(2), (std::array<quint8, 5>{0x02, 0x05, 0, 0, 0x02}));
}

TEST_F(SessionTest, ARecordSetWholeIsWrittenToAKeyThatWasNotRead)
{
    plug("s-read", "320000000001");
    auto& silent = plug("s-silent", "320000000002");
    silent.setDropAnswers(true);
    start();
    ASSERT_TRUE(readDone(6));
    session->selectDevice(1);
    ASSERT_TRUE(waitFor([&] { return !session->busy(); }));
    // Key 0 still holds the other device's record, which must not reach this one.
    session->setRecord(1, KeyRecord{MouseRight, 0, 0, 0, ModeMouseSingle});
    session->writeKeys({0, 1});
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, QList<int>{0});
    EXPECT_EQ(silent.record(1), (std::array<quint8, 5>{0x02, 0, 0, 0, 0x01}));
    EXPECT_EQ(requests(silent, CMD_WRITE_KEY), 1);
}

// A key file is taken only over a whole configuration read from the selected key: before the
// read answers, or while it runs, there is nothing to save and a loaded file would be written
// over keys never read.
TEST_F(SessionTest, KeyFilesNeedTheKeysReadFirst)
{
    auto& key = plug("s-file", "320000000031");
    key.setDropAnswers(true);
    start();
    ASSERT_TRUE(waitFor([&] { return session->devicePresent() && !session->busy(); }));
    const QByteArray file = "{\"format\": \"tavrel-keys\", \"version\": 1, \"keys\": [{\"key\": 1, \"assignment\": \"F5\"}]}";
    EXPECT_FALSE(session->keysRead());
    EXPECT_TRUE(session->keyFile().isEmpty());
    const auto early = session->loadKeyFile(file);
    ASSERT_TRUE(std::holds_alternative<configfile::FileErrors>(early));
    EXPECT_EQ(std::get<configfile::FileErrors>(early).front().line, 0);

    key.setDropAnswers(false);
    session->read();
    ASSERT_TRUE(readDone(6));
    ASSERT_TRUE(session->keysRead());
    const auto loaded = session->loadKeyFile(file);
    ASSERT_TRUE(std::holds_alternative<int>(loaded));
    EXPECT_EQ(std::get<int>(loaded), 1);
    EXPECT_EQ(session->table().KeyText[0], QStringLiteral("F5"));
    EXPECT_EQ(requests(key, CMD_WRITE_KEY), 0);
}
