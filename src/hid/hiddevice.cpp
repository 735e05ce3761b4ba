#include "hid/hiddevice.h"

#include "hid/controllererror.h"
#include "hid/hiddevicecontroller.h"
#include "hid/hiddevicereadthread.h"
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
    }

    m_sync = HidrawDevice::open(m_info->InterfacePath, HidrawDevice::Mode::ReadWrite);
    m_canReadWrite = m_sync.isOpen();
    if (!m_canReadWrite) {
        m_lastError = m_sync.lastError();
        if (!HidrawDevice::nodeExists(m_info->InterfacePath))
            throw EControllerError("Device cannot be opened");
    }
    m_syncOpen = true;

    const auto identity = readIdentity();
    if (!identity)
        throw EControllerError("Device cannot be identified");
    m_identity = *identity;
    CloseSync();
}

std::optional<platform::HidIdentity> THidDevice::readIdentity()
{
    auto fromUdev = m_info->Udev ? platform::udevIdentity(*m_info->Udev, m_info->SysPath) : std::nullopt;
    auto fromNode = m_sync.isOpen() ? m_sync.rawInfo() : std::nullopt;
    if (!fromNode)
        return fromUdev;
    fromNode->version = fromUdev ? fromUdev->version : 0;
    return fromNode;
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
        m_owner->replaceDevice(this, fresh.release());
    } catch (const std::exception& e) {
        // The interface went away or changed under us: rather no object than a dead one.
        qWarning("A released HID device could not be opened again (%s); it leaves the list.", e.what());
        m_owner->removeDevice(this);
    }
}

bool THidDevice::OpenSync()
{
    if (Usable() && !m_syncOpen) {
        m_sync = HidrawDevice::open(m_info->InterfacePath, HidrawDevice::Mode::ReadWrite);
        m_canReadWrite = m_sync.isOpen();
        if (!m_canReadWrite)
            m_lastError = m_sync.lastError();
        m_syncOpen = m_canReadWrite || HidrawDevice::nodeExists(m_info->InterfacePath);
    }
    return m_syncOpen;
}

void THidDevice::CloseSync()
{
    m_sync.close();
    m_syncOpen = false;
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
    if (!m_parsedDescriptor && OpenSync()) {
        auto descriptor = m_info->Udev ? platform::sysfsReportDescriptor(*m_info->Udev, m_info->SysPath)
                                       : std::nullopt;
        if (!descriptor && m_sync.isOpen())
            descriptor = m_sync.reportDescriptor();
        if (descriptor) {
            m_parsedDescriptor = platform::parseReportDescriptor(
                std::span(reinterpret_cast<const quint8*>(descriptor->constData()), std::size_t(descriptor->size())));
        }
        CloseSync();
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
    if (m_productText.isEmpty() && OpenSync()) {
        if (m_info->Udev) {
            if (const auto product = platform::udevProductString(*m_info->Udev, m_info->SysPath))
                m_productText = deviceStringText(*product);
        }
        CloseSync();
    }
    return m_productText;
}

QString THidDevice::SerialText()
{
    if (m_serialText.isEmpty() && OpenSync()) {
        const auto serial = m_info->Udev ? platform::udevSerialString(*m_info->Udev, m_info->SysPath)
                                         : std::nullopt;
        m_serialText = serialNumberText(serial, platform::languageIds());
        CloseSync();
    }
    return m_serialText;
}

bool THidDevice::WriteReport(std::span<const quint8> report, int& written)
{
    written = 0;
    if (!OpenSync())
        return false;
    if (!m_sync.isOpen()) {
        m_lastError = QStringLiteral("The device may not be opened for writing.");
        return false;
    }
    const auto result = m_sync.write(report);
    written = result.written;
    if (!result.ok)
        m_lastError = m_sync.lastError();
    return result.ok;
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
    setup.devnode = m_info->InterfacePath;
    setup.inputLength = caps.InputReportByteLength;
    setup.withoutReportIds = m_parsedDescriptor && !m_parsedDescriptor->usesReportIds;
    setup.readPeriod = m_readPeriod;
    m_reader = std::make_unique<THidDeviceReadThread>(this, &m_guiContext, setup);
    m_reader->start();
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

void THidDevice::MarkUnplugged()
{
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
    if ((error == ENODEV || error == EIO) && m_owner)
        m_owner->deviceSeemsGone(this);
    const THidDataErrorEvent handler = m_dataErrorHandler;
    if (handler)
        handler(this, error);
}

}  // namespace tavrel
