#pragma once
// The device session: the attached devices, without widgets. It holds one model per attached
// device (AttachedDevice) in a stable order as devices come and go, the write history, the notice
// board shared with the user's other Tavrel programs, and the report log. The windows and the
// command line work with the devices it lists; what the window edits is DeviceEditor's.

#include "config/boundedlog.h"
#include "config/configio.h"
#include "config/reportlog.h"
#include "session/attacheddevice.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

namespace tavrel {

class DeviceNoticeBoard;
class HidDeviceWatcher;
class WriteHistory;

namespace platform {
class HotplugMonitor;
class UdevContext;
struct HidInterface;
}  // namespace platform

class DeviceSession : public QObject, private ReportLog {
    Q_OBJECT
public:
    // With the system's udev.
    explicit DeviceSession(QObject* parent = nullptr);
    // With the given udev context; inert (no devices ever) when it is null.
    DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent);
    ~DeviceSession() override;

    // Starts watching for devices: the first listing runs once the event loop does.
    void start();
    // Without udev no device is ever found.
    bool isInert() const;
    // The first listing has run: devices() lists what is attached.
    bool scanned() const { return m_scanned; }

    // --- the attached devices
    // In the order they were found; a device keeps its place while it stays plugged in.
    const std::vector<AttachedDevice*>& devices() const { return m_devices; }
    int indexOf(const AttachedDevice* device) const;

    // --- what a device sends through its keyboard and mouse interfaces (the key tester)
    // Reads what `device` sends from now on, until it goes or `on` is false; it announces each
    // press and release (AttachedDevice::inputReceived).
    void watchInput(AttachedDevice* device, bool on = true);

    // --- the write history of every device (session/writehistory.h)
    WriteHistory* history() const { return m_history; }

    // --- the report log of every device: its latest lines, oldest first, and how many older ones
    // made room for them
    QStringList log() const { return m_log.lines(); }
    quint64 logDropped() const { return m_log.dropped(); }

signals:
    // The list of devices changed (a device found or gone). A device that went has ended what it
    // was doing, and is deleted once the event loop runs.
    void devicesChanged();
    void logAppended(const QString& line);
    // A device was found that this user may not open for writing (once per interface).
    void accessDenied(const QString& itemText);
    // A failure to show: the interfaces could not be listed.
    void failed(const QString& message);

private:
    // ReportLog
    void append(const QString& line) override;

    void addDevice(const platform::HidInterface& info);
    // The interface at `syspath` went: its device's node says so, and the device goes.
    void removeDevice(const QString& syspath);
    // What the device was doing ends, and says so, before it goes.
    void dropDevice(AttachedDevice* device);
    // After devices came or went: the selection, the access warning, devicesChanged.
    void settleDevices();

    HidDeviceWatcher* m_watcher = nullptr;
    WriteHistory* m_history = nullptr;
    // Writes shared with the user's other Tavrel programs; opened when the first device is found.
    DeviceNoticeBoard* m_noticeBoard = nullptr;
    std::vector<AttachedDevice*> m_devices;
    bool m_scanned = false;
    QSet<quint32> m_accessWarned;

    BoundedLog m_log;

    // Input devices come and go apart from the hidraw interfaces: watched devices look again when
    // udev says so, once for a burst of such changes.
    platform::HotplugMonitor* m_inputMonitor = nullptr;
    QTimer* m_refindInput = nullptr;
};

}  // namespace tavrel
