#pragma once
// Keeps one HidDevice for every HID interface present, rescans when udev reports a change,
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

class HidDevice;

class HidDeviceController : public QObject {
    Q_OBJECT
public:
    // Uses the system's udev; without it the controller is inert: no scans, no events.
    explicit HidDeviceController(QObject* owner = nullptr);
    // With the given udev context, or inert when it is null.
    HidDeviceController(QObject* owner, std::shared_ptr<platform::UdevContext> udev);
    // Destroys the unclaimed devices; claimed ones are marked unplugged and stay with their holders.
    ~HidDeviceController() override;

    bool isInert() const { return m_udev == nullptr; }

    // Lists the interfaces again: a gone one is removed (removal handler), a new one is added
    // (arrival handler), and the change handler runs when the list changed.
    void rescan();
    // Offers every present device to offerHandler, in list order, until it returns false;
    // returns the number offered.
    int offerDevices();
    // The holder owns a claimed device and releases it by deleting it.
    bool claimByIndex(HidDevice*& device, int index);
    bool claimFirst(HidDevice*& device, const std::function<bool(HidDevice*)>& filter);

    const std::vector<HidDevice*>& devices() const { return m_devices; }

    // A device-change notification; -1 makes the scan report a change even if nothing changed.
    // Ignored during a scan, which then runs once more when it ends, and by an inert controller.
    void notifyChange(int param);
    bool isScanning() const { return m_scanning; }
    int lastChangeParam() const { return m_lastChangeParam; }

    // Setting the change handler scans at once, unless scans are deferred: then the next
    // notification scans (the session sets its handlers so).
    void setScanDeferred(bool deferred) { m_scanDeferred = deferred; }

    // How new devices look for reports (HidDevice::setPollPeriod): 0, when the node says they
    // have come, unless the environment variable TAVREL_POLL_PERIOD_MS names a period, as it does
    // for programs run against emulated nodes. Setting it passes it on to the devices that carry
    // the previous one.
    int pollPeriod() const { return m_pollPeriod; }
    void setPollPeriod(int ms);

    const HidPlugHandler& arrivalHandler() const { return m_arrivalHandler; }
    void setArrivalHandler(const HidPlugHandler& handler) { m_arrivalHandler = handler; }
    const HidOfferHandler& offerHandler() const { return m_offerHandler; }
    void setOfferHandler(const HidOfferHandler& handler) { m_offerHandler = handler; }
    const HidChangeHandler& changeHandler() const { return m_changeHandler; }
    void setChangeHandler(const HidChangeHandler& handler);
    const HidReportHandler& reportHandler() const { return m_reportHandler; }
    void setReportHandler(const HidReportHandler& handler);
    const HidReadErrorHandler& readErrorHandler() const { return m_readErrorHandler; }
    void setReadErrorHandler(const HidReadErrorHandler& handler);
    const HidPlugHandler& unplugHandler() const { return m_unplugHandler; }
    void setUnplugHandler(const HidPlugHandler& handler);
    const HidPlugHandler& removalHandler() const { return m_removalHandler; }
    void setRemovalHandler(const HidPlugHandler& handler) { m_removalHandler = handler; }

    // How long after a node's failure the controller looks again whether its interface is
    // still there: at once after the first failure, then doubling with each failure in a row,
    // from 100 ms up to 5 s.
    static int rescanDelayMs(int failuresInARow);

signals:
    // A scan started by a notification could not list the interfaces.
    void scanFailed(const QString& message);

private:
    friend class HidDevice;
    // A node failed: a scan settles whether its interface is still there.
    void deviceSeemsGone(HidDevice* device);
    class OfferScope;

    bool claimAt(int index, bool accept, HidDevice*& device);
    // Every interface present now; none when they cannot be listed.
    std::optional<std::vector<std::unique_ptr<HidDevice>>> freshDevices();
    // Devices paired with their lifetimes, for loops whose handlers may destroy devices.
    std::vector<std::pair<HidDevice*, std::weak_ptr<const bool>>> snapshot() const;

    // Used by a device's destruction.
    bool holds(const HidDevice* device) const;
    void replaceDevice(HidDevice* old, HidDevice* fresh);
    void removeDevice(HidDevice* device);

    std::shared_ptr<platform::UdevContext> m_udev;
    platform::HotplugMonitor* m_monitor = nullptr;
    std::vector<HidDevice*> m_devices;
    QTimer* m_rescan = nullptr;
    bool m_scanning = false;
    bool m_missedNotification = false;
    bool m_destroying = false;
    bool m_scanDeferred = false;
    int m_lastChangeParam = 0;
    int m_pollPeriod = 0;

    HidPlugHandler m_arrivalHandler;
    HidOfferHandler m_offerHandler;
    HidChangeHandler m_changeHandler;
    HidReportHandler m_reportHandler;
    HidReadErrorHandler m_readErrorHandler;
    HidPlugHandler m_unplugHandler;
    HidPlugHandler m_removalHandler;
};

}  // namespace tavrel
