#pragma once
// Key names as a US-English PC keyboard layout calls its keys, from the keystroke flags of a key
// message: the set-1 scan code in bits 16-23 and the extended flag in bit 24. The extended flag
// tells apart keys that share a scan code: "Num 7" and "Home", "Num Del" and "Delete",
// "Pause" and "Num Lock", "Enter" and "Num Enter".

#include <QString>

namespace tavrel::platform {

// The key's name, at most 19 characters. Keys outside the key-name table (F13, media keys, the
// keys of Japanese and Korean keyboards) get names of their own; a scan code without any key
// gets "Unknown" and its scan code in hex. Bit 25 of the flags makes the left-hand and
// right-hand Ctrl and Shift keys share one name.
QString keyNameText(quint32 lParam);

}  // namespace tavrel::platform
