#include "platform/inputnodes.h"

#include "platform/udevdevice.h"

namespace tavrel::platform {

std::optional<std::vector<InputNode>> inputNodesBeside(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr interface = udevDeviceAt(context, syspath);
    udev_device* usb = interface ? usbDeviceAbove(interface.get()) : nullptr;
    if (!usb)
        return std::vector<InputNode>{};

    // udev lists only what lies under the USB device.
    const UdevEnumeratePtr enumerate(udev_enumerate_new(context.handle()));
    if (!enumerate || udev_enumerate_add_match_parent(enumerate.get(), usb) < 0
        || udev_enumerate_add_match_subsystem(enumerate.get(), "input") < 0
        || udev_enumerate_add_match_sysname(enumerate.get(), "event*") < 0
        || udev_enumerate_scan_devices(enumerate.get()) < 0)
        return std::nullopt;
    std::vector<InputNode> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        const char* path = udev_list_entry_get_name(entry);
        const UdevDevicePtr device(path ? udev_device_new_from_syspath(context.handle(), path) : nullptr);
        if (!device)
            continue;
        if (const char* node = udev_device_get_devnode(device.get()))
            found.push_back({QString::fromUtf8(node), QString::fromUtf8(path)});
    }
    return found;
}

}  // namespace tavrel::platform
