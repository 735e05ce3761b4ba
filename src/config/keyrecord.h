#pragma once
// One key's assignment as the device stores it: five bytes, Modifiers, Code1, Code2, Code3 and Mode,
// and the key-record answer the device sends for it. Hex text is for the report log, key files and
// diagnostics only.

#include <QString>
#include <array>
#include <optional>

namespace tavrel {

// A key holds at most this many assignments; key indexes run from 0 to KeySlots - 1.
constexpr int KeySlots = 8;
inline bool validKey(int key)
{
    return key >= 0 && key < KeySlots;
}

constexpr quint8 ModeKeyboardSingle = 0x00;
constexpr quint8 ModeMouseSingle = 0x01;
constexpr quint8 ModeKeyboardRepeat = 0x02;
constexpr quint8 ModeMouseRepeat = 0x03;
// An answer whose Mode byte is this or above leaves the stored Mode as it was.
constexpr quint8 FirstUnknownMode = 0x05;

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

// Only 00 and 02 are keyboard modes: every other Mode, 04 and the unknown ones included, shows
// the mouse page.
inline bool isMouseMode(quint8 mode)
{
    return mode != ModeKeyboardSingle && mode != ModeKeyboardRepeat;
}
inline bool isRepeatMode(quint8 mode)
{
    return mode == ModeKeyboardRepeat || mode == ModeMouseRepeat;
}

// The mode for a kind of assignment and a trigger.
inline quint8 modeFor(bool mouse, bool repeat)
{
    return quint8((mouse ? 0x01 : 0x00) | (repeat ? 0x02 : 0x00));
}

// A key-record answer as the device sends it (data bytes D0..D6).
struct KeyRecordResponse {
    quint8 marker = 0;
    quint8 keyByte = 0;
    quint8 modifiers = 0, code1 = 0, code2 = 0, code3 = 0;
    quint8 mode = 0;

    int keyIndex() const { return keyByte & 0x0F; }
    int deviceKeyCount() const { return keyByte >> 4; }
    KeyRecord record() const { return {modifiers, code1, code2, code3, mode}; }
};

// Two upper-case hex digits.
QString hexByte(quint8 value);

// "05 04 00 00 00".
QString recordText(const KeyRecord& record);
// The record of such a text: five bytes of exactly two hex digits each, in either case; none for
// anything else.
std::optional<KeyRecord> parseRecordText(const QString& text);

// The display text of a record built from its Modifiers and codes, e.g. 0x05,0x04 -> "Ctrl+Alt+A".
QString displayText(quint8 modifiers, quint8 code1, quint8 code2, quint8 code3);
inline QString displayText(const KeyRecord& r)
{
    return displayText(r.modifiers, r.code1, r.code2, r.code3);
}

}  // namespace tavrel
