#pragma once
// What the window edits: the selected device, the key being edited on it, the keyboard capture,
// and the re-poll of a selected device that has not answered yet. Without widgets, so that the
// editing rules are tested on their own. The device's own events (its records, its read and
// write, its pairing) come from the selected AttachedDevice itself; this says only what changes
// in the selection and the edit.

#include "keys/keycapture.h"
#include "session/attacheddevice.h"

#include <QObject>
#include <QPointer>

class QTimer;

namespace tavrel {

class DeviceSession;

// The re-poll: a selected device that has not answered yet is read again after this.
constexpr int RepollMs = 500;
// A device silent for this many re-polled reads in a row is asked less and less often, up to
// RepollMaxMs apart, until it sends anything or is selected or plugged in again.
constexpr int RepollSteadyRounds = 3;
constexpr int RepollMaxMs = 8000;

// The re-poll's interval after `silentRounds` re-polled reads in a row without an answer:
// RepollMs for the first RepollSteadyRounds, then doubling up to RepollMaxMs.
int repollDelayMs(int silentRounds);

class DeviceEditor : public QObject {
    Q_OBJECT
public:
    // Follows the session's devices: the first one found is selected while none is.
    explicit DeviceEditor(DeviceSession& session, QObject* parent = nullptr);

    // --- the selected device
    // The device the window shows and edits, or null.
    AttachedDevice* selected() const { return m_selected; }
    // Its place in the session's list, or -1.
    int selectedIndex() const;
    // Selects another listed device and reads it; the selected one again does nothing, and so
    // does anything while the selected device is being written.
    void selectDevice(int index);
    // Whether the selected device's input devices are read while it is selected (the key tester).
    void setWatchesInput(bool on);
    // How the window shows the selected device: one chosen by a device change shows the mouse
    // page by another reading of its serial than one the user chose. Nothing without one.
    bool mousePageShown() const;
    bool triggerGroupsShown() const;
    // The selected device is being read or written.
    bool busy() const { return m_selected && m_selected->busy(); }
    // The selected device has not answered yet and is read again on the re-poll's ticks.
    bool repolling() const;

    // --- the key being edited on the selected device
    int selectedKey() const { return m_selectedKey; }
    // Another key to edit (-1, or any index the selected device does not offer, selects none).
    void selectKey(int key);
    // The keys the selected device offers for editing: none before its first answer.
    int shownKeys() const;
    // The selected device's record for key `key`, if it holds one.
    const std::optional<StoredRecord>& shownRecord(int key) const;

    // Edits of the key being edited. Each keeps the record whole and consistent and marks it as
    // the user's; the device announces recordChanged.
    void useKeyboard();                  // a key that is not a keyboard one becomes an empty one
    void useMouse();                     // a keyboard key becomes the left mouse button
    void setMouseButton(quint8 button);  // 01 left, 02 right, 04 wheel button
    void setRepeat(bool repeat);         // the trigger, on the kind of key it is

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

signals:
    // Another device was selected, or none is any more; what it offers is known.
    void deviceSelected();
    // What the selected device sent is no longer shown: it went, or another one was selected.
    void receivedCleared();
    // The selected device said how many keys it has; the key being edited is one of them.
    void keyCountChanged();
    void keySelected(int key);
    // A combination was taken for the key being edited; `trace` shows its record's bytes.
    void combinationTaken(const TakenCombination& taken, const QString& trace);
    // The combination taken leaves the record of `key` as it was: the key shows its record again.
    void combinationKept(int key);
    // The selected device began or stopped being read or written.
    void busyChanged(bool busy);

private:
    // The list of devices changed: a selected device that went is let go, and the first one is
    // selected while none is.
    void followDevices();
    void select(AttachedDevice* device, bool byDeviceChange);
    void connectSelected();
    // The selected device, when a key of it is being edited.
    AttachedDevice* editedDevice() const;
    void edit(const KeyRecord& record, const QString& text = {});
    void setBusy();
    void repoll();

    DeviceSession& m_session;
    QPointer<AttachedDevice> m_selected;
    bool m_selectedByChange = false;
    bool m_watchesInput = false;
    int m_selectedKey = -1;
    KeyCapture m_capture;
    bool m_capturing = false;
    CaptureTrace m_lastCapture;
    bool m_wasBusy = false;

    QTimer* m_repoll = nullptr;
    int m_silentRounds = 0;
};

}  // namespace tavrel
