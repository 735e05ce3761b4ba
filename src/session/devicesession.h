#pragma once
// The device session: everything Tavrel knows and does about the attached keys, without widgets.
// It holds one model per attached key (AttachedDevice) in a stable order, the selected key and the
// key being edited on it, the keyboard capture, the pairing countdown and the report log. The
// windows and the command line show its state and forward the user's actions to it.

#include "config/boundedlog.h"
#include "config/configfile.h"
#include "config/configio.h"
#include "config/reportlog.h"
#include "keys/keycapture.h"
#include "session/attacheddevice.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <variant>
#include <vector>

namespace tavrel {

class DeviceNoticeBoard;
class HidDeviceWatcher;
class WriteHistory;

namespace platform {
class HotplugMonitor;
class UdevContext;
struct HidInterface;
}  // namespace platform

// Seconds a bind request waits for a transmitter.
constexpr int BindSeconds = 10;
// The re-poll: a selected key that has not answered yet is read again after this.
constexpr int RepollMs = 500;
// A key silent for this many re-polled reads in a row is asked less and less often, up to
// RepollMaxMs apart, until it sends anything or is selected or plugged in again.
constexpr int RepollSteadyRounds = 3;
constexpr int RepollMaxMs = 8000;

class DeviceSession : public QObject, private ReportLog {
    Q_OBJECT
public:
    // With the system's udev.
    explicit DeviceSession(QObject* parent = nullptr);
    // With the given udev context; inert (no devices ever) when it is null.
    DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent);
    ~DeviceSession() override;

    // Starts watching for devices: the first listing runs once the event loop does.
    void start();
    // Without udev no device is ever found.
    bool isInert() const;
    // Whether a key is read as soon as it is selected, and again while it does not answer, as
    // the window wants it. A command that reads only the key it names turns this off before
    // start().
    void setReadsWhenSelected(bool on) { m_readsWhenSelected = on; }
    // The first listing has run: devices() lists what is attached.
    bool scanned() const { return m_scanned; }

    // --- the attached keys
    // In the order they were found; a key keeps its place while it stays plugged in.
    const std::vector<AttachedDevice*>& devices() const { return m_devices; }
    int indexOf(const AttachedDevice* key) const;
    // The key the window shows and edits, or null.
    AttachedDevice* selected() const { return m_selected; }
    int selectedDevice() const { return indexOf(m_selected); }
    bool devicePresent() const { return m_selected != nullptr; }
    // Selects another listed key and reads it; the selected one again does nothing, and so does
    // anything while the selected key is being written.
    void selectDevice(int index);

    // What the selected key offers (nothing without one), and how the window shows it: a key
    // chosen by a device change shows the mouse page by another reading of its serial than one
    // the user chose.
    KeyCapabilities capabilities() const;
    bool mousePageShown() const;
    bool triggerGroupsShown() const;
    int bindCapacity() const { return capabilities().bindCapacity; }

    // --- the key being edited on the selected key
    int selectedKey() const { return m_selectedKey; }
    // Another key to edit (-1, or any index the selected key does not offer, selects none).
    void selectKey(int key);
    // The keys the selected key offers for editing: none before its first answer.
    int shownKeys() const;
    // The selected key's record for key `key`, if it holds one.
    const std::optional<StoredRecord>& shownRecord(int key) const;

    // Edits of the key being edited. Each keeps the record whole and consistent, marks it as the
    // user's, and announces keyChanged.
    void useKeyboard();                  // a key that is not a keyboard one becomes an empty one
    void useMouse();                     // a keyboard key becomes the left mouse button
    void setMouseButton(quint8 button);  // 01 left, 02 right, 04 wheel button
    void setRepeat(bool repeat);         // the trigger, on the kind of key it is
    // The whole record of any key of the selected key, as a key file sets it: shown as a record
    // read from the key would be, and to be written. An index outside the slots changes nothing.
    void setRecord(int key, const KeyRecord& record);

    // --- keyboard capture
    // Key events count only between these two: one that arrives after capture stopped (the hook
    // library's messages are in flight a moment longer) changes nothing.
    void startCapture();
    // Capture stopped: the keys still held are forgotten.
    void stopCapture();
    bool capturing() const { return m_capturing; }
    // A key event from the hook library; a taken combination is stored in the key being edited.
    void captureKey(const KeyEvent& event);
    // The last combination capture took: its key usages ("224-4"), and the record bytes it was
    // encoded into ("01-04-00-00"). For the state snapshot.
    struct CaptureTrace {
        QString codes;
        QString trace;
    };
    const CaptureTrace& lastCapture() const { return m_lastCapture; }

    // --- moving the configuration of the selected key
    // The user asks for the key's records: they replace what is shown, edits included.
    void read();
    // Writes every key the selected key has that holds a record.
    void write();
    // Writes only the given keys (0-based), in ascending order.
    void writeKeys(QList<int> keys);
    bool reading() const { return m_selected && m_selected->reading(); }
    bool writing() const { return m_selected && m_selected->writing(); }
    bool busy() const { return reading() || writing(); }
    // Reads the selected key again every RepollMs while it has not answered since it was found,
    // less often once it has stayed silent for a while (repollDelayMs).
    QTimer* repollTimer() const { return m_repoll; }
    void repoll();
    // The re-poll's interval after `silentRounds` re-polled reads in a row without an answer:
    // RepollMs for the first RepollSteadyRounds, then doubling up to RepollMaxMs.
    static int repollDelayMs(int silentRounds);

    // --- key files
    // Whether every key of the selected key holds a record, with no read or write running: only
    // then is what is shown a whole configuration of that key.
    bool keysRead() const;
    // The selected key's keys as a key file, as they are shown; empty unless keysRead().
    QByteArray keyFile() const;
    // Checks a key file whole against the selected key, then takes its keys: each is shown as
    // an edit would show it and goes to the key with the next write(). The number of keys loaded,
    // or the faults, with nothing changed. A fault on line 0 concerns no line of the file.
    std::variant<int, configfile::FileErrors> loadKeyFile(const QByteArray& text);

    // --- pairing, with the selected key
    // Asks the receiver to bind a transmitter and counts down the seconds it waits for one.
    void bind();
    void clearBindings();
    int bindCountdown() const { return m_bindCountdown; }
    QTimer* bindTimer() const { return m_bindTimer; }
    void bindTick();

    // --- what a key sends through its keyboard and mouse interfaces (the key tester)
    // Whether the selected key's input devices are read while it is selected, as the window
    // wants it.
    void setWatchesSelected(bool on);
    // Reads what `key` sends from now on, whatever is selected, until it goes.
    void watchInput(AttachedDevice* key);

    // --- the write history of every key (session/writehistory.h)
    WriteHistory* history() const { return m_history; }

    // --- the report log of every key: its latest lines, oldest first, and how many older ones
    // made room for them
    QStringList log() const { return m_log.lines(); }
    quint64 logDropped() const { return m_log.dropped(); }

signals:
    // The list of keys changed (a key found or gone); the selection is settled.
    void devicesChanged();
    // Another key was selected; what it offers is known.
    void deviceSelected();
    // The selected key said how many keys it has.
    void keyCountChanged();
    // The record of `key` of the selected key changed: answered, edited, captured or loaded.
    void keyChanged(int key);
    void keySelected(int key);
    // The selected device answered a request of a read, explicit or automatic, for `key`.
    void keyAnswered(int key);
    // A combination was taken for the key being edited; `trace` shows its record's bytes.
    void combinationTaken(const TakenCombination& taken, const QString& trace);
    void busyChanged(bool busy);
    void readFinished();
    void writeProgress(int value);
    void writeSending(const OutputReport& report);
    void writeFinished(const WriteOutcome& outcome);
    void logAppended(const QString& line);
    // Pairing: the answer of the receiver whose bind is open, `from`.
    void pairingAnswered(tavrel::AttachedDevice* from, const tavrel::PairingResponse& response);
    void bindCountdownChanged(int secondsLeft);
    void bindTimedOut();
    void bindRequestFailed();
    void clearRequestDone(bool sent);
    // A watched key sent a press or release; `key` is the key (0-based) of `from` whose record
    // sends it when exactly one does, otherwise -1.
    void inputReceived(tavrel::AttachedDevice* from, const tavrel::InputChange& change, int key);
    // What the selected key sent is over: it went, or another key was selected.
    void receivedCleared();
    // A key was found that this user may not open for writing (once per interface).
    void accessDenied(const QString& itemText);
    // A failure to show: the interfaces could not be listed.
    void failed(const QString& message);
    // The selected key's write waits for another program's, or stopped waiting; or keys of it
    // with edits not written were changed by another program (AttachedDevice::sharingChanged).
    void sharingChanged();

private:
    void init(std::shared_ptr<platform::UdevContext> udev, bool systemUdev);
    // ReportLog
    void append(const QString& line) override;

    void addDevice(const platform::HidInterface& info);
    // The interface at `syspath` went: its device's node says so, and the device goes.
    void removeDevice(const QString& syspath);
    // What the device was doing ends, and says so, before it goes.
    void dropDevice(AttachedDevice* device);
    // After devices came or went: the selection, the access warning, devicesChanged.
    void settleDevices();
    void select(AttachedDevice* key, bool byDeviceChange);
    void connectKey(AttachedDevice* key);
    // The key being edited on the selected key, when there is one.
    AttachedDevice* editedKey() const;
    void edit(const KeyRecord& record, const QString& text = {});
    void setBusy();
    void watch(AttachedDevice* key, bool on);

    HidDeviceWatcher* m_watcher = nullptr;
    WriteHistory* m_history = nullptr;
    // Writes shared with the user's other Tavrel programs; opened when the first key is found.
    DeviceNoticeBoard* m_noticeBoard = nullptr;
    std::vector<AttachedDevice*> m_devices;
    AttachedDevice* m_selected = nullptr;
    bool m_selectedByChange = false;
    bool m_readsWhenSelected = true;
    bool m_scanned = false;
    QSet<quint32> m_accessWarned;

    int m_selectedKey = -1;
    KeyCapture m_capture;
    bool m_capturing = false;
    CaptureTrace m_lastCapture;
    BoundedLog m_log;

    QTimer* m_repoll = nullptr;
    int m_silentRounds = 0;
    bool m_wasBusy = false;

    QTimer* m_bindTimer = nullptr;
    int m_bindCountdown = 0;
    // The receiver the countdown waits for: only its answer ends it.
    QPointer<AttachedDevice> m_bindingKey;

    bool m_watchesSelected = false;
    // Input devices come and go apart from the hidraw interfaces: watched keys look again when
    // udev says so, once for a burst of such changes.
    platform::HotplugMonitor* m_inputMonitor = nullptr;
    QTimer* m_refindInput = nullptr;
};

}  // namespace tavrel
