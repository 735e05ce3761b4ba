#pragma once
// A device's input events, as Linux reports them, read as presses and releases of what the device
// sends. Pure: the events and their times come from outside.

#include "config/sentinput.h"

#include <QList>
#include <array>
#include <optional>

namespace tavrel {

// One input event as the kernel reports it (struct input_event), without its time.
struct InputEvent {
    quint16 type = 0;
    quint16 code = 0;
    qint32 value = 0;
};

// The event types and codes the decoder looks at, as <linux/input-event-codes.h> numbers them.
constexpr quint16 EventSync = 0x00;
constexpr quint16 EventKey = 0x01;
constexpr quint16 SyncReport = 0;
// Key codes above this are none.
constexpr quint16 LastKeyCode = 0x2FF;

// Reads the events of one device's input devices (a keyboard and a mouse interface, each with a
// device of its own) into presses and releases. Each device's events count at the end of its
// frame (SYN_REPORT): a frame that puts keys down is a press of all that is held, one that leaves
// nothing held is the release of the last press. The kernel's own auto-repeat (value 2) is not
// what the device sent, and changes nothing.
class InputDecoder {
public:
    static constexpr int MaxSources = 8;

    // One event of device `source` (0 to MaxSources - 1; others are ignored), in the order the
    // device reported it; `timeMs` is the event's time. At a frame's end, what it changed: a
    // press, a release, or both for a key that went down and up within the frame.
    QList<InputChange> take(int source, const InputEvent& event, qint64 timeMs);
    // Device `source` went away: what it held is let go, with no release reported.
    void forget(int source);

private:
    struct Held {
        int source;
        quint16 code;
        friend bool operator==(const Held&, const Held&) = default;
    };
    SentInput heldInput() const;

    std::array<QList<InputEvent>, MaxSources> m_frames;
    QList<Held> m_held;
    std::optional<InputChange> m_lastPress;
    std::optional<qint64> m_lastReleaseMs;
};

}  // namespace tavrel
