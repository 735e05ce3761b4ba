#include "hid/hiddevice.h"

#include "hid/controllererror.h"
#include "hid/hiddevicecontroller.h"
#include "hid/hiddevicereadthread.h"
#include "hid/hiddevicewriter.h"
#include "hid/hidnode.h"
#include "hid/serialtext.h"
#include "platform/hidudevinfo.h"

#include <QtDebug>
#include <cerrno>

namespace tavrel {

using platform::HidrawDevice;

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* controller)
    : m_owner(controller), m_info(std::move(info))
{
    if (controller) {
        SetDataHandler(controller->OnDeviceData());
        m_dataErrorHandler = controller->OnDeviceDataError();
        m_unplugHandler = controller->OnDeviceUnplug();
        m_pollPeriod = controller->PollPeriod();
    }

    // A scan sees every HID interface of the machine, security keys and mice included: it
    // learns who they are from udev and leaves their nodes alone.
    m_node = std::make_shared<THidNode>(
        m_info->InterfacePath,
        m_info->Udev ? platform::udevDeviceNumber(*m_info->Udev, m_info->SysPath) : std::nullopt);
    if (!HidrawDevice::nodeExists(m_info->InterfacePath))
        throw EControllerError("Device cannot be opened");
    m_canReadWrite = HidrawDevice::mayReadWrite(m_info->InterfacePath);
    const auto identity = m_info->Udev ? platform::udevIdentity(*m_info->Udev, m_info->SysPath) : std::nullopt;
    if (!identity)
        throw EControllerError("Device cannot be identified");
    m_identity = *identity;
}

THidDevice::~THidDevice()
{
    // Handlers that run from here on, for instance during the reader's stop, see this object as
    // gone.
    m_alive.reset();
    const THidDataEvent dataHandler = m_dataHandler;
    const THidPlugEvent unplugHandler = m_unplugHandler;
    SetDataHandler({});
    m_unplugHandler = {};
    // Queued writes and their results go with the object.
    m_writer.reset();
    CloseSync();
    CloseRead();
    m_parsedDescriptor.reset();

    if (!m_owner || !m_owner->holds(this))
        return;
    if (!m_present) {
        m_owner->removeDevice(this);
        return;
    }
    try {
        auto fresh = std::make_unique<THidDevice>(std::move(m_info), m_owner);
        fresh->SetDataHandler(dataHandler);
        fresh->m_dataErrorHandler = m_dataErrorHandler;
        fresh->m_unplugHandler = unplugHandler;
        fresh->m_readPeriod = m_readPeriod;
        fresh->m_pollPeriod = m_pollPeriod;
        m_owner->replaceDevice(this, fresh.release());
    } catch (const std::exception& e) {
        // The interface went away or changed under us: rather no object than a dead one.
        qWarning("A released HID device could not be opened again (%s); it leaves the list.", e.what());
        m_owner->removeDevice(this);
    }
}

void THidDevice::CloseSync()
{
    m_sync.close();
}

void THidDevice::CloseRead()
{
    // The reader owns its descriptor; tell it to let go instead of closing it under it.
    if (m_reader)
        m_reader->markGone();
}

THidReportCaps THidDevice::ReportCaps()
{
    THidReportCaps caps;
    if (!m_parsedDescriptor && Usable()) {
        auto descriptor = m_info->Udev ? platform::sysfsReportDescriptor(*m_info->Udev, m_info->SysPath)
                                       : std::nullopt;
        // Without a sysfs copy only the node can tell, and only a device we hold may be opened.
        if (!descriptor && m_claimed) {
            HidrawDevice node;
            if (m_node->open(node, HidrawDevice::Mode::Read, HidrawDevice::Wait::NonBlocking).ok())
                descriptor = node.reportDescriptor();
        }
        if (descriptor) {
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

IoResult THidDevice::WriteReport(std::span<const quint8> report)
{
    if (!m_present)
        return IoResult::failure(IoResult::Status::Gone, ENODEV, QStringLiteral("The device is gone."));
    if (!Usable())
        return IoResult::failure(IoResult::Status::NoDevice, 0, QStringLiteral("The device is not held."));
    if (!m_sync.isOpen()) {
        const IoResult opened = m_node->open(m_sync, HidrawDevice::Mode::ReadWrite, HidrawDevice::Wait::NonBlocking);
        if (!opened.ok()) {
            noteFailure(opened);
            return opened;
        }
        m_canReadWrite = true;
    }
    const IoResult result = m_sync.write(report);
    if (!result.ok()) {
        if (result.status == IoResult::Status::Gone) {
            m_sync.close();
            m_node->suspend();
        }
        noteFailure(result);
    }
    return result;
}

void THidDevice::WriteReportAsync(QByteArray report, std::function<void(const IoResult&)> done)
{
    std::optional<IoResult> preset;
    if (!m_present)
        preset = IoResult::failure(IoResult::Status::Gone, ENODEV, QStringLiteral("The device is gone."));
    else if (!Usable())
        preset = IoResult::failure(IoResult::Status::NoDevice, 0, QStringLiteral("The device is not held."));
    if (!m_writer)
        m_writer = std::make_unique<THidDeviceWriter>(m_node);
    // Runs on the GUI thread, and only while this object lives: the writer goes with it.
    m_writer->enqueue(std::move(report),
                      [this, done = std::move(done)](const IoResult& result) {
                          if (result.ok())
                              m_canReadWrite = true;
                          else
                              noteFailure(result);
                          if (done)
                              done(result);
                      },
                      std::move(preset));
}

void THidDevice::noteFailure(const IoResult& result)
{
    m_lastError = result.message;
    if (result.status == IoResult::Status::NotPermitted)
        m_canReadWrite = false;
    // The node waits for a scan to settle whether it is still ours.
    if (result.status == IoResult::Status::Gone && m_owner)
        m_owner->deviceSeemsGone(this);
}

void THidDevice::SetDataHandler(const THidDataEvent& handler)
{
    if (!handler)
        StopReader();
    m_dataHandler = handler;
    StartReader();
}

void THidDevice::StartReader()
{
    if (!m_dataHandler || !m_present || !m_claimed || !m_canReadWrite || m_reader)
        return;
    const THidReportCaps caps = ReportCaps();
    THidDeviceReadThread::Setup setup;
    setup.node = m_node;
    setup.inputLength = caps.InputReportByteLength;
    setup.withoutReportIds = m_parsedDescriptor && !m_parsedDescriptor->usesReportIds;
    setup.readPeriod = m_readPeriod;
    setup.pollPeriod = m_pollPeriod;
    m_reader = std::make_unique<THidDeviceReadThread>(this, &m_guiContext, setup);
    m_reader->start();
}

bool THidDevice::ReaderHandingOver() const
{
    return m_reader && m_reader->handingOver();
}

void THidDevice::StopReader()
{
    if (!m_reader)
        return;
    // Moved out first: a handler that runs during the stop finds no reader to stop again.
    const std::unique_ptr<THidDeviceReadThread> reader = std::move(m_reader);
    reader->stopAndWait();
}

void THidDevice::SetReadPeriod(int ms)
{
    if (ms < MinReadPeriod || ms > MaxReadPeriod)
        return;
    m_readPeriod = ms;
    if (m_reader)
        m_reader->setReadPeriod(ms);
}

void THidDevice::SetPollPeriod(int ms)
{
    if (ms != 0 && (ms < 1 || ms > MaxReadPeriod))
        return;
    m_pollPeriod = ms;
    if (m_reader)
        m_reader->setPollPeriod(ms);
}

void THidDevice::nodeSettled()
{
    if (!m_node->suspended())
        return;
    m_node->settle();
    if (m_reader)
        m_reader->wake();
}

void THidDevice::MarkUnplugged()
{
    m_node->markGone();
    CloseSync();
    CloseRead();
    m_present = false;
    const THidPlugEvent handler = std::exchange(m_unplugHandler, {});
    if (handler)
        handler(this);
}

void THidDevice::deliverReport(const QByteArray& report)
{
    const THidDataEvent handler = m_dataHandler;
    if (!handler || report.isEmpty())
        return;
    const auto* bytes = reinterpret_cast<const quint8*>(report.constData());
    handler(this, bytes[0], bytes + 1, quint16(report.size() - 1));
}

void THidDevice::deliverReadError(quint32 error)
{
    // The reader has shut the node; a scan settles whether it may open it again.
    if (m_owner)
        m_owner->deviceSeemsGone(this);
    if (IoResult::statusFor(int(error)) == IoResult::Status::NotPermitted)
        m_canReadWrite = false;
    const THidDataErrorEvent handler = m_dataErrorHandler;
    if (handler)
        handler(this, error);
}

}  // namespace tavrel
