#include "platform/inputnodes.h"

#include "platform/udevdevice.h"

namespace tavrel::platform {

namespace {

// Whether the event device hangs from a HID device right on an interface of the USB device at
// `usbPath`: event device, input device, HID device, interface, USB device.
bool isInterfaceOf(udev_device* event, const char* usbPath)
{
    udev_device* input = udev_device_get_parent(event);
    if (!isA(input, "input", nullptr))
        return false;
    const auto parents = usbHidParents(udev_device_get_parent(input));
    const char* path = parents ? udev_device_get_syspath(parents->usb) : nullptr;
    return path && qstrcmp(path, usbPath) == 0;
}

}  // namespace

std::optional<std::vector<InputNode>> inputNodesBeside(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr interface = udevDeviceAt(context, syspath);
    const auto parents = interface ? usbHidParentsOfHidraw(interface.get()) : std::nullopt;
    if (!parents)
        return std::vector<InputNode>{};
    const char* usbPath = udev_device_get_syspath(parents->usb);

    // udev lists what lies under the USB device; that is more than its own interfaces.
    const UdevEnumeratePtr enumerate(udev_enumerate_new(context.handle()));
    if (!enumerate || !usbPath || udev_enumerate_add_match_parent(enumerate.get(), parents->usb) < 0
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
        if (!device || !isInterfaceOf(device.get(), usbPath))
            continue;
        if (const char* node = udev_device_get_devnode(device.get()))
            found.push_back(
                {QString::fromUtf8(node), QString::fromUtf8(path), quint64(udev_device_get_devnum(device.get()))});
    }
    return found;
}

}  // namespace tavrel::platform
