// What a key sends through its keyboard and mouse interfaces, as the session reads it for the
// selected key: each press and release, and the one key whose record sends it.
#include "sessionfixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tavrel;

using tavrel::test::testbed;
using tavrel::test::waitFor;

namespace {

struct Received {
    AttachedDevice* from;
    InputChange change;
    int key;
};

class KeyTesterTest : public tavrel::test::EmulatedDevicesTest {
protected:
    void start()
    {
        session = std::make_unique<DeviceSession>();
        editor = std::make_unique<DeviceEditor>(*session);
        editor->setWatchesInput(true);
        // What every device announces, selected or not: only the selected one is to be heard.
        QObject::connect(session.get(), &DeviceSession::devicesChanged, [this] {
            for (AttachedDevice* device : session->devices()) {
                if (device->property("heard").toBool())
                    continue;
                device->setProperty("heard", true);
                QObject::connect(device, &AttachedDevice::inputReceived,
                                 [this, device](const InputChange& change, int key) {
                                     received.push_back({device, change, key});
                                 });
            }
        });
        QObject::connect(editor.get(), &DeviceEditor::receivedCleared, [this] { ++cleared; });
        session->start();
    }

    bool selectedAndWatching(const emu::EmulatedDevice& key)
    {
        return waitFor([&] {
            return editor->selected() && editor->selected()->identity().syspath == key.syspath()
                   && editor->selected()->readComplete() && !editor->busy() && key.inputOpens() == 2;
        });
    }

    // The presses the session announced, as (key, presses) pairs.
    std::vector<std::pair<int, int>> presses() const
    {
        std::vector<std::pair<int, int>> result;
        for (const Received& r : received)
            if (r.change.kind == InputChange::Kind::Press)
                result.emplace_back(r.key, r.change.presses);
        return result;
    }

    std::vector<Received> received;
    int cleared = 0;
};

}  // namespace

TEST_F(KeyTesterTest, APressNamesTheOneKeyWhoseRecordTheKeyHoldsForIt)
{
    auto& key = plug("t-match", "320000000031");
    key.setRecord(0, {0x03, 0x05, 0, 0, 0x00});  // Ctrl+Shift+B
    key.setRecord(1, {0x04, 0x3D, 0, 0, 0x00});  // Alt+F4
    key.setRecord(2, {0x04, 0x3D, 0, 0, 0x00});  // Alt+F4 again
    key.setRecord(3, {0x02, 0, 0, 0, 0x03});     // the right button, repeated
    start();
    ASSERT_TRUE(selectedAndWatching(key));
    // A record the key was given behind the session's back: the session holds another for it.
    key.setRecord(4, {0x01, 0x14, 0, 0, 0x00});

    const struct {
        const char* name;
        int slot;
        int holdMs;
        std::vector<std::pair<int, int>> presses;
    } cases[] = {
        {"one key holds it", 0, 50, {{0, 1}}},
        {"two keys hold it", 1, 50, {{-1, 1}}},
        {"a repeating key, named at every press", 3, 2 * emu::RepeatPeriodMs - 10, {{3, 1}, {3, 2}}},
        {"no record the session holds sends it", 4, 50, {{-1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        received.clear();
        key.advanceClock(RepeatGapMs + 1);
        ASSERT_GT(key.pressKey(c.slot, c.holdMs), 0);
        EXPECT_TRUE(waitFor(
            [&] {
                return presses().size() >= c.presses.size() && !received.empty()
                       && received.back().change.kind == InputChange::Kind::Release
                       && int(received.size()) == 2 * int(c.presses.size());
            },
            3000));
        EXPECT_EQ(presses(), c.presses);
        for (const Received& r : received)
            EXPECT_EQ(r.from, editor->selected());
    }

    // An edit not written yet is not what the key holds.
    editor->selectKey(0);
    editor->setRepeat(true);
    received.clear();
    key.advanceClock(RepeatGapMs + 1);
    key.pressKey(0, 50);
    ASSERT_TRUE(waitFor([&] { return received.size() == 2; }, 3000));
    EXPECT_EQ(presses(), (std::vector<std::pair<int, int>>{{-1, 1}}));
}

TEST_F(KeyTesterTest, OnlyTheSelectedKeyIsHeardAndItsLineEndsWithIt)
{
    auto& first = plug("t-first", "320000000032");
    first.setRecord(0, {0x00, 0x04, 0, 0, 0x00});
    start();
    ASSERT_TRUE(selectedAndWatching(first));
    // Plugged in later: its input devices come after its hidraw interface, as a real key's may.
    auto& second = plug("t-second", "320000000033");
    second.setRecord(0, {0x00, 0x05, 0, 0, 0x00});
    ASSERT_TRUE(waitFor([&] { return session->devices().size() == 2; }));

    // Pressed on the device not selected, then on the selected one: only the latter is heard.
    second.pressKey(0, 50);
    first.pressKey(0, 50);
    ASSERT_TRUE(waitFor([&] { return received.size() >= 2; }, 3000));
    for (const Received& r : received)
        EXPECT_EQ(r.change.input.keys, QList<quint8>{0x04}) << "a device that is not selected is not read";
    EXPECT_EQ(second.inputOpens(), 0);

    const int before = cleared;
    editor->selectDevice(1);
    EXPECT_EQ(cleared, before + 1);
    ASSERT_TRUE(selectedAndWatching(second));
    received.clear();
    // Pressed on the device no longer selected, then twice on the selected one: its two presses
    // and releases are all that is heard.
    first.pressKey(0, 50);
    second.pressKey(0, 50);
    ASSERT_TRUE(waitFor([&] { return received.size() >= 2; }, 3000));
    second.pressKey(0, 50);
    ASSERT_TRUE(waitFor([&] { return received.size() >= 4; }, 3000));
    ASSERT_EQ(received.size(), 4u) << "the device no longer selected is not heard";
    for (const Received& r : received)
        EXPECT_EQ(r.change.input.keys, QList<quint8>{0x05});
    // The second press comes soon after the first: a repeat, which the single record does not send.
    EXPECT_EQ(received.front().key, 0);

    testbed().unplug(second);
    EXPECT_TRUE(waitFor([&] { return cleared == before + 2; }, 3000));
}
