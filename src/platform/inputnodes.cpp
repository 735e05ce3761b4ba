#include "platform/inputnodes.h"

#include "platform/udevcontext.h"

#include <libudev.h>
#include <memory>

namespace tavrel::platform {

namespace {

struct DeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using DevicePtr = std::unique_ptr<udev_device, DeviceUnref>;

struct EnumerateUnref {
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};

// The USB device's syspath; parents belong to their child and are not unreferenced.
QString usbDeviceOf(udev_device* device)
{
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    const char* path = usb ? udev_device_get_syspath(usb) : nullptr;
    return path ? QString::fromUtf8(path) : QString();
}

}  // namespace

std::optional<std::vector<InputNode>> inputNodesBeside(UdevContext& context, const QString& syspath)
{
    const DevicePtr interface(udev_device_new_from_syspath(context.handle(), syspath.toUtf8().constData()));
    if (!interface)
        return std::vector<InputNode>{};
    const QString usb = usbDeviceOf(interface.get());
    if (usb.isEmpty())
        return std::vector<InputNode>{};

    const std::unique_ptr<udev_enumerate, EnumerateUnref> enumerate(udev_enumerate_new(context.handle()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "input") < 0
        || udev_enumerate_add_match_sysname(enumerate.get(), "event*") < 0
        || udev_enumerate_scan_devices(enumerate.get()) < 0)
        return std::nullopt;
    std::vector<InputNode> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        const char* path = udev_list_entry_get_name(entry);
        const DevicePtr device(path ? udev_device_new_from_syspath(context.handle(), path) : nullptr);
        if (!device || usbDeviceOf(device.get()) != usb)
            continue;
        if (const char* node = udev_device_get_devnode(device.get()))
            found.push_back({QString::fromUtf8(node), QString::fromUtf8(path)});
    }
    return found;
}

}  // namespace tavrel::platform
