#pragma once
// Drives the device session for a command that runs from start to end: each step asks the
// session for something and runs the event loop until the session has announced the outcome,
// or a deadline passes. The session does the reading, writing and pairing; this only waits.

#include "ctl/commandline.h"
#include "session/devicesession.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <functional>
#include <optional>
#include <variant>

class QEventLoop;

namespace tavrel::ctl {

class SessionDriver : public QObject {
    Q_OBJECT
public:
    explicit SessionDriver(DeviceSession& session);

    // Starts the session and waits for its first scan: the list of keys is known then.
    std::optional<Failure> start();
    const std::vector<SessionDevice>& devices() const { return m_session.devices(); }
    DeviceSession& session() { return m_session; }

    // Selects the listed key and waits until every key it has was read: their records are then
    // in the session's table, and the table's key count is the key's.
    std::optional<Failure> read(int index);
    // Selects the listed key and waits for its first answer only, which tells how many keys it
    // has; none when it does not answer in time.
    std::optional<int> keyCount(int index, int timeoutMs);
    // Writes the keys (0-based) of the table to the selected key and waits until it is over.
    WriteOutcome write(const QList<int>& keys);

    // Asks the receiver to bind a transmitter and waits for its answer, for as long as the
    // session counts down.
    std::variant<PairingResponse, Failure> bind(int index);
    // Asks the receiver to forget every transmitter; no answer comes, so this waits only until
    // the request was sent.
    std::optional<Failure> unbind(int index);

    // The name of a listed key in messages.
    QString nameOf(int index) const;

private:
    std::optional<Failure> select(int index);
    bool readComplete() const;
    void retryRead();
    void devicesChanged();
    // Runs the event loop until `done` holds or `timeoutMs` pass; whether it holds.
    bool waitUntil(std::function<bool()> done, int timeoutMs);
    void wake();

    DeviceSession& m_session;
    QEventLoop* m_loop = nullptr;
    std::function<bool()> m_done;

    bool m_scanned = false;
    QString m_failure;  // the last failure the session announced while a step waits
    QString m_targetSerial;
    bool m_targetGone = false;
    bool m_waitingForRead = false;
    QSet<int> m_answered;  // keys of the selected key that answered since it was selected

    std::optional<WriteOutcome> m_outcome;
    std::optional<PairingResponse> m_pairing;
    bool m_bindTimedOut = false;
    bool m_bindFailed = false;
    std::optional<bool> m_clearSent;
};

}  // namespace tavrel::ctl
