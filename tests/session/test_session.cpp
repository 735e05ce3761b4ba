// The device session on its own, as the command line uses it: no widgets, a QCoreApplication,
// emulated devices.
#include "config/reports.h"
#include "session/keyfiles.h"
#include "sessionfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace tavrel;

using tavrel::test::testbed;
using tavrel::test::waitFor;

namespace {

using Bytes = std::array<quint8, 5>;

int requests(const emu::EmulatedDevice& device, quint8 command)
{
    int n = 0;
    for (const QByteArray& r : device.received())
        n += r.size() >= 2 && quint8(r[1]) == command;
    return n;
}

// The records each emulated device of a test starts with: every key of every device its own, so that
// a record found anywhere tells where it came from.
Bytes ownRecord(int device, int key)
{
    return {quint8(1 << (device % 4)), quint8(0x04 + 8 * device + key), 0, 0, 0x00};
}

class SessionTest : public tavrel::test::EmulatedDevicesTest {
protected:
    void start()
    {
        session = std::make_unique<DeviceSession>();
        editor = std::make_unique<DeviceEditor>(*session);
        // The outcomes of the selected device's writes, as the window shows them.
        QObject::connect(editor.get(), &DeviceEditor::deviceSelected, [this] {
            selection = std::make_unique<QObject>();
            if (AttachedDevice* device = editor->selected())
                QObject::connect(device, &AttachedDevice::writeFinished, selection.get(),
                                 [this](const WriteOutcome& o) { outcomes.push_back(o); });
        });
        session->start();
    }

    // The selected device has answered every key it has and nothing runs.
    bool readDone(int keys)
    {
        return waitFor([&] {
            return editor->selected() && editor->selected()->readComplete() && editor->shownKeys() == keys
                   && !editor->busy();
        });
    }

    // The session's index of an emulated device, found by its interface.
    int indexOf(const emu::EmulatedDevice& device) const
    {
        const auto& devices = session->devices();
        for (std::size_t i = 0; i < devices.size(); ++i)
            if (devices[i]->identity().syspath == device.syspath())
                return int(i);
        return -1;
    }

    Bytes shown(int key) const
    {
        const auto& r = editor->shownRecord(key);
        return r ? r->record.bytes() : Bytes{0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    }

    std::vector<WriteOutcome> outcomes;
    // Lives as long as the selection: what the test takes from the selected device.
    std::unique_ptr<QObject> selection;
};

}  // namespace

TEST_F(SessionTest, ADeviceFoundIsReadOnceAndWrittenBackAsItsModelHoldsIt)
{
    auto& device = plug("s-rw", "320000000001");
    device.setRecord(0, {0x05, 0x04, 0, 0, 0x00});
    device.setRecord(4, {0x02, 0x00, 0, 0, 0x03});
    start();
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(editor->shownRecord(0)->text, QStringLiteral("Ctrl+Alt+A"));
    EXPECT_EQ(shown(4), (Bytes{0x02, 0x00, 0, 0, 0x03}));
    EXPECT_EQ(requests(device, ReadKeyCommand), 6);

    editor->selectKey(0);
    editor->setRepeat(true);
    EXPECT_TRUE(editor->selected()->assignments().unsent(0));
    editor->selected()->write();
    EXPECT_TRUE(editor->selected()->writing());
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_TRUE(outcomes[0].complete());
    EXPECT_FALSE(editor->selected()->assignments().anyUnsent());
    EXPECT_EQ(device.record(0), (Bytes{0x05, 0x04, 0, 0, 0x02}));
    EXPECT_EQ(device.record(4), (Bytes{0x02, 0x00, 0, 0, 0x03}));
    EXPECT_EQ(requests(device, WriteKeyCommand), 6);
}

// Each row a set of devices as they are plugged in: every device is listed, read when selected, shows
// only what its own device holds, and a write to it sends only that. A serial that is not one of
// the family's codes, anywhere in the list, stops nothing; a serial two devices share confuses nothing.
TEST_F(SessionTest, EveryDeviceIsListedAndReadAndHoldsOnlyItsOwnRecords)
{
    const struct {
        const char* title;
        std::vector<const char*> serials;
    } sets[] = {
        {"an undecodable serial first", {"AB", "320000000001"}},
        {"an undecodable serial second", {"320000000001", "Q"}},
        {"an undecodable serial alone", {"K"}},
        {"two devices with one serial", {"320000000007", "320000000007"}},
    };
    int plugged = 0;
    for (const auto& set : sets) {
        SCOPED_TRACE(set.title);
        std::vector<emu::EmulatedDevice*> devices;
        for (std::size_t d = 0; d < set.serials.size(); ++d) {
            auto& device = plug(QStringLiteral("set-%1").arg(plugged++), QString::fromLatin1(set.serials[d]));
            for (int k = 0; k < 6; ++k)
                device.setRecord(k, ownRecord(int(d), k));
            devices.push_back(&device);
        }
        start();
        ASSERT_TRUE(waitFor([&] { return session->devices().size() == devices.size(); }));
        for (std::size_t d = 0; d < devices.size(); ++d) {
            SCOPED_TRACE(d);
            const int index = indexOf(*devices[d]);
            ASSERT_GE(index, 0);
            const AttachedDevice* model = session->devices()[std::size_t(index)];
            EXPECT_EQ(model->identity().serial, QString::fromLatin1(set.serials[d]));
            EXPECT_EQ(model->capabilities().decoded, QString::fromLatin1(set.serials[d]).startsWith(u'3'));
            editor->selectDevice(index);
            ASSERT_TRUE(readDone(6));
            for (int k = 0; k < 6; ++k)
                EXPECT_EQ(shown(k), ownRecord(int(d), k)) << "key " << k + 1;
        }
        // Written back in turn, each from its own model: every device keeps exactly its own.
        for (std::size_t d = 0; d < devices.size(); ++d) {
            outcomes.clear();
            editor->selectDevice(indexOf(*devices[d]));
            ASSERT_TRUE(waitFor([&] { return !editor->busy(); }));
            editor->selected()->write();
            ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
            EXPECT_TRUE(outcomes[0].complete());
        }
        for (std::size_t d = 0; d < devices.size(); ++d) {
            EXPECT_EQ(requests(*devices[d], WriteKeyCommand), 6) << d;
            for (int k = 0; k < 6; ++k)
                EXPECT_EQ(devices[d]->record(k), ownRecord(int(d), k)) << "device " << d << " key " << k + 1;
        }
        TearDown();
    }
}

// A device that cannot be read, chosen after one that was: it shows none of the other's records, and
// a write sends it nothing of them.
TEST_F(SessionTest, ADeviceThatDoesNotAnswerShowsAndGetsNoOtherDevicesRecords)
{
    auto& first = plug("s-first", "320000000001");
    for (int k = 0; k < 6; ++k)
        first.setRecord(k, ownRecord(0, k));
    auto& silent = plug("s-silent", "AB");
    silent.setDropAnswers(true);
    start();
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    editor->selectDevice(indexOf(first));
    ASSERT_TRUE(readDone(6));
    editor->selectDevice(indexOf(silent));
    ASSERT_TRUE(waitFor([&] { return editor->selectedIndex() == indexOf(silent) && !editor->busy(); }));
    EXPECT_EQ(editor->shownKeys(), 0);
    for (int k = 0; k < KeySlots; ++k)
        EXPECT_FALSE(editor->shownRecord(k)) << k;
    // The re-poll asks again while it stays silent.
    const int asked = requests(silent, ReadKeyCommand);
    ASSERT_TRUE(waitFor([&] { return requests(silent, ReadKeyCommand) > asked; }));

    editor->selected()->write();
    editor->selected()->writeKeys({0, 1, 2});
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 2; }));
    EXPECT_EQ(outcomes[1].notWritten, (QList<int>{0, 1, 2}));
    EXPECT_EQ(requests(silent, WriteKeyCommand), 0);

    // A record set whole is written, and only that one.
    editor->selected()->setRecord(1, KeyRecord{MouseRight, 0, 0, 0, ModeMouseSingle}, RecordOrigin::Loaded);
    editor->selected()->writeKeys({0, 1});
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 3; }));
    EXPECT_EQ(outcomes[2].notWritten, QList<int>{0});
    EXPECT_EQ(silent.record(1), (Bytes{0x02, 0, 0, 0, 0x01}));
    EXPECT_EQ(requests(silent, WriteKeyCommand), 1);
}

// Answers the session never asked for: another program's read of the same device, or a device that
// sends by itself. They are logged and change nothing; an edit is kept from reads the user did not
// ask for, and replaced by one the user asked for.
TEST_F(SessionTest, OnlyAnswersToItsOwnReadCountAndOnlyAnAskedReadReplacesEdits)
{
    auto& device = plug("s-edit", "320000000001");
    for (int k = 0; k < 6; ++k)
        device.setRecord(k, ownRecord(0, k));
    start();
    ASSERT_TRUE(readDone(6));
    editor->selectKey(2);
    editor->useMouse();
    const Bytes edited{MouseLeft, 0, 0, 0, ModeMouseSingle};
    ASSERT_EQ(shown(2), edited);

    int changes = 0;
    QObject::connect(editor->selected(), &AttachedDevice::recordChanged, [&changes] { ++changes; });
    const qsizetype logged = session->log().size();
    for (int k : {2, 3})
        device.pushInput(emu::Firmware::keyRecordResponse(6, k, {0x00, 0x3A, 0, 0, 0}));
    // A report's line is logged after it was handled.
    ASSERT_TRUE(waitFor([&] { return session->log().size() >= logged + 2; }));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(shown(2), edited);
    EXPECT_EQ(shown(3), ownRecord(0, 3));

    // An automatic read (the device chosen again after another) keeps the edit.
    auto& other = plug("s-other", "320000000002");
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    editor->selectDevice(indexOf(other));
    ASSERT_TRUE(readDone(6));
    editor->selectDevice(indexOf(device));
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(shown(2), edited);
    EXPECT_TRUE(editor->selected()->assignments().unsent(2));

    // The user's read replaces it with what the device holds.
    editor->selected()->read(AttachedDevice::ReadKind::Explicit);
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(shown(2), ownRecord(0, 2));
    EXPECT_FALSE(editor->selected()->assignments().anyUnsent());
}

// An answer that arrives while a write runs does not change what is written.
TEST_F(SessionTest, ALateAnswerDuringAWriteChangesNothingWritten)
{
    auto& device = plug("s-late", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    for (int k = 0; k < 6; ++k) {
        editor->selectKey(k);
        editor->useMouse();
    }
    editor->selected()->write();
    ASSERT_TRUE(waitFor([&] { return requests(device, WriteKeyCommand) >= 1; }));
    for (int k = 0; k < 6; ++k)
        device.pushInput(emu::Firmware::keyRecordResponse(6, k, {0x00, 0x3A, 0, 0, 0}));
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_TRUE(outcomes[0].complete());
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(device.record(k), (Bytes{MouseLeft, 0, 0, 0, ModeMouseSingle})) << k;
        EXPECT_EQ(shown(k), (Bytes{MouseLeft, 0, 0, 0, ModeMouseSingle})) << k;
    }
}

TEST_F(SessionTest, SwitchingDevicesAndBackKeepsEachDevicesEditsAndPlace)
{
    auto& a = plug("s-a", "320000000001");
    auto& b = plug("s-b", "320000000002");
    for (int k = 0; k < 6; ++k) {
        a.setRecord(k, ownRecord(0, k));
        b.setRecord(k, ownRecord(1, k));
    }
    start();
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    editor->selectDevice(indexOf(a));
    ASSERT_TRUE(readDone(6));
    AttachedDevice* first = editor->selected();
    const int placeOfA = indexOf(a);
    editor->selectKey(4);
    editor->setRepeat(true);
    const Bytes edited{ownRecord(0, 4)[0], ownRecord(0, 4)[1], 0, 0, ModeKeyboardRepeat};

    editor->selectDevice(indexOf(b));
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(shown(4), ownRecord(1, 4));
    // A third device plugged in meanwhile takes the end of the list and leaves the selection alone.
    const int placeOfB = indexOf(b);
    auto& c = plug("s-c", "320000000003");
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 3; }));
    EXPECT_EQ(editor->selectedIndex(), placeOfB);
    EXPECT_EQ(indexOf(a), placeOfA);
    EXPECT_EQ(indexOf(c), 2);

    editor->selectDevice(indexOf(a));
    EXPECT_EQ(editor->selected(), first);
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(shown(4), edited);
    EXPECT_EQ(a.record(4), ownRecord(0, 4));
    EXPECT_EQ(requests(a, WriteKeyCommand) + requests(b, WriteKeyCommand), 0);
}

// The editor follows the list: a selected device that goes is let go, and another is selected by
// the device change, before anyone who shows the list hears of it.
TEST_F(SessionTest, TheEditorLetsTheSelectedDeviceGoBeforeTheListIsShown)
{
    auto& stays = plug("s-follow-stays", "320000000001");
    auto& goes = plug("s-follow-goes", "320000000002");
    start();
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    editor->selectDevice(indexOf(goes));
    ASSERT_TRUE(readDone(6));
    editor->selectKey(3);
    editor->startCapture();
    QStringList events;
    QObject::connect(editor.get(), &DeviceEditor::receivedCleared, [&] { events << QStringLiteral("cleared"); });
    QObject::connect(editor.get(), &DeviceEditor::deviceSelected,
                     [&] { events << QStringLiteral("selected %1").arg(editor->selectedIndex()); });
    QObject::connect(session.get(), &DeviceSession::devicesChanged,
                     [&] { events << QStringLiteral("list %1").arg(editor->selectedIndex()); });

    testbed().unplug(goes);
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 1; }));
    EXPECT_EQ(events, (QStringList{QStringLiteral("cleared"), QStringLiteral("selected 0"), QStringLiteral("list 0")}));
    ASSERT_NE(editor->selected(), nullptr);
    EXPECT_EQ(editor->selected()->identity().syspath, stays.syspath());
    EXPECT_TRUE(editor->capturing()) << "capture is the window's to stop";

    events.clear();
    testbed().unplug(stays);
    ASSERT_TRUE(waitFor([&] { return session->devices().empty(); }));
    EXPECT_EQ(events, (QStringList{QStringLiteral("cleared"), QStringLiteral("list -1")}));
    EXPECT_EQ(editor->selected(), nullptr);
    EXPECT_EQ(editor->selectedKey(), -1);
    EXPECT_EQ(editor->shownKeys(), 0);
    EXPECT_FALSE(editor->repolling());
}

TEST_F(SessionTest, AnUnplugDuringAWriteStopsItAndNamesTheKeysNotWritten)
{
    auto& device = plug("s-unplug", "320000000001");
    auto& stays = plug("s-stays", "320000000002");
    start();
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    editor->selectDevice(indexOf(device));
    ASSERT_TRUE(readDone(6));
    for (int k = 0; k < 6; ++k) {
        editor->selectKey(k);
        editor->useMouse();  // every key changes to the left mouse button
    }
    editor->selected()->write();
    ASSERT_TRUE(waitFor([&] { return requests(device, WriteKeyCommand) >= 2; }));
    testbed().unplug(device);
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));

    const int written = requests(device, WriteKeyCommand);
    ASSERT_LT(written, 6);
    // Every key from the first whose write was not confirmed; the one in flight when the device
    // went may have reached it, but nothing said so.
    ASSERT_FALSE(outcomes[0].notWritten.isEmpty());
    const int first = outcomes[0].notWritten.first();
    EXPECT_GE(first, written - 1);
    QList<int> expected;
    for (int k = first; k < 6; ++k)
        expected << k;
    EXPECT_EQ(outcomes[0].notWritten, expected);
    // The other device is selected and read; nothing more went out to the one that went, all
    // that time.
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 1; }));
    ASSERT_TRUE(readDone(6));
    EXPECT_EQ(requests(device, WriteKeyCommand), written);
    EXPECT_EQ(editor->selected()->identity().serial, stays.model().serial);
    EXPECT_EQ(requests(stays, WriteKeyCommand), 0);
}

TEST_F(SessionTest, AWriteThatTheDeviceRefusesIsReportedPerKey)
{
    auto& device = plug("s-fail", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    const int opens = device.opens();
    device.setFailWrites(true);
    editor->selected()->write();
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, (QList<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(completionText(outcomes[0]), QStringLiteral("设置失败！6个按键未写入：1、2、3、4、5、6。"));
    EXPECT_EQ(editor->selected()->state(), AttachedDevice::State::Failed);
    // The refused report, after which the write stops, is logged as it went out and again with
    // nothing taken.
    EXPECT_EQ(session->log().count(QStringLiteral("! W 02  ")), 1);

    // A node that takes part of each report: no key is written, and the log says how much went.
    device.setFailWrites(false);
    device.setWriteLimit(3);
    // The refusal (EIO) shut the node until the device was found still there.
    ASSERT_TRUE(waitFor([&] { return device.opens() > opens; }));
    outcomes.clear();
    editor->selected()->writeKeys({1});
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, QList<int>{1});
    const QStringList log = session->log();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.mid(log.size() - 2),
              (QStringList{sentLogLine(writeKeyReport(1, editor->shownRecord(1)->record), ReportSize),
                           QStringLiteral("! W 02  02 01 ")}));
}

TEST_F(SessionTest, WritingChosenKeysSendsOnlyThoseAndNamesTheOnesTheDeviceDoesNotHave)
{
    auto& device = plug("s-chosen", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    editor->selected()->setRecord(2, KeyRecord{0x02, 0x05, 0, 0, ModeKeyboardRepeat}, RecordOrigin::Loaded);
    EXPECT_EQ(editor->shownRecord(2)->text, QStringLiteral("Shift+B"));
    device.clearReceived();
    editor->selected()->writeKeys({7, 2, 2});
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].notWritten, QList<int>{7});
    ASSERT_EQ(device.received().size(), 1u);
    EXPECT_EQ(device.received()[0].toHex(' '), QByteArray("02 02 02 02 05 00 00 02"));
    EXPECT_EQ(device.record(2), (Bytes{0x02, 0x05, 0, 0, 0x02}));
}

// A key file is taken only over a whole configuration read from the selected device: before the
// read answers, or while it runs, there is nothing to save and a loaded file would be written
// over keys never read.
TEST_F(SessionTest, KeyFilesNeedTheKeysReadFirst)
{
    auto& device = plug("s-file", "320000000031");
    device.setDropAnswers(true);
    start();
    ASSERT_TRUE(waitFor([&] { return editor->selected() && !editor->busy(); }));
    const QByteArray file =
        "{\"format\": \"tavrel-keys\", \"version\": 1, \"keys\": [{\"key\": 1, \"assignment\": \"F5\"}]}";
    EXPECT_FALSE(keysRead(editor->selected()));
    EXPECT_TRUE(keyFile(editor->selected()).isEmpty());
    const auto early = loadKeyFile(editor->selected(), file);
    ASSERT_TRUE(std::holds_alternative<configfile::FileErrors>(early));
    EXPECT_EQ(std::get<configfile::FileErrors>(early).front().line, 0);

    device.setDropAnswers(false);
    editor->selected()->read(AttachedDevice::ReadKind::Explicit);
    ASSERT_TRUE(readDone(6));
    ASSERT_TRUE(keysRead(editor->selected()));
    const auto loaded = loadKeyFile(editor->selected(), file);
    ASSERT_TRUE(std::holds_alternative<int>(loaded));
    EXPECT_EQ(std::get<int>(loaded), 1);
    EXPECT_EQ(editor->shownRecord(0)->text, QStringLiteral("F5"));
    EXPECT_EQ(editor->shownRecord(0)->origin, RecordOrigin::Loaded);
    EXPECT_EQ(requests(device, WriteKeyCommand), 0);
}

// A pairing answer counts only as the answer of the receiver's own bind, while that bind is open:
// an answer nobody asked for, from the receiver before its bind or after it ended, or from any
// other device during it, is logged and ends nothing.
TEST_F(SessionTest, OnlyTheBindingReceiversAnswerEndsItsBind)
{
    auto& receiver = plug("s-rx", "311400000002");
    auto& wired = plug("s-wired", "320000000001");
    start();
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));
    AttachedDevice* rx = session->devices()[std::size_t(indexOf(receiver))];
    AttachedDevice* other = session->devices()[std::size_t(indexOf(wired))];
    std::vector<std::pair<const AttachedDevice*, QString>> answers;
    for (AttachedDevice* device : {rx, other})
        QObject::connect(device, &AttachedDevice::pairingAnswered, [&answers, device](const PairingResponse& p) {
            answers.emplace_back(device, p.identityText());
        });
    const QByteArray unasked = QByteArray::fromHex("0150 01 DEADBEEF01");
    const QByteArray bound = QByteArray::fromHex("0150 02 1A2B3C4D5E");
    const auto push = [&](emu::EmulatedDevice& from, const QByteArray& report) {
        const qsizetype logged = session->log().size();
        from.pushInput(report);
        ASSERT_TRUE(waitFor([&] { return session->log().size() > logged; }));
    };

    ASSERT_NO_FATAL_FAILURE(push(receiver, unasked));
    receiver.setPairDelayMs(-1);
    receiver.clearReceived();
    rx->bind();
    EXPECT_EQ(rx->bindCountdown(), BindSeconds);
    ASSERT_TRUE(waitFor([&] { return requests(receiver, PairCommand) == 1; }));
    ASSERT_NO_FATAL_FAILURE(push(wired, unasked));
    EXPECT_TRUE(answers.empty());
    EXPECT_GT(rx->bindCountdown(), 0);

    ASSERT_NO_FATAL_FAILURE(push(receiver, bound));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].first, rx);
    EXPECT_EQ(answers[0].second, QStringLiteral("1A 2B 3C 4D 5E (02 )"));
    EXPECT_EQ(rx->bindCountdown(), 0);
    ASSERT_NO_FATAL_FAILURE(push(receiver, bound));  // the bind is over
    EXPECT_EQ(answers.size(), 1u);

    // A bind that was ended, or that a clear closed, takes no answer either; the clear leaves
    // the countdown running to its time-out.
    rx->bind();
    rx->endBind();
    EXPECT_EQ(rx->bindCountdown(), 0);
    ASSERT_NO_FATAL_FAILURE(push(receiver, bound));
    rx->bind();
    rx->clearBindings();
    ASSERT_TRUE(waitFor([&] { return requests(receiver, PairCommand) == 4; }));
    ASSERT_NO_FATAL_FAILURE(push(receiver, bound));
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_GT(rx->bindCountdown(), 0);

    // Unplugged during a bind: its countdown ends as a time-out, before the device goes.
    int timedOut = 0;
    QObject::connect(rx, &AttachedDevice::bindTimedOut, [&timedOut] { ++timedOut; });
    testbed().unplug(receiver);
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 1; }));
    EXPECT_EQ(timedOut, 1);
}

namespace {

// When the device took each request with this command byte, in milliseconds.
std::vector<qint64> requestTimes(const emu::EmulatedDevice& device, quint8 command)
{
    const std::vector<QByteArray> received = device.received();
    const std::vector<qint64> at = device.receivedAtMs();
    std::vector<qint64> times;
    for (std::size_t i = 0; i < received.size() && i < at.size(); ++i)
        if (received[i].size() >= 2 && quint8(received[i][1]) == command)
            times.push_back(at[i]);
    return times;
}

// The pace the devices need, written out here rather than taken from the program's constants, so
// that a changed constant fails the tests below.
constexpr int KeyReadPauseMs = 50;
constexpr int KeyWritePauseMs = 150;
constexpr int KeyRepollMs = 500;

// The middle one of the gaps between consecutive times: one late turn of a busy machine's
// event loop does not move it.
qint64 medianGap(const std::vector<qint64>& times)
{
    std::vector<qint64> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    if (gaps.empty())
        return -1;
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

}  // namespace

// The pauses a device needs, seen from the device: 50 ms between read requests and 150 ms between
// written keys. Each pause starts once the request before it is written, so a gap is never
// shorter; a gap well over it means the pace grew.
TEST_F(SessionTest, ReadAndWriteRequestsKeepTheirPace)
{
    auto& device = plug("s-pace", "320000000001");
    start();
    ASSERT_TRUE(readDone(6));
    editor->selected()->read(AttachedDevice::ReadKind::Explicit);
    ASSERT_TRUE(readDone(6));
    editor->selected()->write();
    ASSERT_TRUE(waitFor([&] { return !outcomes.empty(); }));

    const auto reads = requestTimes(device, ReadKeyCommand);
    const auto writes = requestTimes(device, WriteKeyCommand);
    ASSERT_EQ(reads.size(), 12u);
    ASSERT_EQ(writes.size(), 6u);
    const qint64 readGap = medianGap(std::vector<qint64>(reads.begin() + 6, reads.end()));
    const qint64 writeGap = medianGap(writes);
    // The upper bounds leave a busy machine room, and catch a pause twice as long.
    EXPECT_GE(readGap, KeyReadPauseMs - 1);
    EXPECT_LE(readGap, KeyReadPauseMs * 9 / 5);
    EXPECT_GE(writeGap, KeyWritePauseMs - 1);
    EXPECT_LE(writeGap, KeyWritePauseMs * 8 / 5);
}

// A device that does not answer is read again on the re-poll's 500 ms ticks: a read with its grace
// lasts longer than one tick, so the next starts on the second. After a few silent reads the
// re-poll slows down, and any report from the device brings it back to its pace.
TEST_F(SessionTest, TheRepollKeepsItsPaceThenBacksOffUntilTheDeviceSendsAnything)
{
    auto& device = plug("s-mute", "320000000001");
    device.setDropAnswers(true);
    start();
    const auto roundStarts = [&] {
        std::vector<qint64> starts;
        const std::vector<QByteArray> received = device.received();
        const std::vector<qint64> at = device.receivedAtMs();
        for (std::size_t i = 0; i < received.size() && i < at.size(); ++i)
            if (received[i].size() >= 3 && quint8(received[i][1]) == ReadKeyCommand && received[i][2] == 0)
                starts.push_back(at[i]);
        return starts;
    };
    const int rounds = RepollSteadyRounds + 3;
    ASSERT_TRUE(waitFor([&] { return int(roundStarts().size()) >= rounds; }, 30000));
    const std::vector<qint64> starts = roundStarts();
    const int readMs = 6 * KeyReadPauseMs + ReadGraceMs;
    const qint64 steadyGap = qint64((readMs + KeyRepollMs - 1) / KeyRepollMs) * KeyRepollMs;
    const std::vector<qint64> steady(starts.begin(), starts.begin() + RepollSteadyRounds + 1);
    SCOPED_TRACE(testing::PrintToString(starts));

    // Steady: each silent read on the tick after the one the read before it covered. A busy
    // machine moves a read's first request a little after its tick, either way for a gap.
    EXPECT_GE(medianGap(steady), steadyGap - KeyRepollMs / 8);
    EXPECT_LE(medianGap(steady), steadyGap + KeyRepollMs / 4);
    // Then slower: the reads after the steady ones come further apart than steady ones would.
    const qint64 later = starts[std::size_t(rounds - 1)] - starts[std::size_t(RepollSteadyRounds)];
    EXPECT_GE(later, (rounds - 1 - RepollSteadyRounds) * steadyGap + KeyRepollMs);

    // The gap between the first two rounds from round `from` on, once they have started.
    const auto gapAfter = [&](std::size_t from) -> qint64 {
        if (!waitFor([&] { return roundStarts().size() >= from + 2; }, 30000))
            return -1;
        const std::vector<qint64> now = roundStarts();
        return now[from + 1] - now[from];
    };
    const qint64 steadyLimit = steadyGap + KeyRepollMs / 4;

    // The device speaks: the rounds after it are back at the steady pace.
    const std::size_t beforeReport = roundStarts().size();
    device.pushInput(QByteArray::fromHex("0180000000000000"));
    const qint64 afterReport = gapAfter(beforeReport);
    EXPECT_GT(afterReport, 0);
    EXPECT_LE(afterReport, steadyLimit);

    // Silent again until the re-poll slowed down, then plugged in again: back at its pace as well.
    ASSERT_TRUE(waitFor(
        [&] {
            const std::vector<qint64> now = roundStarts();
            return now.size() >= 2 && now[now.size() - 1] - now[now.size() - 2] > steadyLimit + KeyRepollMs;
        },
        30000));
    testbed().unplug(device);
    ASSERT_TRUE(waitFor([&] { return session->devices().empty(); }));
    const std::size_t beforePlug = roundStarts().size();
    testbed().plug(device);
    ASSERT_TRUE(waitFor([&] { return editor->selected() != nullptr; }));
    EXPECT_TRUE(editor->repolling());
    const qint64 afterPlug = gapAfter(beforePlug);
    EXPECT_GT(afterPlug, 0);
    EXPECT_LE(afterPlug, steadyLimit);
}
