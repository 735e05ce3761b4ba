// Emulated keys inside this process, reached the way Tavrel reaches a real key: libudev for
// finding it, and open(), ioctl(), write(), read() and poll() on its hidraw node.
// Runs under umockdev-wrapper.

#include "keyemu/testbed.h"

#include <gtest/gtest.h>

#include <libudev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#ifndef HIDIOCGRAWUNIQ
#define HIDIOCGRAWUNIQ(len) _IOC(_IOC_READ, 'H', 0x08, len)
#endif

using namespace tavrel::emu;

namespace {

Testbed* testbed = nullptr;

// One testbed for the whole process, as umockdev keeps one UMOCKDEV_DIR per process.
class TestbedEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        m_testbed = std::make_unique<Testbed>();
        testbed = m_testbed.get();
    }
    void TearDown() override
    {
        testbed = nullptr;
        m_testbed.reset();
    }

private:
    std::unique_ptr<Testbed> m_testbed;
};

[[maybe_unused]] testing::Environment* const environment = testing::AddGlobalTestEnvironment(new TestbedEnvironment);

std::string hex(const unsigned char* data, ssize_t size)
{
    return size < 0 ? "error " + std::string(std::strerror(errno))
                    : QByteArray(reinterpret_cast<const char*>(data), int(size)).toHex(' ').toUpper().toStdString();
}

QByteArray bytes(const char* hexText)
{
    return QByteArray::fromHex(hexText);
}

class Node {
public:
    explicit Node(const QString& devnode) : m_fd(::open(devnode.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK)) {}
    ~Node()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    int fd() const { return m_fd; }
    ssize_t write(const QByteArray& report) const
    {
        return ::write(m_fd, report.constData(), std::size_t(report.size()));
    }
    // One read(), as the program's reader does after its poll() times out.
    std::string read(std::size_t size = 64) const
    {
        unsigned char buffer[64];
        return hex(buffer, ::read(m_fd, buffer, std::min(size, sizeof buffer)));
    }

private:
    int m_fd;
};

KeyModel model(const char* name, bool wireless = false)
{
    KeyModel m;
    m.name = QString::fromLatin1(name);
    m.wireless = wireless;
    return m;
}

struct UdevDeviceDeleter {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceDeleter>;

std::string sysattr(udev_device* d, const char* name)
{
    const char* value = d ? udev_device_get_sysattr_value(d, name) : nullptr;
    return value ? value : "(none)";
}

std::string property(udev_device* d, const char* name)
{
    const char* value = d ? udev_device_get_property_value(d, name) : nullptr;
    return value ? value : "(none)";
}

TEST(EmulatedDevice, AnswersTheHidrawQueries)
{
    KeyModel m = model("queries");
    m.serial = QStringLiteral("310000000042");
    m.product = QStringLiteral("Test Key");
    EmulatedDevice& key = testbed->add(m);
    Node node(key.devnode());
    ASSERT_GE(node.fd(), 0) << std::strerror(errno);

    hidraw_devinfo info{};
    ASSERT_EQ(::ioctl(node.fd(), HIDIOCGRAWINFO, &info), 0) << std::strerror(errno);
    EXPECT_EQ(info.bustype, 3u);
    EXPECT_EQ(quint16(info.vendor), 0x16C0);
    EXPECT_EQ(quint16(info.product), 0x05E1);

    int size = 0;
    ASSERT_EQ(::ioctl(node.fd(), HIDIOCGRDESCSIZE, &size), 0);
    EXPECT_EQ(size, defaultReportDescriptor().size());
    hidraw_report_descriptor descriptor{};
    descriptor.size = std::uint32_t(size);
    ASSERT_EQ(::ioctl(node.fd(), HIDIOCGRDESC, &descriptor), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(descriptor.value), size), defaultReportDescriptor());

    // String requests copy the terminating zero and are cut to the caller's buffer.
    struct StringCase {
        unsigned long request;
        int expectedResult;
        std::string expected;
    };
    const StringCase strings[] = {
        {HIDIOCGRAWNAME(64), 9, "Test Key"},
        {HIDIOCGRAWNAME(4), 4, "Test"},
        {HIDIOCGRAWUNIQ(64), 13, "310000000042"},
        {HIDIOCGRAWPHYS(64), -2, "usb-"},  // checked by its beginning
    };
    for (const StringCase& c : strings) {
        char text[65] = {};
        const int result = ::ioctl(node.fd(), c.request, text);
        if (c.expectedResult == -2) {
            EXPECT_EQ(std::string(text).rfind(c.expected, 0), 0u) << text;
            continue;
        }
        EXPECT_EQ(result, c.expectedResult) << c.expected;
        EXPECT_EQ(std::string(text, ::strnlen(text, 64)), c.expected);
    }

    // The key has no feature reports, and a hidraw node is no terminal.
    unsigned char feature[8] = {2};
    EXPECT_EQ(::ioctl(node.fd(), HIDIOCGFEATURE(8), feature), -1);
    EXPECT_EQ(errno, EPIPE);
    termios tio{};
    EXPECT_EQ(::ioctl(node.fd(), TCGETS, &tio), -1);
    EXPECT_EQ(errno, ENOTTY);
}

TEST(EmulatedDevice, FirmwareAnswersThroughTheNode)
{
    EmulatedDevice& key = testbed->add(model("exchange"));
    key.setRecord(3, {0x01, 0x04, 0x00, 0x00, 0x02});
    Node node(key.devnode());
    ASSERT_GE(node.fd(), 0);

    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN)));
    EXPECT_EQ(node.write(bytes("0201030000000000")), 8);
    EXPECT_EQ(node.read(), "01 81 63 01 04 00 00 02");
    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN)));

    EXPECT_EQ(node.write(bytes("0202010205000001")), 8);
    EXPECT_EQ(key.record(1), (std::array<quint8, 5>{0x02, 0x05, 0x00, 0x00, 0x01}));
    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN))) << "writes are not answered";

    // A buffer shorter than the report gets the report's beginning; the rest is lost.
    EXPECT_EQ(node.write(bytes("0201010000000000")), 8);
    EXPECT_EQ(node.read(4), "01 81 61 02");
    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN)));

    key.pushInput(bytes("01500A1A2B3C4D5E"));
    EXPECT_EQ(node.read(), "01 50 0A 1A 2B 3C 4D 5E");

    EXPECT_EQ(node.write(bytes("02")), -1);
    EXPECT_EQ(errno, EINVAL);

    ASSERT_TRUE(key.waitForReceived(3, 1000));
    const auto received = key.received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0], bytes("0201030000000000"));
    EXPECT_EQ(received[1], bytes("0202010205000001"));
}

TEST(EmulatedDevice, FailedWritesAndDroppedAnswers)
{
    EmulatedDevice& key = testbed->add(model("switches"));
    Node node(key.devnode());
    ASSERT_GE(node.fd(), 0);

    key.setFailWrites(true);
    EXPECT_EQ(node.write(bytes("0201000000000000")), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(key.received().empty());

    key.setFailWrites(false);
    key.setDropAnswers(true);
    EXPECT_EQ(node.write(bytes("0201000000000000")), 8);
    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN)));
    EXPECT_EQ(key.received().size(), 1u);

    key.setDropAnswers(false);
    EXPECT_EQ(node.write(bytes("0201000000000000")), 8);
    EXPECT_EQ(node.read(), "01 81 60 00 00 00 00 00");
}

TEST(EmulatedDevice, ReceiverBindsThroughTheNode)
{
    EmulatedDevice& receiver = testbed->add(model("binder", true));
    receiver.setPairDelayMs(0);
    Node node(receiver.devnode());
    ASSERT_GE(node.fd(), 0);

    EXPECT_EQ(node.write(bytes("0205010000000000")), 8);
    EXPECT_EQ(node.read(), "01 50 00 5A 00 00 01 A5");

    receiver.setPairDelayMs(-1);
    EXPECT_EQ(node.write(bytes("0205010000000000")), 8);
    EXPECT_EQ(node.read(), "error " + std::string(std::strerror(EAGAIN)));
    EXPECT_TRUE(receiver.pressTransmitter({0x5A, 0x00, 0x00, 0x01, 0xA5}));
    EXPECT_EQ(node.read(), "01 50 10 5A 00 00 01 A5");

    EXPECT_EQ(node.write(bytes("0205030000000000")), 8);
    EXPECT_TRUE(receiver.bindings().empty());
}

TEST(EmulatedDevice, UdevFindsTheKeyAndItsParents)
{
    KeyModel m = model("udev", true);
    m.serial = QStringLiteral("311400000077");
    m.product = QStringLiteral("Receiver");
    EmulatedDevice& key = testbed->add(m);

    udev* u = udev_new();
    ASSERT_NE(u, nullptr);
    udev_enumerate* e = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(e, "hidraw");
    udev_enumerate_scan_devices(e);
    UdevDevice found;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        UdevDevice d(udev_device_new_from_syspath(u, udev_list_entry_get_name(entry)));
        const char* node = d ? udev_device_get_devnode(d.get()) : nullptr;
        if (node && key.devnode() == QLatin1String(node))
            found = std::move(d);
    }
    ASSERT_TRUE(found) << "no hidraw device with node " << key.devnode().toStdString();
    EXPECT_EQ(key.syspath(), QLatin1String(udev_device_get_syspath(found.get())));

    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(found.get(), "usb", "usb_device");
    EXPECT_EQ(sysattr(usb, "idVendor"), "16c0");
    EXPECT_EQ(sysattr(usb, "idProduct"), "05e1");
    EXPECT_EQ(sysattr(usb, "bcdDevice"), "0100");
    EXPECT_EQ(sysattr(usb, "serial"), "311400000077");
    EXPECT_EQ(sysattr(usb, "product"), "Receiver");

    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(found.get(), "hid", nullptr);
    EXPECT_EQ(property(hid, "HID_ID"), "0003:000016C0:000005E1");
    EXPECT_EQ(property(hid, "HID_NAME"), "Receiver");
    EXPECT_EQ(property(hid, "HID_UNIQ"), "311400000077");

    // The descriptor holds zero bytes, so it is read as a file, as a descriptor parser would.
    ASSERT_NE(hid, nullptr);
    const std::string path = std::string(udev_device_get_syspath(hid)) + "/report_descriptor";
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0) << path;
    char descriptor[256];
    const ssize_t n = ::read(fd, descriptor, sizeof descriptor);
    ::close(fd);
    EXPECT_EQ(QByteArray(descriptor, int(n)), defaultReportDescriptor());

    udev_enumerate_unref(e);
    found.reset();
    udev_unref(u);
}

// The next event of a monitor, or an empty action after the time-out.
std::pair<std::string, std::string> nextEvent(udev_monitor* monitor, int timeoutMs)
{
    pollfd p{udev_monitor_get_fd(monitor), POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return {};
    UdevDevice d(udev_monitor_receive_device(monitor));
    if (!d)
        return {};
    return {udev_device_get_action(d.get()), udev_device_get_syspath(d.get())};
}

TEST(EmulatedDevice, UnplugAndPlugAsARealKey)
{
    udev* u = udev_new();
    udev_monitor* monitor = udev_monitor_new_from_netlink(u, "udev");
    udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
    ASSERT_EQ(udev_monitor_enable_receiving(monitor), 0);

    EmulatedDevice& key = testbed->add(model("plugger"));
    const QString firstNode = key.devnode();
    EXPECT_EQ(nextEvent(monitor, 5000), std::make_pair(std::string("add"), key.syspath().toStdString()));
    key.setRecord(0, {0x01, 0x04, 0x00, 0x00, 0x00});

    Node stale(firstNode);
    ASSERT_GE(stale.fd(), 0);
    const std::string gonePath = key.syspath().toStdString();

    testbed->unplug(key);
    EXPECT_FALSE(key.plugged());
    EXPECT_TRUE(key.devnode().isEmpty());
    EXPECT_EQ(nextEvent(monitor, 5000), std::make_pair(std::string("remove"), gonePath));

    // A descriptor still open on the node of a gone key fails as on a real hidraw node.
    pollfd p{stale.fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    EXPECT_EQ(stale.write(bytes("0201000000000000")), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(stale.read(), "error " + std::string(std::strerror(EIO)));
    hidraw_devinfo info{};
    EXPECT_EQ(::ioctl(stale.fd(), HIDIOCGRAWINFO, &info), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(::open(firstNode.toLocal8Bit().constData(), O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);

    testbed->plug(key);
    ASSERT_TRUE(key.plugged());
    EXPECT_NE(key.devnode(), firstNode);
    EXPECT_EQ(nextEvent(monitor, 5000), std::make_pair(std::string("add"), key.syspath().toStdString()));

    Node fresh(key.devnode());
    ASSERT_GE(fresh.fd(), 0);
    EXPECT_EQ(fresh.write(bytes("0201000000000000")), 8);
    EXPECT_EQ(fresh.read(), "01 81 60 01 04 00 00 00") << "the store survives the unplug";

    udev_monitor_unref(monitor);
    udev_unref(u);
}

TEST(EmulatedDevice, KeysAreSeparateDevices)
{
    KeyModel foreign = model("foreign");
    foreign.vendorId = 0x1234;
    foreign.keys = 4;
    EmulatedDevice& a = testbed->add(model("left"));
    EmulatedDevice& b = testbed->add(foreign);
    ASSERT_NE(a.devnode(), b.devnode());
    EXPECT_NE(a.model().serial, b.model().serial) << "default serials differ";

    Node nodeA(a.devnode());
    Node nodeB(b.devnode());
    hidraw_devinfo info{};
    ASSERT_EQ(::ioctl(nodeB.fd(), HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ(quint16(info.vendor), 0x1234);

    EXPECT_EQ(nodeB.write(bytes("0201020000000000")), 8);
    EXPECT_EQ(nodeA.read(), "error " + std::string(std::strerror(EAGAIN)));
    EXPECT_EQ(nodeB.read(), "01 81 42 00 00 00 00 00");
    EXPECT_TRUE(a.received().empty());

    EXPECT_THROW(testbed->add(model("left")), std::invalid_argument);
    EXPECT_THROW(Testbed(), std::runtime_error) << "one testbed per process";
}

}  // namespace
