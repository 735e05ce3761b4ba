#include "config/keyrecord.h"

#include "keys/keynames.h"

#include <QStringList>

namespace tavrel {

QString hexByte(quint8 value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString recordText(const KeyRecord& record)
{
    QStringList bytes;
    for (quint8 b : record.bytes())
        bytes << hexByte(b);
    return bytes.join(QLatin1Char(' '));
}

QString displayText(quint8 modifiers, quint8 code1, quint8 code2, quint8 code3)
{
    const auto named = [](quint8 code) { return code != 0x00 && code != 0xFF; };
    QString text;
    if (modifiers != 0) {
        text = modifierNamesForMask(modifiers);
        if (named(code1))
            text += QLatin1Char('+') + keyNameForUsage(code1);
    } else {
        text = keyNameForUsage(code1);
    }
    for (quint8 code : {code2, code3})
        if (named(code))
            text += QLatin1Char('+') + keyNameForUsage(code);
    return text;
}

}  // namespace tavrel
