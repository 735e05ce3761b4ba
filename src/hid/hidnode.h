#pragma once
// The device node of one interface as its device, reader and writer share it. Every opening goes
// through here, so that a node name that has passed to another device is never used, and so
// that after a failure nothing opens the node again until a scan has said whether the interface
// is still there. Safe from any thread.

#include "platform/hidrawdevice.h"
#include "platform/ioresult.h"

#include <QString>
#include <mutex>
#include <optional>

namespace tavrel {

class THidNode {
public:
    // udevNumber: the device number udev gave the node when the scan found the interface.
    explicit THidNode(QString devnode, std::optional<quint64> udevNumber = std::nullopt)
        : m_path(std::move(devnode)), m_udevNumber(udevNumber) {}
    THidNode(const THidNode&) = delete;
    THidNode& operator=(const THidNode&) = delete;

    const QString& path() const { return m_path; }

    // Opens the node into handle unless it is gone or waits for a scan. A node that is not the
    // one the first opening found, or at the first opening not the device udev numbered, belongs
    // to another device: ours counts as gone from then on.
    // Any failure to open also makes the node wait for a scan.
    IoResult open(platform::HidrawDevice& handle, platform::HidrawDevice::Mode mode,
                  platform::HidrawDevice::Wait wait);
    // A read or write on the node failed: no opening until settle().
    void suspend();
    // A scan found the interface still there: openings may go on.
    void settle();
    // The interface is gone for good.
    void markGone();

    bool gone() const;
    bool suspended() const;

private:
    const QString m_path;
    const std::optional<quint64> m_udevNumber;
    mutable std::mutex m_mutex;
    bool m_gone = false;
    bool m_suspended = false;
    std::optional<platform::HidrawDevice::NodeId> m_first;
};

}  // namespace tavrel
