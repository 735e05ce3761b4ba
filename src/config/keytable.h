#pragma once
// The program-wide table of key assignments. Every byte is held as two upper-case hex digits;
// the empty text means "never set" and is sent as 0x00.

#include <QString>
#include <array>
#include <bitset>

namespace tavrel {

enum class Field { Modifiers = 0, Code1 = 1, Code2 = 2, Code3 = 3, Mode = 4 };

struct KeyTable {
    static constexpr int Slots = 8;
    static constexpr int FieldsPerKey = 5;

    std::array<QString, Slots> KeyText;
    std::array<QString, Slots * FieldsPerKey> KeyBytes;
    // Number of keys the device reported; never above Slots, so it can size the picker and
    // the write directly.
    int KeyCount = 0;
    bool AwaitingConfig = false;

    // The table is shared by every device. These say which keys hold a record that came from the
    // selected device or that the user set since selecting it, and whether KeyCount came from
    // that device: only such records may be written to it.
    std::bitset<Slots> Current;
    bool CountFromDevice = false;

    void forgetDevice()
    {
        Current.reset();
        CountFromDevice = false;
    }
    void markSet(int key)
    {
        if (validKey(key))
            Current.set(key);
    }

    static bool validKey(int key) { return key >= 0 && key < Slots; }

    // Callers check validKey first: the table has no record outside its slots.
    QString& field(int key, Field f) { return KeyBytes[key * FieldsPerKey + int(f)]; }
    const QString& field(int key, Field f) const { return KeyBytes[key * FieldsPerKey + int(f)]; }

    // KeyText of a key, or "" for an index outside the table (the empty picker's -1).
    QString textOf(int key) const { return validKey(key) ? KeyText[key] : QString(); }
};

// Two upper-case hex digits.
QString hexByte(quint8 value);

// A field's text read as hexadecimal; empty or invalid text gives 0, and only the low
// 8 bits of a larger value are kept.
quint8 fieldToByte(const QString& text);

// The display text of a record built from its Modifiers and codes, e.g. 0x05,0x04 -> "Ctrl+Alt+A".
QString displayText(quint8 modifiers, quint8 code1, quint8 code2, quint8 code3);

// A key-record response as the device sends it (data bytes D0..D6).
struct KeyRecordResponse {
    quint8 marker = 0;
    quint8 keyByte = 0;
    quint8 modifiers = 0, code1 = 0, code2 = 0, code3 = 0;
    quint8 mode = 0;

    int keyIndex() const { return keyByte & 0x0F; }
    int deviceKeyCount() const { return keyByte >> 4; }
};

// Stores a key-record response: all five fields of the key (Mode only for 0x00..0x04), its
// display text and KeyCount (limited to the table's slots); AwaitingConfig becomes false.
// A record for a key index the table does not have is ignored whole: returns false.
bool applyKeyRecord(KeyTable& table, const KeyRecordResponse& r);

}  // namespace tavrel
