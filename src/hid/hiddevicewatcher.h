#pragma once
// Finds the hidraw interfaces of one kind of USB device: lists them once, then follows udev's
// events, each of which says which interface was added or removed. Lives on the GUI thread.

#include "platform/hidenumerator.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

namespace tavrel {

namespace platform {
class HotplugMonitor;
class UdevContext;
}  // namespace platform

class HidDeviceWatcher : public QObject {
    Q_OBJECT
public:
    // Watches the interfaces of HID devices on USB with these ids, through the given udev context;
    // without one it is inert: it never finds anything.
    HidDeviceWatcher(std::shared_ptr<platform::UdevContext> udev, quint16 vendorId, quint16 productId,
                     QObject* parent = nullptr);
    ~HidDeviceWatcher() override;

    bool isInert() const { return m_udev == nullptr; }
    const std::shared_ptr<platform::UdevContext>& udev() const { return m_udev; }

    // Listens to udev at once, and lists the interfaces present once the event loop runs: each is
    // announced once, whether the listing or an event finds it first.
    void start();

signals:
    void deviceAdded(const tavrel::platform::HidInterface& info);
    // An interface announced before is gone.
    void deviceRemoved(const QString& syspath);
    // The first listing was announced, device by device.
    void listed();
    void listFailed(const QString& message);

private:
    void list();
    void add(const platform::HidInterface& info);
    void addAt(const QString& syspath);
    void remove(const QString& syspath);

    std::shared_ptr<platform::UdevContext> m_udev;
    const quint16 m_vendorId;
    const quint16 m_productId;
    platform::HotplugMonitor* m_monitor = nullptr;
    // The syspaths of the interfaces announced and not gone.
    QSet<QString> m_present;
};

}  // namespace tavrel
