#pragma once
// A key's assignment by name: the five record bytes a key holds, the text that names them
// ("Ctrl+Alt+A", "mouse:left") and the way back from such a text to the bytes.

#include "config/keytable.h"

#include <QString>
#include <QStringList>
#include <array>
#include <variant>

namespace tavrel {

constexpr quint8 ModeKeyboardSingle = 0x00;
constexpr quint8 ModeMouseSingle = 0x01;
constexpr quint8 ModeKeyboardRepeat = 0x02;
constexpr quint8 ModeMouseRepeat = 0x03;

// In the mouse modes Modifiers holds one of these buttons.
constexpr quint8 MouseLeft = 0x01;
constexpr quint8 MouseRight = 0x02;
constexpr quint8 MouseMiddle = 0x04;

struct KeyRecord {
    quint8 modifiers = 0;
    quint8 code1 = 0;
    quint8 code2 = 0;
    quint8 code3 = 0;
    quint8 mode = 0;

    std::array<quint8, 5> bytes() const { return {modifiers, code1, code2, code3, mode}; }
    static KeyRecord fromBytes(const std::array<quint8, 5>& b) { return {b[0], b[1], b[2], b[3], b[4]}; }
    friend bool operator==(const KeyRecord&, const KeyRecord&) = default;
};

// The record of a key of the table, its fields read as the write reads them.
KeyRecord recordOf(const KeyTable& table, int key);
KeyRecord recordOf(const KeyRecordResponse& response);

// As the window decides which page to show: only 00 and 02 are keyboard modes.
inline bool isMouseMode(quint8 mode) { return mode != ModeKeyboardSingle && mode != ModeKeyboardRepeat; }
inline bool isRepeatMode(quint8 mode) { return mode == ModeKeyboardRepeat || mode == ModeMouseRepeat; }

// The mode for a kind of assignment and a trigger.
inline quint8 modeFor(bool mouse, bool repeat)
{
    return quint8((mouse ? 0x01 : 0x00) | (repeat ? 0x02 : 0x00));
}

// "single" or "repeat".
QString triggerText(quint8 mode);

// The assignment as the window shows it: the display text of the keyboard modes
// ("Ctrl+Shift+B", "Shift", "" for an empty key), "mouse:left", "mouse:right" or "mouse:middle"
// in the mouse modes, and "mouse:" with the byte in hex for a button the key cannot hold.
QString assignmentText(const KeyRecord& record);

struct AssignmentError {
    QString reason;           // names the offending part, and the close matches if any
    QStringList suggestions;  // up to three key or button names close to an unknown one
};

using AssignmentResult = std::variant<KeyRecord, AssignmentError>;

// Reads a combination of key names joined by "+" ("Ctrl+Shift+B", "left windows + e", "F5",
// "Shift", "" for no key), or "mouse:left|right|middle", without regard to case. Modifiers
// make the mask; the one ordinary key, if any, becomes Code1; Code2 and Code3 stay 0. `repeat`
// chooses the trigger. A key holds one ordinary key, so naming two is an error.
AssignmentResult parseAssignment(const QString& text, bool repeat);

// Up to three key names close to `unknown` (a few edits away, or sharing a prefix or a word),
// closest first.
QStringList closeKeyNames(const QString& unknown);

}  // namespace tavrel
