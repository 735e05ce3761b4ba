#pragma once
// Watches udev for devices of one subsystem (hidraw interfaces, input devices) coming and going,
// on the thread that makes it, and says of each event what happened to which device.

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
struct udev_monitor;

namespace tavrel::platform {

class UdevContext;

class HotplugMonitor : public QObject {
    Q_OBJECT
public:
    explicit HotplugMonitor(std::shared_ptr<UdevContext> context, QObject* parent = nullptr,
                            const char* subsystem = "hidraw");
    ~HotplugMonitor() override;

    // False when udev would not give a monitor: then no event is ever reported.
    bool isActive() const { return m_monitor != nullptr; }

signals:
    // One of these per udev event on a device of the subsystem, with the device's syspath.
    void deviceAdded(const QString& syspath);
    void deviceRemoved(const QString& syspath);
    // Any other event: its rules ran again, it was bound to a driver, it moved.
    void deviceChanged(const QString& syspath);

private:
    void receive();

    std::shared_ptr<UdevContext> m_context;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tavrel::platform
