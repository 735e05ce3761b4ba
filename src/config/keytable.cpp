#include "config/keytable.h"

#include "keys/keynames.h"

#include <algorithm>

namespace tavrel {

QString hexByte(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

quint8 fieldToByte(const QString& text)
{
    // Up to 8 hex digits fit the 32-bit number the table's text stands for; anything else
    // (empty, signs, spaces, prefixes, more digits) is not a valid number and counts as 0.
    if (text.isEmpty() || text.size() > 8)
        return 0;
    quint32 value = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else
            return 0;
        value = value * 16 + quint32(digit);
    }
    return quint8(value & 0xFF);
}

QString displayText(quint8 modifiers, quint8 code1, quint8 code2, quint8 code3)
{
    const auto named = [](quint8 code) { return code != 0x00 && code != 0xFF; };
    QString text;
    if (modifiers != 0) {
        text = HIDtoKey2(modifiers);
        if (named(code1))
            text += QLatin1Char('+') + HIDtoKey(code1);
    } else {
        text = HIDtoKey(code1);
    }
    for (quint8 code : {code2, code3})
        if (named(code))
            text += QLatin1Char('+') + HIDtoKey(code);
    return text;
}

bool applyKeyRecord(KeyTable& table, const KeyRecordResponse& r)
{
    const int k = r.keyIndex();
    if (!KeyTable::validKey(k))
        return false;
    table.AwaitingConfig = false;
    table.field(k, Field::Modifiers) = hexByte(r.modifiers);
    table.field(k, Field::Code1) = hexByte(r.code1);
    table.field(k, Field::Code2) = hexByte(r.code2);
    table.field(k, Field::Code3) = hexByte(r.code3);
    if (r.mode < 0x05)
        table.field(k, Field::Mode) = hexByte(r.mode);
    table.KeyText[k] = displayText(r.modifiers, r.code1, r.code2, r.code3);
    table.KeyCount = std::min(r.deviceKeyCount(), KeyTable::Slots);
    table.Current.set(k);
    table.CountFromDevice = true;
    return true;
}

}  // namespace tavrel
