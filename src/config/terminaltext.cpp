#include "config/terminaltext.h"

namespace tavrel {
namespace {

QString hex(char16_t unit, int digits)
{
    return QString::number(unit, 16).rightJustified(digits, u'0');
}

}  // namespace

bool actsOnTerminal(char16_t unit)
{
    // Bidirectional marks and embeddings can make a line read differently from what it holds.
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x061C || unit == 0x200E || unit == 0x200F
           || (unit >= 0x2028 && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069);
}

QString terminalSafe(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text.mid(i, 2);
            ++i;
        } else if (unit == u'\t') {
            out += QLatin1String("\\t");
        } else if (unit == u'\n') {
            out += QLatin1String("\\n");
        } else if (unit == u'\r') {
            out += QLatin1String("\\r");
        } else if (unit < 0x20 || unit == 0x7F) {
            out += QLatin1String("\\x") + hex(unit, 2);
        } else if (actsOnTerminal(unit) || QChar::isSurrogate(unit)) {
            out += QLatin1String("\\u") + hex(unit, 4);
        } else {
            out += QChar(unit);
        }
    }
    return out;
}

}  // namespace tavrel
