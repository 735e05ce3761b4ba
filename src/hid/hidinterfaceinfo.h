#pragma once
// What the enumeration learned about one HID interface.

#include <QString>
#include <memory>

namespace tavrel {

namespace platform {
class UdevContext;
}

class HidInterfaceInfo {
public:
    HidInterfaceInfo(quint32 instanceId, QString interfacePath, QString sysPath,
                     std::shared_ptr<platform::UdevContext> udev, QString usbInterface = {})
        : instanceId(instanceId), interfacePath(std::move(interfacePath)), sysPath(std::move(sysPath)),
          udev(std::move(udev)), usbInterface(std::move(usbInterface))
    {
    }

    // The identity of the interface across scans.
    const quint32 instanceId;
    // The device node it is opened by.
    const QString interfacePath;
    // Where udev keeps its strings, ids and report descriptor.
    const QString sysPath;
    const std::shared_ptr<platform::UdevContext> udev;
    // The USB interface it belongs to by port path ("1-3:1.0"); empty without a USB parent.
    const QString usbInterface;
};

}  // namespace tavrel
