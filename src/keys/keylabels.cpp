#include "keys/keylabels.h"

#include "keys/inputcodes.h"
#include "keys/keynames.h"

#include <algorithm>

namespace tavrel {

bool layoutLabelsKey(int usage)
{
    // 0x04-0x27 letters and digits, 0x2D-0x38 the punctuation keys (0x32 has no name).
    return (usage >= 0x04 && usage <= 0x27) || (usage >= 0x2D && usage <= 0x38 && usage != 0x32);
}

KeyLabels KeyLabels::fromLayout(const std::function<QString(unsigned code)>& unshifted)
{
    KeyLabels labels;
    for (const KeyName& k : keyNameTable()) {
        if (!layoutLabelsKey(k.usage))
            continue;
        const QString text = unshifted(keyCodeForUsage(k.usage));
        // One printable character, or a short cluster (a letter with its accents); anything else
        // is no label.
        if (text.isEmpty() || text.size() > 4 || text.trimmed() != text)
            continue;
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isPrint(); }))
            continue;
        // The capital of a letter as one character: "ß" stays, as a keyboard prints it.
        QString label = text;
        if (label.size() == 1)
            label = QString(label[0].toUpper());
        if (label != QLatin1String(k.name))
            labels.m_labels.insert(k.usage, label);
    }
    return labels;
}

QString KeyLabels::name(int usage) const
{
    const auto found = m_labels.constFind(usage);
    return found != m_labels.constEnd() ? *found : keyNameForUsage(usage);
}

QString KeyLabels::relabel(const QString& text) const
{
    if (m_labels.isEmpty())
        return text;
    QString result;
    qsizetype at = 0;
    while (at < text.size()) {
        // The longest name that ends where a "+" or the text does: "Num +" is one name.
        const KeyName* best = nullptr;
        for (const KeyName& k : keyNameTable()) {
            const QLatin1String name(k.name);
            const qsizetype end = at + name.size();
            if ((!best || name.size() > qsizetype(qstrlen(best->name))) && text.mid(at, name.size()) == name
                && (end == text.size() || text[end] == QLatin1Char('+')))
                best = &k;
        }
        qsizetype end;
        if (best) {
            end = at + qsizetype(qstrlen(best->name));
            result += name(best->usage);
        } else {
            end = text.indexOf(QLatin1Char('+'), at);
            if (end < 0)
                end = text.size();
            result += text.mid(at, end - at);
        }
        if (end < text.size())
            result += QLatin1Char('+');
        at = end + 1;
    }
    return result;
}

}  // namespace tavrel
