#pragma once
// The hidraw interfaces of one kind of USB device, as udev lists them and as udev's events name
// them.

#include "platform/hididentity.h"

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
    HidIdentity identity;
};

// 32-bit FNV-1a of the syspath.
quint32 instanceIdFor(const QString& syspath);

// The hidraw interface at `syspath`, when it belongs to a HID device on USB right on a USB
// interface, udev names its node and the node exists. An interface of a HID device elsewhere
// (Bluetooth, uhid, below another HID device), or whose ids cannot be read, is none.
std::optional<HidInterface> hidInterfaceAt(UdevContext& context, const QString& syspath);

// Every such interface of the HID devices on USB (bus 0003) with these ids, in udev's order:
// udev matches the ids, so that no other device of the machine is looked at. nullopt when udev
// cannot list them.
std::optional<std::vector<HidInterface>> enumerateHidInterfaces(UdevContext& context, quint16 vendorId,
                                                                quint16 productId);

}  // namespace tavrel::platform
