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

std::unique_ptr<HidDevice> HidDevice::create(std::unique_ptr<HidInterfaceInfo> info, HidDeviceController* controller,
                                             QString* error)
{
    // A scan sees every HID interface of the machine, security keys and mice included: it
    // learns who they are from udev and leaves their nodes alone.
    const auto fail = [error](const char* why) {
        if (error)
            *error = QString::fromLatin1(why);
        return nullptr;
    };
    if (!HidrawDevice::nodeExists(info->interfacePath))
        return fail("Device cannot be opened");
    const auto identity = info->udev ? platform::udevIdentity(*info->udev, info->sysPath) : std::nullopt;
    if (!identity)
        return fail("Device cannot be identified");
    std::unique_ptr<HidDevice> device(new HidDevice(std::move(info), controller));
    device->m_identity = *identity;
    return device;
}

HidDevice::HidDevice(std::unique_ptr<HidInterfaceInfo> info, HidDeviceController* controller)
    : m_owner(controller), m_info(std::move(info))
{
    if (controller) {
        m_reportHandler = controller->reportHandler();
        m_readErrorHandler = controller->readErrorHandler();
        m_unplugHandler = controller->unplugHandler();
        m_pollPeriod = controller->pollPeriod();
    }
    m_canReadWrite = HidrawDevice::mayReadWrite(m_info->interfacePath);
}

HidDevice::~HidDevice()
{
    // Handlers that run from here on see this object as gone.
    m_alive.reset();
    const HidReportHandler dataHandler = m_reportHandler;
    const HidPlugHandler unplugHandler = m_unplugHandler;
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
    std::unique_ptr<HidDevice> fresh = create(std::make_unique<HidInterfaceInfo>(*m_info), m_owner, &error);
    if (!fresh) {
        // The interface went away or changed under us: rather no object than a dead one. Said
        // only where asked for (QT_LOGGING_RULES="tavrel.hid.info=true"): tavrelctl's standard
        // error carries its own messages alone.
        qCInfo(hidLog, "A released HID device could not be made again (%s); it leaves the list.", qPrintable(error));
        m_owner->removeDevice(this);
        return;
    }
    fresh->m_reportHandler = dataHandler;
    fresh->m_readErrorHandler = m_readErrorHandler;
    fresh->m_unplugHandler = unplugHandler;
    fresh->m_pollPeriod = m_pollPeriod;
    m_owner->replaceDevice(this, fresh.release());
}

HidNodeIo& HidDevice::io()
{
    if (!m_io)
        m_io = std::make_unique<HidNodeIo>(m_info->interfacePath,
                                           m_info->udev ? platform::udevDeviceNumber(*m_info->udev, m_info->sysPath)
                                                        : std::nullopt);
    return *m_io;
}

HidReportCapabilities HidDevice::reportCapabilities()
{
    HidReportCapabilities caps;
    if (!m_parsedDescriptor && isUsable() && m_info->udev) {
        // The kernel keeps every HID device's descriptor in sysfs, readable without the node.
        if (const auto descriptor = platform::sysfsReportDescriptor(*m_info->udev, m_info->sysPath)) {
            m_parsedDescriptor = platform::parseReportDescriptor(
                std::span(reinterpret_cast<const quint8*>(descriptor->constData()), std::size_t(descriptor->size())));
        }
    }
    if (m_parsedDescriptor) {
        caps.usage = m_parsedDescriptor->usage;
        caps.usagePage = m_parsedDescriptor->usagePage;
        caps.inputReportLength = m_parsedDescriptor->inputLength;
        caps.outputReportLength = m_parsedDescriptor->outputLength;
        caps.featureReportLength = m_parsedDescriptor->featureLength;
    }
    return caps;
}

QString HidDevice::productText()
{
    if (m_productText.isEmpty() && isUsable() && m_info->udev) {
        if (const auto product = platform::udevProductString(*m_info->udev, m_info->sysPath))
            m_productText = deviceStringText(*product);
    }
    return m_productText;
}

QString HidDevice::serialText()
{
    if (m_serialText.isEmpty() && isUsable()) {
        const auto serial = m_info->udev ? platform::udevSerialString(*m_info->udev, m_info->sysPath) : std::nullopt;
        m_serialText = serialNumberText(serial, platform::languageIds());
    }
    return m_serialText;
}

void HidDevice::writeReport(QByteArray report, std::function<void(const IoResult&)> done)
{
    // Every answer goes through the node's queue, so that answers keep the order of the writes.
    std::optional<IoResult> refused;
    if (!m_present || m_node == Node::Gone)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV, QStringLiteral("The device is gone."));
    else if (!isUsable())
        refused = IoResult::failure(IoResult::Status::NoDevice, 0, QStringLiteral("The device is not held."));
    else if (m_node == Node::Failed)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV,
                                    QStringLiteral("%1 failed; waiting for the next scan").arg(m_info->interfacePath));
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

void HidDevice::setReportHandler(const HidReportHandler& handler)
{
    m_reportHandler = handler;
    if (handler)
        startReading();
    else
        stopReading();
}

void HidDevice::setPollPeriod(int ms)
{
    if (ms < 0 || ms > MaxPollPeriod)
        return;
    m_pollPeriod = ms;
    if (m_node == Node::Open) {
        stopReading();
        startReading();
    }
}

bool HidDevice::isReading() const
{
    return m_readable || m_pollTimer;
}

void HidDevice::startReading()
{
    if (!m_reportHandler || !m_present || !m_claimed || !m_canReadWrite)
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
    if (isReading())
        return;
    const HidReportCapabilities caps = reportCapabilities();
    m_reportBuffer.assign(std::size_t(caps.inputReportLength > 0 ? caps.inputReportLength : UnknownInputLength), 0);
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

void HidDevice::stopReading()
{
    m_readable.reset();
    m_pollTimer.reset();
}

void HidDevice::openNode()
{
    m_node = Node::Opening;
    // Only the latest opening counts: one asked for before a close is answered after it.
    io().open([this, request = ++m_openRequests](const IoResult& result) {
        if (request == m_openRequests)
            nodeOpened(result);
    });
}

void HidDevice::nodeOpened(const IoResult& result)
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

void HidDevice::readAvailable()
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
            const IoResult failure =
                IoResult::fromErrno(got.error, QStringLiteral("read %1 failed").arg(m_info->interfacePath));
            nodeFailed(failure);
            if (!alive.expired() && m_readErrorHandler)
                m_readErrorHandler(this, quint32(got.error));
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

void HidDevice::deliverReport(const quint8* bytes, int size)
{
    const HidReportHandler handler = m_reportHandler;
    if (handler && size > 0)
        handler(this, bytes[0], bytes + 1, quint16(size - 1));
}

void HidDevice::nodeFailed(const IoResult& result)
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

void HidDevice::nodeSettled()
{
    if (m_node != Node::Failed)
        return;
    m_node = Node::Closed;
    startReading();
}

void HidDevice::closeNode()
{
    stopReading();
    if (m_io)
        m_io->close();
    if (m_node != Node::Gone)
        m_node = Node::Closed;
}

void HidDevice::noteFailure(const IoResult& result)
{
    m_lastError = result.message;
    if (result.status == IoResult::Status::NotPermitted)
        m_canReadWrite = false;
}

void HidDevice::markUnplugged()
{
    stopReading();
    if (m_io)
        m_io->close();
    m_node = Node::Gone;
    m_present = false;
    const HidPlugHandler handler = std::exchange(m_unplugHandler, {});
    if (handler)
        handler(this);
}

}  // namespace tavrel
