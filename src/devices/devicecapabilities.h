#pragma once
// What a device offers, decoded from its serial number, and the device list's item text. Characters
// are counted from 1. A serial that is not one of this device family's codes (a letter where a digit
// belongs, too short, empty) decodes to the plainest device: wired, keyboard only, no pairing. Vendor
// and product ids are shared with other devices, whose serials follow other rules.

#include <QString>
#include <optional>

namespace tavrel {

struct DeviceCapabilities {
    // The serial follows the code: every reading below came from its digits.
    bool decoded = false;
    // The tool bar's kind: the character at position L - 10 of the item text is greater than 0.
    bool wireless = false;
    // Characters 1-2 are 3 or more: the mouse page and both trigger groups, as a choice of key
    // shows them.
    bool triggerChoice = false;
    // Characters 2-3 are 2 or more: the mouse page as a device change shows it.
    bool mousePageAtChange = false;
    // Character 3 is not 0: the pairing button.
    bool pairing = false;
    // Transmitters a receiver binds: character 4, times 5 when character 3 is 2 or more.
    int bindCapacity = 0;
    // Characters 1-2 as text, for the diagnostics.
    QString modelDigits;
};

// The characters at [first, first + count) of text as one decimal number; none when one of them
// is missing or not a decimal digit, or the number does not fit an int.
std::optional<int> decimalAt(const QString& text, int first, int count);

// The device list's item text: the product string, then " (SN:<serial>)" when there is a serial.
QString deviceListText(const QString& product, const QString& serial);

DeviceCapabilities decodeCapabilities(const QString& product, const QString& serial);

}  // namespace tavrel
