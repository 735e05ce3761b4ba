#pragma once
// What the enumeration learned about one HID interface.

#include <QString>
#include <memory>

namespace tavrel {

namespace platform {
class UdevContext;
}

class THidPnPInfo {
public:
    THidPnPInfo(quint32 instanceId, QString interfacePath, QString syspath,
                std::shared_ptr<platform::UdevContext> udev, QString usbInterface = {})
        : InstanceId(instanceId),
          InterfacePath(std::move(interfacePath)),
          SysPath(std::move(syspath)),
          Udev(std::move(udev)),
          UsbInterface(std::move(usbInterface))
    {
    }

    // The identity of the interface across scans.
    const quint32 InstanceId;
    // The device node it is opened by.
    const QString InterfacePath;
    // Where udev keeps its strings, ids and report descriptor.
    const QString SysPath;
    const std::shared_ptr<platform::UdevContext> Udev;
    // The USB interface it belongs to by port path ("1-3:1.0"); empty without a USB parent.
    const QString UsbInterface;
};

}  // namespace tavrel
