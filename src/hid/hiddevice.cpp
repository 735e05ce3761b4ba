#include "hid/hiddevice.h"

#include "hid/hiddevicecontroller.h"
#include "hid/hidnodeio.h"
#include "hid/serialtext.h"
#include "platform/hidrawdevice.h"
#include "platform/hidudevinfo.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>

namespace tavrel {

using platform::HidrawDevice;

Q_LOGGING_CATEGORY(hidLog, "tavrel.hid", QtWarningMsg)

namespace {

// A device without a parsed descriptor still gets its reports, up to this size.
constexpr int UnknownInputLength = 64;
// Reports taken at one turn of the event loop, so that a flood cannot starve the rest.
constexpr int ReportsPerTurn = 64;

}  // namespace

std::unique_ptr<THidDevice> THidDevice::create(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller,
                                               QString* error)
{
    // A scan sees every HID interface of the machine, security keys and mice included: it
    // learns who they are from udev and leaves their nodes alone.
    const auto fail = [error](const char* why) {
        if (error)
            *error = QString::fromLatin1(why);
        return nullptr;
    };
    if (!HidrawDevice::nodeExists(info->InterfacePath))
        return fail("Device cannot be opened");
    const auto identity = info->Udev ? platform::udevIdentity(*info->Udev, info->SysPath) : std::nullopt;
    if (!identity)
        return fail("Device cannot be identified");
    std::unique_ptr<THidDevice> device(new THidDevice(std::move(info), controller));
    device->m_identity = *identity;
    return device;
}

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller)
    : m_owner(controller), m_info(std::move(info))
{
    if (controller) {
        m_dataHandler = controller->OnDeviceData();
        m_dataErrorHandler = controller->OnDeviceDataError();
        m_unplugHandler = controller->OnDeviceUnplug();
        m_pollPeriod = controller->PollPeriod();
    }
    m_canReadWrite = HidrawDevice::mayReadWrite(m_info->InterfacePath);
}

THidDevice::~THidDevice()
{
    // Handlers that run from here on see this object as gone.
    m_alive.reset();
    const THidDataEvent dataHandler = m_dataHandler;
    const THidPlugEvent unplugHandler = m_unplugHandler;
    stopReading();
    // Closes the node after whatever it still has to do, without waiting for it.
    m_io.reset();

    if (!m_owner || !m_owner->holds(this))
        return;
    if (!m_present) {
        m_owner->removeDevice(this);
        return;
    }
    QString error;
    auto info = std::make_unique<THidPnPInfo>(m_info->InstanceId, m_info->InterfacePath, m_info->SysPath, m_info->Udev,
                                              m_info->UsbInterface);
    std::unique_ptr<THidDevice> fresh = create(std::move(info), m_owner, &error);
    if (!fresh) {
        // The interface went away or changed under us: rather no object than a dead one. Said
        // only where asked for (QT_LOGGING_RULES="tavrel.hid.info=true"): tavrelctl's standard
        // error carries its own messages alone.
        qCInfo(hidLog, "A released HID device could not be made again (%s); it leaves the list.", qPrintable(error));
        m_owner->removeDevice(this);
        return;
    }
    fresh->m_dataHandler = dataHandler;
    fresh->m_dataErrorHandler = m_dataErrorHandler;
    fresh->m_unplugHandler = unplugHandler;
    fresh->m_pollPeriod = m_pollPeriod;
    m_owner->replaceDevice(this, fresh.release());
}

HidNodeIo& THidDevice::io()
{
    if (!m_io)
        m_io = std::make_unique<HidNodeIo>(
            m_info->InterfacePath, m_info->Udev ? platform::udevDeviceNumber(*m_info->Udev, m_info->SysPath) : std::nullopt);
    return *m_io;
}

THidReportCaps THidDevice::ReportCaps()
{
    THidReportCaps caps;
    if (!m_parsedDescriptor && Usable() && m_info->Udev) {
        // The kernel keeps every HID device's descriptor in sysfs, readable without the node.
        if (const auto descriptor = platform::sysfsReportDescriptor(*m_info->Udev, m_info->SysPath)) {
            m_parsedDescriptor = platform::parseReportDescriptor(
                std::span(reinterpret_cast<const quint8*>(descriptor->constData()), std::size_t(descriptor->size())));
        }
    }
    if (m_parsedDescriptor) {
        caps.Usage = m_parsedDescriptor->usage;
        caps.UsagePage = m_parsedDescriptor->usagePage;
        caps.InputReportByteLength = m_parsedDescriptor->inputLength;
        caps.OutputReportByteLength = m_parsedDescriptor->outputLength;
        caps.FeatureReportByteLength = m_parsedDescriptor->featureLength;
    }
    return caps;
}

QString THidDevice::ProductText()
{
    if (m_productText.isEmpty() && Usable() && m_info->Udev) {
        if (const auto product = platform::udevProductString(*m_info->Udev, m_info->SysPath))
            m_productText = deviceStringText(*product);
    }
    return m_productText;
}

QString THidDevice::SerialText()
{
    if (m_serialText.isEmpty() && Usable()) {
        const auto serial = m_info->Udev ? platform::udevSerialString(*m_info->Udev, m_info->SysPath)
                                         : std::nullopt;
        m_serialText = serialNumberText(serial, platform::languageIds());
    }
    return m_serialText;
}

void THidDevice::WriteReportAsync(QByteArray report, std::function<void(const IoResult&)> done)
{
    // Every answer goes through the node's queue, so that answers keep the order of the writes.
    std::optional<IoResult> refused;
    if (!m_present || m_node == Node::Gone)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV, QStringLiteral("The device is gone."));
    else if (!Usable())
        refused = IoResult::failure(IoResult::Status::NoDevice, 0, QStringLiteral("The device is not held."));
    else if (m_node == Node::Failed)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV,
                                    QStringLiteral("%1 failed; waiting for the next scan").arg(m_info->InterfacePath));
    if (m_node == Node::Closed && !refused)
        openNode();
    // Runs only while this object lives: the node's queue goes with it.
    const auto answer = [this, done = std::move(done)](const IoResult& result) {
        if (result.ok()) {
            m_canReadWrite = true;
            m_failures = 0;
        } else {
            noteFailure(result);
            if (result.status == IoResult::Status::Gone && m_node == Node::Open)
                nodeFailed(result);
        }
        if (done)
            done(result);
    };
    if (refused)
        io().answer(*refused, answer);
    else
        io().write(std::move(report), answer);
}

void THidDevice::SetDataHandler(const THidDataEvent& handler)
{
    m_dataHandler = handler;
    if (handler)
        startReading();
    else
        stopReading();
}

void THidDevice::SetPollPeriod(int ms)
{
    if (ms < 0 || ms > MaxPollPeriod)
        return;
    m_pollPeriod = ms;
    if (m_node == Node::Open) {
        stopReading();
        startReading();
    }
}

bool THidDevice::Reading() const
{
    return m_readable || m_pollTimer;
}

void THidDevice::startReading()
{
    if (!m_dataHandler || !m_present || !m_claimed || !m_canReadWrite)
        return;
    switch (m_node) {
    case Node::Closed:
        openNode();
        return;
    case Node::Opening:
    case Node::Failed:
    case Node::Gone:
        return;
    case Node::Open:
        break;
    }
    if (Reading())
        return;
    const THidReportCaps caps = ReportCaps();
    m_reportBuffer.assign(std::size_t(caps.InputReportByteLength > 0 ? caps.InputReportByteLength : UnknownInputLength),
                          0);
    if (m_pollPeriod > 0) {
        m_pollTimer = std::make_unique<QTimer>();
        QObject::connect(m_pollTimer.get(), &QTimer::timeout, m_pollTimer.get(), [this] { readAvailable(); });
        m_pollTimer->start(m_pollPeriod);
    } else {
        m_readable = std::make_unique<QSocketNotifier>(qintptr(m_io->descriptor()), QSocketNotifier::Read);
        QObject::connect(m_readable.get(), &QSocketNotifier::activated, m_readable.get(), [this] { readAvailable(); });
    }
    // Reports may have come while the node was being opened.
    QTimer::singleShot(0, m_readable ? static_cast<QObject*>(m_readable.get()) : m_pollTimer.get(),
                       [this] { readAvailable(); });
}

void THidDevice::stopReading()
{
    m_readable.reset();
    m_pollTimer.reset();
}

void THidDevice::openNode()
{
    m_node = Node::Opening;
    // Only the latest opening counts: one asked for before a close is answered after it.
    io().open([this, request = ++m_openRequests](const IoResult& result) {
        if (request == m_openRequests)
            nodeOpened(result);
    });
}

void THidDevice::nodeOpened(const IoResult& result)
{
    if (m_node != Node::Opening)
        return;
    if (!result.ok()) {
        nodeFailed(result);
        return;
    }
    m_node = Node::Open;
    m_canReadWrite = true;
    startReading();
}

void THidDevice::readAvailable()
{
    if (m_node != Node::Open || !m_io)
        return;
    const bool withoutReportIds = m_parsedDescriptor && !m_parsedDescriptor->usesReportIds;
    const std::weak_ptr<const bool> alive = m_alive;
    for (int n = 0; n < ReportsPerTurn; ++n) {
        std::fill(m_reportBuffer.begin(), m_reportBuffer.end(), quint8(0));
        const auto got = m_io->read(m_reportBuffer, withoutReportIds);
        if (got.kind == HidrawDevice::ReadResult::Nothing)
            return;
        if (got.kind == HidrawDevice::ReadResult::Failed) {
            const IoResult failure = IoResult::fromErrno(got.error, QStringLiteral("read %1 failed").arg(m_info->InterfacePath));
            nodeFailed(failure);
            if (!alive.expired() && m_dataErrorHandler)
                m_dataErrorHandler(this, quint32(got.error));
            return;
        }
        if (got.kind == HidrawDevice::ReadResult::Report) {
            // The buffer is handed on by pointer, and the handler may end this device.
            const std::vector<quint8> report(m_reportBuffer.begin(), m_reportBuffer.begin() + got.size);
            m_failures = 0;
            deliverReport(report.data(), got.size);
            if (alive.expired() || m_node != Node::Open)
                return;
        }
    }
}

void THidDevice::deliverReport(const quint8* bytes, int size)
{
    const THidDataEvent handler = m_dataHandler;
    if (handler && size > 0)
        handler(this, bytes[0], bytes + 1, quint16(size - 1));
}

void THidDevice::nodeFailed(const IoResult& result)
{
    noteFailure(result);
    stopReading();
    if (m_io)
        m_io->close();
    if (m_node == Node::Gone)
        return;
    if (result.error == ESTALE) {
        // The node's name belongs to another device now: this interface will not come back.
        m_node = Node::Gone;
        return;
    }
    m_node = Node::Failed;
    ++m_failures;
    // Whether the interface is still there is for a scan to say; without the right to open it,
    // only a change of the rule (which udev announces) helps.
    if (result.status != IoResult::Status::NotPermitted && m_owner)
        m_owner->deviceSeemsGone(this);
}

void THidDevice::nodeSettled()
{
    if (m_node != Node::Failed)
        return;
    m_node = Node::Closed;
    startReading();
}

void THidDevice::closeNode()
{
    stopReading();
    if (m_io)
        m_io->close();
    if (m_node != Node::Gone)
        m_node = Node::Closed;
}

void THidDevice::noteFailure(const IoResult& result)
{
    m_lastError = result.message;
    if (result.status == IoResult::Status::NotPermitted)
        m_canReadWrite = false;
}

void THidDevice::MarkUnplugged()
{
    stopReading();
    if (m_io)
        m_io->close();
    m_node = Node::Gone;
    m_present = false;
    const THidPlugEvent handler = std::exchange(m_unplugHandler, {});
    if (handler)
        handler(this);
}

}  // namespace tavrel
