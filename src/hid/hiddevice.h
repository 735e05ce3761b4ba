#pragma once
// One HID interface found by the controller: its identity, strings and report lengths, output
// reports, and, while claimed with a data handler, a reader that hands input reports to the GUI
// thread. Everything here runs on the GUI thread except the reader's loop.

#include "hid/hidevents.h"
#include "hid/hidpnpinfo.h"
#include "platform/hididentity.h"
#include "platform/hidrawdevice.h"
#include "platform/ioresult.h"
#include "platform/reportdescriptor.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace tavrel {

class THidDeviceController;
class THidDeviceReadThread;
class THidDeviceWriter;
class THidNode;

// Report lengths count the report-ID byte; all zero when the descriptor is not known.
struct THidReportCaps {
    quint16 Usage = 0;
    quint16 UsagePage = 0;
    quint16 InputReportByteLength = 0;
    quint16 OutputReportByteLength = 0;
    quint16 FeatureReportByteLength = 0;
};

class THidDevice {
public:
    static constexpr int MinReadPeriod = 10;
    static constexpr int MaxReadPeriod = 10000;

    // Learns the interface's identity from udev without opening its node, which is opened only
    // when the device is claimed and its reader starts, or when it is written. Throws
    // EControllerError when the node does not exist or the interface cannot be identified.
    // Takes the controller's data, data-error and unplug handlers and its poll period.
    THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller);
    // Releases the device: stops its reader and, while the interface is present, leaves a fresh
    // unclaimed object in its slot of the controller's list, or no slot if that cannot be made.
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    quint16 VendorID() const { return m_identity.vendorId; }
    quint16 ProductID() const { return m_identity.productId; }
    quint16 VersionNumber() const { return m_identity.version; }
    const THidPnPInfo& InterfaceInfo() const { return *m_info; }

    // These ask udev and sysfs while the device is usable, and cache what they learn.
    THidReportCaps ReportCaps();
    QString ProductText();
    QString SerialText();

    // Blocks until the driver took the report (report ID first), on the calling thread. NoDevice
    // while the device is neither claimed nor offered, Gone once it is unplugged.
    IoResult WriteReport(std::span<const quint8> report);

    // Queues one report for the device's writer; `done` runs later on the GUI thread with the
    // result, in order of queueing, unless the device object is destroyed first (then never).
    void WriteReportAsync(QByteArray report, std::function<void(const IoResult&)> done);

    void SetDataHandler(const THidDataEvent& handler);
    const THidDataEvent& DataHandler() const { return m_dataHandler; }
    void SetDataErrorHandler(const THidDataErrorEvent& handler) { m_dataErrorHandler = handler; }
    const THidDataErrorEvent& DataErrorHandler() const { return m_dataErrorHandler; }
    void SetUnplugHandler(const THidPlugEvent& handler) { m_unplugHandler = handler; }
    const THidPlugEvent& UnplugHandler() const { return m_unplugHandler; }

    void StartReader();
    void StopReader();
    bool HasReader() const { return m_reader != nullptr; }
    // The reader waits for the GUI thread to take a report (for tests of stopping it then).
    bool ReaderHandingOver() const;
    // The pause between two reports of a failing node; takes 10 to 10000 ms, other values are
    // ignored.
    void SetReadPeriod(int ms);
    int ReadPeriod() const { return m_readPeriod; }
    // 0: the reader sleeps in poll() until a report comes. 1 to 10000: it also tries a read after
    // every such period, for emulated nodes that never signal data. Other values are ignored.
    void SetPollPeriod(int ms);
    int PollPeriod() const { return m_pollPeriod; }

    // The interface is gone: closes the device's handles, clears Present, and calls and clears
    // the unplug handler. The reader goes on reporting failed reads until the device is released;
    // writes are answered Gone.
    void MarkUnplugged();

    bool Present() const { return m_present; }
    bool Claimed() const { return m_claimed; }
    bool Offered() const { return m_offered; }
    bool Usable() const { return m_present && (m_claimed || m_offered); }
    // Whether this user may open the node for reading and writing: asked of the file's access
    // rights at first, then learned from each opening.
    bool CanReadWrite() const { return m_canReadWrite; }
    THidDeviceController* OwnerController() const { return m_owner; }
    // Why the last opening, query or write failed.
    QString LastError() const { return m_lastError; }

    // Expires when the object is destroyed: callers that run handlers check it afterwards.
    std::weak_ptr<const bool> lifetime() const { return m_alive; }

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;

    void CloseSync();
    void CloseRead();
    // A scan found the interface still there: a node that failed may be opened again.
    void nodeSettled();
    void deliverReport(const QByteArray& report);
    void deliverReadError(quint32 error);
    void noteFailure(const IoResult& result);

    THidDeviceController* m_owner = nullptr;
    bool m_present = true;
    bool m_claimed = false;
    bool m_offered = false;
    // Every opening of the node, by this object, its reader and its writer, goes through here.
    std::shared_ptr<THidNode> m_node;
    // Synchronous writes, on the GUI thread.
    platform::HidrawDevice m_sync;
    bool m_canReadWrite = false;
    platform::HidIdentity m_identity;
    std::unique_ptr<THidPnPInfo> m_info;
    QString m_productText;
    QString m_serialText;
    std::optional<platform::ReportLengths> m_parsedDescriptor;
    int m_readPeriod = 100;
    int m_pollPeriod = 0;
    THidDataEvent m_dataHandler;
    THidDataErrorEvent m_dataErrorHandler;
    THidPlugEvent m_unplugHandler;
    QString m_lastError;
    // Reports are posted here, on the GUI thread, for the reader's hand-over.
    QObject m_guiContext;
    std::unique_ptr<THidDeviceReadThread> m_reader;
    std::unique_ptr<THidDeviceWriter> m_writer;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace tavrel
