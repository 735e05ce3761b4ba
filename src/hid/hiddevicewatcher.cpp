#include "hid/hiddevicewatcher.h"

#include "hid/hidlog.h"
#include "platform/hotplugmonitor.h"
#include "platform/udevcontext.h"

#include <QTimer>

namespace tavrel {

HidDeviceWatcher::HidDeviceWatcher(std::shared_ptr<platform::UdevContext> udev, quint16 vendorId, quint16 productId,
                                   QObject* parent)
    : QObject(parent), m_udev(std::move(udev)), m_vendorId(vendorId), m_productId(productId)
{
}

HidDeviceWatcher::~HidDeviceWatcher() = default;

void HidDeviceWatcher::start()
{
    if (isInert() || m_monitor)
        return;
    // Listening before listing: an interface plugged in between is in the listing or in an
    // event, or in both.
    m_monitor = new platform::HotplugMonitor(m_udev, this, "hidraw");
    connect(m_monitor, &platform::HotplugMonitor::deviceAdded, this, &HidDeviceWatcher::addAt);
    connect(m_monitor, &platform::HotplugMonitor::deviceRemoved, this, &HidDeviceWatcher::remove);
    QTimer::singleShot(0, this, &HidDeviceWatcher::list);
}

void HidDeviceWatcher::list()
{
    const auto interfaces = platform::enumerateHidInterfaces(*m_udev, m_vendorId, m_productId);
    if (!interfaces) {
        qCWarning(hidLog, "The HID interfaces could not be listed.");
        emit listFailed(QStringLiteral("The HID interfaces could not be listed."));
        return;
    }
    for (const platform::HidInterface& info : *interfaces)
        add(info);
    emit listed();
}

void HidDeviceWatcher::addAt(const QString& syspath)
{
    if (m_present.contains(syspath))
        return;
    // Only what is still there when the event is taken: udev's event may be older than an unplug.
    const auto info = platform::hidInterfaceAt(*m_udev, syspath);
    if (info && info->identity.vendorId == m_vendorId && info->identity.productId == m_productId)
        add(*info);
}

void HidDeviceWatcher::add(const platform::HidInterface& info)
{
    if (m_present.contains(info.syspath))
        return;
    m_present.insert(info.syspath);
    qCInfo(hidLog, "%s found at %s", qPrintable(info.devnode), qPrintable(info.syspath));
    emit deviceAdded(info);
}

void HidDeviceWatcher::remove(const QString& syspath)
{
    if (!m_present.remove(syspath))
        return;
    qCInfo(hidLog, "%s removed", qPrintable(syspath));
    emit deviceRemoved(syspath);
}

}  // namespace tavrel
