#pragma once
// The key codes of Linux input events (<linux/input-event-codes.h>) that the keys and mouse
// buttons of the key-name table and of a mouse record arrive as, and the HID usages and mouse
// buttons they stand for. One table serves both ways: what a device's input devices report is read
// back as the usages a record holds, and the device emulator sends a record as those codes.

#include <QtGlobal>

namespace tavrel {

// The keyboard usage (page 0x07) of a key code, or 0 for a code the key-name table has no key for.
int usageForKeyCode(unsigned code);
// The key code of a keyboard usage, or 0 for a usage outside the key-name table.
unsigned keyCodeForUsage(int usage);

// The mouse button bit of a button code, as a mouse record's Modifiers byte holds it (01 left,
// 02 right, 04 wheel button), or 0 for any other code.
quint8 mouseButtonForCode(unsigned code);
// The button code of one such bit, or 0.
unsigned codeForMouseButton(quint8 button);

}  // namespace tavrel
