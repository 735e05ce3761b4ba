#include "hid/hiddevice.h"

#include "hid/hidlog.h"
#include "hid/hidnodeio.h"
#include "hid/serialtext.h"
#include "platform/hidrawdevice.h"
#include "platform/hidudevinfo.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>

namespace tavrel {

using platform::HidrawDevice;

namespace {

// A device without a parsed descriptor still gets its reports, up to this size.
constexpr int UnknownInputLength = 64;
// Reports taken at one turn of the event loop, so that a flood cannot starve the rest.
constexpr int ReportsPerTurn = 64;

// Emulated nodes never signal data, so programs run against them name a poll period here.
int pollPeriodFromEnvironment()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TAVREL_POLL_PERIOD_MS", &ok);
    return ok && ms >= 1 && ms <= HidDevice::MaxPollPeriod ? ms : 0;
}

}  // namespace

HidDevice::HidDevice(platform::HidInterface info, std::shared_ptr<platform::UdevContext> udev, QObject* parent)
    : QObject(parent), m_info(std::move(info)), m_udev(std::move(udev)), m_pollPeriod(pollPeriodFromEnvironment())
{
    m_canReadWrite = HidrawDevice::mayReadWrite(m_info.devnode);
    m_recheck = new QTimer(this);
    m_recheck->setSingleShot(true);
    connect(m_recheck, &QTimer::timeout, this, &HidDevice::recheck);
}

HidDevice::~HidDevice()
{
    stopReading();
    // Closes the node after whatever it still has to do, without waiting for it.
    m_io.reset();
}

HidNodeIo& HidDevice::io()
{
    if (!m_io)
        m_io = std::make_unique<HidNodeIo>(m_info.devnode,
                                           m_udev ? platform::udevDeviceNumber(*m_udev, m_info.syspath) : std::nullopt);
    return *m_io;
}

HidReportCapabilities HidDevice::reportCapabilities()
{
    HidReportCapabilities caps;
    if (!m_parsedDescriptor && m_present && m_udev) {
        // The kernel keeps every HID device's descriptor in sysfs, readable without the node.
        if (const auto descriptor = platform::sysfsReportDescriptor(*m_udev, m_info.syspath)) {
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
    if (m_productText.isEmpty() && m_present && m_udev) {
        if (const auto product = platform::udevProductString(*m_udev, m_info.syspath))
            m_productText = deviceStringText(*product);
    }
    return m_productText;
}

QString HidDevice::serialText()
{
    if (m_serialText.isEmpty() && m_present) {
        const auto serial = m_udev ? platform::udevSerialString(*m_udev, m_info.syspath) : std::nullopt;
        m_serialText = serialNumberText(serial, platform::languageIds());
    }
    return m_serialText;
}

void HidDevice::start()
{
    m_wantsReports = true;
    startReading();
}

void HidDevice::write(QByteArray report, std::function<void(const IoResult&)> done)
{
    // Every answer goes through the node's queue, so that answers keep the order of the writes.
    std::optional<IoResult> refused;
    if (!m_present || m_node == Node::Gone)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV, QStringLiteral("The device is gone."));
    else if (m_node == Node::Failed)
        refused = IoResult::failure(IoResult::Status::Gone, ENODEV,
                                    QStringLiteral("%1 failed; waiting to look at it again").arg(m_info.devnode));
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
    if (!m_wantsReports || !m_present || !m_canReadWrite)
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
        connect(m_pollTimer.get(), &QTimer::timeout, this, &HidDevice::readAvailable);
        m_pollTimer->start(m_pollPeriod);
    } else {
        m_readable = std::make_unique<QSocketNotifier>(qintptr(m_io->descriptor()), QSocketNotifier::Read);
        connect(m_readable.get(), &QSocketNotifier::activated, this, &HidDevice::readAvailable);
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
    qCInfo(hidLog, "%s opened", qPrintable(m_info.devnode));
    m_node = Node::Open;
    m_canReadWrite = true;
    startReading();
}

void HidDevice::readAvailable()
{
    if (m_node != Node::Open || !m_io)
        return;
    const bool withoutReportIds = m_parsedDescriptor && !m_parsedDescriptor->usesReportIds;
    // A receiver may run the event loop, and with it whatever ends this device.
    const QPointer<HidDevice> alive(this);
    for (int n = 0; n < ReportsPerTurn; ++n) {
        std::fill(m_reportBuffer.begin(), m_reportBuffer.end(), quint8(0));
        const auto got = m_io->read(m_reportBuffer, withoutReportIds);
        if (got.kind == HidrawDevice::ReadResult::Nothing)
            return;
        if (got.kind == HidrawDevice::ReadResult::Failed) {
            nodeFailed(IoResult::fromErrno(got.error, QStringLiteral("read %1 failed").arg(m_info.devnode)));
            return;
        }
        m_failures = 0;
        if (got.size > 0)
            emit reportReceived(m_reportBuffer[0],
                                QByteArray(reinterpret_cast<const char*>(m_reportBuffer.data()) + 1, got.size - 1));
        if (!alive || m_node != Node::Open)
            return;
    }
}

void HidDevice::nodeFailed(const IoResult& result)
{
    noteFailure(result);
    stopReading();
    if (m_io)
        m_io->close();
    if (m_node == Node::Gone)
        return;
    qCInfo(hidLog, "%s failed: %s", qPrintable(m_info.devnode), qPrintable(result.message));
    if (result.error == ESTALE) {
        // The node's name belongs to another device now: this interface will not come back, and
        // udev's removal is on its way.
        m_node = Node::Gone;
        return;
    }
    if (result.status == IoResult::Status::NotPermitted) {
        // Only a change of the access rights helps: the next write tries again.
        m_node = Node::Closed;
        return;
    }
    // Whether the interface is still there is for udev to say. A node that fails every time is
    // looked at ever more seldom, so that it never keeps the machine busy.
    m_node = Node::Failed;
    ++m_failures;
    m_recheck->start(recheckDelayMs(m_failures));
}

void HidDevice::recheck()
{
    if (m_node != Node::Failed)
        return;
    if (m_udev && !platform::hidInterfaceAt(*m_udev, m_info.syspath)) {
        qCInfo(hidLog, "%s is gone", qPrintable(m_info.devnode));
        markUnplugged();
        return;
    }
    // Still there: the node opens again, however often it failed before.
    m_node = Node::Closed;
    startReading();
}

int HidDevice::recheckDelayMs(int failuresInARow)
{
    // The first failure is looked at once the event loop runs, as an unplug is; then ever later.
    constexpr int FirstMs = 100, LongestMs = 5000;
    if (failuresInARow <= 1)
        return 0;
    int delay = FirstMs;
    for (int n = 2; n < failuresInARow && delay < LongestMs; ++n)
        delay *= 2;
    return std::min(delay, LongestMs);
}

void HidDevice::noteFailure(const IoResult& result)
{
    m_lastError = result.message;
    if (result.status == IoResult::Status::NotPermitted)
        m_canReadWrite = false;
}

void HidDevice::markUnplugged()
{
    if (!m_present)
        return;
    stopReading();
    m_recheck->stop();
    if (m_io)
        m_io->close();
    m_node = Node::Gone;
    m_present = false;
    emit unplugged();
}

}  // namespace tavrel
