#pragma once
// Drives the device session for a command that runs from start to end. Work on a device starts
// with a call that returns at once and reports its outcome to a handler; waitFor() runs the event
// loop until the outcomes a command waits for are in, so several devices are read and written at
// once, each at its own pace. The devices do the reading, writing and pairing; this only starts
// them, asks again where a read missed answers, and waits.

#include "ctl/commandline.h"
#include "session/devicesession.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <variant>

class QEventLoop;

namespace tavrel::ctl {

class SessionDriver : public QObject {
    Q_OBJECT
public:
    explicit SessionDriver(DeviceSession& session);

    // Starts the session and waits for its first listing: the list of devices is known then.
    std::optional<Failure> start();
    const std::vector<AttachedDevice*>& devices() const { return m_session.devices(); }
    DeviceSession& session() { return m_session; }

    // A device that may not be opened, as a failure with the fix; none for one that may.
    std::optional<Failure> refusedAccess(const AttachedDevice* device) const;

    using Done = std::function<void(std::optional<Failure>)>;
    // Reads every key of `device` until each has answered, asking again for a while where answers
    // were missed; then its records are in its model.
    void read(AttachedDevice* device, Done done);
    // Asks the device for its first answer only, which tells how many keys it has; `done` gets the
    // count, none when it did not answer in time.
    void keyCount(AttachedDevice* device, int timeoutMs, std::function<void(std::optional<int>)> done);
    // Writes the keys (0-based) that `device` holds. A device unplugged on the way ends the write with
    // the keys not written named.
    void write(AttachedDevice* device, const QList<int>& keys, std::function<void(WriteOutcome, bool gone)> done);

    // Runs the event loop until `done` holds or `timeoutMs` pass; whether it holds.
    bool waitFor(std::function<bool()> done, int timeoutMs);

    // The same, one device and one step at a time.
    std::optional<Failure> read(AttachedDevice* device);

    // Asks the receiver to bind a transmitter and waits for its answer, for as long as the
    // receiver counts down.
    std::variant<PairingResponse, Failure> bind(AttachedDevice* receiver);
    // Asks the receiver to forget every transmitter; no answer comes, so this waits only until
    // the request was sent.
    std::optional<Failure> unbind(AttachedDevice* receiver);

    // Where a step says what it waits for (another program's write to the same device).
    void setNoteHandler(std::function<void(const QString&)> note) { m_note = std::move(note); }

    // The name of a device in messages.
    static QString nameOf(const AttachedDevice* device);
    // The device named `name` went while a command used it (exit 3).
    static Failure unplugged(const QString& name);

    // Limits that only keep a command from hanging on a device that stopped answering; the
    // devices pace the work themselves. A machine under load can hold an answer up for seconds.
    static constexpr int ReadLimitMs = 8000;
    // A write may wait for another program's write to the device first.
    static constexpr int WriteLimitMs = 2 * WriteLongestMs + 5000;

private:
    void wake();

    DeviceSession& m_session;
    QEventLoop* m_loop = nullptr;
    std::function<bool()> m_done;
    std::function<void(const QString&)> m_note;
};

}  // namespace tavrel::ctl
