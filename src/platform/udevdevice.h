#pragma once
// Owning handles to libudev's devices and enumerations, for the platform units that ask udev.

#include "platform/udevcontext.h"

#include <QString>
#include <libudev.h>
#include <memory>

namespace tavrel::platform {

struct UdevDeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeviceUnref>;

struct UdevEnumerateUnref {
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevEnumerateUnref>;

inline UdevDevicePtr udevDeviceAt(UdevContext& context, const QString& syspath)
{
    return UdevDevicePtr(udev_device_new_from_syspath(context.handle(), syspath.toUtf8().constData()));
}

// The USB device (devtype usb_device) above `device`. Parents belong to their child and are not
// unreferenced.
inline udev_device* usbDeviceAbove(udev_device* device)
{
    return udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
}

}  // namespace tavrel::platform
