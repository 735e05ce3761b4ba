// The device layer against emulated keys: scans, offers and claims, release, plug and unplug,
// reports read on the GUI thread, writes into the firmware, and the faults of a gone device.

#include "common/addedkeys.h"
#include "common/qtwait.h"
#include "config/reports.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicecontroller.h"
#include "platform/hotplugmonitor.h"
#include "platform/udevcontext.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace tavrel;
using tavrel::emu::EmulatedDevice;
using tavrel::emu::KeyModel;
using tavrel::test::runEventsFor;
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

// Stands in for the window: its handlers are bound methods, as the window's are, and it
// writes down what happens.
class Window {
public:
    QStringList events;
    std::vector<Report> reports;
    std::vector<quint32> errors;
    int changes = 0;
    std::function<void(HidDevice*)> onData;  // extra work inside the data handler
    std::function<void()> onChange;

    static QString name(HidDevice* device) { return device->interfaceInfo().interfacePath; }

    void arrived(HidDevice* d) { events << QStringLiteral("arrival ") + name(d); }
    void removed(HidDevice* d) { events << QStringLiteral("removal ") + name(d); }
    void unplugged(HidDevice* d) { events << QStringLiteral("unplug ") + name(d); }
    void changed(QObject*)
    {
        events << QStringLiteral("change");
        ++changes;
        // A copy: the work may clear onChange while it runs.
        if (const auto work = onChange)
            work();
    }
    void reportReceived(HidDevice* d, quint8 reportId, const quint8* data, quint16 size)
    {
        reports.push_back({QThread::currentThread() == qApp->thread(), reportId,
                           QByteArray(reinterpret_cast<const char*>(data), size)});
        if (const auto work = onData)
            work(d);
    }
    void readFailed(HidDevice*, quint32 error)
    {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        errors.push_back(error);
    }
    bool offer(HidDevice* d, int idx)
    {
        const HidReportCapabilities caps = d->reportCapabilities();
        offered << QStringLiteral("%1 %2 in %3 out %4 %5 %6")
                       .arg(name(d))
                       .arg(idx)
                       .arg(caps.inputReportLength)
                       .arg(caps.outputReportLength)
                       .arg(d->productText(), d->serialText());
        // The window's list filter.
        if (d->vendorId() == 0x16C0 && d->productId() == 0x05E1 && caps.outputReportLength == 8) {
            HidDevice* claimed = nullptr;
            if (controller->claimByIndex(claimed, idx))
                listed.push_back(claimed);
        }
        return true;
    }

    HidDeviceController* controller = nullptr;
    QStringList offered;
    std::vector<HidDevice*> listed;
};

class HidDevices : public tavrel::test::AddedKeysTest {
protected:
    // A controller with the window's handlers, set with scans deferred as the session does.
    std::unique_ptr<HidDeviceController> makeController(bool withData = true)
    {
        auto controller = std::make_unique<HidDeviceController>(nullptr);
        controller->setScanDeferred(true);
        // Emulated nodes never signal data: devices look for reports after every such period.
        controller->setPollPeriod(10);
        controller->setArrivalHandler(HidPlugHandler(&window, &Window::arrived));
        controller->setRemovalHandler(HidPlugHandler(&window, &Window::removed));
        controller->setUnplugHandler(HidPlugHandler(&window, &Window::unplugged));
        controller->setOfferHandler(HidOfferHandler(&window, &Window::offer));
        controller->setChangeHandler(HidChangeHandler(&window, &Window::changed));
        if (withData)
            controller->setReportHandler(HidReportHandler(&window, &Window::reportReceived));
        controller->setScanDeferred(false);
        window.controller = controller.get();
        return controller;
    }

    // Waits for the next changeHandler.
    bool nextChange()
    {
        const int seen = window.changes;
        return waitFor([&] { return window.changes > seen; });
    }

    HidDevice* deviceOf(HidDeviceController& controller, const EmulatedDevice& key)
    {
        for (HidDevice* d : controller.devices()) {
            if (d->isPresent() && d->interfaceInfo().interfacePath == key.devnode())
                return d;
        }
        return nullptr;
    }

    // Results of asynchronous writes, in the order they arrived.
    struct Answer {
        int tag;
        IoResult result;
        bool onGuiThread;
    };
    std::function<void(const IoResult&)> answerTo(std::vector<Answer>& answers, int tag)
    {
        return [&answers, tag](const IoResult& r) {
            answers.push_back({tag, r, QThread::currentThread() == qApp->thread()});
        };
    }

    HidDevice* claim(HidDeviceController& controller, const EmulatedDevice& key)
    {
        const auto& devices = controller.devices();
        for (int i = 0; i < int(devices.size()); ++i) {
            HidDevice* d = devices[std::size_t(i)];
            if (d->isPresent() && d->interfaceInfo().interfacePath == key.devnode()) {
                HidDevice* claimed = nullptr;
                return controller.claimByIndex(claimed, i) ? claimed : nullptr;
            }
        }
        return nullptr;
    }

    void TearDown() override
    {
        AddedKeysTest::TearDown();
        // Lets the remove events go by before the next test's controller listens.
        runEventsFor(20);
    }

    Window window;
};

}  // namespace

TEST_F(HidDevices, AScanOffersThePresentDevicesWithTheirReportLengths)
{
    EmulatedDevice& key = addKey();
    KeyModel withoutIds;
    withoutIds.reportDescriptor = noIdDescriptor;
    EmulatedDevice& plain = addKey(withoutIds);
    KeyModel stranger;
    stranger.vendorId = 0x1234;
    EmulatedDevice& other = addKey(stranger);

    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    ASSERT_EQ(controller->devices().size(), 3u);

    EXPECT_EQ(controller->offerDevices(), 3);
    ASSERT_EQ(window.offered.size(), 3);
    const auto offerOf = [&](const EmulatedDevice& k) {
        for (const QString& line : window.offered) {
            if (line.startsWith(k.devnode() + u' '))
                return line.section(u' ', 2);
        }
        return QString();
    };
    EXPECT_EQ(offerOf(key), QStringLiteral("in 8 out 8 %1 %2").arg(key.model().product, key.model().serial));
    EXPECT_EQ(offerOf(plain), QStringLiteral("in 9 out 9 %1 %2").arg(plain.model().product, plain.model().serial));
    EXPECT_TRUE(offerOf(other).startsWith(QStringLiteral("in 8 out 8 ")));
    // Only the key passes the list filter: the second has 9-byte reports, the third another vendor.
    ASSERT_EQ(window.listed.size(), 1u);
    EXPECT_EQ(window.listed[0]->interfaceInfo().interfacePath, key.devnode());
    EXPECT_TRUE(window.listed[0]->isClaimed());
    for (HidDevice* d : controller->devices())
        EXPECT_FALSE(d->isOffered());

    // A gone device stays in the list while claimed but is not offered.
    HidDevice* listed = window.listed[0];
    window.offered.clear();
    window.listed.clear();
    testbed().unplug(key);
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(controller->devices().size(), 3u);
    EXPECT_EQ(controller->offerDevices(), 2);
    EXPECT_EQ(window.offered.size(), 2);
    EXPECT_TRUE(offerOf(key).isEmpty());

    // Without an offerHandler handler the offer stops after the first present device.
    controller->setOfferHandler({});
    EXPECT_EQ(controller->offerDevices(), 1);

    delete listed;
    EXPECT_EQ(controller->devices().size(), 2u);
}

TEST_F(HidDevices, ReleaseLeavesAFreshObjectInTheSameSlot)
{
    EmulatedDevice& first = addKey();
    addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    ASSERT_EQ(controller->devices().size(), 2u);

    HidDevice* device = reinterpret_cast<HidDevice*>(1);
    EXPECT_FALSE(controller->claimByIndex(device, -1));
    EXPECT_EQ(device, nullptr);
    EXPECT_FALSE(controller->claimByIndex(device, 2));
    EXPECT_EQ(device, nullptr);

    const int slot =
        int(std::find(controller->devices().begin(), controller->devices().end(), deviceOf(*controller, first))
            - controller->devices().begin());
    ASSERT_TRUE(controller->claimByIndex(device, slot));
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->isClaimed());
    ASSERT_TRUE(waitFor([&] { return device->isReading(); }));
    HidDevice* again = nullptr;
    EXPECT_FALSE(controller->claimByIndex(again, slot));
    EXPECT_EQ(again, nullptr);

    device->setPollPeriod(50);
    const quint32 instance = device->interfaceInfo().instanceId;
    const HidReportHandler handler = device->reportHandler();
    delete device;

    ASSERT_EQ(controller->devices().size(), 2u);
    HidDevice* fresh = controller->devices()[std::size_t(slot)];
    EXPECT_EQ(fresh->interfaceInfo().instanceId, instance);
    EXPECT_EQ(fresh->interfaceInfo().interfacePath, first.devnode());
    EXPECT_FALSE(fresh->isClaimed());
    EXPECT_TRUE(fresh->isPresent());
    EXPECT_FALSE(fresh->isReading());
    EXPECT_EQ(fresh->pollPeriod(), 50);
    EXPECT_TRUE(fresh->reportHandler() == handler);
    EXPECT_TRUE(fresh->reportHandler() == HidReportHandler(&window, &Window::reportReceived));

    // The fallback claim takes the first unclaimed device its filter accepts.
    HidDevice* chosen = nullptr;
    EXPECT_FALSE(controller->claimFirst(chosen, [](HidDevice*) { return false; }));
    EXPECT_EQ(chosen, nullptr);
    ASSERT_TRUE(
        controller->claimFirst(chosen, [](HidDevice* d) { return d->reportCapabilities().inputReportLength == 8; }));
    EXPECT_EQ(chosen, controller->devices()[0]);
    for (HidDevice* d : controller->devices())
        EXPECT_FALSE(d->isOffered());
    delete chosen;
}

TEST_F(HidDevices, PlugAndUnplugReportInTheOrderOfTheScan)
{
    auto controller = makeController();
    // The start-up notification reports a change even with no device.
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, QStringList{QStringLiteral("change")});
    EXPECT_EQ(controller->lastChangeParam(), -1);

    // Nothing changed: no report.
    window.events.clear();
    controller->notifyChange(0);
    EXPECT_TRUE(window.events.isEmpty());

    EmulatedDevice& a = addKey();
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, (QStringList{QStringLiteral("arrival ") + a.devnode(), QStringLiteral("change")}));
    HidDevice* objectA = deviceOf(*controller, a);
    ASSERT_NE(objectA, nullptr);

    window.events.clear();
    EmulatedDevice& b = addKey();
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, (QStringList{QStringLiteral("arrival ") + b.devnode(), QStringLiteral("change")}));
    EXPECT_EQ(deviceOf(*controller, a), objectA);
    HidDevice* claimedA = claim(*controller, a);
    ASSERT_EQ(claimedA, objectA);

    window.events.clear();
    const QString nodeA = a.devnode(), nodeB = b.devnode();
    testbed().unplug(a);
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, (QStringList{QStringLiteral("unplug ") + nodeA, QStringLiteral("removal ") + nodeA,
                                          QStringLiteral("change")}));
    EXPECT_EQ(controller->devices().size(), 2u);
    EXPECT_FALSE(claimedA->isPresent());
    EXPECT_TRUE(claimedA->isClaimed());

    // The claimed, gone device counts as gone again; its unplug handler ran once only.
    window.events.clear();
    testbed().unplug(b);
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, (QStringList{QStringLiteral("unplug ") + nodeB, QStringLiteral("removal ") + nodeB,
                                          QStringLiteral("removal ") + nodeA, QStringLiteral("change")}));
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_EQ(controller->devices()[0], claimedA);

    // Plugged in again while the old object is still claimed: a second object.
    window.events.clear();
    testbed().plug(a);
    ASSERT_TRUE(nextChange());
    EXPECT_EQ(window.events, (QStringList{QStringLiteral("removal ") + nodeA, QStringLiteral("arrival ") + a.devnode(),
                                          QStringLiteral("change")}));
    ASSERT_EQ(controller->devices().size(), 2u);

    // Releasing the gone object removes its slot.
    delete claimedA;
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_EQ(controller->devices()[0]->interfaceInfo().interfacePath, a.devnode());
}

TEST_F(HidDevices, ReportsArriveInOrderOnTheGuiThread)
{
    EmulatedDevice& key = addKey();
    KeyModel withoutIds;
    withoutIds.reportDescriptor = noIdDescriptor;
    EmulatedDevice& plain = addKey(withoutIds);
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    HidDevice* plainDevice = claim(*controller, plain);
    ASSERT_TRUE(device && plainDevice);
    ASSERT_TRUE(waitFor([&] { return device->isReading() && plainDevice->isReading(); }));

    constexpr int Count = 40;
    for (int i = 0; i < Count; ++i)
        key.pushInput(QByteArray::fromHex("01") + QByteArray(1, char(i)) + QByteArray::fromHex("101112131415"));
    ASSERT_TRUE(waitFor([&] { return window.reports.size() == std::size_t(Count); }));
    for (int i = 0; i < Count; ++i) {
        const Report& r = window.reports[std::size_t(i)];
        EXPECT_TRUE(r.onGuiThread);
        EXPECT_EQ(r.id, 1);
        EXPECT_EQ(r.data.toHex(' '), (QByteArray(1, char(i)) + QByteArray::fromHex("101112131415")).toHex(' '));
    }

    // A device without report IDs: ID 0 and all eight bytes.
    window.reports.clear();
    plain.pushInput(QByteArray::fromHex("a1a2a3a4a5a6a7a8"));
    ASSERT_TRUE(waitFor([&] { return window.reports.size() == 1; }));
    EXPECT_EQ(window.reports[0].id, 0);
    EXPECT_EQ(window.reports[0].data.toHex(' '), QByteArray("a1 a2 a3 a4 a5 a6 a7 a8"));

    delete device;
    delete plainDevice;
}

QByteArray bytesOf(const OutputReport& report)
{
    return QByteArray(reinterpret_cast<const char*>(report.data()), int(report.size()));
}

int openDescriptors()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

TEST_F(HidDevices, WritesReachTheFirmwareAndItsAnswerComesBack)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->canReadWrite());
    std::vector<Answer> answers;
    device->writeReport(bytesOf(readKeyReport(0)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    ASSERT_TRUE(answers[0].result.ok()) << answers[0].result.message.toStdString();
    EXPECT_EQ(answers[0].result.written, 8);
    ASSERT_EQ(key.received().size(), 1u);
    EXPECT_EQ(key.received()[0].toHex(' '), bytesOf(readKeyReport(0)).toHex(' '));
    ASSERT_TRUE(waitFor([&] { return !window.reports.empty(); }));
    EXPECT_EQ(window.reports[0].id, 1);
    EXPECT_TRUE(window.reports[0].onGuiThread);
    EXPECT_EQ(classifyInput(std::span(reinterpret_cast<const quint8*>(window.reports[0].data.constData()),
                                      std::size_t(window.reports[0].data.size()))),
              InputKind::KeyRecord);

    // EIO from the driver: the node is shut until a scan finds the interface still there, and
    // then opens again, however often it failed before.
    for (int failure = 1; failure <= 3; ++failure) {
        SCOPED_TRACE(failure);
        answers.clear();
        const int opens = key.opens();
        key.setFailWrites(true);
        device->writeReport(bytesOf(readKeyReport(0)), answerTo(answers, 0));
        ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
        EXPECT_EQ(answers[0].result.status, IoResult::Status::Gone);
        EXPECT_EQ(answers[0].result.error, EIO);
        EXPECT_FALSE(device->lastError().isEmpty());
        key.setFailWrites(false);
        ASSERT_TRUE(waitFor([&] { return key.opens() > opens && device->isReading(); }));
    }
    answers.clear();
    device->writeReport(bytesOf(readKeyReport(1)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    EXPECT_TRUE(answers[0].result.ok());
    delete device;
}

TEST_F(HidDevices, AsynchronousWritesAnswerOnTheGuiThreadInTheirOrder)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController(false);
    ASSERT_TRUE(nextChange());
    std::vector<Answer> answers;

    // Not held: answered NoDevice, later, like every other result, and the node is left alone.
    HidDevice* unheld = deviceOf(*controller, key);
    unheld->writeReport(bytesOf(readKeyReport(0)), answerTo(answers, -1));
    EXPECT_TRUE(answers.empty());
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    EXPECT_EQ(answers[0].result.status, IoResult::Status::NoDevice);
    EXPECT_TRUE(key.received().empty());
    answers.clear();

    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    constexpr int Count = 24;
    for (int i = 0; i < Count; ++i)
        device->writeReport(QByteArray::fromHex("0202") + char(i % 8) + char(i) + QByteArray(4, '\0'),
                            answerTo(answers, i));
    EXPECT_TRUE(answers.empty());  // never from inside the call
    ASSERT_TRUE(waitFor([&] { return answers.size() == std::size_t(Count); }));
    for (int i = 0; i < Count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(answers[std::size_t(i)].tag, i);
        EXPECT_TRUE(answers[std::size_t(i)].result.ok());
        EXPECT_EQ(answers[std::size_t(i)].result.written, 8);
        EXPECT_TRUE(answers[std::size_t(i)].onGuiThread);
    }
    const auto received = key.received();
    ASSERT_EQ(received.size(), std::size_t(Count));
    for (int i = 0; i < Count; ++i)
        EXPECT_EQ(quint8(received[std::size_t(i)][3]), quint8(i)) << "report " << i << " went out of order";

    // A driver error is a result too, in its place between the others.
    answers.clear();
    key.setFailWrites(true);
    device->writeReport(bytesOf(readKeyReport(0)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    EXPECT_EQ(answers[0].result.status, IoResult::Status::Gone);
    EXPECT_EQ(answers[0].result.error, EIO);
    key.setFailWrites(false);
    delete device;
}

TEST_F(HidDevices, AnUnpluggedDeviceAnswersEveryWriteWithGone)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    std::vector<Answer> answers;
    device->writeReport(bytesOf(readKeyReport(0)), answerTo(answers, 0));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 1; }));
    ASSERT_TRUE(answers[0].result.ok());

    // Before and after the scan has noticed.
    testbed().unplug(key);
    device->writeReport(bytesOf(readKeyReport(1)), answerTo(answers, 1));
    ASSERT_TRUE(nextChange());
    ASSERT_FALSE(device->isPresent());
    for (int tag = 2; tag < 5; ++tag)
        device->writeReport(bytesOf(readKeyReport(tag)), answerTo(answers, tag));
    ASSERT_TRUE(waitFor([&] { return answers.size() == 5; }));
    for (std::size_t i = 1; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i].tag, int(i));
        EXPECT_EQ(answers[i].result.status, IoResult::Status::Gone) << answers[i].result.message.toStdString();
    }
    delete device;
}

TEST_F(HidDevices, DestroyingADeviceWithQueuedWritesNeitherWaitsForThemNorAnswers)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    int answers = 0;
    for (const int queued : {1, 200}) {
        SCOPED_TRACE(queued);
        HidDevice* device = claim(*controller, key);
        ASSERT_NE(device, nullptr);
        for (int i = 0; i < queued; ++i)
            device->writeReport(bytesOf(readKeyReport(i % 8)), [&answers](const IoResult&) { ++answers; });
        // Results the writer posted meanwhile go with the object.
        QThread::msleep(20);
        delete device;
        runEventsFor(50);
        EXPECT_EQ(answers, 0);
        EXPECT_LE(key.received().size(), std::size_t(queued));
        key.clearReceived();
    }
}

TEST_F(HidDevices, AScanLeavesEveryNodeShutUntilItsDeviceIsHeld)
{
    KeyModel stranger;
    stranger.vendorId = 0x1234;
    stranger.product = QStringLiteral("Somebody's security key");
    EmulatedDevice& other = addKey(stranger);
    EmulatedDevice& key = addKey();

    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    ASSERT_EQ(controller->devices().size(), 2u);
    for (HidDevice* d : controller->devices())
        EXPECT_TRUE(d->canReadWrite());  // from the node's access rights
    HidDevice* strangerDevice = deviceOf(*controller, other);
    ASSERT_NE(strangerDevice, nullptr);
    EXPECT_EQ(strangerDevice->vendorId(), 0x1234);
    EXPECT_EQ(other.opens(), 0);
    EXPECT_EQ(key.opens(), 0);

    // The window's offer asks every device for its lengths and strings, and claims the key.
    EXPECT_EQ(controller->offerDevices(), 2);
    ASSERT_EQ(window.listed.size(), 1u);
    EXPECT_EQ(other.opens(), 0);
    // The claimed key's reader opens it.
    ASSERT_TRUE(waitFor([&] { return key.opens() > 0; }));

    controller->notifyChange(-1);
    EXPECT_EQ(other.opens(), 0);
    delete window.listed[0];
    EXPECT_EQ(other.opens(), 0);
}

TEST_F(HidDevices, QuickUnplugAndPlugCyclesLeaveNoDescriptorBehind)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    // Warm up once, so that lazily made resources of Qt and udev are counted in the start.
    for (int round = 0; round < 2; ++round) {
        const int before = openDescriptors();
        const int cycles = round == 0 ? 1 : 30;
        for (int i = 0; i < cycles; ++i) {
            SCOPED_TRACE(i);
            ASSERT_TRUE(waitFor([&] { return deviceOf(*controller, key) != nullptr; }));
            const int opens = key.opens();
            HidDevice* device = claim(*controller, key);
            ASSERT_NE(device, nullptr);
            bool written = false;
            device->writeReport(bytesOf(readKeyReport(0)), [&written](const IoResult& r) { written = r.ok(); });
            // Reads and writes share one opening of the node.
            ASSERT_TRUE(waitFor([&] { return written && device->isReading(); }));
            EXPECT_EQ(key.opens(), opens + 1);
            testbed().unplug(key);
            ASSERT_TRUE(waitFor([&] { return !device->isPresent(); }));
            // A device that tried the vanished node again would open it each time, and each such
            // opening costs the emulator a descriptor.
            runEventsFor(60);
            delete device;
            testbed().plug(key);
        }
        ASSERT_TRUE(waitFor([&] { return deviceOf(*controller, key) != nullptr; }));
        if (round == 1) {
            // The testbed keeps one descriptor of every node it has made: the key's hidraw node
            // and those of its keyboard and mouse.
            const int nodesPerPlug = 1 + int(key.inputDevnodes().size());
            EXPECT_LE(openDescriptors(), before + cycles * nodesPerPlug);
        }
    }
}

TEST_F(HidDevices, AnUnpluggedDeviceShutsItsNodeAndKeepsWhatItKnew)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    device->setReadErrorHandler(HidReadErrorHandler(&window, &Window::readFailed));
    ASSERT_TRUE(waitFor([&] { return device->isReading(); }));
    const QString product = device->productText();
    const QString serial = device->serialText();
    const HidReportCapabilities caps = device->reportCapabilities();
    ASSERT_FALSE(serial.isEmpty());

    testbed().unplug(key);
    ASSERT_TRUE(nextChange());
    EXPECT_FALSE(device->isPresent());
    EXPECT_FALSE(device->isReading());
    EXPECT_EQ(device->productText(), product);
    EXPECT_EQ(device->serialText(), serial);
    EXPECT_EQ(device->reportCapabilities().inputReportLength, caps.inputReportLength);

    // A read that failed before the scan noticed is reported once; nothing keeps trying the
    // vanished node, so nothing more comes however long it waits.
    runEventsFor(50);
    const std::size_t errors = window.errors.size();
    EXPECT_LE(errors, 1u);
    runEventsFor(300);
    EXPECT_EQ(window.errors.size(), errors);
    delete device;
    EXPECT_TRUE(controller->devices().empty());
}

TEST_F(HidDevices, AnUnpluggedReaderNeverReadsAReusedDescriptor)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(waitFor([&] { return device->isReading(); }));

    testbed().unplug(key);
    ASSERT_TRUE(nextChange());
    // Descriptor numbers freed by the unplug go to these pipes at once; a reader still using an
    // old number would take their bytes.
    for (int round = 0; round < 5; ++round) {
        std::vector<std::array<int, 2>> pipes(16);
        for (auto& p : pipes) {
            ASSERT_EQ(::pipe2(p.data(), O_NONBLOCK | O_CLOEXEC), 0);
            ASSERT_EQ(::write(p[1], "01234567", 8), 8);
        }
        runEventsFor(40);
        for (auto& p : pipes) {
            char buffer[16];
            EXPECT_EQ(::read(p[0], buffer, sizeof buffer), 8);
            ::close(p[0]);
            ::close(p[1]);
        }
    }
    EXPECT_TRUE(window.reports.empty());
    delete device;
}

TEST_F(HidDevices, AReleaseWhoseFreshObjectFailsLeavesNoSlot)
{
    EmulatedDevice& gone = addKey();
    EmulatedDevice& stays = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, gone);
    ASSERT_NE(device, nullptr);
    HidDevice* other = deviceOf(*controller, stays);

    // Gone before any scan noticed: the device still counts as present.
    testbed().unplug(gone);
    EXPECT_TRUE(device->isPresent());
    delete device;
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_EQ(controller->devices()[0], other);

    window.events.clear();
    ASSERT_TRUE(waitFor([&] { return controller->lastChangeParam() == 0 && !controller->isScanning(); }));
    runEventsFor(50);
    EXPECT_EQ(controller->devices().size(), 1u);
}

TEST_F(HidDevices, ADataHandlerThatReleasesItsDeviceEndsItsReports)
{
    EmulatedDevice& key = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    window.onData = [&](HidDevice* d) {
        window.onData = nullptr;
        delete d;
    };
    key.pushInput(QByteArray::fromHex("01aa000000000000"));
    key.pushInput(QByteArray::fromHex("01bb000000000000"));
    ASSERT_TRUE(waitFor([&] { return !window.reports.empty(); }));
    runEventsFor(50);
    EXPECT_EQ(window.reports.size(), 1u);
    ASSERT_EQ(controller->devices().size(), 1u);
    EXPECT_FALSE(controller->devices()[0]->isClaimed());
}

TEST_F(HidDevices, ANotificationDuringAScanIsFollowedByAnotherScan)
{
    addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    platform::HotplugMonitor watcher(platform::UdevContext::create());
    bool seen = false;
    QObject::connect(&watcher, &platform::HotplugMonitor::deviceChanged, [&] { seen = true; });

    EmulatedDevice* late = nullptr;
    window.onChange = [&] {
        window.onChange = nullptr;
        // As the window's handler does while it reads a key: events run inside the scan.
        late = &addKey();
        waitFor([&] { return seen; });
        runEventsFor(50);
    };
    controller->notifyChange(-1);
    ASSERT_NE(late, nullptr);
    ASSERT_TRUE(waitFor([&] { return deviceOf(*controller, *late) != nullptr; }));
}

TEST_F(HidDevices, HandlersAndPeriodsPassOnToDevicesThatCarryThePreviousOne)
{
    EmulatedDevice& a = addKey();
    EmulatedDevice& b = addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* claimedB = claim(*controller, b);
    ASSERT_TRUE(claimedB);
    ASSERT_TRUE(waitFor([&] { return claimedB->isReading(); }));
    HidDevice* deviceA = deviceOf(*controller, a);
    Window own;
    deviceA->setReportHandler(HidReportHandler(&own, &Window::reportReceived));

    Window other;
    controller->setReportHandler(HidReportHandler(&other, &Window::reportReceived));
    EXPECT_TRUE(claimedB->reportHandler() == HidReportHandler(&other, &Window::reportReceived));
    EXPECT_TRUE(deviceA->reportHandler() == HidReportHandler(&own, &Window::reportReceived));
    EXPECT_TRUE(claimedB->isReading());

    controller->setReportHandler({});
    EXPECT_FALSE(claimedB->isReading());
    controller->setReportHandler(HidReportHandler(&window, &Window::reportReceived));
    EXPECT_TRUE(claimedB->isReading());

    controller->setReadErrorHandler(HidReadErrorHandler(&window, &Window::readFailed));
    EXPECT_TRUE(claimedB->readErrorHandler() == HidReadErrorHandler(&window, &Window::readFailed));

    // A period set on one device stays its own; the others follow the controller's.
    deviceA->setPollPeriod(30);
    controller->setPollPeriod(20);
    EXPECT_EQ(claimedB->pollPeriod(), 20);
    EXPECT_EQ(deviceA->pollPeriod(), 30);
    EXPECT_TRUE(claimedB->isReading());
    delete claimedB;
}

TEST_F(HidDevices, DestroyingTheControllerLeavesClaimedDevicesWithTheirHolder)
{
    EmulatedDevice& key = addKey();
    addKey();
    auto controller = makeController();
    ASSERT_TRUE(nextChange());
    HidDevice* device = claim(*controller, key);
    ASSERT_NE(device, nullptr);
    window.events.clear();

    controller.reset();
    EXPECT_FALSE(device->isPresent());
    EXPECT_EQ(device->controller(), nullptr);
    EXPECT_TRUE(window.events.isEmpty());  // the unplug handler was taken away first
    delete device;
}

TEST(HidControllerInert, WithoutUdevNothingHappens)
{
    int changes = 0;
    HidDeviceController controller(nullptr, nullptr);
    EXPECT_TRUE(controller.isInert());
    controller.setChangeHandler([&changes](QObject*) { ++changes; });
    controller.notifyChange(-1);
    runEventsFor(50);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(controller.devices().empty());
    EXPECT_EQ(controller.offerDevices(), 0);
}
