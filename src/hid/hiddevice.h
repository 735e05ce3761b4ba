#pragma once
// One HID interface found by the controller: its identity, strings and report lengths, output
// reports, and, while claimed with a data handler, a reader that hands input reports to the GUI
// thread. Everything here runs on the GUI thread except the reader's loop.

#include "hid/hidevents.h"
#include "hid/hidpnpinfo.h"
#include "platform/hididentity.h"
#include "platform/hidrawdevice.h"
#include "platform/reportdescriptor.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <span>

namespace tavrel {

class THidDeviceController;
class THidDeviceReadThread;

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

    // Opens the interface to learn its identity; throws EControllerError when it cannot be
    // opened at all or not identified. Takes the controller's data, data-error and unplug
    // handlers.
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

    // These open the interface when usable and cache what they learn.
    THidReportCaps ReportCaps();
    QString ProductText();
    QString SerialText();

    // Blocks until the driver took the report (report ID first). False when the device is not
    // usable or cannot be written.
    bool WriteReport(std::span<const quint8> report, int& written);

    void SetDataHandler(const THidDataEvent& handler);
    const THidDataEvent& DataHandler() const { return m_dataHandler; }
    void SetDataErrorHandler(const THidDataErrorEvent& handler) { m_dataErrorHandler = handler; }
    const THidDataErrorEvent& DataErrorHandler() const { return m_dataErrorHandler; }
    void SetUnplugHandler(const THidPlugEvent& handler) { m_unplugHandler = handler; }
    const THidPlugEvent& UnplugHandler() const { return m_unplugHandler; }

    void StartReader();
    void StopReader();
    bool HasReader() const { return m_reader != nullptr; }
    // Takes 10 to 10000 ms; other values are ignored.
    void SetReadPeriod(int ms);
    int ReadPeriod() const { return m_readPeriod; }

    // The interface is gone: closes the device's handles, clears Present, and calls and clears
    // the unplug handler. The reader goes on reporting failed reads until the device is released.
    void MarkUnplugged();

    bool Present() const { return m_present; }
    bool Claimed() const { return m_claimed; }
    bool Offered() const { return m_offered; }
    bool Usable() const { return m_present && (m_claimed || m_offered); }
    bool CanReadWrite() const { return m_canReadWrite; }
    THidDeviceController* OwnerController() const { return m_owner; }
    // Why the last opening, query or write failed.
    QString LastError() const { return m_lastError; }

    // Expires when the object is destroyed: callers that run handlers check it afterwards.
    std::weak_ptr<const bool> lifetime() const { return m_alive; }

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;

    bool OpenSync();
    void CloseSync();
    void CloseRead();
    void deliverReport(const QByteArray& report);
    void deliverReadError(quint32 error);
    std::optional<platform::HidIdentity> readIdentity();
    void replaceInController();

    THidDeviceController* m_owner = nullptr;
    bool m_present = true;
    bool m_claimed = false;
    bool m_offered = false;
    // Strings, capabilities and writes. Open either with a descriptor or, for a node the user
    // may not open, without one: then identity and strings still come from udev.
    platform::HidrawDevice m_sync;
    bool m_syncOpen = false;
    bool m_canReadWrite = false;
    platform::HidIdentity m_identity;
    std::unique_ptr<THidPnPInfo> m_info;
    QString m_productText;
    QString m_serialText;
    std::optional<platform::ReportLengths> m_parsedDescriptor;
    int m_readPeriod = 100;
    THidDataEvent m_dataHandler;
    THidDataErrorEvent m_dataErrorHandler;
    THidPlugEvent m_unplugHandler;
    QString m_lastError;
    // Reports are posted here, on the GUI thread, for the reader's hand-over.
    QObject m_guiContext;
    std::unique_ptr<THidDeviceReadThread> m_reader;
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
};

}  // namespace tavrel
