#pragma once
// Keeps one THidDevice for every HID interface present, rescans when udev reports a change,
// offers the devices to the window, hands them to holders that claim them, and passes the
// window's handlers on to the devices. Lives on the GUI thread; all its work runs there.

#include "hid/hidevents.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace tavrel {

namespace platform {
class HotplugMonitor;
class UdevContext;
}  // namespace platform

class THidDevice;

class THidDeviceController : public QObject {
    Q_OBJECT
public:
    // Uses the system's udev; without it the controller is inert: no scans, no events.
    explicit THidDeviceController(QObject* owner = nullptr);
    // With the given udev context, or inert when it is null.
    THidDeviceController(QObject* owner, std::shared_ptr<platform::UdevContext> udev);
    // Destroys the unclaimed devices; claimed ones are marked unplugged and stay with their holders.
    ~THidDeviceController() override;

    bool IsInert() const { return m_udev == nullptr; }

    // The rescan.
    void DeviceChange();
    // Offers every present device to OnEnumerate, in list order, until it returns false;
    // returns the number offered.
    int OfferDevices();
    // The holder owns a claimed device and releases it by deleting it.
    bool ClaimByIndex(THidDevice*& device, int index);
    bool ClaimFirst(THidDevice*& device, const std::function<bool(THidDevice*)>& filter);

    const std::vector<THidDevice*>& Devices() const { return m_devices; }

    // A device-change notification; -1 makes the scan report a change even if nothing changed.
    // Ignored during a scan, which then runs once more when it ends, and by an inert controller.
    void Notify(int param);
    bool ScanActive() const { return m_scanActive; }
    int LastChangeParam() const { return m_lastChangeParam; }

    // While loading, setting OnDeviceChange does not scan (the window sets its handlers so).
    void setLoading(bool loading) { m_loading = loading; }

    // How new devices look for reports (THidDevice::SetPollPeriod): 0, when the node says they
    // have come, unless the environment variable TAVREL_POLL_PERIOD_MS names a period, as it does
    // for programs run against emulated nodes. Setting it passes it on to the devices that carry
    // the previous one.
    int PollPeriod() const { return m_pollPeriod; }
    void setPollPeriod(int ms);
    QString Version() const { return QStringLiteral("1.0.35"); }
    void setVersion(const QString&) {}

    const THidPlugEvent& OnArrival() const { return m_onArrival; }
    void setOnArrival(const THidPlugEvent& handler) { m_onArrival = handler; }
    const THidEnumerateEvent& OnEnumerate() const { return m_onEnumerate; }
    void setOnEnumerate(const THidEnumerateEvent& handler) { m_onEnumerate = handler; }
    const TNotifyEvent& OnDeviceChange() const { return m_onDeviceChange; }
    void setOnDeviceChange(const TNotifyEvent& handler);
    const THidDataEvent& OnDeviceData() const { return m_onDeviceData; }
    void setOnDeviceData(const THidDataEvent& handler);
    const THidDataErrorEvent& OnDeviceDataError() const { return m_onDeviceDataError; }
    void setOnDeviceDataError(const THidDataErrorEvent& handler);
    const THidPlugEvent& OnDeviceUnplug() const { return m_onDeviceUnplug; }
    void setOnDeviceUnplug(const THidPlugEvent& handler);
    const THidPlugEvent& OnRemoval() const { return m_onRemoval; }
    void setOnRemoval(const THidPlugEvent& handler) { m_onRemoval = handler; }

    // How long after a node's failure the controller looks again whether its interface is
    // still there: at once after the first failure, then doubling with each failure in a row,
    // from 100 ms up to 5 s.
    static int rescanDelayMs(int failuresInARow);

signals:
    // A scan started by a notification could not list the interfaces.
    void scanFailed(const QString& message);

private:
    friend class THidDevice;
    void notifyFromEventLoop(int param);
    // A node failed: a scan settles whether its interface is still there.
    void deviceSeemsGone(THidDevice* device);
    class OfferScope;

    bool ClaimAt(int index, bool accept, THidDevice*& device);
    // Every interface present now; none when they cannot be listed.
    std::optional<std::vector<std::unique_ptr<THidDevice>>> freshDevices();
    // Devices paired with their lifetimes, for loops whose handlers may destroy devices.
    std::vector<std::pair<THidDevice*, std::weak_ptr<const bool>>> snapshot() const;

    // Used by a device's destruction.
    bool holds(const THidDevice* device) const;
    void replaceDevice(THidDevice* old, THidDevice* fresh);
    void removeDevice(THidDevice* device);

    std::shared_ptr<platform::UdevContext> m_udev;
    platform::HotplugMonitor* m_monitor = nullptr;
    std::vector<THidDevice*> m_devices;
    QTimer* m_rescan = nullptr;
    bool m_scanActive = false;
    bool m_missedNotification = false;
    bool m_destroying = false;
    bool m_loading = false;
    int m_lastChangeParam = 0;
    int m_pollPeriod = 0;

    THidPlugEvent m_onArrival;
    THidEnumerateEvent m_onEnumerate;
    TNotifyEvent m_onDeviceChange;
    THidDataEvent m_onDeviceData;
    THidDataErrorEvent m_onDeviceDataError;
    THidPlugEvent m_onDeviceUnplug;
    THidPlugEvent m_onRemoval;
};

}  // namespace tavrel
