#include "session/devicesession.h"

#include "config/reportdispatch.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicecontroller.h"
#include "platform/hotplugmonitor.h"
#include "session/devicenoticeboard.h"
#include "session/writehistory.h"

#include <algorithm>

namespace tavrel {

namespace {

constexpr quint16 DeviceVendorId = 0x16C0;
constexpr quint16 DeviceProductId = 0x05E1;

QTimer* makeTimer(QObject* parent, int ms, const char* name)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(ms);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setObjectName(QLatin1String(name));
    return timer;
}

}  // namespace

DeviceSession::DeviceSession(QObject* parent) : QObject(parent)
{
    init(nullptr, true);
}

DeviceSession::DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent) : QObject(parent)
{
    init(std::move(udev), false);
}

void DeviceSession::init(std::shared_ptr<platform::UdevContext> udev, bool systemUdev)
{
    m_refindInput = makeTimer(this, 0, "RefindInputTimer");
    m_refindInput->setSingleShot(true);
    connect(m_refindInput, &QTimer::timeout, this, [this] {
        for (AttachedDevice* key : m_devices)
            key->refindInput();
    });

    m_history = new WriteHistory(*this, this);
    m_noticeBoard = new DeviceNoticeBoard(this);
    m_controller = systemUdev ? new HidDeviceController(this) : new HidDeviceController(this, std::move(udev));
    m_controller->setObjectName(QStringLiteral("HidCtl"));
    connect(m_controller, &HidDeviceController::scanFailed, this, &DeviceSession::failed);
}

void DeviceSession::start()
{
    // Setting the change handler does not scan yet; the controller's start-up notification
    // does, once the event loop runs.
    m_controller->setScanDeferred(true);
    m_controller->setOfferHandler(HidOfferHandler(this, &DeviceSession::offered));
    m_controller->setChangeHandler([this](QObject*) { devicesChangedByScan(); });
    m_controller->setReportHandler(HidReportHandler(this, &DeviceSession::report));
    m_controller->setScanDeferred(false);
}

DeviceSession::~DeviceSession()
{
    // The keys go first: each releases its device to the controller.
    for (AttachedDevice* key : std::exchange(m_devices, {}))
        delete key;
    delete m_controller;
    m_controller = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The attached keys

int DeviceSession::indexOf(const AttachedDevice* device) const
{
    const auto at = std::find(m_devices.begin(), m_devices.end(), device);
    return device && at != m_devices.end() ? int(at - m_devices.begin()) : -1;
}

bool DeviceSession::offered(HidDevice* device, int index)
{
    const bool keyDevice = device->vendorId() == DeviceVendorId && device->productId() == DeviceProductId
                           && device->reportCapabilities().outputReportLength == ReportSize;
    const quint32 id = device->interfaceInfo().instanceId;
    const bool held = std::any_of(m_devices.begin(), m_devices.end(),
                                  [id](const AttachedDevice* k) { return k->identity().instanceId == id; });
    HidDevice* claimed = nullptr;
    if (keyDevice && !held && m_controller->claimByIndex(claimed, index) && claimed) {
        m_noticeBoard->open();
        auto* key = new AttachedDevice(claimed, *this, m_noticeBoard, this);
        // The write history takes an entry as each of the key's writes starts.
        m_history->track(key);
        m_devices.push_back(key);
    }
    return true;
}

void DeviceSession::devicesChangedByScan()
{
    // Keys whose interface went: what they were doing ends, and says so, before they go.
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        AttachedDevice* key = *it;
        if (key->device()->isPresent()) {
            ++it;
            continue;
        }
        key->markGone();
        it = m_devices.erase(it);
        key->deleteLater();
    }
    // Keys found: added after those that stay, in the order of the scan.
    m_controller->offerDevices();
    m_scanned = true;
    // A key's input devices may have come or gone with it.
    m_refindInput->start();

    for (AttachedDevice* key : m_devices) {
        if (key->canWrite() || m_accessWarned.contains(key->identity().instanceId))
            continue;
        m_accessWarned.insert(key->identity().instanceId);
        emit accessDenied(key->itemText());
        break;
    }
    emit devicesChanged();
}

void DeviceSession::watchInput(AttachedDevice* device, bool on)
{
    if (indexOf(device) < 0)
        return;
    if (on && !m_inputMonitor && device->device()->interfaceInfo().udev) {
        m_inputMonitor = new platform::HotplugMonitor(device->device()->interfaceInfo().udev, this, "input");
        connect(m_inputMonitor, &platform::HotplugMonitor::deviceChanged, m_refindInput, qOverload<>(&QTimer::start));
    }
    device->setInputWatched(on);
}

void DeviceSession::append(const QString& line)
{
    m_log.append(line);
    emit logAppended(line);
}

void DeviceSession::report(HidDevice* device, quint8 reportId, const quint8* data, quint16 size)
{
    const std::span<const quint8> bytes(data, size);
    for (AttachedDevice* key : m_devices) {
        if (key->device() == device) {
            key->handleReport(reportId, bytes);
            return;
        }
    }
    dispatchReport(reportId, bytes, {}, *this);
}

}  // namespace tavrel
