#pragma once
// The input event devices (/dev/input/eventN) that belong to the same USB device as a hidraw
// interface: a device's keyboard and mouse interfaces, through which its presses reach the computer.

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace tavrel::platform {

class UdevContext;

struct InputNode {
    QString devnode;  // /dev/input/eventN
    QString syspath;
    // The node's device number as udev gives it (as st_rdev holds it); 0 when udev knows none.
    quint64 deviceNumber = 0;
};

// The event devices whose HID device is an interface of the USB device that the device's hidraw
// interface at `syspath` belongs to (both right on a USB interface, see usbHidParents), in
// udev's order. Nothing else under that USB device counts: behind a hub or a pass-through port,
// or below a Bluetooth adapter, are other devices' keyboards. None when the interface is not on
// USB or no such event device has a node. nullopt when udev cannot list them.
std::optional<std::vector<InputNode>> inputNodesBeside(UdevContext& context, const QString& syspath);

}  // namespace tavrel::platform
