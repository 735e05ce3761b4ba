#pragma once
// Owning handles to libudev's devices and enumerations, for the platform units that ask udev.

#include "platform/udevcontext.h"

#include <QString>
#include <libudev.h>
#include <memory>
#include <optional>

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

// A HID device on USB as our devices are made: the HID device (bus 0003 when udev names one) hangs
// directly from an interface of a USB device. A HID device elsewhere (on Bluetooth, through uhid,
// made by a driver below another HID device) may sit under some USB device too, but that device
// is then a Bluetooth adapter or a receiver, not the device. Parents belong to their child.
struct UsbHidParents {
    udev_device* hid = nullptr;
    udev_device* interface = nullptr;  // devtype usb_interface
    udev_device* usb = nullptr;        // devtype usb_device
};

inline bool isA(udev_device* device, const char* subsystem, const char* devtype)
{
    const char* has = device ? udev_device_get_subsystem(device) : nullptr;
    const char* type = device ? udev_device_get_devtype(device) : nullptr;
    return has && qstrcmp(has, subsystem) == 0 && (!devtype || (type && qstrcmp(type, devtype) == 0));
}

// The parents of the HID device `hid`, or nullopt when it is not such a one.
inline std::optional<UsbHidParents> usbHidParents(udev_device* hid)
{
    if (!isA(hid, "hid", nullptr))
        return std::nullopt;
    if (const char* id = udev_device_get_property_value(hid, "HID_ID"); id && qstrncmp(id, "0003:", 5) != 0)
        return std::nullopt;
    udev_device* interface = udev_device_get_parent(hid);
    if (!isA(interface, "usb", "usb_interface"))
        return std::nullopt;
    udev_device* usb = udev_device_get_parent(interface);
    if (!isA(usb, "usb", "usb_device"))
        return std::nullopt;
    return UsbHidParents{hid, interface, usb};
}

// The same for a hidraw node, whose HID device is its parent.
inline std::optional<UsbHidParents> usbHidParentsOfHidraw(udev_device* hidraw)
{
    return hidraw ? usbHidParents(udev_device_get_parent(hidraw)) : std::nullopt;
}

}  // namespace tavrel::platform
