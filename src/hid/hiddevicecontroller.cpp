#include "hid/hiddevicecontroller.h"

#include "hid/hiddevice.h"
#include "hid/hidpnpinfo.h"
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
    return ok && ms >= 1 && ms <= THidDevice::MaxPollPeriod ? ms : 0;
}

}  // namespace

// Clears a device's Offered flag and, unless it was claimed meanwhile, closes its handles;
// also when the handler that was offered the device destroys it.
class THidDeviceController::OfferScope {
public:
    explicit OfferScope(THidDevice* device) : m_device(device), m_alive(device->lifetime()) {}
    ~OfferScope();
    bool alive() const { return !m_alive.expired(); }

private:
    THidDevice* m_device;
    std::weak_ptr<const bool> m_alive;
};

THidDeviceController::THidDeviceController(QObject* owner)
    : THidDeviceController(owner, platform::UdevContext::create())
{
}

THidDeviceController::THidDeviceController(QObject* owner, std::shared_ptr<platform::UdevContext> udev)
    : QObject(owner), m_udev(std::move(udev)), m_pollPeriod(pollPeriodFromEnvironment())
{
    m_rescan = new QTimer(this);
    m_rescan->setSingleShot(true);
    connect(m_rescan, &QTimer::timeout, this, [this] { notifyFromEventLoop(0); });
    if (!m_udev)
        return;
    m_monitor = new platform::HotplugMonitor(m_udev, this);
    connect(m_monitor, &platform::HotplugMonitor::deviceChanged, this, [this] { notifyFromEventLoop(0); });
    // Handled once the event loop runs; the -1 makes the first scan report a change even when
    // there is no device.
    QMetaObject::invokeMethod(this, [this] { notifyFromEventLoop(-1); }, Qt::QueuedConnection);
}

THidDeviceController::~THidDeviceController()
{
    m_destroying = true;
    m_onDeviceChange = {};
    m_onEnumerate = {};
    setOnDeviceUnplug({});
    delete m_monitor;
    m_monitor = nullptr;
    for (THidDevice* device : std::exchange(m_devices, {})) {
        device->m_owner = nullptr;
        if (device->Claimed())
            device->MarkUnplugged();
        else
            delete device;
    }
}

void THidDeviceController::notifyFromEventLoop(int param)
{
    Notify(param);
}

int THidDeviceController::rescanDelayMs(int failuresInARow)
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

void THidDeviceController::deviceSeemsGone(THidDevice* device)
{
    // The removal may have come before a scan could see it, or the node failed while the
    // interface stays: look again. A node that fails every time is looked at ever more seldom,
    // so that it never keeps the machine busy.
    if (m_destroying || !device->Present())
        return;
    const int delay = rescanDelayMs(device->m_failures);
    if (!m_rescan->isActive() || m_rescan->remainingTime() > delay)
        m_rescan->start(delay);
}

void THidDeviceController::Notify(int param)
{
    if (m_destroying || IsInert())
        return;
    if (m_scanActive) {
        m_missedNotification = true;
        return;
    }
    m_lastChangeParam = param;
    m_scanActive = true;
    struct EndScan {
        THidDeviceController* controller;
        ~EndScan()
        {
            controller->m_scanActive = false;
            // A device that came or went while the scan ran would otherwise go unseen until the
            // next change.
            if (std::exchange(controller->m_missedNotification, false)) {
                QMetaObject::invokeMethod(
                    controller, [c = controller] { c->notifyFromEventLoop(0); }, Qt::QueuedConnection);
            }
        }
    } endScan{this};
    DeviceChange();
}

std::optional<std::vector<std::unique_ptr<THidDevice>>> THidDeviceController::freshDevices()
{
    if (!m_udev)
        return std::nullopt;
    const auto interfaces = platform::enumerateHidInterfaces(*m_udev);
    if (!interfaces)
        return std::nullopt;
    std::vector<std::unique_ptr<THidDevice>> fresh;
    for (const platform::HidInterface& found : *interfaces) {
        auto info = std::make_unique<THidPnPInfo>(found.instanceId, found.devnode, found.syspath, m_udev,
                                                  found.usbInterface);
        QString error;
        if (auto device = THidDevice::create(std::move(info), this, &error)) {
            fresh.push_back(std::move(device));
        } else if (platform::HidrawDevice::nodeExists(found.devnode)) {
            // Not unplugged during the scan, just not identifiable: some other maker's interface
            // with a broken udev record. It is passed over; every other interface is still seen.
            qCInfo(hidLog, "%s: %s; passed over.", qPrintable(found.syspath), qPrintable(error));
        }
    }
    return fresh;
}

void THidDeviceController::DeviceChange()
{
    bool changed = m_lastChangeParam == -1;
    auto listed = freshDevices();
    if (!listed) {
        // The list stays as it was; the next change tries again.
        emit scanFailed(QStringLiteral("The HID interfaces could not be listed."));
        return;
    }
    std::vector<std::unique_ptr<THidDevice>>& fresh = *listed;
    const auto foundNow = [&fresh](quint32 id) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [id](const auto& n) { return n->InterfaceInfo().InstanceId == id; });
    };

    for (int i = int(m_devices.size()) - 1; i >= 0; --i) {
        // Handlers may have removed slots meanwhile.
        if (i >= int(m_devices.size()))
            continue;
        THidDevice* old = m_devices[std::size_t(i)];
        if (old->Present() && foundNow(old->InterfaceInfo().InstanceId)) {
            // Still there: a node that failed opens again, however often it failed before.
            old->nodeSettled();
            continue;
        }
        const std::weak_ptr<const bool> alive = old->lifetime();
        changed = true;
        old->MarkUnplugged();
        if (alive.expired())
            continue;
        if (m_onRemoval)
            m_onRemoval(old);
        if (alive.expired())
            continue;
        if (!old->Claimed()) {
            removeDevice(old);
            delete old;
        }
    }

    for (std::unique_ptr<THidDevice>& candidate : fresh) {
        const quint32 id = candidate->InterfaceInfo().InstanceId;
        const bool known = std::any_of(m_devices.begin(), m_devices.end(), [id](const THidDevice* d) {
            return d->Present() && d->InterfaceInfo().InstanceId == id;
        });
        if (known) {
            candidate->m_owner = nullptr;
            candidate.reset();
            continue;
        }
        THidDevice* added = candidate.release();
        m_devices.push_back(added);
        changed = true;
        if (m_onArrival)
            m_onArrival(added);
    }

    if (changed && m_onDeviceChange)
        m_onDeviceChange(this);
}

int THidDeviceController::OfferDevices()
{
    int count = 0;
    for (int i = 0; i < int(m_devices.size()); ++i) {
        THidDevice* device = m_devices[std::size_t(i)];
        if (!device->Present())
            continue;
        ++count;
        device->m_offered = true;
        bool goOn = false;
        {
            OfferScope scope(device);
            goOn = m_onEnumerate ? m_onEnumerate(device, i) : false;
        }
        if (!goOn)
            break;
    }
    return count;
}

bool THidDeviceController::ClaimAt(int index, bool accept, THidDevice*& device)
{
    THidDevice* candidate = m_devices[std::size_t(index)];
    if (!accept || candidate->Claimed())
        return false;
    device = candidate;
    candidate->m_claimed = true;
    candidate->startReading();
    return true;
}

bool THidDeviceController::ClaimByIndex(THidDevice*& device, int index)
{
    device = nullptr;
    if (index < 0 || index >= int(m_devices.size()))
        return false;
    return ClaimAt(index, true, device);
}

bool THidDeviceController::ClaimFirst(THidDevice*& device, const std::function<bool(THidDevice*)>& filter)
{
    device = nullptr;
    for (int i = 0; i < int(m_devices.size()); ++i) {
        THidDevice* candidate = m_devices[std::size_t(i)];
        if (candidate->Claimed())
            continue;
        candidate->m_offered = true;
        OfferScope scope(candidate);
        const bool accept = filter && filter(candidate);
        // The filter may have changed the list; claim only the device it was shown.
        if (scope.alive() && i < int(m_devices.size()) && m_devices[std::size_t(i)] == candidate
            && ClaimAt(i, accept, device))
            return true;
    }
    return false;
}

std::vector<std::pair<THidDevice*, std::weak_ptr<const bool>>> THidDeviceController::snapshot() const
{
    std::vector<std::pair<THidDevice*, std::weak_ptr<const bool>>> devices;
    devices.reserve(m_devices.size());
    for (THidDevice* device : m_devices)
        devices.emplace_back(device, device->lifetime());
    return devices;
}

void THidDeviceController::setOnDeviceChange(const TNotifyEvent& handler)
{
    if (handler == m_onDeviceChange)
        return;
    m_onDeviceChange = handler;
    if (!m_loading)
        DeviceChange();
}

void THidDeviceController::setOnDeviceData(const THidDataEvent& handler)
{
    if (handler == m_onDeviceData)
        return;
    const THidDataEvent previous = m_onDeviceData;
    // Changing a device's data handler stops or starts its reader, which may run handlers.
    for (const auto& [device, alive] : snapshot()) {
        if (!alive.expired() && device->DataHandler() == previous)
            device->SetDataHandler(handler);
    }
    m_onDeviceData = handler;
}

void THidDeviceController::setOnDeviceDataError(const THidDataErrorEvent& handler)
{
    if (handler == m_onDeviceDataError)
        return;
    for (THidDevice* device : m_devices) {
        if (device->DataErrorHandler() == m_onDeviceDataError)
            device->SetDataErrorHandler(handler);
    }
    m_onDeviceDataError = handler;
}

void THidDeviceController::setOnDeviceUnplug(const THidPlugEvent& handler)
{
    if (handler == m_onDeviceUnplug)
        return;
    for (THidDevice* device : m_devices) {
        if (device->UnplugHandler() == m_onDeviceUnplug)
            device->SetUnplugHandler(handler);
    }
    m_onDeviceUnplug = handler;
}

void THidDeviceController::setPollPeriod(int ms)
{
    if (ms == m_pollPeriod || ms < 0 || ms > THidDevice::MaxPollPeriod)
        return;
    for (THidDevice* device : m_devices) {
        if (device->PollPeriod() == m_pollPeriod)
            device->SetPollPeriod(ms);
    }
    m_pollPeriod = ms;
}

bool THidDeviceController::holds(const THidDevice* device) const
{
    return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}

void THidDeviceController::replaceDevice(THidDevice* old, THidDevice* fresh)
{
    std::replace(m_devices.begin(), m_devices.end(), old, fresh);
}

void THidDeviceController::removeDevice(THidDevice* device)
{
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
}

THidDeviceController::OfferScope::~OfferScope()
{
    if (m_alive.expired())
        return;
    m_device->m_offered = false;
    if (!m_device->Claimed())
        m_device->closeNode();
}

}  // namespace tavrel
