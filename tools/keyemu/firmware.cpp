#include "keyemu/firmware.h"

#include "keys/inputcodes.h"

#include <algorithm>
#include <linux/input-event-codes.h>
#include <stdexcept>

namespace tavrel::emu {

Firmware::Firmware(int keys, bool wireless, int bindCapacity)
    : m_keys(std::clamp(keys, 0, 15)), m_wireless(wireless),
      // A receiver that could hold nothing would make binding meaningless; it holds one.
      m_capacity(wireless ? std::max(bindCapacity, 1) : 0), m_slots(static_cast<std::size_t>(m_capacity))
{
}

bool Firmware::receive(const QByteArray& report, qint64 nowMs)
{
    advance(nowMs);
    if (m_failWrites)
        return false;
    m_received.push_back(report);
    m_receivedAtMs.push_back(nowMs);
    if (report.size() != ReportLength || quint8(report[0]) != OutputReportId)
        return true;

    const auto byte = [&](int i) { return quint8(report[i]); };
    const int argument = byte(2);
    switch (byte(1)) {
    case CmdReadKey:
        if (argument < StoreSlots)
            answer(keyRecordResponse(m_keys, argument, m_store[argument]), nowMs);
        break;
    case CmdWriteKey:
        if (argument < StoreSlots)
            m_store[argument] = {byte(3), byte(4), byte(5), byte(6), byte(7)};
        break;
    case CmdPair:
        if (!m_wireless)
            break;
        if (argument == PairBind) {
            m_binding = true;
            m_pressDueMs.reset();
            if (m_pairDelayMs >= 0)
                m_pressDueMs = nowMs + m_pairDelayMs;
        } else if (argument == PairClear) {
            // Clearing also ends a bind request that is still waiting for a transmitter.
            std::fill(m_slots.begin(), m_slots.end(), std::nullopt);
            m_binding = false;
            m_pressDueMs.reset();
        }
        break;
    default:
        break;
    }
    return true;
}

std::optional<QByteArray> Firmware::nextInput(qint64 nowMs)
{
    advance(nowMs);
    if (m_outbox.empty() || m_outbox.front().dueMs > nowMs)
        return std::nullopt;
    QByteArray report = std::move(m_outbox.front().report);
    m_outbox.pop_front();
    return report;
}

void Firmware::pushInput(const QByteArray& report, qint64 nowMs)
{
    advance(nowMs);
    queue(report, nowMs);
}

bool Firmware::pressTransmitter(const TransmitterId& id, qint64 nowMs)
{
    advance(nowMs);
    if (!m_binding)
        return false;
    bind(id, nowMs);
    return true;
}

std::vector<SentEvent> Firmware::pressKey(int slot, qint64 nowMs, int holdMs) const
{
    const KeyRecord r = record(slot);
    const quint8 mode = r[4];
    const bool mouse = mode == 0x01 || mode == 0x03;
    const bool repeat = mode == 0x02 || mode == 0x03;
    if (mode > 0x03)
        return {};
    std::vector<quint16> codes;
    if (mouse) {
        for (const quint8 button : {quint8(0x01), quint8(0x02), quint8(0x04)})
            if (r[0] & button)
                codes.push_back(quint16(codeForMouseButton(button)));
    } else {
        for (int bit = 0; bit < 8; ++bit)
            if (r[0] & (1u << bit))
                codes.push_back(quint16(keyCodeForUsage(0xE0 + bit)));
        for (int i = 1; i <= 3; ++i)
            if (const unsigned code = keyCodeForUsage(r[std::size_t(i)]); code && r[std::size_t(i)] != 0xFF)
                codes.push_back(quint16(code));
    }
    std::vector<SentEvent> events;
    if (codes.empty())
        return events;
    const int interface = mouse ? MouseInterface : KeyboardInterface;
    const auto frame = [&](qint64 at, qint32 value) {
        for (const quint16 code : codes)
            events.push_back({interface, EV_KEY, code, value, at});
        events.push_back({interface, EV_SYN, SYN_REPORT, 0, at});
    };
    for (qint64 at = nowMs; at == nowMs || (repeat && at < nowMs + holdMs); at += RepeatPeriodMs) {
        frame(at, 1);
        frame(at + TapMs, 0);
    }
    return events;
}

void Firmware::powerCycle()
{
    m_outbox.clear();
    m_binding = false;
    m_pressDueMs.reset();
}

KeyRecord Firmware::record(int slot) const
{
    if (slot < 0 || slot >= StoreSlots)
        throw std::out_of_range("key slot out of range");
    return m_store[static_cast<std::size_t>(slot)];
}

void Firmware::setRecord(int slot, const KeyRecord& record)
{
    if (slot < 0 || slot >= StoreSlots)
        throw std::out_of_range("key slot out of range");
    m_store[static_cast<std::size_t>(slot)] = record;
}

std::vector<TransmitterId> Firmware::bindings() const
{
    std::vector<Binding> bound;
    for (const auto& slot : m_slots)
        if (slot)
            bound.push_back(*slot);
    std::sort(bound.begin(), bound.end(), [](const Binding& a, const Binding& b) { return a.order < b.order; });
    std::vector<TransmitterId> ids;
    for (const auto& b : bound)
        ids.push_back(b.id);
    return ids;
}

QByteArray Firmware::keyRecordResponse(int keys, int slot, const KeyRecord& record)
{
    QByteArray report(ReportLength, '\0');
    report[0] = char(InputReportId);
    report[1] = char(KeyRecordMarker);
    report[2] = char(((keys & 0x0F) << 4) | (slot & 0x0F));
    for (int i = 0; i < 5; ++i)
        report[3 + i] = char(record[static_cast<std::size_t>(i)]);
    return report;
}

QByteArray Firmware::pairingResponse(bool alreadyBound, int number, const TransmitterId& id)
{
    QByteArray report(ReportLength, '\0');
    report[0] = char(InputReportId);
    report[1] = char(PairingMarker);
    report[2] = char((alreadyBound ? 0x10 : 0x00) | (number & 0x0F));
    for (int i = 0; i < 5; ++i)
        report[3 + i] = char(id[static_cast<std::size_t>(i)]);
    return report;
}

// A simulated transmitter press that has fallen due is carried out at its own time, so its
// answer goes out before anything that was queued after that time.
void Firmware::advance(qint64 nowMs)
{
    if (m_binding && m_pressDueMs && *m_pressDueMs <= nowMs)
        bind(nextTransmitterId(), *m_pressDueMs);
}

void Firmware::answer(const QByteArray& report, qint64 dueMs)
{
    if (!m_dropAnswers)
        queue(report, dueMs);
}

void Firmware::queue(const QByteArray& report, qint64 dueMs)
{
    if (m_outbox.size() >= InputQueueLimit)
        return;
    const auto at = std::upper_bound(m_outbox.begin(), m_outbox.end(), dueMs,
                                     [](qint64 due, const Pending& p) { return due < p.dueMs; });
    m_outbox.insert(at, Pending{dueMs, report});
}

void Firmware::bind(const TransmitterId& id, qint64 atMs)
{
    m_binding = false;
    m_pressDueMs.reset();

    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i] && m_slots[i]->id == id) {
            answer(pairingResponse(true, int(i), id), atMs);
            return;
        }
    }
    auto slot = std::find(m_slots.begin(), m_slots.end(), std::nullopt);
    if (slot == m_slots.end()) {
        slot = std::min_element(m_slots.begin(), m_slots.end(),
                                [](const auto& a, const auto& b) { return a->order < b->order; });
    }
    *slot = Binding{id, m_bindOrder++};
    answer(pairingResponse(false, int(slot - m_slots.begin()), id), atMs);
}

TransmitterId Firmware::nextTransmitterId()
{
    const auto isBound = [this](const TransmitterId& id) {
        return std::any_of(m_slots.begin(), m_slots.end(), [&](const auto& s) { return s && s->id == id; });
    };
    TransmitterId id;
    do {
        const quint32 n = ++m_transmitterSerial;
        id = {0x5A, quint8(n >> 16), quint8(n >> 8), quint8(n), 0xA5};
    } while (isBound(id));
    return id;
}

}  // namespace tavrel::emu
