#pragma once
// Who an attached device is: its interface, which tells two devices apart whatever their serials say,
// and the strings it gives about itself.

#include <QString>

namespace tavrel {

struct DeviceIdentity {
    // The interface in sysfs; the kernel names it anew at every plug.
    QString syspath;
    quint32 instanceId = 0;
    // The USB interface by port path ("1-3:1.0"): the same for a device in that port across plugs.
    QString usbInterface;
    QString product;
    // Not unique: two devices may carry one serial, and other makers' devices share the ids.
    QString serial;

    // The id a user names the device by: the USB interface, or the interface's node name
    // ("hidraw3") without a USB parent.
    QString id() const { return usbInterface.isEmpty() ? syspath.section(QLatin1Char('/'), -1) : usbInterface; }
};

}  // namespace tavrel
