#pragma once
// A key's assignment by name: the five record bytes a key holds, the text that names them
// ("Ctrl+Alt+A", "mouse:left") and the way back from such a text to the bytes.

#include "config/keyrecord.h"

#include <QString>
#include <QStringList>
#include <array>
#include <variant>

namespace tavrel {

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
