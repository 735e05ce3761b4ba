#pragma once
// The snapshot of present hidraw interfaces, taken from udev.

#include <QString>
#include <optional>
#include <vector>

namespace tavrel::platform {

class UdevContext;

struct HidInterface {
    QString devnode;  // /dev/hidrawN, the path the interface is opened by
    QString syspath;
    // Stays the same while the interface stays plugged in: it is derived from the syspath,
    // which the kernel gives a fresh number on every plug.
    quint32 instanceId = 0;
    // The USB interface it belongs to, named by its port path ("1-3:1.0"), the same in that port
    // across plugs.
    QString usbInterface;
};

// 32-bit FNV-1a of the syspath.
quint32 instanceIdFor(const QString& syspath);

// Every hidraw interface udev knows of a HID device on USB, right on a USB interface, in udev's
// order. An interface of a HID device elsewhere (Bluetooth, uhid, below another HID device),
// without a device node, or whose udev record cannot be read is left out. nullopt when the snapshot cannot be taken.
std::optional<std::vector<HidInterface>> enumerateHidInterfaces(UdevContext& context);

}  // namespace tavrel::platform
