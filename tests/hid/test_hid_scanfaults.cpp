// Scans over interfaces the emulator does not make: one without a device node, one whose node
// is missing, one that cannot be identified, and one without a USB parent.

// Before any Qt header: glib uses "signals" as a name.
#include <umockdev.h>

#include "common/qtwait.h"
#include "fakehid.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicecontroller.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

using namespace tavrel;
using tavrel::test::FakeHid;

namespace {

class HidScanFaults : public testing::Test {
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

    // umockdev keeps a node's name taken for the whole run, so every device gets new ones.
    static FakeHid fresh()
    {
        static int next = 0;
        FakeHid hid;
        hid.minor = next++;
        hid.port = QStringLiteral("1-%1").arg(hid.minor + 1);
        return hid;
    }

    static void add(const FakeHid& hid, QString description = {})
    {
        if (description.isEmpty())
            description = hid.describe();
        GError* error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(s_testbed, description.toUtf8().constData(), &error);
        ASSERT_TRUE(ok) << (error ? error->message : "");
        s_added << hid.syspath();
    }

    // A controller that scans when told to; setting changeHandler scans once.
    std::unique_ptr<HidDeviceController> makeController()
    {
        auto controller = std::make_unique<HidDeviceController>(nullptr, platform::UdevContext::create());
        controller->setChangeHandler([this](QObject*) { ++changes; });
        controller->setOfferHandler([](HidDevice*, int) { return true; });
        return controller;
    }

    int changes = 0;
    static UMockdevTestbed* s_testbed;
    static QStringList s_added;
};

UMockdevTestbed* HidScanFaults::s_testbed = nullptr;
QStringList HidScanFaults::s_added;

}  // namespace

TEST_F(HidScanFaults, AnInterfaceWithoutANodeOrNotOnUsbIsSkipped)
{
    FakeHid noNode = fresh();
    noNode.withNode = false;
    // Whatever ids a HID device on Bluetooth gives, it is not one of the keys.
    FakeHid bluetooth = fresh();
    bluetooth.withUsbParent = false;
    bluetooth.hidId = QStringLiteral("0005:000016C0:000005E1");
    FakeHid other = fresh();
    other.usbVendor = QStringLiteral("046d");
    other.usbProduct = QStringLiteral("b012");
    other.hidId = QStringLiteral("0003:0000046D:0000B012");
    other.product = QStringLiteral("USB Keyboard");
    other.serial = QStringLiteral("aa:bb:cc:dd:ee:ff");
    add(noNode);
    add(bluetooth);
    add(other);

    auto controller = makeController();
    controller->rescan();
    ASSERT_EQ(controller->devices().size(), 1u);
    HidDevice* device = controller->devices()[0];
    EXPECT_EQ(device->interfaceInfo().sysPath, other.syspath());
    EXPECT_EQ(device->vendorId(), 0x046D);
    EXPECT_EQ(device->productId(), 0xB012);

    // Strings and report lengths come from udev and sysfs while the device is usable.
    HidDevice* claimed = nullptr;
    ASSERT_TRUE(controller->claimByIndex(claimed, 0));
    EXPECT_EQ(claimed->productText(), QStringLiteral("USB Keyboard"));
    EXPECT_EQ(claimed->serialText(), QStringLiteral("aa:bb:cc:dd:ee:ff"));
    EXPECT_EQ(claimed->reportCapabilities().inputReportLength, 8);
    EXPECT_EQ(claimed->reportCapabilities().usagePage, 0xFF00);
    delete claimed;
}

// An interface that cannot be identified (another maker's, with a broken udev record) is passed
// over; every other interface, a key plugged in with it included, is still seen.
TEST_F(HidScanFaults, AnInterfaceThatCannotBeIdentifiedIsPassedOverAndTheScanGoesOn)
{
    FakeHid good = fresh();
    add(good);
    auto controller = makeController();
    controller->notifyChange(-1);
    ASSERT_EQ(controller->devices().size(), 1u);
    HidDevice* before = controller->devices()[0];

    FakeHid bad = fresh();
    bad.usbVendor.clear();
    bad.hidId.clear();
    add(bad, bad.describe());
    FakeHid late = fresh();
    add(late);
    controller->notifyChange(0);
    EXPECT_FALSE(controller->isScanning());
    ASSERT_EQ(controller->devices().size(), 2u);
    EXPECT_EQ(controller->devices()[0], before);
    EXPECT_EQ(controller->devices()[1]->interfaceInfo().sysPath, late.syspath());

    // A node that udev names but that is gone by the time it is looked at was unplugged during
    // the scan: it is skipped too.
    FakeHid gone = fresh();
    gone.withNode = false;
    QString description = gone.describe();
    description.replace(QStringLiteral("E: SUBSYSTEM=hidraw"),
                        QStringLiteral("E: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw%1").arg(gone.minor));
    add(gone, description);
    controller->notifyChange(0);
    EXPECT_EQ(controller->devices().size(), 2u);
}
