#include "keyemu/emulateddevice.h"

#include <algorithm>

#include "keyemu/eventnode.h"
#include "keyemu/hidrawnode.h"
#include "keyemu/keystate.h"

#include <chrono>

namespace tavrel::emu {

QByteArray defaultReportDescriptor()
{
    static const quint8 bytes[] = {
        0x06, 0x00, 0xFF,  // Usage Page (vendor-defined 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x01,        //   Report ID (1)
        0x09, 0x02,        //   Usage (2)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x07,        //   Report Count (7)
        0x81, 0x02,        //   Input (Data, Variable, Absolute)
        0x85, 0x02,        //   Report ID (2)
        0x09, 0x03,        //   Usage (3)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x07,        //   Report Count (7)
        0x91, 0x02,        //   Output (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

int bindCapacityFromSerial(const QString& serial)
{
    if (serial.size() < 4 || !serial[2].isDigit() || !serial[3].isDigit())
        return 4;
    const int kind = serial[2].digitValue();
    const int count = serial[3].digitValue();
    return kind < 2 ? count : 5 * count;
}

KeyState::KeyState(KeyModel m, QByteArray d)
    : model(std::move(m)), descriptor(std::move(d)),
      firmware(model.keys, model.wireless, bindCapacityFromSerial(model.serial))
{
}

qint64 KeyState::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EmulatedDevice::EmulatedDevice(std::shared_ptr<KeyState> state, int port) : m_state(std::move(state)), m_port(port) {}

EmulatedDevice::~EmulatedDevice() = default;

QString EmulatedDevice::name() const
{
    return m_state->model.name;
}

const KeyModel& EmulatedDevice::model() const
{
    return m_state->model;
}

bool EmulatedDevice::plugged() const
{
    return m_node != nullptr;
}

QString EmulatedDevice::devnode() const
{
    return m_node ? m_node->devnode() : QString();
}

QString EmulatedDevice::syspath() const
{
    return m_node ? m_node->syspath() : QString();
}

std::vector<QString> EmulatedDevice::inputDevnodes() const
{
    std::vector<QString> nodes;
    for (const auto& input : m_inputs)
        nodes.push_back(input->devnode());
    return nodes;
}

int EmulatedDevice::inputOpens() const
{
    int readers = 0;
    for (const auto& input : m_inputs)
        readers += input->opens();
    return readers;
}

int EmulatedDevice::unreadInputEvents() const
{
    int unread = 0;
    for (const auto& input : m_inputs)
        unread += input->unread();
    return unread;
}

int EmulatedDevice::pressKey(int k, int holdMs)
{
    if (!m_node)
        return 0;
    std::vector<SentEvent> events;
    {
        std::lock_guard lock(m_state->mutex);
        events = m_state->firmware.pressKey(k, KeyState::nowMs(), holdMs);
    }
    const qint64 ahead = m_state->clockAheadMs;
    for (SentEvent& e : events)
        e.stampLaterMs = ahead;
    for (const auto& input : m_inputs)
        input->send(events);
    return int(events.size());
}

void EmulatedDevice::advanceClock(int ms)
{
    if (ms > 0)
        m_state->clockAheadMs += ms;
}

std::array<quint8, 5> EmulatedDevice::record(int k) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.record(k);
}

void EmulatedDevice::setRecord(int k, const std::array<quint8, 5>& record)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.setRecord(k, record);
}

std::vector<QByteArray> EmulatedDevice::received() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.received();
}

std::vector<qint64> EmulatedDevice::receivedAtMs() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.receivedAtMs();
}

void EmulatedDevice::clearReceived()
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.clearReceived();
}

bool EmulatedDevice::waitForReceived(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->receivedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                             [&] { return m_state->firmware.received().size() >= count; });
}

bool EmulatedDevice::waitForWritten(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->receivedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        const auto& received = m_state->firmware.received();
        return std::size_t(std::count_if(received.begin(), received.end(),
                                         [](const QByteArray& report) {
                                             return report.size() >= 2 && report[0] == 0x02 && report[1] == 0x02;
                                         }))
               >= count;
    });
}

std::vector<std::array<quint8, 5>> EmulatedDevice::bindings() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.bindings();
}

void EmulatedDevice::setDropAnswers(bool on)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.setDropAnswers(on);
}

void EmulatedDevice::setFailWrites(bool on)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.setFailWrites(on);
}

void EmulatedDevice::setWriteLimit(int bytes)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.setWriteLimit(bytes);
}

void EmulatedDevice::setPairDelayMs(int ms)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.setPairDelayMs(ms);
}

bool EmulatedDevice::pressTransmitter(const std::array<quint8, 5>& id)
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.pressTransmitter(id, KeyState::nowMs());
}

void EmulatedDevice::pushInput(QByteArray report)
{
    std::lock_guard lock(m_state->mutex);
    m_state->firmware.pushInput(report, KeyState::nowMs());
}

int EmulatedDevice::unreadInput() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->firmware.unread();
}

int EmulatedDevice::opens() const
{
    return m_state->opens;
}

}  // namespace tavrel::emu
