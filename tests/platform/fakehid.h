#pragma once
// umockdev descriptions of HID interfaces for tests that need odd ones the emulator does not
// make: no device node, no USB parent, no ids.

#include <QString>
#include <QStringList>

namespace tavrel::test {

// A USB device with its interface, hid device and hidraw node; fields left empty are left out.
struct FakeHid {
    // umockdev keeps a node's name taken for the whole run, so every interface a test program
    // adds gets a fresh node number and port.
    static FakeHid fresh()
    {
        static int next = 0;
        FakeHid hid;
        hid.minor = next++;
        hid.port = QStringLiteral("1-%1").arg(hid.minor + 1);
        return hid;
    }

    QString port = QStringLiteral("1-1");
    int minor = 0;
    QString usbVendor = QStringLiteral("16c0");
    QString usbProduct = QStringLiteral("05e1");
    QString bcdDevice = QStringLiteral("0102");
    QString product = QStringLiteral("Programmable Key");
    QString serial = QStringLiteral("301234567890");
    QString hidId = QStringLiteral("0003:000016C0:000005E1");
    QString hidName = QStringLiteral("Maker Programmable Key");
    QString hidUniq;
    QString descriptorHex = QStringLiteral("0600FF0901A10185010902750895078102C0");
    bool withUsbParent = true;
    // The hid device hangs below a Bluetooth adapter on the USB interface, not right on it.
    bool belowAdapter = false;
    bool withNode = true;
    // Without a node: udev still names one.
    bool devname = false;
    int major = 0;  // the node's device number as udev gives it, major:minor; 0 gives none

    QString hidPath() const
    {
        if (belowAdapter)
            return adapterPath() + QStringLiteral("/hci0:256/0005:16C0:05E1.%1").arg(minor + 1, 4, 10, QChar(u'0'));
        return withUsbParent ? QStringLiteral("/sys/devices/usb1/%1/%1:1.0/0003:16C0:05E1.%2")
                                   .arg(port)
                                   .arg(minor + 1, 4, 10, QChar(u'0'))
                             : QStringLiteral("/sys/devices/virtual/misc/uhid/0005:046D:B012.%1")
                                   .arg(minor + 1, 4, 10, QChar(u'0'));
    }
    QString adapterPath() const { return QStringLiteral("/sys/devices/usb1/%1/%1:1.0/bluetooth/hci0").arg(port); }
    QString syspath() const { return hidPath() + QStringLiteral("/hidraw/hidraw%1").arg(minor); }

    QString describe() const
    {
        QStringList s;
        if (withUsbParent) {
            s << QStringLiteral("P: /devices/usb1/%1").arg(port) << QStringLiteral("E: SUBSYSTEM=usb")
              << QStringLiteral("E: DEVTYPE=usb_device");
            if (!usbVendor.isEmpty())
                s << QStringLiteral("A: idVendor=") + usbVendor << QStringLiteral("A: idProduct=") + usbProduct;
            if (!bcdDevice.isEmpty())
                s << QStringLiteral("A: bcdDevice=") + bcdDevice;
            if (!product.isEmpty())
                s << QStringLiteral("A: product=") + product;
            if (!serial.isEmpty())
                s << QStringLiteral("A: serial=") + serial;
            s << QString() << QStringLiteral("P: /devices/usb1/%1/%1:1.0").arg(port)
              << QStringLiteral("E: SUBSYSTEM=usb") << QStringLiteral("E: DEVTYPE=usb_interface") << QString();
        }
        if (belowAdapter)
            s << QStringLiteral("P: ") + adapterPath().mid(4) << QStringLiteral("E: SUBSYSTEM=bluetooth")
              << QStringLiteral("E: DEVTYPE=host") << QString()
              << QStringLiteral("P: %1/hci0:256").arg(adapterPath().mid(4)) << QStringLiteral("E: SUBSYSTEM=bluetooth")
              << QStringLiteral("E: DEVTYPE=link") << QString();
        s << QStringLiteral("P: ") + hidPath().mid(4) << QStringLiteral("E: SUBSYSTEM=hid");
        if (!hidId.isEmpty())
            s << QStringLiteral("E: HID_ID=") + hidId;
        if (!hidName.isEmpty())
            s << QStringLiteral("E: HID_NAME=") + hidName;
        if (!hidUniq.isEmpty())
            s << QStringLiteral("E: HID_UNIQ=") + hidUniq;
        if (!descriptorHex.isEmpty())
            s << QStringLiteral("H: report_descriptor=") + descriptorHex;
        s << QString() << QStringLiteral("P: ") + syspath().mid(4);
        if (withNode)
            s << QStringLiteral("N: hidraw%1").arg(minor);
        if (withNode || devname)
            s << QStringLiteral("E: DEVNAME=/dev/hidraw%1").arg(minor);
        if (major != 0)
            s << QStringLiteral("E: MAJOR=%1").arg(major) << QStringLiteral("E: MINOR=%1").arg(minor)
              << QStringLiteral("A: dev=%1:%2").arg(major).arg(minor);
        s << QStringLiteral("E: SUBSYSTEM=hidraw") << QString();
        return s.join(u'\n');
    }
};

}  // namespace tavrel::test
