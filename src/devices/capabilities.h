#pragma once
// What a key offers, decoded from its serial number, and the device list's item text.
// Characters are counted from 1. A character that is missing or not a decimal digit, or a number
// too large for int, stops the decoding with "'<text>' is not a valid integer value"
// (std::runtime_error).

#include <QString>

namespace tavrel {

// The characters at [first, first + count) of text as one decimal number.
int decimalAt(const QString& text, int first, int count);

// The device list's item text: the product string, then " (SN:<serial>)" when there is a serial.
QString DeviceListText(const QString& product, const QString& serial);

// Wireless when the character at position L - 10 of the item text is greater than 0.
bool isWirelessItem(const QString& itemText);

// Transmitters a receiver can bind: character 4, times 5 when character 3 is 2 or more.
int bindCapacity(const QString& serial);
// The mouse page after a device change: characters 2-3 are 2 or more.
bool mousePageAfterChange(const QString& serial);
// The mouse page and both trigger groups after a selection: characters 1-2 are 3 or more.
bool triggerGroupsAfterSelection(const QString& serial);
// The pairing button: character 3 is not 0.
bool hasPairing(const QString& serial);
// Characters 1-2 as text, for the diagnostic field.
QString modelDigits(const QString& serial);

}  // namespace tavrel
