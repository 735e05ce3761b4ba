#pragma once
// The device session: everything Tavrel knows and does about the attached keys, without widgets.
// It owns the device controller and the claimed devices, the selection and what the selected
// key's serial offers, the key table with the keys that are current, the report log, the paced
// read and write sequences, the pairing requests and the keyboard capture. The windows and the
// command line show its state and forward the user's actions to it.

#include "config/assignment.h"
#include "config/configfile.h"
#include "config/configio.h"
#include "config/keytable.h"
#include "config/protocol.h"
#include "keys/capture.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <variant>
#include <vector>

namespace tavrel {

class THidDevice;
class THidDeviceController;

namespace platform {
class UdevContext;
}

// A listed key: the claimed device with what the list shows of it.
struct SessionDevice {
    THidDevice* hid = nullptr;
    QString itemText;  // "<product> (SN:<serial>)"
    QString product;
    QString serial;
    bool wireless = false;
    bool canWrite = false;
    QString accessError;  // why the node cannot be opened for writing, when it cannot
};

// What the selected key's serial offers.
struct Capabilities {
    QString serial;
    QString modelDigits;         // characters 1-2
    bool triggerGroups = false;  // the trigger groups, as a selection decides
    bool mousePage = false;      // the mouse page: a selection decides, then a device change
    bool pairing = false;
    int bindCapacity = 0;
    bool byDeviceChange = false;  // last set by a device change rather than a selection
};

class DeviceSession : public QObject, private ReportTransport, private ReportLog {
    Q_OBJECT
public:
    // With the system's udev.
    explicit DeviceSession(QObject* parent = nullptr);
    // With the given udev context; inert (no devices ever) when it is null.
    DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent);
    ~DeviceSession() override;

    // Starts the device controller: its first scan runs once the event loop does.
    void start();
    THidDeviceController* controller() const { return m_controller; }

    // --- devices
    const std::vector<SessionDevice>& devices() const { return m_devices; }
    int selectedDevice() const { return m_selected; }
    // The device requests go to: the selected one, or a key claimed while none is listed.
    THidDevice* currentDevice() const { return m_current; }
    bool devicePresent() const { return m_current != nullptr; }
    const Capabilities& capabilities() const { return m_caps; }
    int BindCapacity() const { return m_caps.bindCapacity; }
    // Selects another listed device and reads it; the selected one again does nothing.
    void selectDevice(int index);

    // --- the table and the key being edited
    const KeyTable& table() const { return m_table; }
    KeyTable& table() { return m_table; }
    int selectedKey() const { return m_selectedKey; }
    // Another key to edit (-1, or any index the table does not have, selects none).
    void selectKey(int key);

    // Edits of the selected key. Each keeps the record whole and consistent, marks the key as
    // set by the user when it changed it, and announces keyChanged.
    void useKeyboard();               // a mouse key becomes an empty keyboard key
    void useMouse();                  // a keyboard key becomes the left mouse button
    void setMouseButton(quint8 button);  // 01 left, 02 right, 04 wheel button
    void setRepeat(bool repeat);      // the trigger, on the kind of key it is
    // The whole record of any key, as a restore sets it: shown as a record read from the key
    // would be, and marked as set by the user. An index the table does not have changes nothing.
    void setRecord(int key, const KeyRecord& record);

    // --- keyboard capture
    // Key events count only between these two: one that arrives after capture stopped (the hook
    // library's messages are in flight a moment longer) changes nothing.
    void startCapture();
    // Capture stopped: the keys still held are forgotten.
    void stopCapture();
    bool capturing() const { return m_capturing; }
    // A key event from the hook library for the selected key; a taken combination is stored.
    void captureKey(const KeyEvent& event);
    const KeyCapture& capture() const { return m_capture; }

    // --- moving the configuration
    // Reads every key of the selected device. A read of the same device that is running
    // already serves the request.
    void read();
    // Writes every key that may be written to the selected device.
    void write();
    // Writes only the given keys (0-based), in ascending order. A key the device does not have,
    // or that may not be written, is reported as not written.
    void writeKeys(QList<int> keys);
    bool reading() const { return m_read.running; }
    bool writing() const { return m_write.running; }
    bool busy() const { return reading() || writing(); }
    // The re-poll: reads again every 500 ms while no answer came since the device was found.
    QTimer* repollTimer() const { return m_repoll; }
    void Timer1Timer();

    // The records of the selected device's keys (KeyCount of them), as the table holds them.
    std::vector<KeyRecord> records() const;

    // --- key files
    // Whether every key of the selected device holds a record read from it or set since, with
    // no read or write running: only then is the table a whole configuration of that device.
    bool keysRead() const;
    // The selected device's keys as a key file, as the table holds them (and so as they are
    // shown); empty unless keysRead().
    QByteArray keyFile() const;
    // Checks a key file whole against the selected device, then puts its keys into the table:
    // each is shown as an edit would show it and goes to the device with the next write(). The
    // number of keys loaded, or the faults, with the table left as it was. A fault on line 0
    // concerns no line of the file (no keys read yet).
    std::variant<int, configfile::FileErrors> loadKeyFile(const QByteArray& text);

    // --- pairing
    // Asks the receiver to bind a transmitter and counts down the seconds it waits for one.
    void bind();
    void clearBindings();
    int BindCountdown() const { return m_bindCountdown; }
    QTimer* bindTimer() const { return m_bindTimer; }
    void bindTick();

    // --- the report log
    const QStringList& log() const { return m_log; }

    // The controller's handlers.
    bool HidCtlEnumerate(THidDevice* HidDev, int Idx);
    void HidCtlDeviceChange(QObject* Sender);
    void HidCtlDeviceData(THidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size);

signals:
    // The device list was rebuilt (and a device selected, or none is left).
    void devicesChanged();
    // Another device was selected; its capabilities are known.
    void deviceSelected();
    // A key-record response was stored for `key`: the keys are rebuilt and key 0 is selected.
    void recordAnswered(int key);
    // The record or text of `key` changed by an edit or a capture.
    void keyChanged(int key);
    void keySelected(int key);
    // A combination was taken for the selected key.
    void combinationTaken(const TakenCombination& taken, const EncoderTexts& texts);
    void busyChanged(bool busy);
    void readFinished();
    void writeProgress(int value);
    void writeSending(const OutputReport& report);
    void writeFinished(const WriteOutcome& outcome);
    void logAppended(const QString& line);
    // Pairing.
    void pairingAnswered(const PairingResponse& response);
    void bindCountdownChanged(int secondsLeft);
    void bindTimedOut();
    void bindRequestFailed();
    void clearRequestDone(bool sent);
    // A key was found that this user may not open for writing (once per interface).
    void accessDenied(const QString& itemText);
    // A failure to show: a serial that cannot be decoded, a scan that failed.
    void failed(const QString& message);

private:
    struct ReadRun {
        bool running = false;
        THidDevice* device = nullptr;
        int next = 0;
        quint64 generation = 0;
    };
    struct WriteRun {
        bool running = false;
        QList<int> keys;  // to be written, in order
        int index = 0;    // the position in `keys` being written
        quint64 generation = 0;  // answers of an earlier request or run are told apart by it
        WriteOutcome outcome;
    };

    void init(std::shared_ptr<platform::UdevContext> udev, bool systemUdev);
    // ReportTransport
    void write(const OutputReport& report, std::function<void(const IoResult&)> done) override;
    // ReportLog
    void append(const QString& line) override;

    void rebuildDevices();
    void releaseListedDevices();
    void applySelection(int index);
    void takeSelectedDevice();
    void handleKeyRecord(THidDevice* from, const KeyRecordResponse& r);
    void setField(int key, Field field, const QString& value);

    void sendNextRead();
    void stopRead();
    void stepWrite();
    void startWrite(QList<int> keys);
    void writeDone(quint64 generation, int position, const IoResult& result);
    void abortWrite();
    void finishWrite();
    void setBusy();

    THidDeviceController* m_controller = nullptr;
    std::vector<SessionDevice> m_devices;
    int m_selected = -1;
    THidDevice* m_current = nullptr;
    THidDevice* m_fallback = nullptr;  // claimed while none is listed; released at the next change
    Capabilities m_caps;
    QSet<quint32> m_accessWarned;
    bool m_rebuildPending = false;

    KeyTable m_table;
    int m_selectedKey = -1;
    KeyCapture m_capture;
    bool m_capturing = false;
    ReportChannel m_channel{*this, *this};
    QStringList m_log;

    ReadRun m_read;
    WriteRun m_write;
    QTimer* m_readPause = nullptr;
    QTimer* m_writePause = nullptr;
    QTimer* m_writeDeadline = nullptr;
    QTimer* m_repoll = nullptr;
    bool m_wasBusy = false;

    QTimer* m_bindTimer = nullptr;
    int m_bindCountdown = 0;
};

// How long a written report may take before the key counts as not taking reports.
constexpr int WriteDeadlineMs = 2000;

}  // namespace tavrel
