// The udev side of the platform layer against an umockdev testbed: enumeration, identity,
// strings and descriptor from sysfs, and the hotplug monitor.

// Before any Qt header: glib uses "signals" as a name.
#include <umockdev.h>

#include "common/qtwait.h"
#include "fakehid.h"
#include "platform/hidenumerator.h"
#include "platform/hidudevinfo.h"
#include "platform/hotplugmonitor.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <QStringList>

using namespace tavrel::platform;
using tavrel::test::FakeHid;

namespace {

class PlatformUdev : public testing::Test {
protected:
    static void SetUpTestSuite() { s_testbed = umockdev_testbed_new(); }
    static void TearDownTestSuite() { g_clear_object(&s_testbed); }
    void TearDown() override { umockdev_testbed_clear(s_testbed); }

    static void add(const FakeHid& hid)
    {
        GError* error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(s_testbed, hid.describe().toUtf8().constData(), &error);
        ASSERT_TRUE(ok) << (error ? error->message : "");
    }

    std::shared_ptr<UdevContext> m_udev = UdevContext::create();
    static UMockdevTestbed* s_testbed;
};

UMockdevTestbed* PlatformUdev::s_testbed = nullptr;

}  // namespace

TEST_F(PlatformUdev, EnumerationListsTheInterfacesOfOneKindOfUsbDeviceUnderStableIds)
{
    FakeHid device = FakeHid::fresh();
    FakeHid second = FakeHid::fresh();
    // Not listed: other ids; no node, or a node udev names that is not there; HID devices not
    // right on a USB interface, or on another bus, whatever their ids.
    FakeHid foreign = FakeHid::fresh();
    foreign.usbProduct = QStringLiteral("05e2");
    foreign.hidId = QStringLiteral("0003:000016C0:000005E2");
    FakeHid noNode = FakeHid::fresh();
    noNode.withNode = false;
    FakeHid missingNode = FakeHid::fresh();
    missingNode.withNode = false;
    missingNode.devname = true;
    FakeHid uhid = FakeHid::fresh();
    uhid.withUsbParent = false;
    uhid.hidId = QStringLiteral("0003:000016C0:000005E1");
    FakeHid belowAdapter = FakeHid::fresh();
    belowAdapter.belowAdapter = true;
    belowAdapter.hidId = QStringLiteral("0005:000016C0:000005E1");
    FakeHid otherBus = FakeHid::fresh();
    otherBus.hidId = QStringLiteral("0005:000016C0:000005E1");
    for (const FakeHid* hid : {&device, &foreign, &noNode, &missingNode, &uhid, &belowAdapter, &otherBus, &second})
        add(*hid);

    const auto first = enumerateHidInterfaces(*m_udev, 0x16C0, 0x05E1);
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2u);
    QStringList nodes;
    for (const HidInterface& found : *first) {
        nodes << found.devnode;
        EXPECT_EQ(found.instanceId, instanceIdFor(found.syspath));
        EXPECT_EQ(found.usbInterface, found.syspath.section(u'/', 5, 5));
        EXPECT_EQ(found.identity, (HidIdentity{0x16C0, 0x05E1, 0x0102}));
    }
    nodes.sort();
    QStringList expected{QStringLiteral("/dev/hidraw%1").arg(device.minor),
                         QStringLiteral("/dev/hidraw%1").arg(second.minor)};
    expected.sort();
    EXPECT_EQ(nodes, expected);
    EXPECT_NE((*first)[0].instanceId, (*first)[1].instanceId);

    // One interface as an event names it: the same record; another device's has its own ids.
    const auto at = hidInterfaceAt(*m_udev, device.syspath());
    ASSERT_TRUE(at.has_value());
    EXPECT_EQ(at->devnode, QStringLiteral("/dev/hidraw%1").arg(device.minor));
    EXPECT_EQ(at->instanceId, instanceIdFor(device.syspath()));
    EXPECT_EQ(hidInterfaceAt(*m_udev, foreign.syspath())->identity.productId, 0x05E2);
    for (const FakeHid* hid : {&noNode, &missingNode, &uhid, &belowAdapter, &otherBus})
        EXPECT_FALSE(hidInterfaceAt(*m_udev, hid->syspath()).has_value()) << hid->syspath().toStdString();
    for (const FakeHid* hid : {&uhid, &belowAdapter, &otherBus})
        EXPECT_FALSE(udevIdentity(*m_udev, hid->syspath()).has_value()) << hid->syspath().toStdString();

    const auto again = enumerateHidInterfaces(*m_udev, 0x16C0, 0x05E1);
    ASSERT_TRUE(again.has_value());
    ASSERT_EQ(again->size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ((*again)[i].syspath, (*first)[i].syspath);
        EXPECT_EQ((*again)[i].instanceId, (*first)[i].instanceId);
    }
}

TEST_F(PlatformUdev, IdentityStringsAndDescriptorComeFromUdev)
{
    FakeHid device = FakeHid::fresh();  // HID_ID, USB strings beside a different HID_NAME, a device number
    device.major = 243;
    FakeHid usbIdsOnly = FakeHid::fresh();
    usbIdsOnly.hidId.clear();
    usbIdsOnly.usbVendor = QStringLiteral("1234");
    usbIdsOnly.usbProduct = QStringLiteral("abcd");
    usbIdsOnly.serial.clear();  // a USB device without a serial has none, whatever HID_UNIQ says
    usbIdsOnly.hidUniq = QStringLiteral("uniq");
    FakeHid bluetooth = FakeHid::fresh();
    bluetooth.withUsbParent = false;
    bluetooth.hidId = QStringLiteral("0005:0000046D:0000B012");
    bluetooth.hidName = QStringLiteral("BT Mouse");
    bluetooth.hidUniq = QStringLiteral("aa:bb:cc");
    bluetooth.descriptorHex.clear();
    FakeHid anonymous = FakeHid::fresh();
    anonymous.withUsbParent = false;
    anonymous.hidId.clear();
    anonymous.hidName.clear();
    for (const FakeHid* hid : {&device, &usbIdsOnly, &bluetooth, &anonymous})
        add(*hid);

    EXPECT_EQ(udevIdentity(*m_udev, device.syspath()), (HidIdentity{0x16C0, 0x05E1, 0x0102}));
    EXPECT_EQ(udevIdentity(*m_udev, usbIdsOnly.syspath()), (HidIdentity{0x1234, 0xABCD, 0x0102}));
    EXPECT_FALSE(udevIdentity(*m_udev, bluetooth.syspath()).has_value());
    EXPECT_FALSE(udevIdentity(*m_udev, anonymous.syspath()).has_value());

    EXPECT_EQ(udevProductString(*m_udev, device.syspath()), QStringLiteral("Programmable Key"));
    EXPECT_EQ(udevSerialString(*m_udev, device.syspath()), QStringLiteral("301234567890"));
    EXPECT_FALSE(udevSerialString(*m_udev, usbIdsOnly.syspath()).has_value());
    EXPECT_EQ(udevProductString(*m_udev, bluetooth.syspath()), QStringLiteral("BT Mouse"));
    EXPECT_EQ(udevSerialString(*m_udev, bluetooth.syspath()), QStringLiteral("aa:bb:cc"));
    EXPECT_FALSE(udevProductString(*m_udev, anonymous.syspath()).has_value());

    EXPECT_EQ(sysfsReportDescriptor(*m_udev, device.syspath()),
              QByteArray::fromHex("0600FF0901A10185010902750895078102C0"));
    EXPECT_FALSE(sysfsReportDescriptor(*m_udev, bluetooth.syspath()).has_value());
    EXPECT_FALSE(udevIdentity(*m_udev, QStringLiteral("/sys/devices/nothing/hidraw/hidraw9")).has_value());

    EXPECT_EQ(udevDeviceNumber(*m_udev, device.syspath()), quint64(makedev(243, device.minor)));
    EXPECT_FALSE(udevDeviceNumber(*m_udev, usbIdsOnly.syspath()).has_value());
}

TEST_F(PlatformUdev, MonitorSaysWhatHappenedToWhichInterface)
{
    HotplugMonitor monitor(m_udev);
    ASSERT_TRUE(monitor.isActive());
    QStringList events;
    QObject::connect(&monitor, &HotplugMonitor::deviceAdded, [&events](const QString& p) { events << "add " + p; });
    QObject::connect(&monitor, &HotplugMonitor::deviceRemoved,
                     [&events](const QString& p) { events << "remove " + p; });
    QObject::connect(&monitor, &HotplugMonitor::deviceChanged,
                     [&events](const QString& p) { events << "change " + p; });

    FakeHid device = FakeHid::fresh();
    add(device);  // the testbed sends "add" for the new hidraw device
    const QByteArray syspath = device.syspath().toUtf8();
    umockdev_testbed_uevent(s_testbed, syspath.constData(), "change");
    // Events of other subsystems are not ours: the next one heard is the removal.
    umockdev_testbed_uevent(s_testbed, "/sys/devices/usb1/1-1", "change");
    umockdev_testbed_uevent(s_testbed, syspath.constData(), "remove");
    ASSERT_TRUE(tavrel::test::waitFor([&] { return events.size() >= 3; }));
    EXPECT_EQ(events,
              (QStringList{"add " + device.syspath(), "change " + device.syspath(), "remove " + device.syspath()}));
}
