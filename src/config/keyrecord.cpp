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

std::optional<KeyRecord> parseRecordText(const QString& text)
{
    const QStringList parts = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 5)
        return std::nullopt;
    std::array<quint8, 5> bytes{};
    const auto digit = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
    };
    for (int i = 0; i < 5; ++i) {
        // Exactly two digits: no sign, no "0x", no third digit for a byte.
        if (parts[i].size() != 2 || !digit(parts[i][0]) || !digit(parts[i][1]))
            return std::nullopt;
        bytes[i] = quint8(parts[i].toUInt(nullptr, 16));
    }
    return KeyRecord::fromBytes(bytes);
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
