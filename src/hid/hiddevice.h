#pragma once
// One hidraw interface of a device, owned by the device's model: its strings and report lengths,
// its node's input reports as a signal, and its output reports. Lives on the GUI thread: reports
// are read there as the event loop says they have come; only opening, writing and closing the
// node run elsewhere (HidNodeIo says why).

#include "platform/hidenumerator.h"
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

namespace platform {
class UdevContext;
}

class HidNodeIo;

// Report lengths count the report-ID byte; all zero when the descriptor is not known.
struct HidReportCapabilities {
    quint16 usage = 0;
    quint16 usagePage = 0;
    quint16 inputReportLength = 0;
    quint16 outputReportLength = 0;
    quint16 featureReportLength = 0;
};

class HidDevice : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxPollPeriod = 10000;

    // Opens nothing yet: the node opens with start() or the first write. Reports are looked for
    // after every period TAVREL_POLL_PERIOD_MS names, when the environment names one, as it does
    // for programs run against emulated nodes that never say a report came.
    HidDevice(platform::HidInterface info, std::shared_ptr<platform::UdevContext> udev, QObject* parent = nullptr);
    // Closes the node without waiting for it: writes still queued go out, and nobody hears of them.
    ~HidDevice() override;

    const platform::HidInterface& info() const { return m_info; }
    const std::shared_ptr<platform::UdevContext>& udev() const { return m_udev; }

    // These ask udev and sysfs while the interface is present, and keep what they learn.
    HidReportCapabilities reportCapabilities();
    QString productText();
    QString serialText();

    // Opens the node and reads its reports, when this user may open it.
    void start();
    // The node is open and its reports are read.
    bool isReading() const;
    // 0: reports are read when the node says they have come. 1 to 10000: also look for reports
    // after every such period. Other values are ignored.
    void setPollPeriod(int ms);
    int pollPeriod() const { return m_pollPeriod; }

    // Queues one report (report ID first) for the node; `done` runs later on the GUI thread with
    // the result, in order of queueing, unless this object is destroyed first (then never). Gone
    // once the interface is unplugged, or while its node has failed and is not open again yet.
    void write(QByteArray report, std::function<void(const IoResult&)> done);

    // The interface is gone: the node is closed, writes are answered Gone and unplugged() is
    // emitted, once.
    void markUnplugged();
    bool isPresent() const { return m_present; }
    // Whether this user may open the node for reading and writing: asked of the file's access
    // rights at first, then learned from each opening.
    bool canReadWrite() const { return m_canReadWrite; }
    // Why the last opening, read or write failed.
    QString lastError() const { return m_lastError; }

    // How long after the node's failure its interface is looked at again: at once after the first
    // failure, then doubling with each failure in a row, from 100 ms up to 5 s.
    static int recheckDelayMs(int failuresInARow);

signals:
    // One input report: its ID and the bytes after it.
    void reportReceived(quint8 reportId, const QByteArray& data);
    void unplugged();

private:
    enum class Node { Closed, Opening, Open, Failed, Gone };

    void startReading();
    void stopReading();
    void openNode();
    void nodeOpened(const IoResult& result);
    void readAvailable();
    // A read or write failed: the node is closed until its interface is found still there.
    void nodeFailed(const IoResult& result);
    // Whether the interface of a failed node is still there: then the node opens again.
    void recheck();
    HidNodeIo& io();
    void noteFailure(const IoResult& result);

    const platform::HidInterface m_info;
    const std::shared_ptr<platform::UdevContext> m_udev;
    bool m_present = true;
    bool m_wantsReports = false;
    bool m_canReadWrite = false;
    QString m_productText;
    QString m_serialText;
    std::optional<platform::ReportLengths> m_parsedDescriptor;
    int m_pollPeriod = 0;
    QString m_lastError;

    Node m_node = Node::Closed;
    // Failures of the node in a row, for how long it waits before it looks again.
    int m_failures = 0;
    quint64 m_openRequests = 0;
    std::unique_ptr<HidNodeIo> m_io;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QTimer> m_pollTimer;
    QTimer* m_recheck = nullptr;
    std::vector<quint8> m_reportBuffer;
};

}  // namespace tavrel
