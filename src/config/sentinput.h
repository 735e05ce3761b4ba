#pragma once
// What a device sends through its keyboard and mouse interfaces, read back as presses and releases
// of a combination or mouse button, and which of the device's records give what was received. Pure.

#include "config/keyrecord.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <span>

namespace tavrel {

// What the device's input devices held at once.
struct SentInput {
    quint8 modifiers = 0;    // bit n: usage 224 + n, as a record's Modifiers byte
    QList<quint8> keys;      // the other keyboard usages, in the order they went down
    quint8 buttons = 0;      // mouse buttons, as a mouse record's Modifiers byte holds them
    QList<quint16> unnamed;  // key codes the key-name table has no key for, in order

    bool empty() const { return !modifiers && keys.isEmpty() && !buttons && unnamed.isEmpty(); }
    friend bool operator==(const SentInput&, const SentInput&) = default;
};

// A key that repeats its combination while held lets go between two presses for much less than
// this; a person pressing a key twice takes longer.
constexpr int RepeatGapMs = 250;

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

// The keys (0-based) whose record the device sends as `change.input`: a keyboard record whose
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
