#include "config/sentinput.h"

#include "keys/keynames.h"

#include <QStringList>
#include <algorithm>

namespace tavrel {

namespace {

QList<quint8> sorted(QList<quint8> codes)
{
    std::sort(codes.begin(), codes.end());
    codes.resize(std::unique(codes.begin(), codes.end()) - codes.begin());
    return codes;
}

bool sends(const KeyRecord& r, const SentInput& input)
{
    if (!input.unnamed.isEmpty())
        return false;
    if (r.mode == ModeKeyboardSingle || r.mode == ModeKeyboardRepeat) {
        QList<quint8> codes;
        for (const quint8 c : {r.code1, r.code2, r.code3})
            if (c != 0x00 && c != 0xFF)
                codes.append(c);
        return input.buttons == 0 && input.modifiers == r.modifiers && sorted(input.keys) == sorted(codes);
    }
    if (r.mode == ModeMouseSingle || r.mode == ModeMouseRepeat)
        return input.modifiers == 0 && input.keys.isEmpty() && r.modifiers != 0 && input.buttons == r.modifiers;
    return false;
}

}  // namespace

QList<int> keysSending(std::span<const std::optional<KeyRecord>> records, const InputChange& change)
{
    QList<int> keys;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const auto& r = records[k];
        if (r && sends(*r, change.input) && (!change.repeated() || isRepeatMode(r->mode)))
            keys.append(int(k));
    }
    return keys;
}

QString sentInputText(const SentInput& input, const InputNames& names)
{
    QStringList parts;
    if (input.modifiers)
        parts << modifierNamesForMask(input.modifiers);
    for (const quint8 usage : input.keys)
        parts << names.key(usage);
    for (const quint8 button : {MouseLeft, MouseRight, MouseMiddle})
        if (input.buttons & button)
            parts << names.button(button);
    for (const quint16 code : input.unnamed)
        parts << names.unnamed(code);
    return parts.join(QLatin1Char('+'));
}

}  // namespace tavrel
