#include "platform/hidenumerator.h"

#include "platform/hidrawdevice.h"
#include "platform/hidudevinfo.h"
#include "platform/udevcontext.h"
#include "platform/udevdevice.h"

#include <libudev.h>

namespace tavrel::platform {

quint32 instanceIdFor(const QString& syspath)
{
    quint32 hash = 2166136261u;
    const QByteArray utf8 = syspath.toUtf8();
    for (const char c : utf8) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return hash;
}

std::optional<HidInterface> hidInterfaceAt(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr device = udevDeviceAt(context, syspath);
    if (!device || !isA(device.get(), "hidraw", nullptr))
        return std::nullopt;
    const char* node = udev_device_get_devnode(device.get());
    const auto parents = usbHidParentsOfHidraw(device.get());
    // A node that udev names but that is not there any more went with its device.
    if (!node || !parents || !HidrawDevice::nodeExists(QString::fromUtf8(node)))
        return std::nullopt;
    const auto identity = udevIdentity(context, syspath);
    if (!identity)
        return std::nullopt;
    return HidInterface{QString::fromUtf8(node), syspath, instanceIdFor(syspath),
                        QString::fromUtf8(udev_device_get_sysname(parents->interface)), *identity};
}

std::optional<std::vector<HidInterface>> enumerateHidInterfaces(UdevContext& context, quint16 vendorId,
                                                                quint16 productId)
{
    // The kernel writes HID_ID as "bus:vendor:product" in upper-case hex, e.g. 0003:000016C0:000005E1.
    const QByteArray hidId = QStringLiteral("0003:%1:%2")
                                 .arg(vendorId, 8, 16, QLatin1Char('0'))
                                 .arg(productId, 8, 16, QLatin1Char('0'))
                                 .toUpper()
                                 .toLatin1();
    const UdevEnumeratePtr hidDevices(udev_enumerate_new(context.handle()));
    if (!hidDevices || udev_enumerate_add_match_subsystem(hidDevices.get(), "hid") < 0
        || udev_enumerate_add_match_property(hidDevices.get(), "HID_ID", hidId.constData()) < 0
        || udev_enumerate_scan_devices(hidDevices.get()) < 0)
        return std::nullopt;

    std::vector<HidInterface> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(hidDevices.get()))
    {
        const UdevDevicePtr hid(udev_device_new_from_syspath(context.handle(), udev_list_entry_get_name(entry)));
        const UdevEnumeratePtr nodes(hid ? udev_enumerate_new(context.handle()) : nullptr);
        if (!nodes || udev_enumerate_add_match_parent(nodes.get(), hid.get()) < 0
            || udev_enumerate_add_match_subsystem(nodes.get(), "hidraw") < 0
            || udev_enumerate_scan_devices(nodes.get()) < 0)
            continue;
        udev_list_entry* node = nullptr;
        udev_list_entry_foreach(node, udev_enumerate_get_list_entry(nodes.get()))
        {
            if (auto interface = hidInterfaceAt(context, QString::fromUtf8(udev_list_entry_get_name(node))))
                found.push_back(std::move(*interface));
        }
    }
    return found;
}

}  // namespace tavrel::platform
