#include "config/combination.h"

#include "keys/keynames.h"

namespace tavrel {

namespace {

QString trace(const KeyRecord& r)
{
    return QStringList{hexByte(r.modifiers), hexByte(r.code1), hexByte(r.code2), hexByte(r.code3)}.join(
        QLatin1Char('-'));
}

}  // namespace

EncodedCombination encodeCombination(const KeyRecord& current, const QStringList& pressedKeys)
{
    EncodedCombination result{current, QString()};
    KeyRecord& r = result.record;
    bool modifierSeen = false;
    bool ordinarySeen = false;
    for (const QString& name : pressedKeys) {
        const int u = usageForName(name);
        if (const quint8 bit = modifierBit(u)) {
            if (!modifierSeen)
                r.modifiers = 0;
            modifierSeen = true;
            r.modifiers |= bit;
        } else if (u != 0) {
            if (!modifierSeen)
                r.modifiers = 0;
            ordinarySeen = true;
            r.code1 = quint8(u);
            r.code2 = 0;
            r.code3 = 0;
        }
        result.trace = trace(r);
    }
    // Modifiers alone (a pedal that acts as Shift) carry no key.
    if (modifierSeen && !ordinarySeen) {
        r.code1 = r.code2 = r.code3 = 0;
        result.trace = trace(r);
    }
    return result;
}

}  // namespace tavrel
