#include "platform/hidudevinfo.h"

#include "platform/udevcontext.h"
#include "platform/udevdevice.h"

#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <libudev.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace tavrel::platform {

namespace {

udev_device* hidParent(udev_device* device)
{
    return udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
}

std::optional<quint16> hexAttribute(udev_device* device, const char* name)
{
    const char* text = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    if (!text)
        return std::nullopt;
    bool ok = false;
    const uint value = QString::fromUtf8(text).trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return quint16(value);
}

std::optional<QString> textOf(const char* value)
{
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(value).trimmed();
}

std::optional<QString> stringOf(UdevContext& context, const QString& syspath, const char* usbAttribute,
                                const char* hidProperty)
{
    const UdevDevicePtr device = udevDeviceAt(context, syspath);
    if (!device)
        return std::nullopt;
    // The USB device of a HID device elsewhere is an adapter or a receiver: its strings are not
    // the device's.
    if (const auto parents = usbHidParentsOfHidraw(device.get()))
        return textOf(udev_device_get_sysattr_value(parents->usb, usbAttribute));
    if (udev_device* hid = hidParent(device.get())) {
        auto text = textOf(udev_device_get_property_value(hid, hidProperty));
        if (text && !text->isEmpty())
            return text;
    }
    return std::nullopt;
}

}  // namespace

std::optional<quint64> udevDeviceNumber(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr device = udevDeviceAt(context, syspath);
    const dev_t number = device ? udev_device_get_devnum(device.get()) : 0;
    if (number == 0)
        return std::nullopt;
    return quint64(number);
}

std::optional<HidIdentity> udevIdentity(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr device = udevDeviceAt(context, syspath);
    const auto parents = device ? usbHidParentsOfHidraw(device.get()) : std::nullopt;
    // Only a HID device right on a USB interface is one of our devices; the ids of the USB device
    // above any other are an adapter's or a receiver's.
    if (!parents)
        return std::nullopt;
    udev_device* usb = parents->usb;
    HidIdentity identity;
    identity.version = hexAttribute(usb, "bcdDevice").value_or(0);

    // HID_ID reads "bus:vendor:product" in hex, e.g. 0003:000016C0:000005E1.
    udev_device* hid = parents->hid;
    if (const char* id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr) {
        const QStringList parts = QString::fromUtf8(id).split(u':');
        bool vendorOk = false, productOk = false;
        if (parts.size() == 3) {
            const uint vendor = parts[1].toUInt(&vendorOk, 16);
            const uint product = parts[2].toUInt(&productOk, 16);
            if (vendorOk && productOk && vendor <= 0xFFFF && product <= 0xFFFF) {
                identity.vendorId = quint16(vendor);
                identity.productId = quint16(product);
                return identity;
            }
        }
    }
    const auto vendor = hexAttribute(usb, "idVendor");
    const auto product = hexAttribute(usb, "idProduct");
    if (!vendor || !product)
        return std::nullopt;
    identity.vendorId = *vendor;
    identity.productId = *product;
    return identity;
}

std::optional<QString> udevProductString(UdevContext& context, const QString& syspath)
{
    return stringOf(context, syspath, "product", "HID_NAME");
}

std::optional<QString> udevSerialString(UdevContext& context, const QString& syspath)
{
    return stringOf(context, syspath, "serial", "HID_UNIQ");
}

std::optional<QByteArray> sysfsReportDescriptor(UdevContext& context, const QString& syspath)
{
    const UdevDevicePtr device = udevDeviceAt(context, syspath);
    udev_device* hid = device ? hidParent(device.get()) : nullptr;
    const char* hidPath = hid ? udev_device_get_syspath(hid) : nullptr;
    if (!hidPath)
        return std::nullopt;
    const QByteArray file = QByteArray(hidPath) + "/report_descriptor";
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray descriptor;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            if (n < 0)
                return std::nullopt;
            break;
        }
        descriptor.append(chunk, n);
    }
    if (descriptor.isEmpty())
        return std::nullopt;
    return descriptor;
}

std::vector<quint16> languageIds()
{
    return {0x0409};
}

}  // namespace tavrel::platform
