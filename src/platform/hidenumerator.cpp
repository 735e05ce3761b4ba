#include "platform/hidenumerator.h"

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

std::optional<std::vector<HidInterface>> enumerateHidInterfaces(UdevContext& context)
{
    udev_enumerate* enumerate = udev_enumerate_new(context.handle());
    if (!enumerate)
        return std::nullopt;
    if (udev_enumerate_add_match_subsystem(enumerate, "hidraw") < 0 || udev_enumerate_scan_devices(enumerate) < 0) {
        udev_enumerate_unref(enumerate);
        return std::nullopt;
    }

    std::vector<HidInterface> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
    {
        const char* syspath = udev_list_entry_get_name(entry);
        udev_device* device = syspath ? udev_device_new_from_syspath(context.handle(), syspath) : nullptr;
        if (!device)
            continue;
        const char* node = udev_device_get_devnode(device);
        // Only a HID device right on a USB interface can be a key.
        if (const auto parents = usbHidParentsOfHidraw(device); node && parents) {
            const QString path = QString::fromUtf8(syspath);
            found.push_back({QString::fromUtf8(node), path, instanceIdFor(path),
                             QString::fromUtf8(udev_device_get_sysname(parents->interface))});
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return found;
}

}  // namespace tavrel::platform
