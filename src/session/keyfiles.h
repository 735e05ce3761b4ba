#pragma once
// Key files of an attached device: its keys as a file, and a file's keys taken into it to be
// written.

#include "config/configfile.h"

#include <QByteArray>
#include <variant>

namespace tavrel {

class AttachedDevice;

// Whether every key of `device` holds a record, with no read or write running: only then is what
// it shows a whole configuration of it. False without a device.
bool keysRead(const AttachedDevice* device);
// The device's keys as a key file, as they are shown; empty unless keysRead().
QByteArray keyFile(const AttachedDevice* device);
// Checks a key file whole against the device, then takes its keys: each is shown as an edit
// would show it and goes to the device with its next write. The number of keys loaded, or the
// faults, with nothing changed. A fault on line 0 concerns no line of the file.
std::variant<int, configfile::FileErrors> loadKeyFile(AttachedDevice* device, const QByteArray& text);

}  // namespace tavrel
