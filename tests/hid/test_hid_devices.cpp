// The device layer against emulated devices: the watcher's listing and udev's events, each device's
// node read on the GUI thread and written in order, a node that fails and is looked at again,
// and a device that goes.

#include "common/addeddevices.h"
#include "common/qtwait.h"
#include "config/reports.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicewatcher.h"
#include "hid/hidnodeio.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace tavrel;
using tavrel::emu::EmulatedDevice;
using tavrel::emu::KeyModel;
using tavrel::test::testbed;
using tavrel::test::waitFor;

namespace {

const QByteArray noIdDescriptor = QByteArray::fromHex("0600FF0901A101"
                                                      "0901150026FF00750895088102"
                                                      "090195089102C0");

struct Report {
    bool onGuiThread = false;
    quint8 id = 0;
    QByteArray data;
};

// Results of asynchronous writes, in the order they arrived.
struct Answer {
    int tag;
    IoResult result;
    bool onGuiThread;
};

QByteArray bytesOf(const OutputReport& report)
{
    return QByteArray(reinterpret_cast<const char*>(report.data()), int(report.size()));
}

int openDescriptors()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

class HidDevices : public tavrel::test::AddedDevicesTest {
protected:
    // A started watcher of the family's ids; what it announces is written down in `events`.
    std::unique_ptr<HidDeviceWatcher> startWatcher()
    {
        auto watcher = std::make_unique<HidDeviceWatcher>(udev, 0x16C0, 0x05E1);
        QObject::connect(watcher.get(), &HidDeviceWatcher::deviceAdded, [this](const platform::HidInterface& info) {
            added.push_back(info);
            events << QStringLiteral("added ") + info.syspath;
        });
        QObject::connect(watcher.get(), &HidDeviceWatcher::deviceRemoved,
                         [this](const QString& syspath) { events << QStringLiteral("removed ") + syspath; });
        QObject::connect(watcher.get(), &HidDeviceWatcher::listed, [this] { events << QStringLiteral("listed"); });
        watcher->start();
        return watcher;
    }

    // The node of an emulated device as the device's model makes it, looking for reports every 10 ms
    // as emulated nodes need; its reports go to `reports`.
    std::unique_ptr<HidDevice> deviceOf(const EmulatedDevice& emulated, std::vector<Report>& reports,
                                        bool reading = true)
    {
        const auto info = platform::hidInterfaceAt(*udev, emulated.syspath());
        if (!info)
            return nullptr;
        auto device = std::make_unique<HidDevice>(*info, udev);
        device->setPollPeriod(10);
        QObject::connect(device.get(), &HidDevice::reportReceived, [&reports](quint8 id, const QByteArray& data) {
            reports.push_back({QThread::currentThread() == qApp->thread(), id, data});
        });
        if (reading)
            device->start();
        return device;
    }
    std::unique_ptr<HidDevice> deviceOf(const EmulatedDevice& emulated, bool reading = true)
    {
        return deviceOf(emulated, reports, reading);
    }

    std::function<void(const IoResult&)> answerTo(std::vector<Answer>& answers, int tag)
    {
        return [&answers, tag](const IoResult& r) {
            answers.push_back({tag, r, QThread::currentThread() == qApp->thread()});
        };
    }

    void TearDown() override
    {
        AddedDevicesTest::TearDown();
        // The workers of closed nodes end once their last job is done.
        ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
    }

    std::shared_ptr<platform::UdevContext> udev = platform::UdevContext::create();
    QStringList events;
    std::vector<platform::HidInterface> added;
    std::vector<Report> reports;
};

}  // namespace

TEST_F(HidDevices, TheDevicesPresentAndPluggedInAreAnnouncedOnceAndOthersNever)
{
    EmulatedDevice& emulated = addDevice();
    KeyModel stranger;
    stranger.vendorId = 0x1234;
    stranger.product = QStringLiteral("Somebody's security key");
    EmulatedDevice& other = addDevice(stranger);
    KeyModel withoutIds;
    withoutIds.reportDescriptor = noIdDescriptor;
    EmulatedDevice& plain = addDevice(withoutIds);

    auto watcher = startWatcher();
    // Plugged in after udev is listened to and before the listing: in both, announced once.
    EmulatedDevice& between = addDevice();
    ASSERT_TRUE(waitFor([&] { return events.contains(QStringLiteral("listed")); }));
    // Events are taken in order: once this one is announced, the one of `between` was taken.
    EmulatedDevice& late = addDevice();
    ASSERT_TRUE(waitFor([&] { return added.size() >= 4; }));
    QStringList expected{QStringLiteral("added ") + emulated.syspath(), QStringLiteral("added ") + plain.syspath(),
                         QStringLiteral("added ") + between.syspath(), QStringLiteral("listed"),
                         QStringLiteral("added ") + late.syspath()};
    QStringList listedPart = events.mid(0, 3);
    listedPart.sort();
    QStringList expectedListed = expected.mid(0, 3);
    expectedListed.sort();
    EXPECT_EQ(listedPart, expectedListed);
    EXPECT_EQ(events.mid(3), expected.mid(3));

    const auto infoOf = [&](const EmulatedDevice& k) {
        for (const platform::HidInterface& info : added)
            if (info.syspath == k.syspath())
                return info;
        return platform::HidInterface{};
    };
    EXPECT_EQ(infoOf(emulated).devnode, emulated.devnode());
    EXPECT_EQ(infoOf(emulated).identity.vendorId, 0x16C0);
    EXPECT_EQ(infoOf(emulated).identity.productId, 0x05E1);

    // Strings and report lengths come from udev and sysfs; the listing opened no node.
    for (const EmulatedDevice* k : {&emulated, &plain}) {
        SCOPED_TRACE(k->devnode().toStdString());
        HidDevice device(infoOf(*k), udev);
        const int length = k == &plain ? 9 : 8;
        EXPECT_EQ(device.reportCapabilities().inputReportLength, length);
        EXPECT_EQ(device.reportCapabilities().outputReportLength, length);
        EXPECT_EQ(device.productText(), k->model().product);
        EXPECT_EQ(device.serialText(), k->model().serial);
        EXPECT_TRUE(device.canReadWrite());
    }
    for (const EmulatedDevice* k : {&emulated, &other, &plain, &between, &late})
        EXPECT_EQ(k->opens(), 0);

    // Another maker's device's removal is not announced: the next one announced is the family's.
    events.clear();
    const QString syspath = emulated.syspath();
    testbed().unplug(other);
    testbed().unplug(emulated);
    ASSERT_TRUE(waitFor([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events, QStringList{QStringLiteral("removed ") + syspath});
}

TEST_F(HidDevices, WithoutUdevTheWatcherFindsNothing)
{
    HidDeviceWatcher watcher(nullptr, 0x16C0, 0x05E1);
    EXPECT_TRUE(watcher.isInert());
    bool listed = false;
    QObject::connect(&watcher, &HidDeviceWatcher::listed, [&listed] { listed = true; });
    watcher.start();
    QCoreApplication::processEvents();
    EXPECT_FALSE(listed);
}

TEST_F(HidDevices, ReportsReachTheirOwnDeviceInOrderOnTheGuiThread)
{
    EmulatedDevice& emulated = addDevice();
    KeyModel withoutIds;
    withoutIds.reportDescriptor = noIdDescriptor;
    EmulatedDevice& plain = addDevice(withoutIds);
    std::vector<Report> plainReports;
    auto device = deviceOf(emulated);
    auto plainDevice = deviceOf(plain, plainReports);
    ASSERT_TRUE(device && plainDevice);
    ASSERT_TRUE(waitFor([&] { return device->isReading() && plainDevice->isReading(); }));

    constexpr int Count = 40;
    for (int i = 0; i < Count; ++i)
        emulated.pushInput(QByteArray::fromHex("01") + QByteArray(1, char(i)) + QByteArray::fromHex("101112131415"));
    // A device without report IDs: ID 0 and all eight bytes.
    plain.pushInput(QByteArray::fromHex("a1a2a3a4a5a6a7a8"));
    ASSERT_TRUE(waitFor([&] { return reports.size() == std::size_t(Count) && plainReports.size() == 1; }));
    for (int i = 0; i < Count; ++i) {
        const Report& r = reports[std::size_t(i)];
        EXPECT_TRUE(r.onGuiThread);
        EXPECT_EQ(r.id, 1);
        EXPECT_EQ(r.data.toHex(' '), (QByteArray(1, char(i)) + QByteArray::fromHex("101112131415")).toHex(' '));
    }
    EXPECT_EQ(plainReports[0].id, 0);
    EXPECT_EQ(plainReports[0].data.toHex(' '), QByteArray("a1 a2 a3 a4 a5 a6 a7 a8"));
}

TEST_F(HidDevices, WritesReachTheFirmwareAndAFailedNodeIsLookedAtAgain)
{
    EmulatedDevice& emulated = addDevice();
    auto device = deviceOf(emulated);
    ASSERT_NE(device, nullptr);
    std::vector<Answer> answers;
    device->write(bytesOf(readKeyReport(0)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    ASSERT_TRUE(answers[0].result.ok()) << answers[0].result.message.toStdString();
    EXPECT_EQ(answers[0].result.written, 8);
    ASSERT_EQ(emulated.received().size(), 1u);
    EXPECT_EQ(emulated.received()[0].toHex(' '), bytesOf(readKeyReport(0)).toHex(' '));
    ASSERT_TRUE(waitFor([&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].id, 1);
    EXPECT_EQ(classifyInput(std::span(reinterpret_cast<const quint8*>(reports[0].data.constData()),
                                      std::size_t(reports[0].data.size()))),
              InputKind::KeyRecord);

    // EIO from the driver: the node is shut until its interface is found still there, and then
    // opens again, however often it failed before.
    for (int failure = 1; failure <= 3; ++failure) {
        SCOPED_TRACE(failure);
        answers.clear();
        const int opens = emulated.opens();
        emulated.setFailWrites(true);
        device->write(bytesOf(readKeyReport(0)), answerTo(answers, 0));
        ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
        EXPECT_EQ(answers[0].result.status, IoResult::Status::Gone);
        EXPECT_EQ(answers[0].result.error, EIO);
        EXPECT_FALSE(device->lastError().isEmpty());
        emulated.setFailWrites(false);
        ASSERT_TRUE(waitFor([&] { return emulated.opens() > opens && device->isReading(); }));
    }
    EXPECT_TRUE(device->isPresent());
    answers.clear();
    device->write(bytesOf(readKeyReport(1)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0].result.ok());
}

TEST_F(HidDevices, WritesAnswerOnTheGuiThreadInTheirOrderAndAShortOneFails)
{
    EmulatedDevice& emulated = addDevice();
    auto device = deviceOf(emulated, false);
    ASSERT_NE(device, nullptr);
    std::vector<Answer> answers;
    constexpr int Count = 24;
    for (int i = 0; i < Count; ++i)
        device->write(QByteArray::fromHex("0202") + char(i % 8) + char(i) + QByteArray(4, '\0'), answerTo(answers, i));
    EXPECT_TRUE(answers.empty());  // never from inside the call
    ASSERT_TRUE(waitFor([&] { return answers.size() == std::size_t(Count); }));
    for (int i = 0; i < Count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(answers[std::size_t(i)].tag, i);
        EXPECT_TRUE(answers[std::size_t(i)].result.ok());
        EXPECT_EQ(answers[std::size_t(i)].result.written, 8);
        EXPECT_TRUE(answers[std::size_t(i)].onGuiThread);
    }
    const auto received = emulated.received();
    ASSERT_EQ(received.size(), std::size_t(Count));
    for (int i = 0; i < Count; ++i)
        EXPECT_EQ(quint8(received[std::size_t(i)][3]), quint8(i)) << "report " << i << " went out of order";

    // Part of a report is no report: a failure that says how much the driver took, and the node
    // stays open.
    answers.clear();
    emulated.setWriteLimit(3);
    device->write(bytesOf(readKeyReport(0)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    EXPECT_FALSE(answers[0].result.ok());
    EXPECT_EQ(answers[0].result.status, IoResult::Status::Failed);
    EXPECT_EQ(answers[0].result.written, 3);
    emulated.setWriteLimit(0);
    const int opens = emulated.opens();
    device->write(bytesOf(readKeyReport(1)), answerTo(answers, 1));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 2; }));
    EXPECT_TRUE(answers[1].result.ok());
    EXPECT_EQ(emulated.opens(), opens);
}

TEST_F(HidDevices, AnUnpluggedDeviceEndsItsWritesGoneAndSaysSoOnce)
{
    // Told by udev through the watcher, or found by its own node failing.
    for (const bool toldByUdev : {true, false}) {
        SCOPED_TRACE(toldByUdev ? "told by udev" : "found by its node");
        EmulatedDevice& emulated = addDevice();
        auto watcher = startWatcher();
        ASSERT_TRUE(waitFor([&] { return events.contains(QStringLiteral("listed")); }));
        auto device = deviceOf(emulated);
        ASSERT_NE(device, nullptr);
        int unplugs = 0;
        QObject::connect(device.get(), &HidDevice::unplugged, [&unplugs] { ++unplugs; });
        if (toldByUdev) {
            QObject::connect(watcher.get(), &HidDeviceWatcher::deviceRemoved, device.get(), &HidDevice::markUnplugged);
        }
        std::vector<Answer> answers;
        device->write(bytesOf(readKeyReport(0)), answerTo(answers, 0));
        ASSERT_TRUE(waitFor([&] { return answers.size() == 1 && device->isReading(); }));
        ASSERT_TRUE(answers[0].result.ok());
        const QString product = device->productText();
        const QString serial = device->serialText();
        const int inputLength = device->reportCapabilities().inputReportLength;

        // One write before anyone noticed, the others after.
        testbed().unplug(emulated);
        device->write(bytesOf(readKeyReport(1)), answerTo(answers, 1));
        ASSERT_TRUE(waitFor([&] { return unplugs > 0; }));
        EXPECT_FALSE(device->isPresent());
        EXPECT_FALSE(device->isReading());
        for (int tag = 2; tag < 5; ++tag)
            device->write(bytesOf(readKeyReport(tag)), answerTo(answers, tag));
        ASSERT_TRUE(waitFor([&] { return answers.size() == 5; }));
        for (std::size_t i = 1; i < answers.size(); ++i) {
            EXPECT_EQ(answers[i].tag, int(i));
            EXPECT_EQ(answers[i].result.status, IoResult::Status::Gone) << answers[i].result.message.toStdString();
        }
        // What it knew stays; it is not opened again.
        EXPECT_EQ(device->productText(), product);
        EXPECT_EQ(device->serialText(), serial);
        EXPECT_EQ(device->reportCapabilities().inputReportLength, inputLength);
        device->markUnplugged();
        EXPECT_EQ(unplugs, 1);
        events.clear();
    }
}

TEST_F(HidDevices, DestroyingADeviceWithQueuedWritesNeitherWaitsForThemNorAnswers)
{
    EmulatedDevice& emulated = addDevice();
    int answers = 0;
    for (const int queued : {1, 200}) {
        SCOPED_TRACE(queued);
        auto device = deviceOf(emulated, false);
        ASSERT_NE(device, nullptr);
        for (int i = 0; i < queued; ++i)
            device->write(bytesOf(readKeyReport(i % 8)), [&answers](const IoResult&) { ++answers; });
        // The first result is posted, or on its way, when the device goes.
        ASSERT_TRUE(waitFor([&] { return !emulated.received().empty(); }));
        device.reset();
        // The node's worker goes on with what was queued, closes the node and ends; nobody hears.
        ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(answers, 0);
        EXPECT_LE(emulated.received().size(), std::size_t(queued));
        emulated.clearReceived();
    }
}

TEST_F(HidDevices, QuickUnplugAndPlugCyclesLeaveNoDescriptorBehind)
{
    EmulatedDevice& emulated = addDevice();
    // Warm up once, so that lazily made resources of Qt and udev are counted in the start.
    for (int round = 0; round < 2; ++round) {
        const int before = openDescriptors();
        const int cycles = round == 0 ? 1 : 30;
        for (int i = 0; i < cycles; ++i) {
            SCOPED_TRACE(i);
            const int opens = emulated.opens();
            auto device = deviceOf(emulated);
            ASSERT_NE(device, nullptr);
            bool written = false;
            device->write(bytesOf(readKeyReport(0)), [&written](const IoResult& r) { written = r.ok(); });
            // Reads and writes share one opening of the node.
            ASSERT_TRUE(waitFor([&] { return written && device->isReading(); }));
            EXPECT_EQ(emulated.opens(), opens + 1);
            testbed().unplug(emulated);
            ASSERT_TRUE(waitFor([&] { return !device->isPresent(); }));
            device.reset();
            testbed().plug(emulated);
        }
        if (round == 1) {
            ASSERT_TRUE(waitFor([] { return HidNodeIo::runningWorkers() == 0; }));
            // The testbed keeps one descriptor of every node it has made: the device's hidraw node
            // and those of its keyboard and mouse.
            const int nodesPerPlug = 1 + int(emulated.inputDevnodes().size());
            EXPECT_LE(openDescriptors(), before + cycles * nodesPerPlug);
        }
    }
}

TEST_F(HidDevices, AnUnpluggedReaderNeverReadsAReusedDescriptor)
{
    EmulatedDevice& emulated = addDevice();
    auto device = deviceOf(emulated);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(waitFor([&] { return device->isReading(); }));

    testbed().unplug(emulated);
    ASSERT_TRUE(waitFor([&] { return !device->isPresent(); }));
    EXPECT_FALSE(device->isReading());
    // Descriptor numbers freed by the unplug go to these pipes at once; a reader still using an
    // old number would take their bytes.
    for (int round = 0; round < 5; ++round) {
        std::vector<std::array<int, 2>> pipes(16);
        for (auto& p : pipes) {
            ASSERT_EQ(::pipe2(p.data(), O_NONBLOCK | O_CLOEXEC), 0);
            ASSERT_EQ(::write(p[1], "01234567", 8), 8);
        }
        // A timer of the reader's period started now has ticked twice only once every timer of
        // that period started before it has ticked since the pipes were filled.
        QTimer tick;
        int ticks = 0;
        QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
        tick.start(device->pollPeriod());
        ASSERT_TRUE(waitFor([&] { return ticks >= 2; }));
        for (auto& p : pipes) {
            char buffer[16];
            EXPECT_EQ(::read(p[0], buffer, sizeof buffer), 8);
            ::close(p[0]);
            ::close(p[1]);
        }
    }
    EXPECT_TRUE(reports.empty());
}
