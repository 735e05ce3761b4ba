#include "hid/hiddevicecontroller.h"

#include "hid/hiddevice.h"
#include "hid/hidinterfaceinfo.h"
#include "platform/hidenumerator.h"
#include "platform/hidrawdevice.h"
#include "platform/hotplugmonitor.h"
#include "platform/udevcontext.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

namespace tavrel {

Q_DECLARE_LOGGING_CATEGORY(hidLog)

namespace {

// Emulated nodes never signal data, so programs run against them name a poll period here.
int pollPeriodFromEnvironment()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TAVREL_POLL_PERIOD_MS", &ok);
    return ok && ms >= 1 && ms <= HidDevice::MaxPollPeriod ? ms : 0;
}

}  // namespace

// Clears a device's offered flag and, unless it was claimed meanwhile, closes its handles;
// also when the handler that was offered the device destroys it.
class HidDeviceController::OfferScope {
public:
    explicit OfferScope(HidDevice* device) : m_device(device), m_alive(device->lifetime()) {}
    ~OfferScope();
    bool alive() const { return !m_alive.expired(); }

private:
    HidDevice* m_device;
    std::weak_ptr<const bool> m_alive;
};

HidDeviceController::HidDeviceController(QObject* owner) : HidDeviceController(owner, platform::UdevContext::create())
{
}

HidDeviceController::HidDeviceController(QObject* owner, std::shared_ptr<platform::UdevContext> udev)
    : QObject(owner), m_udev(std::move(udev)), m_pollPeriod(pollPeriodFromEnvironment())
{
    m_rescan = new QTimer(this);
    m_rescan->setSingleShot(true);
    connect(m_rescan, &QTimer::timeout, this, [this] { notifyChange(0); });
    if (!m_udev)
        return;
    m_monitor = new platform::HotplugMonitor(m_udev, this);
    connect(m_monitor, &platform::HotplugMonitor::deviceChanged, this, [this] { notifyChange(0); });
    // Handled once the event loop runs; the -1 makes the first scan report a change even when
    // there is no device.
    QMetaObject::invokeMethod(
        this, [this] { notifyChange(-1); }, Qt::QueuedConnection);
}

HidDeviceController::~HidDeviceController()
{
    m_destroying = true;
    m_changeHandler = {};
    m_offerHandler = {};
    setUnplugHandler({});
    delete m_monitor;
    m_monitor = nullptr;
    for (HidDevice* device : std::exchange(m_devices, {})) {
        device->m_owner = nullptr;
        if (device->isClaimed())
            device->markUnplugged();
        else
            delete device;
    }
}

int HidDeviceController::rescanDelayMs(int failuresInARow)
{
    // The first failure is looked at once the event loop runs, as an unplug is; then ever later.
    constexpr int FirstMs = 100, LongestMs = 5000;
    if (failuresInARow <= 1)
        return 0;
    int delay = FirstMs;
    for (int n = 2; n < failuresInARow && delay < LongestMs; ++n)
        delay *= 2;
    return std::min(delay, LongestMs);
}

void HidDeviceController::deviceSeemsGone(HidDevice* device)
{
    // The removal may have come before a scan could see it, or the node failed while the
    // interface stays: look again. A node that fails every time is looked at ever more seldom,
    // so that it never keeps the machine busy.
    if (m_destroying || !device->isPresent())
        return;
    const int delay = rescanDelayMs(device->m_failures);
    if (!m_rescan->isActive() || m_rescan->remainingTime() > delay)
        m_rescan->start(delay);
}

void HidDeviceController::notifyChange(int param)
{
    if (m_destroying || isInert())
        return;
    if (m_scanning) {
        m_missedNotification = true;
        return;
    }
    m_lastChangeParam = param;
    m_scanning = true;
    struct EndScan {
        HidDeviceController* controller;
        ~EndScan()
        {
            controller->m_scanning = false;
            // A device that came or went while the scan ran would otherwise go unseen until the
            // next change.
            if (std::exchange(controller->m_missedNotification, false)) {
                QMetaObject::invokeMethod(
                    controller, [c = controller] { c->notifyChange(0); }, Qt::QueuedConnection);
            }
        }
    } endScan{this};
    rescan();
}

std::optional<std::vector<std::unique_ptr<HidDevice>>> HidDeviceController::freshDevices()
{
    if (!m_udev)
        return std::nullopt;
    const auto interfaces = platform::enumerateHidInterfaces(*m_udev);
    if (!interfaces)
        return std::nullopt;
    std::vector<std::unique_ptr<HidDevice>> fresh;
    for (const platform::HidInterface& found : *interfaces) {
        auto info = std::make_unique<HidInterfaceInfo>(found.instanceId, found.devnode, found.syspath, m_udev,
                                                       found.usbInterface);
        QString error;
        if (auto device = HidDevice::create(std::move(info), this, &error)) {
            fresh.push_back(std::move(device));
        } else if (platform::HidrawDevice::nodeExists(found.devnode)) {
            // Not unplugged during the scan, just not identifiable: some other maker's interface
            // with a broken udev record. It is passed over; every other interface is still seen.
            qCInfo(hidLog, "%s: %s; passed over.", qPrintable(found.syspath), qPrintable(error));
        }
    }
    return fresh;
}

void HidDeviceController::rescan()
{
    bool changed = m_lastChangeParam == -1;
    auto listed = freshDevices();
    if (!listed) {
        // The list stays as it was; the next change tries again.
        emit scanFailed(QStringLiteral("The HID interfaces could not be listed."));
        return;
    }
    std::vector<std::unique_ptr<HidDevice>>& fresh = *listed;
    const auto foundNow = [&fresh](quint32 id) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [id](const auto& n) { return n->interfaceInfo().instanceId == id; });
    };

    for (int i = int(m_devices.size()) - 1; i >= 0; --i) {
        // Handlers may have removed slots meanwhile.
        if (i >= int(m_devices.size()))
            continue;
        HidDevice* old = m_devices[std::size_t(i)];
        if (old->isPresent() && foundNow(old->interfaceInfo().instanceId)) {
            // Still there: a node that failed opens again, however often it failed before.
            old->nodeSettled();
            continue;
        }
        const std::weak_ptr<const bool> alive = old->lifetime();
        changed = true;
        old->markUnplugged();
        if (alive.expired())
            continue;
        if (m_removalHandler)
            m_removalHandler(old);
        if (alive.expired())
            continue;
        if (!old->isClaimed()) {
            removeDevice(old);
            delete old;
        }
    }

    for (std::unique_ptr<HidDevice>& candidate : fresh) {
        const quint32 id = candidate->interfaceInfo().instanceId;
        const bool known = std::any_of(m_devices.begin(), m_devices.end(), [id](const HidDevice* d) {
            return d->isPresent() && d->interfaceInfo().instanceId == id;
        });
        if (known) {
            candidate->m_owner = nullptr;
            candidate.reset();
            continue;
        }
        HidDevice* added = candidate.release();
        m_devices.push_back(added);
        changed = true;
        if (m_arrivalHandler)
            m_arrivalHandler(added);
    }

    if (changed && m_changeHandler)
        m_changeHandler(this);
}

int HidDeviceController::offerDevices()
{
    int count = 0;
    for (int i = 0; i < int(m_devices.size()); ++i) {
        HidDevice* device = m_devices[std::size_t(i)];
        if (!device->isPresent())
            continue;
        ++count;
        device->m_offered = true;
        bool goOn = false;
        {
            OfferScope scope(device);
            goOn = m_offerHandler ? m_offerHandler(device, i) : false;
        }
        if (!goOn)
            break;
    }
    return count;
}

bool HidDeviceController::claimAt(int index, bool accept, HidDevice*& device)
{
    HidDevice* candidate = m_devices[std::size_t(index)];
    if (!accept || candidate->isClaimed())
        return false;
    device = candidate;
    candidate->m_claimed = true;
    candidate->startReading();
    return true;
}

bool HidDeviceController::claimByIndex(HidDevice*& device, int index)
{
    device = nullptr;
    if (index < 0 || index >= int(m_devices.size()))
        return false;
    return claimAt(index, true, device);
}

bool HidDeviceController::claimFirst(HidDevice*& device, const std::function<bool(HidDevice*)>& filter)
{
    device = nullptr;
    for (int i = 0; i < int(m_devices.size()); ++i) {
        HidDevice* candidate = m_devices[std::size_t(i)];
        if (candidate->isClaimed())
            continue;
        candidate->m_offered = true;
        OfferScope scope(candidate);
        const bool accept = filter && filter(candidate);
        // The filter may have changed the list; claim only the device it was shown.
        if (scope.alive() && i < int(m_devices.size()) && m_devices[std::size_t(i)] == candidate
            && claimAt(i, accept, device))
            return true;
    }
    return false;
}

std::vector<std::pair<HidDevice*, std::weak_ptr<const bool>>> HidDeviceController::snapshot() const
{
    std::vector<std::pair<HidDevice*, std::weak_ptr<const bool>>> devices;
    devices.reserve(m_devices.size());
    for (HidDevice* device : m_devices)
        devices.emplace_back(device, device->lifetime());
    return devices;
}

void HidDeviceController::setChangeHandler(const HidChangeHandler& handler)
{
    if (handler == m_changeHandler)
        return;
    m_changeHandler = handler;
    if (!m_scanDeferred)
        rescan();
}

void HidDeviceController::setReportHandler(const HidReportHandler& handler)
{
    if (handler == m_reportHandler)
        return;
    const HidReportHandler previous = m_reportHandler;
    // Changing a device's data handler stops or starts its reader, which may run handlers.
    for (const auto& [device, alive] : snapshot()) {
        if (!alive.expired() && device->reportHandler() == previous)
            device->setReportHandler(handler);
    }
    m_reportHandler = handler;
}

void HidDeviceController::setReadErrorHandler(const HidReadErrorHandler& handler)
{
    if (handler == m_readErrorHandler)
        return;
    for (HidDevice* device : m_devices) {
        if (device->readErrorHandler() == m_readErrorHandler)
            device->setReadErrorHandler(handler);
    }
    m_readErrorHandler = handler;
}

void HidDeviceController::setUnplugHandler(const HidPlugHandler& handler)
{
    if (handler == m_unplugHandler)
        return;
    for (HidDevice* device : m_devices) {
        if (device->unplugHandler() == m_unplugHandler)
            device->setUnplugHandler(handler);
    }
    m_unplugHandler = handler;
}

void HidDeviceController::setPollPeriod(int ms)
{
    if (ms == m_pollPeriod || ms < 0 || ms > HidDevice::MaxPollPeriod)
        return;
    for (HidDevice* device : m_devices) {
        if (device->pollPeriod() == m_pollPeriod)
            device->setPollPeriod(ms);
    }
    m_pollPeriod = ms;
}

bool HidDeviceController::holds(const HidDevice* device) const
{
    return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}

void HidDeviceController::replaceDevice(HidDevice* old, HidDevice* fresh)
{
    std::replace(m_devices.begin(), m_devices.end(), old, fresh);
}

void HidDeviceController::removeDevice(HidDevice* device)
{
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

HidDeviceController::OfferScope::~OfferScope()
{
    if (m_alive.expired())
        return;
    m_device->m_offered = false;
    if (!m_device->isClaimed())
        m_device->closeNode();
}

}  // namespace tavrel
