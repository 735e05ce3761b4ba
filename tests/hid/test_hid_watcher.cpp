// The watcher over interfaces the emulator does not make: udev's events about interfaces without
// a node, not on USB, of other ids or without any, beside a device of the family.

// Before any Qt header: glib uses "signals" as a name.
#include <umockdev.h>

#include "common/qtwait.h"
#include "fakehid.h"
#include "hid/hiddevicewatcher.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

using namespace tavrel;
using tavrel::test::FakeHid;
using tavrel::test::waitFor;

namespace {

class HidWatcher : public testing::Test {
protected:
    static void SetUpTestSuite() { s_testbed = umockdev_testbed_new(); }
    static void TearDownTestSuite() { g_clear_object(&s_testbed); }
    // Clearing the testbed would also drop the node emulation of later devices: remove the
    // interfaces one by one instead.
    void TearDown() override
    {
        for (const QString& syspath : std::exchange(s_added, {}))
            umockdev_testbed_remove_device(s_testbed, syspath.toUtf8().constData());
    }

    static void add(const FakeHid& hid)
    {
        GError* error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(s_testbed, hid.describe().toUtf8().constData(), &error);
        ASSERT_TRUE(ok) << (error ? error->message : "");
        s_added << hid.syspath();
    }

    static void uevent(const FakeHid& hid, const char* action)
    {
        umockdev_testbed_uevent(s_testbed, hid.syspath().toUtf8().constData(), action);
    }

    static UMockdevTestbed* s_testbed;
    static QStringList s_added;
};

UMockdevTestbed* HidWatcher::s_testbed = nullptr;
QStringList HidWatcher::s_added;

}  // namespace

TEST_F(HidWatcher, OnlyTheFamilysDevicesOnUsbAreAnnouncedAsTheyComeAndGo)
{
    const FakeHid listed = FakeHid::fresh();
    add(listed);
    HidDeviceWatcher watcher(platform::UdevContext::create(), 0x16C0, 0x05E1);
    QStringList events;
    QObject::connect(&watcher, &HidDeviceWatcher::deviceAdded,
                     [&events](const platform::HidInterface& info) { events << "added " + info.syspath; });
    QObject::connect(&watcher, &HidDeviceWatcher::deviceRemoved,
                     [&events](const QString& syspath) { events << "removed " + syspath; });
    QObject::connect(&watcher, &HidDeviceWatcher::listed, [&events] { events << "listed"; });
    watcher.start();
    ASSERT_TRUE(waitFor([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (QStringList{"added " + listed.syspath(), "listed"}));

    FakeHid noNode = FakeHid::fresh();
    noNode.withNode = false;
    // A node udev names that is gone by the time the event is taken: unplugged meanwhile.
    FakeHid missingNode = FakeHid::fresh();
    missingNode.withNode = false;
    missingNode.devname = true;
    // Whatever ids a HID device on Bluetooth or uhid gives, it is not one of the family.
    FakeHid bluetooth = FakeHid::fresh();
    bluetooth.withUsbParent = false;
    bluetooth.hidId = QStringLiteral("0003:000016C0:000005E1");
    FakeHid otherIds = FakeHid::fresh();
    otherIds.usbVendor = QStringLiteral("046d");
    otherIds.usbProduct = QStringLiteral("b012");
    otherIds.hidId = QStringLiteral("0003:0000046D:0000B012");
    // Another maker's interface with a broken udev record.
    FakeHid noIds = FakeHid::fresh();
    noIds.usbVendor.clear();
    noIds.hidId.clear();
    const FakeHid device = FakeHid::fresh();
    const std::vector<const FakeHid*> odd{&noNode, &missingNode, &bluetooth, &otherIds, &noIds};
    events.clear();
    for (const FakeHid* hid : odd)
        add(*hid);
    add(device);
    // Events are taken in order: the family's device is the first announced.
    ASSERT_TRUE(waitFor([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events, QStringList{"added " + device.syspath()});

    // A change or a second "add" of a known interface announces nothing; a removal of one never
    // announced neither.
    events.clear();
    uevent(device, "change");
    uevent(device, "add");
    for (const FakeHid* hid : odd)
        uevent(*hid, "remove");
    uevent(device, "remove");
    uevent(listed, "remove");
    ASSERT_TRUE(waitFor([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, (QStringList{"removed " + device.syspath(), "removed " + listed.syspath()}));
}
