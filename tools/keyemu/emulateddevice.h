#pragma once
// One emulated programmable key: what it is made as, and what a test may do to it and learn of
// it. The testbed makes, plugs and unplugs it. Its plug state belongs to the testbed's thread;
// its firmware (records, received reports, bindings, switches) may be used from any thread.

#include "keyemu/firmware.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace tavrel::emu {

struct KeyModel {
    QString name;     // empty: "key" followed by a number
    QString serial;   // empty: a default for the kind ("310000000001" style wired, "3114…" wireless)
    QString product;  // empty: "Programmable Key" or "Programmable Key Receiver"
    int keys = 6;
    bool wireless = false;
    quint16 vendorId = 0x16C0, productId = 0x05E1;
    // Empty: the key's own descriptor, a vendor-defined page with report id 1 input 7 bytes
    // and report id 2 output 7 bytes, so both report lengths are 8.
    QByteArray reportDescriptor;
};

// The key's own report descriptor.
QByteArray defaultReportDescriptor();
// Transmitters a receiver with this serial holds: character 3 below 2 gives character 4,
// otherwise 5 times character 4; 4 when the serial does not say.
int bindCapacityFromSerial(const QString& serial);

class EventNode;
class HidrawNode;
struct KeyState;

class EmulatedDevice {
public:
    ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    QString name() const;
    const KeyModel& model() const;
    bool plugged() const;
    // "/dev/hidrawN" while plugged, empty while unplugged. Every plug gives a new N.
    QString devnode() const;
    // The hidraw device's sysfs path while plugged.
    QString syspath() const;
    // The keyboard's and the mouse's "/dev/input/eventN" while plugged, none while unplugged.
    std::vector<QString> inputDevnodes() const;
    // The descriptors open on those nodes now.
    int inputOpens() const;
    // Events sent to those nodes that a descriptor open on them has not read yet, summed over
    // the descriptors: 0 once every reader has taken all of every press so far.
    int unreadInputEvents() const;

    // Key k (0..7) pressed and held for holdMs: what its stored record says goes out through the
    // keyboard or the mouse interface, as Firmware::pressKey describes. The number of events
    // sent; none while unplugged or for a record that sends nothing.
    int pressKey(int k, int holdMs = DefaultHoldMs);
    // The input events of presses from now on are stamped ms later than the monotonic clock
    // says, as if ms had passed before them; they still arrive at once. Lets a test put two
    // presses further apart than the program's repeat gap without waiting. Adds up.
    void advanceClock(int ms);

    std::array<quint8, 5> record(int k) const;  // k: 0..7
    void setRecord(int k, const std::array<quint8, 5>& record);
    // Output reports the firmware has taken, oldest first (failed writes are not among them).
    std::vector<QByteArray> received() const;
    // When the firmware took each of received(), in milliseconds of a monotonic clock.
    std::vector<qint64> receivedAtMs() const;
    void clearReceived();
    // Waits until at least count reports have been received; false on time-out.
    bool waitForReceived(std::size_t count, int timeoutMs) const;
    // Until `count` of the reports received are write-key requests, or the time is up.
    bool waitForWritten(std::size_t count, int timeoutMs) const;
    // Bound transmitters, the earliest bound first.
    std::vector<std::array<quint8, 5>> bindings() const;

    // Answers are lost (the device still acts on the requests).
    void setDropAnswers(bool on);
    // write() on the node fails with EIO and the firmware does not see the report.
    void setFailWrites(bool on);
    // write() on the node takes at most `bytes` bytes of a report (0: all of it), and the
    // firmware does not see a report cut short.
    void setWriteLimit(int bytes);
    // Delay of the simulated transmitter press after a bind request; negative: never.
    void setPairDelayMs(int ms);
    // A key press on a transmitter during a bind request; false when no bind request is open.
    bool pressTransmitter(const std::array<quint8, 5>& id);
    // Queues a raw input report (report id first) for the next read() of the node.
    void pushInput(QByteArray report);
    // How often the key's node has been opened, over all its plugs.
    int opens() const;
    // Input reports the key has queued that no reader has taken yet.
    int unreadInput() const;

private:
    friend class Testbed;
    EmulatedDevice(std::shared_ptr<KeyState> state, int port);

    std::shared_ptr<KeyState> m_state;
    std::unique_ptr<HidrawNode> m_node;
    std::vector<std::unique_ptr<EventNode>> m_inputs;
    int m_port;
};

}  // namespace tavrel::emu
