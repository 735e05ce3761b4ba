#pragma once
// What udev and sysfs tell about a hidraw interface without opening its node, so that it also
// works for interfaces the user may not open.

#include "platform/hididentity.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace tavrel::platform {

class UdevContext;

// Vendor and product from the hid parent's HID_ID (or the USB parent's idVendor/idProduct), the
// version from the USB parent's bcdDevice (0 without one). nullopt when no ids are known, and for
// a HID device that is not on USB right on a USB interface (see usbHidParents).
std::optional<HidIdentity> udevIdentity(UdevContext& context, const QString& syspath);

// The USB parent's `product` and `serial`; HID_NAME and HID_UNIQ of the hid parent when it is
// not on USB right on a USB interface. nullopt when the interface has no such string.
std::optional<QString> udevProductString(UdevContext& context, const QString& syspath);
std::optional<QString> udevSerialString(UdevContext& context, const QString& syspath);

// The device number udev gives the interface's node (its devnum, as st_rdev holds it); nullopt
// when udev knows none.
std::optional<quint64> udevDeviceNumber(UdevContext& context, const QString& syspath);

// The hid parent's `report_descriptor` file.
std::optional<QByteArray> sysfsReportDescriptor(UdevContext& context, const QString& syspath);

// The language ids of string descriptor 0. hidraw cannot read that descriptor, so this is the
// one list the USB core itself asks strings in.
std::vector<quint16> languageIds();

}  // namespace tavrel::platform
