// The device layer on nodes that behave like real hidraw nodes rather than emulated ones: the
// testbed's node is a FIFO, which signals data to poll() and whose write() blocks while it is
// full, as a write does while the USB driver has not taken the report. Also a node name that
// belongs to another device.

// Before any Qt header: glib uses "signals" as a name.
#include <umockdev.h>

#include "common/qtwait.h"
#include "fakehid.h"
#include "hid/hiddevice.h"
#include "hid/hidnodeio.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavrel;
using tavrel::test::FakeHid;
using tavrel::test::runPostedEvents;
using tavrel::test::waitFor;

namespace {

int openDescriptors()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

// The device layer's own threads: its nodes' workers, named so.
int ioThreads()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    int n = 0;
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        n += comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "tavrel-hid-io";
    }
    return n;
}

class HidNodes : public testing::Test {
protected:
    static void SetUpTestSuite() { s_testbed = umockdev_testbed_new(); }
    static void TearDownTestSuite() { g_clear_object(&s_testbed); }

    void TearDown() override
    {
        m_device.reset();
        if (m_deviceSide >= 0)
            ::close(m_deviceSide);
        for (const QString& syspath : std::exchange(m_added, {}))
            umockdev_testbed_remove_device(s_testbed, syspath.toUtf8().constData());
    }

    // A key whose node is a FIFO; the test holds the FIFO's other end in m_deviceSide. With
    // `major`, udev gives the node that device number.
    void addKeyOnFifo(int major = 0)
    {
        static int next = 100;
        m_hid.minor = next++;
        m_hid.major = major;
        m_hid.port = QStringLiteral("1-%1").arg(m_hid.minor);
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(s_testbed, m_hid.describe().toUtf8().constData(), &error))
            << (error ? error->message : "");
        m_added << m_hid.syspath();
        gchar* root = umockdev_testbed_get_root_dir(s_testbed);
        m_backing = QByteArray(root) + "/dev/hidraw" + QByteArray::number(m_hid.minor);
        g_free(root);
        ASSERT_EQ(::unlink(m_backing.constData()), 0);
        ASSERT_EQ(::mkfifo(m_backing.constData(), 0600), 0);
        openDeviceSide();
    }

    void openDeviceSide()
    {
        m_deviceSide = ::open(m_backing.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_deviceSide, 0);
    }

    void closeDeviceSide() { ::close(std::exchange(m_deviceSide, -1)); }

    void send(const QByteArray& report)
    {
        ASSERT_EQ(::write(m_deviceSide, report.constData(), std::size_t(report.size())), report.size());
    }

    // The node of the device as its model makes it, with the product's poll default: reports are read
    // when the node says they have come.
    HidDevice* openDevice(bool withReader)
    {
        const auto udev = platform::UdevContext::create();
        const auto info = platform::hidInterfaceAt(*udev, m_hid.syspath());
        if (!info)
            return nullptr;
        m_device = std::make_unique<HidDevice>(*info, udev);
        m_device->setPollPeriod(0);
        QObject::connect(m_device.get(), &HidDevice::reportReceived, [this](quint8 id, const QByteArray& data) {
            reports.push_back(QByteArray(1, char(id)) + data);
        });
        if (withReader)
            m_device->start();
        return m_device.get();
    }

    std::unique_ptr<HidDevice> m_device;
    std::vector<QByteArray> reports;
    QByteArray m_backing;
    int m_deviceSide = -1;

private:
    FakeHid m_hid;
    QStringList m_added;
    static UMockdevTestbed* s_testbed;
};

UMockdevTestbed* HidNodes::s_testbed = nullptr;

const QByteArray report1 = QByteArray::fromHex("0181160004000000");
const QByteArray report2 = QByteArray::fromHex("0182260005000000");

}  // namespace

TEST_F(HidNodes, ReportsAreReadWhenTheNodeSaysTheyCameWithoutAThreadOfTheirOwn)
{
    addKeyOnFifo();
    HidDevice* device = openDevice(true);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(waitFor([&] { return device->isReading(); }));
    // The node's worker opened it and ended: an idle device costs no thread.
    ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
    EXPECT_TRUE(waitFor([] { return ioThreads() == 0; })) << ioThreads() << " workers left";

    send(report1);
    ASSERT_TRUE(waitFor([&] { return reports.size() == 1; }));
    EXPECT_EQ(reports[0].toHex(' '), report1.toHex(' '));
    send(report2);
    send(report1);
    ASSERT_TRUE(waitFor([&] { return reports.size() == 3; }));
    EXPECT_EQ(reports[1].toHex(' '), report2.toHex(' '));
    EXPECT_EQ(reports[2].toHex(' '), report1.toHex(' '));
    EXPECT_TRUE(device->isPresent());
}

// Between the listing and the first opening the name can pass to another device: the first opening
// must find the device udev numbered the node. Here udev gives the key the number 1:minor, that of
// a memory device, so that /dev/zero (1:5) under the name is a device of the same kind but not
// the one; the testbed's FIFO is no device and stands in for the node.
TEST_F(HidNodes, TheFirstOpeningFindsTheDeviceUdevNumbered)
{
    const struct {
        const char* name;
        const char* replacement;  // nullptr: the node stays
    } cases[] = {
        {"the node udev numbered", nullptr},
        {"another device under the name", "/dev/zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        addKeyOnFifo(1);
        if (c.replacement) {
            ASSERT_EQ(::unlink(m_backing.constData()), 0);
            ASSERT_EQ(::symlink(c.replacement, m_backing.constData()), 0);
        }
        HidDevice* device = openDevice(true);
        ASSERT_NE(device, nullptr);
        if (!c.replacement) {
            send(report1);
            ASSERT_TRUE(waitFor([&] { return reports.size() == 1; }));
            EXPECT_TRUE(device->isReading());
        } else {
            // /dev/zero always has data: a reader that opened it would deliver reports of zeros.
            // The write is answered after the opening, and a reader's first look for reports is
            // posted before that answer is handled.
            std::optional<IoResult> written;
            device->write(report1, [&written](const IoResult& r) { written = r; });
            ASSERT_TRUE(waitFor([&] { return written.has_value(); }));
            ASSERT_TRUE(runPostedEvents());
            EXPECT_TRUE(reports.empty());
            EXPECT_EQ(written->status, IoResult::Status::Gone);
            EXPECT_FALSE(device->isReading());
        }
        m_device.reset();
        if (m_deviceSide >= 0)
            closeDeviceSide();
    }
}

TEST_F(HidNodes, AWriteStuckInTheDriverBlocksNeitherTheGuiThreadNorTheRelease)
{
    addKeyOnFifo();
    const int descriptorsBefore = openDescriptors();
    // Fill the FIFO: the next write blocks in the kernel until the test reads.
    const QByteArray chunk(4096, 'x');
    while (::write(m_deviceSide, chunk.constData(), std::size_t(chunk.size())) > 0) {}
    ASSERT_EQ(errno, EAGAIN);

    HidDevice* device = openDevice(false);
    ASSERT_NE(device, nullptr);
    ASSERT_FALSE(device->isReading());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    int answers = 0;
    device->write(report1.left(8), [&answers](const IoResult&) { ++answers; });
    device->write(report2.left(8), [&answers](const IoResult&) { ++answers; });
    ASSERT_TRUE(waitFor([&] { return ticks >= 20; }));
    EXPECT_EQ(answers, 0);

    QElapsedTimer release;
    release.start();
    m_device.reset();
    EXPECT_LT(release.elapsed(), 100);
    const int ticksAfterRelease = ticks;
    ASSERT_TRUE(waitFor([&] { return ticks >= ticksAfterRelease + 5; }));
    EXPECT_EQ(answers, 0);

    // Once the write goes through, the writer left behind closes its node and ends.
    char drain[4096];
    while (::read(m_deviceSide, drain, sizeof drain) > 0) {}
    ASSERT_TRUE(waitFor([&] { return openDescriptors() <= descriptorsBefore; }));
    ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, 0);
}
