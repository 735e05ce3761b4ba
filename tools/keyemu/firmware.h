#pragma once
// The key's firmware as a model: its store of key records, its receiver bindings, and the
// input reports it sends in answer to the output reports it receives. No I/O of its own: the
// caller passes the time in milliseconds, so a test can step through delays exactly.

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <deque>
#include <optional>
#include <vector>

namespace tavrel::emu {

using KeyRecord = std::array<quint8, 5>;      // Modifiers, Code1, Code2, Code3, Mode
using TransmitterId = std::array<quint8, 5>;  // D2..D6 of a pairing response

constexpr int StoreSlots = 8;
constexpr int ReportLength = 8;
constexpr quint8 InputReportId = 0x01;
constexpr quint8 OutputReportId = 0x02;
constexpr quint8 CmdReadKey = 0x01;
constexpr quint8 CmdWriteKey = 0x02;
constexpr quint8 CmdPair = 0x05;
constexpr quint8 PairBind = 0x01;
constexpr quint8 PairClear = 0x03;
constexpr quint8 KeyRecordMarker = 0x81;
constexpr quint8 PairingMarker = 0x50;
// hidraw keeps at most this many unread reports; further ones are lost.
constexpr std::size_t InputQueueLimit = 64;
constexpr int DefaultPairDelayMs = 1500;

// The key's keyboard and mouse interfaces, through which its presses reach the computer as
// input events.
constexpr int KeyboardInterface = 0;
constexpr int MouseInterface = 1;
// How long the key holds a combination or button down each time it sends it, and how often it
// sends it again while held when its record repeats.
constexpr int TapMs = 20;
constexpr int RepeatPeriodMs = 80;
constexpr int DefaultHoldMs = 200;

// One input event the key sends through an interface (type, code and value as Linux numbers
// them), due at dueMs.
struct SentEvent {
    int interface = KeyboardInterface;
    quint16 type = 0;
    quint16 code = 0;
    qint32 value = 0;
    qint64 dueMs = 0;
    // How much later than dueMs the event's time stamp reads: the key's clock advanced by a test.
    qint64 stampLaterMs = 0;
    friend bool operator==(const SentEvent&, const SentEvent&) = default;
};

class Firmware {
public:
    // keys: the count reported in every key-record response (0..15). bindCapacity: how many
    // transmitters a receiver holds; ignored for a wired key.
    Firmware(int keys, bool wireless, int bindCapacity);

    // One output report as written, report id first. Returns false when the write fails
    // (failWrites); the firmware then has not seen the report.
    bool receive(const QByteArray& report, qint64 nowMs);
    // The oldest input report that is due at nowMs.
    std::optional<QByteArray> nextInput(qint64 nowMs);
    // Queues a raw input report (report id first) as if the device had sent it.
    void pushInput(const QByteArray& report, qint64 nowMs);
    // A key pressed on a transmitter. While a bind request is open it binds the transmitter
    // and answers; otherwise it changes nothing and returns false.
    bool pressTransmitter(const TransmitterId& id, qint64 nowMs);
    // What the key sends when key `slot` is held from nowMs for holdMs, by the record stored
    // there: a keyboard record's modifiers and keys go down together and come up TapMs later
    // (each of them a key event, the lot ending in a SYN_REPORT); a mouse record's button does the
    // same on the mouse interface. A repeating record sends again every RepeatPeriodMs while the
    // key is held, a single one once. A Mode no key sends, and keys without an input code, send
    // nothing.
    std::vector<SentEvent> pressKey(int slot, qint64 nowMs, int holdMs) const;

    // Power lost: unsent reports and an open bind request are gone; the store and the
    // bindings are kept, as the device keeps them in flash.
    void powerCycle();

    // Input reports queued and not yet read.
    int unread() const { return int(m_outbox.size()); }
    bool binding() const { return m_binding; }
    int keys() const { return m_keys; }
    bool wireless() const { return m_wireless; }
    int bindCapacity() const { return m_capacity; }

    KeyRecord record(int slot) const;
    void setRecord(int slot, const KeyRecord& record);
    const std::vector<QByteArray>& received() const { return m_received; }
    // When each of received() came, in the caller's milliseconds.
    const std::vector<qint64>& receivedAtMs() const { return m_receivedAtMs; }
    void clearReceived()
    {
        m_received.clear();
        m_receivedAtMs.clear();
    }
    // Bound transmitters, the earliest bound first.
    std::vector<TransmitterId> bindings() const;

    void setDropAnswers(bool on) { m_dropAnswers = on; }
    void setFailWrites(bool on) { m_failWrites = on; }
    // A node that takes at most this many bytes of a report, and the firmware none of such a
    // report; 0: the whole report.
    void setWriteLimit(int bytes) { m_writeLimit = bytes > 0 ? bytes : 0; }
    int writeLimit() const { return m_writeLimit; }
    // Negative: a bind request is never answered by itself (only pressTransmitter answers).
    void setPairDelayMs(int ms) { m_pairDelayMs = ms; }
    bool dropAnswers() const { return m_dropAnswers; }
    bool failWrites() const { return m_failWrites; }
    int pairDelayMs() const { return m_pairDelayMs; }

    static QByteArray keyRecordResponse(int keys, int slot, const KeyRecord& record);
    static QByteArray pairingResponse(bool alreadyBound, int number, const TransmitterId& id);

private:
    struct Pending {
        qint64 dueMs;
        QByteArray report;
    };
    struct Binding {
        TransmitterId id;
        quint64 order;  // when it was bound, for dropping the earliest
    };

    void advance(qint64 nowMs);
    void answer(const QByteArray& report, qint64 dueMs);
    void queue(const QByteArray& report, qint64 dueMs);
    void bind(const TransmitterId& id, qint64 atMs);
    TransmitterId nextTransmitterId();

    int m_keys;
    bool m_wireless;
    int m_capacity;
    std::array<KeyRecord, StoreSlots> m_store{};
    std::vector<std::optional<Binding>> m_slots;
    quint64 m_bindOrder = 0;
    quint32 m_transmitterSerial = 0;

    bool m_binding = false;
    std::optional<qint64> m_pressDueMs;  // the simulated transmitter press of a bind request

    std::deque<Pending> m_outbox;
    std::vector<QByteArray> m_received;
    std::vector<qint64> m_receivedAtMs;

    bool m_dropAnswers = false;
    bool m_failWrites = false;
    int m_writeLimit = 0;
    int m_pairDelayMs = DefaultPairDelayMs;
};

}  // namespace tavrel::emu
