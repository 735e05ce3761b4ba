#pragma once
// The input event devices (/dev/input/eventN) that belong to the same USB device as a hidraw
// interface: a key's keyboard and mouse interfaces, through which its presses reach the computer.

#include <QString>
#include <optional>
#include <vector>

namespace tavrel::platform {

class UdevContext;

struct InputNode {
    QString devnode;  // /dev/input/eventN
    QString syspath;
};

// The event devices under the USB device (devtype usb_device) that the interface at `syspath`
// belongs to, in udev's order; none without a USB parent or an event device with a node. nullopt
// when udev cannot list them.
std::optional<std::vector<InputNode>> inputNodesBeside(UdevContext& context, const QString& syspath);

}  // namespace tavrel::platform
