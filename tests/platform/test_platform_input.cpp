// A key's input event devices against emulated keys: found beside its hidraw interface, read
// with libevdev on the event loop, each reader with its own copy of the events, and gone with
// the key.

#include "common/addeddevices.h"
#include "common/qtwait.h"
#include "config/inputdecoder.h"
#include "platform/hotplugmonitor.h"
#include "platform/inputeventreader.h"
#include "platform/inputnodes.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <cerrno>
#include <memory>
#include <set>

using namespace tavrel;
using namespace tavrel::platform;
using tavrel::emu::EmulatedDevice;
using tavrel::emu::KeyModel;
using tavrel::test::testbed;
using tavrel::test::waitFor;

namespace {

constexpr int PollMs = 5;

class PlatformInput : public tavrel::test::AddedDevicesTest {
protected:
    void TearDown() override
    {
        m_readers.clear();
        AddedDevicesTest::TearDown();
    }

    // Readers of every input node of the key, feeding one decoder, as the session does.
    void watch(const EmulatedDevice& key)
    {
        for (const QString& node : key.inputDevnodes()) {
            auto reader = std::make_unique<InputEventReader>(node, PollMs);
            ASSERT_TRUE(reader->isOpen()) << reader->error().toStdString();
            const int source = int(m_readers.size());
            QObject::connect(reader.get(), &InputEventReader::received, reader.get(),
                             [this, source](const InputEvent& e, qint64 timeMs) {
                                 m_eventTimesMs.push_back(timeMs);
                                 for (const InputChange& c : m_decoder.take(source, e, timeMs))
                                     m_changes.push_back(c);
                             });
            m_readers.push_back(std::move(reader));
        }
    }

    std::shared_ptr<UdevContext> m_udev = UdevContext::create();
    std::vector<std::unique_ptr<InputEventReader>> m_readers;
    InputDecoder m_decoder;
    std::vector<InputChange> m_changes;
    // The time stamp of every event read, in the order read.
    std::vector<qint64> m_eventTimesMs;
};

std::set<QString> asSet(const std::vector<QString>& nodes)
{
    return {nodes.begin(), nodes.end()};
}

}  // namespace

// umockdev's text for an event device under `hidPath`, with the devices between.
QString describedEventDevice(const QString& hidPath, const QString& hidId, int number)
{
    const QString input = hidPath + QStringLiteral("/input/input%1").arg(number);
    return QStringLiteral("P: %1\nE: SUBSYSTEM=hid\nE: HID_ID=%2\n\n").arg(hidPath.mid(4), hidId)
           + QStringLiteral("P: %1\nE: SUBSYSTEM=input\n\n").arg(input.mid(4))
           + QStringLiteral("P: %1/event%2\nN: input/event%2\nE: SUBSYSTEM=input\nE: DEVNAME=/dev/input/event%2\n"
                            "E: MAJOR=13\nE: MINOR=%2\nA: dev=13:%2\n\n")
                 .arg(input.mid(4))
                 .arg(number);
}

TEST_F(PlatformInput, AKeysEventDevicesAreThoseOfItsOwnInterfaces)
{
    EmulatedDevice& first = addDevice();
    EmulatedDevice& second = addDevice();
    ASSERT_EQ(first.inputDevnodes().size(), 2u);
    // Under the first key's USB device, but none of its interfaces: a keyboard behind a hub port
    // of it, and a Bluetooth device below an adapter on its first interface.
    const QString usb = first.syspath().section(u'/', 0, 6);
    const QString hub = usb + QStringLiteral("/%1.2").arg(usb.section(u'/', -1));
    const QString adapter = first.syspath().section(u'/', 0, 7) + QStringLiteral("/bluetooth/hci0");
    const QString described[] = {
        QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n\n").arg(hub.mid(4))
            + QStringLiteral("P: %1:1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n")
                  .arg((hub + u'/' + hub.section(u'/', -1)).mid(4))
            + describedEventDevice(hub + u'/' + hub.section(u'/', -1) + QStringLiteral(":1.0/0003:046D:C31C.0F01"),
                                   QStringLiteral("0003:0000046D:0000C31C"), 201),
        QStringLiteral("P: %1\nE: SUBSYSTEM=bluetooth\nE: DEVTYPE=host\n\n").arg(adapter.mid(4))
            + QStringLiteral("P: %1/hci0:256\nE: SUBSYSTEM=bluetooth\nE: DEVTYPE=link\n\n").arg(adapter.mid(4))
            + describedEventDevice(adapter + QStringLiteral("/hci0:256/0005:16C0:05E1.0F02"),
                                   QStringLiteral("0005:000016C0:000005E1"), 202),
    };
    for (const QString& d : described)
        ASSERT_NO_THROW(testbed().addDescribed(d));

    for (EmulatedDevice* key : {&first, &second}) {
        const auto found = inputNodesBeside(*m_udev, key->syspath());
        ASSERT_TRUE(found);
        std::vector<QString> nodes;
        for (const InputNode& n : *found) {
            nodes.push_back(n.devnode);
            EXPECT_NE(n.deviceNumber, 0u) << n.devnode.toStdString();
        }
        EXPECT_EQ(asSet(nodes), asSet(key->inputDevnodes()));
    }
    for (const QString& path : {hub, adapter})
        testbed().removeDescribed(path);
    const auto nowhere = inputNodesBeside(*m_udev, QStringLiteral("/sys/devices/virtual/misc/nothing"));
    ASSERT_TRUE(nowhere);
    EXPECT_TRUE(nowhere->empty());
}

TEST_F(PlatformInput, PressesOfEveryKindOfRecordArriveAsTheyWereSent)
{
    EmulatedDevice& key = addDevice();
    ASSERT_NO_FATAL_FAILURE(watch(key));
    ASSERT_TRUE(waitFor([&] { return key.inputOpens() == 2; }));
    SentInput mouseRight;
    mouseRight.buttons = 0x02;
    SentInput ctrlShiftB;
    ctrlShiftB.modifiers = 0x03;
    ctrlShiftB.keys = {0x05};
    SentInput twoKeys;
    twoKeys.modifiers = 0x40;
    twoKeys.keys = {0x3A, 0x28};
    const auto press = [](const SentInput& in, int n) { return InputChange{InputChange::Kind::Press, in, n}; };
    const auto release = [](const SentInput& in, int n) { return InputChange{InputChange::Kind::Release, in, n}; };
    const struct {
        const char* name;
        std::array<quint8, 5> record;
        int holdMs;
        std::vector<InputChange> expected;
    } cases[] = {
        {"a single combination", {0x03, 0x05, 0x00, 0x00, 0x00}, 300, {press(ctrlShiftB, 1), release(ctrlShiftB, 1)}},
        {"a repeating mouse button, held for three periods",
         {0x02, 0, 0, 0, 0x03},
         3 * emu::RepeatPeriodMs - 10,
         {press(mouseRight, 1), release(mouseRight, 1), press(mouseRight, 2), release(mouseRight, 2),
          press(mouseRight, 3), release(mouseRight, 3)}},
        {"two keys and a right-hand modifier",
         {0x40, 0x3A, 0x28, 0x00, 0x00},
         50,
         {press(twoKeys, 1), release(twoKeys, 1)}},
        {"an empty key sends nothing", {0, 0, 0, 0, 0x00}, 50, {}},
        {"a mode no key sends", {0x01, 0x04, 0, 0, 0x04}, 50, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_changes.clear();
        key.setRecord(0, c.record);
        // Far apart, so that no press counts as a repeat of the case before: the events are
        // stamped as if the gap had passed.
        const qint64 lastBefore = m_eventTimesMs.empty() ? 0 : m_eventTimesMs.back();
        key.advanceClock(RepeatGapMs + 1);
        const std::size_t readBefore = m_eventTimesMs.size();
        const int sent = key.pressKey(0, c.holdMs);
        EXPECT_EQ(sent > 0, !c.expected.empty());
        // Every event sent has been read and decoded before the changes are compared.
        ASSERT_TRUE(waitFor([&] { return m_eventTimesMs.size() == readBefore + std::size_t(sent); }));
        EXPECT_EQ(m_changes, c.expected);
        if (sent > 0 && lastBefore > 0) {
            EXPECT_GT(m_eventTimesMs[readBefore] - lastBefore, RepeatGapMs);
        }
    }
}

TEST_F(PlatformInput, EveryReaderOfANodeGetsEachEvent)
{
    EmulatedDevice& key = addDevice();
    key.setRecord(2, {0x00, 0x04, 0, 0, 0x00});
    const QString keyboard = key.inputDevnodes().front();
    InputEventReader first(keyboard, PollMs), second(keyboard, PollMs);
    ASSERT_TRUE(first.isOpen() && second.isOpen());
    int downs[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        QObject::connect(i == 0 ? &first : &second, &InputEventReader::received, &first,
                         [&downs, i](const InputEvent& e, qint64) { downs[i] += e.type == EventKey && e.value == 1; });
    }
    ASSERT_TRUE(waitFor([&] { return key.inputOpens() == 2; }));
    ASSERT_GT(key.pressKey(2), 0);
    EXPECT_TRUE(waitFor([&] { return downs[0] == 1 && downs[1] == 1; }, 3000));
}

TEST_F(PlatformInput, AReaderOfAnUnpluggedKeyFailsAndItsNodesAreGone)
{
    EmulatedDevice& key = addDevice();
    HotplugMonitor monitor(m_udev, nullptr, "input");
    ASSERT_TRUE(monitor.isActive());
    int removals = 0;
    QObject::connect(&monitor, &HotplugMonitor::deviceRemoved, &monitor, [&removals] { ++removals; });
    const std::vector<QString> nodes = key.inputDevnodes();
    InputEventReader reader(nodes.front(), PollMs);
    ASSERT_TRUE(reader.isOpen()) << reader.error().toStdString();
    bool failed = false;
    QObject::connect(&reader, &InputEventReader::failed, &reader, [&failed] { failed = true; });

    testbed().unplug(key);
    EXPECT_TRUE(waitFor([&] { return failed; }, 3000));
    EXPECT_FALSE(reader.isOpen());
    // The input and event devices of both interfaces said they were removed.
    EXPECT_TRUE(waitFor([&] { return removals >= 4; }, 3000)) << removals;
    const auto found = inputNodesBeside(*m_udev, key.syspath());
    EXPECT_TRUE(!found || found->empty());
    InputEventReader late(nodes.back(), PollMs);
    EXPECT_FALSE(late.isOpen());
    EXPECT_NE(late.errorCode(), 0);

    testbed().plug(key);
    EXPECT_EQ(key.inputDevnodes().size(), 2u);
    EXPECT_NE(key.inputDevnodes().front(), nodes.front());
}

TEST_F(PlatformInput, AReaderLetsGoOfANodeThatIsNotTheDeviceUdevListed)
{
    EmulatedDevice& key = addDevice();
    const auto found = inputNodesBeside(*m_udev, key.syspath());
    ASSERT_TRUE(found && !found->empty());
    const InputNode node = found->front();
    const struct {
        const char* name;
        quint64 deviceNumber;
        quint16 bus, vendor, product;
        const char* says;  // empty: the node is the device
    } cases[] = {
        {"the device udev listed", node.deviceNumber, 0x03, 0x16C0, 0x05E1, ""},
        {"another bus", node.deviceNumber, 0x05, 0x16C0, 0x05E1, "bus, vendor and product 0003:16c0:05e1, not 0005"},
        {"another vendor", node.deviceNumber, 0x03, 0x046D, 0x05E1, "not 0003:046d:05e1"},
        {"another product", node.deviceNumber, 0x03, 0x16C0, 0x05E2, "not 0003:16c0:05e2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InputEventReader reader(node.devnode, PollMs);
        ASSERT_TRUE(reader.isOpen()) << reader.error().toStdString();
        const bool expected = *c.says == '\0';
        EXPECT_EQ(reader.isDevice(c.deviceNumber, c.bus, c.vendor, c.product), expected);
        EXPECT_EQ(reader.isOpen(), expected);
        EXPECT_TRUE(reader.error().contains(QLatin1String(c.says))) << reader.error().toStdString();
    }
}
