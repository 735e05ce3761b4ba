#pragma once
// A captured combination stored into a key's record.

#include "config/keyrecord.h"

#include <QString>
#include <QStringList>

namespace tavrel {

struct EncodedCombination {
    KeyRecord record;
    // The record's first four bytes as "01-04-00-00", for the diagnostics; empty when no key was
    // held.
    QString trace;
};

// Encodes the held keys, in the order they went down, into `current`: Modifiers are reset once,
// then modifier bits accumulate; the last ordinary key becomes Code1 with Code2 and Code3 0;
// modifiers alone set all three codes to 0, so the codes held before never go out with them.
// Names outside the key-name table change nothing; Mode is never touched.
EncodedCombination encodeCombination(const KeyRecord& current, const QStringList& pressedKeys);

}  // namespace tavrel
