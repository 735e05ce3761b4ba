#include "session/devicesession.h"

#include "hid/hiddevice.h"
#include "hid/hiddevicewatcher.h"
#include "hid/hidlog.h"
#include "platform/hotplugmonitor.h"
#include "platform/udevcontext.h"
#include "session/devicenoticeboard.h"
#include "session/writehistory.h"

#include <algorithm>

namespace tavrel {

namespace {

constexpr quint16 DeviceVendorId = 0x16C0;
constexpr quint16 DeviceProductId = 0x05E1;

}  // namespace

DeviceSession::DeviceSession(QObject* parent) : DeviceSession(platform::UdevContext::create(), parent) {}

DeviceSession::DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent) : QObject(parent)
{
    // One look for a burst of changes, once the event loop has taken them all.
    m_refindInput = new QTimer(this);
    m_refindInput->setSingleShot(true);
    m_refindInput->setInterval(0);
    connect(m_refindInput, &QTimer::timeout, this, [this] {
        for (AttachedDevice* device : m_devices)
            device->refindInput();
    });

    m_history = new WriteHistory(*this, this);
    m_noticeBoard = new DeviceNoticeBoard(this);
    m_watcher = new HidDeviceWatcher(std::move(udev), DeviceVendorId, DeviceProductId, this);
    connect(m_watcher, &HidDeviceWatcher::listFailed, this, &DeviceSession::failed);
    connect(m_watcher, &HidDeviceWatcher::deviceAdded, this, &DeviceSession::addDevice);
    connect(m_watcher, &HidDeviceWatcher::deviceRemoved, this, &DeviceSession::removeDevice);
    connect(m_watcher, &HidDeviceWatcher::listed, this, [this] {
        m_scanned = true;
        settleDevices();
    });
}

void DeviceSession::start()
{
    m_watcher->start();
}

bool DeviceSession::isInert() const
{
    return m_watcher->isInert();
}

DeviceSession::~DeviceSession()
{
    // The devices go first, each closing its node.
    for (AttachedDevice* device : std::exchange(m_devices, {}))
        delete device;
    delete m_watcher;
    m_watcher = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The attached devices

int DeviceSession::indexOf(const AttachedDevice* device) const
{
    const auto at = std::find(m_devices.begin(), m_devices.end(), device);
    return device && at != m_devices.end() ? int(at - m_devices.begin()) : -1;
}

void DeviceSession::addDevice(const platform::HidInterface& info)
{
    auto hid = std::make_unique<HidDevice>(info, m_watcher->udev());
    // The ids are the family's; a device of the family takes requests of its report size.
    if (hid->reportCapabilities().outputReportLength != ReportSize) {
        qCInfo(hidLog, "%s takes no %d-byte reports; passed over.", qPrintable(info.devnode), ReportSize);
        return;
    }
    m_noticeBoard->open();
    auto* device = new AttachedDevice(std::move(hid), *this, m_noticeBoard, this);
    // The write history takes an entry as each of the device's writes starts.
    m_history->track(device);
    connect(device->device(), &HidDevice::unplugged, this, [this, device] { dropDevice(device); });
    m_devices.push_back(device);
    settleDevices();
}

void DeviceSession::removeDevice(const QString& syspath)
{
    for (AttachedDevice* device : m_devices) {
        if (device->identity().syspath == syspath) {
            device->device()->markUnplugged();
            return;
        }
    }
}

void DeviceSession::dropDevice(AttachedDevice* device)
{
    const auto at = std::find(m_devices.begin(), m_devices.end(), device);
    if (at == m_devices.end())
        return;
    device->markGone();
    m_devices.erase(at);
    // Its node's signal may be on the stack.
    device->deleteLater();
    settleDevices();
}

void DeviceSession::settleDevices()
{
    // Devices found before the first listing is whole are settled with it.
    if (!m_scanned)
        return;
    // A device's input devices may have come or gone with it.
    m_refindInput->start();

    for (AttachedDevice* device : m_devices) {
        if (device->canWrite() || m_accessWarned.contains(device->identity().instanceId))
            continue;
        m_accessWarned.insert(device->identity().instanceId);
        emit accessDenied(device->itemText());
        break;
    }
    emit devicesChanged();
}

void DeviceSession::watchInput(AttachedDevice* device, bool on)
{
    if (indexOf(device) < 0)
        return;
    if (on && !m_inputMonitor && m_watcher->udev()) {
        m_inputMonitor = new platform::HotplugMonitor(m_watcher->udev(), this, "input");
        // Input devices that came, went or changed: the watched devices look for theirs again.
        const auto refind = qOverload<>(&QTimer::start);
        connect(m_inputMonitor, &platform::HotplugMonitor::deviceAdded, m_refindInput, refind);
        connect(m_inputMonitor, &platform::HotplugMonitor::deviceRemoved, m_refindInput, refind);
        connect(m_inputMonitor, &platform::HotplugMonitor::deviceChanged, m_refindInput, refind);
    }
    device->setInputWatched(on);
}

void DeviceSession::append(const QString& line)
{
    m_log.append(line);
    emit logAppended(line);
}

}  // namespace tavrel
