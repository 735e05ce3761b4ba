#pragma once
// One HID interface found by the controller: its identity, strings and report lengths, output
// reports, and, while claimed with a data handler, its input reports. Lives on the GUI thread:
// reports are read there as the event loop says they have come; only opening, writing and closing
// the node run elsewhere (HidNodeIo says why).

#include "hid/hidevents.h"
#include "hid/hidinterfaceinfo.h"
#include "platform/hididentity.h"
#include "platform/ioresult.h"
#include "platform/reportdescriptor.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace tavrel {

class HidDeviceController;
class HidNodeIo;

// Report lengths count the report-ID byte; all zero when the descriptor is not known.
struct HidReportCapabilities {
    quint16 usage = 0;
    quint16 usagePage = 0;
    quint16 inputReportLength = 0;
    quint16 outputReportLength = 0;
    quint16 featureReportLength = 0;
};

class HidDevice {
public:
    static constexpr int MaxPollPeriod = 10000;

    // Learns the interface's identity from udev without opening its node, which is opened only
    // once the device is claimed with a data handler, or when it is written. Null, with the
    // reason in `error`, when the node does not exist or the interface cannot be identified.
    // Takes the controller's data, data-error and unplug handlers and its poll period.
    static std::unique_ptr<HidDevice> create(std::unique_ptr<HidInterfaceInfo> info, HidDeviceController* controller,
                                             QString* error = nullptr);
    // Releases the device without waiting for its node: while the interface is present, a fresh
    // unclaimed object takes its slot in the controller's list.
    ~HidDevice();
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    quint16 vendorId() const { return m_identity.vendorId; }
    quint16 productId() const { return m_identity.productId; }
    quint16 version() const { return m_identity.version; }
    const HidInterfaceInfo& interfaceInfo() const { return *m_info; }

    // These ask udev and sysfs while the device is usable, and cache what they learn.
    HidReportCapabilities reportCapabilities();
    QString productText();
    QString serialText();

    // Queues one report (report ID first) for the node; `done` runs later on the GUI thread with
    // the result, in order of queueing, unless the device object is destroyed first (then never).
    // NoDevice while the device is neither claimed nor offered, Gone once it is unplugged.
    void writeReport(QByteArray report, std::function<void(const IoResult&)> done);

    // A data handler on a claimed device makes it read its node; an empty one stops the reading.
    void setReportHandler(const HidReportHandler& handler);
    const HidReportHandler& reportHandler() const { return m_reportHandler; }
    void setReadErrorHandler(const HidReadErrorHandler& handler) { m_readErrorHandler = handler; }
    const HidReadErrorHandler& readErrorHandler() const { return m_readErrorHandler; }
    void setUnplugHandler(const HidPlugHandler& handler) { m_unplugHandler = handler; }
    const HidPlugHandler& unplugHandler() const { return m_unplugHandler; }

    // 0: reports are read when the node says they have come. 1 to 10000: also look for reports
    // after every such period, for emulated nodes that never say so. Other values are ignored.
    void setPollPeriod(int ms);
    int pollPeriod() const { return m_pollPeriod; }
    // The node is open and its reports are read.
    bool isReading() const;

    // The interface is gone: the node is closed, isPresent cleared, and the unplug handler called
    // and cleared. Writes are answered Gone.
    void markUnplugged();

    bool isPresent() const { return m_present; }
    bool isClaimed() const { return m_claimed; }
    bool isOffered() const { return m_offered; }
    bool isUsable() const { return m_present && (m_claimed || m_offered); }
    // Whether this user may open the node for reading and writing: asked of the file's access
    // rights at first, then learned from each opening.
    bool canReadWrite() const { return m_canReadWrite; }
    HidDeviceController* controller() const { return m_owner; }
    // Why the last opening, read or write failed.
    QString lastError() const { return m_lastError; }

    // Expires when the object is destroyed: callers that run handlers check it afterwards.
    std::weak_ptr<const bool> lifetime() const { return m_alive; }

private:
    friend class HidDeviceController;

    enum class Node { Closed, Opening, Open, Failed, Gone };

    HidDevice(std::unique_ptr<HidInterfaceInfo> info, HidDeviceController* controller);
    // Opens the node and reads it, when the device is claimed and has a data handler.
    void startReading();
    void stopReading();
    void openNode();
    void nodeOpened(const IoResult& result);
    void readAvailable();
    // A read or write failed: the node is closed and waits for a scan to say whether the
    // interface is still there.
    void nodeFailed(const IoResult& result);
    // A scan found the interface still there: a node that failed opens again.
    void nodeSettled();
    // Nothing is to use the node any more.
    void closeNode();
    HidNodeIo& io();
    void noteFailure(const IoResult& result);
    void deliverReport(const quint8* bytes, int size);

    HidDeviceController* m_owner = nullptr;
    bool m_present = true;
    bool m_claimed = false;
    bool m_offered = false;
    bool m_canReadWrite = false;
    platform::HidIdentity m_identity;
    std::unique_ptr<HidInterfaceInfo> m_info;
    QString m_productText;
    QString m_serialText;
    std::optional<platform::ReportLengths> m_parsedDescriptor;
    int m_pollPeriod = 0;
    HidReportHandler m_reportHandler;
    HidReadErrorHandler m_readErrorHandler;
    HidPlugHandler m_unplugHandler;
    QString m_lastError;

    Node m_node = Node::Closed;
    // Failures of the node in a row, for how long the controller waits before it looks again.
    int m_failures = 0;
    quint64 m_openRequests = 0;
    std::unique_ptr<HidNodeIo> m_io;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QTimer> m_pollTimer;
    std::vector<quint8> m_reportBuffer;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace tavrel
