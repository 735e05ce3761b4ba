#pragma once
// What a key sends through its keyboard and mouse interfaces, as Linux reports it in input
// events, read back as presses and releases of a combination or mouse button, and which of the
// key's records give what was received. Pure: the events and their times come from outside.

#include "config/keyrecord.h"

#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <span>

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

// What the key's input devices held at once.
struct SentInput {
    quint8 modifiers = 0;      // bit n: usage 224 + n, as a record's Modifiers byte
    QList<quint8> keys;        // the other keyboard usages, in the order they went down
    quint8 buttons = 0;        // mouse buttons, as a mouse record's Modifiers byte holds them
    QList<quint16> unnamed;    // key codes the key-name table has no key for, in order

    bool empty() const { return !modifiers && keys.isEmpty() && !buttons && unnamed.isEmpty(); }
    friend bool operator==(const SentInput&, const SentInput&) = default;
};

struct InputChange {
    enum class Kind { Press, Release };
    Kind kind = Kind::Press;
    // A press: everything held after it. A release: what the last press held.
    SentInput input;
    // The same input pressed again within RepeatGapMs of its release counts on: 1 for a single
    // press, 2 and up while a key repeats it.
    int presses = 1;

    bool repeated() const { return presses > 1; }
    friend bool operator==(const InputChange&, const InputChange&) = default;
};

// A key that repeats its combination while held lets go between two presses for much less than
// this; a person pressing a key twice takes longer.
constexpr int RepeatGapMs = 250;

// Reads the events of one key's input devices (a keyboard and a mouse interface, each with a
// device of its own) into presses and releases. Each device's events count at the end of its
// frame (SYN_REPORT): a frame that puts keys down is a press of all that is held, one that leaves
// nothing held is the release of the last press. The kernel's own auto-repeat (value 2) is not
// what the key sent, and changes nothing.
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

// The keys (0-based) whose record the key sends as `change.input`: a keyboard record whose
// modifiers and keys were all held and nothing else, or a mouse record whose button was. A
// repeated press is sent only by a record that repeats. Keys without a record are passed over.
QList<int> keysSending(std::span<const std::optional<KeyRecord>> records, const InputChange& change);

// How a front-end names the parts of a SentInput; the modifiers are named as the key-name table
// names them.
struct InputNames {
    std::function<QString(int usage)> key;
    std::function<QString(quint8 button)> button;
    std::function<QString(quint16 code)> unnamed;
};

// "Ctrl+Shift+B": the modifiers in the order a record's display text gives them, then the keys,
// the mouse buttons and the keys without a name, joined by "+".
QString sentInputText(const SentInput& input, const InputNames& names);

}  // namespace tavrel
