#pragma once
// One attached device: its hidraw interface, who the device is and what it offers, its assignments as
// typed records, its state, and its own paced read and write sequences and pairing requests, so
// that several devices are read and written at once, each at the pace the device needs. Records
// reach and leave this device only: an answer is taken only when this device's own read waits for
// it, and a write sends only what this device holds.

#include "config/configio.h"
#include "config/keyassignments.h"
#include "config/reportlog.h"
#include "config/reports.h"
#include "config/sentinput.h"
#include "devices/devicecapabilities.h"
#include "devices/deviceidentity.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <bitset>
#include <functional>
#include <memory>
#include <span>

class QTimer;

namespace tavrel {

class DeviceNoticeBoard;
class KeyInput;
class HidDevice;
struct IoResult;

namespace platform {
class FileLock;
}

// How long a written report may take before the device counts as not taking reports.
constexpr int WriteDeadlineMs = 2000;
// The longest a write of every key may take, and so the longest a write waits while another
// Tavrel program writes the same device.
constexpr int WriteLongestMs = KeySlots * (WritePauseMs + WriteDeadlineMs);
// How long a read waits after its last pause for answers still on their way.
constexpr int ReadGraceMs = 250;
// Seconds a bind request waits for a transmitter.
constexpr int BindSeconds = 10;

class AttachedDevice : public QObject {
    Q_OBJECT
public:
    enum class State { Unread, Reading, Read, Writing, Failed, Gone };
    enum class ReadKind {
        // The device was found or chosen, or has not answered yet: edits not written stay.
        Automatic,
        // The user asked for the device's records: they replace whatever is shown.
        Explicit,
    };

    // Owns the device's interface and reads its node. Reports go to `log`. Writes are shared with
    // the user's other Tavrel programs through `board`, when there is one.
    AttachedDevice(std::unique_ptr<HidDevice> device, ReportLog& log, DeviceNoticeBoard* board = nullptr,
                   QObject* parent = nullptr);
    ~AttachedDevice() override;

    HidDevice* device() const { return m_device.get(); }
    const DeviceIdentity& identity() const { return m_identity; }
    const DeviceCapabilities& capabilities() const { return m_capabilities; }
    // "<product> (SN:<serial>)", as the device list shows it.
    QString itemText() const;
    // Whether this user may open the device's node; why not, when not.
    bool canWrite() const;
    QString accessError() const;

    State state() const;
    const KeyAssignments& assignments() const { return m_assignments; }
    // The device answered at least once since it was found.
    // Whether the device has answered any read: the key count comes with every answer.
    bool answered() const { return m_assignments.keyCount().has_value(); }

    // Reads every key. A read running serves an automatic request; an explicit one during an
    // automatic read starts it again, as explicit. Nothing is read while a write runs.
    void read(ReadKind kind);
    bool reading() const { return m_read.running; }
    // Every key the device has answered during the last read.
    bool readComplete() const;
    // Keys (0-based) that did not answer during the last read, of those the device has.
    QList<int> keysNotAnswered() const;

    // Writes every key the device has, or only the given keys (0-based, in ascending order). A key it
    // does not have, or for which nothing is held, is reported as not written. Ignored while a
    // write runs; stops a read. While another Tavrel program writes the device, the write waits
    // for it (at most WriteLongestMs), takes what that program wrote, and goes on.
    void write();
    void writeKeys(QList<int> keys);
    bool writing() const { return m_write.running; }
    bool busy() const { return reading() || writing(); }
    // The write waits for another Tavrel program's write to the device to end.
    bool waitingForOtherWrite() const { return m_waitingForLock; }

    // Takes what another Tavrel program wrote to the device, when it posted a notice not taken
    // yet: records held as the device held them are replaced, edits not written stay and count as
    // changed elsewhere (assignments().changedElsewhere()) until the device is written or read.
    void takeNotice();

    // Key `key` holds `record` from `origin` (an edit, a key file); `text` empty shows the record's
    // display text. Outside the slots nothing changes.
    void setRecord(int key, const KeyRecord& record, RecordOrigin origin, const QString& text = {});

    // Asks a receiver to bind the next transmitter that sends, and counts down the BindSeconds
    // it waits for one; or to forget every transmitter. Failures to send are announced; the
    // receiver answers a binding with a pairing answer. A pairing answer counts only while this
    // device's own bind is open: from the request to the first answer, the time-out, endBind()
    // or a clear. A clear leaves the countdown running to its time-out.
    void bind();
    // The bind ends without a word: another receiver is being paired.
    void endBind();
    void clearBindings();
    // Seconds the countdown of a bind has left; 0 when none runs.
    int bindCountdown() const { return m_bindCountdown; }

    // --- what the device sends through its keyboard and mouse interfaces
    // While watched, the device's input devices are read and each press and release is announced.
    void setInputWatched(bool on);
    KeyInput* input() const { return m_input; }
    // Input devices may have come or gone.
    void refindInput();
    // The key (0-based) whose record, as the device holds it, sends `change`, when exactly one does;
    // otherwise -1. Records not written yet are not what the device holds.
    int keySending(const InputChange& change) const;

    // An input report of this device's node.
    void handleReport(quint8 reportId, std::span<const quint8> data);
    // The device was unplugged: what runs ends, and what was not written is reported so.
    void markGone();
    bool gone() const { return m_gone; }

signals:
    // Key `key`'s record changed: read, edited or loaded.
    void recordChanged(int key);
    // The device answered this device's read with a record that is now held.
    void answerTaken(int key);
    // The device answered a request of this device's read, whether or not its record was taken.
    void readAnswered(int key);
    // The device said how many keys it has, and it differs from before.
    void keyCountChanged();
    void stateChanged();
    void readFinished();
    void writeProgress(int value);
    // A write of `keys` is about to send its first report, with the records still as they were:
    // the write history takes its entry now.
    void writeStarting(const QList<int>& keys);
    void writeSending(const OutputReport& report);
    void writeFinished(const WriteOutcome& outcome);
    // The write began or stopped waiting for another program's, or keys with edits not written
    // were changed by another program, or that note was cleared.
    void sharingChanged();
    // Pairing: the answer to this device's open bind, which ends its countdown.
    void pairingAnswered(const tavrel::PairingResponse& response);
    // A second of the bind's countdown passed; at 0 the bind timed out.
    void bindCountdownChanged(int secondsLeft);
    void bindTimedOut();
    void bindRequestFailed();
    void clearRequestDone(bool sent);
    // The device sent a report, whatever it holds.
    void reportReceived();
    // A press or release from the device's input devices, and the key that sends it or -1.
    void inputReceived(const tavrel::InputChange& change, int key);

private:
    struct ReadRun {
        bool running = false;
        ReadKind kind = ReadKind::Automatic;
        int next = 0;  // the key index to ask next
        bool sentAll = false;
    };
    struct WriteRun {
        bool running = false;
        QList<int> keys;   // to be written, in order
        int index = 0;     // the position in `keys` being written
        QList<int> taken;  // keys the device took
        WriteOutcome outcome;
    };

    // Sends one report to the device's node: logged whole as it goes out, so that its answer never
    // shows before it; a write that fails or is cut short adds a line with the bytes the driver
    // took. `done` runs later, from the event loop.
    void send(const OutputReport& report, std::function<void(const IoResult&)> done = {});

    void sendNextRead();
    void answer(const KeyRecordResponse& response);
    // Keys the running read still waits for, of those the device has.
    bool waitingForAnswers() const;
    void finishRead();
    void stopRead();
    // Takes the device's write lock, or waits for it, then writes.
    void beginWrite();
    // Tells the other programs what the device holds now, and lets the lock go.
    void shareWrite();
    void applyNotice();
    void stepWrite();
    void writeDone(quint64 generation, int position, const IoResult& result);
    void abortWrite();
    void finishWrite();
    void setState();
    void bindTick();
    void stopBindCountdown();

    std::unique_ptr<HidDevice> m_device;
    DeviceIdentity m_identity;
    DeviceCapabilities m_capabilities;
    ReportLog& m_log;
    KeyAssignments m_assignments;
    bool m_gone = false;
    bool m_bindOpen = false;
    int m_bindCountdown = 0;
    QTimer* m_bindTimer;
    bool m_lastFailed = false;
    State m_shownState = State::Unread;

    ReadRun m_read;
    // Key indexes this key's read has asked for and not had answered: only these answers count.
    std::bitset<16> m_awaiting;
    std::bitset<16> m_answeredInRead;
    WriteRun m_write;
    // Results of requests from before the running sequence are told apart by it.
    quint64 m_generation = 0;
    QTimer* m_readPause;
    QTimer* m_readGrace;
    QTimer* m_writePause;
    QTimer* m_writeDeadline;
    KeyInput* m_input = nullptr;

    DeviceNoticeBoard* m_board = nullptr;
    std::unique_ptr<platform::FileLock> m_lock;
    // The newest notice taken or seen, by the name of its write.
    QString m_lastNotice;
    QTimer* m_lockRetry;
    QElapsedTimer m_lockWait;
    bool m_waitingForLock = false;
};

}  // namespace tavrel
