// An open hidraw node against emulated devices: ioctls, writes into the firmware, reads with a
// time-out and a wake-up, devices without report IDs, and a node that has gone.

#include "common/addeddevices.h"
#include "platform/hidrawdevice.h"
#include "platform/reportdescriptor.h"

#include <gtest/gtest.h>

#include <array>

using namespace tavrel::platform;
using tavrel::emu::EmulatedDevice;
using tavrel::emu::KeyModel;
using tavrel::test::testbed;

namespace {

class PlatformHidraw : public tavrel::test::AddedDevicesTest {};

QByteArray bytesOf(std::span<const quint8> data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), int(data.size()));
}

const QByteArray noIdDescriptor = QByteArray::fromHex("0600FF0901A101"
                                                      "0901150026FF00750895088102"
                                                      "090195089102C0");

}  // namespace

TEST_F(PlatformHidraw, IdentityAndDescriptorFromTheNode)
{
    EmulatedDevice& device = addDevice();
    HidrawDevice node = HidrawDevice::open(device.devnode(), HidrawDevice::Mode::ReadWrite);
    ASSERT_TRUE(node.isOpen()) << node.lastError().toStdString();

    const auto info = node.rawInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->vendorId, 0x16C0);
    EXPECT_EQ(info->productId, 0x05E1);

    const auto descriptor = node.reportDescriptor();
    ASSERT_TRUE(descriptor.has_value());
    EXPECT_EQ(*descriptor, tavrel::emu::defaultReportDescriptor());
    const auto lengths = parseReportDescriptor(
        std::span(reinterpret_cast<const quint8*>(descriptor->constData()), std::size_t(descriptor->size())));
    ASSERT_TRUE(lengths.has_value());
    EXPECT_EQ(lengths->inputLength, 8);
    EXPECT_EQ(lengths->outputLength, 8);
    EXPECT_TRUE(lengths->usesReportIds);
}

TEST_F(PlatformHidraw, WritesReachTheFirmware)
{
    EmulatedDevice& device = addDevice();
    HidrawDevice node = HidrawDevice::open(device.devnode(), HidrawDevice::Mode::ReadWrite);
    ASSERT_TRUE(node.isOpen());

    const std::array<quint8, 8> report{0x02, 0x01, 0x03, 0, 0, 0, 0, 0};
    const tavrel::IoResult written = node.write(report);
    EXPECT_TRUE(written.ok());
    EXPECT_EQ(written.written, 8);
    ASSERT_EQ(device.received().size(), 1u);
    EXPECT_EQ(device.received()[0].toHex(' '), bytesOf(report).toHex(' '));

    device.setFailWrites(true);
    const tavrel::IoResult failed = node.write(report);
    EXPECT_EQ(failed.status, tavrel::IoResult::Status::Gone);
    EXPECT_EQ(failed.error, EIO);
    EXPECT_EQ(failed.written, 0);
    EXPECT_EQ(node.lastErrno(), EIO);
    EXPECT_FALSE(node.lastError().isEmpty());
    EXPECT_EQ(device.received().size(), 1u);
}

// A node that takes part of a report: the device got no whole request, which is a failure that
// says how much was taken, and no sign that the node went.
TEST_F(PlatformHidraw, AShortWriteIsAFailureWithTheBytesTaken)
{
    EmulatedDevice& device = addDevice();
    HidrawDevice node = HidrawDevice::open(device.devnode(), HidrawDevice::Mode::ReadWrite);
    ASSERT_TRUE(node.isOpen());
    const std::array<quint8, 8> report{0x02, 0x02, 0x01, 0x01, 0x04, 0, 0, 0x00};
    for (const int taken : {1, 3, 7}) {
        SCOPED_TRACE(taken);
        device.setWriteLimit(taken);
        const tavrel::IoResult result = node.write(report);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.status, tavrel::IoResult::Status::Failed);
        EXPECT_EQ(result.written, taken);
        EXPECT_TRUE(node.lastError().contains(QStringLiteral("%1 of 8 bytes").arg(taken)))
            << node.lastError().toStdString();
    }
    EXPECT_TRUE(device.received().empty());
    device.setWriteLimit(0);
    EXPECT_TRUE(node.write(report).ok());
}

TEST_F(PlatformHidraw, ReadsAReportThatIsThereAndOtherwiseNothingWithoutWaiting)
{
    EmulatedDevice& device = addDevice();
    HidrawDevice node = HidrawDevice::open(device.devnode(), HidrawDevice::Mode::Read);
    ASSERT_TRUE(node.isOpen());
    std::array<quint8, 8> buffer{};

    EXPECT_EQ(HidrawDevice::readAvailable(node.descriptor(), buffer, false).kind, HidrawDevice::ReadResult::Nothing);

    const QByteArray input = QByteArray::fromHex("01 81 16 00 04 00 00 00");
    device.pushInput(input);
    const auto got = HidrawDevice::readAvailable(node.descriptor(), buffer, false);
    ASSERT_EQ(got.kind, HidrawDevice::ReadResult::Report);
    EXPECT_EQ(bytesOf(std::span(buffer).first(std::size_t(got.size))).toHex(' '), input.toHex(' '));
    EXPECT_EQ(HidrawDevice::readAvailable(node.descriptor(), buffer, false).kind, HidrawDevice::ReadResult::Nothing);
    EXPECT_EQ(HidrawDevice::readAvailable(-1, buffer, false).kind, HidrawDevice::ReadResult::Failed);
}

TEST_F(PlatformHidraw, ReportsOfADeviceWithoutIdsGetIdZeroInFront)
{
    KeyModel model;
    model.reportDescriptor = noIdDescriptor;
    EmulatedDevice& device = addDevice(model);
    HidrawDevice node = HidrawDevice::open(device.devnode(), HidrawDevice::Mode::Read);
    ASSERT_TRUE(node.isOpen());

    const QByteArray input = QByteArray::fromHex("11 22 33 44 55 66 77 88");
    device.pushInput(input);
    std::array<quint8, 9> buffer{};
    const auto got = HidrawDevice::readAvailable(node.descriptor(), buffer, true);
    ASSERT_EQ(got.kind, HidrawDevice::ReadResult::Report);
    EXPECT_EQ(bytesOf(std::span(buffer).first(std::size_t(got.size))).toHex(' '),
              (QByteArray(1, '\0') + input).toHex(' '));
}

TEST_F(PlatformHidraw, AGoneNodeFailsReadsAndWrites)
{
    EmulatedDevice& device = addDevice();
    const QString devnode = device.devnode();
    HidrawDevice node = HidrawDevice::open(devnode, HidrawDevice::Mode::ReadWrite);
    ASSERT_TRUE(node.isOpen());
    testbed().unplug(device);

    std::array<quint8, 8> buffer{};
    EXPECT_EQ(HidrawDevice::readAvailable(node.descriptor(), buffer, false).kind, HidrawDevice::ReadResult::Failed);
    EXPECT_EQ(node.write(buffer).status, tavrel::IoResult::Status::Gone);
    EXPECT_NE(node.lastErrno(), 0);
    EXPECT_FALSE(HidrawDevice::open(devnode, HidrawDevice::Mode::ReadWrite).isOpen());
}
